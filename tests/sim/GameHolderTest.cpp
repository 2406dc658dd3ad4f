#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "Arena.h"
#include "core/Random.h"

namespace kv {
namespace {

using test::Arena;

const std::string kRobots = KV_TEST_ROBOTS;

RobotChoice Choice(int colour, const std::string& file) { return {true, colour, KvFile(file.c_str())}; }

TEST(GameHolder, RefusesABattleWithoutRobots) {
    Arena arena;
    EXPECT_FALSE(arena.holder.SetupBattle());
    ASSERT_EQ(arena.presenter.errors.size(), 1u);
    EXPECT_EQ(arena.presenter.errors[0], "Too few robots for battle");
}

TEST(GameHolder, NamesTheFileItCannotOpen) {
    Arena arena;
    arena.holder.choices[2] = {true, 2, KvFile()};
    EXPECT_FALSE(arena.holder.SetupBattle());
    ASSERT_EQ(arena.presenter.errors.size(), 1u);
    EXPECT_EQ(arena.presenter.errors[0], "Can't open file ''");
}

TEST(GameHolder, ReportsOnlyTheFirstFileThatDoesNotCompileAndBuildsNothing) {
    const std::string bad = ::testing::TempDir() + "kolvex_bad.r";
    std::ofstream(bad) << "main()\n{\n  int x;\n  x = (1 + ;\n}\n";
    Arena arena;
    arena.holder.choices[0] = Choice(0, kRobots + "/sitter.r");
    arena.holder.choices[1] = Choice(1, bad);
    arena.holder.choices[2] = {true, 2, KvFile("/nonexistent/robot.r")};
    EXPECT_FALSE(arena.holder.SetupBattle());
    ASSERT_EQ(arena.presenter.errors.size(), 1u);
    const std::string prefix = "Error, while compiling file " + bad + ":\n";
    EXPECT_EQ(arena.presenter.errors[0].substr(0, prefix.size()), prefix);
    EXPECT_NE(arena.presenter.errors[0].find("on line 4"), std::string::npos) << arena.presenter.errors[0];
    EXPECT_TRUE(arena.holder.robots.empty());
    EXPECT_TRUE(arena.holder.machines.empty());
    EXPECT_TRUE(arena.holder.objects.empty());
    EXPECT_TRUE(arena.scheduler.PendingAdd().empty());
    std::remove(bad.c_str());
}

TEST(GameHolder, PlacesRobotsInsideTheArenaAtLeast200Apart) {
    for (uint32_t seed = 0; seed < 60; ++seed) {
        Arena arena;
        for (int k = 0; k < 4; ++k) arena.holder.choices[k] = Choice(k, kRobots + "/sitter.r");
        SeedRandom(seed);
        ASSERT_TRUE(arena.holder.SetupBattle());
        ASSERT_EQ(arena.holder.robots.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            const KvGLRobot& r = *arena.holder.robots[i];
            EXPECT_GE(r.position.x, 0);
            EXPECT_LE(r.position.x, 999);
            EXPECT_EQ(r.heading, 0);
            EXPECT_EQ(r.damage, 0);
            EXPECT_EQ(r.reloadTimer, 1.5);
            for (size_t j = 0; j < i; ++j)
                EXPECT_GE((r.position - arena.holder.robots[j]->position).Length(), 200) << "seed " << seed;
        }
    }
}

TEST(GameHolder, ColoursFollowTheSlotsNotTheCount) {
    Arena arena;
    arena.holder.choices[1] = Choice(1, kRobots + "/sitter.r");
    arena.holder.choices[3] = Choice(3, kRobots + "/shooter.r");
    ASSERT_TRUE(arena.holder.SetupBattle());
    ASSERT_EQ(arena.holder.robots.size(), 2u);
    EXPECT_STREQ(ColourName(arena.holder.robots[0]->colourIndex), "green");
    EXPECT_STREQ(ColourName(arena.holder.robots[1]->colourIndex), "magenta");
    EXPECT_EQ(arena.holder.robots[1]->name, KvString("shooter.r"));
    EXPECT_EQ(arena.holder.slots, (std::vector<int>{1, 3}));
    EXPECT_EQ(arena.presenter.added, 2);
}

TEST(GameHolder, RegistersRobotsAndMachinesThatRunFromTheSecondTick) {
    Arena arena(0.01);
    arena.holder.choices[0] = Choice(0, kRobots + "/sitter.r");
    arena.scheduler.SetPaused(true);
    ASSERT_TRUE(arena.holder.SetupBattle());
    EXPECT_EQ(arena.scheduler.PendingAdd().size(), 2u);
    arena.scheduler.Tick();
    EXPECT_EQ(arena.scheduler.PendingAdd().size(), 2u);
    arena.scheduler.SetPaused(false);
    arena.scheduler.Tick();
    EXPECT_EQ(arena.holder.robots[0]->lastDt, 0);
    arena.scheduler.Tick();
    EXPECT_EQ(arena.holder.robots[0]->lastDt, 0.01);
}

TEST(GameHolder, ClearingBeforeTheFirstTickLeavesNothingBehindInTheScheduler) {
    Arena arena;
    arena.holder.choices[0] = Choice(0, kRobots + "/sitter.r");
    arena.holder.choices[1] = Choice(1, kRobots + "/shooter.r");
    arena.scheduler.SetPaused(true);
    ASSERT_TRUE(arena.holder.SetupBattle());
    arena.holder.Clear();
    ASSERT_TRUE(arena.holder.SetupBattle());
    arena.holder.Clear();
    arena.scheduler.SetPaused(false);
    arena.scheduler.Tick();
    EXPECT_EQ(arena.scheduler.Active().size(), 1u);  // only the session
    EXPECT_TRUE(arena.holder.objects.empty());
    EXPECT_TRUE(arena.holder.robots.empty());
}

TEST(GameHolder, ASingleRobotBattleIsValidAndItsScansFindNothing) {
    Arena arena;
    arena.holder.choices[0] = Choice(0, kRobots + "/shooter.r");
    ASSERT_TRUE(arena.holder.SetupBattle());
    arena.Run(5);
    EXPECT_EQ(arena.holder.robots[0]->shots, 0);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

TEST(GameHolder, ASecondSetUpRecompilesTheFilesAsTheyAreNow) {
    const std::string file = ::testing::TempDir() + "kolvex_edited.r";
    std::ofstream(file) << "main()\n{\n}\n";
    Arena arena;
    arena.holder.choices[0] = {true, 0, KvFile(file.c_str())};
    ASSERT_TRUE(arena.holder.SetupBattle());
    arena.Run(1);
    EXPECT_EQ(arena.holder.robots[0]->speed, 0);
    arena.holder.Clear();
    std::ofstream(file) << "main()\n{\n  drive(90, 30);\n}\n";
    ASSERT_TRUE(arena.holder.SetupBattle());
    arena.Run(1);
    EXPECT_EQ(arena.holder.robots[0]->speed, 30);
    std::remove(file.c_str());
}

}  // namespace
}  // namespace kv
