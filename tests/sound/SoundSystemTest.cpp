#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "sound/SoundBank.h"
#include "sound/SoundSystem.h"

namespace kv {
namespace {

// A RIFF/WAVE file in PCM, written field by field from the published layout.
std::vector<uint8_t> Wav(uint16_t channels, uint32_t rate, uint16_t bits, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto text = [&](const char* s) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(s[i]));
    };
    const auto size = static_cast<uint32_t>(data.size());
    text("RIFF"), put(36 + size, 4), text("WAVE");
    // PCM, the channels, the rate, bytes per second, bytes per frame, bits per sample.
    text("fmt "), put(16, 4), put(1, 2), put(channels, 2), put(rate, 4), put(rate * channels * bits / 8, 4);
    put(channels * bits / 8, 2), put(bits, 2);
    text("data"), put(size, 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::vector<uint8_t> Mono16(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> data;
    for (int16_t s : samples) data.insert(data.end(), {uint8_t(s), uint8_t(uint16_t(s) >> 8)});
    return data;
}

// These tests run with ALSOFT_DRIVERS=null: OpenAL Soft always has its silent output, so a
// device that does not open is a fault, not a machine without a sound card.
constexpr const char* kNoNullOutput = "OpenAL Soft's null output did not open";

TEST(Wav, DecodesSixteenBitMonoFromMemory) {
    std::vector<int16_t> samples(800);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 40 - 16000);
    std::vector<uint8_t> file = Wav(1, 8000, 16, Mono16(samples));
    std::optional<PcmSound> pcm = DecodeWav(file.data(), file.size());
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->sampleRate, 8000);
    EXPECT_EQ(pcm->channels, 1);
    EXPECT_EQ(pcm->samples, samples);
}

TEST(Wav, WidensEightBitStereoToSixteenBits) {
    // Unsigned 8-bit: 128 is silence, 255 nearly full scale.
    std::vector<uint8_t> file = Wav(2, 22050, 8, {128, 255, 0, 128});
    std::optional<PcmSound> pcm = DecodeWav(file.data(), file.size());
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->channels, 2);
    EXPECT_EQ(pcm->samples, (std::vector<int16_t>{0, 127 * 256, -128 * 256, 0}));
}

TEST(Wav, RefusesWhatIsNoWavOrHoldsNoSoundAndKeepsWhatATruncatedDataChunkHolds) {
    EXPECT_FALSE(DecodeWav(nullptr, 0));
    const std::string text = "this is not a sound at all, just some words in a file";
    EXPECT_FALSE(DecodeWav(text.data(), text.size()));
    const std::vector<uint8_t> empty = Wav(1, 8000, 16, {}), noRate = Wav(1, 0, 16, Mono16({1, 2}));
    EXPECT_FALSE(DecodeWav(empty.data(), empty.size()));
    EXPECT_FALSE(DecodeWav(noRate.data(), noRate.size()));
    const std::vector<uint8_t> file = Wav(1, 8000, 16, Mono16(std::vector<int16_t>(100, 5)));
    for (size_t cut = 0; cut < 44; ++cut) EXPECT_FALSE(DecodeWav(file.data(), cut)) << "cut at " << cut;
    // Cut inside the data: the header still announces 100 samples.
    std::optional<PcmSound> pcm = DecodeWav(file.data(), file.size() - 50);
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->Frames(), 75u);
}

TEST(SoundSystem, CreatesABufferWithTheDecodedFactsWhenADeviceOpens) {
    SoundSystem sound;
    ASSERT_TRUE(sound.Init()) << kNoNullOutput;
    EXPECT_TRUE(sound.IsAvailable());
    std::vector<uint8_t> stereo = Wav(2, 11025, 16, Mono16(std::vector<int16_t>(2 * 11025, 300)));
    std::unique_ptr<KvSound> created = sound.CreateSound(stereo.data(), stereo.size());
    ASSERT_NE(created, nullptr);
    EXPECT_NE(created->buffer, 0u);
    EXPECT_EQ(created->sampleRate, 11025);
    EXPECT_EQ(created->channels, 2);
    EXPECT_EQ(created->lengthMs, 1000u);
    EXPECT_EQ(sound.CreateSound("not a sound", 11), nullptr);
    sound.ReleaseSound(*created);
    EXPECT_EQ(created->buffer, 0u);
    sound.Close();
    EXPECT_FALSE(sound.IsAvailable());
}

// The game's sound files by key: one that decodes, one that does not.
std::map<KvString, std::vector<uint8_t>> SoundFiles() {
    return {{"motor", Wav(1, 22050, 16, Mono16(std::vector<int16_t>(2205, 100)))},
            {"hit", {'n', 'o', 'i', 's', 'e'}}};
}

TEST(SoundBank, GivesEachDecodableFileABufferFromAnAvailableSystem) {
    SoundSystem sound;
    ASSERT_TRUE(sound.Init()) << kNoNullOutput;
    KvSoundBank bank;
    bank.Create(&sound, SoundFiles());
    ASSERT_NE(bank.GetSound("motor"), nullptr);
    EXPECT_NE(bank.GetSound("motor")->buffer, 0u);
    EXPECT_EQ(bank.GetSound("motor")->lengthMs, 100u);
    EXPECT_EQ(bank.GetSound("hit"), nullptr);
    EXPECT_EQ(bank.GetSound("hit"), nullptr) << "a look-up never inserts";
    EXPECT_EQ(bank.Refused(), std::vector<KvString>{"hit"});
    EXPECT_NE(sound.PlayOneShot(bank.GetSound("motor"), {0, 0, 0}, true), SoundSystem::kNoChannel);
    bank.Release();
    EXPECT_EQ(bank.GetSound("motor"), nullptr);
    sound.Close();
}

TEST(SoundBank, KeepsOnlyTheDecodedFactsWithoutASoundSystem) {
    KvSoundBank bank;
    bank.Create(nullptr, SoundFiles());
    ASSERT_NE(bank.GetSound("motor"), nullptr);
    EXPECT_EQ(bank.GetSound("motor")->buffer, 0u);
    EXPECT_EQ(bank.GetSound("motor")->sampleRate, 22050);
    EXPECT_EQ(bank.GetSound("motor")->lengthMs, 100u);
    EXPECT_EQ(bank.GetSound("hit"), nullptr);
}

}  // namespace
}  // namespace kv
