// Battles of the four sample robots must never change: kolvex-battle --json --trace 1 prints
// the same bytes as the recorded runs, seed by seed, at dt 0.001 and 0.01. Each recorded
// run is one line of battle-golden/samples.txt: dt, seed, the FNV-1a hash and line count of
// the whole output, and its last line (the battle's report) verbatim, so that a failure
// shows which run changed and how its outcome differs.
//
// The file is written once from a trusted build and never to make a change pass:
//   test_battle_golden --gtest_also_run_disabled_tests --gtest_filter='*WriteTheGoldenFile'

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

namespace {

const std::string kGoldenFile = KV_BATTLE_GOLDEN_DIR "/samples.txt";
constexpr const char* kDts[] = {"0.001", "0.01"};
constexpr int kSeeds = 100;
constexpr int kSeedsPerBlock = 25;
// Sanitizer builds run every tenth seed; the plain build runs them all.
#ifdef KV_GOLDEN_SAMPLED
constexpr int kSeedStride = 10;
#else
constexpr int kSeedStride = 1;
#endif

struct Recorded {
    std::string hash;
    int lines = 0;
    std::string report;
    bool operator==(const Recorded&) const = default;
};

std::string Command(const std::string& dt, int seed) {
    std::string command = "'" KV_KOLVEX_BATTLE "' --archive '" KV_ARCHIVE "' --json --trace 1 --dt " + dt +
                          " --seed " + std::to_string(seed);
    for (const char* robot : {"hunter.r", "pendulum.r", "sentinel.r", "spiral.r"})
        command += " '" KV_SAMPLE_ROBOTS "/" + std::string(robot) + "'";
    return command;
}

Recorded Battle(const std::string& dt, int seed) {
    std::FILE* pipe = ::popen(Command(dt, seed).c_str(), "r");
    if (!pipe) return {"popen failed", 0, ""};
    uint64_t hash = 14695981039346656037ull;
    Recorded run;
    std::string line;
    std::array<char, 1 << 16> buffer;
    for (size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        for (size_t i = 0; i < n; ++i) {
            const char c = buffer[i];
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            if (c == '\n') {
                ++run.lines;
                run.report = std::move(line);
                line.clear();
            } else {
                line += c;
            }
        }
    }
    const int status = ::pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {"exit status " + std::to_string(status), 0, ""};
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    run.hash = text;
    return run;
}

std::map<std::pair<std::string, int>, Recorded> ReadGolden() {
    std::map<std::pair<std::string, int>, Recorded> golden;
    std::ifstream in(kGoldenFile);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string dt;
        int seed = 0;
        Recorded run;
        fields >> dt >> seed >> run.hash >> run.lines;
        fields.get();  // the space before the report
        std::getline(fields, run.report);
        golden[{dt, seed}] = run;
    }
    return golden;
}

class BattleGolden : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(BattleGolden, SampleRobotsPrintTheRecordedBytes) {
    static const auto golden = ReadGolden();
    ASSERT_EQ(golden.size(), std::size(kDts) * kSeeds) << "cannot read " << kGoldenFile;
    const auto [dt, first] = GetParam();
    for (int seed = first; seed < first + kSeedsPerBlock; seed += kSeedStride) {
        const Recorded& expected = golden.at({dt, seed});
        const Recorded actual = Battle(dt, seed);
        EXPECT_EQ(actual, expected) << "dt " << dt << " seed " << seed << ": hash " << actual.hash << " (recorded "
                                    << expected.hash << "), lines " << actual.lines << " (recorded "
                                    << expected.lines << ")\nreport:   " << actual.report
                                    << "\nrecorded: " << expected.report << "\nrun: " << Command(dt, seed);
    }
}

std::vector<std::pair<const char*, int>> Blocks() {
    std::vector<std::pair<const char*, int>> blocks;
    for (const char* dt : kDts)
        for (int first = 1; first <= kSeeds; first += kSeedsPerBlock) blocks.emplace_back(dt, first);
    return blocks;
}

INSTANTIATE_TEST_SUITE_P(Seeds, BattleGolden, ::testing::ValuesIn(Blocks()),
                         [](const ::testing::TestParamInfo<std::pair<const char*, int>>& info) {
                             std::string name = std::string("dt") + info.param.first + "_from" +
                                                std::to_string(info.param.second);
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return name;
                         });

TEST(BattleGolden, DISABLED_WriteTheGoldenFile) {
    std::ofstream out(kGoldenFile);
    for (const char* dt : kDts) {
        for (int seed = 1; seed <= kSeeds; ++seed) {
            const Recorded run = Battle(dt, seed);
            ASSERT_EQ(run.hash.size(), 16u) << run.hash;
            out << dt << ' ' << seed << ' ' << run.hash << ' ' << run.lines << ' ' << run.report << '\n';
        }
    }
}

}  // namespace
