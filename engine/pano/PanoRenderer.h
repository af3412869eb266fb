// The base of every panorama renderer, and the operations through which a
// panorama context hands a renderer its picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/media/MediaTypes.h"
#include "engine/pano/PanoLimits.h"

namespace vx {

class CPanoView;

// A renderer's rows and columns in the output image; bottom and right are
// exclusive.
struct PanoBounds {
  int32_t top = 0;
  int32_t left = 0;
  int32_t bottom = 0;
  int32_t right = 0;
};

// A point of the panorama picture as fractions of its width and height (0 at
// the left and top), and a third value the renderer sets.
struct ImagePoint {
  float u = 0;
  float v = 0;
  float w = 0;
};

// Statuses of the drawing operations: 0 goes on; a non-zero Draw means the
// renderer has drawn the whole frame itself.
class CPanoRenderer {
 public:
  CPanoRenderer() = default;
  CPanoRenderer(const CPanoRenderer&) = delete;
  CPanoRenderer& operator=(const CPanoRenderer&) = delete;
  virtual ~CPanoRenderer() = default;

  virtual void SetTarget(CPanoView* view) { target_ = view; }
  virtual CPanoView* GetTarget() const { return target_; }
  // Bits 6-7 pick the row pattern the view draws this renderer with.
  virtual int16_t SetMode(int16_t mode) { return mode_ = mode; }
  virtual int16_t GetMode() const { return mode_; }

  virtual int32_t Prepare() { return 0; }
  // Draws a frame row by row: every row of the bounds, or when the target
  // interlaces, every other row of the parity of bit 0 of the field.
  virtual int32_t Render(uint8_t field);
  virtual int32_t Refresh() { return 0; }
  virtual int32_t Draw() { return 0; }
  virtual int32_t DrawRow(int32_t /*row*/, int32_t /*parameter*/) { return 0; }
  virtual int32_t FinishDraw() { return 0; }
  // The whole output image of the target; 2 without target.
  virtual int32_t GetBounds(PanoBounds* bounds) const;
  virtual bool IsWarper() const { return false; }

  // Direction to picture point; the base knows no picture and writes nothing.
  virtual int32_t AnglesToImage(double /*yaw*/, double /*pitch*/, ImagePoint* /*point*/) { return 0; }
  virtual void ImageToAngles(float /*u*/, float /*v*/, double* /*yaw*/, double* /*pitch*/) {}
  virtual AngleRange GetAngleLimits() const { return kAnyDirection; }
  virtual ZoomLimits GetZoomLimits() const { return kBaseRendererZoomLimits; }

 private:
  CPanoView* target_ = nullptr;
  int16_t mode_ = kDefaultRendererMode;
};

// A renderer that draws a panorama picture of one projection: what the
// context hands it besides the view.
class CPanoImageRenderer : public CPanoRenderer {
 public:
  // Bytes of scratch memory the renderer needs for an output image.
  virtual size_t GetWorkBufferSize(int32_t width, int32_t height, int32_t quality, int32_t flag) const = 0;
  // The buffer is the context's and holds at least GetWorkBufferSize bytes
  // for the sizes given.
  virtual void SetWorkBuffer(std::span<uint8_t> buffer, int32_t width, int32_t height, int32_t quality,
                             int32_t flag) = 0;
  virtual int32_t SetSourceImage(const MediaImageInfo& image) = 0;
  virtual MediaImageInfo GetSourceImage() const = 0;
  // The directions the picture covers.
  virtual void SetImageExtent(const AngleRange& extent) = 0;
  // Shown where the picture has no pixels: a colour word and, for palette
  // output, an index.
  virtual void SetFillColour(uint32_t colour, uint16_t index) = 0;
  // The directions navigation may reach.
  virtual int32_t SetViewLimits(const AngleRange& limits) = 0;
};

}  // namespace vx
