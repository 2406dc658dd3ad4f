#pragma once
// The linked program image: all called functions laid out one after another.

#include <cstdint>
#include <memory>
#include <vector>

#include "vm/DebugInfo.h"
#include "vm/Opcodes.h"

namespace kv {

struct Instruction {
    int32_t opcode = NOP;
    int32_t operand = 0;
    bool operator==(const Instruction&) const = default;
};

struct RobotProgram {
    std::vector<Instruction> code;
    int32_t entry = 0;  // index of main's first instruction
    // From the compiler; shared by every machine loading the program. Null for hand-made code.
    std::shared_ptr<const KvDebugInfo> debug;
};

// Result of one instruction. Anything but Ok leaves pc where it was.
#define KV_VM_STATUSES(X) X(Ok) X(DivideByZero) X(StackFault) X(BadGlobal) X(BadTarget) X(CallStackOverflow) X(Finished)

enum class VmStatus : int32_t {
#define KV_VM_STATUS_ENUM(name) name,
    KV_VM_STATUSES(KV_VM_STATUS_ENUM)
#undef KV_VM_STATUS_ENUM
};

const char* VmStatusName(VmStatus status);

}  // namespace kv
