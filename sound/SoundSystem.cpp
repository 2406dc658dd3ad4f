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
    if (IsAvailable()) return true;
    device_ = alcOpenDevice(nullptr);
    if (!device_) return false;
    context_ = alcCreateContext(device_, nullptr);
    if (!context_ || alcMakeContextCurrent(context_) != ALC_TRUE) {
        Close();
        return false;
    }
    return true;
}

void SoundSystem::Close() {
    if (context_) {
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
    if (!IsAvailable()) return nullptr;
    std::optional<PcmSound> pcm = DecodeWav(data, size);
    if (!pcm) return nullptr;
    return CreateSound(*pcm);
}

std::unique_ptr<KvSound> SoundSystem::CreateSound(const PcmSound& pcm) {
    if (!IsAvailable() || pcm.channels <= 0 || pcm.sampleRate <= 0 || pcm.samples.empty()) return nullptr;
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
    if (IsAvailable() && sound.buffer != 0) {
        ALuint buffer = sound.buffer;
        alDeleteBuffers(1, &buffer);
    }
    sound.buffer = 0;
}

}  // namespace kv
