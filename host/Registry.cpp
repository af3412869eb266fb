#include "host/Registry.h"

#include <climits>
#include <fstream>
#include <iterator>

#include "host/HostLimits.h"
#include "platform/Numbers.h"

namespace vx::host {

const RegistryFormat kProductRegistryFormat{"PRODUCTSTART", "PRODUCTEND", static_cast<size_t>(kMaxProductEntries)};
const RegistryFormat kComponentRegistryFormat{"COMPSTART", "COMPEND", static_cast<size_t>(kMaxRegistryEntries)};

namespace {

constexpr std::string_view kTokenDelimiters = " =\r";
constexpr std::string_view kVersionDelimiters = " =.\r";
constexpr std::string_view kDigestLine = "#WIN_SHA256";
constexpr size_t kDigestLength = 64;

// Splits one line into tokens; each call may use its own delimiters, the way
// the version numbers are split also at '.'.
class LineTokens {
 public:
  explicit LineTokens(std::string_view line) : rest_(line) {}

  std::optional<std::string_view> Next(std::string_view delimiters = kTokenDelimiters) {
    size_t begin = rest_.find_first_not_of(delimiters);
    if (begin == std::string_view::npos) {
      rest_ = {};
      return std::nullopt;
    }
    size_t end = rest_.find_first_of(delimiters, begin);
    std::string_view token = rest_.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    return token;
  }

 private:
  std::string_view rest_;
};

// A version number as the C library's atoi reads it, kept in 16 bits.
int16_t VersionNumber(std::optional<std::string_view> token) {
  if (!token) return 0;
  std::string text(*token);
  long value = ParseLongC(text.c_str(), nullptr, 10);
  if (value > INT16_MAX) return INT16_MAX;
  if (value < INT16_MIN) return INT16_MIN;
  return static_cast<int16_t>(value);
}

bool IsLowerHex(std::string_view text) {
  return text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

std::string Lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Parser state for one file.
class RegistryParser {
 public:
  explicit RegistryParser(const RegistryFormat& format) : format_(format) {}

  // False when the line makes the whole file invalid.
  bool Line(std::string_view line) {
    if (line.empty()) return true;
    if (line.front() == '#') return line.starts_with(kDigestLine) ? DigestLine(line.substr(1)) : true;
    LineTokens tokens(line);
    while (std::optional<std::string_view> keyword = tokens.Next())
      if (!Keyword(*keyword, tokens)) return false;
    return true;
  }

  RegistryFile Result() && { return std::move(file_); }

 private:
  bool Keyword(std::string_view keyword, LineTokens& tokens) {
    if (keyword == format_.startKeyword) {
      if (inRecord_) return false;
      inRecord_ = true;
      record_ = RegistryRecord{};
    } else if (keyword == format_.endKeyword) {
      if (inRecord_ && file_.records.size() < format_.maxRecords) file_.records.push_back(record_);
      inRecord_ = false;
    } else if (keyword == "NAME") {
      return Text(tokens.Next(), record_.name);
    } else if (keyword == "WIN_VERSION") {
      record_.major = VersionNumber(tokens.Next(kVersionDelimiters));
      record_.minor = VersionNumber(tokens.Next(kVersionDelimiters));
    } else if (keyword == "WIN_URL") {
      return Text(tokens.Next(), record_.url);
    } else if (keyword == "PRODUCT_DOWNLOAD_URL") {
      std::string site;
      if (!Text(tokens.Next(), site)) return false;
      file_.siteUrl = std::move(site);
    }
    return true;
  }

  bool DigestLine(std::string_view line) {
    LineTokens tokens(line);
    tokens.Next();
    std::optional<std::string_view> digest = tokens.Next();
    if (inRecord_ && digest && digest->size() == kDigestLength && IsLowerHex(Lowered(*digest)))
      record_.sha256 = Lowered(*digest);
    return true;
  }

  static bool Text(std::optional<std::string_view> token, std::string& into) {
    if (!token) return true;
    if (token->size() > kMaxNameLength) return false;
    into = std::string(*token);
    return true;
  }

  const RegistryFormat& format_;
  RegistryFile file_;
  RegistryRecord record_;
  bool inRecord_ = false;
};

}  // namespace

std::optional<RegistryFile> ParseRegistryText(std::string_view text, const RegistryFormat& format) {
  RegistryParser parser(format);
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.size() > kMaxLineLength || !parser.Line(line)) return std::nullopt;
  }
  return std::move(parser).Result();
}

std::optional<RegistryFile> ParseRegistryFile(const std::string& path, const RegistryFormat& format) {
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return std::nullopt;
  return ParseRegistryText(*text, format);
}

bool IsOlderVersion(int16_t majorA, int16_t minorA, int16_t majorB, int16_t minorB) {
  return majorA < majorB || (majorA == majorB && minorA < minorB);
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace vx::host
