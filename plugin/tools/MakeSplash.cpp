// Draws the plug-in's splash picture and writes it as a C++ source file: a
// night sky over a range of hills, the product's chevron and its name in
// block letters.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace {

constexpr int kWidth = 150;
constexpr int kHeight = 42;

struct Canvas {
  std::vector<uint32_t> pixels = std::vector<uint32_t>(kWidth * kHeight);
  void Set(int x, int y, uint32_t xrgb) {
    if (x >= 0 && y >= 0 && x < kWidth && y < kHeight) pixels[static_cast<size_t>(y) * kWidth + x] = xrgb;
  }
};

uint32_t Mix(uint32_t a, uint32_t b, double t) {
  auto channel = [&](int shift) {
    const double from = (a >> shift) & 0xFF;
    const double to = (b >> shift) & 0xFF;
    return static_cast<uint32_t>(std::lround(from + (to - from) * t)) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

void PaintSkyAndHills(Canvas& canvas) {
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) canvas.Set(x, y, Mix(0x0A1A3A, 0x2A7F9E, y / double(kHeight - 1)));
  for (int x = 0; x < kWidth; ++x) {
    const double ridge = 32 + 3.0 * std::sin(x * 0.09) + 2.0 * std::sin(x * 0.23 + 1.3);
    for (int y = static_cast<int>(ridge); y < kHeight; ++y) canvas.Set(x, y, Mix(0x08303A, 0x041418, (y - ridge) / 10));
  }
}

// Two thick strokes meeting at the bottom.
void PaintChevron(Canvas& canvas) {
  for (int y = 6; y <= 30; ++y) {
    const int inset = (y - 6) / 2;
    for (int w = 0; w < 4; ++w) {
      canvas.Set(8 + inset + w, y, 0xFFFFFF);
      canvas.Set(36 - inset - w, y, 0xFFFFFF);
    }
  }
}

// Letters of 3 x 5 cells, each cell 2 x 2 pixels; a row is three bits, left first.
struct Letter {
  char name;
  uint8_t rows[5];
};
constexpr Letter kLetters[] = {
    {'V', {0b101, 0b101, 0b101, 0b101, 0b010}}, {'A', {0b010, 0b101, 0b111, 0b101, 0b101}},
    {'N', {0b101, 0b111, 0b111, 0b111, 0b101}}, {'T', {0b111, 0b010, 0b010, 0b010, 0b010}},
    {'E', {0b111, 0b100, 0b110, 0b100, 0b111}}, {'S', {0b111, 0b100, 0b111, 0b001, 0b111}},
    {'L', {0b100, 0b100, 0b100, 0b100, 0b111}},
};

void PaintWord(Canvas& canvas, std::string_view word, int left, int top) {
  for (char c : word) {
    for (const Letter& letter : kLetters) {
      if (letter.name != c) continue;
      for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 3; ++column)
          if (letter.rows[row] & (4 >> column))
            for (int dy = 0; dy < 2; ++dy)
              for (int dx = 0; dx < 2; ++dx) canvas.Set(left + column * 2 + dx, top + row * 2 + dy, 0xF2F6FA);
    }
    left += 9;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: MakeSplash <output.cpp>\n");
    return 2;
  }
  Canvas canvas;
  PaintSkyAndHills(canvas);
  PaintChevron(canvas);
  PaintWord(canvas, "VANTESSEL", 50, 12);

  FILE* out = std::fopen(argv[1], "w");
  if (!out) return 1;
  std::fprintf(out, "// Made by MakeSplash; do not edit.\n#include \"plugin/SplashPicture.h\"\n\n");
  std::fprintf(out, "namespace vx::plugin {\nnamespace {\n\nconstexpr uint32_t kPixels[%d] = {\n", kWidth * kHeight);
  for (size_t i = 0; i < canvas.pixels.size(); ++i)
    std::fprintf(out, "0x%06X,%s", canvas.pixels[i], (i + 1) % 10 == 0 ? "\n" : " ");
  std::fprintf(out, "};\n\n}  // namespace\n\nstd::span<const uint32_t> SplashPixels() { return kPixels; }\n\n");
  std::fprintf(out, "}  // namespace vx::plugin\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
