#include "platform/Random.h"

namespace vx {
namespace {
Random15 g_random;
}

int32_t Random() { return g_random.Next(); }
void SeedRandom(uint32_t seed) { g_random.Seed(seed); }

}  // namespace vx
