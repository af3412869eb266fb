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

  // False when the line makes the whole file invalid. A bad line (one too
  // long to read) still starts and ends records, so that the records
  // around it stay in step, but costs every record it touches.
  bool Line(std::string_view line, bool bad) {
    lineBad_ = bad;
    if (bad && inRecord_) recordSpoiled_ = true;
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
      recordSpoiled_ = lineBad_;
      record_ = RegistryRecord{};
    } else if (keyword == format_.endKeyword) {
      if (inRecord_ && !recordSpoiled_ && file_.records.size() < format_.maxRecords) file_.records.push_back(record_);
      inRecord_ = false;
    } else if (keyword == "NAME") {
      Text(tokens.Next(), record_.name);
    } else if (keyword == "WIN_VERSION") {
      record_.major = VersionNumber(tokens.Next(kVersionDelimiters));
      record_.minor = VersionNumber(tokens.Next(kVersionDelimiters));
    } else if (keyword == "WIN_URL") {
      Text(tokens.Next(), record_.url);
    } else if (keyword == "PRODUCT_DOWNLOAD_URL") {
      std::optional<std::string_view> site = tokens.Next();
      if (site && !lineBad_ && site->size() <= kMaxNameLength) file_.siteUrl = std::string(*site);
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

  // A name or URL too long for its field costs its record.
  void Text(std::optional<std::string_view> token, std::string& into) {
    if (!token) return;
    if (token->size() > kMaxNameLength)
      recordSpoiled_ = true;
    else
      into = std::string(*token);
  }

  const RegistryFormat& format_;
  RegistryFile file_;
  RegistryRecord record_;
  bool inRecord_ = false;
  bool recordSpoiled_ = false;
  bool lineBad_ = false;
};

}  // namespace

std::optional<RegistryFile> ParseRegistryText(std::string_view text, const RegistryFormat& format) {
  RegistryParser parser(format);
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    const bool tooLong = line.size() > kMaxLineLength;
    // A value ends at a NUL, as it would when written back.
    if (!parser.Line(line.substr(0, line.find('\0')), tooLong)) return std::nullopt;
  }
  return std::move(parser).Result();
}

std::string LocalProductRegistryText(const std::vector<RegistryRecord>& entries) {
  constexpr std::string_view kNameLine = "NAME = ";
  constexpr size_t kBannerDecoration = 13 + 14;
  std::string text;
  for (const RegistryRecord& entry : entries) {
    if (kNameLine.size() + entry.name.size() > kMaxLineLength) continue;  // no line could carry it
    const std::string banner = entry.name.substr(0, kMaxLineLength - kBannerDecoration);
    text += FormatString("#############%s##############\n", banner.c_str());
    text += "PRODUCTSTART\n";
    text += FormatString("%s%s\n", kNameLine.data(), entry.name.c_str());
    text += FormatString("WIN_VERSION = %d.%d\n", entry.major, entry.minor);
    text += "PRODUCTEND\n\n";
  }
  return text;
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
