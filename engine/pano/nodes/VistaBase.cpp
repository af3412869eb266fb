#include "engine/pano/nodes/VistaBase.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "engine/media/MediaFactories.h"
#include "engine/pano/PanoLimits.h"
#include "engine/pano/PanoRendererFactory.h"
#include "engine/scene/ViewServices.h"
#include "engine/world/NavigationSettings.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

// The hot-spot marker: two red rings on black, which is left out when the
// marker is copied. Rows 0-3 and 28-31 are black.
constexpr int32_t kMarkerFirstRow = 4;
constexpr const char* kMarkerRows[] = {
    ".............ooooooo............", "..........oooooooooooo..........", ".........oooooooooooooo.........",
    "........ooooooo...ooooooo.......", ".......ooooo........oooooo......", "......oooo............oooo......",
    ".....oooo.....oooo.....oooo.....", ".....oooo...oooooooo....ooo.....", ".....ooo...oooooooooo...oooo....",
    "....oooo...oooo..ooooo..oooo....", "....oooo..oooo....oooo...ooo....", "....ooo...ooo......ooo...ooo....",
    "....ooo...ooo......ooo...ooo....", "....ooo...oooo.....ooo...ooo....", "....oooo...oooo...oooo...ooo....",
    "....oooo...oooooooooo...oooo....", ".....oooo...oooooooo....ooo.....", ".....oooo....oooooo....oooo.....",
    "......oooo............oooo......", ".......oooo..........ooooo......", ".......oooooo......oooooo.......",
    "........oooooooooooooooo........", "..........oooooooooooo..........", "............oooooooo............",
};
constexpr uint32_t kMarkerRed = 0xFF0000;
constexpr int32_t kMarkerHalf = kVistaMarkerSize / 2;

constexpr std::string_view kLinkBehaviour = "vxn:link";

SFVec2f Clamped(SFVec2f range, float limit) {
  return {std::clamp(range.x, -limit, limit), std::clamp(range.y, -limit, limit)};
}

SFVec2f Ordered(SFVec2f range) {
  if (range.x > range.y) std::swap(range.x, range.y);
  return range;
}

SFVec2f WholeTurnWhenEmpty(SFVec2f range) {
  return std::fabs(range.y - range.x) < kVistaFullTurnTolerance ? SFVec2f{0, kVistaTwoPi} : range;
}

bool SamePixels(const PixelMap& a, const PixelMap& b) {
  return a.bits == b.bits && a.width == b.width && a.height == b.height && a.rowBytes == b.rowBytes &&
         a.bytesPerPixel == b.bytesPerPixel;
}

bool FitsInt16(uint16_t count) { return count > 0 && count <= std::numeric_limits<int16_t>::max(); }

}  // namespace

int16_t ProjectionOfKeyword(std::string_view keyword) {
  if (keyword == "SPHERE") return static_cast<int16_t>(PanoProjection::kSphere);
  if (keyword == "CYLINDER") return static_cast<int16_t>(PanoProjection::kCylinder);
  if (keyword == "CUBE") return static_cast<int16_t>(PanoProjection::kCube);
  return 0;
}

CVistaBase::~CVistaBase() = default;

void CVistaBase::OnPointerClick(CViewContext* /*view*/) { SendEvent("clickPt", &pointerPoint_); }

void CVistaBase::OnPointerOver() { SendEvent("overPt", &pointerPoint_); }

bool CVistaBase::HasFailed(int32_t state) { return state == MediaFailedNoFile || state == MediaUnusable; }

void CVistaBase::ReportBinding(CViewContext& view, const CNode& node, bool bound) {
  view.GetServices()->ReportVistaBinding(node, bound);
}

bool CVistaBase::BeginTraverse(CViewContext* view) {
  if (!view || !view->GetServices() || !view->GetWorld()) return false;
  if (!marker_) MakeMarkerImage(*view);
  FollowOutput(*view);
  // The node's turn in the scene; none when the world draws it as the
  // frame's background, with no matrix on the stack.
  CVec3f origin{0, 0, 0};
  CVec3f ahead{0, 0, 1};
  view->TransformPoint(origin);
  view->TransformPoint(ahead);
  yawOffset_ = std::atan2(-(ahead.x - origin.x), ahead.z - origin.z);
  return true;
}

