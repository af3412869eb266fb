// The media decoders' fuzz entries, shared by the libFuzzer targets and the
// test that replays their corpora. Each takes arbitrary bytes and answers
// whether what must hold of the result held; a crash or a false answer is a
// finding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// A GIF file: one that is read has an image and a screen within the media
// limits, and every frame draws at every pixel size.
bool DecodeGifBytes(const uint8_t* data, size_t size);

// A JPEG file: decoded from its whole bytes and decoded as they arrive in
// three pieces, it ends the same way, and with the same pixels when it
// decodes, at every pixel size.
bool DecodeJpegBytes(const uint8_t* data, size_t size);

// A BMP file: one whose header is read decodes whole at every pixel size.
// Every layout is read: palettes of 1, 4 and 8 bits (8 and 4 also
// run-length coded), 16 and 32 bits with their masks, 24 bits, top down.
bool DecodeBmpBytes(const uint8_t* data, size_t size);

// A PNG file: never complete before it has arrived; one whose header is
// read decodes, or fails, the same way at every pixel size, and the
// opacity it gives covers the picture.
bool DecodePngBytes(const uint8_t* data, size_t size);

// A ".txt" tile descriptor: one that parses has a tile for every cell of its
// grid and no name longer than a media name.
bool ParseDescriptorBytes(const uint8_t* data, size_t size);

// The body of a QuickTime "moov" atom: one that is read keeps its tracks
// and user-data items within their limits and within the bytes given.
bool ParseMovieAtomBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
