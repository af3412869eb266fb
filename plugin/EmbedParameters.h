// The parameters of the embedding page that the plug-in understands:
// "SetProperty.<node>.<field>" = value sets a field of a named node after the
// scene has loaded, and "Border" = "r,g,b" draws a focus border.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "plugin/PluginLimits.h"

namespace vx::plugin {

struct PropertySetting {
  char fieldName[kPropertyTextSize];
  char nodeName[kPropertyTextSize];
  char value[kPropertyTextSize];
};

struct EmbedParameters {
  std::array<PropertySetting, kMaxPropertySettings> properties;
  int16_t propertyCount;
  int16_t borderOn;
  float borderRgb[3];
};

// Takes one parameter of the page into parameters: a property setting (the
// first kMaxPropertySettings are kept, each text cut to fit) or the border.
// Other names, and null names or values, are passed over.
void TakeEmbedParameter(const char* name, const char* value, EmbedParameters& parameters);

}  // namespace vx::plugin
