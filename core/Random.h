#pragma once
// The runtime's pseudo-random generator, one per thread, with the classic linear
// congruential formula: state = state * 214013 + 2531011 (mod 2^32),
// value = (state >> 16) & 32767. A thread that never seeds starts from state 1.

#include <cstdint>

namespace kv {

void SeedRandom(uint32_t seed);
// The next value, 0..32767.
int32_t NextRandom();
uint32_t RandomState();

}  // namespace kv
