// The ".ric" reader's fuzz entry, shared by the libFuzzer target and the test
// that replays its corpus.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// Reads the bytes as a ".ric" stream from memory and draws its first frames
// at every pixel size into small destinations. Returns how many frames were
// drawn.
int DecodeCodebookBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
