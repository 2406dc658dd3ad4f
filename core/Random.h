#pragma once
// The runtime's pseudo-random generator with the classic linear congruential formula:
// state = state * 214013 + 2531011 (mod 2^32), value = (state >> 16) & 32767.
// NextRandom draws from one generator per thread (robot programs draw from the worker's);
// RandomGenerator is the same formula in an object of its own, for users that must not
// disturb a thread's sequence. A generator that is never seeded starts from state 1.

#include <cstdint>

namespace kv {

class RandomGenerator {
public:
    explicit RandomGenerator(uint32_t seed = 1) : state_(seed) {}
    void Seed(uint32_t seed) { state_ = seed; }
    // The next value, 0..32767.
    int32_t Next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int32_t>((state_ >> 16) & 32767u);
    }
    uint32_t State() const { return state_; }

private:
    uint32_t state_;
};

void SeedRandom(uint32_t seed);
// The next value of the calling thread's generator, 0..32767.
int32_t NextRandom();
uint32_t RandomState();

}  // namespace kv
