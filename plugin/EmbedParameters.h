// The parameters of the embedding page that the plug-in understands:
// "SetProperty.<node>.<field>" = value sets a field of a named node after the
// scene has loaded, and "Border" = "r,g,b" draws a focus border. Both
// prefixes are known in any case; node and field names are taken as they
// come.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vx::plugin {

struct PropertySetting {
  std::string fieldName;
  std::string nodeName;
  std::string value;
};

struct EmbedParameters {
  std::vector<PropertySetting> properties;  // at most kMaxPropertySettings, in the page's order
  int16_t borderOn = 0;
  float borderRgb[3] = {};
};

// Takes one parameter of the page into parameters: a property setting (the
// first kMaxPropertySettings are kept) or the border. A setting whose names or
// value are longer than the engine takes is passed over whole, as are other
// names, and null names or values.
void TakeEmbedParameter(const char* name, const char* value, EmbedParameters& parameters);

}  // namespace vx::plugin
