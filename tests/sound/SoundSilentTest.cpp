#include <gtest/gtest.h>

#include <cstdlib>

#include "sound/SoundSystem.h"

namespace kv {
namespace {

// No output device at all: the game must go on in silence.
TEST(SoundWithoutDevice, IsUnavailableAndEveryCallDoesNothing) {
    setenv("ALSOFT_DRIVERS", "kolvex-no-such-driver", 1);
    SoundSystem sound;
    EXPECT_FALSE(sound.Init());
    EXPECT_FALSE(sound.IsAvailable());
    EXPECT_EQ(sound.CreateSound(PcmSound{8000, 1, {1, 2, 3}}), nullptr);
    KvSound fake;
    fake.buffer = 7;
    fake.sampleRate = 22050;
    bool started = false;
    EXPECT_EQ(sound.PlayOneShot(&fake, {1, 2, 3}, true), SoundSystem::kNoChannel);
    const int32_t engine = sound.StartPaused(&fake, 0.7f, true);
    EXPECT_EQ(engine, SoundSystem::kNoChannel);
    sound.SteerEngine(engine, {0, 0, 0}, 22050, started, 0);
    sound.SteerShell(engine, {0, 0, 0}, started);
    sound.StopChannel(engine);
    sound.Lock();
    sound.Update();
    sound.SetMute(true);
    sound.SetListener({0, 0, 0}, {0, 0, -1}, {0, 1, 0}, {0, 0, 0});
    EXPECT_EQ(sound.PlaySound(&fake, false), SoundSystem::kNoChannel);
    sound.SetChannelFrequency(0, 100);
    EXPECT_FALSE(sound.Channel(0).valid);
    EXPECT_EQ(sound.ChannelCount(), 0);
    sound.Unlock();
    sound.ReleaseSound(fake);
    EXPECT_EQ(fake.buffer, 0u);
    sound.Close();
}

}  // namespace
}  // namespace kv
