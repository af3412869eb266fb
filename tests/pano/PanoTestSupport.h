// A panorama renderer that records what the view and the context ask of it
// and answers what the test sets, and pictures for it.
#pragma once

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "engine/pano/PanoRenderer.h"
#include "engine/pano/PanoView.h"

namespace vx::test {

// Outlives the renderer, so a test sees its destruction.
struct RendererLog {
  std::vector<std::string> calls;
  std::vector<std::pair<int32_t, int32_t>> rows;  // DrawRow (row, parameter)

  int32_t Count(const std::string& call) const {
    int32_t n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
  }
};

class RecordingRenderer : public CPanoImageRenderer {
 public:
  explicit RecordingRenderer(std::shared_ptr<RendererLog> log, std::string name = "r")
      : log_(std::move(log)), name_(std::move(name)) {}
  ~RecordingRenderer() override { Note("destroyed"); }

  // What the renderer answers.
  AngleRange angleLimits = kAnyDirection;
  ZoomLimits zoomLimits = kViewZoomLimits;
  std::optional<PanoBounds> bounds;  // else the base's whole output image
  size_t workBufferNeed = 64;
  int32_t drawResult = 0;
  int32_t finishResult = 0;
  std::function<ImagePoint(double yaw, double pitch)> toImage;

  // What it was given.
  MediaImageInfo source;
  AngleRange extent;
  AngleRange viewLimits;
  uint32_t fillColour = 0;
  uint16_t fillIndex = 0;
  std::span<uint8_t> workBuffer;
  int32_t workWidth = -1;
  int32_t workHeight = -1;

  int32_t Prepare() override {
    Note("Prepare");
    return 0;
  }
  int32_t Refresh() override {
    Note("Refresh");
    return 0;
  }
  int32_t Draw() override {
    Note("Draw");
    return drawResult;
  }
  int32_t DrawRow(int32_t row, int32_t parameter) override {
    Note("DrawRow");
    log_->rows.emplace_back(row, parameter);
    return 0;
  }
  int32_t FinishDraw() override {
    Note("FinishDraw");
    return finishResult;
  }
  void SetTarget(CPanoView* view) override {
    Note("SetTarget");
    CPanoRenderer::SetTarget(view);
  }
  int32_t GetBounds(PanoBounds* out) const override {
    if (!bounds) return CPanoRenderer::GetBounds(out);
    *out = *bounds;
    return 0;
  }
  int32_t AnglesToImage(double yaw, double pitch, ImagePoint* point) override {
    if (!toImage) return 0;
    *point = toImage(yaw, pitch);
    return 1;
  }
  void ImageToAngles(float u, float v, double* yaw, double* pitch) override {
    *yaw = u * 2.0;
    *pitch = v * 3.0;
  }
  AngleRange GetAngleLimits() const override { return angleLimits; }
  ZoomLimits GetZoomLimits() const override { return zoomLimits; }

  size_t GetWorkBufferSize(int32_t width, int32_t height, int32_t quality, int32_t flag) const override {
    Note("GetWorkBufferSize " + std::to_string(width) + "x" + std::to_string(height) + " " + std::to_string(quality) +
         " " + std::to_string(flag));
    return workBufferNeed;
  }
  void SetWorkBuffer(std::span<uint8_t> buffer, int32_t width, int32_t height, int32_t, int32_t) override {
    Note("SetWorkBuffer");
    // Writing the whole buffer shows under ASan that it is as large as asked.
    std::fill(buffer.begin(), buffer.begin() + static_cast<ptrdiff_t>(workBufferNeed), uint8_t{0xA5});
    workBuffer = buffer;
    workWidth = width;
    workHeight = height;
  }
  int32_t SetSourceImage(const MediaImageInfo& image) override {
    Note("SetSourceImage");
    source = image;
    return 0;
  }
  MediaImageInfo GetSourceImage() const override { return source; }
  void SetImageExtent(const AngleRange& value) override {
    Note("SetImageExtent");
    extent = value;
  }
  void SetFillColour(uint32_t colour, uint16_t index) override {
    Note("SetFillColour");
    fillColour = colour;
    fillIndex = index;
  }
  int32_t SetViewLimits(const AngleRange& limits) override {
    Note("SetViewLimits");
    viewLimits = limits;
    return 0;
  }

 private:
  void Note(const std::string& call) const { log_->calls.push_back(name_ + ":" + call); }

  std::shared_ptr<RendererLog> log_;
  std::string name_;
};

inline MediaImageInfo DescribePixels(uint8_t* pixels, uint16_t width, uint16_t height, uint16_t bytesPerPixel) {
  MediaImageInfo image;
  image.bits = pixels;
  image.width = width;
  image.height = height;
  image.bytesPerPixel = bytesPerPixel;
  image.rowBytes = width * bytesPerPixel;
  return image;
}

// Sphere picture: yaw -pi..pi left to right, pitch pi/2..-pi/2 top to bottom.
inline ImagePoint SpherePicturePoint(double yaw, double pitch) {
  double u = (yaw + kPi) / kTwoPi;
  u -= std::floor(u);
  return {static_cast<float>(u), static_cast<float>((kHalfPi - pitch) / kPi), 1.0f};
}

}  // namespace vx::test
