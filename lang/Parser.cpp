#include "lang/Parser.h"

#include <algorithm>

#include "lang/BuiltIns.h"
#include "lang/CompileError.h"

namespace kv {

namespace {

// Thrown by Fail and caught once in Parse: the first error ends the parse.
struct ParseStop {};

// Deeper nesting than this is refused rather than risking the native stack.
constexpr int kMaxNesting = 200;

struct BinaryOperator {
    int level;
    int32_t code;
    int32_t opcode;
};
// Levels 2 (loosest) to 11 (tightest); all associate to the left.
constexpr BinaryOperator kBinaryOperators[] = {
    {2, kLogOr, LOR},      {3, kLogAnd, LAND},      {4, kBitOr, BOR},       {5, kBitXor, BXOR},
    {6, kBitAnd, BAND},    {7, kEqual, EQ},         {7, kNotEqual, NE},     {8, kLess, LT},
    {8, kGreater, GT},     {8, kLessEqual, LE},     {8, kGreaterEqual, GE}, {9, kShl, SHL},
    {9, kShr, SHR},        {10, kPlus, ADD},        {10, kMinus, SUB},      {11, kTimes, MUL},
    {11, kDivide, DIV},    {11, kModulo, MOD},
};
constexpr int kFirstBinaryLevel = 2, kLastBinaryLevel = 11;

// Opcodes of the compound assignments, by operator code 1..10.
constexpr int32_t kCompoundOpcodes[] = {NOP, SHR, SHL, ADD, SUB, MUL, DIV, MOD, BAND, BXOR, BOR};

const char* const kResultName = "return";  // a keyword, so no variable can have it

}  // namespace

struct Parser::NestGuard {
    explicit NestGuard(Parser& p) : parser(p) {
        if (++parser.nesting_ > kMaxNesting) parser.Fail(kNestedTooDeeply);
    }
    ~NestGuard() { --parser.nesting_; }
    Parser& parser;
};

Parser::Parser(TokenList tokens) : tokens_(std::move(tokens)) {
    atEnd_ = tokens_.empty();
    scopes_.emplace_back();
    FunctionRecord& main = functions_["main"];
    main.name = "main";
    main.referenced = true;
    for (const BuiltIn& b : kBuiltIns) {
        FunctionRecord& f = functions_[b.name];
        f.name = b.name;
        f.defined = true;
        f.argumentCount = b.arguments;
        // The built-in's opcode leaves its result on top; store it into the caller's result slot.
        f.code = {CodeRecord{b.opcode}, CodeRecord{POPA}, CodeRecord{STOREL, 0}, CodeRecord{RET}};
    }
}

void Parser::Fail(int32_t code, const KvString& detail) {
    errorCode_ = code;
    errorDetail_ = detail;
    throw ParseStop{};
}

int32_t Parser::GetError(int32_t* line, KvString* detail) const {
    if (line) *line = errorLine_;
    if (detail) *detail = errorDetail_;
    return errorCode_;
}

KvString Parser::FormatError() const {
    KvString suffix;
    suffix.Format(" on line %d", errorLine_);
    return ErrorText(errorCode_, errorDetail_).Concat(suffix);
}

// Wherever a token is needed and none is left, the program ended too early.
const Token& Parser::Current() {
    if (atEnd_) Fail(kUnexpectedEnd);
    return tokens_.front();
}

bool Parser::CurrentIs(int32_t kind, int32_t code) const { return !atEnd_ && tokens_.front().Is(kind, code); }

bool Parser::NextIs(int32_t kind, int32_t code) const {
    return tokens_.size() > 1 && tokens_[1].Is(kind, code);
}

// The error line is that of the token moved past last, so a missing ";" is
// reported on the line of the token before it.
void Parser::Move() {
    if (atEnd_) Fail(kUnexpectedEnd);
    errorLine_ = tokens_.front().line;
    tokens_.pop_front();
    atEnd_ = tokens_.empty();
}

void Parser::Require(int32_t kind, int32_t code, const char* what) {
    if (!Current().Is(kind, code)) Fail(kExpected, what);
}

void Parser::Parse() {
    try {
        Program();
        EndOfParse();
    } catch (const ParseStop&) {
    }
}

// program: { [storage-word] [type-word] identifier ( function-definition | global-list ) }
void Parser::Program() {
    while (!atEnd_) {
        bool storageWord = false;
        if (CurrentIs(TypeWord, kStorageWord)) {
            storageWord = true;
            Move();
        }
        if (Current().Is(TypeWord, kTypeName)) Move();
        if (Current().kind != Identifier) Fail(kExpected, "Identifier");
        std::string name = Current().text.Std();
        Move();
        if (Current().Is(Separator, kLeftParen)) FunctionDefinition(name, storageWord);
        else GlobalList(name);
    }
}

// global-list: identifier { ',' identifier } ';'
void Parser::GlobalList(const std::string& first) {
    Scope& globals = scopes_.front();
    auto declare = [&](const std::string& name) {
        if (globals.names.count(name)) Fail(kVariableAlreadyDefined, name.c_str());
        variables_.push_back({name, KvDebugVariable::Kind::Global, nextGlobal_});
        globals.names[name] = nextGlobal_--;
    };
    declare(first);
    while (Current().Is(Separator, kComma)) {
        Move();
        if (Current().kind != Identifier) Fail(kExpected, "Identifier");
        declare(Current().text.Std());
        Move();
    }
    Require(Separator, kSemicolon, ";");
    Move();
}

// function-definition: '(' [ identifier { ',' identifier } ] ')' { type-word identifier-list } block
void Parser::FunctionDefinition(const std::string& name, bool storageWord) {
    auto found = functions_.find(name);
    if (found != functions_.end() && found->second.defined) Fail(kAlreadyDefined, name.c_str());
    if (storageWord) Fail(kParenInDeclaration);
    codegen_.SetLine(Current().line);
    Move();
    FunctionRecord& f = functions_[name];
    f.name = name.c_str();
    function_ = &f;
    codegen_.BeginFunction(f);
    f.headerLabel = codegen_.EmitLabel();

    std::vector<std::string> parameters;
    std::set<std::string> undeclared;  // parameters not yet named by an old-style declaration
    while (!Current().Is(Separator, kRightParen)) {
        if (Current().kind != Identifier) Fail(kExpected, "Identifier");
        parameters.push_back(Current().text.Std());
        undeclared.insert(parameters.back());
        f.parameters.push_back(Current().text);
        Move();
        if (Current().Is(Separator, kComma)) {
            Move();
            continue;
        }
        if (!Current().Is(Separator, kRightParen)) Fail(kExpected, ", or )");
    }
    const auto count = static_cast<int32_t>(parameters.size());
    if (f.referenced && f.argumentCount != count) Fail(kDefinitionDiffers, name.c_str());
    f.defined = true;
    f.argumentCount = count;
    Move();

    while (!Current().Is(Separator, kLeftBrace)) {
        if (!Current().Is(TypeWord, kTypeName)) Fail(kExpected, "Typename");
        Move();
        if (Current().kind != Identifier) Fail(kExpected, "Identifier");
        while (Current().kind == Identifier) {
            if (!undeclared.erase(Current().text.Std())) Fail(kUnexpectedArgument, Current().text);
            Move();
            if (!Current().Is(Separator, kComma) && !Current().Is(Separator, kSemicolon)) Fail(kExpected, "; or ,");
            Move();
        }
    }

    // The caller has pushed the result slot and the arguments; count them, emit nothing.
    scopes_.emplace_back();
    Scope& scope = scopes_.back();
    codegen_.StartFunctionSlots();
    resultSlot_ = codegen_.CountSlot();
    base_ = codegen_.Depth();
    scope.names[kResultName] = resultSlot_;
    scope.slots = 1;
    for (const std::string& p : parameters) {
        scope.names[p] = codegen_.CountSlot();  // a repeated name means its last slot
        scope.notes.push_back(variables_.size());
        variables_.push_back({p, KvDebugVariable::Kind::Parameter, scope.names[p], &f});
        ++scope.slots;
    }
    // Calls land on the labels ahead of the body with the result slot and arguments pushed.
    for (CodeRecord& r : f.code) {
        r.line = codegen_.Line();
        r.depth = codegen_.Depth();
    }
    Block();
    // Everything including the result slot is popped; push the result back for the caller.
    codegen_.EmitRaw(PUSHA);
    codegen_.EmitRaw(RET);
}

// block: '{' { statement } '}'  -- closes the current scope
void Parser::Block() {
    Require(Separator, kLeftBrace, "{");
    Move();
    while (!Current().Is(Separator, kRightBrace)) Statement();
    // The scope's end, and a function's return at the end of its body, belong to the brace.
    codegen_.SetLine(Current().line);
    Move();
    CloseScope();
}

void Parser::CloseScope() {
    Scope& scope = scopes_.back();
    for (int32_t i = 0; i < scope.slots; ++i) {
        const CodeRecord* release = codegen_.ReleaseSlot();
        if (i == 0)
            for (std::size_t note : scope.notes) variables_[note].closed = release;
    }
    scopes_.pop_back();
}

// Every record of a statement takes the line where the statement starts.
void Parser::Statement() {
    NestGuard guard(*this);
    const Token& t = Current();
    const int32_t outerLine = codegen_.Line();
    codegen_.SetLine(t.line);
    StatementBody(t);
    codegen_.SetLine(outerLine);
}

void Parser::StatementBody(const Token& t) {
    if (t.Is(Separator, kSemicolon)) {
        Move();
    } else if (t.Is(Separator, kLeftBrace)) {
        scopes_.emplace_back();
        Block();
    } else if (t.Is(Keyword, kIf)) {
        IfStatement();
    } else if (t.Is(Keyword, kWhile)) {
        WhileStatement();
    } else if (t.Is(Keyword, kReturn)) {
        ReturnStatement();
    } else if (t.kind == TypeWord) {
        Declaration();
    } else {
        Expression();
        Require(Separator, kSemicolon, ";");
        Move();
        codegen_.Emit(POPA);
    }
}

// if-statement: 'if' '(' expression ')' statement [ 'else' statement ]
// code: c; JZ L1; s1; [JMP L2;] L1: NOP; [s2;] L2: NOP
void Parser::IfStatement() {
    std::vector<std::string> predeclared;
    Predeclare(predeclared);
    Move();
    Require(Separator, kLeftParen, "(");
    Move();
    Expression();
    Require(Separator, kRightParen, ")");
    Move();

    const CodeList::iterator resume = codegen_.InsertionPoint();
    CodeRecord* endThen = codegen_.EmitLabel();
    const CodeList::iterator atEndThen = codegen_.LastEmitted();
    CodeRecord* endElse = codegen_.EmitLabel();
    const CodeList::iterator atEndElse = codegen_.LastEmitted();
    codegen_.SetInsertionPoint(atEndThen);
    codegen_.EmitJump(JZ, endThen);
    Statement();
    // The labels where the branches meet take the line of the code that runs into them.
    endThen->line = endElse->line = codegen_.LastEmitted()->line;
    if (CurrentIs(Keyword, kElse)) {
        codegen_.SetLine(Current().line);
        endThen->line = Current().line;
        Move();
        codegen_.EmitJump(JMP, endElse);
        codegen_.SetInsertionPoint(atEndElse);
        Statement();
        endElse->line = codegen_.LastEmitted()->line;
    }
    codegen_.SetInsertionPoint(resume);
    ForgetPredeclared(predeclared);
}

// while-statement: 'while' '(' expression ')' statement
// code: L1: NOP; c; JZ L2; s; JMP L1; L2: NOP
void Parser::WhileStatement() {
    std::vector<std::string> predeclared;
    Predeclare(predeclared);
    Move();
    Require(Separator, kLeftParen, "(");
    Move();

    const CodeList::iterator resume = codegen_.InsertionPoint();
    CodeRecord* top = codegen_.EmitLabel();
    codegen_.EmitJump(JMP, top);
    const CodeList::iterator atLoopJump = codegen_.LastEmitted();
    CodeRecord* exit = codegen_.EmitLabel();
    codegen_.SetInsertionPoint(atLoopJump);

    Expression();
    Require(Separator, kRightParen, ")");
    Move();
    codegen_.EmitJump(JZ, exit);
    Statement();
    codegen_.SetInsertionPoint(resume);
    ForgetPredeclared(predeclared);
}

// return-statement: 'return' [ expression ] ';'
// code: e; POPA; STOREL result; POPA per slot above the result; RET
void Parser::ReturnStatement() {
    Move();
    if (!Current().Is(Separator, kSemicolon)) Expression();
    else codegen_.Emit(PUSHC, 0);
    Require(Separator, kSemicolon, ";");
    Move();
    codegen_.Emit(POPA);
    codegen_.Store(resultSlot_, false);
    // Code after a return is compiled as if the return were not there.
    int32_t depth = codegen_.Depth();
    for (int32_t i = depth - base_; i > 0; --i) codegen_.EmitRaw(POPA)->depth = depth--;
    codegen_.EmitRaw(RET)->depth = depth;
}

// declaration: [storage-word] [type-word] identifier { ',' identifier } ';'
void Parser::Declaration() {
    if (CurrentIs(TypeWord, kStorageWord)) Move();
    if (Current().Is(TypeWord, kTypeName)) Move();
    Scope& scope = scopes_.back();
    for (;;) {
        if (Current().kind != Identifier) Fail(kExpected, "Identifier");
        std::string name = Current().text.Std();
        // A name hoisted out of the enclosing if or while already has its one slot,
        // however often the statement declares it.
        if (!scope.predeclared.count(name)) {
            if (scope.names.count(name)) Fail(kRedefinition, name.c_str());
            DeclareLocal(name);
        }
        Move();
        if (!Current().Is(Separator, kComma)) break;
        Move();
    }
    Require(Separator, kSemicolon, ";");
    Move();
}

// expression: { identifier assignment-operator } logical-or
// The chain is emitted from the last assignment back to the first.
void Parser::Expression() {
    NestGuard guard(*this);
    struct Assignment {
        Variable target;
        int32_t op;
    };
    std::vector<Assignment> chain;
    while (!atEnd_ && Current().kind == Identifier && tokens_.size() > 1 && tokens_[1].kind == Operator &&
           tokens_[1].code <= kLastAssignmentOperator) {
        chain.push_back({Resolve(Current().text.Std()), tokens_[1].code});
        Move();
        Move();
    }
    Binary(kFirstBinaryLevel);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (it->op == kAssign) {
            codegen_.Emit(POPA);
            Store(it->target);
            codegen_.Emit(PUSHA);
            continue;
        }
        // [value] -> [value, target] -> [value, target, value] -> [value, result] -> store
        Load(it->target);
        codegen_.Emit(PUSHA);
        codegen_.Emit(LOADL, -1);
        codegen_.Emit(PUSHA);
        codegen_.Emit(kCompoundOpcodes[it->op]);
        codegen_.Emit(LOADL, 0);
        Store(it->target);
        codegen_.Emit(POPA);
        codegen_.Emit(POPA);
        Load(it->target);
        codegen_.Emit(PUSHA);
    }
}

