// The splash picture shown while an instance has no scene: kSplashWidth x
// kSplashHeight xRGB pixels, top row first, drawn by tools/MakeSplash at
// build time.
#pragma once

#include <cstdint>
#include <span>

namespace vx::plugin {

std::span<const uint32_t> SplashPixels();

}  // namespace vx::plugin
