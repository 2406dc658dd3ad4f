// Writes the WAV fuzz target's seeds into a folder: a few dozen frames in each sample coding
// libsndfile writes into WAV (and one AIFF, which the decoder must refuse), so no binary file is
// kept in the sources.

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <sndfile.h>

namespace {

struct Seed {
    const char* name;
    int format;
    int channels;
    int rate;
};

constexpr Seed kSeeds[] = {
    {"pcm16.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 22050},
    {"pcm16-stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100},
    {"pcmu8.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8000},
    {"pcm24.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 48000},
    {"pcm32.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 1, 11025},
    {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 22050},
    {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 1, 22050},
    {"ulaw.wav", SF_FORMAT_WAV | SF_FORMAT_ULAW, 1, 8000},
    {"alaw.wav", SF_FORMAT_WAV | SF_FORMAT_ALAW, 1, 8000},
    {"ima-adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 1, 22050},
    {"ms-adpcm.wav", SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM, 2, 22050},
    {"gsm.wav", SF_FORMAT_WAV | SF_FORMAT_GSM610, 1, 8000},
    {"extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 3, 22050},
    {"aiff.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, 22050},
};

constexpr int kFrames = 64;

bool Write(const std::string& path, const Seed& seed) {
    SF_INFO info{};
    info.samplerate = seed.rate;
    info.channels = seed.channels;
    info.format = seed.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<short> samples(static_cast<size_t>(kFrames * seed.channels));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<short>(20000 * std::sin(0.3 * i));
    const bool ok = sf_writef_short(file, samples.data(), kFrames) == kFrames;
    return sf_close(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_wav_seeds FOLDER\n");
        return 2;
    }
    for (const Seed& seed : kSeeds) {
        if (!Write(std::string(argv[1]) + "/" + seed.name, seed)) {
            std::fprintf(stderr, "make_wav_seeds: cannot write %s/%s: %s\n", argv[1], seed.name, sf_strerror(nullptr));
            return 1;
        }
    }
    return 0;
}
