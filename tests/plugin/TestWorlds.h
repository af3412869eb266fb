// Worlds and a colour check shared by the plug-in's browser tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

namespace vx::test {

// A red box in front of the camera (its Material DEF Mat), before a blue
// wall.
inline constexpr const char* kBoxWorld =
    "#VRML V2.0 utf8\n"
    "Transform { translation 0 0 -20 children Shape {\n"
    "  appearance Appearance { material Material { diffuseColor 0 0 1 } }\n"
    "  geometry Box { size 200 200 1 } } }\n"
    "Transform { translation 0 0 -6 children [\n"
    "  Shape { appearance Appearance { material DEF Mat Material { diffuseColor 1 0 0 } } geometry Box { } }\n"
    "] }\n";

// A box in front of the camera that links to url (DEF Link).
inline std::string AnchorWorld(const std::string& url, const std::string& parameter = "") {
  return "#VRML V2.0 utf8\n"
         "DEF Link Anchor { url \"" + url + "\" parameter \"" + parameter + "\" children [\n"
         "  Transform { translation 0 0 -6 children Shape { geometry Box { size 4 4 4 } } }\n"
         "] }\n";
}

// The colours as drawn, shaded and dithered, within a quarter of each
// channel.
inline bool Near(uint32_t xrgb, uint32_t wanted) {
  for (int shift : {16, 8, 0})
    if (std::abs(static_cast<int>((xrgb >> shift) & 0xFF) - static_cast<int>((wanted >> shift) & 0xFF)) > 0x40)
      return false;
  return true;
}

}  // namespace vx::test
