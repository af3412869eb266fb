#include "platform/DeviceContext.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "platform/Backend.h"
#include "platform/PixelSurface.h"
#include "platform/WindowState.h"

namespace vx {
namespace {

uint16_t Pack16(uint32_t xrgb, Layout16 layout) {
  uint32_t r = (xrgb >> 16) & 0xFF, g = (xrgb >> 8) & 0xFF, b = xrgb & 0xFF;
  if (layout == Layout16::k565) return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
  return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

uint8_t* PixelAt(const PixelSurface& surface, int x, int y) {
  return surface.bits + static_cast<size_t>(y) * surface.rowBytes + x * (surface.bitsPerPixel / 8);
}

// Reads pixels of one surface as xRGB, with the colour table that serves its
// 8-bit pixels.
struct Reader {
  const PixelSurface& surface;
  std::span<const uint32_t> table;
  uint32_t operator()(int x, int y) const { return ReadXrgb(surface, table, x, y); }
};

void Write(const PixelSurface& surface, int x, int y, uint32_t xrgb) {
  uint8_t* p = PixelAt(surface, x, y);
  if (surface.bitsPerPixel == 16) {
    uint16_t v = Pack16(xrgb, surface.layout);
    std::memcpy(p, &v, 2);
  } else if (surface.bitsPerPixel == 32) {
    std::memcpy(p, &xrgb, 4);
  }
}

// Word by word: the x byte carries no colour and is written as 0.
void CopyXrgbRow(uint8_t* out, const uint8_t* in, int count) {
  for (int column = 0; column < count; ++column, in += 4, out += 4) {
    uint32_t pixel;
    std::memcpy(&pixel, in, 4);
    pixel &= 0xFFFFFF;
    std::memcpy(out, &pixel, 4);
  }
}

// Gives the window a surface the size of its client area, with what was
// drawn where it still fits. The surface presented before, which a backend
// may still hold, stays as it was. False when the memory cannot be had.
bool FitSurface(detail::WindowRecord& record, int width, int height) {
  const std::shared_ptr<detail::WindowSurface>& old = record.surface;
  if (old && old->width == width && old->height == height) return true;
  try {
    auto fitted = std::make_shared<detail::WindowSurface>();
    fitted->width = width;
    fitted->height = height;
    fitted->pixels.assign(static_cast<size_t>(width) * height, 0);
    if (old) {
      for (int y = 0; y < std::min(height, old->height); ++y)
        std::copy_n(old->pixels.begin() + static_cast<size_t>(y) * old->width, std::min(width, old->width),
                    fitted->pixels.begin() + static_cast<size_t>(y) * width);
    }
    record.surface = std::move(fitted);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The record of a window that can be drawn into, its surface fitted to the
// client area; null for an invalid or message-only window, an empty client
// area, or when the memory cannot be had.
detail::WindowRecord* FittedRecord(WindowHandle window) {
  detail::WindowRecord* record = detail::Find(window);
  if (!record || (record->style & kWindowMessageOnly)) return nullptr;
  const int width = record->rect.Width(), height = record->rect.Height();
  if (!FitSurface(*record, std::max(width, 0), std::max(height, 0)) || width <= 0 || height <= 0) return nullptr;
  return record;
}

// Hands the backend the surface itself, which it may keep.
void PresentSurface(WindowHandle window, const std::shared_ptr<detail::WindowSurface>& surface, const Rect& changed) {
  CurrentBackend().Present(
      window, {std::shared_ptr<const uint32_t>(surface, surface->pixels.data()), surface->width, surface->height},
      changed);
}

// The colour table for the 8-bit pixels of a source.
std::vector<uint32_t> TableFor(const PixelSurface& source, const DeviceContext& sourceDc, const DeviceContext& targetDc) {
  if (!source.colorTable.empty()) return {source.colorTable.begin(), source.colorTable.end()};
  std::vector<uint32_t> entries = GetPaletteEntries(sourceDc.SelectedPalette());
  return entries.empty() ? GetPaletteEntries(targetDc.SelectedPalette()) : entries;
}

// Clips a copy of width x height from (sx, sy) to (x, y) to both surfaces.
// False when nothing remains.
bool ClipCopy(const PixelSurface& target, const PixelSurface& source, int& x, int& y, int& width, int& height,
              int& sx, int& sy) {
  auto clipStart = [](int& a, int& b, int& length) {
    int shift = std::max({0, -a, -b});
    a += shift;
    b += shift;
    length -= shift;
  };
  clipStart(x, sx, width);
  clipStart(y, sy, height);
  width = std::min({width, target.width - x, source.width - sx});
  height = std::min({height, target.height - y, source.height - sy});
  return width > 0 && height > 0;
}

bool SameForm(const PixelSurface& a, const PixelSurface& b) {
  return a.bitsPerPixel == b.bitsPerPixel && (a.bitsPerPixel != 16 || a.layout == b.layout);
}

}  // namespace

uint32_t ReadXrgb(const PixelSurface& surface, std::span<const uint32_t> table, int x, int y) {
  const uint8_t* p = PixelAt(surface, x, y);
  switch (surface.bitsPerPixel) {
    case 8:
      return *p < table.size() ? table[*p] & 0xFFFFFF : 0;
    case 16: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return Xrgb16(v, surface.layout);
    }
    default: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v & 0xFFFFFF;
    }
  }
}

DeviceContext::~DeviceContext() = default;

int DeviceContext::Width() const {
  PixelSurface surface;
  return Describe(surface) ? surface.width : 0;
}

int DeviceContext::Height() const {
  PixelSurface surface;
  return Describe(surface) ? surface.height : 0;
}

PaletteHandle DeviceContext::SelectPalette(PaletteHandle palette) { return std::exchange(palette_, palette); }

uint32_t DeviceContext::GetPixel(int x, int y) const {
  PixelSurface surface;
  if (!Describe(surface) || x < 0 || y < 0 || x >= surface.width || y >= surface.height) return 0;
  if (!surface.colorTable.empty()) return ReadXrgb(surface, surface.colorTable, x, y);
  return ReadXrgb(surface, GetPaletteEntries(palette_), x, y);
}

bool DeviceContext::SetPixel(int x, int y, uint32_t xrgb) {
  PixelSurface surface;
  if (!Describe(surface) || surface.bitsPerPixel == 8 || x < 0 || y < 0 || x >= surface.width || y >= surface.height)
    return false;
  Write(surface, x, y, xrgb & 0xFFFFFF);
  Changed({x, y, x + 1, y + 1});
  return true;
}

MemoryDC::~MemoryDC() { Select(nullptr); }

Bitmap* MemoryDC::Select(Bitmap* bitmap) {
  Bitmap* previous = bitmap_;
  if (previous) previous->selectedInto_ = nullptr;
  if (bitmap && bitmap->selectedInto_) bitmap->selectedInto_->bitmap_ = nullptr;
  bitmap_ = bitmap;
  if (bitmap) bitmap->selectedInto_ = this;
  return previous;
}

bool MemoryDC::Describe(PixelSurface& out) const {
  if (!bitmap_) return false;
  out = {bitmap_->Bits(), bitmap_->Width(),      bitmap_->Height(),
         bitmap_->RowBytes(), bitmap_->BitsPerPixel(), bitmap_->Layout(), bitmap_->ColorTable()};
  return true;
}

WindowDC::WindowDC(WindowHandle window) : window_(window) {}
WindowDC::~WindowDC() = default;

bool WindowDC::Valid() const {
  detail::WindowRecord* record = detail::Find(window_);
  return record && !(record->style & kWindowMessageOnly);
}

bool WindowDC::Describe(PixelSurface& out) const {
  detail::WindowRecord* record = FittedRecord(window_);
  if (!record) return false;
  detail::WindowSurface& surface = *record->surface;
  out = {.bits = reinterpret_cast<uint8_t*>(surface.pixels.data()),
         .width = surface.width,
         .height = surface.height,
         .rowBytes = surface.width * 4,
         .bitsPerPixel = 32,
         .layout = Layout16::k555,
         .colorTable = {}};
  return true;
}

void WindowDC::Changed(const Rect& changed) {
  detail::WindowRecord* record = detail::Find(window_);
  if (!record || !record->surface) return;
  PresentSurface(window_, record->surface, changed);
}

WindowPixels GetWindowPixels(WindowHandle window) {
  detail::WindowRecord* record = FittedRecord(window);
  if (!record) return {};
  const std::shared_ptr<detail::WindowSurface>& surface = record->surface;
  return {std::shared_ptr<uint32_t>(surface, surface->pixels.data()), surface->width, surface->height};
}

bool PresentWindowPixels(WindowHandle window, const WindowPixels& pixels, const Rect& changed) {
  detail::WindowRecord* record = FittedRecord(window);
  if (!record || !pixels.pixels || record->surface->pixels.data() != pixels.pixels.get()) return false;
  const Rect clipped{std::max(0, changed.left), std::max(0, changed.top), std::min(pixels.width, changed.right),
                     std::min(pixels.height, changed.bottom)};
  if (clipped.Width() <= 0 || clipped.Height() <= 0) return false;
  PresentSurface(window, record->surface, clipped);
  return true;
}

bool BitBlt(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& source, int sourceX,
            int sourceY) {
  PixelSurface to, from;
  if (!target.Describe(to) || !source.Describe(from)) return false;
  if (to.bitsPerPixel == 8 && from.bitsPerPixel != 8) return false;
  if (!ClipCopy(to, from, x, y, width, height, sourceX, sourceY)) return false;
  if (to.bitsPerPixel == 32 && from.bitsPerPixel == 32) {
    for (int row = 0; row < height; ++row)
      CopyXrgbRow(PixelAt(to, x, y + row), PixelAt(from, sourceX, sourceY + row), width);
  } else if (SameForm(to, from)) {
    size_t bytes = static_cast<size_t>(width) * (to.bitsPerPixel / 8);
    for (int row = 0; row < height; ++row)
      std::memmove(PixelAt(to, x, y + row), PixelAt(from, sourceX, sourceY + row), bytes);
  } else {
    std::vector<uint32_t> table = TableFor(from, source, target);
    Reader read{from, table};
    for (int row = 0; row < height; ++row)
      for (int column = 0; column < width; ++column)
        Write(to, x + column, y + row, read(sourceX + column, sourceY + row));
  }
  target.Changed({x, y, x + width, y + height});
  return true;
}

bool StretchBlt(DeviceContext& target, int x, int y, int width, int height, const DeviceContext& source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight) {
  PixelSurface to, from;
  if (!target.Describe(to) || !source.Describe(from)) return false;
  if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return false;
  if (to.bitsPerPixel == 8 && from.bitsPerPixel != 8) return false;
  std::vector<uint32_t> table = TableFor(from, source, target);
  Reader read{from, table};
  Rect changed{std::max(0, x), std::max(0, y), std::min(to.width, x + width), std::min(to.height, y + height)};
  if (changed.Width() <= 0 || changed.Height() <= 0) return false;
  for (int ty = changed.top; ty < changed.bottom; ++ty) {
    int sy = sourceY + static_cast<int>(static_cast<int64_t>(ty - y) * sourceHeight / height);
    if (sy < 0 || sy >= from.height) continue;
    for (int tx = changed.left; tx < changed.right; ++tx) {
      int sx = sourceX + static_cast<int>(static_cast<int64_t>(tx - x) * sourceWidth / width);
      if (sx < 0 || sx >= from.width) continue;
      if (to.bitsPerPixel == 8)
        *PixelAt(to, tx, ty) = *PixelAt(from, sx, sy);
      else
        Write(to, tx, ty, read(sx, sy));
    }
  }
  target.Changed(changed);
  return true;
}

bool FillRect(DeviceContext& target, const Rect& rect, uint32_t xrgb) {
  PixelSurface to;
  if (!target.Describe(to) || to.bitsPerPixel == 8) return false;
  Rect clipped{std::max(0, rect.left), std::max(0, rect.top), std::min(to.width, rect.right),
               std::min(to.height, rect.bottom)};
  if (clipped.Width() <= 0 || clipped.Height() <= 0) return false;
  for (int y = clipped.top; y < clipped.bottom; ++y)
    for (int x = clipped.left; x < clipped.right; ++x) Write(to, x, y, xrgb & 0xFFFFFF);
  target.Changed(clipped);
  return true;
}

}  // namespace vx
