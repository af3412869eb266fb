#include <gtest/gtest.h>

#include <array>
#include <string>

#include "WindowTestSupport.h"
#include "platform/Cursor.h"
#include "platform/HeadlessBackend.h"
#include "platform/Input.h"
#include "platform/InputState.h"

namespace vx {
namespace {

using test::Log;
using test::LoggedIds;
using test::RecordingClass;

// The view cursors: '#' black, 'o' white, '.' transparent, drawn in the
// top-left 16 x 16 of a 32 x 32 cell.
constexpr std::array<const char*, 16> kFourWayArrow = {
    ".......oo.......", "......o##o......", ".....o####o.....", "....o######o....",
    "...o.oo##oo.o...", "..o#o.o##o.o#o..", ".o##ooo##ooo##o.", "o##############o",
    "o##############o", ".o##ooo##ooo##o.", "..o#o.o##o.o#o..", "...o.oo##oo.o...",
    "....o######o....", ".....o####o.....", "......o##o......", ".......oo.......",
};
constexpr std::array<const char*, 16> kUpwardArrow = {
    ".......oo.......", ".....oo##oo.....", "...oo######oo...", "..o##########o..",
    ".o############o.", "..ooooo##ooooo..", "......o##o......", ".....o####o.....",
    ".....o####o.....", "....o######o....", "....o######o....", "...o########o...",
    "...o########o...", "..o##########o..", "..o###oooo###o..", "...ooo....ooo...",
};

struct Masks {
  std::array<uint8_t, 128> andMask;
  std::array<uint8_t, 128> xorMask;
};

Masks MasksOf(const std::array<const char*, 16>& art) {
  Masks masks;
  masks.andMask.fill(0xFF);
  masks.xorMask.fill(0x00);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      size_t at = static_cast<size_t>(y) * 4 + x / 8;
      if (art[y][x] != '.') masks.andMask[at] &= static_cast<uint8_t>(~bit);
      if (art[y][x] == 'o') masks.xorMask[at] |= bit;
    }
  return masks;
}

char Symbol(CursorPixel pixel) {
  switch (pixel) {
    case CursorPixel::kBlack: return '#';
    case CursorPixel::kWhite: return 'o';
    case CursorPixel::kTransparent: return '.';
    case CursorPixel::kInverted: return '~';
  }
  return '?';
}

TEST(Cursors, TheViewCursorsDecodeBitForBit) {
  for (const auto* art : {&kFourWayArrow, &kUpwardArrow}) {
    Masks masks = MasksOf(*art);
    ASSERT_EQ(CursorMaskRowBytes(32), 4);
    CursorHandle cursor = CreateCursor(7, 7, 32, 32, masks.andMask, masks.xorMask);
    ASSERT_NE(cursor, CursorHandle::None);
    std::optional<CursorImage> image = GetCursorImage(cursor);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->hotX, 7);
    for (int y = 0; y < 32; ++y) {
      std::string row;
      for (int x = 0; x < 32; ++x) row += Symbol(image->At(x, y));
      std::string expected = y < 16 ? std::string((*art)[y]) + std::string(16, '.') : std::string(32, '.');
      EXPECT_EQ(row, expected) << "row " << y;
    }
    EXPECT_TRUE(DestroyCursor(cursor));
    EXPECT_FALSE(GetCursorImage(cursor));
  }
}

TEST(Cursors, BitPairsAndRowPadding) {
  // A 3 x 2 cursor: rows padded to one 16-bit word. Row 0 holds all four pairs.
  const uint8_t andMask[] = {0b01100000, 0xFF, 0b11100000, 0};
  const uint8_t xorMask[] = {0b00100000, 0, 0b01000000, 0};
  CursorHandle cursor = CreateCursor(0, 1, 3, 2, andMask, xorMask);
  std::optional<CursorImage> image = GetCursorImage(cursor);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(0, 0), CursorPixel::kBlack);
  EXPECT_EQ(image->At(1, 0), CursorPixel::kTransparent);
  EXPECT_EQ(image->At(2, 0), CursorPixel::kInverted);
  EXPECT_EQ(image->At(1, 1), CursorPixel::kInverted);
  EXPECT_EQ(image->At(2, 1), CursorPixel::kTransparent);
  const uint8_t shortMask[] = {0, 0, 0};
  EXPECT_EQ(CreateCursor(0, 0, 3, 2, shortMask, xorMask), CursorHandle::None) << "masks shorter than two rows";
  EXPECT_EQ(CreateCursor(3, 0, 3, 2, andMask, xorMask), CursorHandle::None) << "hot spot outside";
  EXPECT_FALSE(DestroyCursor(ArrowCursor()));
  DestroyCursor(cursor);
}

class Pointer : public ::testing::Test {
 protected:
  void SetUp() override {
    Headless().Reset();
    ReleaseAllKeys();
    left_ = recording_.Create();
    MoveWindow(left_, 0, 0, 100, 100);
    right_ = recording_.Create();
    MoveWindow(right_, 100, 0, 100, 100);
    DispatchPendingMessages();
    Log().clear();
  }
  void TearDown() override {
    ReleaseCapture();
    SetFocus(WindowHandle::None);
    Headless().Reset();
  }

  RecordingClass recording_;
  WindowHandle left_ = WindowHandle::None;
  WindowHandle right_ = WindowHandle::None;
};

