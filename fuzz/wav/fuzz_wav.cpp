// Decodes any bytes as a WAV sound. A decoded sound must have a rate, one to 64 channels and
// whole frames of samples; anything else must be refused without touching memory it does not own.

#include <cstdint>

#include "sound/SoundSystem.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::optional<kv::PcmSound> pcm = kv::DecodeWav(data, size);
    if (!pcm) return 0;
    if (pcm->sampleRate <= 0 || pcm->channels < 1 || pcm->channels > 64 || pcm->samples.empty() ||
        pcm->samples.size() % static_cast<size_t>(pcm->channels) != 0) {
        __builtin_trap();
    }
    return 0;
}
