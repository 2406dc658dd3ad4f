// The battle stage as a player meets it: many frames of the default layout, shells, fire and
// marks coming and going, shadows with frozen robot views, a resized window, a frame that
// allocates nothing; and the game's paced worker playing the battle kolvex-battle plays,
// without ever waiting for a frame.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <thread>

#include "OffscreenGl.h"
#include "Pixels.h"
#include "StageBattle.h"
#include "fx/Particles.h"
#include "sim/BattleReport.h"
#include "sim/HeadlessBattle.h"

namespace {
// Every allocation through operator new in this program, for the frame that must make none.
std::atomic<int64_t> allocations{0};
}  // namespace

// Every form that the libraries' own deletes pair with is replaced, so that no block is
// freed by another allocator than the one that made it.
void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
// GCC takes malloc's blocks freed here for a mismatch; they are this operator new's own.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace kv {
namespace {

constexpr int32_t kWidth = test::kWindowWidth, kHeight = test::kWindowHeight, kViewSize = test::kViewSize;
const std::string kRobots = KV_TEST_ROBOTS;
const std::string kSampleRobots = KV_SAMPLE_ROBOTS;
constexpr int64_t kTicksPerFrame = 17;  // about 1/60 s of battle

test::GameGpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, kWidth, kHeight); }

using test::At;
using test::Brightness;
using test::CountAround;
using test::Fiery;
using test::PictureBand;
using test::Rgb;
using test::ViewCorner;

bool Grass(Rgb c) { return c.g > c.r && c.g > c.b; }

// The share of an area's pixels (every third) that pass test.
template <class Test>
double Share(const Picture& p, int32_t x0, int32_t y0, int32_t x1, int32_t y1, Test test) {
    int hit = 0, all = 0;
    for (int32_t y = y0; y < y1; y += 3)
        for (int32_t x = x0; x < x1; x += 3) {
            ++all;
            hit += test(At(p, x, y)) ? 1 : 0;
        }
    return all ? static_cast<double>(hit) / all : 0;
}

class DefaultGame : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight)); }

    // The game's default layout: one robot view live at a time, none while the pointer is away.
    KvBattleStage& Start(const test::Robots& robots, int32_t shadowMode = 0) {
        stage = test::MakeStage(TheGpu().context, TheGpu(), {1, shadowMode, false});
        EXPECT_TRUE(stage->StartBattle(robots.files, robots.seed)) << stage->Error().CStr();
        return *stage;
    }
    Picture Draw(int32_t width = kWidth, int32_t height = kHeight) {
        stage->Render();
        return test::ReadFrame(width, height);
    }
    std::array<int32_t, 2> Pixel(const KvVec3& scenePoint) const {
        return test::PixelOf(stage->MainView().camera, scenePoint, kWidth, kHeight);
    }
    KvVec3 GroundAt(double x, double z) const { return {x, stage->Holder().Ground().HeightAt(x, z), z}; }
    // How many of the ground points at these offsets from centre, along the light's fall,
    // are darker by a quarter in shadowed than in off.
    int DarkerBeyond(const Picture& shadowed, const Picture& off, const KvVec3& centre,
                     std::initializer_list<double> offsets) const {
        int darker = 0;
        for (double d : offsets) {
            const auto [x, y] = Pixel(GroundAt(centre.x + d, centre.z + d));
            if (Brightness(At(shadowed, x, y)) < Brightness(At(off, x, y)) * 3 / 4) ++darker;
        }
        return darker;
    }

    std::unique_ptr<KvBattleStage> stage;
};

// Regression: from the second frame on, frozen robot views showed marks, shadow tracks and
// smoke as sky-blue patches: their saved picture was blended over the cleared sky.
TEST_F(DefaultGame, FrozenRobotViewsKeepTheirFirstPictureFrameAfterFrame) {
    for (int32_t shadowMode : {0, 2}) {
        KvBattleStage& battle = Start({kSampleRobots, {"sentinel.r", "hunter.r", "spiral.r", "pendulum.r"}, 7}, shadowMode);
        battle.RunUntil(5);
        const Picture first = Draw();
        for (int frame = 1; frame < 20; ++frame) {
            battle.Advance(kTicksPerFrame);
            const Picture p = Draw();
            for (int view = 1; view <= 4; ++view) {
                ASSERT_EQ(PictureBand(p, view), PictureBand(first, view))
                    << "shadows " << shadowMode << ", frame " << frame << ", view " << view;
            }
            // The main view below the horizon is ground, whatever the effects.
            ASSERT_GT(Share(p, 0, 0, kWidth - kViewSize, kHeight / 3, Grass), 0.5) << "frame " << frame;
        }
    }
}

