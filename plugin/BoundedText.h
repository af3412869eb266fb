// Copies into the plug-in's fixed text fields: always terminated, cut to fit.
#pragma once

#include <algorithm>
#include <cstring>
#include <string_view>

namespace vx::plugin {

template <size_t N>
void CopyCut(char (&target)[N], std::string_view text) {
  const size_t length = std::min(text.size(), N - 1);
  if (length > 0) std::memcpy(target, text.data(), length);
  target[length] = '\0';
}

// The text of a field of N characters that may lack its terminator.
template <size_t N>
std::string_view TextOf(const char (&field)[N]) {
  return std::string_view(field, strnlen(field, N));
}

}  // namespace vx::plugin
