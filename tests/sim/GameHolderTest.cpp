#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "Arena.h"
#include "core/Random.h"

namespace kv {
namespace {

using test::Arena;

TEST(GameHolder, ReportsOnlyTheFirstSetUpProblemAndBuildsNothing) {
    const std::string bad = ::testing::TempDir() + "kolvex_bad.r";
    std::ofstream(bad) << "main()\n{\n  int x;\n  x = (1 + ;\n}\n";
    const struct {
        std::vector<std::pair<int, std::string>> files;
        std::string message;
    } cases[] = {
        {{}, "Too few robots for battle"},
        {{{2, ""}}, "Can't open file ''"},
        {{{0, KV_TEST_ROBOTS "/sitter.r"}, {1, bad}, {2, "/nonexistent/robot.r"}},
         "Error, while compiling file " + bad + ":\nExpression expected on line 4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Arena arena;
        for (const auto& [slot, file] : c.files) arena.holder.choices[slot] = {true, slot, KvFile(file.c_str())};
        EXPECT_FALSE(arena.holder.SetupBattle());
        EXPECT_EQ(arena.presenter.errors, std::vector<std::string>{c.message});
        EXPECT_TRUE(arena.holder.robots.empty());
        EXPECT_TRUE(arena.holder.objects.empty());
        EXPECT_TRUE(arena.scheduler.PendingAdd().empty());
    }
    std::remove(bad.c_str());
}

TEST(GameHolder, PlacesRobotsInsideTheArenaAtLeast200Apart) {
    for (uint32_t seed = 0; seed < 60; ++seed) {
        Arena arena;
        for (int k = 0; k < 4; ++k) arena.Choose(k, "sitter.r");
        SeedRandom(seed);
        ASSERT_TRUE(arena.holder.SetupBattle());
        ASSERT_EQ(arena.holder.robots.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            const Vec2 p = arena.holder.robots[i]->position;
            EXPECT_TRUE(p.x >= 0 && p.x <= 999 && p.y >= 0 && p.y <= 999) << "seed " << seed;
            for (size_t j = 0; j < i; ++j)
                EXPECT_GE((p - arena.holder.robots[j]->position).Length(), 200) << "seed " << seed;
        }
    }
}

TEST(GameHolder, ColoursRobotsByTheirSlotsAndRunsThemAndTheirMachinesFromTheSecondTick) {
    Arena arena(0.01);
    arena.Choose(1, "sitter.r");
    arena.Choose(3, "shooter.r");
    arena.scheduler.SetPaused(true);
    ASSERT_TRUE(arena.holder.SetupBattle());
    ASSERT_EQ(arena.holder.robots.size(), 2u);
    EXPECT_STREQ(ColourName(arena.holder.robots[0]->colourIndex), "green");
    EXPECT_STREQ(ColourName(arena.holder.robots[1]->colourIndex), "magenta");
    EXPECT_EQ(arena.holder.robots[1]->name, KvString("shooter.r"));
    EXPECT_EQ(arena.holder.robotSlots, (std::vector<int>{1, 3}));
    EXPECT_EQ(arena.presenter.added, 2);
    arena.scheduler.Tick();
    EXPECT_EQ(arena.scheduler.PendingAdd().size(), 4u);
    arena.scheduler.SetPaused(false);
    arena.scheduler.Tick();
    EXPECT_EQ(arena.holder.robots[0]->lastDt, 0);
    arena.scheduler.Tick();
    EXPECT_EQ(arena.holder.robots[0]->lastDt, 0.01);
}

TEST(GameHolder, ClearsAllItBuiltAndRecompilesTheFilesAsTheyAreNowForTheNextBattle) {
    const std::string file = ::testing::TempDir() + "kolvex_edited.r";
    Arena arena;
    arena.holder.choices[0] = {true, 0, KvFile(file.c_str())};
    for (int speed : {0, 30}) {
        std::ofstream(file) << "main()\n{\n  drive(90, " << speed << ");\n}\n";
        arena.scheduler.SetPaused(true);
        ASSERT_TRUE(arena.holder.SetupBattle());
        arena.holder.Clear();  // before the battle's first tick
        arena.scheduler.SetPaused(false);
        arena.scheduler.Tick();
        EXPECT_EQ(arena.scheduler.Active().size(), 1u);  // only the session
        EXPECT_TRUE(arena.holder.objects.empty());
        EXPECT_TRUE(arena.holder.robots.empty());
        ASSERT_TRUE(arena.holder.SetupBattle());
        arena.Run(1);
        EXPECT_EQ(arena.holder.robots[0]->speed, speed);
        arena.holder.Clear();
    }
    std::remove(file.c_str());
}

}  // namespace
}  // namespace kv