// binary level n: level n+1 { operator-of-level-n level n+1 }
void Parser::Binary(int level) {
    if (level > kLastBinaryLevel) {
        Prefix();
        return;
    }
    Binary(level + 1);
    for (;;) {
        if (atEnd_ || tokens_.front().kind != Operator) return;
        const int32_t code = tokens_.front().code;
        auto op = std::find_if(std::begin(kBinaryOperators), std::end(kBinaryOperators),
                               [&](const BinaryOperator& b) { return b.level == level && b.code == code; });
        if (op == std::end(kBinaryOperators)) return;
        Move();
        Binary(level + 1);
        codegen_.Emit(op->opcode);
    }
}

// prefix: { '!' | '~' | '-' } postfix  -- applied from the innermost outward
void Parser::Prefix() {
    std::vector<int32_t> ops;
    while (CurrentIs(Operator, kNot) || CurrentIs(Operator, kCompl) || CurrentIs(Operator, kMinus)) {
        const int32_t code = Current().code;
        ops.push_back(code == kNot ? NOT : code == kCompl ? COMPL : NEG);
        Move();
    }
    Postfix();
    for (auto it = ops.rbegin(); it != ops.rend(); ++it) codegen_.Emit(*it);
}

// postfix: ( '++' | '--' ) variable | primary [ '++' | '--' ]
// Both forms store the new value and yield it.
void Parser::Postfix() {
    auto update = [&](int32_t code, const Variable& v) {
        codegen_.Emit(code == kIncrement ? INC : DEC);
        codegen_.Emit(POPA);
        Store(v);
        codegen_.Emit(PUSHA);
    };
    Variable v;
    if (CurrentIs(Operator, kIncrement) || CurrentIs(Operator, kDecrement)) {
        const int32_t code = Current().code;
        Move();
        if (!Primary(&v)) Fail(kNotAVariable);
        update(code, v);
        return;
    }
    const bool plain = Primary(&v);
    if (CurrentIs(Operator, kIncrement) || CurrentIs(Operator, kDecrement)) {
        if (!plain) Fail(kNotAVariable);
        update(Current().code, v);
        Move();
    }
}

