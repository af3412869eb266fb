// The record through which every panorama is drawn, and the plain functions
// that the panorama nodes, the background and the view code call on it. They
// never reach the view or the renderer directly.
//
// Every function takes the context first and is safe with a null context
// (result 1, or nothing for those that return nothing) and with a context
// without renderer (result 2 where a renderer is needed). Angles are radians.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/pano/PanoLimits.h"
#include "engine/pano/PanoRenderer.h"
#include "engine/pano/PanoView.h"

namespace vx {

inline constexpr int32_t kPanoOk = 0;
inline constexpr int32_t kPanoNoContext = 1;  // also: a renderer or buffer that cannot be made
inline constexpr int32_t kPanoNoRenderer = 2;
inline constexpr int32_t kPanoNotDrawn = 3;  // the renderer refused the frame and drew nothing

struct PanoContext {
  std::unique_ptr<CPanoView> view;
  std::unique_ptr<CPanoImageRenderer> renderer;
  // The renderer's scratch memory: made by the first PanoPrepareRender and
  // grown when a renderer or output image needs more.
  std::unique_ptr<uint8_t[]> workBuffer;
  size_t workBufferSize = 0;
  // The output size the renderer last received the buffer for; -1 when it
  // has none.
  int32_t workBufferWidth = -1;
  int32_t workBufferHeight = -1;
  // Handed to the view's frame drawing (bit 0 picks the field when interlacing).
  uint32_t frameWord = 0;
  AngleRangeF viewLimits = kWholeSphereF;
  AngleRangeF imageExtent = kWholeSphereF;
  // Shown where the picture has no pixels; an owner that wants another
  // colour sets these before PanoCreateRenderer.
  uint32_t fillColour = 0;
  uint16_t fillIndex = 0;
};

// Direction as the facade passes it.
struct PanoAngles {
  float yaw = 0;
  float pitch = 0;
  float roll = 0;
};

struct PanoScreenPoint {
  float x = 0;  // fractions of the output image, 0 at the top left
  float y = 0;
};

// A context with its view looking along yaw 0, pitch 0 with a vertical
// half-angle of 25 degrees; null when it cannot be allocated.
[[nodiscard]] std::unique_ptr<PanoContext> PanoCreate();

// Replaces the renderer by one for the projection type (PanoProjection).
// The old renderer goes also when the new one cannot be made (result 1).
[[nodiscard]] int32_t PanoCreateRenderer(PanoContext* context, const MediaImageInfo& source, int16_t type);
// The same with a renderer made by the caller; null leaves none (result 1).
[[nodiscard]] int32_t PanoAttachRenderer(PanoContext* context, const MediaImageInfo& source,
                                         std::unique_ptr<CPanoImageRenderer> renderer);

int32_t PanoSetSourceImage(PanoContext* context, const MediaImageInfo& source);
// Keeps the renderer's source description and replaces its pixels.
int32_t PanoSetSourcePixels(PanoContext* context, uint8_t* pixels);
// The image drawn into; the vertical half-angle stays and the aspect follows
// the image.
int32_t PanoSetOutputRect(PanoContext* context, const MediaImageInfo& output);
// Stored also without renderer.
int32_t PanoSetImageExtent(PanoContext* context, const AngleRangeF& extent);
// Refused (2) without renderer, and then not stored.
int32_t PanoSetViewLimits(PanoContext* context, const AngleRangeF& limits);
// Gives the renderer its work buffer and the view; 1 without output pixels
// or when the buffer cannot be allocated.
[[nodiscard]] int32_t PanoPrepareRender(PanoContext* context);

int32_t PanoSetFieldOfView(PanoContext* context, float vertical);
void PanoGetFieldOfView(const PanoContext* context, float* vertical);
// Pitch and yaw are clamped to the renderer's limits, the roll kept.
int32_t PanoSetViewAngles(PanoContext* context, const PanoAngles& angles);
void PanoGetViewAngles(const PanoContext* context, PanoAngles* angles);
int32_t PanoSetResolution(PanoContext* context, int16_t resolution);
// kPanoOk once the frame is drawn; kPanoNoRenderer without renderer and
// kPanoNotDrawn when the renderer refused the frame, the output untouched.
int32_t PanoDrawFrame(PanoContext* context);
int32_t PanoRefreshRenderers(PanoContext* context);
// Non-zero: draw every other row (interlaced stereo).
void PanoSetViewFlag(PanoContext* context, uint32_t flag);
void PanoSetFrameWord(PanoContext* context, uint32_t frameWord);

// Output fractions to a direction (roll 0) and back.
int32_t PanoScreenToAngles(const PanoContext* context, const PanoScreenPoint& point, PanoAngles* angles);
int32_t PanoAnglesToScreen(const PanoContext* context, const PanoAngles& angles, PanoScreenPoint* point);
// Picture fractions (0 at the left and top) to a direction and back, through
// the renderer; a picture point comes back with w = 1.
int32_t PanoImageToAngles(const PanoContext* context, float u, float v, PanoAngles* angles);
int32_t PanoAnglesToImage(const PanoContext* context, const PanoAngles& angles, ImagePoint* point);
// The pixels of a width x height picture in view; empty without renderer (2).
int32_t PanoGetVisibleImageRect(const PanoContext* context, int32_t width, int32_t height, PanoBounds* rect);

}  // namespace vx
