#include "host/LibraryFileName.h"

#include <algorithm>
#include <cstdint>

#include "platform/Numbers.h"

namespace vx::host {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The decimal number formed by the digits that end just before `end`; 0 when
// there are none, nothing when it does not fit a 16-bit version field.
std::optional<int> NumberEndingAt(std::string_view text, size_t end) {
  size_t begin = end;
  while (begin > 0 && IsDigit(text[begin - 1])) --begin;
  int value = 0;
  for (size_t i = begin; i < end; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT16_MAX) return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<LibraryFileName> ParseLibraryFileName(std::string_view fileName) {
  size_t firstDigit = 0;
  while (firstDigit < fileName.size() && !IsDigit(fileName[firstDigit])) ++firstDigit;
  if (firstDigit == fileName.size()) return std::nullopt;

  size_t runEnd = firstDigit;
  while (runEnd < fileName.size() && (IsDigit(fileName[runEnd]) || fileName[runEnd] == '_')) ++runEnd;
  if (runEnd < fileName.size() && fileName[runEnd] != '.') return std::nullopt;

  LibraryFileName parsed;
  parsed.component = std::string(fileName.substr(0, firstDigit));
  size_t underscore = fileName.find('_', firstDigit);
  if (underscore == std::string_view::npos || underscore >= runEnd) return parsed;

  std::optional<int> major = NumberEndingAt(fileName, underscore);
  std::optional<int> minor = NumberEndingAt(fileName, runEnd);
  if (!major || !minor) return std::nullopt;
  parsed.major = *major;
  parsed.minor = *minor;
  return parsed;
}

std::vector<std::string> SelectLibrariesToLoad(const std::vector<std::string>& listing, int productMajor) {
  struct Winner {
    std::string component;
    int minor;
    size_t index;
  };
  std::vector<Winner> winners;
  for (size_t i = 0; i < listing.size(); ++i) {
    std::optional<LibraryFileName> parsed = ParseLibraryFileName(listing[i]);
    if (!parsed || parsed->major != productMajor) continue;
    auto same = std::find_if(winners.begin(), winners.end(),
                             [&](const Winner& w) { return w.component == parsed->component; });
    if (same == winners.end())
      winners.push_back({parsed->component, parsed->minor, i});
    else if (parsed->minor >= same->minor)
      *same = {parsed->component, parsed->minor, i};
  }
  std::sort(winners.begin(), winners.end(), [](const Winner& a, const Winner& b) { return a.index < b.index; });
  std::vector<std::string> selected;
  for (const Winner& w : winners) selected.push_back(listing[w.index]);
  return selected;
}

std::string LibraryFileNameFor(std::string_view component, int major, int minor, std::string_view extension) {
  return std::string(component) + FormatString("%d_%d", major, minor) + std::string(extension);
}

}  // namespace vx::host
