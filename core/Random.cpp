#include "core/Random.h"

namespace kv {

namespace {
thread_local uint32_t state = 1;
}

void SeedRandom(uint32_t seed) { state = seed; }

int32_t NextRandom() {
    state = state * 214013u + 2531011u;
    return static_cast<int32_t>((state >> 16) & 32767u);
}

uint32_t RandomState() { return state; }

}  // namespace kv
