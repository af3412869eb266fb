// The command link's fuzz entry, shared by the libFuzzer target and the test
// that replays its corpus: received bytes cut into frames and executed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// Feeds the bytes to a command buffer in reads whose sizes the first byte
// chooses, and executes every frame against an instance with one small scene.
// False when the buffer or a reply broke its bounds.
[[nodiscard]] bool RunCommandBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
