// The few window operations the views need, over the platform layer: the
// view cursors, the class-cursor swap, the client rectangle as 16-bit top,
// left, bottom, right, presenting a frame image with its palette, and the key
// test by Macintosh key code, the code every part of the engine names keys
// by. The pointer in client coordinates is the platform's GetCursorClientPos.
#pragma once

#include <array>
#include <cstdint>

#include "platform/Cursor.h"
#include "platform/Palette.h"
#include "platform/Window.h"

namespace vx {

class CDibImage;

// The cursors of a view, numbered as the view context chooses them: 0 the
// arrow, 1 the four-way arrow ("PAN", shown by default), 2 the upward arrow
// ("LINK").
struct ViewCursors {
  CursorHandle arrow = CursorHandle::None;
  CursorHandle pan = CursorHandle::None;
  CursorHandle link = CursorHandle::None;

  // None for numbers other than 0, 1 and 2.
  CursorHandle ByNumber(int32_t cursor) const;
};

// Top, left, bottom, right.
using MacRect = std::array<int16_t, 4>;

// The arrow is the system's; the two others are made here and belong to the
// caller (DestroyViewCursors).
[[nodiscard]] ViewCursors CreateViewCursors();
void DestroyViewCursors(ViewCursors& cursors);

// Makes the cursor the window's class cursor and shows it at once.
void SetWindowCursor(WindowHandle window, CursorHandle cursor);

MacRect GetClientRectMac(WindowHandle window);

// Draws the image into the rectangle of the window; an 8-bit image through
// the palette, which is selected and realised first.
void BlitImageToWindow(CDibImage& image, WindowHandle window, const MacRect& rect, PaletteHandle palette);

// True while the key that the Macintosh key code stands for is down; false
// for codes without a key and codes outside 0..126.
bool IsMacKeyDown(int32_t macKeyCode);

// The window class of the command link, "ListenMessageWindow", with the
// socket channel's lookup procedure; a failed registration beeps. False when
// the class was not registered (also when it already was).
[[nodiscard]] bool RegisterListenWindowClass();
void UnregisterListenWindowClass();

}  // namespace vx
