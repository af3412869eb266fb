// The maker's web server, from which the home scene and the registries come.
// $VANTESSEL_SERVER_URL replaces the built-in address (tests point it at a
// local server).
#pragma once

#include <string>

namespace vx::host {

inline constexpr char kDefaultMakerServerUrl[] = "http://www.orvanta.example/";

// The base URL, ending in '/'.
std::string MakerServerUrl();

}  // namespace vx::host
