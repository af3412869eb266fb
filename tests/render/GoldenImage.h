// Comparing a rendered picture with a golden image in tests/data. Set
// VX_UPDATE_GOLDEN=1 to write new golden images (and look at them before
// committing them); on a mismatch the rendered image is written next to the
// test binary.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Png.h"

namespace vx::test {

inline uint32_t BigEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// Reads the PNG form that WritePng makes (8-bit RGB, one IDAT, unfiltered
// rows) into xRGB pixels; empty for anything else.
inline std::vector<uint32_t> ReadOwnPng(const std::string& path, int width, int height) {
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> packed;
  for (size_t at = 8; at + 12 <= file.size();) {
    uint32_t length = BigEndian(&file[at]);
    if (at + 12 + length > file.size()) return {};
    std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
    const uint8_t* data = &file[at + 8];
    if (type == "IHDR" && (BigEndian(data) != static_cast<uint32_t>(width) ||
                           BigEndian(data + 4) != static_cast<uint32_t>(height) || data[8] != 8 || data[9] != 2)) {
      return {};
    }
    if (type == "IDAT") packed.insert(packed.end(), data, data + length);
    at += 12 + length;
  }
  size_t rowBytes = 1 + 3 * static_cast<size_t>(width);
  std::vector<uint8_t> raw(rowBytes * height);
  uLongf rawSize = raw.size();
  if (uncompress(raw.data(), &rawSize, packed.data(), packed.size()) != Z_OK || rawSize != raw.size()) return {};
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = &raw[y * rowBytes];
    if (row[0] != 0) return {};
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = row + 1 + 3 * x;
      pixels.push_back(static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2]);
    }
  }
  return pixels;
}

// Channel differences above `tolerance` may appear only on a few pixels
// (silhouettes, where coverage rules decide). `name` is the path below
// tests/data.
inline void ExpectGoldenImage(const std::string& name, int width, int height, const std::vector<uint32_t>& image,
                              int tolerance) {
  const std::string golden = std::string(VX_TEST_DATA_DIR) + "/" + name;
  if (std::getenv("VX_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(WritePng(golden, width, height, image));
  }
  const std::vector<uint32_t> expected = ReadOwnPng(golden, width, height);
  ASSERT_EQ(expected.size(), image.size()) << "cannot read " << golden;
  int differing = 0;
  for (size_t i = 0; i < image.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const int a = static_cast<int>(image[i] >> shift & 0xFF);
      const int b = static_cast<int>(expected[i] >> shift & 0xFF);
      if (std::abs(a - b) > tolerance) {
        ++differing;
        break;
      }
    }
  }
  const bool matches = differing <= width * height / 1000;
  if (!matches) {
    const std::string file = name.substr(name.find_last_of('/') + 1);
    (void)WritePng(std::string(VX_TEST_BINARY_DIR) + "/" + file, width, height, image);
  }
  EXPECT_TRUE(matches) << differing << " pixels differ from " << golden;
}

}  // namespace vx::test
