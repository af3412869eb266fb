#include "engine/pano/SphereWarper.h"

#include <algorithm>
#include <cmath>

#include "engine/math/FastTrig.h"

namespace vx {

void CSphereWarper::AnglesToProjection(double yaw, double pitch, double* x, double* y) const {
  *x = yaw;
  *y = pitch;
}

void CSphereWarper::ProjectionToAngles(double x, double y, double* yaw, double* pitch) const {
  *yaw = x;
  *pitch = y;
}

CCylinderWarper::CCylinderWarper() { RefreshCaps(); }

void CCylinderWarper::SetImageExtent(const AngleRange& extent) {
  CPanoWarper::SetImageExtent(extent);
  RefreshCaps();
}

void CCylinderWarper::RefreshCaps() {
  const AngleRange extent = GetImageExtent();
  capPitch_ = static_cast<float>(std::max(std::fabs(extent.pitchMin), std::fabs(extent.pitchMax)));
  capTangent_ = static_cast<float>(Tan(capPitch_));
}

void CCylinderWarper::AnglesToProjection(double yaw, double pitch, double* x, double* y) const {
  const double h = capPitch_, th = capTangent_;
  *x = yaw;
  if (pitch > h) {
    *y = (1 - Tan(kCylinderPoleAngle - pitch)) * th + 1;
  } else if (pitch < -h) {
    *y = -th - (1 - Tan(pitch + kCylinderPoleAngle) * th);
  } else {
    *y = Tan(pitch);
  }
}

void CCylinderWarper::ProjectionToAngles(double x, double y, double* yaw, double* pitch) const {
  const double th = capTangent_;
  *yaw = x;
  // A picture without height has no caps to invert.
  if (!(th > 0)) {
    *pitch = FastAtan(y);
  } else if (y > th) {
    *pitch = kCylinderPoleAngle - FastAtan(-(y - th - 1) / th);
  } else if (y < -th) {
    *pitch = FastAtan((y + th + 1) / th) - kCylinderPoleAngle;
  } else {
    *pitch = FastAtan(y);
  }
}

}  // namespace vx
