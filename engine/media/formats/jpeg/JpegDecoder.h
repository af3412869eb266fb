// JPEG pictures through libjpeg, from the bytes that have arrived so far:
// the decoder reads what is there, suspends when it needs more, and picks up
// where it stopped when it is called again with a longer span (the span may
// lie elsewhere in memory each time, as long as its bytes are the same).
// A libjpeg error ends the picture for good; libjpeg is never resumed after
// one. A whole file that lacks only its end marker decodes whole; one cut
// inside its scan data is corrupt.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "engine/media/StillImageDecoder.h"
#include "engine/render/Palette.h"

namespace vx {

// How samples become pixels of the target's size: 8-bit targets take
// indices of the palette (libjpeg's quantiser with Floyd-Steinberg
// dithering, or the 5:5:5 inverse map where the quantiser cannot serve),
// 16-bit targets add the noise before cutting each channel to 5 bits.
struct JpegOutput {
  PaletteTable palette;
  const uint8_t* inverseMap = nullptr;
  std::span<const int32_t> noise;
};

class CJpegDecoder {
 public:
  CJpegDecoder();
  ~CJpegDecoder();
  CJpegDecoder(const CJpegDecoder&) = delete;
  CJpegDecoder& operator=(const CJpegDecoder&) = delete;

  // Reads the header; Complete once Size() is known. With allArrived the
  // span is the whole file, so a short one is Corrupt, not Pending.
  [[nodiscard]] DecodeStatus ReadHeader(std::span<const uint8_t> arrived, bool allArrived);
  PictureSize Size() const { return size_; }

  // Decodes at most rowLimit more rows into the window: Complete once every
  // row is in, Pending while rows are left (because the bytes ran out or the
  // limit was reached). A progressive or arithmetic-coded picture gives its
  // first row only once the whole file is there.
  [[nodiscard]] DecodeStatus DecodeRows(std::span<const uint8_t> arrived, bool allArrived, const PictureWindow& window,
                                        const JpegOutput& output, int32_t rowLimit);

  // libjpeg's text of the error that ended the picture ("" without one).
  const std::string& ErrorText() const;

 private:
  struct Session;
  std::unique_ptr<Session> session_;
  PictureSize size_;
};

}  // namespace vx
