#include "engine/world/nodes/ScreenElementNode.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "engine/render/Numeric.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/AppearanceNodes.h"
#include "engine/world/Browser.h"
#include "engine/world/OverlayMaterial.h"
#include "engine/world/ScreenAlignment.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kScreenElementFields[] = {
    Field<&CScreenElementNode::alignment>("alignment", DefaultText("CENTER")),
    Field<&CScreenElementNode::width>("width", DefaultInt(-1)),
    Field<&CScreenElementNode::height>("height", DefaultInt(-1)),
    Field<&CScreenElementNode::layer>("layer", DefaultInt(0)),
    Field<&CScreenElementNode::texCoords>("texCoords"),
    Field<&CScreenElementNode::alignBottomRight>("alignBottomRight", DefaultBool(false)),
    Field<&CScreenElementNode::minWidth>("minWidth", DefaultInt(1)),
    Field<&CScreenElementNode::minHeight>("minHeight", DefaultInt(1)),
    Field<&CScreenElementNode::crop>("crop", DefaultBool(false)),
};
constexpr FieldSpec kScreenElementEventIns[] = {
    Event("addWidth", FieldTypeSFInt32),
    Event("addHeight", FieldTypeSFInt32),
    Event("addOffsetX", FieldTypeSFInt32),
    Event("addOffsetY", FieldTypeSFInt32),
};
constexpr FieldTable kScreenElementTable{Section(kScreenElementFields), Section(kScreenElementEventIns), {}};

// Where the element starts along one direction of the frame; halves round
// toward zero.
int64_t AnchorOffset(AlignSide side, int64_t frame, int64_t size) {
  switch (side) {
    case AlignSide::kStart: return 0;
    case AlignSide::kMiddle: return frame / 2 - size / 2;
    case AlignSide::kEnd: return frame - size;
  }
  return 0;
}

// A span of the image shown: its first pixel and its length.
struct Span {
  int64_t start = 0;
  int64_t length = 0;
};

// One axis of texCoords: the part from low to high, no larger than the
// image; a start inside the image moves the part there and keeps it short
// of the image's last pixel.
Span ShownSpan(int64_t low, int64_t high, int64_t imageSize) {
  Span span{0, std::min(high - low, imageSize)};
  if (low >= 0 && low < imageSize) {
    span.start = low;
    if (span.start + span.length >= imageSize) span.length = imageSize - low - 1;
  }
  return span;
}

// Clips [first, last) of the frame axis to [0, frameSize) and trims the
// shown span in proportion, so that a stretched image keeps its place and
// no pixel outside the span is ever read.
void ClipAxis(int64_t& first, int64_t& last, int64_t frameSize, Span& shown) {
  const int64_t covered = last - first;
  if (covered <= 0 || shown.length <= 0 || first >= frameSize || last <= 0) {
    first = last = 0;
    shown.length = 0;
    return;
  }
  const int64_t cutFront = first < 0 ? -first : 0;
  const int64_t cutBack = last > frameSize ? last - frameSize : 0;
  const auto scaled = [&](int64_t pixels) {
    return static_cast<int64_t>(static_cast<double>(pixels) * static_cast<double>(shown.length) /
                                static_cast<double>(covered));
  };
  const int64_t skipFront = scaled(cutFront);
  const int64_t skipBack = scaled(cutBack);
  first += cutFront;
  last -= cutBack;
  shown.start += skipFront;
  shown.length = std::max<int64_t>(shown.length - skipFront - skipBack, 1);
}

int64_t PixelOf(float coordinate) { return TruncToInt(coordinate); }

bool IsPixelForm(int32_t bytesPerPixel) { return bytesPerPixel == 1 || bytesPerPixel == 2 || bytesPerPixel == 4; }

PixelMap TextureImage(const MaterialRecord& material) {
  const RenderBufferDesc& texture = material.texture;
  constexpr int32_t kMaxSide = std::numeric_limits<uint16_t>::max();
  if (!texture.base || texture.width <= 0 || texture.height <= 0 || texture.width > kMaxSide ||
      texture.height > kMaxSide || !IsPixelForm(texture.bytesPerPixel)) {
    return {};
  }
  PixelMap image;
  image.bits = texture.base;
  image.width = static_cast<uint16_t>(texture.width);
  image.height = static_cast<uint16_t>(texture.height);
  image.bytesPerPixel = static_cast<uint16_t>(texture.bytesPerPixel);
  image.rowBytes = texture.rowBytes;
  return image;
}

}  // namespace