// primary: number | '(' expression ')' | call | variable
// Returns true for a plain variable, which it stores in *variable.
bool Parser::Primary(Variable* variable) {
    const Token& t = Current();
    if (t.kind == Number) {
        codegen_.Emit(PUSHC, t.code);
        Move();
        return false;
    }
    if (t.Is(Separator, kLeftParen)) {
        Move();
        Expression();
        Require(Separator, kRightParen, ")");
        Move();
        return false;
    }
    if (t.kind != Identifier) Fail(kExpected, "Expression");
    if (NextIs(Separator, kLeftParen)) {
        Call();
        return false;
    }
    *variable = Resolve(t.text.Std());
    Load(*variable);
    codegen_.Emit(PUSHA);
    Move();
    return true;
}

// call: identifier '(' [ expression { ',' expression } ] ')'
// code: PUSHA (the result slot); arguments left to right; CALL f
void Parser::Call() {
    const std::string name = Current().text.Std();
    Move();
    Move();
    codegen_.Emit(PUSHA);
    int32_t count = 0;
    while (!Current().Is(Separator, kRightParen)) {
        Expression();
        ++count;
        if (Current().Is(Separator, kComma)) {
            Move();
            continue;
        }
        if (!Current().Is(Separator, kRightParen)) Fail(kExpected, ", or )");
    }
    auto found = functions_.find(name);
    if (found == functions_.end()) {
        // The first call fixes the argument count of a function not yet defined.
        FunctionRecord& f = functions_[name];
        f.name = name.c_str();
        f.referenced = true;
        f.argumentCount = count;
        f.code.push_back(CodeRecord{NOP});
        found = functions_.find(name);
    } else if (found->second.argumentCount != count) {
        Fail(kDeclarationDiffers, name.c_str());
    } else {
        found->second.referenced = true;
    }
    codegen_.EmitCall(found->second, count);
    Move();
}

