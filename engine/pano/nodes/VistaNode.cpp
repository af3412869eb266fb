#include "engine/pano/nodes/VistaNode.h"

#include <cmath>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/hostlink/FrameDemand.h"
#include "engine/media/MediaLimits.h"
#include "engine/media/nodes/MovieTextureNode.h"
#include "engine/media/panorama/RowTable.h"
#include "engine/pano/PanoLimits.h"
#include "engine/pano/PanoRendererFactory.h"
#include "engine/pano/SkyGroundPainter.h"
#include "engine/pano/nodes/VistaLegacyNode.h"
#include "engine/scene/FieldTable.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/ViewServices.h"
#include "engine/world/Browser.h"
#include "engine/world/NavigationSettings.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr SFVec2f kPoleToPole[] = {{-kVistaHalfPi, kVistaHalfPi}};
constexpr SFVec2f kNoExtent[] = {{0, 0}};

constexpr FieldSpec kVistaFields[] = {
    Field<&CVistaNode::type>("type", DefaultText("SPHERE")),
    Field<&CVistaNode::texture>("texture"),
    Field<&CVistaNode::vFov>("vFov", DefaultList(kPoleToPole)),
    Field<&CVistaNode::hFov>("hFov", DefaultList(kNoExtent)),
    Field<&CVistaNode::pitchRange>("pitchRange", DefaultFloats(-kVistaHalfPi, kVistaHalfPi)),
    Field<&CVistaNode::yawRange>("yawRange", DefaultFloats(0, 0)),
    Field<&CVistaNode::zoomRange>("zoomRange", DefaultFloats(0, kVistaHalfPi)),
    Field<&CVistaNode::groundColor>("groundColor"),
    Field<&CVistaNode::skyColor>("skyColor"),
    Field<&CVistaNode::groundAngle>("groundAngle"),
    Field<&CVistaNode::skyAngle>("skyAngle"),
    Field<&CVistaNode::stereo>("stereo", DefaultBool(false)),
};
constexpr FieldSpec kVistaEventIns[] = {Event("set_bind", FieldTypeSFBool)};
constexpr FieldSpec kVistaEventOuts[] = {
    Event("clickPt", FieldTypeSFVec2f),
    Event("overPt", FieldTypeSFVec2f),
    Event("isBound", FieldTypeSFBool),
};
constexpr FieldTable kVistaTable{Section(kVistaFields), Section(kVistaEventIns), Section(kVistaEventOuts)};

constexpr int kFirstSkyField = IndexIn(kVistaFields, "groundColor");
constexpr int kLastSkyField = IndexIn(kVistaFields, "skyAngle");
static_assert(kLastSkyField - kFirstSkyField == 3, "the four sky and ground fields stand together");
constexpr int kSetBind = IndexIn(kVistaEventIns, "set_bind");

constexpr AngleRangeF kWholePicture{0, kVistaTwoPi, -kVistaHalfPi, kVistaHalfPi};

bool SameExtent(const SFVec2f& a, const SFVec2f& b) { return a.x == b.x && a.y == b.y; }

std::vector<FloatColor> FloatColors(const MFColor& colors) {
  std::vector<FloatColor> out;
  for (const SFColor& c : colors.Span()) out.push_back({c.r, c.g, c.b});
  return out;
}

void PaintPicture(int32_t message, void* image, void* node) {
  PaintVistaSkyGround(message, static_cast<CDibImage*>(image), static_cast<CVistaNode*>(node));
}

void SendBound(CNode& node, bool bound) {
  const int16_t flag = bound ? 1 : 0;
  node.SendEvent("isBound", &flag);
}

bool NearlyEqual(float a, float b) { return std::fabs(a - b) <= kVistaStillTolerance; }

bool SameCamera(const PanoramaCamera& a, const PanoramaCamera& b) {
  return NearlyEqual(a.pitch, b.pitch) && NearlyEqual(a.yaw, b.yaw) && NearlyEqual(a.roll, b.roll) &&
         NearlyEqual(a.fieldOfView, b.fieldOfView);
}

}  // namespace

