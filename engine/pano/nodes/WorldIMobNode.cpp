#include "engine/pano/nodes/WorldIMobNode.h"

#include <array>
#include <cmath>

#include "engine/media/nodes/TextureLoad.h"
#include "engine/pano/PanoLimits.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

constexpr FieldSpec kWorldIMobFields[] = {
    Field<&CWorldIMobNode::filename>("filename"),
    Field<&CWorldIMobNode::maskFilename>("maskFilename"),
    Field<&CWorldIMobNode::width>("width", DefaultFloats(4)),
    Field<&CWorldIMobNode::height>("height", DefaultFloats(3)),
    Field<&CWorldIMobNode::opacity>("opacity", DefaultFloats(1)),
    Field<&CWorldIMobNode::type>("type", DefaultText("SPHERE")),
    Field<&CWorldIMobNode::quantization>("quantization"),
    Field<&CWorldIMobNode::range>("range"),
    Field<&CWorldIMobNode::defaultView>("defaultView"),
    Field<&CWorldIMobNode::animRate>("animRate"),
    Field<&CWorldIMobNode::blueScreen>("blueScreen", DefaultFloats(-1, -1, -1)),
    Field<&CWorldIMobNode::interactive>("interactive", DefaultBool(true)),
};
constexpr FieldTable kWorldIMobTable{Section(kWorldIMobFields), {}, Section(kImageObjectEventOuts)};

constexpr int32_t kQuadVertices = 4;
// Corner k lies at (side x right, rise x up) from the centre; its texture
// coordinate puts the image's first row along the top edge and its first
// column on the viewer's left.
struct QuadCorner {
  float side;
  float rise;
  CVec2f texCoord;
};
constexpr std::array<QuadCorner, kQuadVertices> kQuadCorners{{
    {-1.0f, 1.0f, {0.0f, 0.0f}},
    {1.0f, 1.0f, {1.0f, 0.0f}},
    {1.0f, -1.0f, {1.0f, 1.0f}},
    {-1.0f, -1.0f, {0.0f, 1.0f}},
}};

// The picture shows its own colours, without highlights.
MaterialRecord PictureMaterial() {
  MaterialRecord record;
  record.diffuse = {1.0f, 1.0f, 1.0f};
  record.specular = 0;
  return record;
}

constexpr SFColor kNoKey{-1.0f, -1.0f, -1.0f};

bool IsFinite(const CVec3f& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

CVec3f Normalized(CVec3f v) { return v.Normalize(); }

// Up of the world, or for a viewer straight above or below, the direction
// that keeps the image's top away from the viewer's feet.
CVec3f ReferenceUp(const CVec3f& towardsViewer) {
  if (std::fabs(towardsViewer.x) < kOverheadTolerance && std::fabs(towardsViewer.z) < kOverheadTolerance) {
    return towardsViewer.y > 0.0f ? CVec3f{0.0f, 0.0f, -1.0f} : CVec3f{0.0f, 0.0f, 1.0f};
  }
  return {0.0f, 1.0f, 0.0f};
}

}  // namespace

CWorldIMobNode::CWorldIMobNode() { RegisterFields(kWorldIMobTable); }

void CWorldIMobNode::Load(CViewContext& view) {
  auto mesh = std::make_unique<CMeshBuffer>();
  mesh->SetVertexCount(kQuadVertices);
  if (mesh->VertexCount() != kQuadVertices) return;
  for (int32_t i = 0; i < kQuadVertices; ++i) mesh->SetTexCoord(i, kQuadCorners[static_cast<size_t>(i)].texCoord);
  mesh->SetPolygonCount(1);
  mesh->SetPolygon(0, MeshPolygon{0, kQuadVertices, {0, 1, 2, 3}, {}});
  mesh_ = std::move(mesh);
  CImageObjectNode::Load(view);
}

void CWorldIMobNode::Unload(CViewContext& view) {
  mesh_.reset();
  material_ = {};
  CImageObjectNode::Unload(view);
}

