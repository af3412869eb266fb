// Slots of the views: their creation on a window, rectangle, frame buffer,
// buttons, tick, callback, camera, keys, focus and border; and the host's
// script functions.
#include <limits>
#include <new>

#include "engine/interface/EngineSlotSupport.h"
#include "engine/world/HostScriptFunctions.h"
#include "engine/interface/RemoteCommands.h"
#include "platform/Window.h"

namespace vx {
namespace {

// A host's window number as a platform window; None when it names no window.
WindowHandle WindowFromHost(VxWindow window) {
  if (window == 0 || window > std::numeric_limits<uint32_t>::max()) return WindowHandle::None;
  const auto handle = static_cast<WindowHandle>(window);
  return IsWindow(handle) ? handle : WindowHandle::None;
}

MacRect RectFromHost(const uint16_t* rect) {
  return {static_cast<int16_t>(rect[0]), static_cast<int16_t>(rect[1]), static_cast<int16_t>(rect[2]),
          static_cast<int16_t>(rect[3])};
}

// The view of a handle; null for a null handle.
CSceneView* ViewOf(::ViewHandle* handle) {
  vx::ViewHandle* view = FromHandle(handle);
  return view ? view->view.get() : nullptr;
}

// The view's context, made by its first tick; null before it (or for a null
// handle), so that the camera slots refuse instead of reaching nothing.
CViewContext* ContextOf(::ViewHandle* handle) {
  CSceneView* view = ViewOf(handle);
  return view ? view->GetContext() : nullptr;
}

::ViewHandle* CreateView(::SceneHandle* sceneHandle, VxWindow hostWindow, const uint16_t* rect, ViewFlags flags) {
  vx::SceneHandle* scene = FromHandle(sceneHandle);
  const WindowHandle window = WindowFromHost(hostWindow);
  if (!scene || !scene->world || window == WindowHandle::None) return nullptr;
  try {
    auto handle = std::make_unique<vx::ViewHandle>();
    handle->view = std::make_unique<CSceneView>(window);
    handle->scene = scene;
    handle->flags = flags;
    ++scene->viewCount;
    handle->view->AttachBrowser(scene->world.get());
    handle->view->SetFlags(flags);
    if (rect) handle->view->SetRect(RectFromHost(rect));
    return ToHandle(handle.release());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

EngineResult DestroyView(::ViewHandle* handle) {
  vx::ViewHandle* view = FromHandle(handle);
  if (!view) return EngineNullArgument;
  view->scene->instance->RemoveView(std::unique_ptr<vx::ViewHandle>(view));
  return EngineOk;
}

::SceneHandle* GetViewScene(::ViewHandle* handle) {
  vx::ViewHandle* view = FromHandle(handle);
  return view ? ToHandle(view->scene) : nullptr;
}

EngineResult SetViewWindow(::ViewHandle* handle, VxWindow window) {
  CSceneView* view = ViewOf(handle);
  if (!view) return EngineNullArgument;
  view->SetWindow(WindowFromHost(window));
  return EngineOk;
}

EngineResult GetViewWindow(::ViewHandle* handle, VxWindow* out) {
  CSceneView* view = ViewOf(handle);
  if (!view || !out) return EngineNullArgument;
  *out = static_cast<VxWindow>(view->GetWindow());
  return EngineOk;
}

EngineResult SetViewRect(::ViewHandle* handle, const uint16_t* rect) {
  CSceneView* view = ViewOf(handle);
  if (!view || !rect) return EngineNullArgument;
  view->SetRect(RectFromHost(rect));
  return EngineOk;
}

EngineResult GetViewRect(::ViewHandle* handle, uint16_t* rect) {
  CSceneView* view = ViewOf(handle);
  if (!view || !rect) return EngineNullArgument;
  for (size_t i = 0; i < 4; ++i) rect[i] = static_cast<uint16_t>(view->GetRect()[i]);
  return EngineOk;
}

// A host buffer that the renderer can draw into: 8, 16 or 32 bits, a size
// the frame records hold, and rows long enough for their pixels. Anything
// else is taken as no buffer.
PixelMap TargetFromHost(const VxTargetBuffer& desc) {
  const uintptr_t bytesPerPixel = desc.depth / 8;
  const bool usable = desc.base && (desc.depth == 8 || desc.depth == 16 || desc.depth == 32) && desc.width >= 1 &&
                      desc.height >= 1 && desc.width <= std::numeric_limits<uint16_t>::max() &&
                      desc.height <= std::numeric_limits<uint16_t>::max() &&
                      desc.rowBytes <= static_cast<uintptr_t>(std::numeric_limits<int32_t>::max()) &&
                      desc.rowBytes >= desc.width * bytesPerPixel;
  if (!usable) return {};
  PixelMap target;
  target.bits = static_cast<uint8_t*>(desc.base);
  target.width = static_cast<uint16_t>(desc.width);
  target.height = static_cast<uint16_t>(desc.height);
  target.bytesPerPixel = static_cast<uint16_t>(bytesPerPixel);
  target.rowBytes = static_cast<int32_t>(desc.rowBytes);
  return target;
}

EngineResult SetViewTargetBuffer(::ViewHandle* handle, const VxTargetBuffer* desc) {
  CSceneView* view = ViewOf(handle);
  if (!view || !desc) return EngineNullArgument;
  view->SetTargetBuffer(TargetFromHost(*desc));
  return EngineOk;
}

EngineResult GetViewTargetBuffer(::ViewHandle* handle, VxTargetBuffer* desc) {
  CSceneView* view = ViewOf(handle);
  if (!view || !desc) return EngineNullArgument;
  const PixelMap& target = view->GetTargetBuffer();
  *desc = {target.bits, target.width, target.height, static_cast<uintptr_t>(target.rowBytes),
           static_cast<uintptr_t>(target.bytesPerPixel) * 8};
  return EngineOk;
}

// Slots 31 and 32: one of the view's own steps, which may reach the host's
// callbacks.
template <void (CSceneView::*Step)()>
EngineResult RunViewStep(::ViewHandle* handle) {
  vx::ViewHandle* view = FromHandle(handle);
  if (!view) return EngineNullArgument;
  HostCallScope call(*view->scene->instance);
  (view->view.get()->*Step)();
  return EngineOk;
}

// The view's step, then the instance's command link (unless the host
// destroyed the instance from a callback of the step).
EngineResult TickView(::ViewHandle* handle) {
  vx::ViewHandle* view = FromHandle(handle);
  if (!view) return EngineNullArgument;
  vx::EngineInstance& instance = *view->scene->instance;
  HostCallScope call(instance);
  view->view->Tick();
  if (!instance.IsDestroyRequested()) TickCommandLink(instance);
  return EngineOk;
}

EngineResult RegisterHostScriptFunction(::EngineInstance*, const char* name, ScriptFunctionCallback* callback) {
  if (name && callback) (void)RegisterScriptFunction(BoundedText(name), *callback);
  return EngineOk;
}

EngineResult SetViewCallback(::ViewHandle* handle, const ViewCallback* callback) {
  vx::ViewHandle* view = FromHandle(handle);
  if (!view || !callback) return EngineNullArgument;
  view->callback = *callback;
  view->view->SetCallback(*callback);
  return EngineOk;
}

EngineResult GetCameraPosition(::ViewHandle* handle, float* xyz) {
  CViewContext* context = ContextOf(handle);
  if (!context || !xyz) return EngineNullArgument;
  const CVec3f position = context->GetPosition();
  xyz[0] = position.x;
  xyz[1] = position.y;
  xyz[2] = position.z;
  return EngineOk;
}

EngineResult SetCameraPosition(::ViewHandle* handle, const float* xyz) {
  CViewContext* context = ContextOf(handle);
  if (!context || !xyz) return EngineNullArgument;
  context->SetPosition({xyz[0], xyz[1], xyz[2]}, false);
  return EngineOk;
}

EngineResult GetCameraOrientation(::ViewHandle* handle, float* pitch, float* yaw, float* roll) {
  CViewContext* context = ContextOf(handle);
  if (!context || !pitch || !yaw || !roll) return EngineNullArgument;
  context->GetOrientation(pitch, yaw, roll);
  return EngineOk;
}

EngineResult SetCameraOrientation(::ViewHandle* handle, float pitch, float yaw, float roll) {
  CViewContext* context = ContextOf(handle);
  if (!context) return EngineNullArgument;
  context->SetOrientation(pitch, yaw, roll, false);
  return EngineOk;
}

EngineResult GetCameraFieldOfView(::ViewHandle* handle, float* out) {
  CViewContext* context = ContextOf(handle);
  if (!context || !out) return EngineNullArgument;
  *out = context->GetFieldOfView();
  return EngineOk;
}

EngineResult SetCameraFieldOfView(::ViewHandle* handle, float radians) {
  CViewContext* context = ContextOf(handle);
  if (!context) return EngineNullArgument;
  context->SetFieldOfView(radians, false);
  return EngineOk;
}

EngineResult SetViewKey(::ViewHandle* handle, uint8_t character) {
  CSceneView* view = ViewOf(handle);
  if (!view) return EngineNullArgument;
  view->SetTypedCharacter(character);
  return EngineOk;
}

EngineResult SetViewFocus(::ViewHandle* handle, uint16_t on) {
  CSceneView* view = ViewOf(handle);
  if (!view) return EngineNullArgument;
  view->SetFocus(on != 0);
  return EngineOk;
}

EngineResult SetViewBorder(::ViewHandle* handle, uint16_t on, const float* rgb) {
  CSceneView* view = ViewOf(handle);
  if (!view) return EngineNullArgument;
  view->SetBorder(on != 0, rgb);
  return EngineOk;
}

// The wait is cut to whole milliseconds, down, so that a frame due in a
// fraction of one is not put off; one too far to count waits for input.
EngineResult GetViewTickDelay(::ViewHandle* handle, uint32_t* milliseconds) {
  CSceneView* view = ViewOf(handle);
  if (!view || !milliseconds) return EngineNullArgument;
  const double wait = view->SecondsToNextFrame() * 1000.0;
  *milliseconds = wait >= static_cast<double>(VX_TICK_ON_INPUT) ? VX_TICK_ON_INPUT : static_cast<uint32_t>(wait);
  return EngineOk;
}

}  // namespace

CViewContext* ViewContextOf(::ViewHandle* view) { return ContextOf(view); }

void AddViewSlots(EngineSlotTable& table) {
  SetEngineSlot<VxEngineCreateView>(table, &CreateView);
  SetEngineSlot<VxEngineDestroyView>(table, &DestroyView);
  SetEngineSlot<VxEngineGetViewScene>(table, &GetViewScene);
  SetEngineSlot<VxEngineSetViewWindow>(table, &SetViewWindow);
  SetEngineSlot<VxEngineGetViewWindow>(table, &GetViewWindow);
  SetEngineSlot<VxEngineSetViewRect>(table, &SetViewRect);
  SetEngineSlot<VxEngineGetViewRect>(table, &GetViewRect);
  SetEngineSlot<VxEngineSetViewTargetBuffer>(table, &SetViewTargetBuffer);
  SetEngineSlot<VxEngineGetViewTargetBuffer>(table, &GetViewTargetBuffer);
  SetEngineSlot<VxEngineViewMouseDown>(table, &RunViewStep<&CSceneView::MouseDown>);
  SetEngineSlot<VxEngineViewMouseUp>(table, &RunViewStep<&CSceneView::MouseUp>);
  SetEngineSlot<VxEngineTickView>(table, &TickView);
  SetEngineSlot<VxEngineRegisterHostScriptFunction>(table, &RegisterHostScriptFunction);
  SetEngineSlot<VxEngineSetViewCallback>(table, &SetViewCallback);
  SetEngineSlot<VxEngineGetCameraPosition>(table, &GetCameraPosition);
  SetEngineSlot<VxEngineSetCameraPosition>(table, &SetCameraPosition);
  SetEngineSlot<VxEngineGetCameraOrientation>(table, &GetCameraOrientation);
  SetEngineSlot<VxEngineSetCameraOrientation>(table, &SetCameraOrientation);
  SetEngineSlot<VxEngineGetCameraFieldOfView>(table, &GetCameraFieldOfView);
  SetEngineSlot<VxEngineSetCameraFieldOfView>(table, &SetCameraFieldOfView);
  SetEngineSlot<VxEngineSetViewKey>(table, &SetViewKey);
  SetEngineSlot<VxEngineSetViewFocus>(table, &SetViewFocus);
  SetEngineSlot<VxEngineSetViewBorder>(table, &SetViewBorder);
  SetEngineSlot<VxEngineGetViewTickDelay>(table, &GetViewTickDelay);
}

}  // namespace vx
