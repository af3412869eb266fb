#include "engine/pano/nodes/BackgroundNode.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/nodes/TransformNode.h"
#include "engine/pano/PanoRendererFactory.h"
#include "engine/pano/SkyGroundPainter.h"
#include "engine/scene/FieldTable.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/ViewServices.h"
#include "engine/world/Browser.h"
#include "engine/world/CameraTurn.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr float kBandPi = std::numbers::pi_v<float>;
constexpr float kBandHalfPi = kBandPi / 2;

constexpr SFColor kBlack[] = {{0, 0, 0}};

constexpr FieldSpec kBackgroundFields[] = {
    Field<&CBackgroundNode::frontUrl>("frontUrl"),
    Field<&CBackgroundNode::rightUrl>("rightUrl"),
    Field<&CBackgroundNode::backUrl>("backUrl"),
    Field<&CBackgroundNode::leftUrl>("leftUrl"),
    Field<&CBackgroundNode::topUrl>("topUrl"),
    Field<&CBackgroundNode::bottomUrl>("bottomUrl"),
    Field<&CBackgroundNode::groundColor>("groundColor", DefaultList(kBlack)),
    Field<&CBackgroundNode::skyColor>("skyColor", DefaultList(kBlack)),
    Field<&CBackgroundNode::groundAngle>("groundAngle"),
    Field<&CBackgroundNode::skyAngle>("skyAngle"),
};
constexpr FieldSpec kBackgroundEventIns[] = {Event("set_bind", FieldTypeSFBool)};
constexpr FieldSpec kBackgroundEventOuts[] = {Event("isBound", FieldTypeSFBool)};
constexpr FieldTable kBackgroundTable{Section(kBackgroundFields), Section(kBackgroundEventIns),
                                      Section(kBackgroundEventOuts)};

constexpr int kGroundColor = IndexIn(kBackgroundFields, "groundColor");
constexpr int kSkyColor = IndexIn(kBackgroundFields, "skyColor");
constexpr int kGroundAngle = IndexIn(kBackgroundFields, "groundAngle");
constexpr int kSkyAngle = IndexIn(kBackgroundFields, "skyAngle");
constexpr int kSetBind = IndexIn(kBackgroundEventIns, "set_bind");

// The sphere picture shown when the node has no pictures of its own.
constexpr int32_t kSphereWidth = 512;
constexpr int32_t kSphereHeight = 256;
constexpr int16_t kBackgroundResolution = 768;
constexpr float kInitialHalfAngle = 0.4363323f;
constexpr int32_t kCubeRowsDivisor = 3;
constexpr AngleRangeF kBackgroundSphere{0, 2 * kBandPi, -kBandHalfPi, kBandHalfPi};
// The view counts as moved by a change of this much, and as still once it
// has not moved for more frames than kStillFrames.
constexpr float kViewMoveTolerance = 1e-5f;
constexpr int32_t kStillFrames = 4;

FloatColor ToFloat(const SFColor& c) { return {c.r, c.g, c.b}; }

// A ramp between two angles (either way round), cut to 0..limit with its
// colour interpolated at the cut.
struct Band {
  float from;
  float to;
  FloatColor fromColour;
  FloatColor toColour;

  // False when nothing of the band lies within 0..limit.
  bool CutTo(float limit) {
    const float low = std::max(std::min(from, to), 0.0f);
    const float high = std::min(std::max(from, to), limit);
    if (!(low < high)) return false;
    auto colourAt = [this](float angle) { return MixColours(fromColour, toColour, (angle - from) / (to - from)); };
    const float newFrom = std::clamp(from, low, high);
    const float newTo = std::clamp(to, low, high);
    const FloatColor a = colourAt(newFrom), b = colourAt(newTo);
    from = newFrom;
    to = newTo;
    fromColour = a;
    toColour = b;
    return true;
  }
};

