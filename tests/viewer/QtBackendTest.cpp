#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <QWidget>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

#include "QtTestSupport.h"
#include "platform/Bitmap.h"
#include "platform/Cursor.h"
#include "platform/DeviceContext.h"
#include "platform/Dialogs.h"
#include "platform/InputState.h"
#include "platform/Socket.h"

namespace vx::test {
namespace {

QRgb Rgb(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFF; }

std::vector<Received> KeyboardMessages(WindowHandle window) {
  std::vector<Received> messages;
  for (const Received& received : Log())
    if (received.window == window && (received.id == kMsgKeyDown || received.id == kMsgKeyUp || received.id == kMsgChar))
      messages.push_back(received);
  return messages;
}

TEST_F(QtBackendTest, APresentedFrameIsWhatTheWidgetsShow) {
  WindowHandle top = CreateShown(40, 30, 120, 80);
  WindowHandle child = CreateShown(50, 20, 30, 20, top);
  WindowHandle hidden = windows_.Create(kWindowMessageOnly);
  EXPECT_EQ(backend_.Widget(hidden), nullptr);
  ASSERT_NE(backend_.Widget(child), nullptr);
  EXPECT_EQ(backend_.Widget(child)->parentWidget(), backend_.Widget(top));
  EXPECT_TRUE(backend_.Widget(top)->isVisible());

  WindowDC topDc(top);
  ASSERT_TRUE(FillRect(topDc, {0, 0, 120, 80}, 0x203040));
  ASSERT_TRUE(FillRect(topDc, {5, 6, 15, 16}, 0xFF8000));
  WindowDC childDc(child);
  ASSERT_TRUE(FillRect(childDc, {0, 0, 30, 20}, 0x00FF00));

  QImage shown = backend_.Widget(top)->grab().toImage();
  ASSERT_EQ(shown.size(), QSize(120, 80));
  EXPECT_EQ(Rgb(shown, 0, 0), 0x203040u);
  EXPECT_EQ(Rgb(shown, 10, 10), 0xFF8000u);
  EXPECT_EQ(Rgb(shown, 15, 16), 0x203040u) << "the fill ends before right and bottom";
  EXPECT_EQ(Rgb(shown, 55, 25), 0x00FF00u) << "the child sits at 50,20 of its parent";

  EXPECT_TRUE(SetWindowText(top, "Vantessel Viewer"));
  EXPECT_EQ(backend_.Widget(top)->windowTitle(), "Vantessel Viewer");
}

// The widget paints the window's own pixels: opaque whatever a bitmap kept
// in its x bytes, and as they were presented, not as the bitmap was drawn
// on later.
TEST_F(QtBackendTest, ABlittedBitmapIsShownOpaqueAsItWasPresented) {
  WindowHandle top = CreateShown(40, 30, 4, 2);
  std::unique_ptr<Bitmap> bitmap = Bitmap::Create(4, 2, 32);
  ASSERT_TRUE(bitmap);
  const std::array<uint32_t, 4> row{0xAB102030, 0x00405060, 0xFF708090, 0x7FA0B0C0};
  for (int y = 0; y < 2; ++y) std::memcpy(bitmap->Row(y), row.data(), sizeof row);
  MemoryDC memory;
  memory.Select(bitmap.get());
  WindowDC dc(top);
  ASSERT_TRUE(BitBlt(dc, 0, 0, 4, 2, memory, 0, 0));
  std::memset(bitmap->Row(0), 0xFF, 16);

  // Painted where alpha counts, as on a display that blends windows.
  QImage shown(4, 2, QImage::Format_ARGB32_Premultiplied);
  shown.fill(Qt::transparent);
  backend_.Widget(top)->render(&shown);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(shown.pixel(x, y), 0xFF000000 | (row[static_cast<size_t>(x)] & 0xFFFFFF)) << x << "," << y;
    }
}

// Pixels drawn into the window in place keep whatever x bytes they were
// given; the widget still shows them opaque.
TEST_F(QtBackendTest, PixelsDrawnInPlaceAreShownOpaque) {
  WindowHandle top = CreateShown(40, 30, 4, 2);
  const WindowPixels pixels = GetWindowPixels(top);
  ASSERT_TRUE(pixels.pixels);
  const std::array<uint32_t, 8> drawn{0x00102030, 0x00405060, 0x7F708090, 0xFFA0B0C0,
                                      0x00000000, 0x00FFFFFF, 0x01010101, 0x80808080};
  std::memcpy(pixels.pixels.get(), drawn.data(), sizeof drawn);
  ASSERT_TRUE(PresentWindowPixels(top, pixels, {0, 0, 4, 2}));

  QImage shown(4, 2, QImage::Format_ARGB32_Premultiplied);
  shown.fill(Qt::transparent);
  backend_.Widget(top)->render(&shown);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(shown.pixel(x, y), 0xFF000000 | (drawn[static_cast<size_t>(4 * y + x)] & 0xFFFFFF)) << x << "," << y;
    }
}

