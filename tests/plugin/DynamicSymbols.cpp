#include "tests/plugin/DynamicSymbols.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

namespace vx::test {
namespace {

// A record of type T at offset, when the file holds it whole.
template <typename T>
std::optional<T> RecordAt(std::span<const char> file, uint64_t offset) {
  if (offset > file.size() || file.size() - offset < sizeof(T)) return std::nullopt;
  T record;
  std::memcpy(&record, file.data() + offset, sizeof(T));
  return record;
}

std::optional<Elf64_Shdr> SectionAt(std::span<const char> file, const Elf64_Ehdr& header, uint64_t index) {
  if (index >= header.e_shnum) return std::nullopt;
  return RecordAt<Elf64_Shdr>(file, header.e_shoff + index * sizeof(Elf64_Shdr));
}

std::optional<std::string> NameAt(std::span<const char> file, const Elf64_Shdr& strings, uint64_t offset) {
  if (offset >= strings.sh_size || strings.sh_offset > file.size() || file.size() - strings.sh_offset < strings.sh_size)
    return std::nullopt;
  const char* start = file.data() + strings.sh_offset + offset;
  const size_t room = strings.sh_size - offset;
  const size_t length = strnlen(start, room);
  if (length == room) return std::nullopt;
  return std::string(start, length);
}

bool IsDefinedGlobal(const Elf64_Sym& symbol) {
  const unsigned binding = ELF64_ST_BIND(symbol.st_info);
  return symbol.st_shndx != SHN_UNDEF && (binding == STB_GLOBAL || binding == STB_WEAK);
}

}  // namespace

std::optional<std::set<std::string>> DefinedDynamicSymbols(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::span<const char> file(bytes);
  const std::optional<Elf64_Ehdr> header = RecordAt<Elf64_Ehdr>(file, 0);
  if (!header || std::memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 || header->e_ident[EI_CLASS] != ELFCLASS64)
    return std::nullopt;
  for (uint64_t index = 0; index < header->e_shnum; ++index) {
    const std::optional<Elf64_Shdr> table = SectionAt(file, *header, index);
    if (!table || table->sh_type != SHT_DYNSYM) continue;
    const std::optional<Elf64_Shdr> strings = SectionAt(file, *header, table->sh_link);
    if (!strings) return std::nullopt;
    std::set<std::string> names;
    for (uint64_t offset = sizeof(Elf64_Sym); offset + sizeof(Elf64_Sym) <= table->sh_size; offset += sizeof(Elf64_Sym)) {
      const std::optional<Elf64_Sym> symbol = RecordAt<Elf64_Sym>(file, table->sh_offset + offset);
      if (!symbol) return std::nullopt;
      if (!IsDefinedGlobal(*symbol)) continue;
      std::optional<std::string> name = NameAt(file, *strings, symbol->st_name);
      if (!name) return std::nullopt;
      names.insert(std::move(*name));
    }
    return names;
  }
  return std::nullopt;
}

}  // namespace vx::test
