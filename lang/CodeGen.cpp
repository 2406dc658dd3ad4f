#include "lang/CodeGen.h"

#include <cassert>

namespace kv {

void CodeGen::BeginFunction(FunctionRecord& f) {
    function_ = &f;
    insertion_ = f.code.end();
}

CodeRecord* CodeGen::EmitRaw(int32_t opcode, int32_t operand) {
    assert(function_ && "code emitted outside a function");
    last_ = function_->code.insert(insertion_, CodeRecord{opcode, operand});
    last_->line = line_;
    last_->depth = depth_;
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

// The callee removes its arguments, which the opcode table cannot know.
CodeRecord* CodeGen::EmitCall(const FunctionRecord& callee, int32_t argumentCount) {
    CodeRecord* record = Emit(CALL);
    record->callee = &callee;
    depth_ -= argumentCount;
    return record;
}

int32_t CodeGen::AllocLocal() {
    int32_t slot = nextSlot_++;
    ++depth_;
    EmitRaw(ALLOC, slot - depth_)->depth = depth_ - 1;
    return slot;
}

int32_t CodeGen::CountSlot() {
    ++depth_;
    return nextSlot_++;
}

CodeRecord* CodeGen::ReleaseSlot() {
    --nextSlot_;
    return Emit(POPA);
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
