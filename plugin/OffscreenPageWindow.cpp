#include "plugin/OffscreenPageWindow.h"

#include <algorithm>
#include <vector>

#include "plugin/PluginLimits.h"

namespace vx::plugin {
namespace {

constexpr char kWindowClass[] = "VantesselOffscreenPage";
// Lanes lie one above the other with room to spare between them.
constexpr int kLaneHeight = 2 * kMaxDrawableSide;

// The window in each lane; None where a lane is free.
std::vector<WindowHandle> gLanes;

int Side(uint32_t extent) { return static_cast<int>(std::min<uint32_t>(extent, kMaxDrawableSide)); }

int LaneTop(size_t lane) { return static_cast<int>(lane) * kLaneHeight; }

size_t FreeLane() {
  const auto free = std::find_if(gLanes.begin(), gLanes.end(), [](WindowHandle w) { return !IsWindow(w); });
  if (free != gLanes.end()) return static_cast<size_t>(free - gLanes.begin());
  gLanes.push_back(WindowHandle::None);
  return gLanes.size() - 1;
}

bool EnsureClass() {
  return IsWindowClassRegistered(kWindowClass) || RegisterWindowClass({kWindowClass, &DefWindowProc, {}});
}

}  // namespace

WindowHandle CreateOffscreenPageWindow(uint32_t width, uint32_t height) {
  if (!EnsureClass()) return WindowHandle::None;
  const size_t lane = FreeLane();
  WindowDesc desc;
  desc.className = kWindowClass;
  desc.style = kWindowVisible;
  desc.y = LaneTop(lane);
  desc.width = Side(width);
  desc.height = Side(height);
  gLanes[lane] = CreateWindow(desc);
  return gLanes[lane];
}

void ResizeOffscreenPageWindow(WindowHandle window, uint32_t width, uint32_t height) {
  const Rect rect = GetWindowScreenRect(window);
  if (rect.Width() == Side(width) && rect.Height() == Side(height)) return;
  static_cast<void>(MoveWindow(window, rect.left, rect.top, Side(width), Side(height)));
}

void DestroyOffscreenPageWindow(WindowHandle window) {
  if (window == WindowHandle::None) return;
  static_cast<void>(DestroyWindow(window));
  std::replace(gLanes.begin(), gLanes.end(), window, WindowHandle::None);
}

}  // namespace vx::plugin
