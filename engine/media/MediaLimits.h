// Limits and fixed values of the media objects, in one place. Every size a
// decoder reads from a file header is checked against these before anything
// is allocated for it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// A media name (path or URL) keeps at most this many characters; a longer
// name is refused rather than cut, so that no other file is fetched.
inline constexpr int32_t kMaxMediaNameLength = 255;
inline constexpr int32_t kMediaNameBufferSize = kMaxMediaNameLength + 1;

// The largest picture a decoder accepts: each side fits the 16-bit sizes of
// an image record, and the pixel count bounds the memory one picture takes
// (at 4 bytes a pixel, 256 MB).
inline constexpr int64_t kMaxPictureSide = 16384;
inline constexpr int64_t kMaxPicturePixels = 64LL * 1024 * 1024;
// The most memory one ancillary PNG chunk (a colour profile, compressed
// text) may take once inflated; such chunks are not used, only skipped.
inline constexpr size_t kMaxPngChunkBytes = 8 * 1024 * 1024;
// The largest still-picture file that is read.
inline constexpr int64_t kMaxMediaFileBytes = 256LL * 1024 * 1024;

// Dither noise of 16-bit output: a table of this many values 0..7, each the
// integer part of a 15-bit random number times kNoiseScale.
inline constexpr int32_t kNoiseCount = 370;
inline constexpr double kNoiseScale = 0.00024414808;

// Rows a step of JPEG decoding writes at most, so that one step stays short
// while a large picture decodes.
inline constexpr int32_t kJpegRowsPerStep = 32;

// Frames a frame-set texture remembers; the oldest is replaced first.
inline constexpr int32_t kFrameRingSize = 256;

// Panorama tile buffer: at most this many tiles; an empty slot holds this
// tile position; the buffer is this many rows taller than its tiles, half
// above and half below, and at least kMinTileMargin of them on each side.
inline constexpr int32_t kMaxBufferTiles = 512;
inline constexpr int16_t kEmptyTileSlot = -999;
inline constexpr int32_t kTileBufferExtraRows = 32;
inline constexpr int32_t kMinTileMargin = 2;
// Guard rows of panorama pictures and their row tables, above and below the
// picture (engine/media/panorama/RowTable.h).
inline constexpr int32_t kPictureGuardRows = 2;
// The field of view a tile buffer is sized for: 60 degrees (single
// precision), and the vertical extent from which every column is kept.
inline constexpr float kTileReferenceAngle = 1.0471975f;
inline constexpr double kTileFullWidthExtent = 3.1405925025939943;
// The colour depth at which a panorama keeps its whole grid of tiles.
inline constexpr uint16_t kTileWholeGridMode = 8;

// Multi-resolution pictures: square tiles of this side, at most this many
// levels (pictures up to 32768 pixels on the longer side), a tile cache of
// this many entries trimmed back to kTileCacheKeep after each pass.
inline constexpr int32_t kMultiResTileSide = 64;
inline constexpr int32_t kMaxMultiResLevels = 10;
inline constexpr int32_t kTileCacheEntries = 80;
inline constexpr int32_t kTileCacheKeep = 16;

// A GIF keeps at most this many images: the frame grid counts its frames in
// 16 bits.
inline constexpr int32_t kMaxGifFrames = 65535;
// Entries of the GIF LZW code table (12-bit codes), and the depth of the
// stack a code chain is unwound on.
inline constexpr int32_t kGifCodeTableSize = 4096;

// A ".txt" tile descriptor: its largest file, the most tiles its grid may
// have, and the distance below which a tile that has arrived stands in for
// one that has not.
inline constexpr int64_t kMaxDescriptorBytes = 1024 * 1024;
inline constexpr int32_t kMaxDescriptorTiles = 4096;
inline constexpr double kNearestTileRange = 32000.0;

// A Text draws at most this many lines, whose pictures together have at
// most kMaxTextPixels pixels (at 4 bytes a pixel, 64 MB); a TextTexture
// joins at most kMaxTextLines lines into its one picture. Lines past either
// bound are not drawn.
inline constexpr int32_t kMaxTextLines = 1024;
inline constexpr int64_t kMaxTextPixels = 16LL * 1024 * 1024;

// Every media callback passes this message.
inline constexpr int32_t kMediaMessage = 8;
// What handles and image queries answer when there is nothing to answer.
inline constexpr int32_t kMediaNoAnswer = 9;

}  // namespace vx
