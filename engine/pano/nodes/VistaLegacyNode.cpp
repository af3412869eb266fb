#include "engine/pano/nodes/VistaLegacyNode.h"

#include "engine/media/MediaTypes.h"
#include "engine/pano/PanoLimits.h"
#include "engine/pano/PanoRendererFactory.h"
#include "engine/pano/SkyGroundPainter.h"
#include "engine/scene/FieldTable.h"
#include "engine/world/Browser.h"
#include "engine/world/NavigationSettings.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kLegacyVistaFields[] = {
    Field<&CVistaLegacyNode::type>("type", DefaultText("SPHERE")),
    Field<&CVistaLegacyNode::filename>("filename"),
    Field<&CVistaLegacyNode::vFov>("vFov", DefaultFloats(-kVistaHalfPi, kVistaHalfPi)),
    Field<&CVistaLegacyNode::hFov>("hFov", DefaultFloats(0, 0)),
    Field<&CVistaLegacyNode::pitchRange>("pitchRange", DefaultFloats(-kVistaHalfPi, kVistaHalfPi)),
    Field<&CVistaLegacyNode::yawRange>("yawRange", DefaultFloats(0, kVistaTwoPi)),
    Field<&CVistaLegacyNode::zoomRange>("zoomRange", DefaultFloats(0, kVistaHalfPi)),
    Field<&CVistaLegacyNode::description>("description", DefaultText("")),
    Field<&CVistaLegacyNode::copyright>("copyright", DefaultText("")),
    Field<&CVistaLegacyNode::children>("children"),
    Field<&CVistaLegacyNode::backColor>("backColor", DefaultFloats(-1, -1, -1)),
    Field<&CVistaLegacyNode::position>("position", DefaultFloats(0, 0, 0)),
    Field<&CVistaLegacyNode::stereo>("stereo", DefaultBool(false)),
};
constexpr FieldSpec kLegacyVistaEventOuts[] = {
    Event("clickPt", FieldTypeSFVec2f),
    Event("overPt", FieldTypeSFVec2f),
};
constexpr FieldTable kLegacyVistaTable{Section(kLegacyVistaFields), {}, Section(kLegacyVistaEventOuts)};

constexpr AngleRangeF kWholePicture{0, kVistaTwoPi, -kVistaHalfPi, kVistaHalfPi};

// The camera goes to the node's position unless the world's navigation
// walks or flies through the scene.
bool PlacesCamera(CNode* navigationInfo) {
  const NavigationSettings navigation = ReadNavigationSettings(navigationInfo);
  if (!navigation.bound || !navigation.hasType) return true;
  return navigation.mode == NavigationMode::kVista || navigation.mode == NavigationMode::kExamine ||
         navigation.mode == NavigationMode::kNone;
}

}  // namespace

CVistaLegacyNode::CVistaLegacyNode() { RegisterFields(kLegacyVistaTable); }

CVistaLegacyNode::~CVistaLegacyNode() = default;

void CVistaLegacyNode::PaintBackground(int32_t /*message*/, void* image, void* /*node*/) {
  if (auto* picture = static_cast<CDibImage*>(image); picture && picture->GetBits()) {
    FillPlaceholderGrid(picture->GetPixelMap());
  }
}

void CVistaLegacyNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!BeginTraverse(view)) return;
  UpdatePointerPoint(*view);
  if (pass == RenderPass::Deactivate) {
    Deactivate(*view);
    PickChildSensors(pass, view, children);
    return;
  }
  if (pass == RenderPass::Activate) {
    if (bound_) return;
    Activate(*view);
    PickChildSensors(pass, view, children);
    return;
  }
  if (!bound_ || !TakeFramePass(view->GetWorld()->GetFrameNumber())) return;
  DrawFrame(*view);
  PickChildSensors(pass, view, children);
}

void CVistaLegacyNode::Activate(CViewContext& view) {
  view.GetWorld()->BindLegacyVista(this, &view);
  context_ = PanoCreate();
  PanoContext* context = context_.get();
  PanoSetViewAngles(context, {0, 0, 0});
  PanoSetImageExtent(context, kWholePicture);
  PixelMap frame = view.GetFrameBuffer();
  frame.rows = nullptr;
  PanoSetOutputRect(context, frame);
  bound_ = true;
  rangesApplied_ = false;
  PlaceCamera(view);
  const int16_t projection = ProjectionOfKeyword(TextOf(type));
  projection_ = projection ? projection : static_cast<int16_t>(PanoProjection::kSphere);
  tilesSet_ = false;
  if (filename.count > 0) {
    urlIndex_ = 0;
    OpenPicture(filename[0], view);
  }
  ReportBinding(view, *this, true);
}

void CVistaLegacyNode::PlaceCamera(CViewContext& view) {
  if (PlacesCamera(view.GetWorld()->GetNavigationInfo())) view.SetPosition({position.x, position.y, position.z}, true);
}

// Off the world's stack as well, so that no frame goes on drawing (or
// limiting the camera through) a panorama that is gone.
void CVistaLegacyNode::Deactivate(CViewContext& view) {
  ReportBinding(view, *this, false);
  bound_ = false;
  tilesSet_ = false;
  image_.reset();
  ClearSource();
  lastFrame_ = {};
  context_.reset();
  view.GetWorld()->UnbindLegacyVista(this);
}

void CVistaLegacyNode::StepPicture(CViewContext& view) {
  const int32_t state = image_ ? image_->Process() : MediaUnusable;
  if (HasFailed(state) && urlIndex_ + 1 < filename.count) {
    tilesSet_ = rangesApplied_ = false;
    ++urlIndex_;
    OpenPicture(filename[urlIndex_], view);
  }
  (void)SetUpTiles(view, state);
}

void CVistaLegacyNode::DrawFrame(CViewContext& view) {
  PanoContext* context = context_.get();
  if (!context) return;
  LimitZoom(view);
  // The camera follows the panorama, which the view limited when it applied
  // the camera.
  PanoAngles angles;
  PanoGetViewAngles(context, &angles);
  view.SetOrientation(angles.pitch, angles.yaw, angles.roll, false);
  StepPicture(view);
  if (lastFrame_.bits) {
    if (!image_ || !image_->HasImage()) {
      view.ClearFrame();
    } else {
      if (!rangesApplied_) ApplyRanges(view);
      UpdatePictureView();
      PanoSetSourceImage(context, source_);
      // A frame the panorama cannot draw is cleared rather than left as it was.
      if (PanoPrepareRender(context) == kPanoOk && PanoDrawFrame(context) == kPanoOk) {
        PanoRefreshRenderers(context);
      } else {
        view.ClearFrame();
      }
      DrawHotSpotMarkers(view);
    }
  }
  PanoSetViewAngles(context, angles);
}

}  // namespace vx