TEST_F(QtBackendTest, AClickAndKeysArriveAsTheLayersMessages) {
  WindowHandle window = CreateShown(0, 0, 200, 100);
  QWidget* widget = backend_.Widget(window);
  QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(15, 25));
  ASSERT_TRUE(RunQtUntil([&] { return Logged(window, kMsgLButtonUp) != nullptr; }));
  ASSERT_TRUE(Logged(window, kMsgLButtonDown));
  EXPECT_EQ(Logged(window, kMsgLButtonDown)->lParam, PackPoint(15, 25));
  EXPECT_EQ(Logged(window, kMsgLButtonUp)->lParam, PackPoint(15, 25));
  EXPECT_EQ(GetFocus(), window) << "a click gives the window the keyboard focus";
  EXPECT_TRUE(Logged(window, kMsgSetFocus));

  QTest::keyPress(widget, 'A', Qt::ShiftModifier);  // Shift goes down first
  EXPECT_TRUE(IsKeyDown(Key::kShift));
  EXPECT_TRUE(IsKeyDown(Key::kA));
  QTest::keyRelease(widget, 'A', Qt::ShiftModifier);
  QTest::keyClick(widget, Qt::Key_5, Qt::KeypadModifier);
  QTest::keyClick(widget, Qt::Key_F5);
  EXPECT_FALSE(IsKeyDown(Key::kShift));
  ASSERT_TRUE(RunQtUntil([&] { return KeyboardMessages(window).size() >= 10; }));

  std::vector<Received> expected = {
      {window, kMsgKeyDown, uintptr_t(Key::kShift), 0},   {window, kMsgKeyDown, uintptr_t(Key::kA), 0},
      {window, kMsgChar, 'A', 0},                         {window, kMsgKeyUp, uintptr_t(Key::kA), 0},
      {window, kMsgKeyUp, uintptr_t(Key::kShift), 0},     {window, kMsgKeyDown, uintptr_t(Key::kKeypad5), 0},
      {window, kMsgChar, '5', 0},                         {window, kMsgKeyUp, uintptr_t(Key::kKeypad5), 0},
      {window, kMsgKeyDown, uintptr_t(Key::kF5), 0},      {window, kMsgKeyUp, uintptr_t(Key::kF5), 0},
  };
  EXPECT_EQ(KeyboardMessages(window), expected);
}

TEST_F(QtBackendTest, ResizingAndClosingComeBackFromQt) {
  WindowHandle window = CreateShown(10, 10, 100, 60);
  QPointer<QWidget> widget = backend_.Widget(window);
  widget->resize(160, 90);
  ASSERT_TRUE(RunQtUntil([&] { return GetClientRect(window) == Rect{0, 0, 160, 90}; }));
  ASSERT_TRUE(Logged(window, kMsgSize));
  EXPECT_EQ(Logged(window, kMsgSize)->wParam, 160u);

  // And the other way: the layer moves windows, Qt follows.
  WindowHandle child = CreateShown(0, 0, 10, 10, window);
  ASSERT_TRUE(MoveWindow(window, 30, 40, 120, 70));
  ASSERT_TRUE(MoveWindow(child, 5, 6, 20, 10));
  EXPECT_EQ(widget->geometry(), QRect(30, 40, 120, 70));
  EXPECT_EQ(backend_.Widget(child)->geometry(), QRect(5, 6, 20, 10));
  EXPECT_EQ(GetWindowScreenRect(child), (Rect{35, 46, 55, 56}));

  // Qt asks; the window's procedure (DefWindowProc here) destroys it.
  widget->close();
  ASSERT_TRUE(RunQtUntil([&] { return !IsWindow(window); }));
  EXPECT_TRUE(Logged(window, kMsgClose));
  EXPECT_EQ(backend_.Widget(window), nullptr);
  ASSERT_TRUE(RunQtUntil([&] { return widget.isNull(); }));
}

