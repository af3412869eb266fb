#include "plugin/Windowless.h"

#include <algorithm>

#include "platform/MessagePump.h"
#include "plugin/Browser.h"
#include "plugin/OffscreenPageWindow.h"
#include "plugin/PageWindow.h"
#include "plugin/XDrawable.h"
#include "plugin/XInput.h"

namespace vx::plugin {
namespace {

uint16_t Extent(int value) { return static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF)); }

// Nobody else pumps the platform layer's messages in a browser: the ticks
// take the downloads' socket events, posted input and paints with them.
void PumpMessages() { static_cast<void>(DispatchPendingMessages()); }

void AskForExpose(const PluginInstance& instance) {
  const Rect client = GetClientRect(instance.window);
  BrowserInvalidateRect(instance.npp, {0, 0, Extent(client.bottom), Extent(client.right)});
}

void TickWindowless(void* data) {
  PluginInstance& instance = *static_cast<PluginInstance*>(data);
  InstanceCall call(instance);
  PumpMessages();
  if (!call.Alive() || !instance.view || !instance.scene) return;
  EngineTick(instance);
  if (call.Alive()) AskForExpose(instance);
}

// A page window painted while no scene is there shows the splash; with a
// scene it shows the last frame.
bool DrawExpose(PluginInstance& instance, const void* xevent) {
  InstanceCall call(instance);
  static_cast<void>(UpdateWindow(instance.window));
  return call.Alive() &&
         CopyToDrawable(instance.window, xevent, static_cast<const NPSetWindowCallbackStruct*>(instance.npWindow.ws_info));
}

bool DeliverInput(PluginInstance& instance, const void* xevent) {
  if (!DeliverXInput(instance.window, xevent)) return false;
  InstanceCall call(instance);
  PumpMessages();
  return true;
}

}  // namespace

void TakeDrawable(PluginInstance& instance, const NPWindow& window) {
  if (!instance.windowless) {
    // A window the browser gave before is not drawn into any more.
    RestorePageWindow(instance);
    instance.window = WindowHandle::None;
    instance.windowless = true;
  }
  if (instance.window != WindowHandle::None) {
    // The view takes its new size when the window is painted.
    ResizeOffscreenPageWindow(instance.window, window.width, window.height);
    InvalidateWindow(instance.window, false);
    return;
  }
  instance.window = CreateOffscreenPageWindow(window.width, window.height);
  if (instance.window == WindowHandle::None) return;
  SubclassPageWindow(instance, instance.window);
  instance.ticker.Start(kWindowlessTickIntervalMs, &TickWindowless, &instance);
}

void DropDrawable(PluginInstance& instance) {
  if (!instance.windowless) return;
  instance.ticker.Stop();
  RestorePageWindow(instance);
  DestroyOffscreenPageWindow(instance.window);
  instance.window = WindowHandle::None;
  instance.windowless = false;
}

bool HandleWindowlessEvent(PluginInstance& instance, const void* xevent) {
  if (!instance.windowless || instance.window == WindowHandle::None) return false;
  return IsExposeEvent(xevent) ? DrawExpose(instance, xevent) : DeliverInput(instance, xevent);
}

}  // namespace vx::plugin
