#include "engine/media/nodes/PixelTextureNode.h"

#include <cstring>
#include <new>

#include "engine/media/MediaLimits.h"
#include "engine/media/nodes/TextureLoad.h"
#include "engine/render/Palette.h"
#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr FieldSpec kPixelTextureFields[] = {
    Field<&CPixelTextureNode::image>("image"),
    Field<&CPixelTextureNode::repeatS>("repeatS", DefaultBool(true)),
    Field<&CPixelTextureNode::repeatT>("repeatT", DefaultBool(true)),
    Field<&CPixelTextureNode::chromaKey>("chromaKey", DefaultFloats(-1, -1, -1)),
};
constexpr FieldTable kPixelTextureTable{Section(kPixelTextureFields), {}, {}};

// An image the pixels of which can be converted: a known component count,
// pixels, and sides that fit an image record.
bool Convertible(const SFImage& image) {
  return image.pixels && image.components >= 1 && image.components <= 4 && image.width > 0 && image.height > 0 &&
         image.width <= kMaxPictureSide && image.height <= kMaxPictureSide &&
         static_cast<int64_t>(image.width) * image.height <= kMaxPicturePixels;
}

// 5:5:5 keeps bit 15 clear, as every other 16-bit texel and key colour does,
// so that chroma keys match.
uint16_t RgbTo555(uint32_t rgb) {
  return static_cast<uint16_t>((rgb >> 19 & 0x1F) << 10 | (rgb >> 11 & 0x1F) << 5 | (rgb >> 3 & 0x1F));
}

void StoreTexel(uint8_t* at, int32_t bytesPerPixel, uint32_t rgb, const uint8_t* inverseMap) {
  switch (bytesPerPixel) {
    case 1:
      *at = inverseMap[InverseMap555Index(rgb >> 16 & 0xFF, rgb >> 8 & 0xFF, rgb & 0xFF)];
      return;
    case 2: {
      const uint16_t texel = RgbTo555(rgb);
      std::memcpy(at, &texel, sizeof texel);
      return;
    }
    default: {
      const uint32_t texel = 0xFF000000u | rgb;
      std::memcpy(at, &texel, sizeof texel);
      return;
    }
  }
}

}  // namespace

uint32_t ImageWordToRgb(uint32_t word, int32_t components) {
  switch (components) {
    case 1: {
      const uint32_t grey = word & 0xFF;
      return grey << 16 | grey << 8 | grey;
    }
    case 2: {
      const uint32_t grey = word >> 8 & 0xFF;
      return grey << 16 | grey << 8 | grey;
    }
    case 3:
      return word & 0xFFFFFF;
    default:
      return word >> 8 & 0xFFFFFF;
  }
}

CPixelTextureNode::CPixelTextureNode() { RegisterFields(kPixelTextureTable); }

CPixelTextureNode::~CPixelTextureNode() { FreePixels(); }

void CPixelTextureNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  if (pass == RenderPass::Deactivate) FreePixels();
  if (pass == RenderPass::Activate && image.components != 0) Convert(*view);
}

void CPixelTextureNode::Convert(CViewContext& view) {
  FreePixels();
  if (!Convertible(image)) return;
  const int32_t bytesPerPixel = view.GetColorDepth() / 8;
  const int32_t rowBytes = bytesPerPixel * image.width;
  try {
    pixels_.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(image.height), 0);
  } catch (const std::bad_alloc&) {
    return;
  }
  const uint8_t* inverseMap = view.GetInverseColorMap();
  for (int32_t y = 0; y < image.height; ++y) {
    uint8_t* row = pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(rowBytes);
    const uint32_t* words = image.pixels + static_cast<size_t>(y) * static_cast<size_t>(image.width);
    for (int32_t x = 0; x < image.width; ++x) {
      StoreTexel(row + static_cast<ptrdiff_t>(x) * bytesPerPixel, bytesPerPixel,
                 ImageWordToRgb(words[x], image.components), inverseMap);
    }
  }
  converted_.bits = pixels_.data();
  converted_.width = static_cast<uint16_t>(image.width);
  converted_.height = static_cast<uint16_t>(image.height);
  converted_.bytesPerPixel = static_cast<uint16_t>(bytesPerPixel);
  converted_.rowBytes = rowBytes;
}

void CPixelTextureNode::FreePixels() {
  ForgetOverlayTexture(converted_.bits);
  converted_ = {};
  pixels_ = {};
}

void CPixelTextureNode::FillTextureRecord(MaterialRecord& record) {
  FillTextureImage(record, converted_, chromaKey);
  FillTextureRepeat(record, *this, repeatS, repeatT);
}

void RegisterPixelTextureNode(NodeClassTable& table) { table.Add<CPixelTextureNode>("PixelTexture"); }

}  // namespace vx
