#include "lang/CodeGen.h"

#include <cassert>

namespace kv {

namespace {

// Stack effect of each opcode as the compiler counts it; CALL is settled by EmitCall.
int32_t StackEffect(int32_t op) {
    switch (op) {
        case PUSHA: case PUSHC: case ALLOC: case DAMAGE: case SPEED: case LOCX: case LOCY: return 1;
        case POPA: case JZ: case ADD: case SUB: case MUL: case DIV: case MOD: case LOR: case LAND:
        case BOR: case BXOR: case BAND: case EQ: case NE: case SHL: case SHR: case LT: case GT:
        case LE: case GE: case SCAN: case CANNON: case DRIVE:
            return -1;
        default: return 0;
    }
}

}  // namespace

void CodeGen::BeginFunction(FunctionRecord& f) {
    function_ = &f;
    insertion_ = f.code.end();
}

CodeRecord* CodeGen::EmitRaw(int32_t opcode, int32_t operand) {
    assert(function_ && "code emitted outside a function");
    last_ = function_->code.insert(insertion_, CodeRecord{opcode, operand});
    return &*last_;
}

CodeRecord* CodeGen::Emit(int32_t opcode, int32_t operand) {
    CodeRecord* record = EmitRaw(opcode, operand);
    depth_ += StackEffect(opcode);
    return record;
}

CodeRecord* CodeGen::EmitJump(int32_t opcode, CodeRecord* target) {
    CodeRecord* record = Emit(opcode);
    record->target = target;
    return record;
}

CodeRecord* CodeGen::EmitCall(const FunctionRecord& callee, int32_t argumentCount) {
    CodeRecord* record = EmitRaw(CALL);
    record->callee = &callee;
    depth_ -= argumentCount;
    return record;
}

int32_t CodeGen::AllocLocal() {
    int32_t slot = nextSlot_++;
    ++depth_;
    EmitRaw(ALLOC, slot - depth_);
    return slot;
}

int32_t CodeGen::CountSlot() {
    ++depth_;
    return nextSlot_++;
}

void CodeGen::ReleaseSlot() {
    Emit(POPA);
    --nextSlot_;
}

void CodeGen::Load(int32_t variable, bool global) {
    if (global) Emit(LOADG, variable);
    else Emit(LOADL, variable - depth_);
}

void CodeGen::Store(int32_t variable, bool global) {
    if (global) Emit(STOREG, variable);
    else Emit(STOREL, variable - depth_);
}

}  // namespace kv
