#include "engine/media/nodes/TextureLoad.h"

namespace vx {

void FillTextureImage(MaterialRecord& record, const PixelMap& image, const SFColor& chromaKey) {
  if (image.bits) record.texture = {image.bits, image.width, image.height, image.bytesPerPixel, image.rowBytes};
  if (chromaKey.r >= 0.0f) {
    record.unlitTexture = 1;
    record.chromaKey = 1;
    record.chromaKeyColor = {chromaKey.r, chromaKey.g, chromaKey.b};
  }
}

}  // namespace vx
