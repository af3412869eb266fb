// JPEG files made at test time with libjpeg's compressor, from pictures the
// tests know pixel by pixel.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "engine/media/MediaTypes.h"
#include "engine/render/PixelMap.h"

namespace vx::test {

// How far a decoded channel may stray from the picture's.
inline constexpr int kTolerance = 12;
// The fill colour the tests give their images; no decoded test pixel is it.
inline constexpr uint32_t kFillBlue = 0x000000FF;

inline bool IsFinal(int32_t state) {
  return state == MediaCancelled || state == MediaFailedNoFile || state == MediaUnusable || state == MediaComplete;
}

enum class JpegKind { Baseline, Progressive, Grey, Ink };

// xRGB pixels, rows top first.
struct TestPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> xrgb;

  uint32_t At(int x, int y) const { return xrgb[static_cast<size_t>(y) * width + x]; }
};

// Red grows to the right, green downwards, blue stays: a channel that lands
// in the wrong place shows. Smooth, so that JPEG's loss stays small.
inline TestPicture Gradient(int width, int height) {
  TestPicture picture{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const auto red = static_cast<uint32_t>(x * 255 / (width > 1 ? width - 1 : 1));
      const auto green = static_cast<uint32_t>(y * 255 / (height > 1 ? height - 1 : 1));
      picture.xrgb.push_back((red << 16) | (green << 8) | 64u);
    }
  return picture;
}

inline TestPicture Uniform(int width, int height, uint32_t xrgb) {
  return TestPicture{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, xrgb)};
}

// The grey a grey JPEG of the picture holds.
inline uint32_t GreyOf(uint32_t xrgb) { return (((xrgb >> 16) & 0xFF) + ((xrgb >> 8) & 0xFF) + (xrgb & 0xFF)) / 3; }

namespace detail {

struct StringDestination {
  jpeg_destination_mgr manager;
  std::string* out;
  JOCTET buffer[4096];
};

inline void StartOutput(j_compress_ptr info) {
  auto* destination = reinterpret_cast<StringDestination*>(info->dest);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = sizeof destination->buffer;
}

inline boolean FlushOutput(j_compress_ptr info) {
  auto* destination = reinterpret_cast<StringDestination*>(info->dest);
  destination->out->append(reinterpret_cast<const char*>(destination->buffer), sizeof destination->buffer);
  StartOutput(info);
  return TRUE;
}

inline void EndOutput(j_compress_ptr info) {
  auto* destination = reinterpret_cast<StringDestination*>(info->dest);
  destination->out->append(reinterpret_cast<const char*>(destination->buffer),
                           sizeof destination->buffer - destination->manager.free_in_buffer);
}

// One row of samples of the kind: grey, red-green-blue, or ink stored
// inverted (as files with an Adobe marker hold it) with no black.
inline std::vector<JSAMPLE> Samples(const TestPicture& picture, int y, JpegKind kind) {
  std::vector<JSAMPLE> row;
  for (int x = 0; x < picture.width; ++x) {
    const uint32_t pixel = picture.At(x, y);
    if (kind == JpegKind::Grey) {
      row.push_back(static_cast<JSAMPLE>(GreyOf(pixel)));
      continue;
    }
    row.push_back(static_cast<JSAMPLE>(pixel >> 16));
    row.push_back(static_cast<JSAMPLE>(pixel >> 8));
    row.push_back(static_cast<JSAMPLE>(pixel));
    if (kind == JpegKind::Ink) row.push_back(255);
  }
  return row;
}

}  // namespace detail

// How the compressor codes beyond the kind: arithmetic instead of Huffman
// coding, and a restart marker every restartRows rows of blocks (0: none).
struct JpegCoding {
  bool arithmetic = false;
  int restartRows = 0;
};

inline std::string CompressJpeg(const TestPicture& picture, JpegKind kind, int quality = 95,
                                JpegCoding coding = {}) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  std::string out;
  detail::StringDestination destination{};
  destination.manager.init_destination = &detail::StartOutput;
  destination.manager.empty_output_buffer = &detail::FlushOutput;
  destination.manager.term_destination = &detail::EndOutput;
  destination.out = &out;
  info.dest = &destination.manager;
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = kind == JpegKind::Grey ? 1 : kind == JpegKind::Ink ? 4 : 3;
  info.in_color_space = kind == JpegKind::Grey ? JCS_GRAYSCALE : kind == JpegKind::Ink ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (kind == JpegKind::Progressive) jpeg_simple_progression(&info);
  info.arith_code = coding.arithmetic ? TRUE : FALSE;
  info.restart_in_rows = coding.restartRows;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    std::vector<JSAMPLE> row = detail::Samples(picture, static_cast<int>(info.next_scanline), kind);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return out;
}

// The file without the end marker the compressor wrote last.
inline std::string WithoutEndMarker(const std::string& jpeg) {
  const bool ends = jpeg.size() >= 2 && static_cast<uint8_t>(jpeg[jpeg.size() - 2]) == 0xFF &&
                    static_cast<uint8_t>(jpeg.back()) == 0xD9;
  return ends ? jpeg.substr(0, jpeg.size() - 2) : jpeg;
}

inline uint32_t Xrgb32At(const PixelMap& map, int x, int y) {
  uint32_t pixel = 0;
  std::memcpy(&pixel, map.Row(y) + x * 4, sizeof pixel);
  return pixel;
}

inline uint16_t Pixel555At(const PixelMap& map, int x, int y) {
  uint16_t pixel = 0;
  std::memcpy(&pixel, map.Row(y) + x * 2, sizeof pixel);
  return pixel;
}

// Each of red, green and blue within tolerance; the fourth byte zero.
inline bool NearXrgb(uint32_t actual, uint32_t expected, int tolerance) {
  if (actual >> 24 != 0) return false;
  for (int shift : {16, 8, 0}) {
    const int a = static_cast<int>((actual >> shift) & 0xFF);
    const int e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) return false;
  }
  return true;
}

}  // namespace vx::test
