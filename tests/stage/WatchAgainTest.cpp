// Watching a battle again through the battle stage: pause and step, a seek forward and back
// that shows what straight play shows, and the end of a battle in the picture.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "OffscreenGl.h"
#include "Pixels.h"
#include "StageBattle.h"
#include "fx/Debris.h"
#include "fx/Particles.h"
#include "render/Track.h"
#include "sim/BattleReport.h"

namespace kv {
namespace {

constexpr int32_t kWidth = test::kWindowWidth, kHeight = test::kWindowHeight;
const std::string kSampleRobots = KV_SAMPLE_ROBOTS;
const std::string kRobots = KV_TEST_ROBOTS;

test::GameGpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, kWidth, kHeight); }

// The four sample robots: shells, marks and, by 60 s, wrecks.
const test::Robots& Samples() {
    static const test::Robots robots(kSampleRobots, {"sentinel.r", "hunter.r", "spiral.r", "pendulum.r"}, 7);
    return robots;
}

// All robot views live: a seek's views show what straight play's show.
std::unique_ptr<KvBattleStage> Started(const test::Robots& robots, int32_t shadowMode = 0) {
    std::unique_ptr<KvBattleStage> stage = test::MakeStage(TheGpu().context, TheGpu(), {0, shadowMode, false});
    EXPECT_TRUE(stage->StartBattle(robots.files, robots.seed)) << stage->Error().CStr();
    return stage;
}

std::string Robots(KvBattleStage& stage) {
    HeadlessBattleOptions options;
    options.seed = stage.Seed();
    return BattleJson(options, stage.Battle().Outcome());
}

// What stands in the arena besides the robots: each mark's place and age, each wreck's pieces.
std::vector<double> Remains(const KvBattleStage& stage, int* particleSystems = nullptr) {
    std::vector<double> out;
    int particles = 0;
    for (KvProcess* p : stage.Shown()) {
        if (const auto* mark = dynamic_cast<const KvTrack*>(p)) {
            out.insert(out.end(), {0, mark->Age(), mark->Mesh().vertices.front().x, mark->Mesh().vertices.front().z});
        } else if (const auto* wreck = dynamic_cast<const KvDebris*>(p)) {
            out.insert(out.end(), {1, static_cast<double>(wreck->StateNow())});
            for (const FlyingPiece& f : wreck->Flying()) {
                const KvMatrix& m = wreck->Parts().pieces[static_cast<size_t>(f.piece)].node.local;
                out.insert(out.end(), {static_cast<double>(f.piece), m[12], m[13], m[14], f.landed ? 1.0 : 0.0});
            }
        } else if (dynamic_cast<const KvParticles*>(p)) {
            ++particles;
        }
    }
    std::sort(out.begin(), out.end());
    if (particleSystems) *particleSystems = particles;
    return out;
}

int DifferentPixels(const Picture& a, const Picture& b) {
    int n = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x) {
            const test::Rgb p = test::At(a, x, y), q = test::At(b, x, y);
            n += (std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) > 12) ? 1 : 0;
        }
    return n;
}

class Seeking : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight)); }
};

// Straight play to T against a seek far ahead and back to T: the same robots, shells, marks
// and wrecks, and, at a moment without smoke or fire, the same picture.
TEST_F(Seeking, ForwardAndBackShowsWhatStraightPlayShows) {
    // The first moment after a robot died, at a sixtieth, with marks and no smoke or fire:
    // there the pictures can match.
    std::unique_ptr<KvBattleStage> straight = Started(Samples());
    std::vector<double> remains;
    int particles = -1;
    double kT = 0;
    for (;;) {
        straight->Advance(17);
        straight->Update();
        remains = Remains(*straight, &particles);
        const bool wreck = std::count(straight->DeathTimes().begin(), straight->DeathTimes().end(), -1.0) < 4;
        if (wreck && particles == 0 && remains.size() > 10) break;
        ASSERT_LT(straight->Battle().Ticks(), 300000) << "no such moment";
    }
    kT = straight->ShownTick() * 0.001;
    straight->Render();
    const Picture played = test::ReadFrame(kWidth, kHeight);

    std::unique_ptr<KvBattleStage> seeker = Started(Samples());
    seeker->SeekTo(120);
    EXPECT_EQ(seeker->Battle().Ticks(), 120000);
    seeker->Render();
    seeker->SeekTo(kT);
    EXPECT_EQ(seeker->ShownTick(), straight->ShownTick());
    EXPECT_DOUBLE_EQ(seeker->FurthestTime(), 120);
    seeker->Render();
    const Picture sought = test::ReadFrame(kWidth, kHeight, "watch-again-seek");

    EXPECT_EQ(Robots(*seeker), Robots(*straight));
    EXPECT_EQ(seeker->ScenePart().ShellsShown(), straight->ScenePart().ShellsShown());
    EXPECT_EQ(Remains(*seeker), remains);
    EXPECT_EQ(DifferentPixels(played, sought), 0);

    // The battle goes on from there as straight play does.
    straight->Advance(3000);
    seeker->Advance(3000);
    EXPECT_EQ(Robots(*seeker), Robots(*straight));
}