class BandPainter {
 public:
  BandPainter(const PixelMap& map, bool cubeLayout, const uint8_t* inverseMap)
      : map_(map),
        rows_(cubeLayout ? map.height / kCubeRowsDivisor : map.height),
        fill_(cubeLayout ? FillSkyGroundBand : FillGradientRows),
        inverseMap_(inverseMap) {}

  // A band of angles from the zenith, painted top to bottom.
  void Paint(Band band) {
    if (!band.CutTo(kBandPi)) return;
    fill_(map_, RowOf(band.from), RowOf(band.to), band.fromColour, band.toColour, inverseMap_);
  }

 private:
  // Rows stay far inside the 16-bit range: angles are cut to 0..pi.
  int16_t RowOf(float angle) const { return static_cast<int16_t>(std::trunc(angle / kBandPi * rows_)); }

  const PixelMap& map_;
  int32_t rows_;
  void (*fill_)(const PixelMap&, int16_t, int16_t, const FloatColor&, const FloatColor&, const uint8_t*);
  const uint8_t* inverseMap_;
};

void PaintSky(BandPainter& painter, const BackgroundBands& bands) {
  float from = 0;
  for (size_t i = 0; i < bands.skyAngle.size(); ++i) {
    const float to = bands.skyAngle[i];
    painter.Paint({from, to, ToFloat(bands.skyColor[i]), ToFloat(bands.skyColor[i + 1])});
    from = to;
  }
  const FloatColor last = ToFloat(bands.skyColor.back());
  painter.Paint({std::max(from, 0.0f), kBandPi, last, last});
}

// Ground angles run from the nadir; the rows from the zenith.
void PaintGround(BandPainter& painter, const BackgroundBands& bands) {
  float from = 0;
  for (size_t i = 0; i < bands.groundAngle.size(); ++i) {
    const float to = bands.groundAngle[i];
    painter.Paint({kBandPi - to, kBandPi - from, ToFloat(bands.groundColor[i + 1]), ToFloat(bands.groundColor[i])});
    from = to;
  }
  if (bands.groundColor.empty() || !bands.groundToHorizon) return;
  const FloatColor last = ToFloat(bands.groundColor.back());
  if (from < kBandHalfPi) painter.Paint({kBandHalfPi, kBandPi - std::max(from, 0.0f), last, last});
}

// The upper 3 x 3 part alone.
CMatrix4 TurnPartOf(const CMatrix4& m) {
  CMatrix4 turn = m;
  turn[12] = turn[13] = turn[14] = 0.0f;
  return turn;
}

template <typename T>
std::span<const T> SpanOf(const MF<T>& values) {
  return values.Span();
}

// The placements of Transforms multiplied onto a matrix as the view's stack
// multiplies them.
struct PlacementStack {
  CMatrix4 top;
  void Translate(const CVec3f& offset) {
    CMatrix4 t;
    top.PreMultiply(t.SetTranslation(offset.x, offset.y, offset.z));
  }
  void Rotate(const std::array<float, 4>& axisAngle) {
    CMatrix4 r;
    top.PreMultiply(r.SetRotation({axisAngle[0], axisAngle[1], axisAngle[2]}, axisAngle[3]));
  }
  void Scale(const CVec3f& factors) {
    CMatrix4 s;
    top.PreMultiply(s.SetScale(factors.x, factors.y, factors.z));
  }
};

// The node values of a field that belong to the hierarchy.
std::span<const CNodeRef> HierarchyValues(CNode& node, int index) {
  const FieldSpec& field = node.GetFieldTable()->fields[static_cast<size_t>(index)];
  const void* value = node.GetFieldAddress(index);
  if (!value || !node.IsHierarchyMember(FieldKind::Field, index)) return {};
  if (field.type == FieldTypeSFNode) return {static_cast<const CNodeRef*>(value), 1};
  if (field.type == FieldTypeMFNode) return static_cast<const MFNode*>(value)->Span();
  return {};
}

