#include "tools/kvassets/Sounds.h"

#include <algorithm>
#include <cmath>

#include "core/Angles.h"

namespace kv::gen {

namespace {

// xorshift32: the same noise on every build.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed ? seed : 1) {}
    float Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(state_ & 0xFFFFFF) / 8388608.0f - 1.0f;
    }

private:
    uint32_t state_;
};

// Chamberlin state-variable filter; low- and band-pass outputs.
struct Svf {
    double low = 0, band = 0;
    void Run(double in, double cutoff, double q, int rate) {
        const double f = 2 * std::sin(kPi * std::min(cutoff, rate / 6.0) / rate);
        low += f * band;
        const double high = in - low - band / q;
        band += f * high;
    }
};

// Removes any constant offset, then scales the loudest sample to peak.
void Normalise(Sound& s, float peak) {
    double mean = 0;
    for (float v : s.samples) mean += v;
    mean /= std::max<std::size_t>(1, s.samples.size());
    for (float& v : s.samples) v -= static_cast<float>(mean);
    float most = 0;
    for (float v : s.samples) most = std::max(most, std::fabs(v));
    if (most > 0)
        for (float& v : s.samples) v *= peak / most;
}

// Short fades at both ends so a one-shot never clicks.
void Fade(Sound& s, double inSeconds, double outSeconds) {
    const std::size_t n = s.samples.size();
    const std::size_t in = static_cast<std::size_t>(inSeconds * s.sampleRate);
    const std::size_t out = static_cast<std::size_t>(outSeconds * s.sampleRate);
    for (std::size_t i = 0; i < in && i < n; ++i) s.samples[i] *= static_cast<float>(i) / in;
    for (std::size_t i = 0; i < out && i < n; ++i) s.samples[n - 1 - i] *= static_cast<float>(i) / out;
}

// A low boom: noise through a falling low-pass, a sub thump and an initial crack.
Sound Boom(double seconds, double bodyCutoff, double decay, double thumpHz, uint32_t seed, double crackles) {
    Sound s;
    const int rate = s.sampleRate;
    const std::size_t n = static_cast<std::size_t>(seconds * rate);
    s.samples.resize(n);
    Noise noise(seed);
    Svf body, crack, rumble;
    double crackleEnv = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double env = std::exp(-t / decay) * std::min(1.0, t / 0.004);
        const double white = noise.Next();
        body.Run(white, bodyCutoff * (0.35 + 0.65 * std::exp(-t / (decay * 0.4))), 0.8, rate);
        rumble.Run(white, 90, 1.2, rate);
        crack.Run(white, 3200, 0.7, rate);
        const double thump = std::sin(2 * kPi * thumpHz * t * (1 - 0.3 * t / seconds)) * std::exp(-t / (decay * 0.5));
        // Sparse crackles of debris after the blast.
        if (crackles > 0 && t > 0.08 && noise.Next() > 1 - crackles * 0.002) crackleEnv = 1;
        crackleEnv *= 0.995;
        double v = body.low * 1.6 * env + rumble.low * 4.0 * std::exp(-t / (decay * 1.6)) + thump * 0.7 +
                   crack.band * 0.9 * std::exp(-t / 0.03) + crack.band * crackleEnv * 0.5 * std::exp(-t / (decay * 1.5));
        s.samples[i] = static_cast<float>(std::tanh(v * 1.3));
    }
    Normalise(s, 0.89f);
    Fade(s, 0.001, 0.05);
    return s;
}

}  // namespace

Sound EngineLoop() {
    Sound s;
    const int rate = s.sampleRate;
    const std::size_t n = static_cast<std::size_t>(rate);  // exactly one second
    s.samples.assign(n, 0);
    // Every tone is a whole number of cycles per second, so the loop closes seamlessly.
    const double firing = 64;  // firing pulses per second
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        // A growling pulse train: harmonics of the firing rate with a rough spectrum.
        const double amps[] = {1.0, 0.7, 0.55, 0.3, 0.35, 0.15, 0.12, 0.08};
        for (int h = 1; h <= 8; ++h) v += amps[h - 1] / h * std::sin(2 * kPi * firing * h * t + h * h * 0.7);
        // A slower uneven beat between cylinders.
        v *= 0.8 + 0.2 * std::sin(2 * kPi * 12 * t);
        v += 0.25 * std::sin(2 * kPi * 24 * t);
        s.samples[i] = static_cast<float>(v);
    }
    // Mechanical hiss, filtered round the loop twice so that its end meets its start.
    Noise noise(1234);
    std::vector<float> white(n);
    for (float& w : white) w = noise.Next();
    Svf hiss;
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < n; ++i) {
            hiss.Run(white[i], 1200, 1.5, rate);
            const double t = static_cast<double>(i) / rate;
            const double pulse = std::pow(0.5 + 0.5 * std::cos(2 * kPi * firing * t), 4);
            if (pass == 1) s.samples[i] += static_cast<float>(hiss.band * 0.5 * (0.3 + pulse));
        }
    // A gentle low-pass, also run round the loop twice.
    Svf tone;
    std::vector<float> out(n);
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t i = 0; i < n; ++i) {
            tone.Run(s.samples[i], 1800, 0.7, rate);
            out[i] = static_cast<float>(tone.low);
        }
    s.samples = out;
    Normalise(s, 0.7f);
    return s;
}

