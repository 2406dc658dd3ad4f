// kolvex-shot as a robot author uses it: run from a shell, read its picture, output and status.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>
#include <string>

#include "Fifo.h"
#include "ToolRun.h"

namespace {

using namespace kv::test;

const std::string kRobots = KV_TEST_ROBOTS;

Outcome Shot(const std::string& arguments, const std::string& environment = "") {
    return RunTool(KV_KOLVEX_SHOT, "--archive '" KV_ARCHIVE "' " + arguments, environment);
}

Outcome Battle(const std::string& arguments) { return RunTool(KV_KOLVEX_BATTLE, "--archive '" KV_ARCHIVE "' " + arguments); }

std::string Robots(std::initializer_list<const char*> names) { return kv::test::Robots(kRobots, names); }

const std::string kFour = Robots({"rover.r", "shooter.r", "hostile.r", "selfharm.r"});

TEST(KolvexShot, DrawsTheSamePictureForTheSameOptionsAndSeed) {
    const std::string a = Temp("a.png"), b = Temp("b.png"), c = Temp("c.png");
    const std::string options = " --no-fps --size 320x200 --at 3" + kFour;
    ASSERT_EQ(Shot("--seed 8 -o '" + a + "'" + options).status, 0);
    ASSERT_EQ(Shot("--seed 8 -o '" + b + "'" + options).status, 0);
    ASSERT_EQ(Shot("--seed 9 -o '" + c + "'" + options).status, 0);
    const std::string picture = Slurp(a);
    EXPECT_EQ(picture.substr(1, 3), "PNG");
    EXPECT_GT(picture.size(), 10000u);
    EXPECT_EQ(picture, Slurp(b));
    EXPECT_NE(picture, Slurp(c));
    // Another camera or layout draws another picture of the same battle.
    ASSERT_EQ(Shot("--seed 8 --yaw 2 --pitch 1.2 -o '" + c + "'" + options).status, 0);
    EXPECT_NE(picture, Slurp(c));
    for (const std::string& path : {a, b, c}) std::remove(path.c_str());
}

TEST(KolvexShot, ReportsTheBattleAsKolvexBattleDoesForTheTimeOfTheLastFrame) {
    const Outcome shot = Shot("--seed 21 --json --frames 4 --views all --size 200x150" + kFour);
    ASSERT_EQ(shot.status, 0) << shot.err;
    // Three advances of 17 ticks of 1 ms after the first frame at 5 s.
    const std::string json = shot.out.substr(0, shot.out.find('\n') + 1);
    EXPECT_NE(json.find("\"time\": 5.051"), std::string::npos) << json;
    EXPECT_EQ(Battle("--seed 21 --json --time 5.051" + kFour).out, json);
    // The frame benchmark's line comes last.
    const std::string last = shot.out.substr(json.size());
    EXPECT_TRUE(std::regex_match(last, std::regex("frames 4  median [0-9.]+ ms  p90 [0-9.]+ ms  fps [0-9.]+\n"))) << last;
}

TEST(KolvexShot, DrawingSmokeFireAndWrecksLeavesTheBattleAsKolvexBattleRunsIt) {
    // Both self-shelling robots die on the way (about 15 s) and their wrecks burst; shells
    // trail smoke and burst in fire all along.
    const std::string robots = Robots({"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"});
    const Outcome shot = Shot("--seed 12 --json --at 14 --frames 150 --views all --size 160x120" + robots);
    ASSERT_EQ(shot.status, 0) << shot.err;
    const std::string json = shot.out.substr(0, shot.out.find('\n') + 1);
    EXPECT_NE(json.find("\"time\": 16.533"), std::string::npos) << json;
    EXPECT_NE(json.find("\"alive\": false"), std::string::npos) << json;
    EXPECT_EQ(Battle("--seed 12 --json --time 16.533" + robots).out, json);
}

TEST(KolvexShot, RejectsBadOptionsWithKolvexBattlesMessagesAndStatuses) {
    const std::string out = " -o '" + Temp("x.png") + "'";
    for (const char* bad : {"--seed -1", "--dt 0", "--dt 0.5", "--dt abc", "--bogus"}) {
        const Outcome shot = Shot(std::string(bad) + out + kFour), battle = Battle(std::string(bad) + kFour);
        EXPECT_EQ(shot.status, 2) << bad;
        EXPECT_EQ(battle.status, 2) << bad;
        const std::string first = shot.err.substr(0, shot.err.find('\n'));
        std::string expected = battle.err.substr(0, battle.err.find('\n'));
        expected.replace(0, std::string("kolvex-battle").size(), "kolvex-shot");
        EXPECT_EQ(first, expected) << bad;
    }
    for (const char* bad : {"--views some", "--shadow soft", "--size 100", "--size 10x10", "--frames 0", "--at -1"}) {
        const Outcome shot = Shot(std::string(bad) + out + kFour);
        EXPECT_EQ(shot.status, 2) << bad;
        EXPECT_EQ(shot.err.rfind("kolvex-shot: ", 0), 0u) << shot.err;
    }
    EXPECT_EQ(Shot(kFour).status, 2) << "a picture needs -o";
    EXPECT_EQ(Shot("--help").status, 0);
    EXPECT_EQ(Shot("--shadow stencil --shadow map --views all" + out + kFour).status, 0);
}

TEST(KolvexShot, ReportsUnreadableRobotsAndArchivesAsKolvexBattleDoes) {
    const std::string out = " -o '" + Temp("x.png") + "'";
    const std::string missing = " '" + kRobots + "/no-such-robot.r'";
    const Outcome shot = Shot("--seed 1" + out + missing), battle = Battle("--seed 1" + missing);
    EXPECT_EQ(shot.status, 1);
    EXPECT_EQ(shot.err, battle.err);
    EXPECT_EQ(shot.err, "Can't open file '" + kRobots + "/no-such-robot.r'\n");

    const std::string noArchive = " --archive /no/such/Kolvex.kvfs";
    const Outcome shotArchive = RunTool(KV_KOLVEX_SHOT, noArchive + out + kFour);
    const Outcome battleArchive = RunTool(KV_KOLVEX_BATTLE, noArchive + kFour);
    EXPECT_EQ(shotArchive.status, 3);
    EXPECT_EQ(battleArchive.status, 3);
    EXPECT_EQ(shotArchive.err.substr(std::string("kolvex-shot").size()),
              battleArchive.err.substr(std::string("kolvex-battle").size()));
    EXPECT_EQ(battleArchive.err, "kolvex-battle: /no/such/Kolvex.kvfs not found\n");

    // Regression: a FIFO robot hung kolvex-shot as it hung kolvex-battle.
    Fifo fifo(Temp("fifo.r"));
    ASSERT_TRUE(fifo.Made());
    const Outcome shotFifo =
        RunToolWithin(60, KV_KOLVEX_SHOT, "--archive '" KV_ARCHIVE "'" + out + " '" + fifo.Path() + "'");
    EXPECT_EQ(shotFifo.status, 1);
    EXPECT_EQ(shotFifo.err, "Can't open file '" + fifo.Path() + "'\n");
    EXPECT_FALSE(fifo.WasOpened());
}

// libglvnd reads the EGL drivers it may load from this documented variable: naming none
// leaves the program without any OpenGL context.
TEST(KolvexShot, SaysSoInOneLineWhenNoOpenGlContextCanBeMade) {
    const Outcome shot = Shot("--seed 1 -o '" + Temp("x.png") + "'" + kFour, "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json");
    EXPECT_EQ(shot.status, 4);
    EXPECT_EQ(shot.err.rfind("kolvex-shot: no OpenGL context: ", 0), 0u) << shot.err;
    EXPECT_EQ(std::count(shot.err.begin(), shot.err.end(), '\n'), 1);
}

}  // namespace