void CVistaBase::MakeMarkerImage(CViewContext& view) {
  std::unique_ptr<CDibImage> image =
      CDibImage::Create(kVistaMarkerSize, kVistaMarkerSize, 32, nullptr, false, false);
  if (!image || !image->GetBits()) return;
  const PixelMap map = image->GetPixelMap();
  for (int32_t y = 0; y < kVistaMarkerSize; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(map.Row(y));
    const int32_t index = y - kMarkerFirstRow;
    const bool patterned = index >= 0 && index < static_cast<int32_t>(std::size(kMarkerRows));
    for (int32_t x = 0; x < kVistaMarkerSize; ++x) {
      row[x] = patterned && kMarkerRows[index][x] == 'o' ? kMarkerRed : 0;
    }
  }
  const int32_t depth = view.GetColorDepth();
  if (depth != 32) {
    std::unique_ptr<CDibImage> converted =
        CDibImage::Create(kVistaMarkerSize, kVistaMarkerSize, depth, &view.GetColorTable(), false, false);
    if (!converted || !converted->GetBits()) return;
    ConvertPixelMapFrom32(map, converted->GetPixelMap(), view.GetColorTable(), view.GetInverseColorMap());
    image = std::move(converted);
  }
  marker_ = std::move(image);
}

void CVistaBase::FollowOutput(CViewContext& view) {
  const PixelMap& frame = view.GetFrameBuffer();
  if (!context_ || SamePixels(frame, lastFrame_)) return;
  lastFrame_ = frame;
  lastFrame_.rows = nullptr;
  PanoSetOutputRect(context_.get(), lastFrame_);
}

void CVistaBase::LimitZoom(CViewContext& view) {
  float fieldOfView = view.GetFieldOfView();
  if (fieldOfView < zoomRange.x) fieldOfView = zoomRange.x;
  if (fieldOfView > zoomRange.y) fieldOfView = zoomRange.y;
  view.SetFieldOfView(fieldOfView, false);
  if (context_) PanoSetFieldOfView(context_.get(), fieldOfView);
}

void CVistaBase::UpdatePointerPoint(const CViewContext& view) {
  if (!context_) return;
  const PanoAngles direction{view.GetPointerYaw() - yawOffset_, view.GetPointerPitch(), 0};
  ImagePoint point{pointerPoint_.x, pointerPoint_.y, 0};
  if (PanoAnglesToImage(context_.get(), direction, &point) == kPanoOk) pointerPoint_ = {point.u, point.v};
}

void CVistaBase::OpenPicture(const SFString& url, CViewContext& view) {
  image_.reset();
  std::string resolved;
  if (ResolveUrl(TextOf(url), resolved) != 0) return;
  image_ = CreatePanoramaImage(resolved.c_str());
  if (!image_) return;
  image_->SetPalette(&view.GetColorTable());
  image_->SetPixelDepth(view.GetColorDepth());
  image_->SetFrameCallback(PictureCallback());
  (void)image_->Process();
}

int32_t CVistaBase::SetUpTiles(CViewContext& view, int32_t state) {
  if (tilesSet_ || !image_) return state;
  FrameGrid grid;
  // A grid without frames in either direction has no tiles to keep.
  if (!image_->GetFrameGrid(&grid) || !FitsInt16(grid.framesDown) || !FitsInt16(grid.framesAcross)) return state;
  tilesSet_ = true;
  const SFVec2f vertical = VerticalExtent();
  const SFVec2f horizontal = HorizontalExtent();
  uint16_t down = 0, across = 0;
  TilesForFieldOfView(static_cast<uint16_t>(view.GetColorDepth()), vertical.y - vertical.x,
                      horizontal.y - horizontal.x, static_cast<int16_t>(grid.framesDown),
                      static_cast<int16_t>(grid.framesAcross), &down, &across);
  image_->SetViewTiles(static_cast<int16_t>(down), static_cast<int16_t>(across));
  state = image_->Process();
  (void)image_->GetImageInfo(&source_);
  return state;
}

PixelMap CVistaBase::RendererSource(int32_t eye) const {
  PixelMap source = source_;
  if (!IsStereoPicture()) return source;
  source.height /= 2;
  if (eye == 0) return source;
  // A tiled picture's row table holds the rows of both halves.
  if (source.rows) {
    source.rows += source.height;
  } else if (source.bits) {
    source.bits += static_cast<ptrdiff_t>(source.height) * source.rowBytes;
  }
  return source;
}

void CVistaBase::ApplyRanges(CViewContext& view) {
  rangesApplied_ = true;
  PanoContext* context = context_.get();
  // An unknown projection leaves the context without renderer, and every
  // drawing call then does nothing.
  (void)PanoCreateRenderer(context, RendererSource(), projection_);
  PanoSetResolution(context, kVistaResolution);

  SFVec2f vertical = Ordered(Clamped(VerticalExtent(), kVistaHalfPi));
  pitchRange = Ordered(Clamped(pitchRange, kVistaHalfPi));
  if (pitchRange.y - pitchRange.x < kVistaMinPitchSpan) pitchRange.y += kVistaMinPitchSpan;
  const std::string_view keyword = TextOf(type);
  if (keyword == "CYLINDER" || keyword == "SINE") {
    vertical = Clamped(vertical, kVistaCylinderPitchLimit);
    pitchRange = Clamped(pitchRange, kVistaCylinderPitchLimit);
  }
  StoreVerticalExtent(vertical);

  const SFVec2f yaw = WholeTurnWhenEmpty(yawRange);
  PanoSetViewLimits(context, {yaw.x, yaw.y, pitchRange.x, pitchRange.y});
  const SFVec2f extent = WholeTurnWhenEmpty(HorizontalExtent());
  PanoSetImageExtent(context, {extent.x, extent.y, vertical.x, vertical.y});

  LimitZoom(view);
  // The new limits hold the view, and the camera follows it.
  PanoAngles angles;
  PanoGetViewAngles(context, &angles);
  PanoSetViewAngles(context, {angles.yaw, angles.pitch, 0});
  PanoGetViewAngles(context, &angles);
  view.SetOrientation(angles.pitch, angles.yaw + yawOffset_, 0, false);
}

