// The property text's fuzz entries, shared by the libFuzzer targets and the
// test that replays their corpora. Each returns false when text the engine
// wrote does not read back as what it shows.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// Text to value, as the engine interface and the command link read it: the
// first byte chooses the field type, the rest is the text, read against a
// world with a few named nodes. What is read is written again, whole and into
// a caller's buffer, and each text must read back to itself.
[[nodiscard]] bool ReadPropertyText(const uint8_t* data, size_t size);

// Value to text to value: the first byte chooses the field type, the second
// the caller's buffer size, the rest fills the value (numbers from their raw
// bytes, strings from the characters). The text written must read back to a
// value that writes the same text; a cut text must hold the elements it
// shows, in front of the rest.
[[nodiscard]] bool RoundTripPropertyValue(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
