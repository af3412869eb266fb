#include "engine/world/Browser.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/scene/ChildWalk.h"
#include "engine/scene/GroupNode.h"
#include "engine/scene/SceneLimits.h"
#include "engine/world/BoundFog.h"
#include "engine/world/ViewContext.h"
#include "platform/Clock.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

// Whether a block described by part lies wholly in the frame's pixels, in
// the frame's pixel form and row layout.
bool LiesInside(const PixelMap& part, const PixelMap& frame) {
  if (!part.bits || !frame.bits || part.bytesPerPixel != frame.bytesPerPixel || part.rowBytes != frame.rowBytes ||
      frame.rowBytes <= 0 || frame.bytesPerPixel == 0) {
    return false;
  }
  if (part.bits < frame.bits) return false;
  const auto offset = static_cast<size_t>(part.bits - frame.bits);
  const size_t row = offset / static_cast<size_t>(frame.rowBytes);
  const size_t columnBytes = offset % static_cast<size_t>(frame.rowBytes);
  if (columnBytes % frame.bytesPerPixel != 0) return false;
  const size_t column = columnBytes / frame.bytesPerPixel;
  return column + part.width <= frame.width && row + part.height <= frame.height;
}

}  // namespace

CBrowser::CBrowser(WorldConvention convention) : convention_(convention) { ResetClock(); }

// The nodes go while the world they may reach back into is still whole.
CBrowser::~CBrowser() { scene_.Drop(); }

void CBrowser::ResetScene(WorldConvention convention) {
  scene_.Reset();
  convention_ = convention;
  for (auto* stack : {&navigationInfos_, &displays_, &fogs_}) stack->clear();
  for (auto* stack : {&viewpoints_, &unboundViewpoints_, &legacyVistas_, &vistas_, &backgrounds_, &waitingBackgrounds_}) {
    stack->clear();
  }
  legacyVistaActive_ = vistaActive_ = backgroundActive_ = false;
  legacyPanorama_ = false;
  passCutNoted_ = false;
  overlays_.clear();
}

CNode* CBrowser::TopOf(const std::vector<CNodeRef>& stack) { return stack.empty() ? nullptr : stack.back().Resolve(); }

void CBrowser::BindSimple(std::vector<CNodeRef>& stack, CNode* node, bool on) {
  if (!node) return;
  if (!on) {
    // Taken out wherever it stands: an unbound node left below the top would
    // come back into force when the nodes above it are unbound.
    const auto found = std::find_if(stack.rbegin(), stack.rend(), [node](CNodeRef& entry) { return entry.Resolve() == node; });
    if (found != stack.rend()) stack.erase(std::next(found).base());
    return;
  }
  if (stack.size() == kBindStackDepth) stack.erase(stack.begin());
  stack.emplace_back(node);
}

CNode* CBrowser::TopOf(const std::vector<CNodeWeakRef>& stack) {
  // Entries whose node has gone are skipped.
  for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
    if (CNode* node = it->Get()) return node;
  }
  return nullptr;
}

void CBrowser::SendBinding(CNode* node, bool bound, double time) {
  if (!node) return;
  const int16_t isBound = bound ? 1 : 0;
  // A PROTO instance bound in a node's place may declare neither.
  (void)node->TrySendEvent("isBound", &isBound);
  (void)node->TrySendEvent("bindTime", &time);
}

void CBrowser::BindViewpoint(CNode* node, bool on) {
  if (!node) return;
  const double time = GetWorldTime();
  std::erase_if(viewpoints_, [](const CNodeWeakRef& ref) { return !ref.Get(); });
  auto found = std::find_if(viewpoints_.begin(), viewpoints_.end(), [node](const CNodeWeakRef& ref) { return ref.Get() == node; });
  const CNodeWeakRef previousTop(GetViewpoint());
  if (on) {
    if (found != viewpoints_.end()) {
      viewpoints_.erase(found);
    } else if (viewpoints_.size() == kBindStackDepth) {
      viewpoints_.erase(viewpoints_.begin());
    }
    viewpoints_.emplace_back(node);
    SendBinding(previousTop.Get(), false, time);
    SendBinding(node, true, time);
    return;
  }
  if (found == viewpoints_.end()) return;
  const bool wasTop = found + 1 == viewpoints_.end();
  viewpoints_.erase(found);
  const bool noted = std::any_of(unboundViewpoints_.begin(), unboundViewpoints_.end(),
                                 [node](const CNodeWeakRef& ref) { return ref.Get() == node; });
  if (!noted) unboundViewpoints_.emplace_back(node);
  if (!wasTop) return;
  SendBinding(node, false, time);
  SendBinding(GetViewpoint(), true, time);
}

void CBrowser::ResetClock() {
  ResetFrameCounter();
  clockStartMs_ = static_cast<int64_t>(NowMs());
}

void CBrowser::ResetFrameCounter() {
  frameCount_ = 0;
  frameRateStartMs_ = static_cast<int64_t>(NowMs());
}

