#include "plugin/PageWindow.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <span>

#include "host/EngineCalls.h"
#include "platform/Bitmap.h"
#include "platform/DeviceContext.h"
#include "platform/InputState.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "plugin/Browser.h"
#include "plugin/BoundedText.h"
#include "plugin/PluginProcess.h"
#include "plugin/PluginUrls.h"
#include "plugin/SplashPicture.h"

namespace vx::plugin {
namespace {

namespace engine = host::engine;

constexpr char kInstanceProperty[] = "instance->pdata";
constexpr char kCurrentFrame[] = "_current";
constexpr uint32_t kSplashBackground = 0x000000;

PluginInstance* InstanceOf(WindowHandle window) {
  return static_cast<PluginInstance*>(GetWindowProperty(window, kInstanceProperty));
}

void EngineTimerProcedure(WindowHandle window, uint32_t, uintptr_t, uint64_t) {
  if (PluginInstance* instance = InstanceOf(window)) EngineTick(*instance);
}

uint16_t Coordinate(int value) { return static_cast<uint16_t>(std::clamp(value, 0, 0xFFFF)); }

void ShowDownloadStatus(const PluginInstance& instance) {
  if (!Process().engineStarted) return;
  char text[VX_TEXT_BUFFER_SIZE] = {};
  if (engine::GetDownloadStatusText(Process().engine, text) != EngineOk) return;
  text[VX_TEXT_BUFFER_SIZE - 1] = '\0';
  if (text[0]) BrowserStatus(instance.npp, text);
}

void SetFocusOf(PluginInstance& instance, bool on) {
  if (instance.view) static_cast<void>(engine::SetViewFocus(instance.view, on ? 1 : 0));
  instance.hasFocus = on ? 1 : 0;
}

void PaintSplash(WindowHandle window) {
  WindowDC dc(window);
  const Rect client = GetClientRect(window);
  static_cast<void>(FillRect(dc, client, kSplashBackground));
  std::unique_ptr<Bitmap> splash = Bitmap::Create(kSplashWidth, kSplashHeight, 32);
  if (!splash) return;
  const std::span<const uint32_t> pixels = SplashPixels();
  for (int y = 0; y < kSplashHeight; ++y)
    std::memcpy(splash->Row(y), pixels.data() + static_cast<size_t>(y) * kSplashWidth, kSplashWidth * 4);
  MemoryDC source;
  source.Select(splash.get());
  const Point origin = SplashOrigin(client.Width(), client.Height());
  static_cast<void>(BitBlt(dc, origin.x, origin.y, kSplashWidth, kSplashHeight, source, 0, 0));
}

void OnPaint(PluginInstance& instance, WindowHandle window) {
  static_cast<void>(SetFocus(window));
  if (!instance.scene) {
    PaintSplash(window);
    return;
  }
  const Rect client = GetClientRect(window);
  const uint16_t rect[4] = {Coordinate(client.top), Coordinate(client.left), Coordinate(client.bottom),
                            Coordinate(client.right)};
  static_cast<void>(engine::SetViewRect(instance.view, rect));
  InstanceCall call(instance);
  EngineTick(instance);
  // A windowless instance is ticked from the browser's loop instead.
  if (call.Alive() && !instance.windowless) SetTimer(window, kTickTimerId, kTickIntervalMs, &EngineTimerProcedure);
}

// Only the instance clicked last has the keyboard focus. A view follows the
// pointer only while it has the focus, so it is ticked once with it before
// the press: else a click into an instance that had lost the focus would
// press what lay under the pointer when it lost it.
void OnButtonDown(PluginInstance& instance) {
  Process().instances.ForEach([&](PluginInstance& other) {
    if (&other != &instance) SetFocusOf(other, false);
  });
  SetFocusOf(instance, true);
  InstanceCall call(instance);
  EngineTick(instance);
  if (call.Alive()) static_cast<void>(engine::ViewMouseDown(instance.view));
}

// True when the message was handled.
bool Handle(PluginInstance& instance, WindowHandle window, uint32_t message) {
  switch (message) {
    case kMsgSetFocus: SetFocusOf(instance, true); return true;
    case kMsgKillFocus: SetFocusOf(instance, false); return true;
    case kMsgPaint: OnPaint(instance, window); return true;
    case kMsgMouseMove: EngineTick(instance); return true;
    case kMsgLButtonDown:
      if (instance.view && instance.scene) OnButtonDown(instance);
      return true;
    case kMsgLButtonUp:
      if (instance.view && instance.scene) static_cast<void>(engine::ViewMouseUp(instance.view));
      return true;
    case kMsgPaletteChanged:
      InvalidateWindow(window, true);
      UpdateWindow(window);
      return true;
    default: return false;
  }
}

intptr_t PluginWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  PluginInstance* instance = InstanceOf(window);
  if (!instance) return DefWindowProc(window, message, wParam, lParam);
  const WindowProc previous = instance->previousProcedure;
  {
    InstanceCall call(*instance);
    ShowDownloadStatus(*instance);
    if (call.Alive() && Handle(*instance, window, message)) return 0;
  }
  return previous ? CallWindowProc(previous, window, message, wParam, lParam)
                  : DefWindowProc(window, message, wParam, lParam);
}

}  // namespace

