#include "engine/pano/nodes/ScreenIMobNode.h"

#include <algorithm>
#include <cmath>

#include "engine/pano/PanoLimits.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kScreenIMobFields[] = {
    Field<&CScreenIMobNode::filename>("filename"),
    Field<&CScreenIMobNode::maskFilename>("maskFilename"),
    Field<&CScreenIMobNode::alignment>("alignment", DefaultText("CENTER")),
    Field<&CScreenIMobNode::width>("width", DefaultInt(0)),
    Field<&CScreenIMobNode::height>("height", DefaultInt(0)),
    Field<&CScreenIMobNode::opacity>("opacity", DefaultFloats(1)),
    Field<&CScreenIMobNode::texCoords>("texCoords"),
    Field<&CScreenIMobNode::type>("type", DefaultText("PICT")),
    Field<&CScreenIMobNode::quantization>("quantization"),
    Field<&CScreenIMobNode::range>("range"),
    Field<&CScreenIMobNode::defaultView>("defaultView"),
    Field<&CScreenIMobNode::animRate>("animRate"),
    Field<&CScreenIMobNode::blueScreen>("blueScreen", DefaultFloats(-1, -1, -1)),
    Field<&CScreenIMobNode::interactive>("interactive", DefaultBool(true)),
};
constexpr FieldTable kScreenIMobTable{Section(kScreenIMobFields), {}, Section(kImageObjectEventOuts)};

// The red component that stands for "no key colour" when the decoder's fill
// colour is chosen.
constexpr float kNoKeyRed = -1.0f;

// The pick of a screen image lies in front of everything in the scene.
constexpr int32_t kScreenPickDepth = 0;

FloatColor ToFloat(const SFColor& c) { return {c.r, c.g, c.b}; }

}  // namespace

CScreenIMobNode::CScreenIMobNode() { RegisterFields(kScreenIMobTable); }

// The overlay shows the handle's pixels, which go with the node.
CScreenIMobNode::~CScreenIMobNode() {
  if (CBrowser* world = GetWorld()) world->RemoveOverlay(this);
}

FloatColor CScreenIMobNode::FillColor() const {
  return blueScreen.r != kNoKeyRed ? ToFloat(blueScreen) : CImageObjectNode::FillColor();
}

std::optional<FloatColor> CScreenIMobNode::MaskColor() const { return ToFloat(blueScreen); }

void CScreenIMobNode::Load(CViewContext& view) {
  keyed_ = BlueScreenKeys();
  CImageObjectNode::Load(view);
}

void CScreenIMobNode::Unload(CViewContext& view) {
  if (CBrowser* world = view.GetWorld()) world->RemoveOverlay(this);
  CImageObjectNode::Unload(view);
  placed_ = {};
  shown_ = {};
}

void CScreenIMobNode::Frame(CViewContext& view) {
  StepMedia(view);
  if (!TakeImage()) return;
  switch (Type()) {
    case ImageObjectType::kMovie:
      ControlMovie(false);
      break;
    case ImageObjectType::kSphere:
      ChooseFrame(view);
      break;
    default:
      break;
  }
  // The movie or the frame choice may have made another picture.
  if (!TakeImage()) return;
  Place(view);
  AddOverlay(view);
  if (HitTest(view)) RecordPick(view);
}

void CScreenIMobNode::Place(CViewContext& view) {
  const PixelMap& image = Image();
  const int32_t w = width != 0 ? width : image.width;
  const int32_t h = height != 0 ? height : image.height;
  CVec3f origin{0.0f, 0.0f, 0.0f};
  CVec3f corner{static_cast<float>(w), static_cast<float>(h), 0.0f};
  view.TransformPoint(origin);
  view.TransformPoint(corner);
  const PixelMap& frame = view.GetFrameBuffer();
  placed_ = PlaceOnScreen(AlignmentByName(TextOf(alignment)), frame.width, frame.height, ScreenCoordinate(origin.x),
                          ScreenCoordinate(origin.y), ScreenCoordinate(corner.x - origin.x),
                          ScreenCoordinate(corner.y - origin.y));
  opacity = std::isnan(opacity) ? 1.0f : std::clamp(opacity, 0.0f, 1.0f);
  shown_ = CropArea(image.width, image.height, texCoords.Span());
}

void CScreenIMobNode::AddOverlay(CViewContext& view) {
  CBrowser* world = view.GetWorld();
  if (!world) return;
  const std::optional<OverlayParts> parts = ClipToFrame(Image(), shown_, placed_, view.GetFrameBuffer());
  if (!parts) return;
  OverlayEntry entry;
  entry.source = parts->source;
  entry.destination = parts->destination;
  entry.keyColor = ToFloat(blueScreen);
  entry.chromaKey = keyed_ ? 1 : 0;
  entry.node = this;
  world->AddOverlay(entry);
}

// The box is the width and height fields where they are set, the placed
// rectangle's size where not. The key colour is looked up where the pointer
// falls in the part of the image shown, so that a scaled image is keyed as
// it is seen.
bool CScreenIMobNode::HitTest(const CViewContext& view) {
  const int32_t w = width != 0 ? width : placed_.Width();
  const int32_t h = height != 0 ? height : placed_.Height();
  const int64_t x = view.GetPointerX();
  const int64_t y = view.GetPointerY();
  if (!(placed_.left < x && x < int64_t{placed_.left} + w && placed_.top < y && y < int64_t{placed_.top} + h)) {
    return false;
  }
  pointerInImage_ = {static_cast<float>(x - placed_.left) / static_cast<float>(w),
                     static_cast<float>(y - placed_.top) / static_cast<float>(h)};
  if (opacity <= kUnpickableOpacity || shown_.IsEmpty()) return false;
  if (!keyed_) return true;
  const PixelMap& image = Image();
  if (image.bytesPerPixel != 1 && image.bytesPerPixel != 2 && image.bytesPerPixel != 4) return false;
  const auto [px, py] = AreaPixelAt(shown_, pointerInImage_.x, pointerInImage_.y);
  return !PixelMatchesKey(image, px, py, KeyColor{ToFloat(blueScreen), view.GetInverseColorMap()});
}

void CScreenIMobNode::RecordPick(CViewContext& view) {
  const int32_t x = view.GetPointerX();
  const int32_t y = view.GetPointerY();
  pick.hitTexCoord = pointerInImage_;
  pick.hitPoint = {static_cast<float>(x), static_cast<float>(y), 0.0f};
  pick.hitNormal = {0.0f, 0.0f, 1.0f};
  view.RecordHit(this, kScreenPickDepth, {x, y}, 0);
}

void CScreenIMobNode::OnPointerClick(CViewContext* /*view*/) {
  SendPointerEvents("goodClick", "clickPt", pointerInImage_);
}

void CScreenIMobNode::OnPointerOver() { SendPointerEvents("goodOver", "overPt", pointerInImage_); }

void CScreenIMobNode::GetSize(int32_t* outWidth, int32_t* outHeight) {
  const PixelMap& image = Image();
  if (outWidth) *outWidth = width < 1 ? image.width : width;
  if (outHeight) *outHeight = height < 1 ? image.height : height;
}

void RegisterScreenIMobNode(NodeClassTable& table) { table.Add<CScreenIMobNode>("ScreenIMob"); }

}  // namespace vx