void CWorldIMobNode::Frame(CViewContext& view) {
  StepMedia(view);
  if (!mesh_ || !TakeImage()) return;
  // The viewer's part of the angles lasts one frame; drags and the third
  // axis's rate stay.
  const ObjectViewAngles before = angles_;
  const Placement placement = PlaceInWorld(view);
  const bool drawable = FaceViewer(placement);
  AddViewerAngles(placement);
  if (Type() == ImageObjectType::kMovie) {
    ControlMovie(true);
  } else if (FrameSet()) {
    ChooseFrame(view);
  }
  // The movie or the frame choice may have made another picture.
  if (TakeImage() && drawable) Draw(view);
  angles_[0] = before[0];
  angles_[1] = before[1];
}

CWorldIMobNode::Placement CWorldIMobNode::PlaceInWorld(CViewContext& view) const {
  CVec3f centre{0.0f, 0.0f, 0.0f};
  CVec3f ahead{0.0f, 0.0f, 1.0f};
  view.TransformPoint(centre);
  view.TransformPoint(ahead);
  return {centre, view.GetStage()->eye - centre, Normalized(ahead - centre)};
}

bool CWorldIMobNode::FaceViewer(const Placement& placement) {
  const CVec3f& v = placement.towardsViewer;
  const CVec3f right = Normalized(ReferenceUp(v).Cross(v));
  const CVec3f up = Normalized(v.Cross(right));
  const CVec3f facing = Normalized(v);
  const float halfWidth = width * 0.5f;
  const float halfHeight = height * 0.5f;
  bool finite = true;
  for (int32_t i = 0; i < kQuadVertices; ++i) {
    const QuadCorner& corner = kQuadCorners[static_cast<size_t>(i)];
    const CVec3f position = placement.centre + up * (halfHeight * corner.rise) + right * (halfWidth * corner.side);
    finite = finite && IsFinite(position);
    mesh_->SetVertex(i, position);
    mesh_->SetNormal(i, facing);
  }
  return finite;
}

void CWorldIMobNode::AddViewerAngles(const Placement& placement) {
  const ViewerAngles viewer = ViewerAnglesOf(placement.towardsViewer, placement.axis);
  switch (Type()) {
    case ImageObjectType::kSphere:
      angles_[0] += viewer.elevation;
      angles_[1] += viewer.heading;
      break;
    case ImageObjectType::kDisk: {
      const CVec3f n = Normalized(placement.towardsViewer);
      angles_[0] = (n * (1.0f + diskDrag_) - placement.centre).Length();
      angles_[1] += viewer.heading;
      break;
    }
    default:
      break;
  }
}

void CWorldIMobNode::Draw(CViewContext& view) {
  material_ = PictureMaterial();
  FillTextureImage(material_, Image(), BlueScreenKeys() ? blueScreen : kNoKey);
  CGeometryStage* stage = view.GetStage();
  stage->SetMaterial(&material_);
  // While the button is held the node that was pressed keeps the pointer.
  const bool picking = !view.GetInput().buttonDown;
  if (picking) stage->RequestScreenPick(view.GetPointerX(), view.GetPointerY());
  mesh_->Draw(stage, false, -1);
  if (picking) Pick(view);
}

void CWorldIMobNode::Pick(CViewContext& view) {
  CGeometryStage* stage = view.GetStage();
  pick.pointerX = view.GetPointerX();
  pick.pointerY = view.GetPointerY();
  CVec3f point, normal;
  CVec2f texCoord;
  if (stage->GetPickHit(&point, &normal, &texCoord)) TakeStageHit(0, view, point, normal, texCoord);
}

void CWorldIMobNode::DragFirstAxis(float rangeWidth, float dy) {
  if (Type() == ImageObjectType::kDisk) {
    AddFinite(diskDrag_, rangeWidth * dy * kDiskDragScale);
  } else {
    CImageObjectNode::DragFirstAxis(rangeWidth, dy);
  }
}

void CWorldIMobNode::OnPointerClick(CViewContext* /*view*/) {
  SendPointerEvents("goodClick", "clickPt", pick.hitTexCoord);
}

void CWorldIMobNode::OnPointerOver() { SendPointerEvents("goodOver", "overPt", pick.hitTexCoord); }

void RegisterWorldIMobNode(NodeClassTable& table) { table.Add<CWorldIMobNode>("WorldIMob"); }

}  // namespace vx
