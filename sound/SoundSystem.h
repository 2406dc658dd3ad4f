#pragma once
// The sound system: OpenAL Soft for playing, libsndfile for decoding WAV entries from memory.
// When no output device opens the system is unavailable and every operation does nothing,
// so the game (and every headless battle) runs silent rather than failing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <AL/alc.h>

#include "core/Matrix.h"

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

// Playing: kChannelCount channels, each an OpenAL source. A channel is taken by PlaySound
// and stays taken while paused or playing; a one-shot gives it back when its sound has ended
// (seen by Update), anything else when stopped. A channel handle names one use of a channel:
// once the channel is given back and taken again, the old handle steers nothing.
//
// Locking: the sound lock guards every library call and the channel table. Every public call
// takes it itself, so callers on either thread need not. It is recursive: a caller that groups
// calls between Lock and Unlock (so that no other thread's call comes between them) may make
// any call meanwhile without deadlocking. It comes after the scheduler mutex and the scene
// lock, never before: whoever holds it waits for neither.
class SoundSystem {
public:
    static constexpr int kChannelCount = 100;
    static constexpr int32_t kNoChannel = -1;

    SoundSystem() = default;
    ~SoundSystem();
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Opens the default output device and its channels. False (and unavailable) when there
    // is none.
    bool Init();
    // Stops every channel and closes the device; every sound must have been released before.
    void Close();
    bool IsAvailable() const;

    // For callers that group several calls; each call also takes the lock itself.
    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }

    // Gives back the channels whose one-shot has ended. The main loop calls it every turn.
    void Update();
    // Silences (or restores) everything at once: every channel taken now gets this mute.
    void SetMute(bool mute);
    // Holds every channel where it is, and lets them go on again, as a paused battle needs:
    // over each channel's own pause, which it keeps meanwhile.
    void SetAllPaused(bool paused);
    // Places the listener: the main camera, once per frame.
    void SetListener(const KvVec3& position, const KvVec3& forward, const KvVec3& up, const KvVec3& velocity);

    // Takes a free channel and sets sound on it, at full volume and its own sample rate;
    // playing unless paused. kNoChannel when no channel is free, the sound is missing or the
    // system is unavailable.
    int32_t PlaySound(const KvSound* sound, bool paused);
    void SetChannelPaused(int32_t channel, bool paused);
    void SetChannelMute(int32_t channel, bool mute);
    void SetChannelVolume(int32_t channel, float volume);
    // Plays at frequency / the sound's sample rate as pitch; 0 or less holds the sound still.
    void SetChannelFrequency(int32_t channel, float frequency);
    void SetChannelLoop(int32_t channel, bool loop);
    // Moves the play position to ms milliseconds into the sound.
    void SetChannelPosition(int32_t channel, uint32_t ms);
    void SetChannel3DAttributes(int32_t channel, const KvVec3& position, const KvVec3* velocity);
    void StopChannel(int32_t channel);

    // What a channel is doing, for tests and tools.
    struct ChannelInfo {
        bool valid = false;  // the handle still names its use of the channel
        bool paused = false;
        bool audible = false;  // the source is playing now
        bool looping = false;
        bool muted = false;
        float volume = 0;
        float frequency = 0;
        float pitch = 0;
        KvVec3 position;
    };
    ChannelInfo Channel(int32_t channel) const;
    int FreeChannels() const;
    int ChannelCount() const;

    // One-shot event: a sound at a point, muted unless sound is on; its channel returns by
    // itself when the sound ends.
    int32_t PlayOneShot(const KvSound* sound, const KvVec3& position, bool soundOn, const KvVec3* velocity = nullptr);
    // A sound that the frame starts later (the robot's "motor" at volume 0.7, the shell's
    // "rocket" at 0.3): taken paused, with its volume and mute.
    int32_t StartPaused(const KvSound* sound, float volume, bool soundOn);
    // The engine, each frame: moves it and sets its frequency (speed x 220.5 Hz). The first
    // time (started clear) it also loops it, starts it startMs into the sound and unpauses it.
    void SteerEngine(int32_t channel, const KvVec3& position, float frequency, bool& started, uint32_t startMs);
    static constexpr float kShellFrequency = 44100;
    // A shell in flight, each frame: moves its sound; the first time also sets 44100 Hz and
    // unpauses it.
    void SteerShell(int32_t channel, const KvVec3& position, bool& started);
    // Engine frequency for a robot speed in units per second.
    static float EngineFrequency(double speed) { return static_cast<float>(speed * 220.5); }

    // Decodes WAV bytes and uploads them as a buffer; null when the system is unavailable or
    // the bytes are not a WAV it can decode.
    std::unique_ptr<KvSound> CreateSound(const void* data, size_t size);
    std::unique_ptr<KvSound> CreateSound(const PcmSound& pcm);
    // Deletes the sound's buffer; the sound then plays nothing.
    void ReleaseSound(KvSound& sound);

private:
    struct Slot {
        uint32_t source = 0;
        uint32_t generation = 0;
        bool taken = false;
        bool paused = false;
        bool started = false;  // has played at least once, so a stopped source has ended
        bool looping = false;
        bool muted = false;
        float volume = 1;
        float frequency = 0;
        int32_t sampleRate = 0;
        KvVec3 position;
    };
    bool Available() const { return context_ != nullptr; }
    Slot* Find(int32_t channel);
    const Slot* Find(int32_t channel) const;
    void Apply(Slot& slot);
    void Release(Slot& slot);
    void CreateChannels();

    ALCdevice* device_ = nullptr;
    ALCcontext* context_ = nullptr;
    mutable std::recursive_mutex lock_;
    std::vector<Slot> channels_;
    bool masterMute_ = false;
    bool allPaused_ = false;
};

}  // namespace kv
