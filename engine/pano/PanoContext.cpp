#include "engine/pano/PanoContext.h"

#include <new>

#include "engine/pano/PanoRendererFactory.h"

namespace vx {
namespace {

bool HasView(const PanoContext* context) { return context && context->view; }

// The aspect of an image; 0 (which the view ignores) for an empty one.
float AspectOf(const MediaImageInfo& image) {
  if (image.height == 0) return 0.0f;
  return static_cast<float>(static_cast<double>(image.width) / static_cast<double>(image.height));
}

size_t NeededWorkBuffer(const PanoContext& context, const MediaImageInfo& output) {
  return context.renderer->GetWorkBufferSize(output.width, output.height, kWorkBufferQuality, kWorkBufferFlag);
}

void HandWorkBuffer(PanoContext& context, const MediaImageInfo& output) {
  context.renderer->SetWorkBuffer({context.workBuffer.get(), context.workBufferSize}, output.width, output.height,
                                  kWorkBufferQuality, kWorkBufferFlag);
  context.workBufferWidth = output.width;
  context.workBufferHeight = output.height;
}

// The view must never keep a renderer that is gone.
void DropRenderer(PanoContext& context) {
  context.view->SetRenderer(nullptr);
  context.renderer.reset();
  context.workBufferWidth = -1;
  context.workBufferHeight = -1;
}

}  // namespace

std::unique_ptr<PanoContext> PanoCreate() {
  std::unique_ptr<PanoContext> context(new (std::nothrow) PanoContext);
  if (!context) return nullptr;
  context->view.reset(new (std::nothrow) CPanoView);
  if (!context->view) return nullptr;
  CPanoView& view = *context->view;
  view.SetAngles(0, 0, 0);
  view.SetFieldOfView(kInitialVerticalHalfAngle, 1.0f);
  view.SetResolution(kInitialResolution);
  return context;
}

int32_t PanoCreateRenderer(PanoContext* context, const MediaImageInfo& source, int16_t type) {
  if (!HasView(context)) return kPanoNoContext;
  // The old renderer goes before the new one is made, leaving its memory free.
  DropRenderer(*context);
  return PanoAttachRenderer(context, source, MakePanoRenderer(type));
}

int32_t PanoAttachRenderer(PanoContext* context, const MediaImageInfo& source,
                           std::unique_ptr<CPanoImageRenderer> renderer) {
  if (!HasView(context)) return kPanoNoContext;
  DropRenderer(*context);
  if (!renderer) return kPanoNoContext;
  context->renderer = std::move(renderer);
  CPanoImageRenderer& attached = *context->renderer;
  attached.SetSourceImage(source);
  attached.SetViewLimits(context->viewLimits.Widen());
  attached.SetImageExtent(context->imageExtent.Widen());
  attached.SetFillColour(context->fillColour, context->fillIndex);
  context->view->SetRenderer(&attached);
  // A buffer made for another renderer is handed on only when it is large
  // enough for this one; otherwise PanoPrepareRender makes a larger one.
  const MediaImageInfo& output = context->view->GetOutputImage();
  if (output.bits && context->workBuffer && NeededWorkBuffer(*context, output) <= context->workBufferSize)
    HandWorkBuffer(*context, output);
  return kPanoOk;
}

int32_t PanoSetSourceImage(PanoContext* context, const MediaImageInfo& source) {
  if (!context) return kPanoNoContext;
  if (!context->renderer) return kPanoNoRenderer;
  context->renderer->SetSourceImage(source);
  return kPanoOk;
}

int32_t PanoSetSourcePixels(PanoContext* context, uint8_t* pixels) {
  if (!context) return kPanoNoContext;
  if (!context->renderer) return kPanoNoRenderer;
  MediaImageInfo source = context->renderer->GetSourceImage();
  source.bits = pixels;
  context->renderer->SetSourceImage(source);
  return kPanoOk;
}

int32_t PanoSetOutputRect(PanoContext* context, const MediaImageInfo& output) {
  if (!HasView(context)) return kPanoNoContext;
  CPanoView& view = *context->view;
  view.SetOutputImage(output);
  view.SetFieldOfView(view.GetFieldOfView().vertical, AspectOf(output));
  return kPanoOk;
}

int32_t PanoSetImageExtent(PanoContext* context, const AngleRangeF& extent) {
  if (!context) return kPanoNoContext;
  context->imageExtent = extent;
  if (context->renderer) context->renderer->SetImageExtent(extent.Widen());
  return kPanoOk;
}

int32_t PanoSetViewLimits(PanoContext* context, const AngleRangeF& limits) {
  if (!context) return kPanoNoContext;
  if (!context->renderer) return kPanoNoRenderer;
  context->viewLimits = limits;
  context->renderer->SetViewLimits(limits.Widen());
  return kPanoOk;
}

int32_t PanoPrepareRender(PanoContext* context) {
  if (context && !context->renderer) return kPanoNoRenderer;
  if (!HasView(context)) return kPanoNoContext;
  CPanoView& view = *context->view;
  const MediaImageInfo& output = view.GetOutputImage();
  if (!output.bits) return kPanoNoContext;

  // The buffer is kept for the life of the context, but never handed to a
  // renderer that needs more than it holds.
  const size_t needed = NeededWorkBuffer(*context, output);
  if (!context->workBuffer || needed > context->workBufferSize) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[needed]);
    if (!buffer) return kPanoNoContext;
    context->workBuffer = std::move(buffer);
    context->workBufferSize = needed;
    HandWorkBuffer(*context, output);
  } else if (context->workBufferWidth != output.width || context->workBufferHeight != output.height) {
    HandWorkBuffer(*context, output);
  }
  view.SetRenderer(context->renderer.get());
  view.Prepare();
  return kPanoOk;
}