// The matrix of the Transforms above `target` on the first way down from
// `root` to it, through every choice and level whether drawn or not; null
// when the root does not reach it. Breadth first, each node once: a USEd
// node may be reached many ways, and deep nesting needs no deep recursion.
std::optional<CMatrix4> ParentsMatrixOf(CNode& root, const CNode& target) {
  std::unordered_map<const CNode*, CNode*> parentOf{{&root, nullptr}};
  std::vector<CNode*> queue{&root};
  auto reach = [&](CNode* child, CNode* parent) {
    if (child && parentOf.emplace(child, parent).second) queue.push_back(child);
  };
  for (size_t next = 0; next < queue.size() && !parentOf.contains(&target); ++next) {
    CNode& node = *queue[next];
    if (const FieldTable* table = node.GetFieldTable()) {
      for (size_t i = 0; i < table->fields.size(); ++i) {
        for (const CNodeRef& ref : HierarchyValues(node, static_cast<int>(i))) reach(ref.GetNode(), &node);
      }
    }
    reach(node.GetInnerRoot(), &node);
  }
  const auto found = parentOf.find(&target);
  if (found == parentOf.end()) return std::nullopt;
  std::vector<const CTransformNode*> transforms;
  for (const CNode* above = found->second; above; above = parentOf.at(above)) {
    if (const auto* transform = dynamic_cast<const CTransformNode*>(above)) transforms.push_back(transform);
  }
  PlacementStack stack;
  for (auto it = transforms.rbegin(); it != transforms.rend(); ++it) (*it)->ApplyPlacement(stack);
  return stack.top;
}

}  // namespace

bool BandsAreValid(const BackgroundBands& bands) {
  const bool noGround = !bands.groundToHorizon && bands.groundColor.empty() && bands.groundAngle.empty();
  return SkyGroundListsValid(bands.skyAngle, bands.skyColor.size(), bands.groundAngle,
                             noGround ? 1 : bands.groundColor.size());
}

void PaintBackgroundBands(const PixelMap& map, const BackgroundBands& bands, bool cubeLayout,
                          const uint8_t* inverseMap) {
  if (!map.bits || map.width <= 0 || map.height <= 0) return;
  BandPainter painter(map, cubeLayout, inverseMap);
  if (!BandsAreValid(bands)) {
    const FloatColor black{};
    painter.Paint({0, kBandPi, black, black});
    return;
  }
  PaintSky(painter, bands);
  PaintGround(painter, bands);
}

CBackgroundNode::CBackgroundNode() { RegisterFields(kBackgroundTable); }

CBackgroundNode::~CBackgroundNode() = default;

BackgroundBands CBackgroundNode::Bands(const CViewContext& view) const {
  return {SpanOf(skyColor), SpanOf(skyAngle), SpanOf(groundColor), SpanOf(groundAngle),
          ConventionOf(view.GetWorld()) == WorldConvention::kSystem};
}

CBackgroundCube::FaceUrls CBackgroundNode::FaceUrls() const {
  return {&frontUrl, &rightUrl, &backUrl, &leftUrl, &topUrl, &bottomUrl};
}

bool CBackgroundNode::HasFaceUrls() const {
  const CBackgroundCube::FaceUrls urls = FaceUrls();
  return std::any_of(urls.begin(), urls.end(), [](const MFString* list) { return list->count > 0; });
}

int CBackgroundNode::OnEventIn(bool isField, int index, const void* value) {
  if (isField) {
    if (index == kGroundColor || index == kSkyColor || index == kGroundAngle || index == kSkyAngle) {
      bandsChanged_ = true;
    }
    return CNode::OnEventIn(isField, index, value);
  }
  if (index == kSetBind) {
    const bool on = *static_cast<const int16_t*>(value) != 0;
    if (on && !bound_) {
      bindRequest_ = true;
      if (CBrowser* world = GetWorld()) world->RequestBackgroundBind(this);
    }
    if (!on && bound_) unbindRequest_ = true;
  }
  return 0;
}

void CBackgroundNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view || !view->GetWorld()) return;
  // The world hands the frame's pass to its visits before the scene, where
  // nothing of the scene is on the view's stack; every other visit is one in
  // the scene, which tells how the node is turned.
  const bool handed = pass == RenderPass::Frame && TakeFramePass(view->GetWorld()->GetFrameNumber());
  if (!handed) {
    NoteParents(*view);
  } else {
    const bool visited = std::exchange(visitedInScene_, false);
    if (!visited && !foundInScene_ && (bound_ || bindRequest_)) FindParentsInScene(*view);
  }
  FollowOutput(*view);
  FollowCamera(*view);
  if (unbindRequest_) Unbind(*view);
  if (pass != RenderPass::Frame) return;
  if (bindRequest_) Bind(*view);
  if (!bound_ || !handed) return;
  StepFaces(*view);
  DrawFrame(*view);
}

void CBackgroundNode::NoteParents(const CViewContext& view) {
  visitedInScene_ = true;
  foundInScene_ = false;
  TurnLikeParents(view.GetTopMatrix());
}

// A node the scene does not visit (one in a choice a Switch does not show)
// is turned by the parents it stands under all the same; it is looked for
// once while it stays out of sight.
void CBackgroundNode::FindParentsInScene(const CViewContext& view) {
  foundInScene_ = true;
  const CNodeRef& root = view.GetWorld()->GetRootRef();
  if (!root) return;
  if (const std::optional<CMatrix4> parents = ParentsMatrixOf(*root.Get(), *this)) TurnLikeParents(*parents);
}

// A matrix without an inverse (a parent scaled to nothing) turns nothing.
void CBackgroundNode::TurnLikeParents(const CMatrix4& parents) {
  fromWorld_ = TurnPartOf(parents);
  if (!fromWorld_.Invert()) fromWorld_ = CMatrix4();
}

void CBackgroundNode::FollowOutput(CViewContext& view) {
  const PixelMap& frame = view.GetFrameBuffer();
  if (!context_ || (frame.bits == output_.bits && frame.width == output_.width && frame.height == output_.height &&
                    frame.rowBytes == output_.rowBytes && frame.bytesPerPixel == output_.bytesPerPixel)) {
    return;
  }
  output_ = frame;
  PanoSetOutputRect(context_.get(), output_);
}

// The panorama is shown the camera's turn in the node's space, so that it
// turns with the node's parents. In the system's worlds the camera is held
// level, and the pitch the panorama's limits leave goes back to it: a turned
// node never moves the camera by its turn.
void CBackgroundNode::FollowCamera(CViewContext& view) {
  // Only a node with a panorama follows the camera; an unbound one in the
  // scene leaves the camera alone.
  if (!context_) return;
  const bool system = ConventionOf(view.GetWorld()) == WorldConvention::kSystem;
  float pitch = 0, yaw = 0, roll = 0;
  view.GetOrientation(&pitch, &yaw, &roll);
  if (system) roll = 0;
  CMatrix4 inNode = fromWorld_;
  inNode.PreMultiply(RotationOf({pitch, yaw, roll}));
  const CameraTurn turn = TurnOf(inNode);
  PanoSetFieldOfView(context_.get(), view.GetFieldOfView());
  PanoSetViewAngles(context_.get(), {turn.yaw, turn.pitch, turn.roll});
  if (!system) return;
  PanoAngles limited;
  PanoGetViewAngles(context_.get(), &limited);
  view.SetOrientation(pitch + limited.pitch - turn.pitch, yaw, 0, false);
}

void CBackgroundNode::Unbind(CViewContext& view) {
  unbindRequest_ = false;
  bound_ = false;
  prepared_ = false;
  refined_ = false;
  cube_.Stop();
  context_.reset();
  image_.reset();
  output_ = {};
  // Popping is the stack's own toggle: a node not on top is left alone.
  CBrowser* world = view.GetWorld();
  if (world->GetBackground() == this) world->BindBackground(this, &view);
  const int16_t off = 0;
  SendEvent("isBound", &off);
}

