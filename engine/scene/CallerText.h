// Texts that pass between the engine and its callers through buffers of
// VX_TEXT_BUFFER_SIZE characters.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include <vantessel/EngineResult.h>

namespace vx {

// A caller's text of at most VX_TEXT_BUFFER_SIZE - 1 characters; read no
// further even when the caller's buffer is not terminated.
inline std::string BoundedText(const char* text) {
  return std::string(text, strnlen(text, VX_TEXT_BUFFER_SIZE - 1));
}

// Copies text into a caller's buffer of VX_TEXT_BUFFER_SIZE characters, cut
// to fit and always terminated; the text may lie in that buffer. A null
// buffer takes nothing.
inline void CopyToCaller(std::string_view text, char* out) {
  if (!out) return;
  const size_t length = std::min(text.size(), static_cast<size_t>(VX_TEXT_BUFFER_SIZE - 1));
  std::memmove(out, text.data(), length);
  out[length] = '\0';
}

}  // namespace vx
