#include "platform/Palette.h"

#include <algorithm>
#include <unordered_map>

#include "platform/Backend.h"
#include "platform/DeviceContext.h"
#include "platform/MessagePump.h"
#include "platform/Messages.h"
#include "platform/WindowState.h"

namespace vx {
namespace {

struct Palettes {
  uint32_t next = 1;
  std::unordered_map<uint32_t, std::vector<uint32_t>> entries;
  std::array<uint32_t, kPaletteEntries> system{};
};

Palettes& PaletteState() {
  static Palettes palettes;
  return palettes;
}

std::vector<uint32_t>* Find(PaletteHandle palette) {
  auto it = PaletteState().entries.find(static_cast<uint32_t>(palette));
  return it == PaletteState().entries.end() ? nullptr : &it->second;
}

// Every visible top-level window hears that the system palette changed, so
// windows that draw with palettes can repaint.
void TellTopLevelWindows(WindowHandle realizedBy) {
  std::vector<WindowHandle> windows;
  for (const auto& [id, record] : detail::State().windows)
    if (record->parent == WindowHandle::None && (record->style & kWindowVisible) &&
        !(record->style & kWindowMessageOnly))
      windows.push_back(record->handle);
  std::sort(windows.begin(), windows.end());
  for (WindowHandle window : windows) PostMessage(window, kMsgPaletteChanged, static_cast<uintptr_t>(realizedBy));
}

}  // namespace

PaletteHandle CreatePalette(std::span<const uint32_t> xrgbEntries) {
  if (xrgbEntries.empty()) return PaletteHandle::None;
  size_t count = std::min<size_t>(xrgbEntries.size(), kPaletteEntries);
  uint32_t handle = PaletteState().next++;
  PaletteState().entries.emplace(handle, std::vector<uint32_t>(xrgbEntries.begin(), xrgbEntries.begin() + count));
  return static_cast<PaletteHandle>(handle);
}

bool DeletePalette(PaletteHandle palette) { return PaletteState().entries.erase(static_cast<uint32_t>(palette)) > 0; }

std::vector<uint32_t> GetPaletteEntries(PaletteHandle palette) {
  const std::vector<uint32_t>* entries = Find(palette);
  return entries ? *entries : std::vector<uint32_t>{};
}

int SetPaletteEntries(PaletteHandle palette, int first, std::span<const uint32_t> xrgbEntries) {
  std::vector<uint32_t>* entries = Find(palette);
  if (!entries || first < 0 || static_cast<size_t>(first) >= entries->size()) return 0;
  size_t count = std::min(xrgbEntries.size(), entries->size() - first);
  std::copy_n(xrgbEntries.begin(), count, entries->begin() + first);
  return static_cast<int>(count);
}

int ScreenBitsPerPixel() {
  int depth = CurrentBackend().ScreenDepth();
  if (depth <= 8) return 8;
  if (depth <= 16) return 16;
  return 32;
}

bool ScreenUses565() { return ScreenBitsPerPixel() == 16 && CurrentBackend().Screen565(); }

std::optional<std::array<uint32_t, kPaletteEntries>> GetSystemPaletteEntries() {
  if (ScreenBitsPerPixel() != 8) return std::nullopt;
  return PaletteState().system;
}

int RealizePalette(DeviceContext& dc) {
  const std::vector<uint32_t>* entries = Find(dc.SelectedPalette());
  if (!entries || ScreenBitsPerPixel() != 8) return 0;
  auto& system = PaletteState().system;
  if (!std::equal(entries->begin(), entries->end(), system.begin())) {
    std::copy(entries->begin(), entries->end(), system.begin());
    TellTopLevelWindows(dc.Window());
  }
  return static_cast<int>(entries->size());
}

}  // namespace vx
