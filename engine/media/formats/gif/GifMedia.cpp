#include "engine/media/formats/gif/GifMedia.h"

#include <vector>

#include "engine/media/SharedInverseMap.h"
#include "engine/media/StillImageMedia.h"
#include "engine/render/DibImage.h"

namespace vx {

int16_t CGifMedia::GetFrameGrid(FrameGrid* out) {
  if (out) *out = grid_;
  return gridValid_;
}

int32_t CGifMedia::Load() {
  std::vector<uint8_t> bytes;
  DecodeStatus status = ReadWholeFile(LocalPath(), &bytes);
  if (status == DecodeStatus::Complete) status = ReadGif(bytes, &file_);
  if (status != DecodeStatus::Complete) {
    file_ = GifFile{};
    return LoadStateAfterDecode(status, IsReady());
  }
  int32_t failure = 0;
  if (!RequestImage(file_.screen.width, file_.screen.height, &failure)) {
    file_ = GifFile{};
    return failure;
  }
  loaded_ = true;
  DrawGifFrame(file_, 0, ImageCanvas());
  currentFrame_ = 0;
  playing_ = false;
  grid_ = FrameGrid{kFrameOrderDownColumns,
                    static_cast<uint16_t>(FrameCount()),
                    1,
                    1,
                    static_cast<uint16_t>(file_.screen.width),
                    static_cast<uint16_t>(file_.screen.height)};
  gridValid_ = 1;
  return MediaComplete;
}

GifCanvas CGifMedia::CanvasOn(const PixelMap& target, int32_t firstRow, int32_t firstColumn) const {
  PaletteTable palette;
  GetPalette(&palette);
  return GifCanvas{target, firstRow, firstColumn, target.bytesPerPixel == 1 ? GetSharedInverseMap(palette) : nullptr};
}

GifCanvas CGifMedia::ImageCanvas() const {
  const PictureWindow window = WindowForPlacement(ImageInfo(), GetPlacement(), file_.screen);
  return CanvasOn(window.target, window.firstRow, window.firstColumn);
}

void CGifMedia::Update() {
  if (playing_ && loaded_ && currentFrame_ < FrameCount()) {
    DrawGifFrame(file_, currentFrame_, ImageCanvas());
    ++currentFrame_;
  } else {
    playing_ = false;
  }
}

std::unique_ptr<FrameRef> CGifMedia::GetFrameRef(const FramePosition& position) {
  if (!loaded_) return nullptr;
  const int32_t count = FrameCount();
  const int32_t index = position.row + position.column * grid_.framesDown;
  return std::make_unique<CFrameIndexRef>(((index % count) + count) % count);
}

int32_t CGifMedia::DrawFrame(FrameRef* frame, const PixelMap* /*destination*/) {
  const auto* gifFrame = dynamic_cast<const CFrameIndexRef*>(frame);
  if (!FrameTarget().IsSet() || !loaded_ || !gifFrame) return 2;
  const GifCanvas canvas = FrameTarget().Image() ? CanvasOn(FrameTarget().Image()->GetPixelMap(), 0, 0) : ImageCanvas();
  DrawGifFrame(file_, gifFrame->Index(), canvas);
  return 0;
}

}  // namespace vx
