#pragma once
// Third compiler stage: one recursive-descent pass over the tokens that checks the
// program and emits each function's code as it goes. Stops at the first error.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/KvString.h"
#include "lang/CodeGen.h"
#include "lang/Lexer.h"
#include "vm/DebugInfo.h"

namespace kv {

class Parser {
public:
    explicit Parser(const Lexer& lexer) : Parser(lexer.Tokens()) {}
    explicit Parser(TokenList tokens);

    // Parses the whole token list; afterwards GetError() is 0 on success.
    void Parse();
    // The error code; line and detail are filled when given.
    int32_t GetError(int32_t* line = nullptr, KvString* detail = nullptr) const;
    // The message shown to the player, e.g. "; expected on line 12".
    KvString FormatError() const;

    // For the linker, after a successful parse. Ordered by byte-wise name order.
    std::map<std::string, FunctionRecord>& Functions() { return functions_; }
    int32_t GlobalCount() const { return static_cast<int32_t>(scopes_.front().names.size()); }

    // Every variable declared, for the linker's debug information: a global's number, or a
    // parameter's or local's slot with the records that open and close its scope.
    struct VariableNote {
        std::string name;
        KvDebugVariable::Kind kind = KvDebugVariable::Kind::Local;
        int32_t slot = 0;
        const FunctionRecord* function = nullptr;
        const CodeRecord* declared = nullptr;  // a local's ALLOC; in scope after it
        const CodeRecord* closed = nullptr;    // the first record out of scope
    };
    const std::vector<VariableNote>& Variables() const { return variables_; }

private:
    struct Scope {
        std::map<std::string, int32_t> names;  // global number, or slot index
        int32_t slots = 0;                     // slots this scope pushed and must pop
        std::set<std::string> predeclared;     // declared ahead by an enclosing if or while
        std::vector<std::size_t> notes;        // its variables in variables_
    };
    struct Variable {
        int32_t index = 0;
        bool global = false;
    };
    struct NestGuard;

    [[noreturn]] void Fail(int32_t code, const KvString& detail = KvString());
    const Token& Current();
    bool CurrentIs(int32_t kind, int32_t code) const;
    bool NextIs(int32_t kind, int32_t code) const;
    void Move();
    void Require(int32_t kind, int32_t code, const char* what);

    void Program();
    void GlobalList(const std::string& first);
    void FunctionDefinition(const std::string& name, bool storageWord);
    void Block();
    void CloseScope();
    void Statement();
    void StatementBody(const Token& t);
    void IfStatement();
    void WhileStatement();
    void ReturnStatement();
    void Declaration();
    void Expression();
    void Binary(int level);
    void Prefix();
    void Postfix();
    bool Primary(Variable* variable);
    void Call();
    void EndOfParse();

    void Predeclare(std::vector<std::string>& added);
    void ScanStatement(std::size_t& i, std::vector<std::string>& found, int nesting) const;
    void ForgetPredeclared(const std::vector<std::string>& added);

    Variable Resolve(const std::string& name);
    bool IsDeclared(const std::string& name) const;
    void DeclareLocal(const std::string& name);
    void Load(const Variable& v) { codegen_.Load(v.index, v.global); }
    void Store(const Variable& v) { codegen_.Store(v.index, v.global); }

    // The tokens not yet passed: each is dropped once the parse moves past it, so the list
    // shrinks as the code grows. Nothing looks back.
    TokenList tokens_;
    bool atEnd_ = false;
    int32_t errorCode_ = 0;
    int32_t errorLine_ = 0;
    KvString errorDetail_;
    int nesting_ = 0;

    std::map<std::string, FunctionRecord> functions_;
    std::vector<Scope> scopes_;  // the global scope first, the current scope last
    CodeGen codegen_;
    int32_t nextGlobal_ = -1;
    int32_t base_ = 0;        // depth just after the current function's result slot
    int32_t resultSlot_ = 0;
    FunctionRecord* function_ = nullptr;  // the function being compiled
    std::vector<VariableNote> variables_;
};

}  // namespace kv
