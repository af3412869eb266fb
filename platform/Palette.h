// Logical palettes: tables of up to 256 xRGB entries, and the screen's.
//
// On a screen of 8 bits per pixel the pixels of the screen are indices into
// the system palette, and realising a palette (RealizePalette in
// DeviceContext.h) loads its entries into it. On true-colour screens (every
// screen the backends drive today) realising is a no-op that maps nothing.
// Handles are never reused; a deleted palette is simply invalid.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/PlatformExport.h"

namespace vx {

enum class PaletteHandle : uint32_t { None = 0 };

inline constexpr int kPaletteEntries = 256;

// A palette with the given entries (at most 256 are kept); None when empty.
[[nodiscard]] VX_PLATFORM_API PaletteHandle CreatePalette(std::span<const uint32_t> xrgbEntries);
VX_PLATFORM_API bool DeletePalette(PaletteHandle palette);
// The entries; empty for an invalid handle.
VX_PLATFORM_API std::vector<uint32_t> GetPaletteEntries(PaletteHandle palette);
// Overwrites entries from `first` on (entries past the palette's end are
// dropped); the number written.
VX_PLATFORM_API int SetPaletteEntries(PaletteHandle palette, int first, std::span<const uint32_t> xrgbEntries);

// The screen's bits per pixel as the engine counts them: 8, 16 or 32 (a
// 24-bit display counts as 32, since its pixels are written as xRGB words).
VX_PLATFORM_API int ScreenBitsPerPixel();
// True when a 16-bit screen stores 5:6:5 pixels.
VX_PLATFORM_API bool ScreenUses565();
// The 256 entries of the system palette on an 8-bit screen (black until a
// palette is realised); nothing on a true-colour screen, which has none.
VX_PLATFORM_API std::optional<std::array<uint32_t, kPaletteEntries>> GetSystemPaletteEntries();

}  // namespace vx
