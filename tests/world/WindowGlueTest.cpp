#include <gtest/gtest.h>

#include "engine/render/DibImage.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WindowGlue.h"
#include "platform/HeadlessBackend.h"
#include "platform/Input.h"
#include "platform/InputState.h"
#include "tests/platform/WindowTestSupport.h"

namespace vx {
namespace {

struct KeysReleased {
  ~KeysReleased() { ReleaseAllKeys(); }
};

TEST(MacKeys, CodesReadTheirKeysAndCodesWithoutOneReadUp) {
  KeysReleased released;
  for (Key key : {Key::kSpace, Key::kA, Key::kShift, Key::kControl}) DeliverKey(key, true);
  EXPECT_FALSE(IsMacKeyDown(127));
  EXPECT_FALSE(IsMacKeyDown(10));
  EXPECT_FALSE(IsMacKeyDown(-1));
  EXPECT_TRUE(IsMacKeyDown(0)) << "A";
  EXPECT_TRUE(IsMacKeyDown(56) && IsMacKeyDown(60)) << "both Shift codes";
  EXPECT_TRUE(IsMacKeyDown(59) && IsMacKeyDown(62)) << "both Control codes";
  for (int punctuation : {24, 30, 33, 39, 41, 42, 43, 49, 50, 81}) EXPECT_TRUE(IsMacKeyDown(punctuation));
  EXPECT_FALSE(IsMacKeyDown(82));
  DeliverKey(Key::kUp, true);
  EXPECT_TRUE(IsMacKeyDown(82) && IsMacKeyDown(126)) << "82 reads the up arrow, not keypad 0";
}

TEST(ViewCursors, TheTwoCursorsHaveTheirPicturesAndHotSpots) {
  ViewCursors cursors = CreateViewCursors();
  EXPECT_EQ(cursors.arrow, ArrowCursor());
  const auto pan = GetCursorImage(cursors.pan);
  const auto link = GetCursorImage(cursors.link);
  ASSERT_TRUE(pan && link);
  EXPECT_EQ(pan->width, 32);
  EXPECT_EQ(std::pair(pan->hotX, pan->hotY), std::pair(7, 7));
  EXPECT_EQ(std::pair(link->hotX, link->hotY), std::pair(7, 0));
  EXPECT_EQ(pan->At(0, 7), CursorPixel::kWhite);
  EXPECT_EQ(pan->At(1, 7), CursorPixel::kBlack);
  EXPECT_EQ(pan->At(4, 4), CursorPixel::kTransparent);
  EXPECT_EQ(link->At(7, 15), CursorPixel::kTransparent);
  EXPECT_EQ(link->At(3, 14), CursorPixel::kBlack);
  EXPECT_EQ(pan->At(20, 20), CursorPixel::kTransparent) << "outside the picture";
  DestroyViewCursors(cursors);
  EXPECT_FALSE(GetCursorImage(cursors.pan));
}

TEST(WindowGlue, ClientRectangleIsTopLeftBottomRight) {
  test::RecordingClass windows;
  const WindowHandle window = windows.Create(kWindowVisible, WindowHandle::None, 300, 200);
  EXPECT_EQ(GetClientRectMac(window), (MacRect{0, 0, 200, 300}));
}

TEST(WindowGlue, AFrameImageIsPresentedIntoItsRectangle) {
  test::RecordingClass windows;
  const WindowHandle window = windows.Create(kWindowVisible, WindowHandle::None, 40, 30);
  auto image = CDibImage::Create(10, 10, 32, nullptr, false, false);
  ASSERT_NE(image, nullptr);
  image->Fill({0.0f, 1.0f, 0.0f}, nullptr);
  BlitImageToWindow(*image, window, MacRect{5, 20, 15, 30}, PaletteHandle::None);
  const auto frame = Headless().LastFrame(window);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->At(20, 5), 0x0000FF00u);
  EXPECT_EQ(frame->At(29, 14), 0x0000FF00u);
  EXPECT_EQ(frame->At(19, 5), 0u);
  EXPECT_EQ(frame->At(30, 5), 0u);
}

TEST(WindowGlue, AViewSetsItsCursorOnlyWhileThePointerIsInTheFrame) {
  test::RecordingClass windows;
  const WindowHandle window = windows.Create(kWindowVisible, WindowHandle::None, 64, 48);
  std::vector<uint8_t> pixels(64 * 48 * 4);
  PixelMap frame{pixels.data(), 64, 48, 4, 64 * 4, 0};
  {
    CViewContext view(window, 0);
    view.SetFrameBuffer(frame);
    view.SetPointer(10, 10);
    view.DispatchPointer();
    EXPECT_EQ(view.GetCurrentCursor(), 1) << "the default cursor of a frame";
    EXPECT_EQ(GetClassCursor(window), view.GetCursors().pan);
    view.SetCursor(2);
    EXPECT_EQ(GetClassCursor(window), view.GetCursors().link);
    view.SetPointer(64, 10);
    view.SetCursor(2);
    EXPECT_EQ(view.GetCurrentCursor(), 0) << "x = width lies outside";
    EXPECT_EQ(GetClassCursor(window), ArrowCursor());
    view.SetPointer(10, 10);
    view.SetCursor(7);
    EXPECT_EQ(view.GetCurrentCursor(), 0) << "an unknown number changes nothing";
    view.SetCursor(1);
  }
  EXPECT_EQ(GetClassCursor(window), ArrowCursor()) << "a view leaves the arrow behind";

  CViewContext fed(window, kViewHostFedInput);
  fed.SetFrameBuffer(frame);
  fed.SetPointer(10, 10);
  fed.SetCursor(2);
  EXPECT_EQ(GetClassCursor(window), ArrowCursor()) << "the host shapes a pointer it feeds";
}

}  // namespace
}  // namespace vx
