// Reading back the PNG form that WritePng makes, for tests that compare a
// picture with a golden image.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vx::test {

inline uint32_t BigEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 |
         p[3];
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

}  // namespace vx::test
