#include "engine/world/OverlayMaterial.h"

namespace vx {
namespace {

MaterialRecord& Overlay() {
  static MaterialRecord overlay;
  return overlay;
}

}  // namespace

void SetOverlayMaterial(const MaterialRecord& record) { Overlay() = record; }

const MaterialRecord& GetOverlayMaterial() { return Overlay(); }

void ForgetOverlayTexture(const uint8_t* pixels) {
  MaterialRecord& overlay = Overlay();
  if (pixels != nullptr && overlay.texture.base == pixels) overlay.texture = {};
}

}  // namespace vx
