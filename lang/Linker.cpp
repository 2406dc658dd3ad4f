#include "lang/Linker.h"

#include <cassert>
#include <map>
#include <memory>

namespace kv {

RobotProgram Link(Parser& parser) {
    assert(parser.GetError() == 0 && "linking a program that did not parse");
    auto& functions = parser.Functions();
    const int32_t globals = parser.GlobalCount();

    int32_t address = 0;
    for (auto& [name, f] : functions) {
        if (!f.referenced) continue;
        for (CodeRecord& r : f.code) r.address = address++;
    }

    RobotProgram program;
    program.code.reserve(static_cast<std::size_t>(address));
    auto debug = std::make_shared<KvDebugInfo>();
    std::map<const FunctionRecord*, int32_t> functionIndex;
    for (auto& [name, f] : functions) {
        if (!f.referenced) continue;
        functionIndex[&f] = static_cast<int32_t>(debug->functions.size());
        debug->functions.push_back({name, f.code.front().address, f.code.back().address + 1, f.argumentCount});
        for (const CodeRecord& r : f.code) {
            debug->lines.push_back(r.line);
            debug->depths.push_back(r.depth);
            Instruction in{r.opcode, r.operand};
            if (r.opcode == CALL) {
                // Calls of main land on its header label, past the prologue.
                const bool toMain = r.callee->name.Equals("main");
                in.operand = toMain ? r.callee->headerLabel->address : r.callee->code.front().address;
            } else if (r.target) {
                in.operand = r.target->address;
            } else if (r.opcode == LOADG || r.opcode == STOREG) {
                in.operand = r.operand + globals;
            }
            program.code.push_back(in);
        }
    }
    program.entry = functions.at("main").code.front().address;

    for (const Parser::VariableNote& v : parser.Variables()) {
        if (v.kind == KvDebugVariable::Kind::Global) {
            debug->variables.push_back({v.name, v.kind, v.slot + globals, -1, 0, address});
            continue;
        }
        const auto f = functionIndex.find(v.function);
        if (f == functionIndex.end()) continue;  // a function never called is not in the code
        const KvDebugFunction& function = debug->functions[f->second];
        // A parameter is in scope from the function's first label; main has none.
        const int32_t first = v.declared ? v.declared->address + 1 : function.first;
        const int32_t end = v.closed ? v.closed->address : function.end;
        debug->variables.push_back({v.name, v.kind, v.slot, f->second, first, end});
    }
    program.debug = std::move(debug);
    return program;
}

}  // namespace kv