void PaintVistaSkyGround(int32_t /*message*/, CDibImage* image, CVistaNode* node) {
  if (!image || !node) return;
  node->skyDirty_ = false;
  if (!image->GetBits()) return;
  const std::vector<FloatColor> sky = FloatColors(node->skyColor);
  const std::vector<FloatColor> ground = FloatColors(node->groundColor);
  const SFVec2f vertical = node->VerticalExtent();
  const SkyGroundDescription description{node->skyAngle.Span(), sky,        node->groundAngle.Span(),
                                         ground,                vertical.x, vertical.y,
                                         TextOf(node->type) == "CUBE"};
  // Panorama pictures, the sky among them, carry the guard rows that the
  // renderers read past the poles.
  const PixelMap picture = PictureBetweenGuards(image->GetPixelMap());
  (void)PaintSkyGround(picture, description, node->inverseMap_);
  RefreshGuardRows(picture);
}

CVistaNode::CVistaNode() { RegisterFields(kVistaTable); }

CVistaNode::~CVistaNode() = default;

SFVec2f CVistaNode::VerticalExtent() const { return vFov.count > 0 ? vFov[0] : kPoleToPole[0]; }

SFVec2f CVistaNode::HorizontalExtent() const { return hFov.count > 0 ? hFov[0] : kNoExtent[0]; }

void CVistaNode::StoreVerticalExtent(const SFVec2f& extent) {
  if (vFov.count > 0) vFov.elements[0] = extent;
}

MediaCallback CVistaNode::PictureCallback() { return {this, &PaintPicture}; }

CNode* CVistaNode::TextureNode() const { return texture.count > 0 ? texture[0].Resolve() : nullptr; }

CMovieTextureNode* CVistaNode::MovieTexture() const { return dynamic_cast<CMovieTextureNode*>(TextureNode()); }

int CVistaNode::OnEventIn(bool isField, int index, const void* value) {
  if (isField) {
    if (index >= kFirstSkyField && index <= kLastSkyField) skyDirty_ = standInSkyDirty_ = true;
    return 0;
  }
  if (index == kSetBind) {
    const bool on = *static_cast<const int16_t*>(value) != 0;
    if (!on && bound_) unbindRequest_ = true;
    if (on && !bound_) bindRequest_ = true;
  }
  return 0;
}

void CVistaNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!BeginTraverse(view)) return;
  LimitZoom(*view);
  const PanoAngles cameraAngles = FollowCamera(*view);
  UpdatePointerPoint(*view);
  // Bound or unbound in the scene's visit, the panorama takes over the
  // background from the next frame on.
  if (unbindRequest_) {
    Unbind(*view);
    RequestFrameNow();
  }
  if (pass == RenderPass::Frame) {
    if (bindRequest_) {
      Bind(*view);
      RequestFrameNow();
    }
    if (bound_ && TakeFramePass(view->GetWorld()->GetFrameNumber())) {
      const int32_t state = StepPicture(*view);
      if (lastFrame_.bits) {
        if (!Draw(*view, state)) view->ClearFrame();
        DrawHotSpotMarkers(*view);
      }
    }
  }
  // The view turns the pointer into a direction through this context
  // before the next frame: from the camera's own direction.
  if (context_) PanoSetViewAngles(context_.get(), cameraAngles);
}

// The camera is held level and inside the panorama's limits. The panorama
// turns with the node's yaw in the scene; the camera keeps its own.
PanoAngles CVistaNode::FollowCamera(CViewContext& view) {
  float pitch = 0, yaw = 0, roll = 0;
  view.GetOrientation(&pitch, &yaw, &roll);
  view.SetOrientation(pitch, yaw, 0, false);
  const PanoAngles camera{yaw, pitch, 0};
  if (context_) {
    PanoSetViewAngles(context_.get(), {yaw - yawOffset_, pitch, 0});
    PanoAngles limited;
    PanoGetViewAngles(context_.get(), &limited);
    view.SetOrientation(limited.pitch, limited.yaw + yawOffset_, limited.roll, false);
  }
  return camera;
}

