// The PICT reader on pictures written by the tests' own writer: every
// raster kind and row packing, scaling, masks, resolution, the opcodes it
// steps over, and broken or oversized files; and, where ImageMagick is
// installed, the same pictures as ImageMagick reads them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "PictTestFiles.h"
#include "platform/media/PictFile.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

using namespace std::string_literals;
using test::PictRaster;
using test::PictWriter;

constexpr uint32_t kWhite = 0xFFFFFF;
// Channels that 5-bit pixels hold exactly.
constexpr uint32_t kLevels[] = {0x00, 0x84, 0xFF};

std::span<const uint8_t> AsBytes(const std::string& bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

struct Drawn {
  PictStatus status = PictStatus::NotPict;
  PictHeader header;
  std::vector<uint32_t> pixels;
};

// The whole picture at its frame's size.
Drawn Draw(const std::string& bytes) {
  Drawn drawn;
  drawn.status = ReadPictHeader(AsBytes(bytes), &drawn.header);
  if (drawn.status != PictStatus::Complete) return drawn;
  const int32_t width = drawn.header.frame.Width();
  const int32_t height = drawn.header.frame.Height();
  drawn.pixels.assign(static_cast<size_t>(width * height), 0);
  drawn.status = DrawPict(AsBytes(bytes), drawn.header, drawn.pixels.data(), width, height, 0, 0);
  return drawn;
}

std::vector<uint32_t> Palette(int32_t pixelSize) {
  std::vector<uint32_t> palette;
  for (uint32_t i = 0; i < (1u << pixelSize); ++i) palette.push_back((i * 0x3F1D27u + 0x102030u) & 0xFFFFFF);
  return palette;
}

// Runs of three, so that packing finds repeats as well as literals.
uint32_t IndexAt(int32_t x, int32_t y, int32_t pixelSize) {
  return static_cast<uint32_t>((x / 3 + y) % (1 << pixelSize));
}

uint32_t DirectAt(int32_t x, int32_t y) {
  return kLevels[(x / 3) % 3] << 16 | kLevels[(y + x / 2) % 3] << 8 | kLevels[(x + y) % 3];
}

struct RasterCase {
  const char* name;
  int32_t version;
  PictRaster raster;
  bool imageMagickReads;
};

void PrintTo(const RasterCase& test, std::ostream* out) { *out << test.name; }

PictRaster Indexed(uint16_t opcode, int32_t pixelSize, int32_t width, int32_t height, bool bitMap = false) {
  PictRaster raster;
  raster.opcode = opcode;
  raster.bitMap = bitMap;
  raster.pixelSize = bitMap ? 1 : pixelSize;
  raster.bounds = raster.source = raster.destination = {0, 0, height, width};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) raster.pixels.push_back(IndexAt(x, y, raster.pixelSize));
  raster.palette = bitMap ? std::vector<uint32_t>{kWhite, 0} : Palette(pixelSize);
  return raster;
}

PictRaster Direct(int32_t pixelSize, int32_t packType, int32_t width, int32_t height, int32_t components = 3) {
  PictRaster raster;
  raster.opcode = 0x9A;
  raster.pixelSize = pixelSize;
  raster.packType = packType;
  raster.components = components;
  raster.bounds = raster.source = raster.destination = {0, 0, height, width};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) raster.pixels.push_back(DirectAt(x, y));
  return raster;
}

// What a raster drawn 1:1 at the origin shows at (x, y).
uint32_t Expected(const PictRaster& raster, int32_t x, int32_t y) {
  const uint32_t value = raster.pixels[static_cast<size_t>(y * raster.bounds.Width() + x)];
  return raster.opcode >= 0x9A ? value : raster.palette[value];
}

std::string Picture(const RasterCase& test) {
  const PictRaster& raster = test.raster;
  return PictWriter(test.version, raster.bounds).Raster(raster).Bytes();
}

const RasterCase kRasterCases[] = {
    RasterCase{"Version1BitMap", 1, Indexed(0x90, 1, 24, 5, true), false},
    RasterCase{"Version1PackedBitMap", 1, Indexed(0x98, 1, 100, 6, true), false},
    RasterCase{"Version2BitMap", 2, Indexed(0x98, 1, 100, 6, true), false},
    RasterCase{"Indexed1Bit", 2, Indexed(0x98, 1, 72, 5), true},
    RasterCase{"Indexed2Bits", 2, Indexed(0x98, 2, 40, 5), true},
    RasterCase{"Indexed4Bits", 2, Indexed(0x98, 4, 30, 5), true},
    RasterCase{"Indexed8Bits", 2, Indexed(0x98, 8, 40, 6), true},
    RasterCase{"Indexed8BitsWideRows", 2, Indexed(0x98, 8, 300, 3), true},
    RasterCase{"Indexed8BitsUnpacked", 2, Indexed(0x90, 8, 20, 4), false},
    RasterCase{"NarrowRowsAreNeverPacked", 2, Indexed(0x98, 8, 6, 4), true},
    RasterCase{"Direct16BitsPacked", 2, Direct(16, 0, 30, 5), true},
    RasterCase{"Direct16BitsPlain", 2, Direct(16, 1, 30, 5), false},
    RasterCase{"Direct32BitsByComponent", 2, Direct(32, 4, 30, 5), true},
    RasterCase{"Direct32BitsWithAlpha", 2, Direct(32, 4, 30, 5, 4), true},
    RasterCase{"Direct32BitsDefaultPacking", 2, Direct(32, 0, 70, 4), true},
    RasterCase{"Direct32BitsWithoutPad", 2, Direct(32, 2, 30, 5), false},
    RasterCase{"Direct32BitsPlain", 2, Direct(32, 1, 30, 5), false},
};