CScreenElementNode::CScreenElementNode() {
  RegisterFields(kScreenElementTable);
  SetOverlayMaterial(StartingMaterialRecord());
}

int CScreenElementNode::OnEventIn(bool isField, int index, const void* value) {
  if (!isField) {
    const int64_t amount = *static_cast<const int32_t*>(value);
    switch (index) {
      case IndexIn(kScreenElementEventIns, "addWidth"): added_.width += amount; break;
      case IndexIn(kScreenElementEventIns, "addHeight"): added_.height += amount; break;
      case IndexIn(kScreenElementEventIns, "addOffsetX"): added_.offsetX += amount; break;
      case IndexIn(kScreenElementEventIns, "addOffsetY"): added_.offsetY += amount; break;
      default: break;
    }
  }
  return CNode::OnEventIn(isField, index, value);
}

PixelMap CScreenElementNode::ElementImage() const {
  if (ownImage_) return ownImage_->GetPixelMap();
  return TextureImage(GetOverlayMaterial());
}

void CScreenElementNode::GetSize(int32_t* w, int32_t* h) {
  const PixelMap image = ElementImage();
  if (w) *w = width < 1 ? image.width : width;
  if (h) *h = height < 1 ? image.height : height;
}

void CScreenElementNode::Traverse(RenderPass pass, CViewContext* view) {
  switch (pass) {
    case RenderPass::Deactivate: {
      ownImage_.reset();
      // Made again when the element is shown again.
      imageMade_ = false;
      CBrowser* world = view && view->GetWorld() ? view->GetWorld() : GetWorld();
      if (world) world->RemoveOverlay(this);
      added_ = {};
      break;
    }
    case RenderPass::Activate:
      if (view) Prepare(*view);
      break;
    case RenderPass::Frame:
      if (view) ShowOnFrame(*view);
      break;
  }
}

void CScreenElementNode::Prepare(CViewContext& view) {
  if (imageMade_) return;
  added_ = {};
  const MaterialRecord& material = GetOverlayMaterial();
  if (!material.texture.base && !material.textureDeclared && width > 0 && height >= 1) {
    MakeColorBlock(view, material);
  }
  imageMade_ = true;
}

void CScreenElementNode::MakeColorBlock(CViewContext& view, const MaterialRecord& material) {
  if (width > kMaxScreenElementSide || height > kMaxScreenElementSide) return;
  ownImage_ = CDibImage::Create(width, height, view.GetColorDepth(), &view.GetColorTable(), false, false);
  if (ownImage_ && !ownImage_->GetBits()) ownImage_.reset();
  if (ownImage_) ownImage_->Fill(material.diffuse, view.GetInverseColorMap());
}

