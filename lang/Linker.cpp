#include "lang/Linker.h"

#include <cassert>

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
    for (auto& [name, f] : functions) {
        if (!f.referenced) continue;
        for (const CodeRecord& r : f.code) {
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
    return program;
}

}  // namespace kv
