// Mouse cursors: the system arrow and cursors made from AND/XOR masks.
//
// A mask is one bit per pixel, the leftmost pixel in the top bit of the first
// byte, each row padded to a whole number of 16-bit words (a 32-pixel row is
// 4 bytes, a 16-pixel row 2). The bit pair of a pixel decides what is seen:
//   AND 0, XOR 0: black        AND 1, XOR 0: transparent (the screen shows)
//   AND 0, XOR 1: white        AND 1, XOR 1: the screen inverted
//
// The cursor the user sees is the class cursor of the window under the pointer
// (or of the window holding the capture); it is chosen again whenever the
// pointer moves, so after changing a class cursor, set the cursor position
// to where it is (SetCursorPos(GetCursorPos())) to show the new shape at once.
// SetCursor shows a cursor until the pointer next moves.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

enum class CursorPixel : uint8_t { kBlack, kWhite, kTransparent, kInverted };

struct CursorImage {
  int width = 0;
  int height = 0;
  int hotX = 0;
  int hotY = 0;
  std::vector<CursorPixel> pixels;  // rows of `width`, top row first

  CursorPixel At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The system arrow (never destroyed).
VX_PLATFORM_API CursorHandle ArrowCursor();

// Rows of the given masks, in bytes.
constexpr int CursorMaskRowBytes(int width) { return ((width + 15) / 16) * 2; }

// A cursor from AND and XOR masks of height rows of CursorMaskRowBytes(width)
// bytes each. None when a dimension is not in 1..256, the hot spot lies
// outside, or a mask is shorter than its rows need.
[[nodiscard]] VX_PLATFORM_API CursorHandle CreateCursor(int hotX, int hotY, int width, int height,
                                                        std::span<const uint8_t> andMask,
                                                        std::span<const uint8_t> xorMask);
// False for the arrow and for invalid handles. A destroyed cursor still set as
// a class cursor or shown reads as the arrow.
VX_PLATFORM_API bool DestroyCursor(CursorHandle cursor);
// The decoded picture of a cursor (the arrow has none: it is the backend's).
VX_PLATFORM_API std::optional<CursorImage> GetCursorImage(CursorHandle cursor);

// The class cursor of the window's class: setting it serves every window of
// the class; returns the previous one. None (an invalid window) changes
// nothing.
VX_PLATFORM_API CursorHandle SetClassCursor(WindowHandle window, CursorHandle cursor);
// The class cursor (the arrow when the class has none or it was destroyed).
VX_PLATFORM_API CursorHandle GetClassCursor(WindowHandle window);

// Shows a cursor now; returns the one shown before.
VX_PLATFORM_API CursorHandle SetCursor(CursorHandle cursor);
// The cursor shown.
VX_PLATFORM_API CursorHandle GetCursor();

}  // namespace vx
