// The compiler's debug information against the machine running the program: lines of
// instructions, functions' ranges, and variables found by name where they live.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "lang/RobotCompiler.h"
#include "vm/VMachine.h"

namespace kv {
namespace {

const char* const kProgram =
    "g, h;\n"                                  // 1
    "twice(a, b)\n"                            // 2
    "{\n"                                      // 3
    "    c = a * 2;\n"                         // 4
    "    { c = b; d = 1; }\n"                  // 5
    "    drive(c, d);\n"                       // 6
    "    return c + a;\n"                      // 7
    "}\n"                                      // 8
    "main()\n"                                 // 9
    "{\n"                                      // 10
    "    x = 7;\n"                             // 11
    "    if (x > 1)\n"                         // 12
    "        h = twice(x, 5);\n"               // 13
    "    else\n"                               // 14
    "        scan(1, 2);\n"                    // 15
    "    while (x < 9) {\n"                    // 16
    "        int x; x = 1; drive(x, h);\n"     // 17
    "        g = g + 1; if (g > 2) return;\n"  // 18
    "    }\n"                                  // 19
    "}\n";                                     // 20

class NoBody : public KvBaseRobot {
public:
    int32_t Drive(int32_t, int32_t) override { return 0; }
    int32_t Scan(int32_t, int32_t) override { return 0; }
    int32_t Cannon(int32_t, int32_t) override { return 0; }
};

// Before each call of drive: the line, and every variable in scope by name.
class DriveWatch : public KvVMachine::Observer {
public:
    explicit DriveWatch(const KvVMachine& m) : machine(m) {}
    void OnExecuted(VmStatus) override {
        const int32_t pc = machine.Pc();
        const Instruction& next = machine.Code()[pc];
        const KvDebugInfo& debug = *machine.Debug();
        const KvDebugFunction* callee = debug.FunctionAt(next.operand);
        if (next.opcode != CALL || !callee || callee->name != "drive") return;
        std::map<std::string, int32_t> values;
        for (const KvDebugVariable* v : debug.InScope(pc)) {
            const int32_t at = debug.StackIndex(*v, pc, machine.Sp());
            values[v->name] = at >= 0 ? machine.StackValue(at) : -999;
        }
        seen.push_back({debug.LineAt(pc), values});
    }
    const KvVMachine& machine;
    std::vector<std::pair<int32_t, std::map<std::string, int32_t>>> seen;
};

TEST(DebugInfo, NamesTheLinesFunctionsAndVariablesOfTheRunningProgram) {
    CompileResult compiled = RobotCompiler::CompileText(kProgram);
    ASSERT_TRUE(compiled.Ok()) << compiled.message.CStr();
    const RobotProgram program = *compiled.program;
    ASSERT_TRUE(program.debug);
    const KvDebugInfo& debug = *program.debug;
    ASSERT_EQ(debug.lines.size(), program.code.size());
    ASSERT_EQ(debug.depths.size(), program.code.size());

    // Functions in name order, one after another, covering the code.
    std::vector<std::string> names;
    int32_t next = 0;
    for (const KvDebugFunction& f : debug.functions) {
        names.push_back(f.name);
        EXPECT_EQ(f.first, next) << f.name;
        next = f.end;
    }
    EXPECT_EQ(next, static_cast<int32_t>(program.code.size()));
    EXPECT_EQ(names, (std::vector<std::string>{"drive", "main", "scan", "twice"}));
    for (const KvDebugFunction& f : debug.functions) {
        for (int32_t pc = f.first; pc < f.end; ++pc) {
            EXPECT_EQ(debug.FunctionAt(pc), &f);
            const int32_t line = debug.LineAt(pc);
            if (f.name == "twice") EXPECT_TRUE(line >= 2 && line <= 8) << pc << " line " << line;
            else if (f.name == "main") EXPECT_TRUE(line >= 9 && line <= 20) << pc << " line " << line;
            else EXPECT_EQ(line, 0) << "a built-in's stub has no line";
        }
    }
    EXPECT_EQ(debug.LineAt(program.entry), 9) << "main's prologue belongs to its header";
    EXPECT_EQ(debug.FunctionAt(-1), nullptr);
    EXPECT_EQ(debug.FunctionAt(static_cast<int32_t>(program.code.size())), nullptr);

    // The calls of drive, by line.
    std::vector<int32_t> callLines;
    for (size_t pc = 0; pc < program.code.size(); ++pc) {
        const Instruction& in = program.code[pc];
        if (in.opcode == CALL && debug.FunctionAt(in.operand)->name == "drive") callLines.push_back(debug.lines[pc]);
    }
    EXPECT_EQ(callLines, (std::vector<int32_t>{17, 6}));

    // Each variable's kind and function; the two x of main and the two d of twice.
    std::multimap<std::string, std::pair<KvDebugVariable::Kind, std::string>> variables;
    for (const KvDebugVariable& v : debug.variables)
        variables.insert({v.name, {v.kind, v.function >= 0 ? debug.functions[v.function].name : "-"}});
    using K = KvDebugVariable::Kind;
    const std::multimap<std::string, std::pair<K, std::string>> expected = {
        {"g", {K::Global, "-"}},       {"h", {K::Global, "-"}},      {"a", {K::Parameter, "twice"}},
        {"b", {K::Parameter, "twice"}}, {"c", {K::Local, "twice"}},  {"d", {K::Local, "twice"}},
        {"d", {K::Local, "twice"}},    {"x", {K::Local, "main"}},    {"x", {K::Local, "main"}}};
    EXPECT_EQ(variables, expected);

    // The values found by name before each drive: d of the inner block is out of scope on
    // line 6, where a new d is 0; the loop's own x shadows main's.
    KvVMachine machine;
    NoBody body;
    DriveWatch watch(machine);
    machine.Load(program);
    machine.AttachRobot(&body);
    machine.SetObserver(&watch);
    for (int i = 0; i < 2000 && !machine.Finished(); ++i) machine.Step(0.1);
    ASSERT_TRUE(machine.Finished());
    using Values = std::map<std::string, int32_t>;
    ASSERT_EQ(watch.seen.size(), 4u);
    EXPECT_EQ(watch.seen[0], (std::pair{6, Values{{"a", 7}, {"b", 5}, {"c", 5}, {"d", 0}, {"g", 0}, {"h", 0}}}));
    for (int k = 1; k <= 3; ++k)
        EXPECT_EQ(watch.seen[k], (std::pair{17, Values{{"g", k - 1}, {"h", 12}, {"x", 1}}})) << k;
}

}  // namespace
}  // namespace kv
