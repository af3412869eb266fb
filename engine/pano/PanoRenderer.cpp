#include "engine/pano/PanoRenderer.h"

#include "engine/pano/PanoView.h"

namespace vx {

int32_t CPanoRenderer::Render(uint8_t field) {
  if (const int32_t result = Draw()) return result;
  PanoBounds bounds;
  GetBounds(&bounds);
  int32_t first = bounds.top;
  int32_t step = 1;
  if (target_ && target_->GetInterlace() == 1) {
    // Only rows of the field's parity: the other field belongs to the other eye.
    step = 2;
    if ((first & 1) != (field & 1)) ++first;
  }
  for (int32_t row = first; row < bounds.bottom; row += step) DrawRow(row, 1);
  FinishDraw();
  return 0;
}

int32_t CPanoRenderer::GetBounds(PanoBounds* bounds) const {
  *bounds = {};
  if (!target_) return 2;
  const MediaImageInfo& output = target_->GetOutputImage();
  bounds->bottom = output.height;
  bounds->right = output.width;
  return 0;
}

}  // namespace vx
