// What every still-picture decoder (JPEG, GIF, BMP, block-codebook) offers
// the media objects: it reads from a bounded span of the bytes that have
// arrived so far and says which of five things it found. It never reads
// outside the span and never writes outside the image it is given.
#pragma once

#include <cstdint>
#include <span>

#include "engine/media/MediaTypes.h"

namespace vx {

enum class DecodeStatus : int32_t {
  NotMyFormat,  // the bytes are another format's
  Missing,      // there are no bytes to read (no file, or an empty one)
  Corrupt,      // the bytes are this format's but cannot be decoded
  Complete,     // the header is read, or the whole picture is decoded
  Pending,      // more bytes are needed
};

struct PictureSize {
  int32_t width = 0;
  int32_t height = 0;
};

// Where a decoder writes: target covers exactly the part of the image that
// the picture's placement leaves inside it, and its pixel (0, 0) shows the
// picture's pixel (firstRow, firstColumn). A decoder that keeps to target's
// rows and columns cannot write outside the image, wherever a notify
// callback put the picture.
struct PictureWindow {
  PixelMap target;
  int32_t firstRow = 0;
  int32_t firstColumn = 0;
};

class CStillImageDecoder {
 public:
  virtual ~CStillImageDecoder() = default;

  // Reads the picture's header; Complete once Size() is known. With
  // allArrived the span is the whole file, so a short one is Corrupt, not
  // Pending.
  [[nodiscard]] virtual DecodeStatus ReadHeader(std::span<const uint8_t> bytes, bool allArrived) = 0;
  virtual PictureSize Size() const = 0;
  // Decodes as far as the bytes go into the window. Complete once the whole
  // picture is in; with allArrived never Pending.
  [[nodiscard]] virtual DecodeStatus Decode(std::span<const uint8_t> bytes, bool allArrived,
                                            const PictureWindow& window) = 0;
  // Decoders that give 1-byte targets their palette indices through the
  // 5:5:5 inverse map say so, and get it (built for them) before decoding.
  virtual bool TakesInverseMap() const { return false; }
  virtual void SetInverseMap(const uint8_t* /*inverseMap555*/) {}
};

// Complete when a size read from a header is one a picture may have (at
// least one pixel, within the media limits), else Corrupt.
[[nodiscard]] DecodeStatus CheckPictureSize(int64_t width, int64_t height);

// The load state a decoder's answer leads to: 8 complete, 1 waiting for
// data; a failure is 7 when the file was local, else 3.
MediaLoadState LoadStateAfterDecode(DecodeStatus status, bool fileIsLocal);

// The window of a picture of that size placed in an image: the part of the
// placement inside the image that the picture covers (empty, with a null
// target, when there is none).
PictureWindow WindowForPlacement(const PixelMap& image, const Placement& placement, PictureSize picture);

}  // namespace vx
