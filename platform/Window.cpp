#include "platform/Window.h"

#include <algorithm>
#include <utility>

#include "platform/Backend.h"
#include "platform/Messages.h"
#include "platform/WindowState.h"

namespace vx {
namespace detail {

WindowSystem& State() {
  static WindowSystem state;
  return state;
}

WindowRecord* Find(WindowHandle window) {
  auto& windows = State().windows;
  auto it = windows.find(static_cast<uint32_t>(window));
  return it == windows.end() ? nullptr : it->second.get();
}

ClassRecord* FindClass(std::string_view name) {
  auto& classes = State().classes;
  auto it = classes.find(name);
  return it == classes.end() ? nullptr : &it->second;
}

}  // namespace detail

namespace {

using detail::Find;
using detail::State;
using detail::WindowRecord;

bool IsShownByBackend(const WindowRecord& record) { return (record.style & kWindowMessageOnly) == 0; }

std::vector<WindowHandle> ChildrenOf(WindowHandle parent) {
  std::vector<WindowHandle> children;
  for (const auto& [id, record] : State().windows)
    if (record->parent == parent) children.push_back(record->handle);
  std::sort(children.begin(), children.end());
  return children;
}

void SendDestroyToTree(WindowHandle window) {
  WindowRecord* record = Find(window);
  if (!record) return;
  record->destroying = true;
  SendMessage(window, kMsgDestroy);
  for (WindowHandle child : ChildrenOf(window)) SendDestroyToTree(child);
}

void ForgetWindow(WindowHandle window) {
  for (WindowHandle child : ChildrenOf(window)) ForgetWindow(child);
  WindowRecord* record = Find(window);
  if (!record) return;
  auto& state = State();
  if (state.focus == window) state.focus = WindowHandle::None;
  if (state.capture == window) state.capture = WindowHandle::None;
  detail::ForgetTimersOf(window);
  detail::ForgetSocketsOf(window);
  detail::ForgetDropsOf(window);
  std::erase_if(state.queue, [window](const detail::QueuedMessage& queued) { return queued.message.window == window; });
  if (detail::ClassRecord* windowClass = detail::FindClass(record->className)) --windowClass->windowCount;
  if (IsShownByBackend(*record)) CurrentBackend().WindowDestroyed(window);
  state.windows.erase(static_cast<uint32_t>(window));
}

void ReportMoved(const WindowRecord& record) {
  if (IsShownByBackend(record)) CurrentBackend().WindowMoved(record.handle, GetWindowScreenRect(record.handle));
}

}  // namespace

bool RegisterWindowClass(const WindowClassDesc& desc) {
  if (!desc.procedure || desc.name.empty() || detail::FindClass(desc.name)) return false;
  State().classes.emplace(desc.name, detail::ClassRecord{desc.procedure, desc.cursor, 0});
  return true;
}

bool UnregisterWindowClass(std::string_view name) {
  detail::ClassRecord* windowClass = detail::FindClass(name);
  if (!windowClass || windowClass->windowCount > 0) return false;
  State().classes.erase(State().classes.find(name));
  return true;
}

bool IsWindowClassRegistered(std::string_view name) { return detail::FindClass(name) != nullptr; }

WindowHandle CreateWindow(const WindowDesc& desc) {
  detail::ClassRecord* windowClass = detail::FindClass(desc.className);
  if (!windowClass) return WindowHandle::None;
  if (desc.parent != WindowHandle::None && !Find(desc.parent)) return WindowHandle::None;
  auto& state = State();
  auto record = std::make_unique<WindowRecord>();
  record->handle = static_cast<WindowHandle>(state.nextHandle++);
  record->className = desc.className;
  record->procedure = windowClass->procedure;
  record->userData = desc.userData;
  record->text = desc.text;
  record->style = desc.style;
  record->parent = desc.parent;
  record->rect = {desc.x, desc.y, desc.x + std::max(0, desc.width), desc.y + std::max(0, desc.height)};
  WindowHandle window = record->handle;
  bool shown = IsShownByBackend(*record);
  state.windows.emplace(static_cast<uint32_t>(window), std::move(record));
  ++windowClass->windowCount;
  if (shown) CurrentBackend().WindowCreated(window, desc);
  if (SendMessage(window, kMsgCreate, 0, reinterpret_cast<intptr_t>(desc.createParam)) == -1) {
    DestroyWindow(window);
    return WindowHandle::None;
  }
  if (!Find(window)) return WindowHandle::None;
  if (shown && (desc.style & kWindowVisible)) CurrentBackend().WindowShown(window, true);
  return window;
}

bool DestroyWindow(WindowHandle window) {
  WindowRecord* record = Find(window);
  if (!record) return false;
  if (!record->destroying) SendDestroyToTree(window);
  ForgetWindow(window);
  return true;
}

bool IsWindow(WindowHandle window) { return Find(window) != nullptr; }

intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t, intptr_t) {
  if (message == kMsgClose) DestroyWindow(window);
  return 0;
}

