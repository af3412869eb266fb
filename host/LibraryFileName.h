// Component library file names: a component name, the major version, '_',
// the minor version, then the extension ("Vantessel2_2.so").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::host {

// A library file, and its package: the library compressed with gzip.
inline constexpr std::string_view kLibraryExtension = ".so";
inline constexpr std::string_view kPackageExtension = ".so.gz";

struct LibraryFileName {
  std::string component;  // the text before the first digit
  int major = 0;
  int minor = 0;
};

// Splits a file name into component and version. Nothing when the name has
// no digit, when its first digit does not start a run of digits and '_' that
// reaches the next '.' (or the end), or when a version number is out of range.
// A run without '_' gives major 0.
std::optional<LibraryFileName> ParseLibraryFileName(std::string_view fileName);

// The names of a folder listing that are to be loaded: those whose major is
// productMajor, one per component, the one with the highest minor (of equal
// versions the one listed later). Survivors keep their listing order.
std::vector<std::string> SelectLibrariesToLoad(const std::vector<std::string>& listing, int productMajor);

// The file name a library of this component and version carries.
std::string LibraryFileNameFor(std::string_view component, int major, int minor, std::string_view extension);

}  // namespace vx::host
