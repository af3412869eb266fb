// Pictures whose pixels name their own position, and the double-precision
// reference the warpers are measured against: for an output pixel, the
// direction it looks in, and how far a drawn pixel's picture position lies
// from it on the sphere.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "engine/media/MediaLimits.h"
#include "engine/pano/PanoContext.h"

namespace vx::test {

struct Direction {
  double yaw = 0;
  double pitch = 0;
};

// A picture of width x height whose pixels encode (column, row): 32-bit
// pixels as column << 13 | row (up to 16384 x 8192, the top five bits
// clear), 16-bit as column << 7 | row (bit 15 clear; up to 256 x 128). A smooth picture puts the column in the
// red channel and the row in the green one instead (up to 256 x 256 in 32
// bits, 32 x 32 in 16), so that blended pixels decode to blended positions.
// Fill pixels have the top bit set.
// Every picture keeps the readable margins the renderers may touch: guard
// rows, and columns -width..2*width-1. A wrapped picture holds each row
// three times side by side behind a row table, so that reads past either
// edge see the picture's own wrap (as a tile buffer does); a plain one is
// rows of exactly width pixels, where reads past the right edge see the
// start of the next row.
class CoordinatePicture {
 public:
  CoordinatePicture(int32_t width, int32_t height, int32_t bytesPerPixel, bool wrapped, bool smooth = false)
      : width_(width), height_(height), size_(bytesPerPixel), smooth_(smooth) {
    const int32_t copies = wrapped ? 3 : 1;
    const int32_t rows = height + 2 * kPictureGuardRows + 2;
    rowPixels_ = width * copies;
    memory_.assign(static_cast<size_t>(rows) * rowPixels_ * size_, 0);
    for (int32_t r = 0; r < rows; ++r) {
      const int32_t y = std::clamp(r - kPictureGuardRows - 1, 0, height - 1);
      for (int32_t k = 0; k < rowPixels_; ++k) Store(r, k, Encode(k % width, y));
    }
    info_.width = static_cast<uint16_t>(width);
    info_.height = static_cast<uint16_t>(height);
    info_.bytesPerPixel = static_cast<uint16_t>(size_);
    info_.rowBytes = rowPixels_ * size_;
    if (wrapped) {
      table_.resize(static_cast<size_t>(height) + 2 * kPictureGuardRows);
      for (int32_t y = -kPictureGuardRows; y < height + kPictureGuardRows; ++y)
        table_[static_cast<size_t>(y + kPictureGuardRows)] = RowStart(y) + width * size_;
      info_.rows = table_.data() + kPictureGuardRows;
    } else {
      info_.bits = RowStart(0);
    }
  }

  const MediaImageInfo& Info() const { return info_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }

  uint32_t Encode(int32_t column, int32_t row) const {
    if (smooth_) return size_ == 4 ? static_cast<uint32_t>(column << 16 | row << 8) : static_cast<uint32_t>(column << 10 | row << 5);
    return size_ == 4 ? static_cast<uint32_t>(column << 13 | row) : static_cast<uint32_t>(column << 7 | row);
  }
  // Column and row of a picture pixel; nothing for a fill pixel.
  std::optional<std::pair<int32_t, int32_t>> Decode(uint32_t pixel) const {
    if (smooth_) {
      if (pixel >> (size_ == 4 ? 24 : 15)) return std::nullopt;
      if (size_ == 4) return std::make_pair(static_cast<int32_t>(pixel >> 16), static_cast<int32_t>(pixel >> 8 & 0xFF));
      return std::make_pair(static_cast<int32_t>(pixel >> 10), static_cast<int32_t>(pixel >> 5 & 31));
    }
    if (size_ == 4) {
      if (pixel >> 27) return std::nullopt;
      return std::make_pair(static_cast<int32_t>(pixel >> 13), static_cast<int32_t>(pixel & 0x1FFF));
    }
    if (pixel & 0x8000) return std::nullopt;
    return std::make_pair(static_cast<int32_t>(pixel >> 7), static_cast<int32_t>(pixel & 0x7F));
  }

 private:
  uint8_t* RowStart(int32_t y) {
    return memory_.data() + static_cast<size_t>(y + kPictureGuardRows + 1) * rowPixels_ * size_;
  }
  void Store(int32_t memoryRow, int32_t k, uint32_t value) {
    uint8_t* at = memory_.data() + (static_cast<size_t>(memoryRow) * rowPixels_ + k) * size_;
    if (size_ == 4) {
      std::memcpy(at, &value, 4);
    } else {
      const auto v = static_cast<uint16_t>(value);
      std::memcpy(at, &v, 2);
    }
  }

  int32_t width_, height_, size_;
  bool smooth_;
  int32_t rowPixels_ = 0;
  std::vector<uint8_t> memory_;
  std::vector<uint8_t*> table_;
  MediaImageInfo info_;
};

// The direction of output pixel (column, row) for the view's field and
// angles, the roll turning the picture about the view's centre.
inline Direction ReferenceDirection(const CPanoView& view, int32_t column, int32_t row) {
  const MediaImageInfo& output = view.GetOutputImage();
  const FieldOfView field = view.GetFieldOfView();
  const ViewDirection angles = view.GetAngles();
  const double sx = ((column + 0.5) / output.width * 2 - 1) * std::tan(field.horizontal);
  const double sy = (1 - (row + 0.5) / output.height * 2) * std::tan(field.vertical);
  const double cr = std::cos(angles.roll), sr = std::sin(angles.roll);
  const double xt = cr * sx - sr * sy, yt = sr * sx + cr * sy;
  const double cp = std::cos(angles.pitch), sp = std::sin(angles.pitch);
  const double cy = std::cos(angles.yaw), sy2 = std::sin(angles.yaw);
  // Forward, right and up of the view in a frame with y up and z at yaw 0.
  const double fx = sy2 * cp, fy = sp, fz = cy * cp;
  const double rx = cy, rz = -sy2;
  const double ux = -sy2 * sp, uy = cp, uz = -cy * sp;
  const double x = fx + xt * rx + yt * ux, y = fy + yt * uy, z = fz + xt * rz + yt * uz;
  return {std::atan2(x, z), std::atan2(y, std::hypot(x, z))};
}

inline double AngleBetween(const Direction& a, const Direction& b) {
  const double c = std::sin(a.pitch) * std::sin(b.pitch) + std::cos(a.pitch) * std::cos(b.pitch) * std::cos(a.yaw - b.yaw);
  return std::acos(std::clamp(c, -1.0, 1.0));
}

// The angle one output pixel spans at the centre of the view.
inline double OutputPixelAngle(const CPanoView& view) {
  return 2 * std::tan(view.GetFieldOfView().vertical) / view.GetOutputImage().height;
}

}  // namespace vx::test
