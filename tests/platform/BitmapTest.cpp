#include "platform/Bitmap.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "TestEnvironment.h"
#include "WindowTestSupport.h"
#include "platform/DeviceContext.h"
#include "platform/Faults.h"
#include "platform/HeadlessBackend.h"
#include "platform/Palette.h"

namespace vx {
namespace {

using test::RecordingClass;
using test::TemporaryFolder;

template <typename T>
void Put(Bitmap& bitmap, int x, int y, T value) {
  std::memcpy(bitmap.Row(y) + x * sizeof(T), &value, sizeof(T));
}

class Blits : public ::testing::Test {
 protected:
  void SetUp() override {
    Headless().Reset();
    window_ = recording_.Create(kWindowVisible, WindowHandle::None, 8, 4);
  }
  void TearDown() override { Headless().Reset(); }

  // Blits the bitmap to the window's origin and returns the presented row 0.
  std::vector<uint32_t> PresentedRow(Bitmap& bitmap, int count) {
    MemoryDC memory;
    memory.Select(&bitmap);
    WindowDC screen(window_);
    EXPECT_TRUE(BitBlt(screen, 0, 0, bitmap.Width(), bitmap.Height(), memory, 0, 0));
    std::optional<Frame> frame = Headless().LastFrame(window_);
    if (!frame) return {};
    return {frame->pixels.begin(), frame->pixels.begin() + count};
  }

  RecordingClass recording_;
  WindowHandle window_ = WindowHandle::None;
};

TEST_F(Blits, EveryPixelFormatArrivesAsXrgb) {
  const uint32_t table[] = {0x000000, 0xFF0000, 0x00FF00, 0x123456};
  auto indexed = Bitmap::Create(4, 1, 8, table);
  ASSERT_TRUE(indexed);
  for (int x = 0; x < 4; ++x) Put<uint8_t>(*indexed, x, 0, static_cast<uint8_t>(3 - x));
  EXPECT_EQ(PresentedRow(*indexed, 4), (std::vector<uint32_t>{0x123456, 0x00FF00, 0xFF0000, 0x000000}));
  indexed->SetColorTable({});
  PaletteHandle palette = CreatePalette(std::span(table, 2));
  MemoryDC memory;
  memory.Select(indexed.get());
  memory.SelectPalette(palette);
  EXPECT_EQ(memory.GetPixel(2, 0), 0xFF0000u) << "without a colour table, the selected palette";
  EXPECT_EQ(memory.GetPixel(0, 0), 0u) << "an index past the palette reads as black";
  DeletePalette(palette);

  auto c555 = Bitmap::Create(4, 1, 16);
  for (uint16_t x = 0; const uint16_t pixel : {0x7FFF, 0x7C00, 0x001F, 0x4210}) Put(*c555, x++, 0, pixel);
  EXPECT_EQ(PresentedRow(*c555, 4), (std::vector<uint32_t>{0xFFFFFF, 0xFF0000, 0x0000FF, 0x848484}));

  auto c565 = Bitmap::Create(3, 1, 16, {}, Layout16::k565);
  for (uint16_t x = 0; const uint16_t pixel : {0xF800, 0x07E0, 0xFFFF}) Put(*c565, x++, 0, pixel);
  EXPECT_EQ(PresentedRow(*c565, 3), (std::vector<uint32_t>{0xFF0000, 0x00FF00, 0xFFFFFF}));

  auto xrgb = Bitmap::Create(2, 1, 32);
  Put<uint32_t>(*xrgb, 0, 0, 0xAB123456);
  Put<uint32_t>(*xrgb, 1, 0, 0x00FFFFFF);
  EXPECT_EQ(PresentedRow(*xrgb, 2), (std::vector<uint32_t>{0x123456, 0xFFFFFF})) << "the x byte is not a colour";
}

TEST_F(Blits, CopiesAreClippedToBothSides) {
  auto source = Bitmap::Create(4, 4, 32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) Put<uint32_t>(*source, x, y, static_cast<uint32_t>(0x10 * y + x + 1));
  MemoryDC memory;
  memory.Select(source.get());
  WindowDC screen(window_);
  ASSERT_TRUE(BitBlt(screen, 6, -2, 4, 4, memory, 0, 0));
  Frame frame = *Headless().LastFrame(window_);
  EXPECT_EQ(frame.At(6, 0), 0x21u);
  EXPECT_EQ(frame.At(7, 1), 0x32u);
  EXPECT_EQ(frame.At(5, 0), 0u);
  EXPECT_EQ(frame.At(6, 2), 0u);
  EXPECT_FALSE(BitBlt(screen, 0, 0, 4, 4, memory, 4, 0)) << "nothing of the source lies there";
  EXPECT_FALSE(BitBlt(screen, 8, 0, 4, 4, memory, 0, 0));
}

TEST_F(Blits, StretchTakesTheNearestPixel) {
  auto source = Bitmap::Create(100, 1, 32);
  for (int x = 0; x < 100; ++x) Put<uint32_t>(*source, x, 0, static_cast<uint32_t>(x));
  auto target = Bitmap::Create(50, 2, 32);
  MemoryDC from, to;
  from.Select(source.get());
  to.Select(target.get());
  ASSERT_TRUE(StretchBlt(to, 0, 0, 50, 2, from, 0, 0, 100, 1));
  for (int x = 0; x < 50; ++x) {
    ASSERT_EQ(target->PixelXrgb(x, 0), static_cast<uint32_t>(2 * x));
    ASSERT_EQ(target->PixelXrgb(x, 1), static_cast<uint32_t>(2 * x)) << "one source row fills both";
  }
}

// Presenting hands the backend the window's own pixels: what was presented
// stays as it was while the bitmap is drawn on, and when the window is
// resized or destroyed, until something else is presented.
TEST_F(Blits, APresentedFrameStaysAsItWasPresented) {
  auto at = [](int x, int y) { return 0x010203u * static_cast<uint32_t>(8 * y + x); };
  auto source = Bitmap::Create(8, 4, 32);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) Put<uint32_t>(*source, x, y, at(x, y));
  MemoryDC memory;
  memory.Select(source.get());
  WindowDC screen(window_);
  ASSERT_TRUE(BitBlt(screen, 0, 0, 8, 4, memory, 0, 0));
  const std::vector<uint32_t> presented = Headless().LastFrame(window_)->pixels;

