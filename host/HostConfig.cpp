#include "host/HostConfig.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>

#include "host/MakerServer.h"
#include "host/HostLimits.h"
#include "host/Registry.h"
#include "platform/Clock.h"
#include "platform/Numbers.h"

namespace vx::host {
namespace {

using File = std::unique_ptr<FILE, decltype(&std::fclose)>;

File OpenFile(const std::string& path, const char* mode) { return {std::fopen(path.c_str(), mode), &std::fclose}; }

constexpr const char* kCommentBlock =
    "###############################################\n"
    "# Use this configuration file to set up       #\n"
    "# your proxy server (if you have one).        #\n"
    "# Just fill in the fields below. For example: #\n"
    "# proxyServer=myproxy                         #\n"
    "# proxyPort=8080                              #\n"
    "# If you ever need to switch back to no proxy #\n"
    "# server, just delete this file.              #\n"
    "###############################################\n";

std::string WithoutWhiteSpace(std::string_view text) {
  std::string result;
  for (char c : text)
    if (!std::isspace(static_cast<unsigned char>(c))) result += c;
  return result;
}

void ApplyKey(std::string_view key, const std::string& value, HostConfig& config) {
  if (key == "proxyServer") {
    config.proxyServer = WithoutWhiteSpace(value);
  } else if (key == "home") {
    config.homeUrl = WithoutWhiteSpace(value);
  } else if (key == "CompRegistry") {
    config.compRegistryPath = WithoutWhiteSpace(value);
  } else if (key == "ProductRegistry") {
    config.productRegistryPath = WithoutWhiteSpace(value);
  } else if (key == "proxyPort") {
    int port = 0;
    if (ScanC(value.c_str(), "%d", &port) == 1 && port >= 0 && port <= 65535) config.proxyPort = port;
  } else if (key == "cacheSize") {
    // Millions of bytes; sizes beyond what the byte count can hold are
    // taken as the largest it can.
    long millions = 0;
    if (ScanC(value.c_str(), "%ld", &millions) == 1 && millions >= 0)
      config.cacheLimit = millions > INT32_MAX / kCacheSizeUnit ? INT32_MAX / kCacheSizeUnit * kCacheSizeUnit
                                                                 : static_cast<int32_t>(millions) * kCacheSizeUnit;
  } else if (key == "date") {
    unsigned date = 0;
    if (ScanC(value.c_str(), "%u", &date) == 1) config.date = date;
  } else if (key == "version") {
    unsigned version = 0;
    if (ScanC(value.c_str(), "%u", &version) == 1) config.version = static_cast<int32_t>(version);
  }
}

// The file's text, taken one character at a time.
class ConfigText {
 public:
  explicit ConfigText(std::string_view text) : text_(text) {}
  int Get() { return at_ < text_.size() ? static_cast<unsigned char>(text_[at_++]) : EOF; }

 private:
  std::string_view text_;
  size_t at_ = 0;
};

void SkipLine(ConfigText& text) {
  int c;
  do c = text.Get();
  while (c != EOF && c != '\n');
}

// One "key=value" line; the key ends at the first ' ' or '=', and a line
// that ends before its '=' is no setting at all. A value ends at a NUL, as
// it would when written back. False at the end of the text.
bool ReadSetting(ConfigText& text, int first, HostConfig& config) {
  std::string key;
  bool keyEnded = false;
  int c = first;
  for (; c != EOF && c != '=' && c != '\n'; c = text.Get()) {
    if (c == ' ' || c == '\0') keyEnded = true;
    if (!keyEnded && c != '\r' && key.size() < kConfigKeyChars) key += static_cast<char>(c);
  }
  if (c != '=') return c != EOF;
  std::string value;
  bool valueEnded = false;
  while ((c = text.Get()) != EOF && c != '\n') {
    if (c == '\0') valueEnded = true;
    if (!valueEnded && value.size() < kMaxLineLength) value += static_cast<char>(c);
  }
  ApplyKey(key, value, config);
  return c != EOF;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".new";
  {
    File file = OpenFile(temporary, "wb");
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

TodaySource gTodaySource = nullptr;

}  // namespace

void SetTodaySource(TodaySource source) { gTodaySource = source; }

bool IsCheckDueToday(const std::string& configPath) {
  HostConfig config;
  config.date = 0;
  static_cast<void>(ReadConfigFile(configPath, config));
  return IsCheckDue(config.date, TodayPackedDate());
}

uint32_t TodayPackedDate() {
  if (gTodaySource) return gTodaySource();
  const time_t now = static_cast<time_t>(WallClockSeconds());
  tm local{};
  localtime_r(&now, &local);
  return (static_cast<uint32_t>(local.tm_year + 1900) << 16) + (static_cast<uint32_t>(local.tm_mon) << 8) +
         static_cast<uint32_t>(local.tm_mday);
}

std::string DefaultHomeUrl() { return MakerServerUrl() + "home.tsw"; }

void ParseConfigText(std::string_view text, HostConfig& config) {
  ConfigText reader(text);
  for (;;) {
    int c = reader.Get();
    while (c == '\r' || c == '\n') c = reader.Get();
    if (c == EOF) break;
    if (c == '#') {
      SkipLine(reader);
      continue;
    }
    if (!ReadSetting(reader, c, config)) break;
  }
}

bool ReadConfigFile(const std::string& path, HostConfig& config) {
  const std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return false;
  ParseConfigText(*text, config);
  return true;
}

bool WriteDefaultConfigFile(const std::string& path, const HostConfig& config) {
  std::string text = kCommentBlock;
  text += FormatString("%s=%d\n", "version", config.version);
  text += FormatString("%s=\n", "proxyServer");
  text += FormatString("%s=\n", "proxyPort");
  text += FormatString("%s=5\n", "cacheSize");
  text += FormatString("%s=%s\n", "home", config.homeUrl.c_str());
  text += FormatString("%s=%u\n", "date", config.date);
  text += FormatString("%s=%s\n", "CompRegistry", config.compRegistryPath.c_str());
  text += FormatString("%s=%s\n", "ProductRegistry", config.productRegistryPath.c_str());
  return WriteWholeFile(path, text);
}

bool WriteConfigFile(const std::string& path, const HostConfig& config, uint32_t date) {
  return WriteWholeFile(path, ConfigFileText(config, date));
}

std::string ConfigFileText(const HostConfig& config, uint32_t date) {
  std::string text = kCommentBlock;
  text += FormatString("%s=%d\n", "version", config.version);
  text += FormatString("%s=%s\n", "proxyServer", config.proxyServer.c_str());
  text += FormatString("%s=%d\n", "proxyPort", config.proxyPort);
  text += FormatString("%s=%ld\n", "cacheSize", static_cast<long>(config.cacheLimit / kCacheSizeUnit));
  text += FormatString("%s=%s\n", "home", config.homeUrl.c_str());
  text += FormatString("%s=%u\n", "date", date);
  text += FormatString("%s=%s\n", "CompRegistry", config.compRegistryPath.c_str());
  text += FormatString("%s=%s\n", "ProductRegistry", config.productRegistryPath.c_str());
  return text;
}

}  // namespace vx::host
