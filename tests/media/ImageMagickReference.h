// ImageMagick's decoding of a picture file, as the reference a decoder is
// held to: 8-bit red, green, blue and alpha samples, rows top first (alpha
// 255 where the file has none). Empty when ImageMagick is not installed or
// cannot read the file.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace vx::test {

// Debian's ImageMagick program; another "convert" may come first on the path.
inline std::string ImageMagickProgram() {
  constexpr const char* kInstalled = "/usr/bin/convert";
  return ::access(kInstalled, X_OK) == 0 ? kInstalled : "convert";
}

// format is ImageMagick's name of the file's format ("png", "bmp", "gif").
// Files of 16-bit samples are read at 16 bits and rounded to 8, as the PNG
// format recommends (ImageMagick's own cut to 8 bits drops the fraction).
inline std::vector<uint8_t> ReadRgbaWithImageMagick(const std::string& format, const std::string& path, size_t pixels,
                                                    bool sixteenBits = false) {
  const std::string command = ImageMagickProgram() + " '" + format + ":" + path + "[0]' -alpha on -depth " +
                              (sixteenBits ? "16 -endian MSB" : "8") + " rgba:- 2>/dev/null";
  const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return {};
  const size_t sampleBytes = sixteenBits ? 2 : 1;
  std::vector<uint8_t> bytes(pixels * 4 * sampleBytes);
  if (std::fread(bytes.data(), 1, bytes.size(), pipe.get()) != bytes.size()) return {};
  if (!sixteenBits) return bytes;
  std::vector<uint8_t> samples(pixels * 4);
  for (size_t i = 0; i < samples.size(); ++i) {
    const uint32_t wide = uint32_t{bytes[2 * i]} << 8 | bytes[2 * i + 1];
    samples[i] = static_cast<uint8_t>((wide * 255 + 32767) / 65535);
  }
  return samples;
}

// Runs ImageMagick on arguments (quoted by the caller); true when it wrote.
inline bool RunImageMagick(const std::string& arguments) {
  return std::system((ImageMagickProgram() + " " + arguments + " 2>/dev/null").c_str()) == 0;
}

}  // namespace vx::test
