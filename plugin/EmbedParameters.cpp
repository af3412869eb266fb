#include "plugin/EmbedParameters.h"

#include <string_view>

#include "platform/Numbers.h"
#include "plugin/PluginLimits.h"
#include "plugin/TextCase.h"

namespace vx::plugin {
namespace {

// In any case: HTML makes the names of an embed's attributes lower case.
constexpr std::string_view kPropertyPrefix = "SetProperty.";
constexpr std::string_view kBorderPrefix = "Border";

// The text up to the next '.' or '=' (or the end), and where the text after
// that '.' begins; npos when a '=' or the end came first.
std::string_view NamePart(std::string_view text, size_t& next) {
  const size_t stop = text.find_first_of(".=");
  next = stop != std::string_view::npos && text[stop] == '.' ? stop + 1 : std::string_view::npos;
  return text.substr(0, stop);
}

void TakePropertySetting(std::string_view name, std::string_view value, EmbedParameters& parameters) {
  if (parameters.properties.size() >= static_cast<size_t>(kMaxPropertySettings)) return;
  size_t fieldStart = 0;
  const std::string_view nodeName = NamePart(name, fieldStart);
  size_t unused = 0;
  const std::string_view fieldName =
      fieldStart == std::string_view::npos ? std::string_view() : NamePart(name.substr(fieldStart), unused);
  // Cut, a name or value would set another node, field or value.
  if (nodeName.size() > kMaxPropertyNameLength || fieldName.size() > kMaxPropertyNameLength ||
      value.size() > kMaxPropertyValueLength)
    return;
  parameters.properties.push_back({std::string(fieldName), std::string(nodeName), std::string(value)});
}

}  // namespace

void TakeEmbedParameter(const char* name, const char* value, EmbedParameters& parameters) {
  if (!name || !value) return;
  const std::string_view text(name);
  if (StartsWithIgnoringCase(text, kPropertyPrefix)) {
    TakePropertySetting(text.substr(kPropertyPrefix.size()), value, parameters);
  } else if (StartsWithIgnoringCase(text, kBorderPrefix)) {
    parameters.borderOn = 1;
    static_cast<void>(
        ScanC(value, "%f,%f,%f", &parameters.borderRgb[0], &parameters.borderRgb[1], &parameters.borderRgb[2]));
  }
}

}  // namespace vx::plugin