void CVistaNode::Bind(CViewContext& view) {
  bindRequest_ = false;
  inverseMap_ = view.GetInverseColorMap();
  CBrowser* world = view.GetWorld();
  if (CNode* bound = world->GetVista(); bound && bound != this) {
    const CNodeRef held(bound);
    if (auto* other = dynamic_cast<CVistaNode*>(bound)) other->HandOverTo(*this);
    const int16_t off = 0;
    (void)bound->ReceiveEvent("set_bind", &off);
    bound->Traverse(RenderPass::Frame, &view);
  }
  if (!context_) {
    context_ = PanoCreate();
    if (!context_) return;
    PanoSetImageExtent(context_.get(), kWholePicture);
  }
  PanoContext* context = context_.get();
  PixelMap frame = view.GetFrameBuffer();
  frame.rows = nullptr;
  PanoSetOutputRect(context, frame);
  (void)PanoCreateRenderer(context, {}, static_cast<int16_t>(PanoProjection::kSphere));
  float pitch = 0, yaw = 0, roll = 0;
  view.GetOrientation(&pitch, &yaw, &roll);
  PanoSetViewAngles(context, {yaw - yawOffset_, pitch, 0});
  PanoSetFieldOfView(context, kVistaInitialHalfAngle);

  if (world->GetVista() != this) world->BindVista(this, &view);
  SendBound(*this, true);
  bound_ = true;
  rangesApplied_ = false;
  stillFrames_ = 0;
  stillFrameShown_ = false;
  backWidth_ = backHeight_ = 0;
  if (const int16_t projection = ProjectionOfKeyword(TextOf(type))) projection_ = projection;
  tilesSet_ = false;
  ReportBinding(view, *this, true);
  ChoosePicture(view);
}

void CVistaNode::Unbind(CViewContext& view) {
  unbindRequest_ = false;
  ReportBinding(view, *this, false);
  bound_ = false;
  tilesSet_ = false;
  stillFrameShown_ = false;
  image_.reset();
  sky_.reset();
  standInSky_.reset();
  if (movie_) {
    movie_ = false;
    movieFrame_ = {};
    movieCopy_.reset();
    if (CNode* movie = TextureNode()) movie->Traverse(RenderPass::Deactivate, &view);
  }
  CBrowser* world = view.GetWorld();
  if (world->GetVista() == this) world->BindVista(this, &view);
  SendBound(*this, false);
  ClearSource();
  // The context stays for a later bind, but not the pixels just freed.
  (void)PanoSetSourceImage(context_.get(), source_);
}

// A node of the same projection and extents takes the panorama over; any
// other makes its own.
void CVistaNode::HandOverTo(CVistaNode& next) {
  if (!context_) return;
  if (TextOf(type) == TextOf(next.type) && SameExtent(VerticalExtent(), next.VerticalExtent()) &&
      SameExtent(HorizontalExtent(), next.HorizontalExtent())) {
    next.context_ = std::move(context_);
    next.lastFrame_ = std::exchange(lastFrame_, {});
    return;
  }
  context_.reset();
  lastFrame_ = {};
}

void CVistaNode::ChoosePicture(CViewContext& view) {
  CNode* source = TextureNode();
  const NodeTypeId kind = source ? source->GetTypeId() : NodeTypeBase;
  if (kind == NodeTypeImageTexture) {
    if (const MFString* urls = FieldOf<MFString>(source, "url"); urls && urls->count > 0) {
      urlIndex_ = 0;
      OpenPicture((*urls)[0], view);
      return;
    }
  } else if (kind == NodeTypeMovieTexture) {
    movie_ = true;
    source->Traverse(RenderPass::Activate, &view);
    return;
  }
  MakeSkyImage(view);
}

void CVistaNode::MakeSkyImage(CViewContext& view) {
  if (sky_) return;
  rangesApplied_ = false;
  const bool cube = projection_ == static_cast<int16_t>(PanoProjection::kCube);
  sky_ = CDibImage::Create(cube ? kVistaSkyCubeWidth : kVistaSkySphereWidth,
                           GuardedImageHeight(cube ? kVistaSkyCubeHeight : kVistaSkySphereHeight),
                           view.GetColorDepth(), &view.GetColorTable(), false, false);
  if (sky_ && !sky_->GetBits()) sky_.reset();
  if (!sky_) return;
  source_ = PictureBetweenGuards(sky_->GetPixelMap());
  PaintVistaSkyGround(kMediaMessage, sky_.get(), this);
}

void CVistaNode::KeepMovieFrames(CViewContext& view) {
  movieCopy_ = CDibImage::Create(movieFrame_.width, GuardedImageHeight(movieFrame_.height),
                                 movieFrame_.bytesPerPixel * 8, &view.GetColorTable(), false, false);
  if (movieCopy_ && !movieCopy_->GetBits()) movieCopy_.reset();
  if (!movieCopy_) return;
  source_ = PictureBetweenGuards(movieCopy_->GetPixelMap());
  CopyMovieFrame();
}

