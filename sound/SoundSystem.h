#pragma once
// The sound system: OpenAL Soft for playing, libsndfile for decoding WAV entries from memory.
// When no output device opens the system is unavailable and every operation does nothing,
// so the game (and every headless battle) runs silent rather than failing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <AL/alc.h>

namespace kv {

// A decoded sound: interleaved signed 16-bit samples.
struct PcmSound {
    int32_t sampleRate = 0;
    int32_t channels = 0;
    std::vector<int16_t> samples;

    uint32_t Frames() const { return channels > 0 ? static_cast<uint32_t>(samples.size() / channels) : 0; }
    uint32_t LengthMs() const {
        return sampleRate > 0 ? static_cast<uint32_t>(uint64_t{Frames()} * 1000 / static_cast<uint64_t>(sampleRate)) : 0;
    }
};

// Decodes a whole WAV file held in memory; nothing when it is not a WAV that libsndfile
// reads, or holds no samples. Needs no sound device.
std::optional<PcmSound> DecodeWav(const void* data, size_t size);

// A sound ready to play. The buffer is 0 for a sound loaded without a device (headless).
struct KvSound {
    uint32_t buffer = 0;  // OpenAL buffer name, mono: every sound of the game is positional
    int32_t sampleRate = 0;
    uint32_t lengthMs = 0;
    int32_t channels = 0;  // as decoded from the file
};

class SoundSystem {
public:
    SoundSystem() = default;
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Opens the default output device. False (and unavailable) when there is none.
    bool Init();
    // Closes the device; every sound must have been released before.
    void Close();
    bool IsAvailable() const { return context_ != nullptr; }

    // Decodes WAV bytes and uploads them as a buffer; null when the system is unavailable or
    // the bytes are not a WAV it can decode.
    std::unique_ptr<KvSound> CreateSound(const void* data, size_t size);
    std::unique_ptr<KvSound> CreateSound(const PcmSound& pcm);
    // Deletes the sound's buffer; the sound then plays nothing.
    void ReleaseSound(KvSound& sound);

    // Channels, one-shots, the engine loop, the listener, mute and the sound lock that guards
    // every library call are added here by the simulation's sound events.

private:
    ALCdevice* device_ = nullptr;
    ALCcontext* context_ = nullptr;
};

}  // namespace kv
