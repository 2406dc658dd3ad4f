// Real battles drawn offscreen with the game's effects, checked where a player would look:
// fire where a shell burst, a wreck where a robot died; and the same battles run headless
// go exactly the same way, drawn or not, on one thread or two.
// With KV_TEST_PICTURES set to a folder, the picture tests leave their pictures there.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>

#include "OffscreenGl.h"
#include "fx/Debris.h"
#include "fx/EffectsPresenter.h"
#include "fx/Particles.h"
#include "render/BattleShot.h"
#include "render/Picture.h"

namespace kv {
namespace {

constexpr int32_t kWidth = 950, kHeight = 600, kViewSize = 150;
const std::string kRobots = KV_TEST_ROBOTS;

test::GameGpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, kWidth, kHeight); }

HeadlessBattleOptions Battle(std::initializer_list<const char*> files, uint32_t seed) {
    HeadlessBattleOptions options;
    for (const char* f : files) options.files.emplace_back((kRobots + "/" + f).c_str());
    options.seed = seed;
    options.geometry = RobotGeometry::FromParts(TheGpu().store.RobotParts());
    return options;
}

class EffectsBattle : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight)); }

    // The battle drawn with effects, or by the plain scene presenter.
    static std::unique_ptr<BattleShot> Start(const HeadlessBattleOptions& options, bool effects) {
        test::GameGpu& gpu = TheGpu();
        RenderSettings settings;
        settings.oneViewActive = 0;
        auto shot = std::make_unique<BattleShot>(gpu.context, gpu.store, gpu.textures, options, settings,
                                                 effects ? KvEffectsPresenter::Make : KvScenePresenter::Make);
        shot->Scene().Panels().ShowFrameRate(false);
        EXPECT_TRUE(shot->SetUp()) << shot->Error().CStr();
        return shot;
    }

    static Picture Draw(BattleShot& shot, const char* name) {
        shot.Render();
        return test::ReadFrame(kWidth, kHeight, name);
    }
};

template <class Kind>
Kind* FindEffect(KvGameHolder& holder) {
    for (KvProcess* p : holder.objects) {
        if (auto* effect = dynamic_cast<Kind*>(p)) return effect;
    }
    return nullptr;
}

// Counts the pixels within radius of (cx, cy) for which test(pixel) holds.
template <class Test>
int CountAround(const Picture& p, std::array<int32_t, 2> centre, int radius, Test test) {
    int n = 0;
    for (int32_t y = centre[1] - radius; y <= centre[1] + radius; ++y) {
        for (int32_t x = centre[0] - radius; x <= centre[0] + radius; ++x) {
            if (x >= 0 && y >= 0 && x < kWidth && y < kHeight && test(p.At(x, y))) ++n;
        }
    }
    return n;
}

// Fire's orange to yellow-white, far from the grass's greens and the robots' colours.
bool Fiery(const uint8_t* c) { return c[0] > 170 && c[0] >= c[1] && c[0] > c[2] + 80; }

TEST_F(EffectsBattle, AShellBurstShowsFireWhereThePlainSceneShowsGround) {
    const HeadlessBattleOptions options = Battle({"sitter.r", "selfharm.r"}, 9);
    std::unique_ptr<BattleShot> fx = Start(options, true), plain = Start(options, false);
    fx->RunUntil(1.3);
    KvSmallExplosion* fire = nullptr;
    while (!fire && fx->Holder().BattleTime() < 2.0) {
        fx->Advance(1);
        fire = FindEffect<KvSmallExplosion>(fx->Holder());
    }
    ASSERT_TRUE(fire) << "no shell burst before 2 s";
    const KvMatrix at = fire->Emitter().local;
    fx->Advance(60);  // the fire ball grown above the robot, still orange
    plain->RunUntil(fx->Holder().BattleTime());
    const Picture pic = Draw(*fx, "ShellBurstWithEffects");
    // The camera as drawn.
    const auto centre = test::PixelOf(fx->MainView().camera, {at[12], at[13] + 0.2, at[14]}, kWidth, kHeight);
    const int withFire = CountAround(pic, centre, 20, Fiery);
    const int without = CountAround(Draw(*plain, "ShellBurstPlain"), centre, 20, Fiery);
    EXPECT_GE(withFire, 40);
    EXPECT_LE(without, withFire / 10);
}

