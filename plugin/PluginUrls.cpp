#include "plugin/PluginUrls.h"

#include <algorithm>

#include "plugin/PluginLimits.h"
#include "plugin/TextCase.h"
#include "vantessel/EngineResult.h"

namespace vx::plugin {
namespace {

constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kFilePrefix = "file:///";
constexpr std::string_view kSharePrefix = "file:////";
constexpr std::string_view kSceneEndings[] = {"tsw", "wrl", ".gz"};

}  // namespace

bool IsSceneFileName(std::string_view url) {
  if (url.size() < 3) return false;
  const std::string_view ending = url.substr(url.size() - 3);
  return std::any_of(std::begin(kSceneEndings), std::end(kSceneEndings),
                     [&](std::string_view scene) { return EqualIgnoringCase(ending, scene); });
}

std::optional<std::string> StreamPath(std::string_view url, const char* savedFile) {
  std::string path(!savedFile || url.starts_with(kFilePrefix) ? url : std::string_view(savedFile));
  if (path.starts_with(kSharePrefix)) path.insert(std::string_view("file://").size(), "/");
  if (path.size() >= VX_TEXT_BUFFER_SIZE) return std::nullopt;
  return path;
}

std::optional<std::string> LinkUrlFor(std::string_view url) {
  std::string link(url);
  if (!url.starts_with(kHttpPrefix) && !url.starts_with(kFilePrefix)) {
    std::replace_if(link.begin(), link.end(), [](char c) { return c == ':' || c == '\\'; }, '/');
    // An absolute path brings the URL's third '/' itself.
    if (link.starts_with('/')) link.erase(0, 1);
    link.insert(0, kFilePrefix);
  }
  if (link.size() >= kLinkTextSize) return std::nullopt;
  return link;
}

}  // namespace vx::plugin