int32_t PanoSetFieldOfView(PanoContext* context, float vertical) {
  if (!HasView(context)) return kPanoNoContext;
  context->view->SetFieldOfView(vertical, AspectOf(context->view->GetOutputImage()));
  return kPanoOk;
}

void PanoGetFieldOfView(const PanoContext* context, float* vertical) {
  if (!HasView(context)) return;
  *vertical = static_cast<float>(context->view->GetFieldOfView().vertical);
}

int32_t PanoSetViewAngles(PanoContext* context, const PanoAngles& angles) {
  if (!HasView(context)) return kPanoNoContext;
  context->view->SetAngles(angles.pitch, angles.yaw, angles.roll);
  return kPanoOk;
}

void PanoGetViewAngles(const PanoContext* context, PanoAngles* angles) {
  if (!HasView(context)) return;
  const ViewDirection direction = context->view->GetAngles();
  *angles = {static_cast<float>(direction.yaw), static_cast<float>(direction.pitch),
             static_cast<float>(direction.roll)};
}

int32_t PanoSetResolution(PanoContext* context, int16_t resolution) {
  if (!HasView(context)) return kPanoNoContext;
  context->view->SetResolution(resolution);
  return kPanoOk;
}

int32_t PanoDrawFrame(PanoContext* context) {
  if (!HasView(context)) return kPanoNoContext;
  if (!context->view->GetRenderer()) return kPanoNoRenderer;
  return context->view->DrawFrame(context->frameWord) == 0 ? kPanoOk : kPanoNotDrawn;
}

int32_t PanoRefreshRenderers(PanoContext* context) {
  if (!HasView(context)) return kPanoNoContext;
  context->view->Refresh();
  return kPanoOk;
}

void PanoSetViewFlag(PanoContext* context, uint32_t flag) {
  if (!HasView(context)) return;
  context->view->SetInterlace(flag != 0 ? 1 : 0);
}

void PanoSetFrameWord(PanoContext* context, uint32_t frameWord) {
  if (context) context->frameWord = frameWord;
}

int32_t PanoScreenToAngles(const PanoContext* context, const PanoScreenPoint& point, PanoAngles* angles) {
  if (!HasView(context)) return kPanoNoContext;
  const ViewAngles result = context->view->ScreenToAngles(point.x, point.y);
  *angles = {static_cast<float>(result.yaw), static_cast<float>(result.pitch), 0.0f};
  return kPanoOk;
}

int32_t PanoAnglesToScreen(const PanoContext* context, const PanoAngles& angles, PanoScreenPoint* point) {
  if (!HasView(context)) return kPanoNoContext;
  const ScreenPoint result = context->view->AnglesToScreen(angles.yaw, angles.pitch);
  *point = {static_cast<float>(result.x), static_cast<float>(result.y)};
  return kPanoOk;
}

int32_t PanoImageToAngles(const PanoContext* context, float u, float v, PanoAngles* angles) {
  if (!context) return kPanoNoContext;
  if (!context->renderer) return kPanoNoRenderer;
  double yaw = 0, pitch = 0;
  context->renderer->ImageToAngles(u, v, &yaw, &pitch);
  *angles = {static_cast<float>(yaw), static_cast<float>(pitch), 0.0f};
  return kPanoOk;
}

int32_t PanoAnglesToImage(const PanoContext* context, const PanoAngles& angles, ImagePoint* point) {
  if (!context) return kPanoNoContext;
  if (!context->renderer) return kPanoNoRenderer;
  ImagePoint result;
  context->renderer->AnglesToImage(angles.yaw, angles.pitch, &result);
  *point = {result.u, result.v, 1.0f};
  return kPanoOk;
}

int32_t PanoGetVisibleImageRect(const PanoContext* context, int32_t width, int32_t height, PanoBounds* rect) {
  if (!HasView(context)) return kPanoNoContext;
  return context->view->GetVisibleImageRect(width, height, rect) ? kPanoOk : kPanoNoRenderer;
}

}  // namespace vx