double CBrowser::GetFrameRate() const {
  if (frameCount_ < kFrameRateMinFrames) return kDefaultFrameRate;
  const int64_t elapsedMs = static_cast<int64_t>(NowMs()) - frameRateStartMs_;
  // Frames counted within one millisecond would divide by zero.
  if (elapsedMs <= 0) return kDefaultFrameRate;
  return frameCount_ / (elapsedMs * 0.001);
}

CNode* CBrowser::GetBoundNode(NodeTypeId type) const {
  switch (type) {
    case NodeTypeBackground: return GetBackground();
    case NodeTypeFog: return GetFog();
    case NodeTypeNavigationInfo: return GetNavigationInfo();
    case NodeTypeViewpoint: return GetViewpoint();
    case NodeTypeVista: return GetVista() ? GetVista() : GetLegacyVista();
    default: return nullptr;
  }
}

void CBrowser::SaveCamera(float pitch, float yaw, float roll, float fieldOfView) {
  savedPitch_ = pitch;
  savedYaw_ = yaw;
  savedRoll_ = roll;
  savedFieldOfView_ = fieldOfView;
  savedCameraPending_ = true;
}

void CBrowser::PushDroppingOldest(std::vector<CNodeWeakRef>& stack, CNode* node) {
  std::erase_if(stack, [](const CNodeWeakRef& ref) { return !ref.Get(); });
  if (stack.size() == kBindStackDepth) stack.erase(stack.begin());
  stack.emplace_back(node);
}

void CBrowser::BindPanorama(std::vector<CNodeWeakRef>& stack, bool& active, CNode* node, CViewContext* view,
                            bool popTop) {
  if (!node) return;
  active = true;
  if (TopOf(stack) != node) {
    PushDroppingOldest(stack, node);
    if (savedCameraPending_ && view) {
      view->SetFieldOfView(savedFieldOfView_, false);
      view->SetOrientation(savedPitch_, savedYaw_, savedRoll_, false);
      savedCameraPending_ = false;
    }
  } else if (popTop) {
    stack.pop_back();
  }
  if (!TopOf(stack)) active = false;
}

void CBrowser::RequestBackgroundBind(CNode* node) {
  if (node) waitingBackgrounds_.emplace_back(node);
}

void CBrowser::UnbindLegacyVista(const CNode* node) {
  std::erase_if(legacyVistas_, [node](const CNodeWeakRef& ref) { return !ref.Get() || ref.Get() == node; });
  legacyVistaActive_ = !legacyVistas_.empty();
}

void CBrowser::AddOverlay(const OverlayEntry& entry) {
  if (overlays_.size() >= static_cast<size_t>(kMaxOverlays)) return;
  const auto before = std::find_if(overlays_.begin(), overlays_.end(),
                                   [&entry](const OverlayEntry& other) { return other.layer < entry.layer; });
  overlays_.insert(before, entry);
}

void CBrowser::RemoveOverlay(const CNode* node) {
  const auto found =
      std::find_if(overlays_.begin(), overlays_.end(), [node](const OverlayEntry& entry) { return entry.node == node; });
  if (found != overlays_.end()) overlays_.erase(found);
}

void CBrowser::RenderView(RenderPass pass, CViewContext* view) {
  view->AttachBrowser(this);
  if (pass == RenderPass::Frame) {
    RenderFrame(view);
  } else if (const CNodeRef& root = scene_.GetRootRef()) {
    const CPassBudget budget;
    root->Traverse(pass, view);
    NoteIfCut(budget);
  }
}

void CBrowser::NoteIfCut(const CPassBudget& budget) {
  if (!budget.WasCut() || passCutNoted_) return;
  passCutNoted_ = true;
  scene_.NoteEventError(
      FormatString("The world is too large to go through whole: a pass stops after %lld nodes, or "
                   "%d levels deep.",
                   static_cast<long long>(kMaxNodeVisitsPerPass), kMaxNodeNesting));
}

void CBrowser::RenderFrame(CViewContext* view) {
  const CPassBudget budget;
  RenderFrameWithin(view);
  NoteIfCut(budget);
}

void CBrowser::RenderFrameWithin(CViewContext* view) {
  ++frameNumber_;
  view->AttachBrowser(this);
  view->BeginFrame();
  overlays_.clear();
  // Held for the frame: the Display may be unbound (and let go) while the
  // frame runs, and the stereo drawing reads it after the scene.
  const CNodeRef display(GetDisplay());
  if (display) {
    display->HandFramePass(frameNumber_);
    display->Traverse(RenderPass::Frame, view);
  }
  DrawBackground(view);
  SetCamera(view);
  ApplyFog(view);
  if (scene_.GetRootRef()) {
    if (display && view->GetStereoMode() != StereoMode::None) {
      DrawSceneInStereo(view, display.Get());
    } else {
      DrawScene(view);
    }
  }
  DrawOverlays(view);
  view->DispatchPointer();
  ++frameCount_;
}

