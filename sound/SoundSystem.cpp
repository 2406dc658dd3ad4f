#include "sound/SoundSystem.h"

#include <algorithm>
#include <cstring>

#include <AL/al.h>
#include <sndfile.h>

namespace kv {

namespace {

// More than ten minutes of stereo at 48 kHz; no sound of the game comes near, and a damaged
// header must not make the decoder fill memory.
constexpr size_t kMaxSamples = size_t{64} << 20;

// libsndfile reads the entry straight out of memory through these callbacks.
struct MemoryFile {
    const uint8_t* data;
    sf_count_t size;
    sf_count_t position;
};

sf_count_t MemLength(void* user) { return static_cast<MemoryFile*>(user)->size; }

sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_CUR ? f->position : whence == SEEK_END ? f->size : 0;
    sf_count_t target = base + offset;
    if (target < 0 || target > f->size) return -1;
    f->position = target;
    return target;
}

sf_count_t MemRead(void* buffer, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t n = std::clamp<sf_count_t>(f->size - f->position, 0, count < 0 ? 0 : count);
    if (n > 0) std::memcpy(buffer, f->data + f->position, static_cast<size_t>(n));
    f->position += n;
    return n;
}

sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->position; }

// OpenAL places only mono buffers in space, so every channel is averaged into one.
std::vector<int16_t> Downmix(const PcmSound& pcm) {
    if (pcm.channels == 1) return pcm.samples;
    std::vector<int16_t> mono(pcm.Frames());
    for (size_t frame = 0; frame < mono.size(); ++frame) {
        int32_t sum = 0;
        for (int32_t c = 0; c < pcm.channels; ++c) sum += pcm.samples[frame * pcm.channels + c];
        mono[frame] = static_cast<int16_t>(sum / pcm.channels);
    }
    return mono;
}

}  // namespace

std::optional<PcmSound> DecodeWav(const void* data, size_t size) {
    if (!data || size == 0) return std::nullopt;
    MemoryFile file{static_cast<const uint8_t*>(data), static_cast<sf_count_t>(size), 0};
    SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (!sf) return std::nullopt;

    const int major = info.format & SF_FORMAT_TYPEMASK;
    if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || info.channels <= 0 || info.channels > 64 ||
        info.samplerate <= 0) {
        sf_close(sf);
        return std::nullopt;
    }
    PcmSound pcm;
    pcm.sampleRate = info.samplerate;
    pcm.channels = info.channels;
    // Read in blocks rather than trusting the frame count of the header.
    const sf_count_t blockFrames = 4096;
    std::vector<int16_t> block(static_cast<size_t>(blockFrames) * info.channels);
    while (pcm.samples.size() < kMaxSamples) {
        sf_count_t got = sf_readf_short(sf, block.data(), blockFrames);
        if (got <= 0) break;
        pcm.samples.insert(pcm.samples.end(), block.begin(), block.begin() + got * info.channels);
    }
    sf_close(sf);
    if (pcm.samples.empty() || pcm.samples.size() > kMaxSamples) return std::nullopt;
    return pcm;
}

SoundSystem::~SoundSystem() { Close(); }

bool SoundSystem::Init() {
    std::lock_guard guard(lock_);
    if (Available()) return true;
    device_ = alcOpenDevice(nullptr);
    if (!device_) return false;
    context_ = alcCreateContext(device_, nullptr);
    if (!context_ || alcMakeContextCurrent(context_) != ALC_TRUE) {
        Close();
        return false;
    }
    CreateChannels();
    return true;
}

void SoundSystem::Close() {
    std::lock_guard guard(lock_);
    if (context_) {
        for (Slot& slot : channels_) {
            ALuint source = slot.source;
            alSourceStop(source);
            alSourcei(source, AL_BUFFER, 0);
            alDeleteSources(1, &source);
        }
        channels_.clear();
        masterMute_ = false;
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(context_);
        context_ = nullptr;
    }
    if (device_) {
        alcCloseDevice(device_);
        device_ = nullptr;
    }
}

