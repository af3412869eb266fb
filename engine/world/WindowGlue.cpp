#include "engine/world/WindowGlue.h"

#include <vector>

#include "common/NMChannel.h"
#include "engine/render/DibImage.h"
#include "engine/world/WorldLimits.h"
#include "platform/DeviceContext.h"
#include "platform/Dialogs.h"
#include "platform/InputState.h"

namespace vx {
namespace {

using CursorPicture = std::array<const char*, kCursorPictureSize>;

// '#' black, 'o' white, '.' transparent.
constexpr CursorPicture kPanPicture = {
    ".......oo.......", "......o##o......", ".....o####o.....", "....o######o....",
    "...o.oo##oo.o...", "..o#o.o##o.o#o..", ".o##ooo##ooo##o.", "o##############o",
    "o##############o", ".o##ooo##ooo##o.", "..o#o.o##o.o#o..", "...o.oo##oo.o...",
    "....o######o....", ".....o####o.....", "......o##o......", ".......oo.......",
};
constexpr CursorPicture kLinkPicture = {
    ".......oo.......", ".....oo##oo.....", "...oo######oo...", "..o##########o..",
    ".o############o.", "..ooooo##ooooo..", "......o##o......", ".....o####o.....",
    ".....o####o.....", "....o######o....", "....o######o....", "...o########o...",
    "...o########o...", "..o##########o..", "..o###oooo###o..", "...ooo....ooo...",
};

CursorHandle MakeCursor(const CursorPicture& picture, int hotX, int hotY) {
  constexpr int kRowBytes = CursorMaskRowBytes(kCursorCellSize);
  // Everything outside the picture is transparent: AND 1, XOR 0.
  std::vector<uint8_t> andMask(static_cast<size_t>(kRowBytes) * kCursorCellSize, 0xFF);
  std::vector<uint8_t> xorMask(andMask.size(), 0x00);
  for (int y = 0; y < kCursorPictureSize; ++y) {
    for (int x = 0; x < kCursorPictureSize; ++x) {
      const char pixel = picture[static_cast<size_t>(y)][x];
      const size_t byte = static_cast<size_t>(y) * kRowBytes + static_cast<size_t>(x / 8);
      const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
      if (pixel == '.') continue;
      andMask[byte] &= static_cast<uint8_t>(~bit);
      if (pixel == 'o') xorMask[byte] |= bit;
    }
  }
  return CreateCursor(hotX, hotY, kCursorCellSize, kCursorCellSize, andMask, xorMask);
}

// The key each Macintosh key code reads; kNone where a code has none.
constexpr std::array<Key, kMaxMacKeyCode + 1> BuildMacKeyMap() {
  std::array<Key, kMaxMacKeyCode + 1> map{};
  constexpr std::pair<int, Key> kPairs[] = {
      {0, Key::kA}, {1, Key::kS}, {2, Key::kD}, {3, Key::kF}, {4, Key::kH}, {5, Key::kG}, {6, Key::kZ},
      {7, Key::kX}, {8, Key::kC}, {9, Key::kV}, {11, Key::kB}, {12, Key::kQ}, {13, Key::kW}, {14, Key::kE},
      {15, Key::kR}, {16, Key::kY}, {17, Key::kT}, {18, Key::k1}, {19, Key::k2}, {20, Key::k3}, {21, Key::k4},
      {22, Key::k6}, {23, Key::k5}, {24, Key::kSpace}, {25, Key::k9}, {26, Key::k7}, {27, Key::kKeypadMinus},
      {28, Key::k8}, {29, Key::k0}, {30, Key::kSpace}, {31, Key::kO}, {32, Key::kU}, {33, Key::kSpace},
      {34, Key::kI}, {35, Key::kP}, {36, Key::kEnter}, {37, Key::kL}, {38, Key::kJ}, {39, Key::kSpace},
      {40, Key::kK}, {41, Key::kSpace}, {42, Key::kSpace}, {43, Key::kSpace}, {44, Key::kKeypadDivide},
      {45, Key::kN}, {46, Key::kM}, {47, Key::kKeypadDecimal}, {48, Key::kTab}, {49, Key::kSpace},
      {50, Key::kSpace}, {51, Key::kBackspace}, {53, Key::kEscape}, {55, Key::kAlt}, {56, Key::kShift},
      {57, Key::kCapsLock}, {58, Key::kAlt}, {59, Key::kControl}, {60, Key::kShift}, {61, Key::kAlt},
      {62, Key::kControl}, {65, Key::kKeypadDecimal}, {67, Key::kKeypadMultiply}, {69, Key::kKeypadPlus},
      {71, Key::kClear}, {75, Key::kKeypadDivide}, {76, Key::kEnter}, {78, Key::kKeypadMinus},
      {81, Key::kSpace}, {82, Key::kUp}, {83, Key::kKeypad1}, {84, Key::kKeypad2}, {85, Key::kKeypad3},
      {86, Key::kKeypad4}, {87, Key::kKeypad5}, {88, Key::kKeypad6}, {89, Key::kKeypad7},
      {91, Key::kKeypad8}, {92, Key::kKeypad9}, {96, Key::kF5}, {97, Key::kF6}, {98, Key::kF7},
      {99, Key::kF3}, {100, Key::kF8}, {101, Key::kF9}, {103, Key::kF11}, {105, Key::kF13},
      {107, Key::kF14}, {109, Key::kF10}, {111, Key::kF12}, {113, Key::kF15}, {114, Key::kInsert},
      {115, Key::kHome}, {116, Key::kPageUp}, {117, Key::kDelete}, {118, Key::kF4}, {119, Key::kEnd},
      {120, Key::kF2}, {121, Key::kPageDown}, {122, Key::kF1}, {123, Key::kLeft}, {124, Key::kRight},
      {125, Key::kDown}, {126, Key::kUp},
  };
  for (const auto& [code, key] : kPairs) map[static_cast<size_t>(code)] = key;
  return map;
}

constexpr std::array<Key, kMaxMacKeyCode + 1> kMacKeyMap = BuildMacKeyMap();

}  // namespace

CursorHandle ViewCursors::ByNumber(int32_t cursor) const {
  switch (cursor) {
    case 0: return arrow;
    case 1: return pan;
    case 2: return link;
    default: return CursorHandle::None;
  }
}

ViewCursors CreateViewCursors() {
  return {ArrowCursor(), MakeCursor(kPanPicture, 7, 7), MakeCursor(kLinkPicture, 7, 0)};
}

void DestroyViewCursors(ViewCursors& cursors) {
  DestroyCursor(cursors.pan);
  DestroyCursor(cursors.link);
  cursors = {};
}

void SetWindowCursor(WindowHandle window, CursorHandle cursor) {
  SetClassCursor(window, cursor);
  SetCursorPos(GetCursorPos());
}

MacRect GetClientRectMac(WindowHandle window) {
  const Rect rect = GetClientRect(window);
  return {static_cast<int16_t>(rect.top), static_cast<int16_t>(rect.left), static_cast<int16_t>(rect.bottom),
          static_cast<int16_t>(rect.right)};
}

void BlitImageToWindow(CDibImage& image, WindowHandle window, const MacRect& rect, PaletteHandle palette) {
  WindowDC dc(window);
  if (!dc.Valid()) return;
  if (image.GetBitsPerPixel() == 8) {
    dc.SelectPalette(palette);
    RealizePalette(dc);
  }
  image.Blit(dc, Rect{rect[1], rect[0], rect[3], rect[2]});
}

bool IsMacKeyDown(int32_t macKeyCode) {
  if (macKeyCode < 0 || macKeyCode > kMaxMacKeyCode) return false;
  const Key key = kMacKeyMap[static_cast<size_t>(macKeyCode)];
  return key != Key::kNone && IsKeyDown(key);
}

bool RegisterListenWindowClass() {
  const bool registered = RegisterWindowClass({kListenWindowClass, LookupWindowProcedure(), CursorHandle::None});
  if (!registered) Beep();
  return registered;
}

void UnregisterListenWindowClass() { UnregisterWindowClass(kListenWindowClass); }

}  // namespace vx