Sound RocketFlight() {
    Sound s;
    s.sampleRate = 44100;
    const int rate = s.sampleRate;
    const std::size_t n = static_cast<std::size_t>(1.4 * rate);
    s.samples.resize(n);
    Noise noise(4242);
    Svf roar, hiss;
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double white = noise.Next();
        // The motor's roar sweeps down as the shell flies away.
        roar.Run(white, 1400 * std::exp(-t * 0.9) + 250, 2.5, rate);
        hiss.Run(white, 5200 - 2500 * t, 1.0, rate);
        const double launch = std::exp(-t / 0.06);
        const double env = std::min(1.0, t / 0.01) * (0.55 + 0.45 * launch);
        const double flutter = 1 + 0.15 * std::sin(2 * kPi * 31 * t);
        s.samples[i] = static_cast<float>((roar.band * 1.4 * flutter + hiss.band * 0.25 + hiss.low * launch * 0.5) * env);
    }
    Normalise(s, 0.8f);
    Fade(s, 0.002, 0.25);
    return s;
}

Sound SmallExplosion() { return Boom(1.1, 1400, 0.22, 62, 777, 0.0); }

Sound GreatExplosion() { return Boom(2.8, 1100, 0.55, 44, 9001, 1.0); }

Sound DebrisHit() {
    Sound s;
    const int rate = s.sampleRate;
    const std::size_t n = static_cast<std::size_t>(0.55 * rate);
    s.samples.resize(n);
    Noise noise(31337);
    Svf thud;
    // Inharmonic partials of a struck steel plate, each with its own decay.
    const double partials[][3] = {{317, 1.0, 0.16}, {743, 0.6, 0.11}, {1291, 0.45, 0.07}, {1987, 0.3, 0.05}, {2873, 0.2, 0.035}};
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        for (const auto& p : partials) v += p[1] * std::sin(2 * kPi * p[0] * t) * std::exp(-t / p[2]);
        thud.Run(noise.Next(), 160, 1.0, rate);
        v = v * 0.5 + thud.low * 6 * std::exp(-t / 0.05) + noise.Next() * 0.4 * std::exp(-t / 0.008);
        s.samples[i] = static_cast<float>(v);
    }
    Normalise(s, 0.8f);
    Fade(s, 0.0005, 0.05);
    return s;
}

Sound Collision() {
    Sound s;
    const int rate = s.sampleRate;
    const std::size_t n = static_cast<std::size_t>(0.5 * rate);
    s.samples.resize(n);
    Noise noise(2718);
    Svf crunch, thump;
    const double partials[][3] = {{181, 1.0, 0.12}, {467, 0.7, 0.08}, {929, 0.4, 0.05}, {1603, 0.25, 0.03}};
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double white = noise.Next();
        crunch.Run(white, 1800, 0.9, rate);
        thump.Run(white, 110, 1.2, rate);
        // Two impacts close together: the bump and the rebound.
        const double hit = std::exp(-t / 0.05) + (t > 0.06 ? 0.5 * std::exp(-(t - 0.06) / 0.04) : 0.0);
        double ring = 0;
        for (const auto& p : partials) ring += p[1] * std::sin(2 * kPi * p[0] * t) * std::exp(-t / p[2]);
        const double v = crunch.band * 2.0 * hit + thump.low * 8 * std::exp(-t / 0.08) + ring * 0.35;
        s.samples[i] = static_cast<float>(std::tanh(v));
    }
    Normalise(s, 0.85f);
    Fade(s, 0.0005, 0.06);
    return s;
}

std::vector<uint8_t> EncodeWav(const Sound& sound) {
    std::vector<uint8_t> out;
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto u16 = [&](uint16_t v) {
        out.push_back(static_cast<uint8_t>(v & 0xFF));
        out.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(t[i]));
    };
    const uint32_t dataBytes = static_cast<uint32_t>(sound.samples.size() * 2);
    tag("RIFF");
    u32(36 + dataBytes);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(static_cast<uint32_t>(sound.sampleRate));
    u32(static_cast<uint32_t>(sound.sampleRate * 2));
    u16(2);
    u16(16);
    tag("data");
    u32(dataBytes);
    for (float v : sound.samples) {
        const long q = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        u16(static_cast<uint16_t>(static_cast<int16_t>(q)));
    }
    return out;
}

}  // namespace kv::gen
