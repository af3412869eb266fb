// PNG media: every colour type and bit depth, interlaced or not, with and
// without transparency, against ImageMagick's decoding of the same file;
// and files whose header or data cannot be trusted.
#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/media/formats/png/PngMedia.h"
#include "tests/media/ImageMagickReference.h"
#include "tests/media/LocalPictureTest.h"

namespace vx {
namespace {

using test::Xrgb32At;

constexpr int32_t kWidth = 13;  // odd sizes leave every interlace pass part-filled
constexpr int32_t kHeight = 9;

struct PngKind {
  const char* name;
  int colorType;
  int depth;
  bool interlaced = false;
  bool transparent = false;  // a tRNS chunk
};

void PrintTo(const PngKind& kind, std::ostream* out) { *out << kind.name; }

uint32_t Sample(int32_t x, int32_t y, int32_t channel, int depth) {
  const uint32_t mixed = static_cast<uint32_t>(x * 37 + y * 101 + channel * 59 + x * y * 13) * 2654435761u;
  return (mixed >> 7) & ((1u << depth) - 1);
}

int Channels(int colorType) {
  switch (colorType) {
    case PNG_COLOR_TYPE_RGB: return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
    default: return 1;
  }
}

// The samples of each row packed as the file stores them (big-endian 16-bit
// samples, several small ones to a byte).
std::vector<uint8_t> PackedRow(const PngKind& kind, int32_t y) {
  const int channels = Channels(kind.colorType);
  std::vector<uint8_t> row((kWidth * channels * kind.depth + 7) / 8);
  int32_t bit = 0;
  for (int32_t x = 0; x < kWidth; ++x)
    for (int c = 0; c < channels; ++c, bit += kind.depth) {
      const uint32_t value = Sample(x, y, c, kind.depth);
      if (kind.depth == 16) {
        row[bit / 8] = static_cast<uint8_t>(value >> 8);
        row[bit / 8 + 1] = static_cast<uint8_t>(value);
      } else {
        row[bit / 8] |= static_cast<uint8_t>(value << (8 - kind.depth - bit % 8));
      }
    }
  return row;
}

// Writes the picture with libpng; a palette has every entry its depth
// allows, and a tRNS chunk gives each entry an opacity or makes the first
// pixel's grey or colour clear.
bool WritePng(const std::string& path, const PngKind& kind) {
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = 0; y < kHeight; ++y) rows.push_back(PackedRow(kind, y));
  std::vector<png_bytep> pointers;
  for (auto& row : rows) pointers.push_back(row.data());
  std::vector<png_color> palette;
  std::vector<png_byte> paletteAlpha;
  for (int i = 0; i < (1 << std::min(kind.depth, 8)); ++i) {
    palette.push_back(
        png_color{static_cast<png_byte>(i * 53), static_cast<png_byte>(i * 97), static_cast<png_byte>(255 - i * 31)});
    paletteAlpha.push_back(static_cast<png_byte>(i * 67));
  }
  png_color_16 key{};
  key.gray = key.red = static_cast<png_uint_16>(Sample(0, 0, 0, kind.depth));
  key.green = static_cast<png_uint_16>(Sample(0, 0, 1, kind.depth));
  key.blue = static_cast<png_uint_16>(Sample(0, 0, 2, kind.depth));
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, kWidth, kHeight, kind.depth, kind.colorType,
               kind.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (kind.colorType == PNG_COLOR_TYPE_PALETTE)
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (kind.transparent) png_set_tRNS(png, info, paletteAlpha.data(), static_cast<int>(paletteAlpha.size()), &key);
  png_write_info(png, info);
  if (kind.interlaced) png_set_interlace_handling(png);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return true;
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) bytes.push_back(static_cast<char>(c));
    std::fclose(file);
  }
  return bytes;
}

class PngKinds : public test::LocalPictureTest, public ::testing::WithParamInterface<PngKind> {};