void CVistaNode::CopyMovieFrame() {
  if (!movieCopy_ || !movieFrame_.bits) return;
  CopyPixelMap(movieFrame_, source_);
  RefreshGuardRows(source_);
}

// The picture advances from url to url while they fail, and ends at the
// sky. The load state of this frame.
int32_t CVistaNode::StepPicture(CViewContext& view) {
  int32_t state = MediaUnusable;
  if (movie_) {
    CMovieTextureNode* movie = MovieTexture();
    if (!source_.bits && movie) {
      movie->Traverse(RenderPass::Frame, &view);
      state = movie->GetFrameInfo(&movieFrame_);
      if (movieFrame_.bits) KeepMovieFrames(view);
      if (HasFailed(state) && !sky_) MakeSkyImage(view);
    }
    return state;
  }
  if (image_) state = image_->Process();
  if (!image_ || HasFailed(state)) {
    CNode* source = TextureNode();
    const MFString* urls =
        source && source->GetTypeId() == NodeTypeImageTexture ? FieldOf<MFString>(source, "url") : nullptr;
    if (urls && urlIndex_ + 1 < urls->count) {
      tilesSet_ = rangesApplied_ = false;
      ++urlIndex_;
      OpenPicture((*urls)[urlIndex_], view);
    } else if (!sky_) {
      // A failed picture would hide the sky behind it.
      image_.reset();
      MakeSkyImage(view);
    }
  }
  return SetUpTiles(view, state);
}

bool CVistaNode::Draw(CViewContext& view, int32_t state) {
  PanoContext* context = context_.get();
  if (!context || (movie_ ? !source_.bits : !sky_ && !image_) || (image_ && !image_->HasImage())) return false;
  if (!rangesApplied_) ApplyRanges(view);
  if (movie_) {
    if (CNode* movie = TextureNode()) movie->Traverse(RenderPass::Frame, &view);
    CopyMovieFrame();
  }
  const StereoMode mode = view.GetStereoMode();
  const bool eyes = mode == StereoMode::LeftRight || mode == StereoMode::Interlaced;
  const bool sideBySide = mode == StereoMode::LeftRight;
  // Side by side the panorama is prepared for an eye's half, which both
  // halves share, so that its tables stay from frame to frame.
  PanoSetOutputRect(context, EyeOutput(0, sideBySide));
  UpdatePictureView(0);
  PanoSetSourceImage(context, RendererSource(0));
  if (PanoPrepareRender(context) != kPanoOk) return false;
  bool drawn = true;
  if (eyes) drawn = DrawEyes(view);
  // A still frame of one view would stand for both halves side by side.
  if (!sideBySide) RefineStillFrame(view, state);
  // The sky painted now shows from the next frame on.
  if (sky_ && skyDirty_) {
    PaintVistaSkyGround(kMediaMessage, sky_.get(), this);
    RequestFrameNow();
  }
  if (stillFrameShown_) {
    view.GetServices()->CopyBackImageToFrame();
  } else if (!eyes) {
    drawn = DrawPanorama(view);
  }
  // Between frames the panorama answers for the whole frame (the pointer).
  if (sideBySide) PanoSetOutputRect(context, lastFrame_);
  PanoRefreshRenderers(context);
  return drawn;
}

PixelMap CVistaNode::EyeOutput(int32_t eye, bool sideBySide) const {
  PixelMap output = lastFrame_;
  if (!sideBySide) return output;
  output.width /= 2;
  if (eye == 1) output.bits += static_cast<ptrdiff_t>(output.width) * output.bytesPerPixel;
  return output;
}

// Left eye first, from the upper half of a stereo picture; the right eye
// from the lower half. Side by side each eye has its half of the frame.
bool CVistaNode::DrawEyes(CViewContext& view) {
  PanoContext* context = context_.get();
  const bool sideBySide = view.GetStereoMode() == StereoMode::LeftRight;
  PanoSetFrameWord(context, 0);
  bool drawn = DrawPanorama(view);
  if (sideBySide) PanoSetOutputRect(context, EyeOutput(1, sideBySide));
  UpdatePictureView(1);
  PanoSetSourceImage(context, RendererSource(1));
  PanoSetFrameWord(context, 1);
  drawn = PanoPrepareRender(context) == kPanoOk && DrawPanorama(view) && drawn;
  UpdatePictureView(0);
  PanoSetSourceImage(context, RendererSource(0));
  return drawn;
}

