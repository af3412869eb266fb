#include "platform/Path.h"

#include <cstdlib>
#include <strings.h>

namespace vx::path {
namespace {

constexpr std::string_view kMakerFolder = "Orvanta/";
constexpr std::string_view kViewerFolder = "Orvanta/Vantessel Viewer/";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string WithTrailingSlash(std::string folder) {
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

}  // namespace

std::string ToNativeSeparators(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string DecodePercentEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      int high = HexValue(text[i + 1]);
      int low = HexValue(text[i + 2]);
      int value = high * 16 + low;
      if (high >= 0 && low >= 0 && value != 0) {
        out += static_cast<char>(value);
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

bool IsFileUrl(std::string_view url) {
  return url.size() >= 5 && strncasecmp(url.data(), "file:", 5) == 0;
}

std::string LocalPathFromUrl(std::string_view url) {
  std::string_view rest = url;
  if (IsFileUrl(rest)) {
    rest.remove_prefix(5);
    if (rest.starts_with("//")) {
      rest.remove_prefix(2);
      // "file://localhost/x" and "file:///x" both name "/x".
      if (rest.size() >= 9 && strncasecmp(rest.data(), "localhost", 9) == 0) rest.remove_prefix(9);
    }
  }
  return ToNativeSeparators(DecodePercentEscapes(rest));
}

std::string DirectoryOf(std::string_view path) {
  size_t cut = path.find_last_of("/\\");
  if (cut == std::string_view::npos) return {};
  return std::string(path.substr(0, cut + 1));
}

std::string FileNameOf(std::string_view path) {
  size_t cut = path.find_last_of("/\\");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string RootFolder() {
  std::string root = EnvironmentValue("VANTESSEL_ROOT");
  if (root.empty()) root = EnvironmentValue("XDG_DATA_HOME");
  if (root.empty()) {
    std::string home = EnvironmentValue("HOME");
    root = (home.empty() ? std::string("/tmp") : home) + "/.local/share";
  }
  return WithTrailingSlash(std::move(root));
}

std::string ViewerFolder() { return RootFolder() + std::string(kViewerFolder); }
std::string PreferencesFolder() { return ViewerFolder() + "Preferences/"; }
std::string CacheFolder() { return ViewerFolder() + "Cache/"; }
std::string ComponentsFolder() { return ViewerFolder() + "Components/"; }
std::string ProductsRegistryFile() { return RootFolder() + std::string(kMakerFolder) + "Products Registry.txt"; }

}  // namespace vx::path