void SubclassPageWindow(PluginInstance& instance, WindowHandle window) {
  if (instance.subclassedWindow == window) return;
  RestorePageWindow(instance);
  if (window == WindowHandle::None) return;
  WindowProc previous = SetWindowProc(window, &PluginWindowProcedure);
  if (!previous) return;
  instance.previousProcedure = previous;
  instance.subclassedWindow = window;
  SetWindowProperty(window, kInstanceProperty, &instance);
  InvalidateWindow(window, true);
  UpdateWindow(window);
}

void RestorePageWindow(PluginInstance& instance) {
  const WindowHandle window = instance.subclassedWindow;
  if (window == WindowHandle::None) return;
  KillTimer(window, kTickTimerId);
  if (GetWindowProc(window) == &PluginWindowProcedure) SetWindowProc(window, instance.previousProcedure);
  if (InstanceOf(window) == &instance) RemoveWindowProperty(window, kInstanceProperty);
  instance.subclassedWindow = WindowHandle::None;
  instance.previousProcedure = nullptr;
}

// Each time the world has noted more, the status line tells how many and
// the first of them.
void ShowWorldMessages(PluginInstance& instance) {
  char first[VX_TEXT_BUFFER_SIZE] = {};
  uint32_t count = 0;
  if (engine::GetSceneMessage(instance.scene, 0, first, &count) != EngineOk || count <= instance.toldMessages) return;
  instance.toldMessages = count;
  BrowserStatus(instance.npp, (engine::WarningCountText(count) + ": " + first).c_str());
}

void EngineTick(PluginInstance& instance) {
  const WindowHandle window = instance.window;
  if (instance.view && instance.scene) {
    InstanceCall call(instance);
    static_cast<void>(engine::PollDownloads(instance.engine));
    if (call.Alive()) static_cast<void>(engine::TickView(instance.view));
    if (call.Alive()) ShowWorldMessages(instance);
  }
  // The tick may have taken longer than the timer's interval.
  Message pending;
  static_cast<void>(PeekMessage(pending, {window, kMsgTimer, kMsgTimer}, PeekMode::kRemove));
}

void OpenLinkUrl(PluginInstance& instance, const char* url, const char* target) {
  if (!url || !*url) return;
  const std::optional<std::string> link = LinkUrlFor(std::string_view(url, strnlen(url, VX_TEXT_BUFFER_SIZE)));
  if (!link) return;
  CopyCut(instance.linkTarget, target ? std::string_view(target, strnlen(target, VX_TEXT_BUFFER_SIZE)) : "");
  CopyCut(instance.linkUrl, *link);
  InstanceCall call(instance);
  static_cast<void>(
      BrowserGetUrl(instance.npp, instance.linkUrl, instance.linkTarget[0] ? instance.linkTarget : kCurrentFrame));
  instance.linkTarget[0] = '\0';
  instance.linkUrl[0] = '\0';
}

void EngineLinkCallback(int32_t code, void* data, void* instance) {
  if (code != ViewEventOpenLink || !data || !instance) return;
  const auto* request = static_cast<const LinkRequest*>(data);
  OpenLinkUrl(*static_cast<PluginInstance*>(instance), request->url, request->target);
}

Point SplashOrigin(int width, int height) {
  return {width / 2 - kSplashWidth / 2, height / 2 - kSplashHeight / 2};
}

}  // namespace vx::plugin