// Regression: with no robot view live (the default layout once the first frame is saved),
// only robots inside the last robot view's box cast stencil shadows, and shells none.
TEST_F(DefaultGame, StencilShadowsFallBeyondEveryRobotWithTheRobotViewsFrozen) {
    // Both robots well inside the main view, too far apart for one robot view to hold both.
    KvBattleStage& battle = Start({kRobots, {"sitter.r", "sitter.r"}, 8});
    battle.RunUntil(1.0);
    Draw();
    const Picture off = Draw();  // every robot view frozen now
    test::SetShadowMode(battle, 1);
    Draw();
    const Picture stencil = Draw();
    int shadowed = 0;
    for (const KvGLRobot* robot : battle.Holder().robots) {
        const KvVec3 centre = battle.Holder().ScenePoint(robot->Values().position);
        shadowed += DarkerBeyond(stencil, off, centre, {0.25, 0.3}) > 0 ? 1 : 0;
    }
    EXPECT_EQ(shadowed, 2);
}

// Regression: a robot's shadow map vanished under every scorch mark laid after it.
TEST_F(DefaultGame, ShadowMapsLieOverTheScorchMarksLaidAfterThem) {
    KvBattleStage& battle = Start({kRobots, {"selfharm.r", "sitter.r"}, 8}, 2);
    battle.RunUntil(2.9);  // the first shell has burst at selfharm.r's feet, its fire died down
    Draw();
    const Picture on = Draw();
    test::SetShadowMode(battle, 0);
    const Picture off = Draw();
    const KvVec3 centre = battle.Holder().ScenePoint(battle.Holder().robots[0]->Values().position);
    EXPECT_GE(DarkerBeyond(on, off, centre, {0.2, 0.25, 0.3}), 2);
}

// The one-shot robot's shell from firing to its mark's end: a trail behind it in flight, fire
// where it bursts, a scorch mark that stays ten seconds, then the ground as it was.
TEST_F(DefaultGame, AShellsTrailFireAndMarkComeAndGo) {
    KvBattleStage& battle = Start({kRobots, {"oneshot.r", "sitter.r"}, 6}, 0);
    const KvGLRobot& shooter = *battle.Holder().robots[0];
    ASSERT_LT(shooter.Values().position.x, 650) << "the shell must land inside the arena: choose another seed";
    const Vec2 burst = shooter.Values().position + Vec2{300, 0};
    const KvVec3 at = battle.Holder().ScenePoint(burst);
    auto burstPixel = [&] { return Pixel(at); };

    battle.RunUntil(1.45);
    const Picture before = Draw();
    battle.RunUntil(1.75);  // the shell in flight, 150 units out
    const Picture flying = Draw();
    EXPECT_EQ(battle.ScenePart().ShellsShown(), 1u);
    const KvVec3 behind = battle.Holder().ScenePoint(shooter.Values().position + Vec2{100, 0});
    const auto trail = Pixel({behind.x, behind.y + 0.6, behind.z});
    auto whiter = [&](Rgb c) { return c.r > 150 && c.g > 150 && c.b > 150; };
    EXPECT_GT(CountAround(flying, trail, 15, whiter), CountAround(before, trail, 15, whiter) + 10)
        << "smoke behind the shell";

    battle.RunUntil(2.1);
    const Picture burning = Draw();
    EXPECT_EQ(battle.ScenePart().ShellsShown(), 0u);
    EXPECT_GE(CountAround(burning, burstPixel(), 20, Fiery), 40);

    battle.RunUntil(4.5);
    const Picture marked = Draw();
    EXPECT_EQ(CountAround(marked, burstPixel(), 20, Fiery), 0) << "the fire has died down";
    auto sooty = [&](const Picture& p) {
        return CountAround(p, burstPixel(), 8, [](Rgb c) { return c.g <= c.r + 2; });
    };
    EXPECT_GT(sooty(marked), sooty(before) + 50) << "the mark lies where the shell burst";

    battle.RunUntil(12.2);  // the mark ten seconds old
    const Picture after = Draw();
    EXPECT_TRUE(battle.Shown().empty());
    EXPECT_EQ(sooty(after), sooty(before));
}

TEST_F(DefaultGame, ParticlesCastGroundShadowsWhileShadowsAreOn) {
    KvBattleStage& battle = Start({kRobots, {"oneshot.r", "sitter.r"}, 6}, 0);
    const KvGLRobot& shooter = *battle.Holder().robots[0];
    const KvVec3 at = battle.Holder().ScenePoint(shooter.Values().position + Vec2{300, 0});
    battle.RunUntil(2.25);  // the burst's dark smoke risen above the ground
    const Picture off = Draw();
    test::SetShadowMode(battle, 1);
    const Picture on = Draw();
    // Along the light's fall from the smoke, away from both robots.
    int darker = 0;
    for (double d = 0.2; d <= 1.0; d += 0.1) {
        const auto [x, y] = Pixel(GroundAt(at.x + d, at.z + d));
        if (x < 0 || x >= kWidth - kViewSize || y < 0 || y >= kHeight) continue;
        darker += Brightness(At(on, x, y)) * 10 < Brightness(At(off, x, y)) * 9 ? 1 : 0;
    }
    EXPECT_GE(darker, 3);
}

