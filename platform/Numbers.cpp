#include "platform/Numbers.h"

#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace vx {
namespace {

locale_t CLocale() {
  static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

// Switches the calling thread to the "C" locale for one scope.
class ScopedCLocale {
 public:
  ScopedCLocale() : previous_(uselocale(CLocale())) {}
  ~ScopedCLocale() { uselocale(previous_); }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  locale_t previous_;
};

}  // namespace

int FormatCv(char* buffer, size_t size, const char* format, va_list args) {
  ScopedCLocale scope;
  return std::vsnprintf(buffer, size, format, args);
}

int FormatC(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = FormatCv(buffer, size, format, args);
  va_end(args);
  return length;
}

std::string FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int length = FormatCv(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    FormatCv(buffer.data(), buffer.size(), format, args);
    text.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  return text;
}

int ScanC(const char* text, const char* format, ...) {
  ScopedCLocale scope;
  va_list args;
  va_start(args, format);
  int count = std::vsscanf(text, format, args);
  va_end(args);
  return count;
}

double ParseDoubleC(const char* text, char** end) { return strtod_l(text, end, CLocale()); }

long ParseLongC(const char* text, char** end, int base) { return strtol_l(text, end, base, CLocale()); }

std::string FormatFloatExact(float value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

}  // namespace vx
