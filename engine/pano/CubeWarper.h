// The renderer of cube panoramas: six square tiles stacked from the top of
// the picture (the faces behind, right, ahead, left at yaw 0, then top and
// bottom). Each frame it builds one view matrix and has six face renderers
// draw the faces as perspective-textured quadrilaterals seen from inside.
#pragma once

#include <array>
#include <memory>

#include "engine/pano/CubeFaceRenderer.h"
#include "engine/pano/PanoWarper.h"

namespace vx {

class CCubeWarper final : public CPanoWarper {
 public:
  CCubeWarper();

  int32_t Prepare() override { return 0; }
  // Draws the whole frame through the faces; rows have nothing left to do.
  int32_t Draw() override;
  int32_t DrawRow(int32_t /*row*/, int32_t /*parameter*/) override { return 0; }
  // The faces read the picture where it lies: no scratch memory.
  size_t GetWorkBufferSize(int32_t width, int32_t height, int32_t quality, int32_t flag) const override;

  // Direction to picture fractions (u across, v down the six tiles) and back.
  void AnglesToProjection(double yaw, double pitch, double* u, double* v) const override;
  void ProjectionToAngles(double u, double v, double* yaw, double* pitch) const override;

  // The matrix of the last frame, row-vector convention.
  const std::array<float, 16>& ViewMatrix() const { return matrix_; }

 private:
  std::array<float, 16> MakeViewMatrix() const;
  void SetCorners(float inset);

  float halfSize_ = kCubeHalfSize;
  std::array<float, 3> centre_{};
  std::array<CCubeFaceRenderer, kCubeFaces> faces_;
  std::array<float, 16> matrix_{};
};

}  // namespace vx