void CVistaBase::UpdatePictureView(int32_t eye) {
  if (!image_) return;
  const int32_t height = image_->GetHeight();
  const int32_t eyeHeight = IsStereoPicture() ? height / 2 : height;
  const int32_t firstRow = IsStereoPicture() && eye == 1 ? eyeHeight : 0;
  PanoBounds rect;
  if (PanoGetVisibleImageRect(context_.get(), image_->GetWidth(), eyeHeight, &rect) == kPanoOk) {
    (void)image_->UpdateView({static_cast<int16_t>(rect.top + firstRow), static_cast<int16_t>(rect.left),
                              static_cast<int16_t>(rect.bottom + firstRow), static_cast<int16_t>(rect.right)});
  }
  (void)image_->GetImageInfo(&source_);
}

void CVistaBase::ClearSource() {
  source_.bits = nullptr;
  source_.rows = nullptr;
}

// The hot spots are the bounds of the "vxn:link" Scripts that clickPt is
// routed to.
void CVistaBase::DrawHotSpotMarkers(CViewContext& view) {
  if (!marker_ || !context_) return;
  const IViewServices* services = view.GetServices();
  if (std::none_of(std::begin(kVistaMarkerKeys), std::end(kVistaMarkerKeys),
                   [services](int32_t key) { return services->IsKeyDown(key); })) {
    return;
  }
  for (const RouteTarget& route : GetRoutes(FieldKind::EventOut, FindEventOut("clickPt"))) {
    const CNodeRef target(route.node.Get());
    if (target && target->GetTypeId() == NodeTypeScript) MarkHotSpot(view, *target.Get());
  }
}

void CVistaBase::MarkHotSpot(CViewContext& view, CNode& link) {
  const MFString* url = FieldOf<MFString>(&link, "url");
  const SFVec2f* xBounds = FieldOf<SFVec2f>(&link, "xBounds");
  const SFVec2f* yBounds = FieldOf<SFVec2f>(&link, "yBounds");
  if (!url || url->count <= 0 || TextOf((*url)[0]) != kLinkBehaviour || !xBounds || !yBounds) return;
  if (xBounds->y - xBounds->x > kVistaHotSpotMaxShare && yBounds->y - yBounds->x > kVistaHotSpotMaxShare) return;

  // A spot whose right edge lies left of its left edge crosses the seam.
  const float x = xBounds->y > xBounds->x ? (xBounds->x + xBounds->y) / 2
                                          : std::fmod((xBounds->x + xBounds->y + 1) / 2, 1.0f);
  const float y = (yBounds->x + yBounds->y) / 2;
  PanoAngles direction;
  if (PanoImageToAngles(context_.get(), x, y, &direction) != kPanoOk) return;
  const CVec3f toSpot{-std::sin(direction.yaw) * std::cos(direction.pitch), std::sin(direction.pitch),
                      std::cos(direction.yaw) * std::cos(direction.pitch)};
  if (toSpot.Dot(view.GetViewDirection()) < 0) return;

  PanoScreenPoint screen;
  PanoAnglesToScreen(context_.get(), direction, &screen);
  const PixelMap& frame = view.GetFrameBuffer();
  const PixelMap marker = marker_->GetPixelMap();
  if (!frame.bits || frame.bytesPerPixel != marker.bytesPerPixel) return;
  const auto left = static_cast<int32_t>(std::trunc((frame.width - 1) * screen.x)) - kMarkerHalf;
  const auto top = static_cast<int32_t>(std::trunc((frame.height - 1) * screen.y)) - kMarkerHalf;
  if (left <= 0 || top <= 0 || left + kVistaMarkerSize - 1 >= frame.width ||
      top + kVistaMarkerSize - 1 >= frame.height) {
    return;
  }
  PixelMap place = frame;
  place.bits = frame.Row(top) + static_cast<ptrdiff_t>(left) * frame.bytesPerPixel;
  place.width = place.height = kVistaMarkerSize;
  place.rows = nullptr;
  const KeyColor black{{0, 0, 0}, view.GetInverseColorMap()};
  CopyPixelMapKeyed(marker, place, &black);
}

}  // namespace vx
