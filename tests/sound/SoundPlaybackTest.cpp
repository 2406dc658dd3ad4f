#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "WaveOutput.h"
#include "core/Angles.h"
#include "sound/SoundSystem.h"

namespace kv {
namespace {

using test::WaveFile;

// A 440 Hz tone of the given length at 44100 Hz.
PcmSound Tone(double seconds) {
    PcmSound pcm{44100, 1, std::vector<int16_t>(static_cast<size_t>(seconds * 44100))};
    for (size_t i = 0; i < pcm.samples.size(); ++i)
        pcm.samples[i] = static_cast<int16_t>(12000 * std::sin(i * 2 * kPi * 440 / 44100));
    return pcm;
}

struct Playback : ::testing::Test {
    void SetUp() override {
        WaveFile();
        // The wave backend is part of every OpenAL Soft build, so not opening it is a fault.
        ASSERT_TRUE(sound.Init()) << "OpenAL Soft's wave backend did not open";
        tone = sound.CreateSound(Tone(0.05));
        ASSERT_NE(tone, nullptr);
    }
    void TearDown() override {
        if (tone) sound.ReleaseSound(*tone);
        sound.Close();
        std::remove(WaveFile().c_str());
    }
    // Waits, updating the sound system as the main loop does, until a one-shot has ended and
    // given its channel back; false if it has not within a few seconds.
    bool WaitUntilEnded(int32_t channel) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (Info(channel).valid) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    SoundSystem::ChannelInfo Info(int32_t channel) {
        sound.Lock();
        sound.Update();
        const SoundSystem::ChannelInfo info = sound.Channel(channel);
        sound.Unlock();
        return info;
    }

