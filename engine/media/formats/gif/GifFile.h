// A GIF87a or GIF89a file read into memory: the logical screen, the colour
// tables and each image's still-compressed data, so that any frame can be
// decoded again without the file. Of the extensions only a graphic
// control's delay and transparent index are kept, for the image after it;
// the others (comment, application, plain text and unknown ones) are
// skipped by their block sizes. No disposal is applied.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/media/MediaTypes.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/media/formats/IndexedPixels.h"

namespace vx {

struct GifImage {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool interlaced = false;
  bool hasLocalTable = false;
  // Only as long as the file's table, so that many small frames stay small.
  std::vector<FloatColor> localTable;
  int32_t minCodeSize = 0;
  // The data sub-blocks joined together.
  std::vector<uint8_t> data;
  // From the graphic control extension before the image; 0 without one.
  int32_t delayHundredths = 0;
  // The colour index that is not drawn; -1 when every index is.
  int32_t transparentIndex = -1;
};

// How many milliseconds an animation shows the image: its delay, where a
// delay of 0 or 1 hundredths (as many files carry) counts as 10, as web
// browsers take it.
int32_t GifFrameMilliseconds(const GifImage& image);

struct GifFile {
  int32_t version = 0;  // 87 or 89
  PictureSize screen;
  uint8_t background = 0;
  bool hasGlobalTable = false;
  // Without a global table: 256 greys, entry i = i / 256.
  IndexedColorTable globalTable{};
  std::vector<GifImage> images;

  bool HasTransparency() const;
};

// Complete with at least one image; NotMyFormat when the fifth signature
// byte is neither '7' nor '9'; Corrupt for a screen of no size or too large,
// a file that ends before its trailer, or more than kMaxGifFrames images.
[[nodiscard]] DecodeStatus ReadGif(std::span<const uint8_t> bytes, GifFile* file);

// Where frames are drawn: target shows the screen's pixel (firstRow,
// firstColumn) at its (0, 0); pixels falling outside it are dropped.
struct GifCanvas {
  PixelMap target;
  int32_t firstRow = 0;
  int32_t firstColumn = 0;
  const uint8_t* inverseMap555 = nullptr;  // for 1-byte pixels
  // The screen's opacity, when kept: every pixel a frame draws, other than
  // its transparent index, becomes opaque there.
  AlphaPlane* alpha = nullptr;
};

// Decodes image (index modulo the image count) over what the canvas holds.
// With the screen's opacity, pixels of the transparent index keep what an
// earlier frame drew; where none did (and without opacity) they show their
// palette colour as before, so that worlds keying that colour still can. A minimum code size
// outside 2..11 draws nothing; pixels after the end of the data take colour
// index 0.
void DrawGifFrame(const GifFile& file, int32_t index, const GifCanvas& canvas);

}  // namespace vx