  Put<uint32_t>(*source, 1, 1, 0xFFFFFF);
  MoveWindow(window_, 0, 0, 3, 2);
  EXPECT_EQ(screen.GetPixel(2, 1), at(2, 1)) << "the window keeps what still fits";
  EXPECT_EQ(Headless().LastFrame(window_)->pixels, presented);
  ASSERT_TRUE(FillRect(screen, {0, 0, 1, 1}, 0x00FF00));
  const Frame resized = *Headless().LastFrame(window_);
  EXPECT_EQ(resized.width, 3);
  EXPECT_EQ(resized.pixels, (std::vector<uint32_t>{0x00FF00, at(1, 0), at(2, 0), at(0, 1), at(1, 1), at(2, 1)}));

  DestroyWindow(window_);
  ASSERT_TRUE(Headless().LastFrame(window_));
  EXPECT_EQ(Headless().LastFrame(window_)->pixels, resized.pixels) << "kept after the window is gone";
}

TEST(Bitmaps, ImpossibleBitmapsAreRefused) {
  EXPECT_EQ(Bitmap::Create(13, 2, 8)->RowBytes(), 16) << "rows are padded to 4 bytes";
  EXPECT_FALSE(Bitmap::Create(4, 4, 24));
  EXPECT_FALSE(Bitmap::Create(4, -1, 32));
  EXPECT_FALSE(Bitmap::Create(Bitmap::kMaxDimension + 1, 1, 8));
  std::vector<uint32_t> tooMany(257);
  EXPECT_FALSE(Bitmap::Create(4, 4, 8, tooMany));
  for (uint32_t n = 1; n <= 2; ++n) {
    ScopedFault fault(FaultKind::kAllocation, n);
    auto first = Bitmap::Create(4, 4, 32);
    auto second = Bitmap::Create(4, 4, 32);
    EXPECT_EQ(!first, n == 1);
    EXPECT_EQ(!second, n == 2);
  }
}

TEST(Bitmaps, ADestroyedBitmapLeavesItsDcEmpty) {
  MemoryDC memory;
  {
    auto bitmap = Bitmap::Create(4, 4, 32);
    memory.Select(bitmap.get());
    EXPECT_EQ(memory.Width(), 4);
  }
  EXPECT_EQ(memory.Selected(), nullptr);
  EXPECT_EQ(memory.Width(), 0);
  EXPECT_FALSE(memory.SetPixel(0, 0, 1));

  auto bitmap = Bitmap::Create(2, 2, 32);
  MemoryDC other;
  memory.Select(bitmap.get());
  other.Select(bitmap.get());
  EXPECT_EQ(memory.Selected(), nullptr) << "a bitmap lives in one DC at a time";
  EXPECT_EQ(other.Selected(), bitmap.get());
}

TEST(Palettes, RealisingMapsOnlyOnAnEightBitScreen) {
  Headless().Reset();
  std::vector<uint32_t> entries(256);
  for (uint32_t i = 0; i < 256; ++i) entries[i] = i * 0x010101;
  PaletteHandle palette = CreatePalette(entries);
  MemoryDC dc;
  EXPECT_EQ(dc.SelectPalette(palette), PaletteHandle::None);

  EXPECT_EQ(ScreenBitsPerPixel(), 32);
  EXPECT_EQ(RealizePalette(dc), 0);
  EXPECT_FALSE(GetSystemPaletteEntries());

  RecordingClass recording;
  WindowHandle window = recording.Create();
  Headless().SetScreenDepth(8);
  EXPECT_EQ(ScreenBitsPerPixel(), 8);
  EXPECT_EQ((*GetSystemPaletteEntries())[255], 0u);
  test::Log().clear();
  EXPECT_EQ(RealizePalette(dc), 256);
  EXPECT_EQ((*GetSystemPaletteEntries())[255], 0xFFFFFFu);
  EXPECT_EQ(RealizePalette(dc), 256);
  DispatchPendingMessages();
  EXPECT_EQ(test::LoggedIds(window), std::vector<uint32_t>{kMsgPaletteChanged}) << "only a change is told";

  Headless().SetScreenDepth(24);
  EXPECT_EQ(ScreenBitsPerPixel(), 32) << "24-bit displays count as 32";
  Headless().SetScreenDepth(16, true);
  EXPECT_EQ(ScreenBitsPerPixel(), 16);
  EXPECT_TRUE(ScreenUses565());
  Headless().Reset();

  const uint32_t two[] = {1, 2};
  EXPECT_EQ(SetPaletteEntries(palette, 255, two), 1) << "entries past the end are dropped";
  EXPECT_TRUE(DeletePalette(palette));
  EXPECT_TRUE(GetPaletteEntries(palette).empty());
}

uint32_t BigEndianAt(const std::string& bytes, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 2])) << 8) | static_cast<uint8_t>(bytes[at + 3]);
}

