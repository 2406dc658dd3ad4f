#include "core/Random.h"

namespace kv {

namespace {
thread_local RandomGenerator threadGenerator;
}

void SeedRandom(uint32_t seed) { threadGenerator.Seed(seed); }

int32_t NextRandom() { return threadGenerator.Next(); }

uint32_t RandomState() { return threadGenerator.State(); }

}  // namespace kv
