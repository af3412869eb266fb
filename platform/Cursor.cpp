#include "platform/Cursor.h"

#include <map>
#include <utility>

#include "platform/Backend.h"
#include "platform/WindowState.h"

namespace vx {
namespace {

constexpr CursorHandle kArrow = static_cast<CursorHandle>(1);
constexpr int kMaxCursorSide = 256;

struct Cursors {
  uint32_t next = 2;
  std::map<uint32_t, CursorImage> images;
};

Cursors& State() {
  static Cursors cursors;
  return cursors;
}

bool Exists(CursorHandle cursor) {
  return cursor == kArrow || State().images.count(static_cast<uint32_t>(cursor)) > 0;
}

bool Bit(std::span<const uint8_t> mask, int rowBytes, int x, int y) {
  return (mask[static_cast<size_t>(y) * rowBytes + x / 8] >> (7 - x % 8)) & 1;
}

CursorPixel Decode(bool andBit, bool xorBit) {
  if (andBit) return xorBit ? CursorPixel::kInverted : CursorPixel::kTransparent;
  return xorBit ? CursorPixel::kWhite : CursorPixel::kBlack;
}

}  // namespace

CursorHandle ArrowCursor() { return kArrow; }

CursorHandle CreateCursor(int hotX, int hotY, int width, int height, std::span<const uint8_t> andMask,
                          std::span<const uint8_t> xorMask) {
  if (width < 1 || height < 1 || width > kMaxCursorSide || height > kMaxCursorSide) return CursorHandle::None;
  if (hotX < 0 || hotY < 0 || hotX >= width || hotY >= height) return CursorHandle::None;
  int rowBytes = CursorMaskRowBytes(width);
  size_t needed = static_cast<size_t>(rowBytes) * height;
  if (andMask.size() < needed || xorMask.size() < needed) return CursorHandle::None;
  CursorImage image{width, height, hotX, hotY, {}};
  image.pixels.reserve(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.pixels.push_back(Decode(Bit(andMask, rowBytes, x, y), Bit(xorMask, rowBytes, x, y)));
  uint32_t handle = State().next++;
  State().images.emplace(handle, std::move(image));
  return static_cast<CursorHandle>(handle);
}

bool DestroyCursor(CursorHandle cursor) { return State().images.erase(static_cast<uint32_t>(cursor)) > 0; }

std::optional<CursorImage> GetCursorImage(CursorHandle cursor) {
  auto it = State().images.find(static_cast<uint32_t>(cursor));
  if (it == State().images.end()) return std::nullopt;
  return it->second;
}

CursorHandle SetClassCursor(WindowHandle window, CursorHandle cursor) {
  detail::WindowRecord* record = detail::Find(window);
  detail::ClassRecord* windowClass = record ? detail::FindClass(record->className) : nullptr;
  if (!windowClass) return CursorHandle::None;
  return std::exchange(windowClass->cursor, cursor);
}

CursorHandle GetClassCursor(WindowHandle window) {
  detail::WindowRecord* record = detail::Find(window);
  detail::ClassRecord* windowClass = record ? detail::FindClass(record->className) : nullptr;
  if (!windowClass || !Exists(windowClass->cursor)) return kArrow;
  return windowClass->cursor;
}

CursorHandle SetCursor(CursorHandle cursor) {
  CursorHandle shown = Exists(cursor) ? cursor : kArrow;
  CursorHandle previous = std::exchange(detail::State().cursor, shown);
  if (previous != shown) CurrentBackend().ShowCursorShape(shown);
  return previous;
}

CursorHandle GetCursor() {
  CursorHandle shown = detail::State().cursor;
  return Exists(shown) ? shown : kArrow;
}

}  // namespace vx