// Regression: after a resize the robot views went on showing pictures saved at the old size.
TEST_F(DefaultGame, AResizedWindowMovesTheRobotViewsAndRenewsTheirPictures) {
    KvBattleStage& battle = Start({kSampleRobots, {"sentinel.r", "hunter.r", "spiral.r", "pendulum.r"}, 7});
    battle.RunUntil(3);
    Draw();
    Draw();
    constexpr int32_t kWide = 1200, kTall = 700;
    ASSERT_TRUE(TheGpu().context.Resize(kWide, kTall));
    for (int frame = 0; frame < 3; ++frame) {
        battle.Advance(kTicksPerFrame);
        Draw(kWide, kTall);
    }
    const Picture p = Draw(kWide, kTall);
    for (int view = 1; view <= 4; ++view) {
        const auto [x0, y0] = ViewCorner(view, kWide, kTall);
        EXPECT_GT(Share(p, x0 + 2, y0 + 2, x0 + kViewSize - 2, y0 + kViewSize - 2, Grass), 0.4) << "view " << view;
    }
    EXPECT_GT(Share(p, 0, 0, kWide - kViewSize, 150, Grass), 0.8) << "the main view fills the new size";
}

TEST_F(DefaultGame, AFrameWithNothingCreatedAllocatesNothing) {
    KvBattleStage& battle = Start({kRobots, {"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, 12}, 1);
    test::SetShadowMode(battle, 2);
    battle.RunUntil(6);  // shells, trails, fire and marks alive
    Draw();
    Draw();
    ASSERT_FALSE(battle.Shown().empty());
    const int64_t before = allocations.load();
    battle.Render();
    EXPECT_EQ(allocations.load() - before, 0);
}

// The game's worker at sixteen times the clock, frames drawn meanwhile, stops where it was
// asked to and has played exactly the battle kolvex-battle plays for the seed.
TEST(PacedWorker, PlaysTheBattleKolvexBattlePlays) {
    ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight));
    const test::Robots robots(kRobots, {"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, 12);
    std::unique_ptr<KvBattleStage> stage = test::MakeStage(TheGpu().context, TheGpu(), {1, 1, false});
    stage->SetSpeed(16);
    constexpr double kTime = 17;
    stage->PauseAt(kTime);
    ASSERT_TRUE(stage->StartBattle(robots.files, robots.seed));
    stage->StartWorker();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!stage->Reached(kTime) && std::chrono::steady_clock::now() < deadline) stage->Render();
    ASSERT_TRUE(stage->Reached(kTime));
    stage->Render();

    HeadlessBattleOptions options;
    options.files = robots.files;
    options.seed = robots.seed;
    options.geometry = RobotGeometry::FromParts(TheGpu().store.RobotParts());
    options.time = kTime;
    const BattleOutcome headless = RunHeadlessBattle(options);
    int dead = 0;
    for (const RobotOutcome& r : headless.robots) dead += r.values.dead ? 1 : 0;
    EXPECT_GE(dead, 2) << "a battle with deaths";
    EXPECT_EQ(BattleJson(options, stage->Outcome()), BattleJson(options, headless));
}

// The worker goes on ticking a battle full of shells while the frame holds the scene.
TEST(PacedWorker, NeverWaitsForTheFrame) {
    ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight));
    const test::Robots robots(kRobots, {"selfharm.r", "selfharm.r", "shooter.r"}, 3);
    std::unique_ptr<KvBattleStage> stage = test::MakeStage(TheGpu().context, TheGpu(), {1, 0, false});
    stage->SetSpeed(16);
    ASSERT_TRUE(stage->StartBattle(robots.files, robots.seed));
    stage->StartWorker();
    stage->Render();
    stage->Scene().Lock();
    const int64_t start = stage->Battle().Ticks();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // Four seconds of battle: shells fired and burst meanwhile.
    while (stage->Battle().Ticks() < start + 4000 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int64_t reached = stage->Battle().Ticks();
    stage->Scene().Unlock();
    EXPECT_GE(reached, start + 4000);
    stage->Render();
    EXPECT_FALSE(stage->Shown().empty());
}

}  // namespace
}  // namespace kv
