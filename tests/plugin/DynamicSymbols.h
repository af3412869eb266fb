// The symbols a shared module defines in its dynamic symbol table: what a
// program that loads it can find by name.
#pragma once

#include <optional>
#include <set>
#include <string>

namespace vx::test {

// Nothing when the file is not a readable 64-bit ELF file with such a table.
std::optional<std::set<std::string>> DefinedDynamicSymbols(const std::string& path);

}  // namespace vx::test
