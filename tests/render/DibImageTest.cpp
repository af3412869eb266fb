#include "engine/render/DibImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "platform/HeadlessBackend.h"
#include "tests/platform/WindowTestSupport.h"

namespace vx {
namespace {

class DibImageTest : public ::testing::Test {
 protected:
  void SetUp() override { Headless().Reset(); }
  void TearDown() override { Headless().Reset(); }
  test::RecordingClass windows_;
};

TEST_F(DibImageTest, RoundedWidthIsHiddenFromEveryOperation) {
  auto image = CDibImage::Create(13, 3, 16, nullptr, true, false);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetWidth(), 13);
  EXPECT_EQ(image->GetRowBytes(), 32);  // 16 pixels of 2 bytes
  EXPECT_EQ(image->GetBitsPerPixel(), 16);
  image->Fill({1, 0, 0}, nullptr);
  uint16_t pixel;
  std::memcpy(&pixel, image->GetBits() + 32 + 12 * 2, 2);
  EXPECT_EQ(pixel, 0x7C00);
  std::memcpy(&pixel, image->GetBits() + 32 + 13 * 2, 2);
  EXPECT_EQ(pixel, 0);
  const PixelMap map = image->GetPixelMap();
  EXPECT_EQ(map.width, 13);
  EXPECT_EQ(map.height, 3);
  EXPECT_EQ(map.bytesPerPixel, 2);
  EXPECT_EQ(map.rowBytes, 32);
  EXPECT_EQ(map.bits, image->GetBits());
}

TEST_F(DibImageTest, CreationFailsWholly) {
  for (auto [w, h, bits] : {std::tuple{10, 10, 24}, {0, 10, 32}, {10, -1, 32}, {1 << 20, 1 << 20, 32}})
    EXPECT_FALSE(CDibImage::Create(w, h, bits, nullptr, false, false));
  const PaletteTable palette = BuiltInPaletteTable();
  auto indexed = CDibImage::Create(4, 4, 8, &palette, false, false);
  ASSERT_TRUE(indexed);
  EXPECT_NE(indexed->GetDC(), nullptr);
}

TEST_F(DibImageTest, FiveSixFiveConversionSpotValues) {
  EXPECT_EQ(CDibImage::To565(0x7FFF), 0xFFFF);
  EXPECT_EQ(CDibImage::To565(0x001F), 0x003F);
  EXPECT_EQ(CDibImage::To565(0x0010), 0x0030);
  EXPECT_EQ(CDibImage::To565(0x7C00), 0xF800);
}

TEST_F(DibImageTest, PresentingTwiceOnA565ScreenShowsTheSameColours) {
  Headless().SetScreenDepth(16, true);
  const WindowHandle window = windows_.Create(kWindowVisible, WindowHandle::None, 8, 4);
  auto image = CDibImage::Create(8, 4, 16, nullptr, false, true);
  ASSERT_TRUE(image);
  EXPECT_TRUE(image->Is565());
  image->Fill({0.5f, 0.25f, 1.0f}, nullptr);
  const std::vector<uint8_t> before(image->GetBits(), image->GetBits() + image->GetRowBytes() * 4);
  WindowDC screen(window);
  image->Blit(screen, {0, 0, 8, 4});
  const auto first = Headless().LastFrame(window);
  image->Blit(screen, {0, 0, 8, 4});
  const auto second = Headless().LastFrame(window);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->pixels, second->pixels);
  EXPECT_EQ(std::vector<uint8_t>(image->GetBits(), image->GetBits() + image->GetRowBytes() * 4), before);
  // 15, 7, 31 in 5:5:5 is 0x3CFF, presented as its 5:6:5 form.
  EXPECT_EQ(first->At(3, 2), Xrgb16(CDibImage::To565(0x3CFF), Layout16::k565));
  // The image goes to (left, top), the size of the rectangle.
  Headless().SetScreenDepth(32);
  auto green = CDibImage::Create(4, 2, 32, nullptr, false, false);
  green->Fill({0, 1, 0}, nullptr);
  green->Blit(screen, {2, 1, 6, 3});
  const auto moved = Headless().LastFrame(window);
  EXPECT_EQ(moved->At(5, 2), 0x00FF00u);
  EXPECT_NE(moved->At(1, 1), 0x00FF00u);
}

TEST_F(DibImageTest, DisplayPaletteOnATrueColourScreenDescribesTheBuiltInPalette) {
  PaletteTable table;
  EXPECT_EQ(CreateDisplayPalette(WindowHandle::None, &table, true), PaletteHandle::None);
  const WindowHandle window = windows_.Create(kWindowVisible, WindowHandle::None, 8, 4);
  const PaletteHandle palette = CreateDisplayPalette(window, &table, true);
  ASSERT_NE(palette, PaletteHandle::None);
  EXPECT_EQ(table.count, 256);
  EXPECT_EQ(table.entries[246], 0xFFFBF0u);
  EXPECT_EQ(GetPaletteEntries(palette)[255], 0xFFFFFFu);
  DeletePalette(palette);
  EXPECT_EQ(GetScreenBitsPerPixel(window), 32);
}

}  // namespace
}  // namespace vx