TEST_F(EffectsBattle, ADestroyedRobotLeavesAWreckWhosePiecesComeToRest) {
    const HeadlessBattleOptions options = Battle({"selfharm.r", "sitter.r", "sitter.r"}, 4);
    std::unique_ptr<BattleShot> fx = Start(options, true), plain = Start(options, false);
    KvGLRobot& victim = *fx->Holder().robots[0];
    while (!victim.Values().dead && fx->Holder().BattleTime() < 30) fx->Advance(10);
    ASSERT_TRUE(victim.Values().dead);
    fx->Advance(200);  // the wreck still whole
    plain->RunUntil(fx->Holder().BattleTime());
    KvDebris* wreck = FindEffect<KvDebris>(fx->Holder());
    ASSERT_TRUE(wreck);
    EXPECT_EQ(wreck->StateNow(), KvDebris::kWaiting);
    // The dead robot's view goes on looking at where it died: the wreck's metal shows where
    // the plain scene shows the empty ground.
    const Picture a = Draw(*fx, "WreckWithEffects"), b = Draw(*plain, "WreckPlain");
    const int32_t x0 = kWidth - kViewSize, y0 = kHeight - kViewSize;
    int changed = 0;
    for (int32_t y = y0 + 40; y < y0 + 100; ++y) {
        for (int32_t x = x0 + 40; x < x0 + 110; ++x) {
            const uint8_t *c = a.At(x, y), *g = b.At(x, y);
            changed += std::abs(c[0] - g[0]) + std::abs(c[1] - g[1]) + std::abs(c[2] - g[2]) > 60 ? 1 : 0;
        }
    }
    EXPECT_GE(changed, 100);

    fx->Advance(8000);  // burst, flight, landing
    ASSERT_EQ(wreck->StateNow(), KvDebris::kFlying);
    int shown = 0;
    for (uint8_t s : wreck->Parts().shown) shown += s;
    EXPECT_EQ(shown, static_cast<int>(wreck->Flying().size()));
    for (const FlyingPiece& f : wreck->Flying()) {
        EXPECT_TRUE(f.landed);
        const KvMatrix& m = wreck->Parts().pieces[static_cast<size_t>(f.piece)].node.local;
        EXPECT_NEAR(m[13], fx->Holder().Ground().HeightAt(m[12], m[14]), 1e-9);
    }
    Draw(*fx, "WreckAtRest");
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
    HeadlessBattleOptions options = Battle({"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, 12);
    std::unique_ptr<BattleShot> fx = Start(options, true);
    bool sawDebris = false, sawFire = false, sawTrail = false;
    for (double t = 0.25; t <= 17; t += 0.25) {
        fx->RunUntil(t);
        sawDebris = sawDebris || FindEffect<KvDebris>(fx->Holder());
        sawFire = sawFire || FindEffect<KvSmallExplosion>(fx->Holder());
        sawTrail = sawTrail || FindEffect<KvSmoke>(fx->Holder());
        fx->Render();
    }
    EXPECT_TRUE(sawDebris && sawFire && sawTrail);
    const BattleOutcome drawn = fx->Battle().Outcome();
    int dead = 0;
    for (const RobotOutcome& r : drawn.robots) dead += r.values.dead ? 1 : 0;
    EXPECT_GE(dead, 2);

    options.time = drawn.time;
    ExpectSameRobots(drawn, RunHeadlessBattle(options));
}

// The game's two threads with effects: the worker steps the battle, its effects and wrecks as
// fast as it can while this thread draws them; then a restart clears it with effects alive.
TEST(EffectsThreads, DrawFramesWhileTheWorkerRunsABattleWithEffects) {
    ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight));
    test::ThreadedBattle battle(TheGpu(), kRobots, {"selfharm.r", "shooter.r", "hostile.r", "selfharm.r"}, 12,
                                KvEffectsPresenter::Make);
    battle.settings.shadowMode = 1;
    auto& effects = static_cast<KvEffectsPresenter&>(*battle.presenter);
    KvGameHolder& holder = *battle.holder;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(battle.Restart([&] { effects.SeedEffects(12); }));
        // Until both self-shelling robots are dead and their wrecks have burst, or long.
        int frame = 0;
        for (; frame < 3000 && holder.AliveCount() > 2; ++frame) battle.scene.Render();
        const double deathTime = holder.BattleTime();
        for (; frame < 6000 && holder.BattleTime() < deathTime + 1.5; ++frame) battle.scene.Render();
        if (round == 0) {
            EXPECT_LE(holder.AliveCount(), 2);
            battle.scheduler.SetPaused(true);
            const KvDebris* wreck = FindEffect<KvDebris>(holder);
            ASSERT_TRUE(wreck);
            EXPECT_EQ(wreck->StateNow(), KvDebris::kFlying);
            battle.scheduler.SetPaused(false);
        }
    }
}

}  // namespace
}  // namespace kv
