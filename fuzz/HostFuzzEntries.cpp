#include "fuzz/HostFuzzEntries.h"

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/Compression.h"
#include "host/HostConfig.h"
#include "host/HostLimits.h"
#include "host/HttpResponse.h"
#include "host/LibraryFileName.h"
#include "host/Registry.h"

namespace vx::fuzz {
namespace {

using namespace vx::host;

std::string_view Text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

struct ResponseResult {
  bool succeeded;
  bool failed;
  int32_t contentLength;
  int32_t received;
  std::string body;

  bool operator==(const ResponseResult&) const = default;
};

ResponseResult Feed(std::string_view response, size_t blockSize) {
  std::vector<uint8_t> sink(response.size() + 1);
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, sink.data(), static_cast<int32_t>(sink.size()));
  HttpResponseReader reader(&stream, nullptr);
  for (size_t at = 0; at < response.size(); at += blockSize) {
    const size_t length = std::min(blockSize, response.size() - at);
    reader.Feed({reinterpret_cast<const uint8_t*>(response.data() + at), length});
  }
  // The server closes after the last block.
  reader.ServerClosed();
  return {reader.Succeeded(), reader.Failed(), reader.ContentLength(), reader.Received(),
          std::string(reinterpret_cast<const char*>(sink.data()), static_cast<size_t>(stream.position))};
}

bool SameSettings(const HostConfig& a, const HostConfig& b) {
  return a.version == b.version && a.compRegistryPath == b.compRegistryPath &&
         a.productRegistryPath == b.productRegistryPath && a.date == b.date && a.proxyServer == b.proxyServer &&
         a.homeUrl == b.homeUrl && a.proxyPort == b.proxyPort && a.cacheLimit == b.cacheLimit;
}

bool LinesFit(std::string_view text) {
  while (!text.empty()) {
    const size_t end = text.find('\n');
    if (text.substr(0, end).size() > kMaxLineLength) return false;
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  return true;
}

}  // namespace

bool FeedHttpResponse(const uint8_t* data, size_t size) {
  if (size == 0) return true;
  const std::string_view response = Text(data + 1, size - 1);
  const ResponseResult whole = Feed(response, std::max<size_t>(response.size(), 1));
  const ResponseResult split = Feed(response, size_t{data[0]} + 1);
  if (!(whole == split)) return false;
  if (whole.received != static_cast<int32_t>(whole.body.size())) return false;
  if (whole.received > kMaxHttpBodyBytes || (whole.contentLength >= 0 && whole.received > whole.contentLength))
    return false;
  return !whole.succeeded || whole.contentLength < 0 || whole.received == whole.contentLength;
}

bool ReadConfigBytes(const uint8_t* data, size_t size) {
  HostConfig read;
  ParseConfigText(Text(data, size), read);
  HostConfig readBack;
  ParseConfigText(ConfigFileText(read, read.date), readBack);
  return SameSettings(read, readBack);
}

bool ReadRegistryBytes(const uint8_t* data, size_t size) {
  static_cast<void>(ParseRegistryText(Text(data, size), kComponentRegistryFormat));
  const std::optional<RegistryFile> products = ParseRegistryText(Text(data, size), kProductRegistryFormat);
  if (!products) return true;
  const std::string written = LocalProductRegistryText(products->records);
  const std::optional<RegistryFile> readBack = ParseRegistryText(written, kProductRegistryFormat);
  if (!LinesFit(written) || !readBack) return false;
  std::vector<RegistryRecord> expected;
  for (const RegistryRecord& record : products->records)
    if (std::string_view("NAME = ").size() + record.name.size() <= kMaxLineLength) expected.push_back(record);
  if (readBack->records.size() != expected.size()) return false;
  for (size_t i = 0; i < expected.size(); ++i) {
    const RegistryRecord& a = expected[i];
    const RegistryRecord& b = readBack->records[i];
    if (a.name != b.name || a.major != b.major || a.minor != b.minor) return false;
  }
  return true;
}

bool ReadLibraryFileNames(const uint8_t* data, size_t size) {
  std::vector<std::string> listing;
  std::string_view text = Text(data, size);
  while (!text.empty() && listing.size() < static_cast<size_t>(kMaxScanNames) * 2) {
    const size_t end = text.find('\n');
    listing.emplace_back(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  }
  for (const std::string& name : listing) {
    const std::optional<LibraryFileName> parsed = ParseLibraryFileName(name);
    if (!parsed) continue;
    const std::optional<LibraryFileName> again = ParseLibraryFileName(
        LibraryFileNameFor(parsed->component, parsed->major, parsed->minor, kLibraryExtension));
    if (!again || again->component != parsed->component || again->major != parsed->major ||
        again->minor != parsed->minor)
      return false;
  }
  std::set<std::string> components;
  for (const std::string& name : SelectLibrariesToLoad(listing, kProductMajor)) {
    const std::optional<LibraryFileName> parsed = ParseLibraryFileName(name);
    if (!parsed || parsed->major != kProductMajor || !components.insert(parsed->component).second) return false;
    if (std::find(listing.begin(), listing.end(), name) == listing.end()) return false;
  }
  return true;
}

bool GunzipBytes(const uint8_t* data, size_t size) {
  size_t offered = 0;
  uint64_t produced = 0;
  static_cast<void>(InflateGzip(
      [&](unsigned char* buffer, size_t capacity) {
        // Small reads, so that members and their ends fall across them.
        const size_t length = std::min({capacity, size - offered, size_t{4096}});
        std::copy_n(data + offered, length, buffer);
        offered += length;
        return static_cast<ptrdiff_t>(length);
      },
      [&](const unsigned char*, size_t length) {
        produced += length;
        return true;
      },
      size));
  return produced <= InflateLimit(size);
}

}  // namespace vx::fuzz
