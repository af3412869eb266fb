#include "engine/media/nodes/TextureLoad.h"

#include "engine/world/Browser.h"
#include "engine/world/WorldConvention.h"

namespace vx {

void FillTextureImage(MaterialRecord& record, const PixelMap& image, const SFColor& chromaKey) {
  if (image.bits) record.texture = {image.bits, image.width, image.height, image.bytesPerPixel, image.rowBytes};
  if (chromaKey.r >= 0.0f) {
    record.unlitTexture = 1;
    record.chromaKey = 1;
    record.chromaKeyColor = {chromaKey.r, chromaKey.g, chromaKey.b};
  }
}

void FillTextureRepeat(MaterialRecord& record, const CNode& node, int16_t repeatS, int16_t repeatT) {
  const bool tiles = ConventionOf(node.GetWorld()) == WorldConvention::kSystem;
  record.repeatS = tiles || repeatS != 0 ? 1 : 0;
  record.repeatT = tiles || repeatT != 0 ? 1 : 0;
}

double WorldTimeOf(const CViewContext& view) {
  const CBrowser* world = view.GetWorld();
  return world ? world->GetWorldTime() : 0.0;
}

}  // namespace vx
