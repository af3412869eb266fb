// The host's configuration file, config.txt in the Preferences folder:
// '\n'-terminated lines of key=value under a fixed comment block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vx::host {

// Its name in the Preferences folder.
inline constexpr char kConfigFileName[] = "config.txt";

// Dates are packed as (calendar year << 16) + (month 0..11 << 8) + day.
inline constexpr uint32_t kBuiltInPackedDate = (1970u << 16) + (10u << 8) + 20u;

inline constexpr char kDefaultCompRegistryPath[] = "ovreg_new/ComponentRegistry.txt";
inline constexpr char kDefaultProductRegistryPath[] = "ovreg_new/ProductRegistry.txt";
inline constexpr int32_t kDefaultCacheLimitBytes = 5'000'000;
inline constexpr int32_t kCacheSizeUnit = 1'000'000;  // cacheSize counts millions of bytes

struct HostConfig {
  int32_t version = 0;
  std::string compRegistryPath = kDefaultCompRegistryPath;
  std::string productRegistryPath = kDefaultProductRegistryPath;
  uint32_t date = kBuiltInPackedDate;
  std::string proxyServer;  // empty: no proxy
  std::string homeUrl;
  int32_t proxyPort = 0;
  int32_t cacheLimit = kDefaultCacheLimitBytes;
};

// Today's date, packed.
uint32_t TodayPackedDate();

// Where TodayPackedDate takes the date from; null restores the calendar.
// Tests fix the day with it.
using TodaySource = uint32_t (*)();
void SetTodaySource(TodaySource source);

// The once-a-day checks are due when the date they last ran on is before
// today.
constexpr bool IsCheckDue(uint32_t lastCheck, uint32_t today) { return lastCheck < today; }

// The same for the date in config.txt at path; a file that is missing or
// names no date makes the check due.
bool IsCheckDueToday(const std::string& configPath);

// The URL of the maker's home scene on the maker's web server.
std::string DefaultHomeUrl();

// Reads the keys of an existing file into config; keys that are missing or
// do not parse leave their field as it is. False when the file is missing.
[[nodiscard]] bool ReadConfigFile(const std::string& path, HostConfig& config);

// The same over the file's text.
void ParseConfigText(std::string_view text, HostConfig& config);

// The file written at the first start: the defaults, ports and sizes as the
// user would type them.
[[nodiscard]] bool WriteDefaultConfigFile(const std::string& path, const HostConfig& config);

// Replaces the file with every key of config; date is written as given.
[[nodiscard]] bool WriteConfigFile(const std::string& path, const HostConfig& config, uint32_t date);

// The text WriteConfigFile writes.
std::string ConfigFileText(const HostConfig& config, uint32_t date);

}  // namespace vx::host
