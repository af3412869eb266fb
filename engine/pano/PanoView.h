// How a panorama is looked at: the output image, the field of view, the
// view direction kept inside the renderer's limits, the conversions between
// output positions and directions, and the row-by-row drawing of renderers.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/pano/PanoLimits.h"
#include "engine/pano/PanoRenderer.h"

namespace vx {

struct ViewDirection {
  double pitch = 0;
  double yaw = 0;
  double roll = 0;  // about the viewing axis; kept as given
};

struct FieldOfView {
  double horizontal = kViewHalfAngle;  // half-angles
  double vertical = kViewHalfAngle;
};

// A direction's place in the output image, as fractions (0 at the top left).
struct ScreenPoint {
  double x = 0;
  double y = 0;
};

struct ViewAngles {
  double yaw = 0;
  double pitch = 0;
};

// Results of SetAngles and SetFieldOfView.
inline constexpr int32_t kViewValueKept = 0;
inline constexpr int32_t kViewValueClamped = 2;

class CPanoView {
 public:
  void SetOutputImage(const MediaImageInfo& image) { output_ = image; }
  const MediaImageInfo& GetOutputImage() const { return output_; }
  // 1 draws every other row per frame (interlaced stereo output).
  void SetInterlace(int32_t flag) { interlace_ = flag; }
  int32_t GetInterlace() const { return interlace_; }
  // The quality class the renderers read.
  void SetResolution(int32_t value) { resolution_ = value; }
  int32_t GetResolution() const { return resolution_; }

  // The view does not own its renderers. Null clears it and answers 2.
  int32_t SetRenderer(CPanoRenderer* renderer);
  CPanoRenderer* GetRenderer() const { return renderer_; }
  // Drawn after the main renderer, in this order.
  void SetExtraRenderers(std::span<CPanoRenderer* const> renderers);
  std::span<CPanoRenderer* const> GetExtraRenderers() const { return extras_; }

  // Targets and prepares each renderer; 2 without output pixels, else the
  // first non-zero result of a renderer.
  int32_t Prepare();
  // Draw of every renderer, then their rows by row pattern and bounds, then
  // FinishDraw. A non-zero Draw means that renderer drew the whole frame and
  // ends it. 2 when there is no renderer at all.
  int32_t DrawFrame(uint32_t frameWord);
  int32_t DrawWithRenderer(CPanoRenderer& renderer, uint32_t frameWord);
  uint32_t GetFrameWord() const { return frameWord_; }
  // Extra renderers first; the main renderer's result (0 without one).
  int32_t Refresh();

  ScreenPoint AnglesToScreen(double yaw, double pitch) const;
  ViewAngles ScreenToAngles(double x, double y) const;

  // The vertical half-angle and the aspect (width / height), clamped to the
  // zoom limits; the direction is clamped again for the new field. 2 when the
  // vertical half-angle was changed.
  int32_t SetFieldOfView(double vertical, float aspect);
  // Pitch and yaw are clamped to the angle limits; 2 when either changed.
  // A value that is not a finite number keeps the current one.
  int32_t SetAngles(double pitch, double yaw, double roll);
  void SetAuxWords(const std::array<uint32_t, 3>& words) { aux_ = words; }
  std::array<uint32_t, 3> GetAuxWords() const { return aux_; }
  float GetAspect() const { return aspect_; }
  FieldOfView GetFieldOfView() const { return field_; }
  ViewDirection GetAngles() const { return direction_; }
  AngleRange GetAngleLimits() const;
  ZoomLimits GetZoomLimits() const;

  // The pixels of a width x height panorama picture that the view shows,
  // through the main renderer's mapping; false (and an empty rectangle)
  // without renderer. Right may pass the width where the region wraps.
  bool GetVisibleImageRect(int32_t width, int32_t height, PanoBounds* rect) const;

 private:
  struct RowDrawer {
    CPanoRenderer* renderer;
    PanoBounds bounds;
    int16_t mode;
  };
  void DrawRows(std::span<const RowDrawer> drawers) const;
  static RowDrawer MakeDrawer(CPanoRenderer& renderer);

  double ClampPitch(double pitch) const;
  double ClampYaw(double yaw) const;

  CPanoRenderer* renderer_ = nullptr;
  std::vector<CPanoRenderer*> extras_;
  int32_t resolution_ = kViewResolution;
  ViewDirection direction_;
  FieldOfView field_;
  float aspect_ = 1.0f;
  std::array<uint32_t, 3> aux_{};
  int32_t interlace_ = 0;
  MediaImageInfo output_;
  uint32_t frameWord_ = 0;
};

}  // namespace vx