TEST_F(Blits, ThePresentedFrameIsWrittenAsAPng) {
  WindowDC screen(window_);
  ASSERT_TRUE(FillRect(screen, {0, 0, 8, 4}, 0x0000FF));
  ASSERT_TRUE(FillRect(screen, {2, 1, 4, 3}, 0xFF8000));
  EXPECT_EQ(Headless().PresentCount(window_), 2);
  const TemporaryFolder folder("vxpresented");
  const std::string path = folder.Path() + "/presented-frame.png";
  ASSERT_TRUE(Headless().WriteLastFrameAsPng(window_, path));

  std::ifstream in(path, std::ios::binary);
  std::string png((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(png.size(), 33u + 12u);
  EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_EQ(png.substr(12, 4), "IHDR");
  EXPECT_EQ(BigEndianAt(png, 16), 8u);
  EXPECT_EQ(BigEndianAt(png, 20), 4u);
  ASSERT_EQ(png.substr(37, 4), "IDAT");
  uint32_t packedSize = BigEndianAt(png, 33);
  std::vector<uint8_t> raw(4 * (1 + 8 * 3));
  uLongf rawSize = raw.size();
  ASSERT_EQ(uncompress(raw.data(), &rawSize, reinterpret_cast<const Bytef*>(png.data() + 41), packedSize), Z_OK);
  ASSERT_EQ(rawSize, raw.size());
  auto rgbAt = [&](int x, int y) {
    size_t at = static_cast<size_t>(y) * 25 + 1 + 3 * x;
    return (uint32_t{raw[at]} << 16) | (uint32_t{raw[at + 1]} << 8) | raw[at + 2];
  };
  EXPECT_EQ(rgbAt(0, 0), 0x0000FFu);
  EXPECT_EQ(rgbAt(2, 1), 0xFF8000u);
  EXPECT_EQ(rgbAt(3, 2), 0xFF8000u);
  EXPECT_EQ(rgbAt(4, 2), 0x0000FFu);
  EXPECT_FALSE(Headless().WriteLastFrameAsPng(WindowHandle{12345}, path));
}

TEST_F(Blits, TheSurfaceFollowsTheClientArea) {
  WindowDC screen(window_);
  ASSERT_TRUE(FillRect(screen, {0, 0, 8, 4}, 0x00FF00));
  MoveWindow(window_, 0, 0, 10, 2);
  EXPECT_EQ(screen.Width(), 10);
  EXPECT_EQ(screen.Height(), 2);
  EXPECT_EQ(screen.GetPixel(7, 1), 0x00FF00u) << "what was drawn stays where it still fits";
  EXPECT_EQ(screen.GetPixel(9, 1), 0u);

  WindowHandle hidden = recording_.Create(kWindowMessageOnly);
  WindowDC none(hidden);
  EXPECT_FALSE(none.Valid());
  EXPECT_FALSE(FillRect(none, {0, 0, 1, 1}, 0));
}

// A frame drawn into the window's pixels in place is presented as it lies,
// whatever its x bytes hold; pixels the window has given up for others
// (resized) or never had are not presented.
TEST_F(Blits, PixelsDrawnInPlaceArePresentedWhileTheyAreTheWindows) {
  const WindowPixels pixels = GetWindowPixels(window_);
  ASSERT_TRUE(pixels.pixels);
  ASSERT_EQ(pixels.width, 8);
  ASSERT_EQ(pixels.height, 4);
  EXPECT_EQ(GetWindowPixels(window_).pixels, pixels.pixels) << "the same pixels while the size stays";
  pixels.pixels.get()[8 * 2 + 3] = 0x00123456;
  pixels.pixels.get()[8 * 3 + 7] = 0xAB654321;
  ASSERT_TRUE(PresentWindowPixels(window_, pixels, {2, 1, 20, 20}));
  EXPECT_EQ(Headless().PresentCount(window_), 1);
  Frame frame = *Headless().LastFrame(window_);
  EXPECT_EQ(frame.At(3, 2), 0x123456u);
  EXPECT_EQ(frame.At(7, 3), 0x654321u) << "the x byte is not a colour";
  WindowDC screen(window_);
  EXPECT_EQ(screen.GetPixel(7, 3), 0x654321u);
  EXPECT_FALSE(PresentWindowPixels(window_, pixels, {8, 0, 9, 4})) << "nothing of it on the window";

  MoveWindow(window_, 0, 0, 6, 4);
  EXPECT_FALSE(PresentWindowPixels(window_, pixels, {0, 0, 8, 4})) << "no longer the window's";
  EXPECT_EQ(Headless().PresentCount(window_), 1);
  const WindowPixels resized = GetWindowPixels(window_);
  ASSERT_NE(resized.pixels, pixels.pixels);
  EXPECT_EQ(resized.width, 6);
  EXPECT_EQ(resized.pixels.get()[6 * 2 + 3], 0x123456u) << "what was drawn stays where it still fits";
  EXPECT_FALSE(PresentWindowPixels(recording_.Create(kWindowVisible, WindowHandle::None, 8, 4), resized, {0, 0, 6, 4}))
      << "another window's pixels";

  EXPECT_FALSE(GetWindowPixels(recording_.Create(kWindowMessageOnly)).pixels);
  EXPECT_FALSE(GetWindowPixels(WindowHandle{12345}).pixels);
}

}  // namespace
}  // namespace vx
