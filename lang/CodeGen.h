#pragma once
// Code emission. Every function's code is a list of records; jumps and calls point at
// records, so code can be inserted around them until the linker numbers everything.
// The compiler knows the stack depth at every point, so locals are addressed relative
// to the top of the stack and the machine needs no frame pointer.

#include <cstdint>
#include <list>
#include <vector>

#include "core/KvString.h"
#include "vm/Opcodes.h"

namespace kv {

struct FunctionRecord;

struct CodeRecord {
    int32_t opcode = NOP;
    int32_t operand = 0;
    CodeRecord* target = nullptr;             // JMP and JZ: a label in the same function
    const FunctionRecord* callee = nullptr;  // CALL
    int32_t address = -1;                     // filled by the linker
    int32_t line = 0;                         // the source line it was compiled from
    int32_t depth = 0;                        // the slot on top of the stack before it runs
};

using CodeList = std::list<CodeRecord>;

struct FunctionRecord {
    KvString name;
    bool referenced = false;  // a call to it was compiled (always for main)
    bool defined = false;     // its header was parsed (always for the built-ins)
    int32_t argumentCount = 0;
    CodeList code;
    std::vector<KvString> parameters;
    CodeRecord* headerLabel = nullptr;  // where calls of main land, past its prologue
};

class CodeGen {
public:
    // Slot index of the value on top of the stack, in the current function's numbering.
    int32_t Depth() const { return depth_; }
    // The source line given to the records emitted from now on.
    void SetLine(int32_t line) { line_ = line; }
    int32_t Line() const { return line_; }

    // New records go to the end of f's code.
    void BeginFunction(FunctionRecord& f);

    // Appends an instruction before the insertion point and follows its stack effect.
    CodeRecord* Emit(int32_t opcode, int32_t operand = 0);
    // Appends without touching the depth (the unwinding run of a return).
    CodeRecord* EmitRaw(int32_t opcode, int32_t operand = 0);
    CodeRecord* EmitJump(int32_t opcode, CodeRecord* target);
    CodeRecord* EmitCall(const FunctionRecord& callee, int32_t argumentCount);
    CodeRecord* EmitLabel() { return EmitRaw(NOP); }

    // Gives a new local the next slot and pushes its zero where that slot belongs,
    // under any temporaries already on the stack.
    int32_t AllocLocal();
    // A slot the caller has already pushed (result slot, parameters): counted, no code.
    int32_t CountSlot();
    // Drops the top slot of a scope being closed.
    CodeRecord* ReleaseSlot();
    void StartFunctionSlots() { nextSlot_ = depth_ + 1; }

    // Locals have slots 0.. relative to the function; globals are negative numbers.
    void Load(int32_t variable, bool global);
    void Store(int32_t variable, bool global);

    // The insertion point: a position in the current function's code.
    CodeList::iterator InsertionPoint() const { return insertion_; }
    void SetInsertionPoint(CodeList::iterator at) { insertion_ = at; }
    // Position of the record emitted last, to move the insertion point before it.
    CodeList::iterator LastEmitted() const { return last_; }

private:
    FunctionRecord* function_ = nullptr;
    CodeList::iterator insertion_;
    CodeList::iterator last_;
    int32_t depth_ = -1;
    int32_t nextSlot_ = 0;
    int32_t line_ = 0;
};

}  // namespace kv
