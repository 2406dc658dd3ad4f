#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lang/RobotCompiler.h"
#include "vm/VMachine.h"

namespace kv {
namespace {

// Runs a program to its end and collects the arguments of every drive call:
// the tests print values by driving.
class Probe : public KvBaseRobot {
public:
    int32_t Drive(int32_t a, int32_t b) override {
        driven.emplace_back(a, b);
        return 0;
    }
    int32_t Scan(int32_t, int32_t) override { return 0; }
    int32_t Cannon(int32_t, int32_t) override { return 1; }
    std::vector<std::pair<int32_t, int32_t>> driven;
};

RobotProgram Build(const std::string& source) {
    KvMemIStream in(source.data(), static_cast<uint32_t>(source.size()));
    CompileResult r = RobotCompiler::Compile(in);
    EXPECT_TRUE(r.Ok()) << r.message.CStr();
    return r.Ok() ? *r.program : RobotProgram{};
}

struct Outcome {
    VmStatus status;
    int32_t sp;
    std::vector<std::pair<int32_t, int32_t>> driven;
};

Outcome RunProgram(const std::string& source, int limit = 100000) {
    Probe probe;
    KvVMachine vm;
    vm.Load(Build(source));
    vm.AttachRobot(&probe);
    VmStatus s = VmStatus::Ok;
    for (int i = 0; i < limit && s == VmStatus::Ok; ++i) s = vm.Execute();
    return {s, vm.Sp(), probe.driven};
}

using Pairs = std::vector<std::pair<int32_t, int32_t>>;

std::string Listing(const RobotProgram& p) {
    std::string out;
    for (const Instruction& in : p.code) {
        out += Mnemonic(in.opcode);
        if (kOpcodeTable[in.opcode].hasOperand) out += " " + std::to_string(in.operand);
        out += "; ";
    }
    return out;
}

TEST(CodeGen, InsertsTheSlotOfANameFirstUsedInsideAnExpression) {
    RobotProgram p = Build("main() { x = 1 + y; }");
    EXPECT_EQ(Listing(p),
              "PUSHC 0; NOP; ALLOC 0; PUSHC 1; ALLOC -1; LOADL -1; PUSHA; ADD; POPA; STOREL -1; PUSHA; "
              "POPA; POPA; POPA; POPA; PUSHA; RET; ");
    EXPECT_EQ(RunProgram("main() { x = 1 + y; drive(x, y); }").driven, (Pairs{{1, 0}}));
}

TEST(CodeGen, PassesArgumentsAndResultsByTheCallingConvention) {
    EXPECT_EQ(RunProgram("f(a, b) { return a - b; } main() { drive(f(7, 2), 0); }").driven, (Pairs{{5, 0}}));
    EXPECT_EQ(RunProgram("fact(n) { if (n < 2) return 1; return n * fact(n - 1); } main() { drive(fact(10), 0); }").driven,
              (Pairs{{3628800, 0}}));
    EXPECT_EQ(RunProgram("g(x) { x = x * 2; } main() { drive(g(4), 1); }").driven, (Pairs{{0, 1}}))
        << "a function without return gives back what the caller's A held when it reserved the slot";
}

TEST(CodeGen, LaysOutOnlyCalledFunctionsInNameOrder) {
    RobotProgram p = Build("b() { } uncalled() { } a() { } main() { b(); a(); }");
    std::string listing = Listing(p);
    EXPECT_EQ(listing.find("DRIVE"), std::string::npos);
    // a, b, then main: four records each for a and b, main's prologue at 8.
    EXPECT_EQ(listing.substr(0, 30), "NOP; POPA; PUSHA; RET; NOP; PO");
    EXPECT_EQ(p.entry, 8);
    EXPECT_EQ(p.code.size(), 8u + 11u);
    RobotProgram q = Build("main() { damage(); }");
    EXPECT_EQ(Listing(q).substr(0, 33), "DAMAGE; POPA; STOREL 0; RET; PUSH");
}

TEST(CodeGen, EvaluatesOperatorsWithCPrecedenceAndAssociativity) {
    EXPECT_EQ(RunProgram("main() { drive(2 + 3 * 4, 10 - 4 - 3); }").driven, (Pairs{{14, 3}}));
    EXPECT_EQ(RunProgram("main() { drive(1 << 2 + 1, 7 & 3 == 3); }").driven, (Pairs{{8, 1}}));
    EXPECT_EQ(RunProgram("main() { drive(-~0, !!5); }").driven, (Pairs{{1, 1}}));
    EXPECT_EQ(RunProgram("main() { drive(1 || 0 && 0, 2 | 1 ^ 3); }").driven, (Pairs{{1, 2}}));
    EXPECT_EQ(RunProgram("main() { drive(-7 / 2, -7 % 2); }").driven, (Pairs{{-3, -1}}));
    EXPECT_EQ(RunProgram("main() { drive(3 >= 3, 3 != 3); }").driven, (Pairs{{1, 0}}));
}

TEST(CodeGen, AssignsFromRightToLeftThroughCompoundOperators) {
    EXPECT_EQ(RunProgram("main() { b = 1; a = b += 3; drive(a, b); }").driven, (Pairs{{4, 4}}));
    EXPECT_EQ(RunProgram("main() { x = 10; x -= 3; x *= 2; x /= 3; drive(x, x %= 3); }").driven, (Pairs{{4, 1}}));
    EXPECT_EQ(RunProgram("main() { x = 6; x &= 3; y = 1; y <<= 4; y >>= 1; z = 5; z ^= 1; z |= 8; drive(x * 100 + y, z); }").driven,
              (Pairs{{208, 12}}));
    EXPECT_EQ(RunProgram("int g; main() { g = 5; g += g; drive(g, 0); }").driven, (Pairs{{10, 0}}));
}

TEST(CodeGen, IncrementsYieldTheNewValueInBothForms) {
    EXPECT_EQ(RunProgram("main() { x = 5; y = x++; z = ++x; drive(y, z); }").driven, (Pairs{{6, 7}}));
    EXPECT_EQ(RunProgram("int g; main() { g--; --g; drive(g, -g); }").driven, (Pairs{{-2, 2}}));
}

// Regression: code after a nested if used to land after the enclosing loop's body.
TEST(CodeGen, ReturnsToTheEnclosingBodyAfterAnIf) {
    Outcome o = RunProgram("main() { while (i < 3) { if (i == 1) drive(9, 9); else drive(8, 8); drive(i, 0); i++; } }");
    EXPECT_EQ(o.status, VmStatus::Finished);
    EXPECT_EQ(o.driven, (Pairs{{8, 8}, {0, 0}, {9, 9}, {1, 0}, {8, 8}, {2, 0}}));
    EXPECT_EQ(RunProgram("main() { if (1) { if (0) drive(1, 1); drive(2, 2); } drive(3, 3); }").driven,
              (Pairs{{2, 2}, {3, 3}}));
}

// Regression: a name first used in an unbraced if or while body got its slot pushed
// once per run of the body while the compiler counted it once.
TEST(CodeGen, DeclaresNamesOfAnIfOrWhileBeforeTheStatement) {
    Outcome loop = RunProgram("main() { while (i < 10) i++; drive(i, 0); }");
    EXPECT_EQ(loop.status, VmStatus::Finished);
    EXPECT_EQ(loop.driven, (Pairs{{10, 0}}));
    EXPECT_EQ(loop.sp, 0);
    EXPECT_EQ(RunProgram("main() { if (0) x = 1; y = 5; drive(y, x); }").driven, (Pairs{{5, 0}}));
    EXPECT_EQ(RunProgram("main() { if (1) x = 7; else z = 1; drive(x, z); }").driven, (Pairs{{7, 0}}));
    EXPECT_EQ(RunProgram("main() { if (1) int a; a = 4; drive(a, 0); }").driven, (Pairs{{4, 0}}));
    EXPECT_EQ(RunProgram("main() { while (i < 3) if (i >= 0) i = i + 1; drive(i, 0); }").driven, (Pairs{{3, 0}}));
    EXPECT_EQ(RunProgram("main() { while (n < 4) { n++; k = k + 2; } drive(n, 0); }").driven, (Pairs{{4, 0}}));
    // The look-ahead stops at blocks: names first used in a block stay the block's own.
    EXPECT_EQ(RunProgram("main() { if (1) { b = 3; } drive(b, 0); }").driven, (Pairs{{0, 0}}));
}

// Regression: a second declaration of a hoisted name inside the statement (the else
// branch's, or a repeat in one list) was refused as a redefinition.
TEST(CodeGen, LetsEveryDeclarationInsideTheStatementNameAHoistedVariable) {
    EXPECT_TRUE(RunProgram("main() { while (a < 2) int a; }", 50).driven.empty());
    Outcome both = RunProgram("main() { if (0) int b; else int b; b = 4; if (1) int c, c; drive(b, c); }");
    EXPECT_EQ(both.driven, (Pairs{{4, 0}}));
    EXPECT_EQ(both.sp, 0);
    EXPECT_EQ(RunProgram("main() { while (n < 3) if (n < 0) int n, n; else n++; drive(n, 0); }").driven,
              (Pairs{{3, 0}}));
    // After the statement the hoisted name is an ordinary local of the scope.
    KvMemIStream after("main() { if (1) x = 1; int x; }", 31);
    EXPECT_EQ(RobotCompiler::Compile(after).message.Std(), "Variable 'x' redefinition on line 1");
}

// Regression: a repeated parameter name left one slot on the stack at the closing brace.
TEST(CodeGen, PopsEverySlotOfARepeatedParameter) {
    EXPECT_EQ(RunProgram("f(a, a) { return a; } main() { drive(f(1, 2), 9); }").driven, (Pairs{{2, 9}}));
    Outcome o = RunProgram("g(a, a) { } main() { x = 5; g(1, 2); y = 6; drive(x, y); }");
    EXPECT_EQ(o.driven, (Pairs{{5, 6}}));
    EXPECT_EQ(o.sp, 0);
}

// Regression: a call of main compiled before main's definition had no target.
TEST(CodeGen, CallsOfMainLandPastItsPrologue) {
    const std::string source = "int n; again() { if (n < 3) main(); } main() { n++; drive(n, 0); again(); }";
    RobotProgram p = Build(source);
    EXPECT_EQ(p.code[p.entry + 2].opcode, NOP);  // one global, then main's result slot, then its label
    bool found = false;
    for (const Instruction& in : p.code)
        if (in.opcode == CALL && in.operand == p.entry + 2) found = true;
    EXPECT_TRUE(found);
    Outcome o = RunProgram(source);
    EXPECT_EQ(o.status, VmStatus::Finished);
    EXPECT_EQ(o.driven, (Pairs{{1, 0}, {2, 0}, {3, 0}}));
}

TEST(CodeGen, KeepsGoingAfterTheOneOverflowingDivision) {
    Outcome o = RunProgram("main() { x = -2147483647 - 1; drive(x / -1, x % -1); drive(1, 1); }");
    EXPECT_EQ(o.driven, (Pairs{{-2147483647 - 1, 0}, {1, 1}}));
    EXPECT_EQ(o.status, VmStatus::Finished);
}

TEST(CodeGen, ReturnFromInsideNestedBlocksUnwindsTheWholeFrame) {
    const std::string source =
        "f(a) { int b; b = a; while (1) { c = b; if (c > 2) { int d; d = c; return d + 100; } b++; } } "
        "main() { x = 1; drive(f(0), x); drive(f(5), x); }";
    Outcome o = RunProgram(source);
    EXPECT_EQ(o.driven, (Pairs{{103, 1}, {105, 1}}));
    EXPECT_EQ(o.sp, 0);
}

}  // namespace
}  // namespace kv
