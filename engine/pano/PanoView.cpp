#include "engine/pano/PanoView.h"

#include <algorithm>
#include <cmath>

#include "engine/render/Numeric.h"
#include "engine/math/FastTrig.h"

namespace vx {
namespace {

// Rows of one frame: every row, or with interlacing every other row of the
// parity that bit 0 of the frame word picks.
struct RowWalk {
  int32_t first;
  int32_t step;
};

RowWalk FrameRows(int32_t interlace, uint32_t frameWord) {
  if (interlace == 1) return {static_cast<int32_t>(frameWord & 1), 2};
  return {0, 1};
}

bool IsFullCircle(const AngleRange& limits) {
  return std::fabs(std::fabs(limits.yawMax - limits.yawMin) - kTwoPi) < kFullCircleTolerance;
}

// Brings a yaw into [low, high) by whole turns.
double WrapYaw(double yaw, double low, double high) {
  const double offset = yaw - low;
  if (std::isfinite(offset) && std::fabs(offset) > kWrapReductionTurns * kTwoPi) yaw = low + std::fmod(offset, kTwoPi);
  for (int32_t i = 0; i < kMaxWrapSteps && yaw >= high; ++i) yaw -= kTwoPi;
  for (int32_t i = 0; i < kMaxWrapSteps && yaw < low; ++i) yaw += kTwoPi;
  return yaw;
}

}  // namespace

int32_t CPanoView::SetRenderer(CPanoRenderer* renderer) {
  renderer_ = renderer;
  return renderer ? 0 : 2;
}

void CPanoView::SetExtraRenderers(std::span<CPanoRenderer* const> renderers) {
  extras_.assign(renderers.begin(), renderers.end());
}

int32_t CPanoView::Prepare() {
  if (!output_.bits) return 2;
  auto prepare = [this](CPanoRenderer& renderer) {
    renderer.SetTarget(this);
    return renderer.Prepare();
  };
  if (renderer_) {
    if (const int32_t result = prepare(*renderer_)) return result;
  }
  for (CPanoRenderer* extra : extras_) {
    if (const int32_t result = prepare(*extra)) return result;
  }
  return 0;
}

CPanoView::RowDrawer CPanoView::MakeDrawer(CPanoRenderer& renderer) {
  PanoBounds bounds;
  renderer.GetBounds(&bounds);
  return {&renderer, bounds, renderer.GetMode()};
}

void CPanoView::DrawRows(std::span<const RowDrawer> drawers) const {
  const RowWalk walk = FrameRows(interlace_, frameWord_);
  for (int32_t row = walk.first; row < output_.height; row += walk.step) {
    for (const RowDrawer& drawer : drawers) {
      if (drawer.mode == 0) continue;
      const int32_t group = (drawer.mode >> kRowPatternShift) & (kRowPatternGroups - 1);
      const RowPatternEntry entry = kRowPattern[group][row & 1];
      if (entry.enable && row >= drawer.bounds.top && row < drawer.bounds.bottom)
        drawer.renderer->DrawRow(row, entry.parameter);
    }
  }
}

int32_t CPanoView::DrawFrame(uint32_t frameWord) {
  frameWord_ = frameWord;
  std::vector<CPanoRenderer*> renderers;
  if (renderer_) renderers.push_back(renderer_);
  renderers.insert(renderers.end(), extras_.begin(), extras_.end());
  if (renderers.empty()) return 2;
  for (CPanoRenderer* renderer : renderers) {
    if (const int32_t result = renderer->Draw()) return result;
  }
  std::vector<RowDrawer> drawers;
  for (CPanoRenderer* renderer : renderers) drawers.push_back(MakeDrawer(*renderer));
  DrawRows(drawers);

  const int32_t mainResult = renderer_ ? renderer_->FinishDraw() : 0;
  for (CPanoRenderer* extra : extras_) {
    if (const int32_t result = extra->FinishDraw()) return result;
  }
  return extras_.empty() ? mainResult : 0;
}

int32_t CPanoView::DrawWithRenderer(CPanoRenderer& renderer, uint32_t frameWord) {
  frameWord_ = frameWord;
  renderer.SetTarget(this);
  renderer.Draw();
  const RowDrawer drawer = MakeDrawer(renderer);
  DrawRows({&drawer, 1});
  renderer.FinishDraw();
  return 0;
}

int32_t CPanoView::Refresh() {
  for (CPanoRenderer* extra : extras_) extra->Refresh();
  return renderer_ ? renderer_->Refresh() : 0;
}

AngleRange CPanoView::GetAngleLimits() const { return renderer_ ? renderer_->GetAngleLimits() : kAnyDirection; }

ZoomLimits CPanoView::GetZoomLimits() const { return renderer_ ? renderer_->GetZoomLimits() : kViewZoomLimits; }

double CPanoView::ClampPitch(double pitch) const {
  const AngleRange limits = GetAngleLimits();
  const double v = field_.vertical;
  if (limits.pitchMax < kPoleRangeLimit) {
    if (pitch + v > limits.pitchMax) pitch = limits.pitchMax - v - kPitchMargin;
  } else if (pitch > kPitchPoleStop) {
    pitch = kPitchPoleStop;
  }
  if (limits.pitchMin > -kPoleRangeLimit) {
    if (pitch - v < limits.pitchMin) pitch = limits.pitchMin + v + kPitchMargin;
  } else if (pitch < -kPitchPoleStop) {
    pitch = -kPitchPoleStop;
  }
  return pitch;
}

double CPanoView::ClampYaw(double yaw) const {
  const AngleRange limits = GetAngleLimits();
  if (IsFullCircle(limits)) return WrapYaw(yaw, limits.yawMin, limits.yawMax);
  const double h = field_.horizontal;
  // Where the range is narrower than the view, the minimum side wins.
  if (yaw + h + kYawTestMargin > limits.yawMax) yaw = limits.yawMax - (h + kYawMoveMargin);
  if (yaw - (h + kYawTestMargin) < limits.yawMin) yaw = limits.yawMin + h + kYawMoveMargin;
  return yaw;
}

int32_t CPanoView::SetFieldOfView(double vertical, float aspect) {
  if (std::isfinite(aspect) && aspect > 0) aspect_ = aspect;
  const ZoomLimits zoom = GetZoomLimits();
  // View limits narrower than the margin (or reversed) would give a field of
  // view of nothing or less, whose tables reach outside the picture: the
  // smallest field of view wins over the largest.
  double v = std::isfinite(vertical) ? vertical : field_.vertical;
  v = std::max(std::min(v, zoom.verticalMax - kZoomMargin), zoom.verticalMin);
  double h = std::atan2(std::tan(v) * aspect_, 1.0);
  if (h > zoom.horizontalMax - kZoomMargin) {
    h = std::max(zoom.horizontalMax - kZoomMargin, zoom.horizontalMin);
    v = std::atan(std::tan(h) / aspect_);
  }
  field_ = {h, v};
  direction_.pitch = ClampPitch(direction_.pitch);
  direction_.yaw = ClampYaw(direction_.yaw);
  return v == vertical ? kViewValueKept : kViewValueClamped;
}

int32_t CPanoView::SetAngles(double pitch, double yaw, double roll) {
  const double newPitch = ClampPitch(std::isfinite(pitch) ? pitch : direction_.pitch);
  const double newYaw = ClampYaw(std::isfinite(yaw) ? yaw : direction_.yaw);
  direction_.pitch = newPitch;
  direction_.yaw = newYaw;
  if (std::isfinite(roll)) direction_.roll = roll;
  return newPitch == pitch && newYaw == yaw ? kViewValueKept : kViewValueClamped;
}

ScreenPoint CPanoView::AnglesToScreen(double yaw, double pitch) const {
  const double p = direction_.pitch;
  const double d = yaw - direction_.yaw;
  const double cosP = FastCos(p), sinP = FastSin(p);
  const double cosD = FastCos(d), sinD = FastSin(d);
  const double tanQ = Tan(pitch);
  const double tanV = Tan(field_.vertical), tanH = Tan(field_.horizontal);
  // Depth of the direction along the line of sight, and its height above it.
  const double depth = cosP * cosD + tanQ * sinP;
  const double yn = (tanQ * cosP - sinP * cosD) / (depth * tanV);
  const double xn = sinD / (depth * tanH);
  return {0.5 + 0.5 * xn, 0.5 - 0.5 * yn};
}

ViewAngles CPanoView::ScreenToAngles(double x, double y) const {
  const double p = direction_.pitch;
  const double cosP = FastCos(p), sinP = FastSin(p);
  const double xt = (x - 0.5) * 2 * Tan(field_.horizontal);
  const double yt = (0.5 - y) * 2 * Tan(field_.vertical);
  const double k = cosP - yt * sinP;
  double offset = 0;
  if (!(-kConversionGuard < k && k < kConversionGuard)) {
    offset = FastAtan(xt / k);
    if (k < 0) offset += kPi;
  }
  const double s = yt * cosP + sinP;
  const double r = k / FastCos(offset);
  double pitch;
  if (-kConversionGuard < r && r < kConversionGuard) {
    pitch = s > 0 ? kHalfPi : -kHalfPi;
  } else {
    pitch = FastAtan(s / r);
  }
  double yaw = direction_.yaw + offset;

  const AngleRange limits = GetAngleLimits();
  if (pitch <= limits.pitchMin) {
    yaw += kPi;
    pitch = -kPi - pitch;
  } else if (pitch > limits.pitchMax) {
    yaw += kPi;
    pitch = kPi - pitch;
  }
  if (std::fabs((limits.yawMax - limits.yawMin) - kTwoPi) < kScreenWrapTolerance) {
    if (yaw < limits.yawMin) {
      yaw += kTwoPi;
    } else if (yaw > limits.yawMax) {
      yaw -= kTwoPi;
    }
  }
  return {yaw, pitch};
}

bool CPanoView::GetVisibleImageRect(int32_t width, int32_t height, PanoBounds* rect) const {
  *rect = {};
  if (!renderer_) return false;
  enum Sample { kTopLeft, kTopMiddle, kTopRight, kBottomLeft, kBottomMiddle, kBottomRight, kSampleCount };
  constexpr double kSampleX[3] = {0, 0.5, 1};
  std::array<ViewAngles, kSampleCount> angles;
  std::array<ImagePoint, kSampleCount> points{};
  for (int32_t i = 0; i < kSampleCount; ++i) {
    angles[i] = ScreenToAngles(kSampleX[i % 3], i < 3 ? 0.0 : 1.0);
    renderer_->AnglesToImage(angles[i].yaw, angles[i].pitch, &points[i]);
  }

  double left, right, top, bottom;
  const double yawSpread = std::fabs(angles[kTopMiddle].yaw - angles[kBottomMiddle].yaw);
  if (yawSpread > kPoleYawLow && yawSpread < kPoleYawHigh) {
    // The view straddles a pole: every column is in view.
    left = 0;
    right = 1;
    if (direction_.pitch >= 0) {
      top = 0;
      bottom = std::max(points[kTopLeft].v, points[kBottomLeft].v);
    } else {
      top = std::min(points[kTopLeft].v, points[kBottomLeft].v);
      bottom = 0;
    }
  } else {
    const bool up = direction_.pitch >= 0;
    left = points[up ? kTopLeft : kBottomLeft].u;
    right = points[up ? kTopRight : kBottomRight].u;
    top = points[angles[kTopMiddle].pitch >= 0 ? kTopMiddle : kTopLeft].v;
    bottom = points[angles[kBottomMiddle].pitch >= 0 ? kBottomLeft : kBottomMiddle].v;
  }
  if (right < left) right += 1;
  if (bottom < top) bottom += 1;

  rect->top = std::max(TruncToInt((height - 1) * top - 0.5), 0);
  rect->left = TruncToInt((width - 1) * left - 0.5);
  rect->bottom = TruncToInt((height - 1) * bottom + 0.5);
  if (rect->bottom >= height) rect->bottom = height - 1;
  rect->right = TruncToInt((width - 1) * right + 0.5);
  return true;
}

}  // namespace vx
