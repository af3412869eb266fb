// The scene reader's fuzz entry, shared by the libFuzzer target and the test
// that replays its corpus.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// Reads the bytes as a scene file into a new world; PROTO body files go to a
// scratch folder and are removed again.
void ReadSceneBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
