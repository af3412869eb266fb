#include "host/MakerServer.h"

#include <cstdlib>

namespace vx::host {

std::string MakerServerUrl() {
  const char* configured = std::getenv("VANTESSEL_SERVER_URL");
  std::string url = configured && *configured ? configured : kDefaultMakerServerUrl;
  if (url.back() != '/') url += '/';
  return url;
}

}  // namespace vx::host
