#include "engine/pano/nodes/PanoramaBinding.h"

namespace vx {

PanoContext* CPanoramaBinding::RenderingContext() const {
  PanoContext* context = GetPanoContext();
  return context && context->renderer ? context : nullptr;
}

bool CPanoramaBinding::LimitCamera(PanoramaCamera& camera) {
  PanoContext* context = RenderingContext();
  if (!context) return false;
  PanoSetFieldOfView(context, camera.fieldOfView);
  PanoGetFieldOfView(context, &camera.fieldOfView);
  PanoSetViewAngles(context, {camera.yaw, camera.pitch, camera.roll});
  PanoAngles limited;
  PanoGetViewAngles(context, &limited);
  camera.pitch = limited.pitch;
  camera.yaw = limited.yaw;
  camera.roll = limited.roll;
  return true;
}

bool CPanoramaBinding::PointerAngles(float x, float y, float* pitch, float* yaw) const {
  const PanoContext* context = RenderingContext();
  if (!context) return false;
  PanoAngles angles;
  PanoScreenToAngles(context, {x, y}, &angles);
  *pitch = angles.pitch;
  *yaw = angles.yaw;
  return true;
}

void CPanoramaBinding::SetInterlaced(bool on) { PanoSetViewFlag(GetPanoContext(), on ? 1u : 0u); }

}  // namespace vx
