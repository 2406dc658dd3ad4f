#pragma once
// Running a command-line tool from a test as a shell user would: its output, errors and
// exit status, with robot files named from the test robots' folder.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include "TempFolder.h"

namespace kv::test {

struct Outcome {
    std::string out, err;
    int status = -1;
};

inline std::string Slurp(const std::string& path) { return ReadWhole<std::string>(path); }

// A path of this test process's own in the test's temporary folder.
inline std::string Temp(const std::string& name) {
    return ::testing::TempDir() + "kolvex_tool_" + std::to_string(::getpid()) + "_" + name;
}

// Runs program with the arguments (already quoted) and an optional environment prefix.
inline Outcome RunTool(const std::string& program, const std::string& arguments, const std::string& environment = "") {
    const std::string base = Temp("run");
    const std::string command = environment + " '" + program + "' " + arguments + " >'" + base + ".out' 2>'" + base + ".err'";
    const int status = std::system(command.c_str());
    Outcome run{Slurp(base + ".out"), Slurp(base + ".err"), WIFEXITED(status) ? WEXITSTATUS(status) : -1};
    std::remove((base + ".out").c_str());
    std::remove((base + ".err").c_str());
    return run;
}

// RunTool for inputs that could make a faulty tool wait or read for ever: it is stopped after
// seconds, with the status 124.
inline Outcome RunToolWithin(int seconds, const std::string& program, const std::string& arguments) {
    return RunTool(program, arguments, "timeout -k 5 " + std::to_string(seconds));
}

// The quoted paths of robot files in folder.
inline std::string Robots(const std::string& folder, std::initializer_list<const char*> names) {
    std::string s;
    for (const char* n : names) s += " '" + folder + "/" + n + "'";
    return s;
}

}  // namespace kv::test
