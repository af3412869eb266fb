#include "engine/media/formats/gif/GifMedia.h"

#include <cmath>
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
  // The screen is transparent until a frame draws on it.
  if (file_.HasTransparency())
    Alpha() = AlphaPlane{file_.screen.width, file_.screen.height,
                         std::vector<uint8_t>(static_cast<size_t>(file_.screen.width) * file_.screen.height)};
  loaded_ = true;
  runMs_ = 0;
  for (const GifImage& image : file_.images) runMs_ += GifFrameMilliseconds(image);
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

GifCanvas CGifMedia::ImageCanvas() {
  const PictureWindow window = WindowForPlacement(ImageInfo(), GetPlacement(), file_.screen);
  GifCanvas canvas = CanvasOn(window.target, window.firstRow, window.firstColumn);
  if (!Alpha().Empty()) canvas.alpha = &Alpha();
  return canvas;
}

// Frame times are kept in whole milliseconds, the grain of the world's
// clock, so that a frame due at a step's time is drawn in that step.
int64_t CGifMedia::NowMs() const { return std::llround(WorldTime() * 1000.0); }

void CGifMedia::Rewind() {
  currentFrame_ = 0;
  if (playing_) nextDueMs_ = NowMs();
}

void CGifMedia::Play() {
  if (playing_) return;
  playing_ = true;
  // Played again in the step in which it ran out (a loop), the new run
  // follows the last one without a gap; runs that passed whole within that
  // step would only draw the same picture again (frames of a run always
  // leave the same pixels behind).
  const int64_t now = NowMs();
  nextDueMs_ = now == ranOutAtMs_ ? nextDueMs_ + (now - nextDueMs_) / runMs_ * runMs_ : now;
  // The step that starts a run shows its first frame, a loop's included.
  DrawDueFrames();
}

void CGifMedia::Update() {
  if (!playing_ || !loaded_) {
    playing_ = false;
    return;
  }
  DrawDueFrames();
  if (currentFrame_ >= FrameCount() && nextDueMs_ <= NowMs()) {
    playing_ = false;
    ranOutAtMs_ = NowMs();
  }
}

// Frames are drawn over one another, so none that came due is left out.
void CGifMedia::DrawDueFrames() {
  if (!loaded_) return;
  const int64_t now = NowMs();
  while (currentFrame_ < FrameCount() && nextDueMs_ <= now) {
    DrawGifFrame(file_, currentFrame_, ImageCanvas());
    nextDueMs_ += GifFrameMilliseconds(file_.images[static_cast<size_t>(currentFrame_)]);
    ++currentFrame_;
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
