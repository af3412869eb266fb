// What a movie's container says of it before anything is decoded: its
// duration, its streams' kinds and frame rates, and the size its best video
// stream declares. The QuickTime layer falls back on these where it cannot
// read the movie's own atoms.
#pragma once

#include <vantessel/MediaLayer.h>

namespace vx {

// False when the file does not open as that container.
[[nodiscard]] bool DescribeMovie(const char* path, const char* container, VxMediaMovieFacts* out);

}  // namespace vx