TEST_P(PngKinds, DecodeAsImageMagickDoesWithOpacityOnlyWhereTheFileHasIt) {
  const PngKind& kind = GetParam();
  const std::string path = folder_.Path() + "/kind.png";
  ASSERT_TRUE(WritePng(path, kind));
  const std::vector<uint8_t> reference = test::ReadRgbaWithImageMagick("png", path, kWidth * kHeight, kind.depth == 16);
  if (reference.empty()) GTEST_SKIP() << "ImageMagick is not installed";
  CPngMedia media;
  ASSERT_EQ(Load(media, ReadFile(path)), MediaComplete);
  const PixelMap image = Image(media);
  ASSERT_EQ(image.width, kWidth);
  ASSERT_EQ(image.height, kHeight);
  const bool hasAlpha = kind.transparent || (kind.colorType & PNG_COLOR_MASK_ALPHA) != 0;
  const AlphaPlane* alpha = media.GetAlpha();
  ASSERT_EQ(alpha != nullptr, hasAlpha);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      const uint8_t* theirs = &reference[static_cast<size_t>(y * kWidth + x) * 4];
      const uint32_t rgb = uint32_t{theirs[0]} << 16 | uint32_t{theirs[1]} << 8 | theirs[2];
      ASSERT_EQ(Xrgb32At(image, x, y), rgb) << "at " << x << "," << y;
      ASSERT_EQ(alpha ? alpha->At(x, y) : kOpaqueTexel, theirs[3]) << "at " << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryColourTypeAndDepth, PngKinds,
    ::testing::Values(
        PngKind{"grey1", PNG_COLOR_TYPE_GRAY, 1}, PngKind{"grey2", PNG_COLOR_TYPE_GRAY, 2},
        PngKind{"grey4", PNG_COLOR_TYPE_GRAY, 4}, PngKind{"grey8", PNG_COLOR_TYPE_GRAY, 8},
        PngKind{"grey16", PNG_COLOR_TYPE_GRAY, 16}, PngKind{"grey4Keyed", PNG_COLOR_TYPE_GRAY, 4, false, true},
        PngKind{"grey16Keyed", PNG_COLOR_TYPE_GRAY, 16, false, true}, PngKind{"palette1", PNG_COLOR_TYPE_PALETTE, 1},
        PngKind{"palette2", PNG_COLOR_TYPE_PALETTE, 2}, PngKind{"palette4", PNG_COLOR_TYPE_PALETTE, 4},
        PngKind{"palette8", PNG_COLOR_TYPE_PALETTE, 8},
        PngKind{"palette8Alpha", PNG_COLOR_TYPE_PALETTE, 8, false, true}, PngKind{"rgb8", PNG_COLOR_TYPE_RGB, 8},
        PngKind{"rgb16", PNG_COLOR_TYPE_RGB, 16}, PngKind{"rgb8Keyed", PNG_COLOR_TYPE_RGB, 8, false, true},
        PngKind{"greyAlpha8", PNG_COLOR_TYPE_GRAY_ALPHA, 8}, PngKind{"greyAlpha16", PNG_COLOR_TYPE_GRAY_ALPHA, 16},
        PngKind{"rgba8", PNG_COLOR_TYPE_RGB_ALPHA, 8}, PngKind{"rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16},
        PngKind{"grey1Interlaced", PNG_COLOR_TYPE_GRAY, 1, true},
        PngKind{"palette2AlphaInterlaced", PNG_COLOR_TYPE_PALETTE, 2, true, true},
        PngKind{"rgb16Interlaced", PNG_COLOR_TYPE_RGB, 16, true},
        PngKind{"rgba8Interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, true}),
    [](const ::testing::TestParamInfo<PngKind>& info) { return std::string(info.param.name); });

// The file with its header's width and height replaced, the chunk's check
// value made to fit, so that only the sizes are wrong.
std::string WithSize(std::string file, uint32_t width, uint32_t height) {
  constexpr size_t kIhdrData = 16;
  for (int i = 0; i < 4; ++i) {
    file[kIhdrData + i] = static_cast<char>(width >> (24 - 8 * i));
    file[kIhdrData + 4 + i] = static_cast<char>(height >> (24 - 8 * i));
  }
  const auto crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(file.data() + 12), 17));
  for (int i = 0; i < 4; ++i) file[kIhdrData + 13 + i] = static_cast<char>(crc >> (24 - 8 * i));
  return file;
}

using PngMedia = test::LocalPictureTest;

TEST_F(PngMedia, FilesThatCannotBeTrustedAreRefusedWithoutAPicture) {
  const std::string path = folder_.Path() + "/good.png";
  ASSERT_TRUE(WritePng(path, PngKind{"rgb8", PNG_COLOR_TYPE_RGB, 8}));
  const std::string good = ReadFile(path);
  std::string badCheck = good;
  badCheck[20] ^= 1;
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"a side past 16,384", WithSize(good, 16385, 1)}, {"more than 64 M pixels", WithSize(good, 9000, 8000)},
      {"no width", WithSize(good, 0, kHeight)},         {"image data cut short", good.substr(0, good.size() - 30)},
      {"the signature alone", good.substr(0, 8)},       {"a header whose check value is wrong", badCheck},
  };
  for (const auto& c : cases) {
    CPngMedia media;
    EXPECT_EQ(Load(media, c.file), MediaUnusable) << c.what;
    EXPECT_EQ(media.GetAlpha(), nullptr) << c.what;
  }
}

}  // namespace
}  // namespace vx