std::unique_ptr<KvSound> SoundSystem::CreateSound(const void* data, size_t size) {
    if (!IsAvailable()) return nullptr;  // decoding needs no lock
    std::optional<PcmSound> pcm = DecodeWav(data, size);
    if (!pcm) return nullptr;
    return CreateSound(*pcm);
}

std::unique_ptr<KvSound> SoundSystem::CreateSound(const PcmSound& pcm) {
    std::lock_guard guard(lock_);
    if (!Available() || pcm.channels <= 0 || pcm.sampleRate <= 0 || pcm.samples.empty()) return nullptr;
    std::vector<int16_t> mono = Downmix(pcm);
    alGetError();
    ALuint buffer = 0;
    alGenBuffers(1, &buffer);
    if (alGetError() != AL_NO_ERROR) return nullptr;
    alBufferData(buffer, AL_FORMAT_MONO16, mono.data(), static_cast<ALsizei>(mono.size() * sizeof(int16_t)),
                 pcm.sampleRate);
    if (alGetError() != AL_NO_ERROR) {
        alDeleteBuffers(1, &buffer);
        return nullptr;
    }
    auto sound = std::make_unique<KvSound>();
    sound->buffer = buffer;
    sound->sampleRate = pcm.sampleRate;
    sound->lengthMs = pcm.LengthMs();
    sound->channels = pcm.channels;
    return sound;
}

void SoundSystem::ReleaseSound(KvSound& sound) {
    std::lock_guard guard(lock_);
    if (Available() && sound.buffer != 0) {
        ALuint buffer = sound.buffer;
        alDeleteBuffers(1, &buffer);
    }
    sound.buffer = 0;
}

// ---- Channels ------------------------------------------------------------------------

namespace {

// A handle carries the channel's index and the generation of its use.
int32_t Handle(int index, uint32_t generation) {
    return static_cast<int32_t>((generation % (1u << 20)) * SoundSystem::kChannelCount + static_cast<uint32_t>(index));
}

void SetSourcePosition(ALuint source, ALenum what, const KvVec3& v) {
    alSource3f(source, what, static_cast<float>(v.x), static_cast<float>(v.y), static_cast<float>(v.z));
}

}  // namespace

void SoundSystem::CreateChannels() {
    // As many channels as the device gives, up to the full count.
    alGetError();
    for (int i = 0; i < kChannelCount; ++i) {
        ALuint source = 0;
        alGenSources(1, &source);
        if (alGetError() != AL_NO_ERROR) break;
        Slot slot;
        slot.source = source;
        channels_.push_back(slot);
    }
}

SoundSystem::Slot* SoundSystem::Find(int32_t channel) {
    return const_cast<Slot*>(static_cast<const SoundSystem*>(this)->Find(channel));
}

const SoundSystem::Slot* SoundSystem::Find(int32_t channel) const {
    if (!Available() || channel < 0) return nullptr;
    const auto index = static_cast<size_t>(channel % kChannelCount);
    if (index >= channels_.size()) return nullptr;
    const Slot& slot = channels_[index];
    if (!slot.taken || Handle(static_cast<int>(index), slot.generation) != channel) return nullptr;
    return &slot;
}

// Brings the source in line with the channel: gain from volume and mute, pitch from the
// frequency, and playing only while neither paused nor held at frequency 0.
void SoundSystem::Apply(Slot& slot) {
    const ALuint source = slot.source;
    alSourcef(source, AL_GAIN, slot.muted ? 0.0f : slot.volume);
    alSourcei(source, AL_LOOPING, slot.looping ? AL_TRUE : AL_FALSE);
    const bool hold = slot.frequency <= 0 || slot.sampleRate <= 0;
    if (!hold) alSourcef(source, AL_PITCH, slot.frequency / static_cast<float>(slot.sampleRate));
    ALint state = AL_INITIAL;
    alGetSourcei(source, AL_SOURCE_STATE, &state);
    if (slot.paused || allPaused_ || hold) {
        if (state == AL_PLAYING) alSourcePause(source);
    } else if (state == AL_STOPPED && slot.started) {
        // A one-shot that has ended stays silent until Update gives its channel back.
    } else if (state != AL_PLAYING) {
        alSourcePlay(source);
        slot.started = true;
    }
}

