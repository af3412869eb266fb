// The two projections of the warpers: a sphere (equirectangular picture)
// and a cylinder whose picture is capped above and below.
#pragma once

#include "engine/pano/PanoWarper.h"

namespace vx {

// X = yaw, Y = pitch.
class CSphereWarper final : public CPanoWarper {
 public:
  void AnglesToProjection(double yaw, double pitch, double* x, double* y) const override;
  void ProjectionToAngles(double x, double y, double* yaw, double* pitch) const override;
};

// X = yaw, Y = tan(pitch) up to the picture's larger pitch H; beyond it the
// caps above and below reach TH + 1 and -TH - 1 at the poles (TH = tan H).
class CCylinderWarper final : public CPanoWarper {
 public:
  CCylinderWarper();

  // The caps follow the extent's larger pitch.
  void SetImageExtent(const AngleRange& extent) override;
  void AnglesToProjection(double yaw, double pitch, double* x, double* y) const override;
  void ProjectionToAngles(double x, double y, double* yaw, double* pitch) const override;

 private:
  void RefreshCaps();

  float capPitch_ = 0;
  float capTangent_ = 0;
};

}  // namespace vx
