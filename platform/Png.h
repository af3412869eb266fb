// Writing pictures as PNG files (for people to look at test results).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/PlatformExport.h"

namespace vx {

// Writes xRGB pixels (rows of `width`, top row first) as an 8-bit RGB PNG.
// False when the sizes do not match the pixels or the file cannot be written.
[[nodiscard]] VX_PLATFORM_API bool WritePng(const std::string& path, int width, int height,
                                            std::span<const uint32_t> xrgb);

}  // namespace vx
