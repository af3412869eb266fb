// The registry text format shared by the product registries ("PRODUCTSTART"
// ... "PRODUCTEND") and the component registry ("COMPSTART" ... "COMPEND").
//
// Lines of at most 254 characters; empty lines and lines starting with '#'
// are skipped; every other line is split into tokens at ' ', '=' and '\r',
// and may hold several keywords. Inside a record:
//   NAME <name>   WIN_VERSION <major>.<minor>   WIN_URL <url>
// and anywhere PRODUCT_DOWNLOAD_URL <url> (the product site).
//
// A component record may carry the SHA-256 digest of its package on a line
// "#WIN_SHA256 = <64 hex digits>": a comment to every reader that does not
// know it, so signed registries stay readable by older hosts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vx::host {

struct RegistryRecord {
  std::string name;
  int16_t major = 0;
  int16_t minor = 0;
  std::string url;
  std::string sha256;  // lower-case hex; empty when none is listed
};

struct RegistryFile {
  std::vector<RegistryRecord> records;
  std::optional<std::string> siteUrl;  // from PRODUCT_DOWNLOAD_URL
};

struct RegistryFormat {
  std::string_view startKeyword;
  std::string_view endKeyword;
  size_t maxRecords;
};

extern const RegistryFormat kProductRegistryFormat;
extern const RegistryFormat kComponentRegistryFormat;

// Nothing for a file that is invalid as a whole: a record started inside a
// record. A line longer than 254 characters, or a name or URL longer than
// 255, costs only the record it stands in; a value ends at a NUL. Records
// past the format's maximum are ignored.
[[nodiscard]] std::optional<RegistryFile> ParseRegistryText(std::string_view text, const RegistryFormat& format);

// The local "Products Registry.txt" for these entries (without their URLs).
// Every line it writes is one the reader takes: an entry whose name no line
// could carry is left out, and the banner above a record is cut to fit.
std::string LocalProductRegistryText(const std::vector<RegistryRecord>& entries);

// The same for a file; nothing when it cannot be read.
[[nodiscard]] std::optional<RegistryFile> ParseRegistryFile(const std::string& path, const RegistryFormat& format);

// True when version a is older than version b.
bool IsOlderVersion(int16_t majorA, int16_t minorA, int16_t majorB, int16_t minorB);

// The whole file as bytes; nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);

}  // namespace vx::host
