// The command link's fuzz entries, shared by the libFuzzer targets and the
// tests that replay their corpora: received bytes cut into frames and
// executed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// Feeds the bytes to a command buffer in reads whose sizes the first byte
// chooses, and executes every frame against an instance with one small scene.
// False when the buffer or a reply broke its bounds.
[[nodiscard]] bool RunCommandBytes(const uint8_t* data, size_t size);

// The same against a world of nested groups, a PROTO, a Switch, an LOD and a
// Script, whose ROUTEs hand child lists on from one to the next, so that the
// commands' values travel along them; false also when a frame leaves a cycle
// in the world's hierarchy.
[[nodiscard]] bool RunCommandWorldBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
