// Language tests as data: each golden/*.expect file starts with the kolvexc command
// line to run in the golden folder, then the exact output (stdout and stderr) and
// the exit status.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Fifo.h"
#include "ToolRun.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> GoldenFiles() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(KV_GOLDEN_DIR))
        if (entry.path().extension() == ".expect") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string RunKolvexc(const std::string& arguments) {
    std::string command = "cd '" KV_GOLDEN_DIR "' && '" KV_KOLVEXC "' " + arguments + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return "popen failed";
    std::string output;
    std::array<char, 4096> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) output.append(buffer.data(), n);
    int status = ::pclose(pipe);
    return output + "[exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "]\n";
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, KolvexcPrintsExactlyTheExpectedOutput) {
    std::ifstream file(fs::path(KV_GOLDEN_DIR) / GetParam());
    std::string header;
    std::getline(file, header);
    const std::string prompt = "$ kolvexc ";
    ASSERT_EQ(header.rfind(prompt, 0), 0u) << "first line must be the command";
    std::stringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(RunKolvexc(header.substr(prompt.size())), expected.str());
}

INSTANTIATE_TEST_SUITE_P(Kolvexc, Golden, ::testing::ValuesIn(GoldenFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param.substr(0, info.param.size() - 7);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

// Regression: a FIFO or /dev/zero given as a robot hung kolvexc (or grew its memory without end),
// a directory compiled as an empty program, and a huge file took seconds and hundreds of MB.
TEST(Kolvexc, RefusesFilesThatAreNotRegularOrAreTooLarge) {
    kv::test::Fifo fifo(kv::test::Temp("fifo.r"));
    ASSERT_TRUE(fifo.Made());
    const std::string folder = kv::test::Temp("folder.r"), large = kv::test::Temp("large.r");
    fs::create_directory(folder);
    std::ofstream(large) << std::string(1048577, ' ');
    const std::pair<std::string, std::string> cases[] = {
        {fifo.Path(), "Can't open file '" + fifo.Path() + "'"},
        {"/dev/zero", "Can't open file '/dev/zero'"},
        {folder, "Can't open file '" + folder + "'"},
        {large, "Robot file '" + large + "' is too large (1048577 bytes; at most 1048576)"},
    };
    for (const auto& [path, message] : cases) {
        const kv::test::Outcome check = kv::test::RunToolWithin(60, KV_KOLVEXC, "'" + path + "'");
        EXPECT_EQ(check.status, 1);
        EXPECT_EQ(check.err, path + ": error: " + message + "\n");
        const kv::test::Outcome list = kv::test::RunToolWithin(60, KV_KOLVEXC, "--list '" + path + "'");
        EXPECT_EQ(list.status, 1);
        EXPECT_EQ(list.out, message + "\n");
    }
    EXPECT_FALSE(fifo.WasOpened());
    fs::remove(folder);
    fs::remove(large);
}

}  // namespace
