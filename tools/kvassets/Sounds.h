#pragma once
// The game's sounds, synthesised from oscillators and filtered noise with a fixed seed, and
// written as mono 16-bit PCM WAV.

#include <cstdint>
#include <vector>

namespace kv::gen {

struct Sound {
    int sampleRate = 22050;
    std::vector<float> samples;
};

// A seamless engine loop at 22050 Hz: played at speed x 220.5 Hz, full speed is its own pitch.
Sound EngineLoop();
Sound RocketFlight();  // 44100 Hz
Sound SmallExplosion();
Sound GreatExplosion();
Sound DebrisHit();
Sound Collision();

std::vector<uint8_t> EncodeWav(const Sound& sound);

}  // namespace kv::gen
