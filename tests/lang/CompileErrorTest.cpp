#include <gtest/gtest.h>

#include <string>

#include "lang/RobotCompiler.h"

namespace kv {
namespace {

CompileResult CompileText(const std::string& source) {
    KvMemIStream in(source.data(), static_cast<uint32_t>(source.size()));
    return RobotCompiler::Compile(in);
}

std::string Message(const std::string& source) { return CompileText(source).message.Std(); }

TEST(Compiler, AcceptsTheSmallestProgram) {
    CompileResult r = CompileText("main() { }");
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(r.errorCode, 0);
    EXPECT_EQ(r.message.Std(), "");
}

TEST(Compiler, ReportsMissingSemicolonOnTheLineOfThePreviousToken) {
    EXPECT_EQ(Message("main()\n{\n  x = 5\n}\n"), "; expected on line 3");
    CompileResult r = CompileText("main() {\n x = 5\n\n\n }");
    EXPECT_EQ(r.errorCode, 3);
    EXPECT_EQ(r.errorLine, 2);
    EXPECT_EQ(r.errorText.Std(), "; expected");
}

TEST(Compiler, ReportsAnEndInTheMiddleOfAConstruct) {
    EXPECT_EQ(Message("main() { x = 1 +"), "Unexpected end of file on line 1");
    EXPECT_EQ(Message("main() {\n"), "Unexpected end of file on line 1");
    EXPECT_EQ(Message("int x"), "Unexpected end of file on line 1");
    EXPECT_EQ(Message("register"), "Unexpected end of file on line 1");
    EXPECT_EQ(Message("f(a, b"), "Unexpected end of file on line 1");
}

TEST(Compiler, ReportsTheFirstUndefinedFunctionByName) {
    EXPECT_EQ(Message(""), "Function 'main' declared but not defined on line 0");
    EXPECT_EQ(Message("/* only a comment */"), "Function 'main' declared but not defined on line 0");
    EXPECT_EQ(Message("main() { zeta(); alpha(1); }\n\n"), "Function 'alpha' declared but not defined on line 1");
    EXPECT_EQ(Message("f() { }\n g() { }"), "Function 'main' declared but not defined on line 2");
    EXPECT_EQ(Message("main() { B(); a(); }"), "Function 'B' declared but not defined on line 1");  // byte order
}

TEST(Compiler, NamesWhatItExpected) {
    EXPECT_EQ(Message("5;"), "Identifier expected on line 0");  // no token moved past yet
    EXPECT_EQ(Message("main() { int 5; }"), "Identifier expected on line 1");
    EXPECT_EQ(Message("main() { x = ; }"), "Expression expected on line 1");
    EXPECT_EQ(Message("main() { else; }"), "Expression expected on line 1");
    EXPECT_EQ(Message("f(a) int a { }"), "; or , expected on line 1");
    EXPECT_EQ(Message("f(a b) { }"), ", or ) expected on line 1");
    EXPECT_EQ(Message("main() { f(1 2); }"), ", or ) expected on line 1");
    EXPECT_EQ(Message("x y;"), "; expected on line 1");
    EXPECT_EQ(Message("main() { if x; }"), "( expected on line 1");
    EXPECT_EQ(Message("main() { while (x; }"), ") expected on line 1");
    EXPECT_EQ(Message("main() { y = (1 + 2; }"), ") expected on line 1");
    EXPECT_EQ(Message("main() x"), "Typename expected on line 1");
    EXPECT_EQ(Message("f(a) int ; { }"), "Identifier expected on line 1");
    EXPECT_EQ(Message("main() { (a) = 1; }"), "; expected on line 1");
}

TEST(Compiler, RejectsAStorageWordBeforeAFunction) {
    EXPECT_EQ(Message("register f() { }"), "'(' in variable declaration on line 1");
    EXPECT_EQ(Message("auto int main() { }"), "'(' in variable declaration on line 1");
    EXPECT_TRUE(CompileText("auto int x; long y; register z; main() { }").Ok());
}

TEST(Compiler, RejectsASecondDefinitionAndEveryBuiltInName) {
    EXPECT_EQ(Message("main() { }\nmain() { }"), "main allready defined on line 2");
    EXPECT_EQ(Message("scan(a, b) { }"), "scan allready defined on line 1");
    EXPECT_EQ(Message("main() { } atan(x) { }"), "atan allready defined on line 1");
}

TEST(Compiler, ChecksOldStyleParameterDeclarations) {
    EXPECT_EQ(Message("f(a, b) int a; long c; { }"), "Unexpected argument on line 1");
    EXPECT_EQ(Message("f(a) int a; int a; { }"), "Unexpected argument on line 1");
    EXPECT_TRUE(CompileText("f(a, b) int a, b; { } main() { f(1, 2); }").Ok());
    EXPECT_TRUE(CompileText("f(a, b) int a; b; { } main() { }").Ok());
}

TEST(Compiler, HoldsCallsToTheArgumentCountTheyFixed) {
    EXPECT_EQ(Message("main(x) { }"), "Function 'main' reference and definition are different on line 1");
    EXPECT_EQ(Message("main() { f(1, 2); }\nf(a) { }"), "Function 'f' reference and definition are different on line 2");
    EXPECT_EQ(Message("main() { f(1);\n f(1, 2); }\nf(a) { }"),
              "Function 'f' reference and declaration are different on line 2");
    EXPECT_EQ(Message("main() { scan(1); }"), "Function 'scan' reference and declaration are different on line 1");
    EXPECT_EQ(Message("f(a) { } main() { f(); }"), "Function 'f' reference and declaration are different on line 1");
    EXPECT_EQ(Message("main() { main(1); }"), "Function 'main' reference and declaration are different on line 1");
}

TEST(Compiler, RejectsRedeclaredVariablesInTheSameScopeOnly) {
    EXPECT_EQ(Message("x; x;"), "Variable 'x' allready defined on line 1");
    EXPECT_EQ(Message("int a, b, a;"), "Variable 'a' allready defined on line 1");
    EXPECT_EQ(Message("main() { int a; int a; }"), "Variable 'a' redefinition on line 1");
    EXPECT_EQ(Message("main() { a = 1;\n int a; }"), "Variable 'a' redefinition on line 2");
    EXPECT_EQ(Message("f(a) { int a; } main() { }"), "Variable 'a' redefinition on line 1");
    EXPECT_TRUE(CompileText("main() { int a; { int a; } }").Ok());
    EXPECT_TRUE(CompileText("int g; main() { int g; }").Ok());
}

TEST(Compiler, AllowsIncrementsOfPlainVariablesOnly) {
    EXPECT_EQ(Message("main() { 5++; }"), "Operation on nonvariable on line 1");
    EXPECT_EQ(Message("main() { ++(x); }"), "Operation on nonvariable on line 1");
    EXPECT_EQ(Message("main() { damage()--; }"), "Operation on nonvariable on line 1");
    EXPECT_EQ(Message("main() { x++ ++; }"), "; expected on line 1");
    EXPECT_TRUE(CompileText("main() { y = x++; z = --y; }").Ok());
}

TEST(Compiler, RefusesNestingDeepEnoughToExhaustTheCompiler) {
    std::string deep = "main() { x = " + std::string(5000, '(') + "1" + std::string(5000, ')') + "; }";
    EXPECT_EQ(Message(deep), "Program nested too deeply on line 1");
    std::string blocks = "main() " + std::string(5000, '{') + std::string(5000, '}');
    EXPECT_EQ(CompileText(blocks).errorCode, 14);
    std::string ifs = "main() { ";
    for (int i = 0; i < 5000; ++i) ifs += "if (1) ";
    EXPECT_EQ(CompileText(ifs + "; }").errorCode, 14);
    std::string fine = "main() { x = " + std::string(100, '(') + "1" + std::string(100, ')') + "; }";
    EXPECT_TRUE(CompileText(fine).Ok());
}

TEST(Compiler, ReportsAFileThatCannotBeOpened) {
    CompileResult r = RobotCompiler::CompileFile("/nonexistent/kolvex/robot.r");
    EXPECT_FALSE(r.Ok());
    EXPECT_EQ(r.message.Std(), "Can't open file '/nonexistent/kolvex/robot.r'");
}

}  // namespace
}  // namespace kv
