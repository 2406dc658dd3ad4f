#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "Arena.h"
#include "Fifo.h"
#include "TempFolder.h"
#include "core/Random.h"
#include "lang/RobotCompiler.h"
#include "sim/SimulationThread.h"

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
        for (const auto& [slot, file] : c.files) arena.holder.choices[slot] = {true, slot, KvFile(file.c_str()), std::nullopt};
        EXPECT_FALSE(arena.holder.SetupBattle());
        EXPECT_EQ(arena.presenter.errors, std::vector<std::string>{c.message});
        EXPECT_TRUE(arena.holder.robots.empty());
        EXPECT_TRUE(arena.holder.objects.empty());
        EXPECT_TRUE(arena.scheduler.PendingAdd().empty());
    }
    std::remove(bad.c_str());
}

using RobotFiles = test::TempFolder;

// Regression: a FIFO chosen as a robot froze the game in set-up (also on Restart after the file
// was replaced by one), a directory gave a compile error, and a huge file froze it for seconds.
TEST_F(RobotFiles, ThatAreNotRegularOrTooLargeAreRefusedWithTheirMessage) {
    test::Fifo fifo(Path("fifo.r"));
    ASSERT_TRUE(fifo.Made());
    std::filesystem::create_directory(Path("folder.r"));
    const std::string large = Write("large.r", std::string(kMaxRobotFileBytes + 1, ' '));
    const std::pair<std::string, std::string> cases[] = {
        {fifo.Path(), "Can't open file '" + fifo.Path() + "'"},
        {Path("folder.r"), "Can't open file '" + Path("folder.r") + "'"},
        {"/dev/null", "Can't open file '/dev/null'"},
        {large, "Robot file '" + large + "' is too large (1048577 bytes; at most 1048576)"},
    };
    for (const auto& [path, message] : cases) {
        Arena arena;
        arena.holder.choices[0] = {true, 0, KV_TEST_ROBOTS "/sitter.r", std::nullopt};
        arena.holder.choices[1] = {true, 1, path.c_str(), std::nullopt};
        EXPECT_FALSE(arena.holder.SetupBattle());
        EXPECT_EQ(arena.presenter.errors, std::vector<std::string>{message});
        EXPECT_EQ(arena.holder.SetupError().Std(), message);
        EXPECT_TRUE(arena.holder.robots.empty());
    }
    EXPECT_FALSE(fifo.WasOpened());
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
    arena.holder.choices[0] = {true, 0, KvFile(file.c_str()), std::nullopt};
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

// Hands the session a process for every shell (its trail), explosion (a flash that ends by
// itself and a mark that stays) and death (debris), as the game's presenter does, and checks
// that every shell and every such process is let go exactly once.
struct LifecyclePresenter : KvBattlePresenter {
    struct Record {
        bool endedItself = false;
        int cleared = 0;
        bool deleted = false;
    };
    struct Effect : KvProcess {
        Effect(LifecyclePresenter& owner, double life) : KvProcess(false), owner(owner), id(owner.effects.size()), life(life) {
            owner.effects.emplace_back();
        }
        ~Effect() override { owner.effects[id].deleted = true; }
        void Step(double dt) override {
            age += dt;
            if (life > 0 && age >= life && !owner.effects[id].endedItself) {
                owner.effects[id].endedItself = true;
                owner.holder->Remove(this, true);
            }
        }
        LifecyclePresenter& owner;
        size_t id;
        double life, age = 0;
    };
    void Hand(double life) { holder->Add(new Effect(*this, life)); }

    void RobotAdded(KvGLRobot&) override { ++robots; }
    void RobotCleared(KvGLRobot&) override { --robots; }
    void ShellFired(KvRocket& rocket) override {
        EXPECT_TRUE(inFlight.insert(&rocket).second);
        Hand(0);
    }
    void ShellExploded(KvRocket& rocket) override {
        EXPECT_EQ(inFlight.erase(&rocket), 1u);
        ++exploded;
    }
    void ShellCleared(KvRocket& rocket) override {
        EXPECT_EQ(inFlight.erase(&rocket), 1u);
        EXPECT_FALSE(rocket.exploded);
        ++shellsCleared;
    }
    void Explosion(const KvVec3&, double) override {
        Hand(0.05);
        Hand(0);
    }
    void RobotDied(KvGLRobot&) override { Hand(0); }
    void ProcessCleared(KvProcess& process) override {
        auto* effect = dynamic_cast<Effect*>(&process);
        ASSERT_NE(effect, nullptr) << "only what the presenter handed over is its to clear";
        Record& record = effects[effect->id];
        EXPECT_FALSE(record.deleted);
        EXPECT_FALSE(record.endedItself);
        ++record.cleared;
        EXPECT_TRUE(inFlight.empty()) << "shells are cleared before the processes";
    }

    KvGameHolder* holder = nullptr;
    std::set<KvRocket*> inFlight;
    std::vector<Record> effects;
    int robots = 0, exploded = 0, shellsCleared = 0;
};

TEST(GameHolder, LetsThePresenterGoOfEveryShellAndEveryProcessItHandedOverExactlyOnce) {
    Arena arena(0.01);
    LifecyclePresenter presenter;
    presenter.holder = &arena.holder;
    arena.holder.SetPresenter(&presenter);
    arena.Choose(0, "selfharm.r");
    for (int slot = 1; slot < 4; ++slot) arena.Choose(slot, "shooter.r");
    SeedRandom(5);
    ASSERT_TRUE(arena.holder.SetupBattle());
    EXPECT_EQ(presenter.robots, 4);
    // On until the self-harmer has died and shells are in flight.
    for (int tick = 0; tick < 6000; ++tick) {
        arena.scheduler.Tick();
        if (arena.holder.AliveCount() < 4 && !presenter.inFlight.empty()) break;
    }
    ASSERT_LT(arena.holder.AliveCount(), 4);
    ASSERT_FALSE(presenter.inFlight.empty());
    const size_t flying = presenter.inFlight.size();

    arena.scheduler.SetPaused(true);
    arena.holder.Clear();
    EXPECT_EQ(presenter.robots, 0);
    EXPECT_TRUE(presenter.inFlight.empty());
    EXPECT_EQ(presenter.shellsCleared, static_cast<int>(flying));
    EXPECT_GT(presenter.exploded, 0);
    int endedThemselves = 0;
    for (const LifecyclePresenter::Record& record : presenter.effects) {
        EXPECT_TRUE(record.deleted);
        EXPECT_EQ(record.cleared, record.endedItself ? 0 : 1);
        endedThemselves += record.endedItself ? 1 : 0;
    }
    EXPECT_GT(endedThemselves, 0);
    arena.holder.SetPresenter(nullptr);
}

#ifndef NDEBUG
// Debug builds stop a battle torn down inside a tick, and a tick hook called from the main
// thread while the worker ticks.
TEST(GameHolderDeathTest, AssertsWhichThreadRunsEachHook) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct ClearInStep : KvProcess {
        explicit ClearInStep(KvGameHolder& holder) : KvProcess(false), holder(holder) {}
        void Step(double) override { holder.Clear(); }
        KvGameHolder& holder;
    };
    EXPECT_DEATH(
        {
            Arena arena;
            ClearInStep clearer(arena.holder);
            arena.scheduler.Add(&clearer, true, true);
            arena.scheduler.Tick();
        },
        "battle cleared inside a tick");
    EXPECT_DEATH(
        {
            Arena arena;
            SimulationThread worker(arena.scheduler);
            worker.Start(1);
            arena.holder.Explode({500, 500});
        },
        "tick hook called while the worker may be ticking");
}
#endif

}  // namespace
}  // namespace kv
