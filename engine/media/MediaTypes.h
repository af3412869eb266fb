// Records and codes shared by the media objects, their handles and the
// nodes that use them.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/render/PixelMap.h"

namespace vx {

class CDibImage;

// How far a media object has come from its name to its picture or sound.
// 0 to 4 share their numbers with the download service's request states.
enum MediaLoadState : int32_t {
  MediaIdle = 0,         // nothing requested yet, or the service refused
  MediaDownloading = 1,  // download running, or a decode step waits for data
  MediaCancelled = 2,
  MediaFailedNoFile = 3,
  MediaFileReady = 4,
  MediaDecoding = 5,     // decoding in steps
  MediaUnusable = 7,     // the file was there but could not be decoded
  MediaComplete = 8,
};

// File types by the last four characters of a name (or, for a local file,
// by its first bytes); 0 is none. AIFF is recognised and makes nothing.
enum class MediaType : int32_t {
  None = 0,
  Jpeg = 1,
  Codebook = 2,
  Gif = 3,
  Bmp = 4,
  Pict = 5,
  QuickTime = 6,
  Fpx = 7,
  Avi = 8,
  Wave = 9,
  Lvd = 10,
  Mpeg = 12,
  Descriptor = 13,
  Tts = 15,
  Aiff = 16,
  Png = 17,
};

// The image record of media objects and handles.
using MediaImageInfo = PixelMap;

// The opacity of a picture whose file has it (an alpha channel, a PNG's
// tRNS, a GIF's transparent index): one byte a pixel, 0 transparent to 255
// opaque, width x height of the picture, rows top first and packed (row y
// starts at values[y x width]). Pixel (x, y) belongs to the image's pixel
// (x, y) when the picture fills its own image, which is how textures load.
// Pictures without opacity have none, so opaque ones cost nothing.
struct AlphaPlane {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> values;

  bool Empty() const { return values.empty(); }
  uint8_t At(int32_t x, int32_t y) const { return values[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
};

// The opacity of a texel that hides what lies behind it.
inline constexpr uint8_t kOpaqueTexel = 255;

// Frame orders of a multi-frame image: frame index = row x across + column
// (along the rows) or row + column x down (down the columns).
inline constexpr uint16_t kFrameOrderAlongRows = 21;
inline constexpr uint16_t kFrameOrderDownColumns = 12;

struct FrameGrid {
  uint16_t order = 0;
  uint16_t framesDown = 0;
  uint16_t framesAcross = 0;
  uint16_t spare = 0;
  uint16_t frameWidth = 0;
  uint16_t frameHeight = 0;
};

// One frame of a grid; the panorama image passes 1 as the third word.
struct FramePosition {
  int16_t row = 0;
  int16_t column = 0;
  int16_t extra = 0;
};

// The frame index of a position by the grid's order; -1 for another order.
constexpr int32_t FrameIndexInGrid(const FrameGrid& grid, const FramePosition& pos) {
  if (grid.order == kFrameOrderAlongRows) return pos.row * grid.framesAcross + pos.column;
  if (grid.order == kFrameOrderDownColumns) return pos.row + pos.column * grid.framesDown;
  return -1;
}

// A format's reference to one of its frames; the caller that asked for it
// deletes it.
class FrameRef {
 public:
  virtual ~FrameRef() = default;
};

// Where a picture goes inside its image: the loaders fill it, a notify
// callback may move it.
struct Placement {
  int16_t rowOffset = 0;
  int16_t columnOffset = 0;
  int16_t height = 0;
  int16_t width = 0;
};

// fn(kMediaMessage, data, context); the context is the caller's.
struct MediaCallback {
  void* context = nullptr;
  void (*fn)(int32_t message, void* data, void* context) = nullptr;
};

}  // namespace vx
