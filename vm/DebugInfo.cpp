#include "vm/DebugInfo.h"

#include <algorithm>

namespace kv {

int32_t KvDebugInfo::LineAt(int32_t pc) const {
    return pc >= 0 && pc < static_cast<int32_t>(lines.size()) ? lines[pc] : 0;
}

const KvDebugFunction* KvDebugInfo::FunctionAt(int32_t pc) const {
    auto f = std::upper_bound(functions.begin(), functions.end(), pc,
                              [](int32_t at, const KvDebugFunction& g) { return at < g.first; });
    if (f == functions.begin()) return nullptr;
    --f;
    return pc < f->end ? &*f : nullptr;
}

int32_t KvDebugInfo::StackIndex(const KvDebugVariable& variable, int32_t pc, int32_t sp) const {
    if (variable.kind == KvDebugVariable::Kind::Global) return variable.slot;
    if (pc < variable.first || pc >= variable.end || pc >= static_cast<int32_t>(depths.size())) return -1;
    const int32_t index = sp - (depths[pc] - variable.slot);
    return index >= 0 && index <= sp ? index : -1;
}

std::vector<const KvDebugVariable*> KvDebugInfo::InScope(int32_t pc) const {
    const KvDebugFunction* function = FunctionAt(pc);
    const int32_t index = function ? static_cast<int32_t>(function - functions.data()) : -2;
    std::vector<const KvDebugVariable*> found;
    for (const KvDebugVariable& v : variables) {
        const bool global = v.kind == KvDebugVariable::Kind::Global;
        if (!global && (v.function != index || pc < v.first || pc >= v.end)) continue;
        // Variables come outer scope first, so a later one of the same name shadows.
        auto same = std::find_if(found.begin(), found.end(), [&](const KvDebugVariable* f) { return f->name == v.name; });
        if (same != found.end()) *same = &v;
        else found.push_back(&v);
    }
    return found;
}

}  // namespace kv