void CBackgroundNode::TakeOverPanorama(CBackgroundNode& other) {
  if (other.projection_ != projection_ || !other.context_) return;
  context_ = std::move(other.context_);
  output_ = std::exchange(other.output_, {});
  other.prepared_ = false;
  // The renderer still reads the other node's picture, which goes with it.
  if (PanoCreateRenderer(context_.get(), {}, static_cast<int16_t>(PanoProjection::kSphere)) != kPanoOk) {
    context_.reset();
    output_ = {};
  }
}

void CBackgroundNode::Bind(CViewContext& view) {
  bindRequest_ = false;
  if (bound_) return;
  // Without pictures of its own the node can only show the bands; with them
  // it tries the cube again on every bind, also after it fell back once.
  projection_ = HasFaceUrls() ? BackgroundProjection::kCube : BackgroundProjection::kSphere;
  CBrowser* world = view.GetWorld();
  CNode* top = world->GetBackground();
  if (top && top != this && top->GetTypeId() == NodeTypeBackground) {
    CNodeRef held(top);
    auto& other = static_cast<CBackgroundNode&>(*top);
    TakeOverPanorama(other);
    const int16_t off = 0;
    other.ReceiveEvent("set_bind", &off);
    if (other.unbindRequest_) other.Unbind(view);
  }
  world->BindBackground(this, &view);
  bound_ = true;
  const int16_t on = 1;
  SendEvent("isBound", &on);
  if (!context_) MakeContext(view);
  stillFrames_ = 0;
  refined_ = false;
  cube_.Start(*this, FaceUrls(), view);
}

void CBackgroundNode::MakeContext(CViewContext& view) {
  context_ = PanoCreate();
  if (!context_) return;
  PanoSetImageExtent(context_.get(), kBackgroundSphere);
  output_ = view.GetFrameBuffer();
  PanoSetOutputRect(context_.get(), output_);
  if (PanoCreateRenderer(context_.get(), {}, static_cast<int16_t>(PanoProjection::kSphere)) != kPanoOk) {
    context_.reset();
    return;
  }
  PanoSetViewLimits(context_.get(), kBackgroundSphere);
  PanoSetFieldOfView(context_.get(), kInitialHalfAngle);
}

// Until the first face picture arrives the frame stays clear; when every
// face has failed the node shows its bands on the sphere instead.
void CBackgroundNode::StepFaces(CViewContext& view) {
  cube_.Step(*this, FaceUrls(), view);
  if (projection_ == BackgroundProjection::kCube) {
    if (!image_ && cube_.TileSide(FaceUrls()) > 0) MakeCubeImage(view);
    if (image_) {
      const PixelMap picture = GetPanoramaPicture();
      cube_.PlaceArrived(picture);
      RefreshGuardRows(picture);
    }
  }
  if (!image_ && cube_.AllFailed()) MakeSphereImage(view);
}

// The bands stay in the tiles of faces whose pictures never arrive.
void CBackgroundNode::MakeCubeImage(CViewContext& view) {
  const int32_t side = cube_.TileSide(FaceUrls());
  image_ = CDibImage::Create(side, GuardedImageHeight(side * kCubeFaces), view.GetColorDepth(), &view.GetColorTable(),
                             false, false);
  prepared_ = false;
  cube_.Unplace();
  if (image_) PaintBands(view);
}

void CBackgroundNode::MakeSphereImage(CViewContext& view) {
  projection_ = BackgroundProjection::kSphere;
  image_ = CDibImage::Create(kSphereWidth, GuardedImageHeight(kSphereHeight), view.GetColorDepth(),
                             &view.GetColorTable(), false, false);
  prepared_ = false;
  if (image_) PaintBands(view);
}

