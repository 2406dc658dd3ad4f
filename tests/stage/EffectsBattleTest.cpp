// Real battles drawn offscreen through the game's battle stage, checked where a player
// would look: fire where a shell burst, a wreck where a robot died and its pieces at rest; and
// the same battles run headless go exactly the same way, drawn or not.
// With KV_TEST_PICTURES set to a folder, the picture tests leave their pictures there.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>

#include "OffscreenGl.h"
#include "Pixels.h"
#include "StageBattle.h"
#include "fx/Debris.h"
#include "fx/Particles.h"
#include "render/Picture.h"
#include "sim/HeadlessBattle.h"

namespace kv {
namespace {

constexpr int32_t kWidth = test::kWindowWidth, kHeight = test::kWindowHeight, kViewSize = test::kViewSize;
const std::string kRobots = KV_TEST_ROBOTS;

test::GameGpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, kWidth, kHeight); }

class EffectsBattle : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight)); }

    static std::unique_ptr<KvBattleStage> Start(std::initializer_list<const char*> files, uint32_t seed) {
        auto stage = test::MakeStage(TheGpu().context, TheGpu(), {0, 0, false});
        EXPECT_TRUE(stage->StartBattle(test::Robots(kRobots, files, seed).files, seed)) << stage->Error().CStr();
        return stage;
    }

    static Picture Draw(KvBattleStage& stage, const char* name) {
        stage.Render();
        return test::ReadFrame(kWidth, kHeight, name);
    }
};

// An effect of the kind the stage shows now.
template <class Kind>
Kind* FindEffect(const KvBattleStage& stage) {
    for (KvProcess* p : stage.Shown()) {
        if (auto* effect = dynamic_cast<Kind*>(p)) return effect;
    }
    return nullptr;
}

using test::CountAround;
using test::Fiery;

TEST_F(EffectsBattle, AShellBurstShowsFireWhereTheGroundShowedBefore) {
    std::unique_ptr<KvBattleStage> stage = Start({"sitter.r", "selfharm.r"}, 9);
    stage->RunUntil(1.3);
    const Picture before = Draw(*stage, "BeforeTheBurst");
    KvSmallExplosion* fire = nullptr;
    while (!fire && stage->Holder().BattleTime() < 2.0) {
        stage->Advance(1);
        stage->Update();
        fire = FindEffect<KvSmallExplosion>(*stage);
    }
    ASSERT_TRUE(fire) << "no shell burst before 2 s";
    const KvMatrix at = fire->Emitter().local;
    stage->Advance(60);  // the fire ball grown above the robot, still orange
    const Picture pic = Draw(*stage, "ShellBurst");
    const auto centre = test::PixelOf(stage->MainView().camera, {at[12], at[13] + 0.2, at[14]}, kWidth, kHeight);
    const int withFire = CountAround(pic, centre, 20, Fiery);
    EXPECT_GE(withFire, 40);
    EXPECT_LE(CountAround(before, centre, 20, Fiery), withFire / 10);
}

TEST_F(EffectsBattle, ADestroyedRobotLeavesAWreckWhosePiecesComeToRest) {
    std::unique_ptr<KvBattleStage> stage = Start({"selfharm.r", "sitter.r", "sitter.r"}, 4);
    const KvGLRobot& victim = *stage->Holder().robots[0];
    while (!victim.Values().dead && stage->Holder().BattleTime() < 30) stage->Advance(10);
    ASSERT_TRUE(victim.Values().dead);
    stage->Advance(200);  // the wreck still whole
    // The dead robot's view goes on looking at where it died: the wreck's metal shows where
    // the same frame without it shows the empty ground.
    const Picture a = Draw(*stage, "Wreck");
    KvDebris* wreck = FindEffect<KvDebris>(*stage);
    ASSERT_TRUE(wreck);
    EXPECT_EQ(wreck->StateNow(), KvDebris::kWaiting);
    stage->Scene().RemoveObject(*wreck, true);
    const Picture b = Draw(*stage, "WithoutTheWreck");
    stage->Scene().AddObject(*wreck, true);
    const int32_t x0 = kWidth - kViewSize, y0 = kHeight - kViewSize;
    int changed = 0;
    for (int32_t y = y0 + 40; y < y0 + 100; ++y) {
        for (int32_t x = x0 + 40; x < x0 + 110; ++x) {
            const uint8_t *c = a.At(x, y), *g = b.At(x, y);
            changed += std::abs(c[0] - g[0]) + std::abs(c[1] - g[1]) + std::abs(c[2] - g[2]) > 60 ? 1 : 0;
        }
    }
    EXPECT_GE(changed, 100);

    stage->Advance(8000);  // burst, flight, landing
    Draw(*stage, "WreckAtRest");
    ASSERT_EQ(wreck->StateNow(), KvDebris::kFlying);
    int shown = 0;
    for (uint8_t s : wreck->Parts().shown) shown += s;
    EXPECT_EQ(shown, static_cast<int>(wreck->Flying().size()));
    for (const FlyingPiece& f : wreck->Flying()) {
        EXPECT_TRUE(f.landed);
        const KvMatrix& m = wreck->Parts().pieces[static_cast<size_t>(f.piece)].node.local;
        EXPECT_NEAR(m[13], stage->Holder().Ground().HeightAt(m[12], m[14]), 1e-9);
    }
}

void ExpectSameRobots(const BattleOutcome& a, const BattleOutcome& b) {
    ASSERT_EQ(a.robots.size(), b.robots.size());
    EXPECT_EQ(a.time, b.time);
    EXPECT_EQ(a.ticks, b.ticks);
    for (size_t k = 0; k < a.robots.size(); ++k) {
        RobotValues::ForEachField(a.robots[k].values, b.robots[k].values,
                                  [&](const auto& x, const auto& y) { EXPECT_EQ(x, y) << "robot " << k; });
    }
}

TEST_F(EffectsBattle, DrawnWithEffectsABattleGoesExactlyAsItDoesHeadless) {
    const test::Robots robots(kRobots, {"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, 12);
    std::unique_ptr<KvBattleStage> stage = Start({"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, 12);
    bool sawDebris = false, sawFire = false, sawTrail = false;
    for (double t = 0.25; t <= 17; t += 0.25) {
        stage->RunUntil(t);
        stage->Render();
        sawDebris = sawDebris || FindEffect<KvDebris>(*stage);
        sawFire = sawFire || FindEffect<KvSmallExplosion>(*stage);
        sawTrail = sawTrail || FindEffect<KvSmoke>(*stage);
    }
    EXPECT_TRUE(sawDebris && sawFire && sawTrail);
    const BattleOutcome drawn = stage->Outcome();
    int dead = 0;
    for (const RobotOutcome& r : drawn.robots) dead += r.values.dead ? 1 : 0;
    EXPECT_GE(dead, 2);

    HeadlessBattleOptions options;
    options.files = robots.files;
    options.seed = robots.seed;
    options.geometry = RobotGeometry::FromParts(TheGpu().store.RobotParts());
    options.time = drawn.time;
    ExpectSameRobots(drawn, RunHeadlessBattle(options));
}

}  // namespace
}  // namespace kv
