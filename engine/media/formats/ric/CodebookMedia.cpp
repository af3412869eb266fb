#include "engine/media/formats/ric/CodebookMedia.h"

#include <climits>

#include "engine/render/DibImage.h"

namespace vx {
namespace {

FrameGrid GridOfHeader(const StreamHeader& header) {
  FrameGrid grid;
  grid.order = header.gridOrder;
  grid.framesDown = header.framesDown;
  grid.framesAcross = header.framesAcross;
  grid.spare = header.gridSpare;
  grid.frameWidth = header.frameWidth;
  grid.frameHeight = header.frameHeight;
  return grid;
}

bool InsideGrid(const FrameGrid& grid, const FramePosition& position) {
  return position.row >= 0 && position.column >= 0 && position.row < grid.framesDown &&
         position.column < grid.framesAcross;
}

}  // namespace

int16_t CCodebookMedia::GetFrameGrid(FrameGrid* out) {
  *out = GridOfHeader(header_);
  return headerValid_;
}

// The frame size stays the header's: it sized the object's own image and
// decides which records are refused.
void CCodebookMedia::SetFrameGrid(const FrameGrid& grid) {
  header_.gridOrder = grid.order;
  header_.framesDown = grid.framesDown;
  header_.framesAcross = grid.framesAcross;
  header_.gridSpare = grid.spare;
}

int32_t CCodebookMedia::Load() {
  DataStreamOpen(&stream_, LocalPath().c_str(), "rb", nullptr, 0);
  if (!stream_.file) return MediaUnusable;
  streamLength_ = DataStreamLength(&stream_);
  if (ReadStreamHeader(&stream_, &header_) != StreamHeaderResult::Ok) return MediaUnusable;
  if (header_.gridOrder != kFrameOrderAlongRows && header_.gridOrder != kFrameOrderDownColumns)
    return MediaUnusable;
  int32_t failure = MediaUnusable;
  if (!RequestImage(header_.frameWidth, header_.frameHeight, &failure)) return failure;
  headerValid_ = 1;
  return MediaComplete;
}

int32_t CCodebookMedia::SetFrameTarget(CDibImage* target) {
  if (target)
    target_ = target->GetPixelMap();
  else if (HasImage())
    target_ = ImageInfo();
  else
    target_.reset();
  if (HasImage() && ImageInfo().bytesPerPixel == 1 && !palette_) {
    PaletteTable palette;
    GetPalette(&palette);
    palette_ = std::make_unique<CodebookPalette>(MakeCodebookPalette(palette));
  }
  return 0;
}

std::unique_ptr<FrameRef> CCodebookMedia::GetFrameRef(const FramePosition& position) {
  if (!headerValid_) return nullptr;
  const FrameGrid grid = GridOfHeader(header_);
  const int32_t index = FrameIndexInGrid(grid, position);
  if (!InsideGrid(grid, position) || index < 0 || static_cast<uint32_t>(index) >= header_.offsets.size())
    return nullptr;
  const uint32_t offset = header_.offsets[static_cast<size_t>(index)];
  if (offset >= streamLength_ || offset > INT32_MAX || DataStreamSeek(&stream_, static_cast<int32_t>(offset), SeekFrom::Start) != 0)
    return nullptr;
  return CCodebookFrame::Read(&stream_, streamLength_, header_.frameWidth, header_.frameHeight);
}

int32_t CCodebookMedia::DrawFrame(FrameRef* frame, const PixelMap* destination) {
  constexpr int32_t kNotDrawn = 2;
  if (!target_) return kNotDrawn;
  const auto* codebookFrame = dynamic_cast<const CCodebookFrame*>(frame);
  if (!codebookFrame) return kNotDrawn;
  const bool drawn =
      codebookFrame->Draw(destination ? *destination : *target_, header_.frameWidth, header_.frameHeight, palette_.get());
  return drawn ? 0 : kNotDrawn;
}

int32_t CCodebookMedia::ClearFrameTarget() {
  target_.reset();
  return 0;
}

}  // namespace vx
