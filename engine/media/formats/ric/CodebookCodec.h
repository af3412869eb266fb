// The arithmetic of the block-codebook codec: codebook entries as stored in
// a ".ric" frame, their widening to signed values, the 4x4 inverse transform,
// the colour conversion and the expansion of a whole codebook into ready
// pixels of one output form. Drawing a frame then only copies expanded
// entries, so the per-pixel work of a frame is done once per entry.
//
// Everything here works in 32-bit signed arithmetic; right shifts of negative
// values are arithmetic, and values stored back into 16 bits wrap.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vx {

inline constexpr int32_t kCodebookEntries = 256;
inline constexpr int32_t kCodebookEntryBytes = 6;
inline constexpr int32_t kCodebookBytes = kCodebookEntries * kCodebookEntryBytes;

// The two codebooks: one entry draws a whole 4x4 block, or four entries of
// the small book draw its four 2x2 quarters.
enum class CodebookShape : int32_t { Large4x4, Small2x2 };

// Pixels of an expanded codebook, by the destination's bytes per pixel.
// Palette output is expanded as Xrgb32 and dithered after the blocks.
enum class CodebookOutput : int32_t { Palette8 = 1, Rgb555 = 2, Rgb24 = 3, Xrgb32 = 4 };

// The output form for a destination's bytes per pixel; false for any other size.
[[nodiscard]] bool OutputForPixelSize(int32_t bytesPerPixel, CodebookOutput* output);
// Bytes of one expanded pixel: Palette8 expands at 4.
int32_t ExpandedPixelBytes(CodebookOutput output);

// One entry widened from its six stored bytes. Large: four transform
// coefficients c0..c3, then U and V. Small: the luminance of the top-left,
// top-right, bottom-left and bottom-right pixel, then U and V.
using CodebookEntry = std::array<int16_t, kCodebookEntryBytes>;
using Codebook = std::array<CodebookEntry, kCodebookEntries>;

void WidenCodebook(std::span<const uint8_t, kCodebookBytes> stored, CodebookShape shape, Codebook* out);

// In place over n positions: y becomes green, u blue and v red.
void CodebookColorToRgb(std::span<int16_t> y, std::span<int16_t> u, std::span<int16_t> v);

// The inverse transform of every 4x4 block of a width x height array
// (width a multiple of 4): columns of each band of four rows, then rows.
void InverseDct4x4Blocks(std::span<int16_t> values, int32_t width, int32_t height);

// Every entry as pixels of the output form, row by row (16 pixels for the
// large book, 4 for the small), entries one after another.
std::vector<uint8_t> ExpandCodebook(const Codebook& book, CodebookShape shape, CodebookOutput output);

}  // namespace vx