    SoundSystem sound;
    std::unique_ptr<KvSound> tone;
};

TEST_F(Playback, AOneShotPlaysAtItsPointAndGivesItsChannelBackWhenItEnds) {
    EXPECT_EQ(sound.ChannelCount(), SoundSystem::kChannelCount);
    const int32_t channel = sound.PlayOneShot(tone.get(), {1, 2, 3}, true);
    const SoundSystem::ChannelInfo info = Info(channel);
    ASSERT_TRUE(info.valid);
    EXPECT_FALSE(info.paused);
    EXPECT_FALSE(info.muted);
    EXPECT_EQ(info.position.y, 2);
    EXPECT_EQ(sound.FreeChannels(), SoundSystem::kChannelCount - 1);
    ASSERT_TRUE(WaitUntilEnded(channel));
    EXPECT_EQ(sound.FreeChannels(), SoundSystem::kChannelCount);
}

TEST_F(Playback, TheEngineLoopsWithItsSpeedAsPitchAndAShellPlaysOnceAt44100Hz) {
    bool started = false;
    const int32_t channel = sound.StartPaused(tone.get(), 0.7f, true);
    SoundSystem::ChannelInfo info = Info(channel);
    EXPECT_TRUE(info.paused);
    EXPECT_FALSE(info.audible);
    EXPECT_FLOAT_EQ(info.volume, 0.7f);

    // A standing robot: frequency 0 holds the sound still.
    sound.SteerEngine(channel, {0, 0, 0}, SoundSystem::EngineFrequency(0), started, 20);
    EXPECT_TRUE(started);
    info = Info(channel);
    EXPECT_TRUE(info.looping);
    EXPECT_FALSE(info.paused);
    EXPECT_FALSE(info.audible);

    sound.SteerEngine(channel, {1, 0, 0}, SoundSystem::EngineFrequency(100), started, 20);
    // The same sound once at the same pitch, started later: when it has ended, only a loop
    // can still be playing.
    sound.Lock();
    const int32_t once = sound.PlaySound(tone.get(), true);
    sound.SetChannelFrequency(once, SoundSystem::EngineFrequency(100));
    sound.SetChannelPaused(once, false);
    sound.Unlock();
    ASSERT_TRUE(WaitUntilEnded(once));
    info = Info(channel);
    ASSERT_TRUE(info.valid);
    EXPECT_TRUE(info.audible);
    EXPECT_FLOAT_EQ(info.frequency, 22050);
    EXPECT_FLOAT_EQ(info.pitch, 0.5f);
    sound.StopChannel(channel);
    EXPECT_EQ(sound.FreeChannels(), SoundSystem::kChannelCount);

    // A shell's sound plays once at 44100 Hz from its first frame on.
    const int32_t shell = sound.StartPaused(tone.get(), 0.3f, true);
    started = false;
    sound.SteerShell(shell, {0, 1, 0}, started);
    sound.SteerShell(shell, {0, 2, 0}, started);
    info = Info(shell);
    EXPECT_FALSE(info.paused);
    EXPECT_FALSE(info.looping);
    EXPECT_FLOAT_EQ(info.pitch, 1.0f);
    EXPECT_EQ(info.position.y, 2);
}

TEST_F(Playback, RunsOutOfChannelsQuietlyAndAStaleHandleSteersNothing) {
    sound.Lock();
    const int32_t old = sound.PlaySound(tone.get(), true);
    sound.StopChannel(old);
    const int32_t reused = sound.PlaySound(tone.get(), true);
    EXPECT_NE(old, reused);
    sound.SetChannelVolume(old, 0.1f);
    EXPECT_FALSE(sound.Channel(old).valid);
    EXPECT_FLOAT_EQ(sound.Channel(reused).volume, 1.0f);
    for (int i = 1; i < SoundSystem::kChannelCount; ++i)
        EXPECT_NE(sound.PlaySound(tone.get(), true), SoundSystem::kNoChannel);
    EXPECT_EQ(sound.PlaySound(tone.get(), true), SoundSystem::kNoChannel);
    EXPECT_EQ(sound.PlaySound(nullptr, false), SoundSystem::kNoChannel);
    sound.Unlock();
}

TEST_F(Playback, WritesAOneShotToTheDeviceUnlessSoundIsOffOrMuted) {
    sound.ReleaseSound(*tone);
    tone.reset();
    const struct {
        bool soundOn, muted, heard;
    } cases[] = {{true, false, true}, {false, false, false}, {true, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "sound on " << c.soundOn << ", muted " << c.muted);
        ASSERT_TRUE(sound.IsAvailable() || sound.Init());
        std::unique_ptr<KvSound> loud = sound.CreateSound(Tone(0.3));
        sound.Lock();
        sound.SetMute(c.muted);
        sound.Unlock();
        ASSERT_TRUE(WaitUntilEnded(sound.PlayOneShot(loud.get(), {0, 0, 0}, c.soundOn)));
        sound.ReleaseSound(*loud);
        sound.Close();
        if (c.heard) EXPECT_GT(test::Heard(WaveFile()).Loudest(), 1000);
        else EXPECT_EQ(test::Heard(WaveFile()).Loudest(), 0);
    }
}

// Every call takes the lock itself; a caller grouping calls under the lock may make any of
// them, and the other thread's calls wait for the group to end.
TEST_F(Playback, TheSimulationAndTheMainLoopShareTheSoundLockWithoutDeadlock) {
    std::thread worker([&] {
        for (int i = 0; i < 300; ++i) {
            const int32_t channel = sound.PlayOneShot(tone.get(), {double(i % 7), 0, 0}, true);
            bool started = false;
            sound.SteerShell(channel, {0, 0, 0}, started);
            if (i % 3 == 0) sound.StopChannel(channel);
        }
    });
    for (int i = 0; i < 300; ++i) {
        sound.Lock();
        sound.Update();
        sound.SetListener({0, 1, 0}, {0, 0, -1}, {0, 1, 0}, {0, 0, 0});
        const int32_t channel = sound.StartPaused(tone.get(), 0.7f, true);
        bool started = false;
        sound.SteerEngine(channel, {0, 0, 0}, SoundSystem::EngineFrequency(50), started, 0);
        EXPECT_GE(sound.FreeChannels(), 0);
        sound.StopChannel(channel);
        sound.Unlock();
        sound.SetMute(false);
    }
    worker.join();
}

}  // namespace
}  // namespace kv
