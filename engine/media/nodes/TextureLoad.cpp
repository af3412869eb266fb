#include "engine/media/nodes/TextureLoad.h"

#include "engine/world/Browser.h"

namespace vx {

void FillTextureImage(MaterialRecord& record, const PixelMap& image, const SFColor& chromaKey) {
  if (image.bits) record.texture = {image.bits, image.width, image.height, image.bytesPerPixel, image.rowBytes};
  if (chromaKey.r >= 0.0f) {
    record.unlitTexture = 1;
    record.chromaKey = 1;
    record.chromaKeyColor = {chromaKey.r, chromaKey.g, chromaKey.b};
  }
}

double WorldTimeOf(const CViewContext& view) {
  const CBrowser* world = view.GetWorld();
  return world ? world->GetWorldTime() : 0.0;
}

}  // namespace vx
