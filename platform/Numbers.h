// Number text that does not depend on the process locale.
//
// Scene files, property text, config.txt and the wire protocols all write
// numbers with a '.' decimal point, whatever locale the user runs (a GUI
// toolkit sets the locale from the environment at start-up). These wrappers
// run the C library's formatting and parsing in the "C" locale for the
// duration of one call, so printf-style formats can be used as specified.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/PlatformExport.h"

namespace vx {

// snprintf in the "C" locale: always terminates within size (when size > 0)
// and returns the length the full text would have had.
VX_PLATFORM_API int FormatC(char* buffer, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
VX_PLATFORM_API int FormatCv(char* buffer, size_t size, const char* format, va_list args);

// The same into a string of any length.
VX_PLATFORM_API std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

// sscanf in the "C" locale.
VX_PLATFORM_API int ScanC(const char* text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

// strtod / strtol in the "C" locale; end (when given) receives the first
// character not used.
VX_PLATFORM_API double ParseDoubleC(const char* text, char** end);
VX_PLATFORM_API long ParseLongC(const char* text, char** end, int base);

// The shortest text that reads back as exactly the same float ("0.1", "1e-07",
// "3"): what scene files use so that a save and a reload keep every value.
VX_PLATFORM_API std::string FormatFloatExact(float value);

}  // namespace vx
