// The battle's sounds as a player hears them, through OpenAL Soft's wave backend: the main
// camera carries the listener, and "Sound on" chosen during a battle brings back the sounds
// already playing.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "OffscreenGl.h"
#include "StageBattle.h"
#include "WaveOutput.h"
#include "core/Angles.h"
#include "sound/SoundBank.h"
#include "sound/SoundSystem.h"

namespace kv {
namespace {

constexpr int32_t kWidth = 950, kHeight = 600;
const std::string kRobots = KV_TEST_ROBOTS;

test::GameGpu& TheGpu() { return test::TheGameGpu(KV_GAME_ARCHIVE, kWidth, kHeight); }

double Now() { return PrecisionClock::Now(); }

// One device's life: the stage plays through it from Open to Close, into the wave file.
class Hearing : public ::testing::Test {
protected:
    void SetUp() override {
        test::WaveFile();
        ASSERT_TRUE(test::Ready(TheGpu(), kWidth, kHeight));
        stage = test::MakeStage(TheGpu().context, TheGpu(), {1, 0, true});
    }
    void TearDown() override { Close(); }

    void Open() {
        ASSERT_TRUE(sound.Init()) << "OpenAL Soft's wave backend did not open";
        opened = Now();
        bank.Create(&sound, TheGpu().store.SoundFiles());
        stage->SetSound(&sound, &bank);
    }
    // Frames for a while, the sounds updated with each.
    void Play(double seconds, int64_t ticksPerFrame = 0) {
        const double end = Now() + seconds;
        while (Now() < end) {
            if (ticksPerFrame > 0) stage->Advance(ticksPerFrame);
            stage->Render();
        }
    }
    // The file holds everything played since Open.
    test::Heard Close() {
        if (!sound.IsAvailable()) return test::Heard(test::WaveFile());
        stage->SetSound(nullptr, nullptr);
        bank.Release();
        sound.Close();
        return test::Heard(test::WaveFile());
    }

    SoundSystem sound;
    KvSoundBank bank;
    std::unique_ptr<KvBattleStage> stage;
    double opened = 0;
};

// Regression: the listener stayed at the arena's centre facing -Z whatever the camera did,
// so a robot on the left of the screen could be heard on the right.
TEST_F(Hearing, ASoundLeftOfTheCameraIsHeardOnTheLeftAndTurningTheCameraMovesIt) {
    // A point left of the middle of the first picture; turned half round, the camera sees it
    // on its right.
    stage->SetCamera(0, 0.7);
    const Camera& camera = stage->MainView().camera;
    stage->Render();
    const KvVec3 right{camera.inverse[0], camera.inverse[1], camera.inverse[2]};
    const KvVec3 point = camera.target - right * 3.0;
    for (double yaw : {0.0, kPi}) {
        SCOPED_TRACE(testing::Message() << "yaw " << yaw);
        Open();
        stage->SetCamera(yaw, 0.7);
        stage->Render();
        ASSERT_GE(stage->ScenePart().PlayOnce("collision", point), 0);
        Play(1.0);
        const test::Heard heard = Close();
        ASSERT_EQ(heard.channels, 2);
        const double left = heard.Level(0, 0, 2), right = heard.Level(1, 0, 2);
        ASSERT_GT(left + right, 20) << "the sound was heard";
        if (yaw == 0) EXPECT_GT(left, 1.5 * right);
        else EXPECT_GT(right, 1.5 * left);
    }
}

// The wave file's clock may lag the wall clock (a slow mixer catches up), so the pause is
// looked for in the file as a stretch of silence between engines heard.
TEST_F(Hearing, APausedBattleIsSilentAndItsEnginesGoOnWithIt) {
    Open();
    ASSERT_TRUE(stage->StartBattle(test::Robots(kRobots, {"rover.r", "rover.r"}, 4).files, 4));
    stage->RunUntil(1.0);
    Play(0.6, 17);
    stage->SetPaused(true);
    Play(0.8);
    stage->SetPaused(false);
    Play(0.8, 17);
    const test::Heard heard = Close();
    ASSERT_EQ(heard.channels, 2);
    constexpr double kWindow = 0.05;
    std::vector<double> levels;
    for (double at = 0; at + kWindow <= double(heard.Frames()) / heard.rate; at += kWindow)
        levels.push_back(heard.Level(0, at, at + kWindow) + heard.Level(1, at, at + kWindow));
    const auto loud = [](double level) { return level > 50; };
    const auto firstLoud = std::find_if(levels.begin(), levels.end(), loud);
    ASSERT_NE(firstLoud, levels.end()) << "the engines heard";
    // The longest silence after the engines were first heard.
    auto quietFrom = levels.end(), quietTo = levels.end();
    for (auto at = firstLoud; at != levels.end();) {
        const auto from = std::find_if(at, levels.end(), [](double level) { return level < 5; });
        const auto to = std::find_if(from, levels.end(), [](double level) { return level >= 5; });
        if (quietFrom == levels.end() || to - from > quietTo - quietFrom) quietFrom = from, quietTo = to;
        at = to;
    }
    EXPECT_GE((quietTo - quietFrom) * kWindow, 0.5) << "silent while paused";
    EXPECT_NE(std::find_if(quietTo, levels.end(), loud), levels.end()) << "heard again once resumed";
}

// Regression: engines started while sound was off stayed silent after "Sound on".
TEST_F(Hearing, SoundOnDuringABattleBringsBackTheEnginesAlreadyRunning) {
    RenderSettings settings = stage->Settings();
    settings.soundOn = false;
    stage->SetSettings(settings);
    Open();
    ASSERT_TRUE(stage->StartBattle(test::Robots(kRobots, {"rover.r", "rover.r"}, 4).files, 4));
    stage->RunUntil(1.0);  // both rovers on their way, however slowly the frames come
    Play(0.8, 17);
    const double on = Now() - opened;
    settings.soundOn = true;
    stage->SetSettings(settings);
    Play(1.0, 17);
    const double end = Now() - opened;
    const test::Heard heard = Close();
    ASSERT_EQ(heard.channels, 2);
    EXPECT_LT(heard.Level(0, 0.1, on - 0.1) + heard.Level(1, 0.1, on - 0.1), 5) << "silent while sound is off";
    EXPECT_GT(heard.Level(0, on + 0.2, end - 0.1) + heard.Level(1, on + 0.2, end - 0.1), 50)
        << "the engines heard once it is on";
}

}  // namespace
}  // namespace kv