void CBrowser::DrawBackground(CViewContext* view) {
  // The bound panoramas are handed the frame's pass here, so their visit in
  // the scene draws nothing.
  CNode* legacyVista = GetLegacyVista();
  CNode* vista = GetVista();
  CNode* background = GetBackground();
  for (CNode* node : {legacyVista, background, vista}) {
    if (node) node->HandFramePass(frameNumber_);
  }
  if (legacyVistaActive_ && legacyVista) {
    legacyVista->Traverse(RenderPass::Frame, view);
  } else if (vistaActive_ && vista) {
    vista->Traverse(RenderPass::Frame, view);
  } else if (const CNodeRef drawn = BindWaitingBackgrounds(view)) {
    // The last one to bind is on top now; it has drawn.
    if (CNode* top = GetBackground(); top && top != drawn.Get()) {
      top->HandFramePass(frameNumber_);
      top->Traverse(RenderPass::Frame, view);
    }
  } else if (backgroundActive_ && background) {
    background->Traverse(RenderPass::Frame, view);
  } else {
    view->ClearFrame();
  }
}

CNodeRef CBrowser::BindWaitingBackgrounds(CViewContext* view) {
  CNodeRef last;
  for (const CNodeWeakRef& ref : std::exchange(waitingBackgrounds_, {})) {
    CNodeRef node(ref.Get());
    if (!node) continue;
    node->HandFramePass(frameNumber_);
    node->Traverse(RenderPass::Frame, view);
    last = std::move(node);
  }
  return last;
}

// A Viewpoint unbound since the last frame gets its pass first (it gives
// back the camera it found when no other is bound), then the bound one sets
// the camera.
void CBrowser::SetCamera(CViewContext* view) {
  const std::vector<CNodeWeakRef> unbound = std::exchange(unboundViewpoints_, {});
  CNode* bound = GetViewpoint();
  for (const CNodeWeakRef& ref : unbound) {
    CNode* viewpoint = ref.Get();
    if (!viewpoint || viewpoint == bound) continue;
    viewpoint->HandFramePass(frameNumber_);
    viewpoint->Traverse(RenderPass::Frame, view);
  }
  if (CNode* viewpoint = GetViewpoint()) {
    viewpoint->HandFramePass(frameNumber_);
    viewpoint->Traverse(RenderPass::Frame, view);
  }
}

void CBrowser::ApplyFog(CViewContext* view) {
  // Without a bound Fog the scene is drawn without fog; a bound one that
  // stands for no Fog (a PROTO instance without a body) changes nothing.
  if (fogs_.empty()) {
    view->GetStage()->DisableFog();
    return;
  }
  if (const IBoundFog* fog = AsBoundFog(GetFog())) fog->ApplyFog(view);
}

void CBrowser::DrawScene(CViewContext* view) {
  view->GetRenderTarget()->Clear(false, true);
  view->GetStage()->BeginFrame();
  scene_.GetRootRef()->Traverse(RenderPass::Frame, view);
}

void CBrowser::DrawSceneInStereo(CViewContext* view, CNode* display) {
  const float* disparity = static_cast<const float*>(
      display->GetFieldType("disparity") == FieldTypeSFFloat ? display->GetFieldByName("disparity") : nullptr);
  const float halfDistance = (disparity ? *disparity : 0.0f) * 0.5f;
  const PixelMap frame = view->GetFrameBuffer();
  RenderBufferDesc eye{frame.bits, frame.width, frame.height, frame.bytesPerPixel, frame.rowBytes};
  // How far the right eye's first pixel lies from the left eye's: the right
  // half, or the odd rows. Rows may be padded past their pixels, so a row
  // is its stride long.
  ptrdiff_t rightEyeOffset = 0;
  if (view->GetStereoMode() == StereoMode::LeftRight) {
    eye.width /= 2;
    rightEyeOffset = static_cast<ptrdiff_t>(eye.width) * eye.bytesPerPixel;
  } else {
    eye.rowBytes *= 2;
    eye.height /= 2;
    rightEyeOffset = frame.rowBytes;
  }
  const CVec3f position = view->GetPosition();
  float pitch, yaw, roll;
  view->GetOrientation(&pitch, &yaw, &roll);
  const CVec3f offset{std::cos(yaw) * halfDistance, 0.0f, std::sin(yaw) * halfDistance};

  for (const float side : {1.0f, -1.0f}) {
    view->GetRenderTarget()->SetBuffer(&eye);
    view->SetPosition(position + offset * side, true);
    view->BeginFrame();
    DrawScene(view);
    eye.base += rightEyeOffset;
  }
  view->SetPosition(position, true);
  view->SetFrameBuffer(frame);
}

void CBrowser::DrawOverlays(CViewContext* view) const {
  const PixelMap& frame = view->GetFrameBuffer();
  for (const OverlayEntry& entry : overlays_) {
    if (!LiesInside(entry.destination, frame)) continue;
    const KeyColor key{entry.keyColor, view->GetInverseColorMap()};
    StretchPixelMap(entry.source, entry.destination, nullptr, entry.chromaKey ? &key : nullptr);
  }
}

double CBrowser::GetWorldTime() const { return (static_cast<int64_t>(NowMs()) - clockStartMs_) * 0.001; }

}  // namespace vx
