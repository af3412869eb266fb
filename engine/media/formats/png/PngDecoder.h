// PNG pictures through libpng, once the whole file is there: every colour
// type and bit depth, interlaced or not. Samples of 16 bits are scaled to 8
// (rounded), palettes and grey of fewer bits are expanded, and a file with
// an alpha channel or a tRNS chunk gives its opacity as an alpha plane.
// Colour and gamma chunks are not applied: the stored samples are shown.
// A libpng error ends the picture for good.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "engine/media/MediaTypes.h"
#include "engine/media/StillImageDecoder.h"

namespace vx {

// The 8-byte signature every PNG file starts with.
bool HasPngSignature(std::span<const uint8_t> bytes);

class CPngDecoder final : public CStillImageDecoder {
 public:
  CPngDecoder();
  ~CPngDecoder() override;
  CPngDecoder(const CPngDecoder&) = delete;
  CPngDecoder& operator=(const CPngDecoder&) = delete;

  // NotMyFormat without the signature; Pending while the file is arriving
  // (a PNG is read whole); Corrupt for a bad header or a size past the
  // media limits, refused before any pixel memory is taken.
  [[nodiscard]] DecodeStatus ReadHeader(std::span<const uint8_t> bytes, bool allArrived) override;
  PictureSize Size() const override { return size_; }
  // Decodes every row, writing the window's part; Corrupt when the image
  // data is damaged or ends early.
  [[nodiscard]] DecodeStatus Decode(std::span<const uint8_t> bytes, bool allArrived,
                                    const PictureWindow& window) override;

  bool TakesInverseMap() const override { return true; }
  void SetInverseMap(const uint8_t* inverseMap555) override { inverseMap_ = inverseMap555; }
  // The opacity of the decoded picture; empty when the file has none. The
  // caller may take it.
  AlphaPlane& Alpha() { return alpha_; }

 private:
  struct Session;
  std::unique_ptr<Session> session_;
  PictureSize size_;
  AlphaPlane alpha_;
  const uint8_t* inverseMap_ = nullptr;
};

}  // namespace vx
