// ".ric" files as media objects: a grid of still frames, each compressed by
// the block codebook codec (CodebookFrame.h), behind the stream header of the
// data stream. The header is read once; the file stays open for the object's
// life and frames are read when they are asked for.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "common/DataStream.h"
#include "engine/media/MediaObject.h"
#include "engine/media/formats/ric/CodebookFrame.h"

namespace vx {

class CCodebookMedia final : public CMediaObject {
 public:
  // The grid of the stream header; non-zero once the header was read.
  int16_t GetFrameGrid(FrameGrid* out) override;
  void SetFrameGrid(const FrameGrid& grid) override;
  MediaType GetTypeCode() const override { return MediaType::Codebook; }
  // 8, or 7 for a file that cannot be opened, a header that does not fit
  // the file, a grid order other than 12 and 21, or no image.
  int32_t Load() override;
  // The image given, else the object's own; 0.
  int32_t SetFrameTarget(CDibImage* target) override;
  // Null for a position outside the grid or the frame table, an offset
  // outside the file, or a record that is refused.
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override;
  // Into the destination given, else into the frame target: 0 drawn, 2 when
  // there is no target, the frame is not this format's, or it cannot be
  // drawn there (8 bits while the object's own image is deeper).
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination) override;
  int32_t ClearFrameTarget() override;

 private:
  DataStream stream_;
  int64_t streamLength_ = 0;
  StreamHeader header_;
  int16_t headerValid_ = 0;
  std::optional<PixelMap> target_;
  std::unique_ptr<CodebookPalette> palette_;
};

}  // namespace vx
