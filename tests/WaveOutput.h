#pragma once
// OpenAL Soft's wave backend writes the mix into a file, so tests hear what plays: 16-bit
// stereo at 44100 Hz, from the moment a device opens until it closes. The backend reads its
// configuration once per process, before the first device opens.

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace kv::test {

// The file the process's devices write; the backend is chosen and configured on first use.
inline const std::string& WaveFile() {
    static const std::string base = ::testing::TempDir() + "kolvex_sound_" + std::to_string(getpid());
    static const std::string path = [] {
        std::ofstream(base + ".conf") << "[general]\nchannels = stereo\nsample-type = int16\nfrequency = 44100\ndither = false\n"
                                      << "[wave]\nfile = " << base << ".wav\n";
        setenv("ALSOFT_CONF", (base + ".conf").c_str(), 1);
        setenv("ALSOFT_DRIVERS", "wave", 1);
        std::atexit([] {
            std::remove((base + ".conf").c_str());
            std::remove((base + ".wav").c_str());
        });
        return base + ".wav";
    }();
    return path;
}

// What the wave file holds: its 16-bit samples, interleaved.
struct Heard {
    int channels = 0;
    int rate = 0;
    std::string bytes;
    size_t data = 0;  // where the samples start

    explicit Heard(const std::string& path) : bytes(ReadWhole<std::string>(path)) {
        const size_t format = bytes.find("fmt ");
        const size_t samples = bytes.find("data");
        if (format == std::string::npos || samples == std::string::npos || format + 16 > bytes.size()) return;
        channels = Word(format + 10);
        rate = Word(format + 12) | Word(format + 14) << 16;
        data = samples + 8;
    }
    size_t Frames() const { return channels > 0 && data > 0 ? (bytes.size() - data) / 2 / channels : 0; }
    int16_t Sample(size_t frame, int channel) const {
        const size_t at = data + (frame * channels + channel) * 2;
        return static_cast<int16_t>(Word(at));
    }
    // The loudest sample, -1 without samples.
    int Loudest() const {
        int loudest = Frames() > 0 ? 0 : -1;
        for (size_t f = 0; f < Frames(); ++f)
            for (int c = 0; c < channels; ++c) loudest = std::max(loudest, std::abs(int{Sample(f, c)}));
        return loudest;
    }
    // The root mean square of one channel between two times, in seconds from the start.
    double Level(int channel, double from, double to) const {
        const size_t first = static_cast<size_t>(from * rate), last = std::min(Frames(), static_cast<size_t>(to * rate));
        double sum = 0;
        for (size_t f = first; f < last; ++f) sum += double(Sample(f, channel)) * Sample(f, channel);
        return last > first ? std::sqrt(sum / static_cast<double>(last - first)) : 0;
    }

private:
    int Word(size_t at) const {
        return at + 1 < bytes.size() ? uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8 : 0;
    }
};

}  // namespace kv::test
