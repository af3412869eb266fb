// A sphere or cylinder picture drawn into an output image through a
// panorama context, as the benchmarks and the remap tool time it.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/media/MediaLimits.h"
#include "engine/pano/PanoContext.h"

namespace vx::bench {

// A picture in memory with the guard rows the warpers may read.
class GuardedPicture {
 public:
  GuardedPicture(int32_t width, int32_t height, int32_t bytesPerPixel)
      : memory_(static_cast<size_t>(height + 2 * kPictureGuardRows) * width * bytesPerPixel) {
    info_.width = static_cast<uint16_t>(width);
    info_.height = static_cast<uint16_t>(height);
    info_.bytesPerPixel = static_cast<uint16_t>(bytesPerPixel);
    info_.rowBytes = width * bytesPerPixel;
    info_.bits = memory_.data() + static_cast<size_t>(kPictureGuardRows) * info_.rowBytes;
  }
  // Sets pixel (x, y) from 8-bit channels, in the picture's pixel size.
  void Set(int32_t x, int32_t y, uint32_t r, uint32_t g, uint32_t b) {
    uint8_t* at = info_.Row(y) + static_cast<ptrdiff_t>(x) * info_.bytesPerPixel;
    if (info_.bytesPerPixel == 4) {
      const uint32_t pixel = r << 16 | g << 8 | b;
      std::memcpy(at, &pixel, 4);
    } else {
      const auto pixel = static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
      std::memcpy(at, &pixel, 2);
    }
  }
  // The guard rows repeat the edge rows.
  void FillGuards() {
    for (int32_t k = 1; k <= kPictureGuardRows; ++k) {
      std::memcpy(info_.Row(-k), info_.Row(0), static_cast<size_t>(info_.rowBytes));
      std::memcpy(info_.Row(info_.height - 1 + k), info_.Row(info_.height - 1), static_cast<size_t>(info_.rowBytes));
    }
  }
  const MediaImageInfo& Info() const { return info_; }

 private:
  std::vector<uint8_t> memory_;
  MediaImageInfo info_;
};

class WarpScene {
 public:
  // False from Ready() when the context refused any step.
  WarpScene(const MediaImageInfo& source, int16_t projection, int32_t width, int32_t height)
      : output_(static_cast<size_t>(width) * height * source.bytesPerPixel) {
    if (!context_) return;
    if (PanoCreateRenderer(context_.get(), source, projection) != kPanoOk) return;
    MediaImageInfo output;
    output.bits = output_.data();
    output.width = static_cast<uint16_t>(width);
    output.height = static_cast<uint16_t>(height);
    output.bytesPerPixel = source.bytesPerPixel;
    output.rowBytes = width * source.bytesPerPixel;
    PanoSetOutputRect(context_.get(), output);
    ready_ = PanoPrepareRender(context_.get()) == kPanoOk;
  }

  bool Ready() const { return ready_; }
  // Horizontal field of view in degrees; angles in degrees.
  void Look(double hfovDegrees, double yawDegrees, double pitchDegrees, int16_t resolution) {
    const double halfWidth = std::tan(hfovDegrees * M_PI / 360);
    const float aspect = context_->view->GetAspect();
    PanoSetFieldOfView(context_.get(), static_cast<float>(std::atan(halfWidth / aspect)));
    PanoSetViewAngles(context_.get(), {static_cast<float>(yawDegrees * M_PI / 180),
                                       static_cast<float>(pitchDegrees * M_PI / 180), 0.0f});
    PanoSetResolution(context_.get(), resolution);
  }
  // 0 when the frame was drawn.
  int32_t DrawFrame() { return context_->view->DrawFrame(0); }
  const std::vector<uint8_t>& Output() const { return output_; }

 private:
  std::unique_ptr<PanoContext> context_ = PanoCreate();
  std::vector<uint8_t> output_;
  bool ready_ = false;
};

}  // namespace vx::bench