TEST_F(Pointer, TheClassCursorShowsOnceThePointerMoves) {
  Masks masks = MasksOf(kFourWayArrow);
  CursorHandle pan = CreateCursor(7, 7, 32, 32, masks.andMask, masks.xorMask);
  DeliverPointerMove({50, 50});
  EXPECT_EQ(GetCursor(), ArrowCursor());

  EXPECT_EQ(SetClassCursor(left_, pan), CursorHandle::None);
  EXPECT_EQ(GetCursor(), ArrowCursor()) << "not before the pointer moves";
  SetCursorPos(GetCursorPos());
  EXPECT_EQ(GetCursor(), pan);
  EXPECT_EQ(Headless().ShownCursor(), pan);
  EXPECT_EQ(GetClassCursor(right_), pan) << "the class serves both windows";

  DeliverPointerMove({500, 500});
  EXPECT_EQ(GetCursor(), ArrowCursor()) << "over no window";
  DestroyCursor(pan);
  EXPECT_EQ(GetClassCursor(left_), ArrowCursor()) << "a destroyed class cursor reads as the arrow";
  EXPECT_EQ(SetCursor(pan), ArrowCursor());
  EXPECT_EQ(GetCursor(), ArrowCursor());
}

TEST_F(Pointer, MessagesGoToTheWindowUnderThePointerUnlessCaptured) {
  DeliverPointerMove({130, 20});
  DeliverButton(true);
  DispatchPendingMessages();
  EXPECT_EQ(Log().back(), (test::Received{right_, kMsgLButtonDown, 0, PackPoint(30, 20)}));
  EXPECT_EQ(GetCursorClientPos(right_), (Point{30, 20}));

  Log().clear();
  EXPECT_EQ(SetCapture(left_), WindowHandle::None);
  DeliverPointerMove({150, 10});
  DeliverButton(false);
  DispatchPendingMessages();
  EXPECT_EQ(Log().back(), (test::Received{left_, kMsgLButtonUp, 0, PackPoint(150, 10)}))
      << "outside its area, in its coordinates";
  EXPECT_TRUE(LoggedIds(right_).empty());

  Log().clear();
  EXPECT_EQ(SetCapture(right_), left_);
  EXPECT_EQ(LoggedIds(left_), std::vector<uint32_t>{kMsgCaptureChanged});
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_EQ(GetCapture(), WindowHandle::None);
  DeliverPointerMove({10, 10});
  DispatchPendingMessages();
  EXPECT_EQ(Log().back().window, left_);

  SetCapture(left_);
  DestroyWindow(left_);
  EXPECT_EQ(GetCapture(), WindowHandle::None);
}

TEST_F(Pointer, FocusMovesWithMessagesToBothWindows) {
  EXPECT_EQ(SetFocus(left_), WindowHandle::None);
  EXPECT_EQ(SetFocus(right_), left_);
  EXPECT_EQ(Log(), (std::vector<test::Received>{{left_, kMsgSetFocus, 0, 0},
                                                {left_, kMsgKillFocus, static_cast<uintptr_t>(right_), 0},
                                                {right_, kMsgSetFocus, static_cast<uintptr_t>(left_), 0}}));
  WindowHandle hidden = recording_.Create(kWindowMessageOnly);
  EXPECT_EQ(SetFocus(hidden), WindowHandle::None);
  EnableWindow(left_, false);
  EXPECT_EQ(SetFocus(left_), WindowHandle::None);
  EXPECT_EQ(GetFocus(), right_) << "refusals change nothing";
  DestroyWindow(right_);
  EXPECT_EQ(GetFocus(), WindowHandle::None);
}

TEST_F(Pointer, KeysHaveStateAndReachTheFocusWindow) {
  DeliverKey(Key::kShift, true);
  EXPECT_TRUE(IsKeyDown(Key::kShift));
  EXPECT_FALSE(IsKeyDown(Key::kControl));
  DispatchPendingMessages();
  EXPECT_TRUE(Log().empty()) << "no focus window, only the state";

  SetFocus(right_);
  Log().clear();
  DeliverKey(Key::kUp, true);
  DeliverCharacter(U'a');
  DeliverKey(Key::kUp, false);
  DispatchPendingMessages();
  EXPECT_EQ(Log(), (std::vector<test::Received>{{right_, kMsgKeyDown, static_cast<uintptr_t>(Key::kUp), 0},
                                                {right_, kMsgChar, 'a', 0},
                                                {right_, kMsgKeyUp, static_cast<uintptr_t>(Key::kUp), 0}}));
  EXPECT_FALSE(IsKeyDown(Key::kUp));
  EXPECT_FALSE(IsKeyDown(Key::kCount));
  ReleaseAllKeys();
  EXPECT_FALSE(IsKeyDown(Key::kShift));
}

TEST_F(Pointer, TheDeepestVisibleWindowIsUnderThePoint) {
  WindowHandle child = recording_.Create(kWindowVisible, left_, 10, 10);
  MoveWindow(child, 20, 20, 10, 10);
  EXPECT_EQ(WindowFromPoint({25, 25}), child);
  EXPECT_EQ(WindowFromPoint({5, 5}), left_);
  WindowHandle over = recording_.Create();
  MoveWindow(over, 50, 0, 100, 100);
  EXPECT_EQ(WindowFromPoint({60, 10}), over) << "the later window lies on top";
  ShowWindow(over, false);
  EXPECT_EQ(WindowFromPoint({60, 10}), left_);
  EXPECT_EQ(WindowFromPoint({-1, 10}), WindowHandle::None);
}

}  // namespace
}  // namespace vx