// A seek keeps the pause as it was and goes on with the worker from where it landed.
TEST_F(Seeking, KeepsThePauseAndTheWorkerGoesOnFromThere) {
    std::unique_ptr<KvBattleStage> stage = Started(Samples());
    stage->SetSpeed(16);
    stage->StartWorker();
    stage->SetPaused(true);
    stage->SeekTo(30);
    EXPECT_TRUE(stage->Paused());
    EXPECT_EQ(stage->Battle().Ticks(), 30000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stage->Render();
    EXPECT_EQ(stage->Battle().Ticks(), 30000) << "paused battle time stands";

    stage->SetPaused(false);
    stage->SeekTo(10);
    EXPECT_FALSE(stage->Paused());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (stage->Battle().Ticks() < 12000 && std::chrono::steady_clock::now() < deadline) stage->Render();
    stage->SetPaused(true);
    const int64_t reached = stage->Battle().Ticks();
    EXPECT_GE(reached, 12000);

    std::unique_ptr<KvBattleStage> straight = Started(Samples());
    straight->Advance(reached);
    EXPECT_EQ(Robots(*stage), Robots(*straight));
}

// Step goes on to the next sixtieth of a second of battle time, Shift+Step by one tick; both
// pause a running battle first.
TEST(Stepping, GoesOnBySixtiethsOfASecondOrByOneTick) {
    ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight));
    std::unique_ptr<KvBattleStage> stage = Started(Samples());
    stage->StartWorker();
    stage->Step(false);
    EXPECT_TRUE(stage->Paused());
    // Wherever the worker was, the step lands on a sixtieth.
    const int64_t first = stage->Battle().Ticks();
    const int64_t sixtieth = stage->Battle().TicksFor(static_cast<double>(std::llround(first * 0.06)) / 60);
    EXPECT_EQ(first, sixtieth);
    stage->SeekTo(0);
    for (int k = 0; k < 60; ++k) stage->Step(false);
    EXPECT_EQ(stage->Battle().Ticks(), 1000) << "sixty steps make a second";
    stage->Step(true);
    EXPECT_EQ(stage->Battle().Ticks(), 1001);
    stage->Step(false);
    EXPECT_EQ(stage->Battle().Ticks(), 1017);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(stage->Battle().Ticks(), 1017);
}

// The end of a battle: the main view names the winner once the deciding tick is shown, and a
// dead robot's panel says when it was destroyed.
TEST(BattleEnd, TheWinnerAndTheDeadPanelsAreShown) {
    ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight));
    // Both selfharm.r shell themselves to death; sitter.r sits and wins.
    const test::Robots robots(kRobots, {"selfharm.r", "sitter.r", "selfharm.r"}, 4);
    std::unique_ptr<KvBattleStage> stage = Started(robots);
    auto verdictPixels = [](const Picture& p) {
        int n = 0;
        for (int32_t y = kHeight - 70; y < kHeight - 50; ++y)
            for (int32_t x = 10; x < 300; ++x) {
                const test::Rgb c = test::At(p, x, y);
                n += (c.r > 200 && c.g > 160 && c.b < 110) ? 1 : 0;
            }
        return n;
    };
    auto deadPanelPixels = [](const Picture& p, int view) {
        const auto [x0, y0] = test::ViewCorner(view);
        int n = 0;
        for (int32_t y = y0 + 115; y < y0 + 132; ++y)
            for (int32_t x = x0 + 8; x < x0 + 140; ++x) {
                const test::Rgb c = test::At(p, x, y);
                n += (c.r > 200 && c.g < 130 && c.b < 130) ? 1 : 0;
            }
        return n;
    };
    stage->Render();
    Picture before = test::ReadFrame(kWidth, kHeight);
    EXPECT_EQ(verdictPixels(before), 0);
    while (!stage->Battle().Decided() && stage->Battle().Ticks() < 600000) stage->Advance(1000);
    ASSERT_TRUE(stage->Battle().Decided());
    stage->Render();
    const Picture after = test::ReadFrame(kWidth, kHeight, "watch-again-end");
    const BattleOutcome& decision = stage->Battle().Decision();
    char expected[64];
    if (decision.winner >= 0) {
        std::snprintf(expected, sizeof expected, "%s wins at %.2f s", decision.robots[static_cast<size_t>(decision.winner)].file.CStr(), decision.time);
    } else {
        std::snprintf(expected, sizeof expected, "no robot left");
    }
    EXPECT_EQ(stage->Verdict(), expected);
    EXPECT_GT(verdictPixels(after), 30);
    for (int k = 0; k < 3; ++k) {
        const bool dead = decision.robots[static_cast<size_t>(k)].values.dead;
        EXPECT_EQ(stage->DeathTimes()[static_cast<size_t>(k)] >= 0, dead);
        EXPECT_EQ(deadPanelPixels(after, k + 1) > 20, dead) << "view " << k + 1;
        EXPECT_EQ(deadPanelPixels(before, k + 1), 0);
    }

    // Seeking back before the end takes the verdict away; the deaths stay on the timeline.
    stage->SeekTo(1);
    stage->Render();
    EXPECT_EQ(stage->Verdict(), "");
    EXPECT_GE(stage->DeathTimes()[0] + stage->DeathTimes()[1] + stage->DeathTimes()[2], 0);
}

}  // namespace
}  // namespace kv