// The frame as the panorama draws it; where it cannot, the sky and ground
// that the node shows without a picture.
bool CVistaNode::DrawPanorama(CViewContext& view) {
  PanoContext* context = context_.get();
  if (PanoDrawFrame(context) == kPanoOk) return true;
  // The sky itself was refused: there is nothing else to show.
  if (sky_) return false;
  const CDibImage* sky = StandInSky(view);
  if (!sky) return false;
  const SFVec2f vertical = VerticalExtent();
  return standIn_.Draw(*context, projection_, {0, kVistaTwoPi, vertical.x, vertical.y},
                       PictureBetweenGuards(sky->GetPixelMap()));
}

const CDibImage* CVistaNode::StandInSky(CViewContext& view) {
  const bool cube = projection_ == static_cast<int16_t>(PanoProjection::kCube);
  const int32_t width = cube ? kVistaSkyCubeWidth : kVistaSkySphereWidth;
  if (standInSky_ && standInSky_->GetWidth() != width) standInSky_.reset();
  if (!standInSky_) {
    standInSky_ = CDibImage::Create(width, GuardedImageHeight(cube ? kVistaSkyCubeHeight : kVistaSkySphereHeight),
                                    view.GetColorDepth(), &view.GetColorTable(), false, false);
    if (standInSky_ && !standInSky_->GetBits()) standInSky_.reset();
    if (!standInSky_) return nullptr;
    standInSkyDirty_ = true;
  }
  if (standInSkyDirty_) {
    PaintVistaSkyGround(kMediaMessage, standInSky_.get(), this);
    standInSkyDirty_ = false;
  }
  return standInSky_.get();
}

// After more than a few frames with the camera at rest, the panorama is drawn
// once more finely into the back image, which then stands for the frame
// until the camera moves.
void CVistaNode::RefineStillFrame(CViewContext& view, int32_t state) {
  if (state != MediaComplete) return;
  PanoramaCamera camera{view.GetFieldOfView(), 0, 0, 0};
  view.GetOrientation(&camera.pitch, &camera.yaw, &camera.roll);
  if (SameCamera(camera, lastCamera_)) {
    ++stillFrames_;
  } else {
    lastCamera_ = camera;
    stillFrames_ = 0;
    stillFrameShown_ = false;
  }
  if (stereo) return;
  const PixelMap back = view.GetServices()->GetBackImage();
  if (!back.bits || !lastFrame_.bits) return;
  const bool sameBack = back.width == backWidth_ && back.height == backHeight_;
  if (!sameBack) stillFrameShown_ = false;
  if (stillFrameShown_) return;
  // The frames that lead up to the finer one are asked for: nothing else
  // moves in a still panorama.
  RequestFrameNow();
  if (stillFrames_ <= kVistaStillFrames) return;
  if (!sameBack) {
    backWidth_ = back.width;
    backHeight_ = back.height;
    return;
  }
  // The back image is copied over the frame: it must be one like it.
  if (back.width != lastFrame_.width || back.height != lastFrame_.height ||
      back.bytesPerPixel != lastFrame_.bytesPerPixel) {
    return;
  }
  PanoContext* context = context_.get();
  PanoSetOutputRect(context, back);
  if (PanoPrepareRender(context) == kPanoOk) {
    PanoSetResolution(context, kVistaStillResolution);
    bool drawn = DrawPanorama(view);
    if (view.GetStereoMode() == StereoMode::Interlaced) {
      PanoSetFrameWord(context, 0);
      drawn = DrawPanorama(view) && drawn;
    }
    PanoSetResolution(context, kVistaResolution);
    stillFrameShown_ = drawn;
  }
  PanoSetOutputRect(context, lastFrame_);
  (void)PanoPrepareRender(context);
}

namespace {

CNodeRef MakeVista(const NodeCreation& creation) {
  if (creation.vistaVersion >= kVistaVersionCurrent) return MakeNode<CVistaNode>();
  if (CBrowser* world = creation.scene ? creation.scene->GetWorld() : nullptr) world->SetLegacyPanorama(true);
  return MakeNode<CVistaLegacyNode>();
}

}  // namespace

void RegisterVistaNodes(NodeClassTable& table) { table.Add("Vista", MakeVista); }

}  // namespace vx
