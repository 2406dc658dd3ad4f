#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "Fifo.h"
#include "TempFolder.h"
#include "lang/RobotCompiler.h"

namespace kv {
namespace {

CompileResult CompileText(const std::string& source) {
    KvMemIStream in(source.data(), static_cast<uint32_t>(source.size()));
    return RobotCompiler::Compile(in);
}

TEST(Compiler, ReportsMissingSemicolonOnTheLineOfThePreviousToken) {
    CompileResult r = CompileText("main() {\n x = 5\n\n\n }");
    EXPECT_EQ(r.errorCode, 3);
    EXPECT_EQ(r.errorLine, 2);
    EXPECT_EQ(r.errorText.Std(), "; expected");
    EXPECT_EQ(r.message.Std(), "; expected on line 2");
}

// Each program with the one message the compiler gives for its first error.
TEST(Compiler, ReportsTheFirstErrorWithItsLine) {
    const std::pair<const char*, const char*> cases[] = {
        // An end in the middle of a construct.
        {"main() { x = 1 +", "Unexpected end of file on line 1"},
        {"main() {\n", "Unexpected end of file on line 1"},
        {"int x", "Unexpected end of file on line 1"},
        {"register", "Unexpected end of file on line 1"},
        {"f(a, b", "Unexpected end of file on line 1"},
        // The first undefined function by name, in byte order.
        {"", "Function 'main' declared but not defined on line 0"},
        {"/* only a comment */", "Function 'main' declared but not defined on line 0"},
        {"main() { zeta(); alpha(1); }\n\n", "Function 'alpha' declared but not defined on line 1"},
        {"f() { }\n g() { }", "Function 'main' declared but not defined on line 2"},
        {"main() { B(); a(); }", "Function 'B' declared but not defined on line 1"},
        // What it expected; line 0 while no token has been moved past.
        {"5;", "Identifier expected on line 0"},
        {"main() { int 5; }", "Identifier expected on line 1"},
        {"main() { x = ; }", "Expression expected on line 1"},
        {"main() { else; }", "Expression expected on line 1"},
        {"f(a) int a { }", "; or , expected on line 1"},
        {"f(a b) { }", ", or ) expected on line 1"},
        {"main() { f(1 2); }", ", or ) expected on line 1"},
        {"x y;", "; expected on line 1"},
        {"main() { if x; }", "( expected on line 1"},
        {"main() { while (x; }", ") expected on line 1"},
        {"main() { y = (1 + 2; }", ") expected on line 1"},
        {"main() x", "Typename expected on line 1"},
        {"f(a) int ; { }", "Identifier expected on line 1"},
        {"main() { (a) = 1; }", "; expected on line 1"},
        // A storage word before a function.
        {"register f() { }", "'(' in variable declaration on line 1"},
        {"auto int main() { }", "'(' in variable declaration on line 1"},
        // A second definition, and every built-in name.
        {"main() { }\nmain() { }", "main allready defined on line 2"},
        {"scan(a, b) { }", "scan allready defined on line 1"},
        {"main() { } atan(x) { }", "atan allready defined on line 1"},
        // Old-style parameter declarations.
        {"f(a, b) int a; long c; { }", "Unexpected argument on line 1"},
        {"f(a) int a; int a; { }", "Unexpected argument on line 1"},
        // Calls held to the argument count they fixed.
        {"main(x) { }", "Function 'main' reference and definition are different on line 1"},
        {"main() { f(1, 2); }\nf(a) { }", "Function 'f' reference and definition are different on line 2"},
        {"main() { f(1);\n f(1, 2); }\nf(a) { }", "Function 'f' reference and declaration are different on line 2"},
        {"main() { scan(1); }", "Function 'scan' reference and declaration are different on line 1"},
        {"f(a) { } main() { f(); }", "Function 'f' reference and declaration are different on line 1"},
        {"main() { main(1); }", "Function 'main' reference and declaration are different on line 1"},
        // Variables redeclared in the same scope.
        {"x; x;", "Variable 'x' allready defined on line 1"},
        {"int a, b, a;", "Variable 'a' allready defined on line 1"},
        {"main() { int a; int a; }", "Variable 'a' redefinition on line 1"},
        {"main() { a = 1;\n int a; }", "Variable 'a' redefinition on line 2"},
        {"f(a) { int a; } main() { }", "Variable 'a' redefinition on line 1"},
        // Increments of anything but a plain variable.
        {"main() { 5++; }", "Operation on nonvariable on line 1"},
        {"main() { ++(x); }", "Operation on nonvariable on line 1"},
        {"main() { damage()--; }", "Operation on nonvariable on line 1"},
        {"main() { x++ ++; }", "; expected on line 1"},
    };
    for (const auto& [source, message] : cases) EXPECT_EQ(CompileText(source).message.Std(), message) << source;
}

TEST(Compiler, AcceptsTheSmallestProgramAndTheNearMissesOfThoseErrors) {
    for (const char* source : {"main() { }", "auto int x; long y; register z; main() { }",
                               "f(a, b) int a, b; { } main() { f(1, 2); }", "f(a, b) int a; b; { } main() { }",
                               "main() { int a; { int a; } }", "int g; main() { int g; }",
                               "main() { y = x++; z = --y; }"}) {
        const CompileResult r = CompileText(source);
        EXPECT_TRUE(r.Ok() && r.errorCode == 0 && r.message.Std().empty()) << source;
    }
}

TEST(Compiler, RefusesNestingDeepEnoughToExhaustTheCompiler) {
    std::string deep = "main() { x = " + std::string(5000, '(') + "1" + std::string(5000, ')') + "; }";
    EXPECT_EQ(CompileText(deep).message.Std(), "Program nested too deeply on line 1");
    std::string blocks = "main() " + std::string(5000, '{') + std::string(5000, '}');
    EXPECT_EQ(CompileText(blocks).errorCode, 14);
    std::string ifs = "main() { ";
    for (int i = 0; i < 5000; ++i) ifs += "if (1) ";
    EXPECT_EQ(CompileText(ifs + "; }").errorCode, 14);
    std::string fine = "main() { x = " + std::string(100, '(') + "1" + std::string(100, ')') + "; }";
    EXPECT_TRUE(CompileText(fine).Ok());
}

using RobotFile = test::TempFolder;

// Regression: a directory compiled as an empty program ("Function 'main' declared but not
// defined"), a FIFO blocked the compiler for ever and a device fed it without end.
TEST_F(RobotFile, ThatIsMissingOrNotARegularFileCannotBeOpened) {
    test::Fifo fifo(Path("fifo.r"));
    ASSERT_TRUE(fifo.Made());
    std::filesystem::create_directory(Path("folder.r"));
    for (const std::string& path : {std::string("/nonexistent/kolvex/robot.r"), fifo.Path(), Path("folder.r"),
                                   std::string("/dev/null")}) {
        CompileResult r = RobotCompiler::CompileFile(path.c_str());
        EXPECT_FALSE(r.Ok());
        EXPECT_EQ(r.errorCode, -1);
        EXPECT_EQ(r.message.Std(), "Can't open file '" + path + "'");
    }
    EXPECT_FALSE(fifo.WasOpened());
}

// Regression: a 10 MB one-line robot froze the game for seconds and took 85 times its size.
TEST_F(RobotFile, AboveTheSizeLimitIsRefusedUnread) {
    std::string atLimit = "main(){}";
    atLimit.resize(kMaxRobotFileBytes, ' ');
    EXPECT_TRUE(RobotCompiler::CompileFile(Write("at-limit.r", atLimit).c_str()).Ok());

    const std::string over = Write("over.r", atLimit + " ");
    CompileResult r = RobotCompiler::CompileFile(over.c_str());
    EXPECT_EQ(r.errorCode, -1);
    EXPECT_EQ(r.message.Std(), "Robot file '" + over + "' is too large (1048577 bytes; at most 1048576)");

    // Past 4 GiB the size must not wrap round to a small one (the file is sparse).
    const std::string huge = Write("huge.r", std::string("main(){}"));
    std::filesystem::resize_file(huge, (uint64_t{1} << 32) + 8);
    EXPECT_EQ(RobotCompiler::CompileFile(huge.c_str()).message.Std(),
              "Robot file '" + huge + "' is too large (4294967304 bytes; at most 1048576)");
}

}  // namespace
}  // namespace kv