TEST_F(QtBackendTest, TimersGoThroughTheQtLoop) {
  WindowHandle window = windows_.Create(kWindowMessageOnly);
  ASSERT_EQ(SetTimer(window, 7, 5), 7u);
  auto fired = [&] {
    return std::count_if(Log().begin(), Log().end(),
                         [&](const Received& r) { return r.window == window && r.id == kMsgTimer && r.wParam == 7; });
  };
  EXPECT_TRUE(RunQtUntil([&] { return fired() >= 3; }));
  EXPECT_TRUE(KillTimer(window, 7));
}

// In a child process: the quit ends the application for good.
TEST_F(QtBackendTest, AQuitMessageEndsTheApplicationsLoop) {
  EXPECT_EXIT(
      {
        PostQuitMessage(4);
        _exit(QApplication::exec());
      },
      ::testing::ExitedWithCode(4), "");
}

TEST_F(QtBackendTest, SocketReadinessWakesTheQtLoop) {
  std::array<int, 2> pair{};
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair.data()), 0);
  WindowHandle window = windows_.Create(kWindowMessageOnly);
  ASSERT_TRUE(SelectSocketEvents(pair[0], window, kMsgUser + 2, kSocketRead));
  // The peer writes while the loop sleeps; no timer of the layer runs, so
  // only the watch on the socket can wake it.
  std::thread peer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(write(pair[1], "x", 1), 1);
  });
  EXPECT_TRUE(RunQtUntil([&] { return Logged(window, kMsgUser + 2) != nullptr; }));
  peer.join();
  SocketClose(pair[0]);
  close(pair[1]);
}

TEST_F(QtBackendTest, CursorsFromMasksBecomeQCursors) {
  WindowHandle window = CreateShown(0, 0, 100, 100);
  // 16 x 16: the top row white then black, the rest transparent.
  std::array<uint8_t, 32> andMask{}, xorMask{};
  andMask.fill(0xFF);
  andMask[0] = andMask[1] = 0x00;
  xorMask[0] = 0xFF;
  CursorHandle cursor = CreateCursor(3, 2, 16, 16, andMask, xorMask);
  ASSERT_NE(cursor, CursorHandle::None);
  SetClassCursor(window, cursor);
  SetCursorPos(ClientToScreen(window, {10, 10}));

  QCursor shown = backend_.Widget(window)->cursor();
  EXPECT_EQ(shown.hotSpot(), QPoint(3, 2));
  QImage picture = shown.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
  EXPECT_EQ(picture.pixel(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(picture.pixel(8, 0), 0xFF000000u);
  EXPECT_EQ(qAlpha(picture.pixel(0, 5)), 0);

  SetCursorPos({-50, -50});
  EXPECT_EQ(backend_.Widget(window)->cursor().shape(), Qt::ArrowCursor) << "away from every window";
  SetClassCursor(window, CursorHandle::None);
  DestroyCursor(cursor);
}

TEST_F(QtBackendTest, FilesDroppedOnAWindowThatAcceptsThem) {
  WindowHandle window = CreateShown(0, 0, 100, 100);
  QWidget* widget = backend_.Widget(window);
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/tmp/a world.wrl"), QUrl("http://www.orvanta.example/b.wrl")});
  auto drop = [&] {
    QDragEnterEvent enter(QPoint(12, 34), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QDropEvent dropped(QPointF(12, 34), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &dropped);
    return enter.isAccepted();
  };
  EXPECT_FALSE(drop()) << "the window does not take drops yet";
  ASSERT_TRUE(AcceptDroppedFiles(window, true));
  EXPECT_TRUE(drop());
  ASSERT_TRUE(RunQtUntil([&] { return Logged(window, kMsgDropFiles) != nullptr; }));
  EXPECT_EQ(std::count_if(Log().begin(), Log().end(), [](const Received& r) { return r.id == kMsgDropFiles; }), 1);

  auto handle = static_cast<DropHandle>(Logged(window, kMsgDropFiles)->wParam);
  ASSERT_EQ(DroppedFileCount(handle), 1) << "only local files are dropped files";
  EXPECT_EQ(DroppedFile(handle, 0), "/tmp/a world.wrl");
  EXPECT_EQ(DropPoint(handle), (Point{12, 34}));
  FinishDrop(handle);
}

}  // namespace
}  // namespace vx::test
