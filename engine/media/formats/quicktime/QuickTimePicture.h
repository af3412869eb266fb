// Drawing a picture of the QuickTime layer into an image, as the toolbox's
// own drawing calls did: stretched over a rectangle of the image, in the
// image's pixel size, clipped to the image.
#pragma once

#include "engine/render/Palette.h"
#include "engine/render/PixelMap.h"
#include "platform/media/QuickTime.h"

namespace vx {

// False when the picture's pixels do not match its size or the rectangle is
// empty or larger than a picture may be; true otherwise, also when the
// rectangle lies outside the target. 8-bit targets take the palette's
// nearest colours.
[[nodiscard]] bool DrawQtPicture(const QtPicture& picture, const PixelMap& target, const QtRect& rect,
                                 const PaletteTable& palette);

}  // namespace vx
