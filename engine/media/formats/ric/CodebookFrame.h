// One frame of a ".ric" file as read from its record, and how it is drawn.
//
// A record holds its flags, its own width and height, the codebooks it
// carries, and the block data: with both books one kind bit per block (1: one
// index into the large book; 0: four indices into the small book), then the
// index bytes. The blocks are laid out by the frame size of the stream
// header, so a record that is smaller than that frame is refused when read:
// its indices could not cover the frame's blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "common/DataStream.h"
#include "engine/media/MediaTypes.h"
#include "engine/media/formats/ric/CodebookCodec.h"

namespace vx {

// What 8-bit output dithers to: the palette as R, G, B triples and its
// inverse map with 4 bits per channel.
struct CodebookPalette {
  static constexpr int32_t kChannelBits = 4;

  std::vector<uint8_t> triples;
  std::vector<uint8_t> inverseMap;
};

CodebookPalette MakeCodebookPalette(const PaletteTable& palette);

// Record flags: which codebooks the record carries.
inline constexpr uint16_t kCodebookHasLarge = 0x1;
inline constexpr uint16_t kCodebookHasSmall = 0x2;

// Bytes of a record before its codebooks: flags, width, height.
inline constexpr int32_t kCodebookRecordHeadBytes = 6;

class CCodebookFrame final : public FrameRef {
 public:
  // Reads the record at the stream's position for a frame of
  // frameWidth x frameHeight. Null, having allocated nothing large, for a
  // record with neither codebook, one smaller than the frame, or one whose
  // data would run past streamEnd.
  [[nodiscard]] static std::unique_ptr<CCodebookFrame> Read(DataStream* stream, int64_t streamEnd,
                                                            int32_t frameWidth, int32_t frameHeight);

  // Draws the frame's blocks into the destination, whose bytes per pixel
  // choose the output (8-bit output needs the palette). Only whole blocks of
  // the frame are drawn, clipped to the destination; columns and rows past
  // the last whole block keep their pixels. False, with the destination
  // perhaps partly drawn, when the output cannot be made or the block data
  // run out.
  [[nodiscard]] bool Draw(const PixelMap& destination, int32_t frameWidth, int32_t frameHeight,
                          const CodebookPalette* palette) const;

  uint16_t Flags() const { return flags_; }
  int32_t IndexBytes() const { return static_cast<int32_t>(indices_.size()); }
  int32_t KindWords() const { return static_cast<int32_t>(kindWords_.size()); }

 private:
  CCodebookFrame() = default;
  [[nodiscard]] bool ReadBlockData(DataStream* stream, int64_t available);
  [[nodiscard]] bool DrawBlocks(const PixelMap& destination, int32_t frameWidth, int32_t frameHeight,
                                CodebookOutput output) const;

  uint16_t flags_ = 0;
  int16_t width_ = 0;
  int16_t height_ = 0;
  std::unique_ptr<Codebook> large_;
  std::unique_ptr<Codebook> small_;
  std::vector<uint32_t> kindWords_;
  std::vector<uint8_t> indices_;
};

}  // namespace vx