void SoundSystem::Release(Slot& slot) {
    alSourceStop(slot.source);
    alSourcei(slot.source, AL_BUFFER, 0);
    slot.taken = false;
    ++slot.generation;
}

int32_t SoundSystem::PlaySound(const KvSound* sound, bool paused) {
    std::lock_guard guard(lock_);
    if (!Available() || !sound || sound->buffer == 0) return kNoChannel;
    for (size_t i = 0; i < channels_.size(); ++i) {
        Slot& slot = channels_[i];
        if (slot.taken) continue;
        const ALuint source = slot.source;
        alSourcei(source, AL_BUFFER, static_cast<ALint>(sound->buffer));
        alSourceRewind(source);
        slot.taken = true;
        slot.paused = paused;
        slot.started = false;
        slot.looping = false;
        slot.muted = false;
        slot.volume = 1;
        slot.sampleRate = sound->sampleRate;
        slot.frequency = static_cast<float>(sound->sampleRate);
        slot.position = {};
        SetSourcePosition(source, AL_POSITION, slot.position);
        SetSourcePosition(source, AL_VELOCITY, {});
        Apply(slot);
        return Handle(static_cast<int>(i), slot.generation);
    }
    return kNoChannel;
}

void SoundSystem::SetChannelPaused(int32_t channel, bool paused) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) {
        slot->paused = paused;
        Apply(*slot);
    }
}

void SoundSystem::SetChannelMute(int32_t channel, bool mute) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) {
        slot->muted = mute;
        Apply(*slot);
    }
}

void SoundSystem::SetChannelVolume(int32_t channel, float volume) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) {
        slot->volume = volume < 0 ? 0 : volume > 1 ? 1 : volume;
        Apply(*slot);
    }
}

void SoundSystem::SetChannelFrequency(int32_t channel, float frequency) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) {
        slot->frequency = frequency;
        Apply(*slot);
    }
}

void SoundSystem::SetChannelLoop(int32_t channel, bool loop) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) {
        slot->looping = loop;
        Apply(*slot);
    }
}

void SoundSystem::SetChannelPosition(int32_t channel, uint32_t ms) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) alSourcef(slot->source, AL_SEC_OFFSET, static_cast<float>(ms) / 1000.0f);
}

void SoundSystem::SetChannel3DAttributes(int32_t channel, const KvVec3& position, const KvVec3* velocity) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) {
        slot->position = position;
        SetSourcePosition(slot->source, AL_POSITION, position);
        if (velocity) SetSourcePosition(slot->source, AL_VELOCITY, *velocity);
    }
}

void SoundSystem::StopChannel(int32_t channel) {
    std::lock_guard guard(lock_);
    if (Slot* slot = Find(channel)) Release(*slot);
}

SoundSystem::ChannelInfo SoundSystem::Channel(int32_t channel) const {
    std::lock_guard guard(lock_);
    ChannelInfo info;
    const Slot* slot = Find(channel);
    if (!slot) return info;
    info.valid = true;
    info.paused = slot->paused;
    info.looping = slot->looping;
    info.muted = slot->muted;
    info.volume = slot->volume;
    info.frequency = slot->frequency;
    info.position = slot->position;
    ALint state = AL_INITIAL;
    alGetSourcei(slot->source, AL_SOURCE_STATE, &state);
    info.audible = state == AL_PLAYING;
    alGetSourcef(slot->source, AL_PITCH, &info.pitch);
    return info;
}

