// The one material that screen-space elements draw with: a copy of the
// record the last Appearance applied.
#pragma once

#include <cstdint>

#include "engine/render/GeometryStage.h"

namespace vx {

void SetOverlayMaterial(const MaterialRecord& record);
const MaterialRecord& GetOverlayMaterial();

// Texture pixels that are about to be freed: an overlay material that shows
// them keeps its colours and drops the texture.
void ForgetOverlayTexture(const uint8_t* pixels);

}  // namespace vx