void CBackgroundNode::PaintBands(CViewContext& view) {
  bandsChanged_ = false;
  refined_ = false;
  if (image_) {
    const PixelMap picture = GetPanoramaPicture();
    PaintBackgroundBands(picture, Bands(view), projection_ == BackgroundProjection::kCube, view.GetInverseColorMap());
    RefreshGuardRows(picture);
  }
}

bool CBackgroundNode::PictureSettled() const {
  return projection_ == BackgroundProjection::kSphere || cube_.AllSettled();
}

// The panorama covers the frame, so the world does not clear it first; a
// frame the panorama cannot draw is cleared rather than left as it was.
void CBackgroundNode::DrawFrame(CViewContext& view) {
  if (!view.GetFrameBuffer().bits) return;
  if (!image_ || !context_) {
    view.ClearFrame();
    return;
  }
  if (!prepared_) {
    prepared_ = true;
    (void)PanoCreateRenderer(context_.get(), GetPanoramaPicture(), static_cast<int16_t>(projection_));
    PanoSetResolution(context_.get(), kBackgroundResolution);
    PanoSetViewLimits(context_.get(), kBackgroundSphere);
    PanoSetImageExtent(context_.get(), kBackgroundSphere);
  }
  if (bandsChanged_ && projection_ == BackgroundProjection::kSphere) PaintBands(view);
  if (PanoPrepareRender(context_.get()) != kPanoOk) {
    view.ClearFrame();
    return;
  }
  if (PictureSettled()) {
    Refine(view);
  } else {
    refined_ = false;
  }
  IViewServices* services = view.GetServices();
  if (refined_ && services) {
    services->CopyBackImageToFrame();
  } else if (PanoDrawFrame(context_.get()) != kPanoOk) {
    view.ClearFrame();
  }
  PanoRefreshRenderers(context_.get());
}

// Still means that the panorama has been shown the same view: the camera
// and the node's parents both turn it.
bool CBackgroundNode::ViewStill(CViewContext& view) {
  PanoAngles angles;
  PanoGetViewAngles(context_.get(), &angles);
  const StillView now{angles.pitch, angles.yaw, angles.roll, view.GetFieldOfView()};
  auto moved = [](float a, float b) { return !(std::fabs(a - b) < kViewMoveTolerance); };
  if (moved(now.pitch, lastView_.pitch) || moved(now.yaw, lastView_.yaw) || moved(now.roll, lastView_.roll) ||
      moved(now.fieldOfView, lastView_.fieldOfView)) {
    lastView_ = now;
    stillFrames_ = 0;
    refined_ = false;
    return false;
  }
  if (stillFrames_ <= kStillFrames) ++stillFrames_;
  return stillFrames_ > kStillFrames;
}

// Once the view has been still for a few frames the frame is drawn once
// into the view's back image and copied from there while nothing moves.
void CBackgroundNode::Refine(CViewContext& view) {
  const bool still = ViewStill(view);
  IViewServices* services = view.GetServices();
  const PixelMap back = services ? services->GetBackImage() : PixelMap{};
  // The copy must cover the frame exactly.
  const bool fitsFrame = back.bits && back.width == output_.width && back.height == output_.height &&
                         back.bytesPerPixel == output_.bytesPerPixel;
  if (!fitsFrame) {
    refined_ = false;
    return;
  }
  if (back.width != refinedWidth_ || back.height != refinedHeight_) {
    refined_ = false;
    refinedWidth_ = back.width;
    refinedHeight_ = back.height;
  }
  if (!still || refined_) return;
  PanoSetOutputRect(context_.get(), back);
  PanoSetResolution(context_.get(), kBackgroundResolution);
  if (PanoPrepareRender(context_.get()) == kPanoOk && PanoDrawFrame(context_.get()) == kPanoOk) refined_ = true;
  PanoSetOutputRect(context_.get(), output_);
  static_cast<void>(PanoPrepareRender(context_.get()));
}

void RegisterBackgroundNode(NodeClassTable& table) { table.Add<CBackgroundNode>("Background"); }

}  // namespace vx