class PictRasters : public ::testing::TestWithParam<RasterCase> {};

TEST_P(PictRasters, EveryPixelIsTheOneWritten) {
  const PictRaster& raster = GetParam().raster;
  const Drawn drawn = Draw(Picture(GetParam()));
  ASSERT_EQ(drawn.status, PictStatus::Complete);
  EXPECT_EQ(drawn.header.version, GetParam().version);
  const int32_t width = raster.bounds.Width();
  for (int32_t y = 0; y < raster.bounds.Height(); ++y)
    for (int32_t x = 0; x < width; ++x)
      ASSERT_EQ(drawn.pixels[static_cast<size_t>(y * width + x)], Expected(raster, x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Kinds, PictRasters, ::testing::ValuesIn(kRasterCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The same pictures as ImageMagick reads them: exactly, but for 16-bit
// pixels, whose 5-bit channels ImageMagick widens without repeating their
// high bits (31 becomes 0xF8, not 0xFF). ImageMagick 6 reads no unpacked
// pixel maps and no 16- or 32-bit plain rows, and shows 1-bit bit maps all
// black whatever their bits, so those are compared with the writer only.
class PictRastersAsImageMagickReads : public ::testing::TestWithParam<RasterCase> {};

TEST_P(PictRastersAsImageMagickReads, ThePicturesAgree) {
  test::TemporaryFolder folder("vxpict");
  const std::string path = folder.Write("p.pict", Picture(GetParam()));
  int32_t width = 0;
  int32_t height = 0;
  const std::vector<uint32_t> theirs = test::ReadWithImageMagick(path, &width, &height);
  if (theirs.empty()) GTEST_SKIP() << "ImageMagick's convert is not installed, or reads no PICT";
  const Drawn ours = Draw(Picture(GetParam()));
  ASSERT_EQ(width, ours.header.frame.Width());
  ASSERT_EQ(height, ours.header.frame.Height());
  ASSERT_EQ(theirs.size(), ours.pixels.size());
  const int tolerance = GetParam().raster.pixelSize == 16 ? 7 : 0;
  for (size_t i = 0; i < theirs.size(); ++i) {
    for (int shift : {16, 8, 0}) {
      const int difference = static_cast<int>((theirs[i] >> shift) & 0xFF) - static_cast<int>((ours.pixels[i] >> shift) & 0xFF);
      ASSERT_LE(std::abs(difference), tolerance) << "pixel " << i;
    }
  }
}

std::vector<RasterCase> ReadByImageMagick() {
  std::vector<RasterCase> cases;
  for (const RasterCase& test : kRasterCases)
    if (test.imageMagickReads) cases.push_back(test);
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Kinds, PictRastersAsImageMagickReads, ::testing::ValuesIn(ReadByImageMagick()),
                         [](const auto& info) { return std::string(info.param.name); });

// A part of the map drawn twice its size, away from the frame's origin,
// over a white background.
TEST(PictDrawing, ASourceRectangleIsScaledOntoItsDestination) {
  PictRaster raster = Direct(32, 4, 20, 10);
  raster.source = {2, 4, 8, 12};          // 8 x 6
  raster.destination = {13, 22, 25, 38};  // 16 x 12, in the frame's coordinates
  const PictRect frame{10, 20, 30, 60};
  const Drawn drawn = Draw(PictWriter(2, frame).Raster(raster).Bytes());
  ASSERT_EQ(drawn.status, PictStatus::Complete);
  for (int32_t y = 0; y < frame.Height(); ++y) {
    for (int32_t x = 0; x < frame.Width(); ++x) {
      const int32_t px = x + frame.left;
      const int32_t py = y + frame.top;
      const bool inside = px >= 22 && px < 38 && py >= 13 && py < 25;
      const uint32_t expected = inside ? DirectAt(4 + (px - 22) / 2, 2 + (py - 13) / 2) : kWhite;
      ASSERT_EQ(drawn.pixels[static_cast<size_t>(y * frame.Width() + x)], expected) << x << "," << y;
    }
  }
}

// Only what lies inside the mask region is drawn: a rectangle, and a region
// of two rectangles made by inversion points.
TEST(PictDrawing, MaskRegionsLimitWhatIsDrawn) {
  PictRaster plain = Indexed(0x99, 8, 16, 8);
  plain.mask = test::RectRegion({2, 4, 6, 12});
  PictRaster stepped = Direct(32, 4, 16, 8);
  stepped.opcode = 0x9B;
  stepped.mask = test::SteppedRegion({0, 0, 8, 16});
  for (const PictRaster& raster : {plain, stepped}) {
    const Drawn drawn = Draw(PictWriter(2, raster.bounds).Raster(raster).Bytes());
    ASSERT_EQ(drawn.status, PictStatus::Complete);
    for (int32_t y = 0; y < 8; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        const bool inside = raster.opcode == 0x99 ? (y >= 2 && y < 6 && x >= 4 && x < 12) : (y < 4 ? x < 8 : x >= 8);
        ASSERT_EQ(drawn.pixels[static_cast<size_t>(y * 16 + x)], inside ? Expected(raster, x, y) : kWhite)
            << raster.opcode << " at " << x << "," << y;
      }
    }
  }
}

// A version 2 header at twice the resolution draws in coordinates twice
// the frame's; the image keeps the frame's size.
TEST(PictDrawing, AnExtendedHeaderDrawsInItsOwnResolution) {
  PictRaster raster = Direct(32, 4, 20, 12);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 20; ++x) raster.pixels[static_cast<size_t>(y * 20 + x)] = DirectAt(x / 2, y / 2);
  const Drawn drawn = Draw(PictWriter(2, {0, 0, 6, 10}).ExtendedHeader({0, 0, 12, 20}).Raster(raster).Bytes());
  ASSERT_EQ(drawn.status, PictStatus::Complete);
  ASSERT_EQ(drawn.pixels.size(), 60u);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(drawn.pixels[static_cast<size_t>(y * 10 + x)], DirectAt(x, y));
}

std::string Sized(uint16_t size, const std::string& body) {
  return std::string{static_cast<char>(size >> 8), static_cast<char>(size & 0xFF)} + body;
}

// Every kind of opcode the reader does not draw, between two rasters: the
// second is drawn in its place only if each was stepped over by its size.
TEST(PictDrawing, OtherOpcodesAreSteppedOverByTheirSize) {
  PictRaster first = Indexed(0x98, 8, 16, 4);
  PictRaster second = Direct(32, 4, 16, 4);
  second.destination = {4, 0, 8, 16};
  const PictRect frame{0, 0, 8, 16};
  const std::string rect(8, '\x01');
  const std::string pixPat = test::PixelPattern(Indexed(0x98, 8, 8, 8));
  for (int32_t version : {1, 2}) {
    SCOPED_TRACE(version);
    PictWriter writer(version, frame);
    writer.Raster(first)
        .Opcode(0x0001, test::RectRegion({0, 0, 8, 16}))  // clip
        .Opcode(0x0003, "\x00\x05"s)                        // text font
        .Opcode(0x0004, "\x01"s)                            // text face: one byte
        .Opcode(0x0009, std::string(8, '\x0F'))            // pen pattern
        .Opcode(0x0020, rect)                              // line
        .Opcode(0x0028, "\0\x10\0\x10\x03" "abc"s)  // long text
        .Opcode(0x0029, "\x04\x02hi"s)                      // text, across
        .Opcode(0x002C, Sized(6, "\x00\x01\x03Mon"s))       // font name
        .Opcode(0x0030, rect)                              // frame rect
        .Opcode(0x0038)                                    // frame the same rect
        .Opcode(0x0060, std::string(12, '\x02'))           // arc
        .Opcode(0x0070, Sized(10, std::string(8, '\x03'))) // polygon
        .Opcode(0x0080, test::SteppedRegion({0, 0, 4, 4})) // region
        .Opcode(0x00A0, "\x00\x64"s)                        // short comment
        .Opcode(0x00A1, "\x00\x64"s + Sized(3, "xyz"));  // long comment
    if (version == 2) {
      writer.Opcode(0x0012, pixPat)                                      // pixel pattern
          .Opcode(0x0013, "\x00\x02"s + std::string(14, '\x07'))  // dither pattern
          .Opcode(0x001A, std::string(6, '\x40'))                        // foreground colour
          .Opcode(0x00D5, "\0\0\0\x03" "abc"s)            // reserved, long length
          .Opcode(0x0200, std::string(4, '\x09'))                        // reserved, two words
          .Opcode(0x8000)                                                // reserved, no data
          .Opcode(0x8200, "\0\0\0\x05" "jpegs"s);         // compressed picture
    }
    const Drawn drawn = Draw(writer.Raster(second).Bytes());
    ASSERT_EQ(drawn.status, PictStatus::Complete);
    for (int32_t x = 0; x < 16; ++x) {
      EXPECT_EQ(drawn.pixels[static_cast<size_t>(x)], Expected(first, x, 0));
      EXPECT_EQ(drawn.pixels[static_cast<size_t>(7 * 16 + x)], Expected(second, x, 3));
    }
  }
}

// A file cut anywhere, and sizes that lie, are refused without reading past
// the bytes; a frame beyond the limits and a drawing of too many
// overlapping rasters are refused as too large.
TEST(PictDrawing, BrokenAndOversizedPicturesAreRefused) {
  const std::string whole = PictWriter(2, {0, 0, 6, 40}).Raster(Indexed(0x98, 8, 40, 6)).Raster(Direct(32, 4, 40, 6)).Bytes();
  for (size_t size = 0; size < whole.size(); ++size) {
    const std::unique_ptr<uint8_t[]> cut(new uint8_t[size + 1]);
    std::memcpy(cut.get(), whole.data(), size);
    PictHeader header;
    if (ReadPictHeader({cut.get(), size}, &header) != PictStatus::Complete) continue;
    std::vector<uint32_t> pixels(240);
    EXPECT_NE(DrawPict({cut.get(), size}, header, pixels.data(), 40, 6, 0, 0), PictStatus::Complete) << size;
  }
  PictHeader header;
  EXPECT_EQ(ReadPictHeader(AsBytes(std::string(600, '\x5A')), &header), PictStatus::NotPict);
  EXPECT_EQ(ReadPictHeader(AsBytes(PictWriter(2, {0, 0, 0, 10}).Bytes()), &header), PictStatus::Corrupt);
  EXPECT_EQ(ReadPictHeader(AsBytes(PictWriter(2, {0, 0, 10, 20000}).Bytes()), &header), PictStatus::TooLarge);
  EXPECT_EQ(ReadPictHeader(AsBytes(PictWriter(2, {-8000, -8000, 8000, 8000}).Bytes()), &header), PictStatus::TooLarge);

  // The first raster's bounds (after the file header, the size and frame,
  // the version, the opcode and the row bytes) claim three rows more than
  // are written.
  std::string lying = PictWriter(2, {0, 0, 6, 40}).Raster(Indexed(0x98, 8, 40, 6)).Bytes();
  constexpr size_t kFirstBoundsBottom = 512 + 10 + 4 + 2 + 2 + 4;
  ASSERT_EQ(lying[kFirstBoundsBottom + 1], 6);
  lying[kFirstBoundsBottom + 1] = 9;
  EXPECT_EQ(Draw(lying).status, PictStatus::Corrupt);
  PictRaster odd = Direct(32, 4, 8, 4);
  odd.pixelSize = 24;
  EXPECT_EQ(Draw(PictWriter(2, {0, 0, 4, 8}).Raster(odd).Bytes()).status, PictStatus::Corrupt);

  // One pixel stretched over a frame of a million pixels, again and again.
  PictRaster stretched = Indexed(0x98, 8, 8, 1);
  stretched.source = {0, 0, 1, 1};
  stretched.destination = {0, 0, 1024, 1024};
  PictWriter few(2, {0, 0, 1024, 1024});
  PictWriter many(2, {0, 0, 1024, 1024});
  for (int i = 0; i < 4; ++i) few.Raster(stretched);
  for (int i = 0; i < 12; ++i) many.Raster(stretched);
  EXPECT_EQ(Draw(few.Bytes()).status, PictStatus::Complete);
  EXPECT_EQ(Draw(many.Bytes()).status, PictStatus::TooLarge);
}

// Drawing a part of the picture (a corner far from the origin) gives the
// same pixels as drawing the whole.
TEST(PictDrawing, APartOfThePictureIsDrawnAsInTheWhole) {
  PictRaster raster = Direct(32, 4, 40, 30);
  raster.mask = test::SteppedRegion({0, 0, 30, 40});
  raster.opcode = 0x9B;
  const std::string bytes = PictWriter(2, raster.bounds).Raster(raster).Bytes();
  const Drawn whole = Draw(bytes);
  ASSERT_EQ(whole.status, PictStatus::Complete);
  std::vector<uint32_t> corner(12 * 9);
  ASSERT_EQ(DrawPict(AsBytes(bytes), whole.header, corner.data(), 12, 9, 25, 18), PictStatus::Complete);
  for (int32_t y = 0; y < 9; ++y)
    for (int32_t x = 0; x < 12; ++x)
      EXPECT_EQ(corner[static_cast<size_t>(y * 12 + x)], whole.pixels[static_cast<size_t>((y + 18) * 40 + x + 25)]);
}

}  // namespace
}  // namespace vx