WindowProc SetWindowProc(WindowHandle window, WindowProc procedure) {
  WindowRecord* record = Find(window);
  if (!record || !procedure) return nullptr;
  return std::exchange(record->procedure, procedure);
}

WindowProc GetWindowProc(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record ? record->procedure : nullptr;
}

intptr_t CallWindowProc(WindowProc procedure, WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!procedure || !Find(window)) return 0;
  return procedure(window, message, wParam, lParam);
}

void SetWindowUserData(WindowHandle window, void* data) {
  if (WindowRecord* record = Find(window)) record->userData = data;
}

void* GetWindowUserData(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record ? record->userData : nullptr;
}

bool SetWindowProperty(WindowHandle window, std::string_view name, void* value) {
  WindowRecord* record = Find(window);
  if (!record) return false;
  record->properties.insert_or_assign(std::string(name), value);
  return true;
}

void* GetWindowProperty(WindowHandle window, std::string_view name) {
  WindowRecord* record = Find(window);
  if (!record) return nullptr;
  auto it = record->properties.find(name);
  return it == record->properties.end() ? nullptr : it->second;
}

void* RemoveWindowProperty(WindowHandle window, std::string_view name) {
  WindowRecord* record = Find(window);
  if (!record) return nullptr;
  auto it = record->properties.find(name);
  if (it == record->properties.end()) return nullptr;
  void* value = it->second;
  record->properties.erase(it);
  return value;
}

bool SetWindowText(WindowHandle window, std::string_view text) {
  WindowRecord* record = Find(window);
  if (!record) return false;
  record->text = text;
  if (IsShownByBackend(*record)) CurrentBackend().WindowTextChanged(window, record->text);
  return true;
}

std::string GetWindowText(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record ? record->text : std::string();
}

std::string GetWindowClassName(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record ? record->className : std::string();
}

WindowHandle GetParentWindow(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record ? record->parent : WindowHandle::None;
}

uint32_t GetWindowStyle(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record ? record->style : 0;
}

bool ShowWindow(WindowHandle window, bool visible) {
  WindowRecord* record = Find(window);
  if (!record || (record->style & kWindowMessageOnly)) return false;
  bool was = (record->style & kWindowVisible) != 0;
  record->style = visible ? (record->style | kWindowVisible) : (record->style & ~kWindowVisible);
  if (was != visible) CurrentBackend().WindowShown(window, visible);
  return true;
}

bool IsWindowVisible(WindowHandle window) { return (GetWindowStyle(window) & kWindowVisible) != 0; }

bool EnableWindow(WindowHandle window, bool enabled) {
  WindowRecord* record = Find(window);
  if (!record) return false;
  record->style = enabled ? (record->style & ~kWindowDisabled) : (record->style | kWindowDisabled);
  return true;
}

bool IsWindowEnabled(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record && (record->style & kWindowDisabled) == 0;
}

bool MoveWindow(WindowHandle window, int x, int y, int width, int height) {
  WindowRecord* record = Find(window);
  if (!record) return false;
  Rect previous = record->rect;
  record->rect = {x, y, x + std::max(0, width), y + std::max(0, height)};
  ReportMoved(*record);
  if (previous.Width() != record->rect.Width() || previous.Height() != record->rect.Height())
    SendMessage(window, kMsgSize, static_cast<uintptr_t>(record->rect.Width()), record->rect.Height());
  return true;
}

Rect GetClientRect(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record ? Rect{0, 0, record->rect.Width(), record->rect.Height()} : Rect{};
}

Rect GetWindowScreenRect(WindowHandle window) {
  WindowRecord* record = Find(window);
  if (!record) return {};
  Point origin = ClientToScreen(window, {0, 0});
  return {origin.x, origin.y, origin.x + record->rect.Width(), origin.y + record->rect.Height()};
}

Point ClientToScreen(WindowHandle window, Point client) {
  for (WindowRecord* record = Find(window); record; record = Find(record->parent)) {
    client.x += record->rect.left;
    client.y += record->rect.top;
  }
  return client;
}

Point ScreenToClient(WindowHandle window, Point screen) {
  Point origin = ClientToScreen(window, {0, 0});
  return {screen.x - origin.x, screen.y - origin.y};
}

bool InvalidateWindow(WindowHandle window, bool erase) {
  WindowRecord* record = Find(window);
  if (!record || (record->style & kWindowMessageOnly)) return false;
  record->invalid = true;
  record->eraseRequested = record->eraseRequested || erase;
  return true;
}

bool ValidateWindow(WindowHandle window) {
  WindowRecord* record = Find(window);
  if (!record) return false;
  record->invalid = false;
  return true;
}

bool IsWindowInvalid(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record && record->invalid;
}

bool UpdateWindow(WindowHandle window) {
  WindowRecord* record = Find(window);
  if (!record) return false;
  if (record->invalid) {
    record->invalid = false;
    SendMessage(window, kMsgPaint);
  }
  return true;
}

bool ConsumeEraseRequest(WindowHandle window) {
  WindowRecord* record = Find(window);
  return record && std::exchange(record->eraseRequested, false);
}

}  // namespace vx