void Parser::EndOfParse() {
    for (const auto& [name, f] : functions_)
        if (!f.defined) Fail(kNotDefined, name.c_str());
    // main's prologue: one zero per global, then main's own result slot.
    FunctionRecord& main = functions_["main"];
    const int32_t globals = GlobalCount();
    for (int32_t i = globals; i >= 0; --i) {
        CodeRecord zero{PUSHC, 0};
        zero.line = main.headerLabel->line;
        zero.depth = i - 1 - globals;  // main's result slot, slot 0, is pushed last
        main.code.push_front(zero);
    }
}

// Declares ahead, in the current scope, every new name the coming if or while statement
// declares or uses outside its blocks, so that their slots are pushed once before the
// statement instead of each time (or never) its body runs.
void Parser::Predeclare(std::vector<std::string>& added) {
    std::size_t i = 0;
    ScanStatement(i, added, 0);
    Scope& scope = scopes_.back();
    for (const std::string& name : added) {
        DeclareLocal(name);
        scope.predeclared.insert(name);
    }
}

void Parser::ForgetPredeclared(const std::vector<std::string>& added) {
    for (const std::string& name : added) scopes_.back().predeclared.erase(name);
}

// Walks one statement's tokens without consuming them; never reports an error.
void Parser::ScanStatement(std::size_t& i, std::vector<std::string>& found, int nesting) const {
    const std::size_t n = tokens_.size();
    if (i >= n || nesting > kMaxNesting) return;
    auto note = [&](const std::string& name) {
        if (std::find(found.begin(), found.end(), name) == found.end()) found.push_back(name);
    };
    auto noteUse = [&](std::size_t at) {
        const bool call = at + 1 < n && tokens_[at + 1].Is(Separator, kLeftParen);
        const std::string name = tokens_[at].text.Std();
        if (!call && !IsDeclared(name)) note(name);
    };
    const Token& t = tokens_[i];
    if (t.Is(Keyword, kIf) || t.Is(Keyword, kWhile)) {
        const bool isIf = t.Is(Keyword, kIf);
        if (++i >= n || !tokens_[i].Is(Separator, kLeftParen)) return;
        int depth = 0;
        do {
            const Token& c = tokens_[i];
            if (c.Is(Separator, kLeftParen)) ++depth;
            else if (c.Is(Separator, kRightParen)) --depth;
            else if (c.kind == Identifier) noteUse(i);
            ++i;
        } while (i < n && depth > 0);
        ScanStatement(i, found, nesting + 1);
        if (isIf && i < n && tokens_[i].Is(Keyword, kElse)) {
            ++i;
            ScanStatement(i, found, nesting + 1);
        }
    } else if (t.Is(Separator, kLeftBrace)) {
        int depth = 0;
        do {
            if (tokens_[i].Is(Separator, kLeftBrace)) ++depth;
            else if (tokens_[i].Is(Separator, kRightBrace)) --depth;
            ++i;
        } while (i < n && depth > 0);
    } else {
        const bool declaration = t.kind == TypeWord;
        const Scope& scope = scopes_.back();
        while (i < n) {
            const Token& c = tokens_[i];
            if (c.kind == Identifier) {
                if (!declaration) noteUse(i);
                else if (!scope.names.count(c.text.Std())) note(c.text.Std());
            }
            ++i;
            if (c.Is(Separator, kSemicolon)) break;
        }
    }
}

bool Parser::IsDeclared(const std::string& name) const {
    return std::any_of(scopes_.begin(), scopes_.end(), [&](const Scope& s) { return s.names.count(name) > 0; });
}

// A name not declared in any enclosing scope is declared by its use, in the current scope.
Parser::Variable Parser::Resolve(const std::string& name) {
    for (std::size_t s = scopes_.size(); s-- > 0;) {
        auto it = scopes_[s].names.find(name);
        if (it != scopes_[s].names.end()) return {it->second, s == 0};
    }
    DeclareLocal(name);
    return {scopes_.back().names[name], false};
}

void Parser::DeclareLocal(const std::string& name) {
    Scope& scope = scopes_.back();
    scope.names[name] = codegen_.AllocLocal();
    ++scope.slots;
    scope.notes.push_back(variables_.size());
    variables_.push_back({name, KvDebugVariable::Kind::Local, scope.names[name], function_, &*codegen_.LastEmitted()});
}

}  // namespace kv
