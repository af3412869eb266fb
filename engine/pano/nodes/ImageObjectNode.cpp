#include "engine/pano/nodes/ImageObjectNode.h"

#include <cmath>

#include "engine/media/MediaFactories.h"
#include "engine/pano/PanoLimits.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

using HandleMaker = std::unique_ptr<CMediaHandle> (*)(const char* name);

struct TypeName {
  std::string_view name;
  ImageObjectType type;
};

constexpr TypeName kTypeNames[] = {
    {"SPHERE", ImageObjectType::kSphere},
    {"DISK", ImageObjectType::kDisk},
    {"PICT", ImageObjectType::kPicture},
    {"MOVIE", ImageObjectType::kMovie},
};

// A movie keeps its own sound level, centred.
constexpr float kMovieVolume = 1.0f;
constexpr float kMovieBalance = 0.0f;

// The movie loops from the first frame on: a run that started before any
// time and never stops.
constexpr PlaybackTimes kLoopForever{1.0, 0.0, 0.0, true};

HandleMaker MakerFor(ImageObjectType type) {
  switch (type) {
    case ImageObjectType::kSphere:
    case ImageObjectType::kDisk:
      return [](const char* name) -> std::unique_ptr<CMediaHandle> { return CreateFrameSetTexture(name); };
    case ImageObjectType::kPicture:
      return [](const char* name) -> std::unique_ptr<CMediaHandle> { return CreateImageHandle(name); };
    case ImageObjectType::kMovie:
      return [](const char* name) -> std::unique_ptr<CMediaHandle> { return CreateMovieHandle(name); };
    case ImageObjectType::kUnknown:
      break;
  }
  return nullptr;
}

// Seconds of one frame at the world's frame rate; none without a usable
// rate.
double FrameSeconds(const CViewContext& view) {
  const CBrowser* world = view.GetWorld();
  const double rate = world ? world->GetFrameRate() : 0.0;
  return rate > 0.0 && std::isfinite(rate) ? 1.0 / rate : 0.0;
}

template <typename T>
std::span<const T> SpanOf(const MF<T>& values) {
  return values.Span();
}

}  // namespace

ImageObjectType ImageObjectTypeByName(std::string_view name) {
  for (const TypeName& entry : kTypeNames) {
    if (entry.name == name) return entry.type;
  }
  return ImageObjectType::kUnknown;
}

void CImageObjectNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  switch (pass) {
    case RenderPass::Activate:
      if (loaded_) return;
      loaded_ = true;
      Load(*view);
      return;
    case RenderPass::Deactivate:
      Unload(*view);
      loaded_ = false;
      return;
    case RenderPass::Frame:
      if (loaded_) Frame(*view);
      return;
  }
}

void CImageObjectNode::Load(CViewContext& view) {
  load_.reset();
  run_.Detach();
  choice_.Reset();
  if (const HandleMaker maker = MakerFor(Type())) {
    load_ = std::make_unique<CTextureLoad<CMediaHandle>>(maker);
    load_->HandColor(FillColor());
    if (const std::optional<FloatColor> mask = MaskColor()) load_->SetMaskColor(*mask);
    static_cast<void>(load_->Activate(*this, filename, view));
  }
  frameIndices_ = {-1, -1, -1};
  angles_ = {};
  if (defaultView.count == kObjectMovieAxes) angles_ = {defaultView[0], defaultView[1], defaultView[2]};
}

void CImageObjectNode::Unload(CViewContext& /*view*/) {
  load_.reset();
  run_.Detach();
  choice_.Reset();
}

bool CImageObjectNode::BlueScreenKeys() const {
  // -0.0 counts as 0 or more.
  return blueScreen.r >= 0.0f && blueScreen.g >= 0.0f && blueScreen.b >= 0.0f;
}

void CImageObjectNode::StepMedia(CViewContext& view) {
  if (!load_ || !load_->Step(*this, filename, view)) return;
  // Another file: its movie has not started and its frames are its own.
  run_.Detach();
  choice_.Reset();
}

bool CImageObjectNode::TakeImage() {
  if (!load_) return false;
  load_->TakeImage();
  return load_->Image().bits != nullptr;
}

const PixelMap& CImageObjectNode::Image() const {
  static const PixelMap kNoImage;
  return load_ ? load_->Image() : kNoImage;
}

void CImageObjectNode::ControlMovie(bool withBalance) {
  CMediaHandle* handle = Handle();
  if (!handle || handle->GetKind() != HandleKind::Movie || !handle->HasImage()) return;
  auto& movie = static_cast<CPlaybackHandle&>(*handle);
  const float rate = movie.IsPlaying();
  movie.SetVolume(kMovieVolume);
  if (withBalance) movie.SetBalance(kMovieBalance);
  run_.Step(movie, rate, kLoopForever, [](bool) {});
}

CFrameSetTexture* CImageObjectNode::FrameSet() const {
  CMediaHandle* handle = Handle();
  return handle && handle->GetKind() == HandleKind::FrameSet ? static_cast<CFrameSetTexture*>(handle) : nullptr;
}

ObjectMovieAxes CImageObjectNode::Axes() const { return {SpanOf(quantization), SpanOf(range), SpanOf(animRate)}; }

void CImageObjectNode::ChooseFrame(const CViewContext& view) {
  const ObjectMovieAxes axes = Axes();
  AdvanceViewAngles(angles_, axes, FrameSeconds(view));
  frameIndices_ = ChooseFrameIndices(angles_, axes);
  int32_t frame = ObjectMovieFrameNumber(frameIndices_, axes.quantization);
  if (CFrameSetTexture* frames = FrameSet()) static_cast<void>(choice_.Show(*frames, frame));
}

void CImageObjectNode::OnPointerDrag(int32_t button, float dx, float dy) {
  if (!interactive || button != 1 || range.count != kObjectMovieRangeValues) return;
  DragFirstAxis(range[1] - range[0], dy);
  AddFinite(angles_[1], (range[3] - range[2]) * dx * -kObjectDragScale);
}

void CImageObjectNode::DragFirstAxis(float rangeWidth, float dy) {
  AddFinite(angles_[0], rangeWidth * dy * kObjectDragScale);
}

void CImageObjectNode::AddFinite(float& value, float change) {
  const float sum = value + change;
  if (std::isfinite(sum)) value = sum;
}

void CImageObjectNode::SendPointerEvents(const char* flagEvent, const char* pointEvent, const SFVec2f& point) {
  const int16_t on = 1;
  SendEvent(flagEvent, &on);
  SendEvent(pointEvent, &point);
}

}  // namespace vx
