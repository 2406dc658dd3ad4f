#pragma once
// A machine as a robot author reads it: where it is in the source, the call stack, the
// variables by name with their values, and its record. Taken while no step runs.

#include <cstdint>
#include <string>
#include <vector>

#include "vm/DebugInfo.h"
#include "vm/MachineRecord.h"

namespace kv {

class KvVMachine;

struct KvFrameView {
    std::string function;  // empty without debug information
    int32_t line = 0;
    int32_t pc = 0;
};

struct KvValueView {
    std::string name;
    KvDebugVariable::Kind kind = KvDebugVariable::Kind::Global;
    int32_t value = 0;
};

struct KvMachineView {
    int32_t pc = 0;
    int32_t line = 0;  // of the instruction about to run; inside a built-in, of its call
    int32_t csp = -1;
    bool finished = false;
    std::vector<KvFrameView> frames;   // the running function first, then its callers
    std::vector<KvValueView> globals;  // in declaration order
    std::vector<KvValueView> locals;   // the running function's parameters and locals in scope
    KvMachineRecord record;
};

KvMachineView ViewOf(const KvVMachine& machine);

}  // namespace kv