ScreenPlacement CScreenElementNode::Place(const PixelMap& image, const CViewContext& view) const {
  ScreenPlacement placed;
  const PixelMap& frame = view.GetFrameBuffer();
  if (!image.bits || !frame.bits) return placed;
  const int64_t imageWidth = image.width;
  const int64_t imageHeight = image.height;
  const bool cropped = crop != 0;

  const int64_t w = cropped || width < 1 ? imageWidth : width;
  const int64_t h = cropped || height < 1 ? imageHeight : height;
  CVec3f origin{0.0f, 0.0f, 0.0f};
  CVec3f far{static_cast<float>(w), static_cast<float>(h), 0.0f};
  view.TransformPoint(origin);
  view.TransformPoint(far);
  const int64_t x0 = PixelOf(origin.x);
  const int64_t y0 = PixelOf(origin.y);
  const int64_t sw = PixelOf(far.x) - x0;
  const int64_t sh = PixelOf(far.y) - y0;

  const auto [horizontal, vertical] = SidesOf(AlignmentByName(TextOf(alignment)));
  const int64_t ax = AnchorOffset(horizontal, frame.width, sw);
  const int64_t ay = AnchorOffset(vertical, frame.height, sh);

  Span shownX{0, imageWidth};
  Span shownY{0, imageHeight};
  if (texCoords.count == 4) {
    const std::span<const int32_t> tc = texCoords.Span();
    shownX = ShownSpan(tc[0], tc[2], imageWidth);
    shownY = ShownSpan(tc[1], tc[3], imageHeight);
  }

  // Without crop the offsets count twice, as they always have.
  const int64_t offsetX = cropped ? added_.offsetX : added_.offsetX * 2;
  const int64_t offsetY = cropped ? added_.offsetY : added_.offsetY * 2;
  int64_t left = x0 + ax + offsetX;
  int64_t right = x0 + ax + sw + offsetX;
  int64_t top = y0 + ay + offsetY;
  int64_t bottom = y0 + ay + sh + offsetY;

  if (alignBottomRight) {
    if (!cropped) {
      top -= added_.height;
      left -= added_.width;
    }
    left -= width;
    right -= width;
    top -= height;
    bottom -= height;
    if (right - left < minWidth) left = right - minWidth;
    if (bottom - top < minHeight) top = bottom - minHeight;
  } else {
    if (!cropped) {
      bottom += added_.height;
      right += added_.width;
    }
    if (right - left < minWidth) right = left + minWidth;
    if (bottom - top < minHeight) bottom = top + minHeight;
  }

  ClipAxis(left, right, frame.width, shownX);
  ClipAxis(top, bottom, frame.height, shownY);
  if (right <= left || bottom <= top || shownX.length <= 0 || shownY.length <= 0) return placed;
  placed.left = static_cast<int32_t>(left);
  placed.right = static_cast<int32_t>(right);
  placed.top = static_cast<int32_t>(top);
  placed.bottom = static_cast<int32_t>(bottom);
  placed.source = PixelMapPart(image, shownX.start, shownY.start, shownX.length, shownY.length);
  placed.destination = PixelMapPart(frame, left, top, right - left, bottom - top);
  return placed;
}

void CScreenElementNode::ShowOnFrame(CViewContext& view) {
  const PixelMap image = ElementImage();
  CBrowser* world = view.GetWorld();
  if (!image.bits || !world) return;
  const ScreenPlacement placed = Place(image, view);
  if (!placed.Shows()) return;
  const MaterialRecord& material = GetOverlayMaterial();
  OverlayEntry entry;
  entry.source = placed.source;
  entry.destination = placed.destination;
  entry.keyColor = material.chromaKeyColor;
  entry.chromaKey = material.chromaKey;
  entry.node = this;
  entry.layer = layer;
  world->AddOverlay(entry);
  PickAt(view, placed, material);
}

void CScreenElementNode::PickAt(CViewContext& view, const ScreenPlacement& placed, const MaterialRecord& material) {
  const int32_t x = view.GetPointerX();
  const int32_t y = view.GetPointerY();
  if (!(placed.left < x && x < placed.right && placed.top < y && y < placed.bottom)) return;
  const float relativeX = static_cast<float>(x - placed.left) / static_cast<float>(placed.right - placed.left);
  const float relativeY = static_cast<float>(y - placed.top) / static_cast<float>(placed.bottom - placed.top);
  const PixelMap& shown = placed.source;
  const int32_t imageX = std::min(TruncToInt(relativeX * shown.width), shown.width - 1);
  const int32_t imageY = std::min(TruncToInt(relativeY * shown.height), shown.height - 1);
  if (material.chromaKey &&
      PixelMatchesKey(shown, imageX, imageY, KeyColor{material.chromaKeyColor, view.GetInverseColorMap()})) {
    return;
  }
  pick.hitTexCoord = {relativeX, relativeY};
  pick.hitPoint = {static_cast<float>(x), static_cast<float>(y), 0.0f};
  pick.pointerX = x;
  pick.pointerY = y;
  view.RecordHit(this, layer, {imageX, imageY}, 0);
}

void RegisterScreenElementNode(NodeClassTable& table) { table.Add<CScreenElementNode>("ScreenElement"); }

}  // namespace vx