int SoundSystem::FreeChannels() const {
    std::lock_guard guard(lock_);
    int free = 0;
    for (const Slot& slot : channels_) free += slot.taken ? 0 : 1;
    return free;
}

void SoundSystem::Update() {
    std::lock_guard guard(lock_);
    if (!Available()) return;
    for (Slot& slot : channels_) {
        if (!slot.taken || !slot.started || slot.paused || slot.frequency <= 0) continue;
        ALint state = AL_PLAYING;
        alGetSourcei(slot.source, AL_SOURCE_STATE, &state);
        if (state == AL_STOPPED) Release(slot);
    }
}

void SoundSystem::SetAllPaused(bool paused) {
    std::lock_guard guard(lock_);
    if (!Available() || allPaused_ == paused) return;
    allPaused_ = paused;
    for (Slot& slot : channels_) {
        if (slot.taken) Apply(slot);
    }
}

void SoundSystem::SetMute(bool mute) {
    std::lock_guard guard(lock_);
    if (!Available()) return;
    masterMute_ = mute;
    alListenerf(AL_GAIN, mute ? 0.0f : 1.0f);
    // Overrides every channel's own mute, so that the engines and shells already playing
    // when sound comes back on are heard again.
    for (Slot& slot : channels_) {
        if (!slot.taken || slot.muted == mute) continue;
        slot.muted = mute;
        Apply(slot);
    }
}

void SoundSystem::SetListener(const KvVec3& position, const KvVec3& forward, const KvVec3& up, const KvVec3& velocity) {
    std::lock_guard guard(lock_);
    if (!Available()) return;
    alListener3f(AL_POSITION, static_cast<float>(position.x), static_cast<float>(position.y),
                 static_cast<float>(position.z));
    alListener3f(AL_VELOCITY, static_cast<float>(velocity.x), static_cast<float>(velocity.y),
                 static_cast<float>(velocity.z));
    const float orientation[6] = {static_cast<float>(forward.x), static_cast<float>(forward.y),
                                  static_cast<float>(forward.z), static_cast<float>(up.x),
                                  static_cast<float>(up.y),      static_cast<float>(up.z)};
    alListenerfv(AL_ORIENTATION, orientation);
}

// ---- Protocols -----------------------------------------------------------------------

int32_t SoundSystem::PlayOneShot(const KvSound* sound, const KvVec3& position, bool soundOn, const KvVec3* velocity) {
    std::lock_guard guard(lock_);
    const int32_t channel = PlaySound(sound, true);
    SetChannelMute(channel, !soundOn);
    SetChannel3DAttributes(channel, position, velocity);
    SetChannelPaused(channel, false);
    return channel;
}

int32_t SoundSystem::StartPaused(const KvSound* sound, float volume, bool soundOn) {
    std::lock_guard guard(lock_);
    const int32_t channel = PlaySound(sound, true);
    SetChannelVolume(channel, volume);
    SetChannelMute(channel, !soundOn);
    return channel;
}

void SoundSystem::SteerEngine(int32_t channel, const KvVec3& position, float frequency, bool& started,
                            uint32_t startMs) {
    std::lock_guard guard(lock_);
    SetChannel3DAttributes(channel, position, nullptr);
    SetChannelFrequency(channel, frequency);
    if (!started) {
        started = true;
        SetChannelLoop(channel, true);
        SetChannelPosition(channel, startMs);
        SetChannelPaused(channel, false);
    }
}

void SoundSystem::SteerShell(int32_t channel, const KvVec3& position, bool& started) {
    std::lock_guard guard(lock_);
    SetChannel3DAttributes(channel, position, nullptr);
    if (!started) {
        started = true;
        SetChannelFrequency(channel, kShellFrequency);
        SetChannelPaused(channel, false);
    }
}

bool SoundSystem::IsAvailable() const {
    std::lock_guard guard(lock_);
    return Available();
}

int SoundSystem::ChannelCount() const {
    std::lock_guard guard(lock_);
    return static_cast<int>(channels_.size());
}

}  // namespace kv
