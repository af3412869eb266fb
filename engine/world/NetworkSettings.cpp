#include "engine/world/NetworkSettings.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

uint16_t PortFrom(const char* text, uint16_t fallback) {
  if (!text) return fallback;
  const char* end = text + std::strlen(text);
  uint16_t port = 0;
  const auto [stop, error] = std::from_chars(text, end, port);
  return error == std::errc() && stop == end && stop != text ? port : fallback;
}

}  // namespace

NetworkSettings NetworkSettingsFrom(EnvironmentLookup lookup) {
  NetworkSettings settings;
  const char* address = lookup("VANTESSEL_LISTEN_ADDRESS");
  settings.listenAddress = address && *address ? address : kDefaultListenAddress;
  settings.commandPort = PortFrom(lookup("VANTESSEL_COMMAND_PORT"), kDefaultCommandPort);
  settings.chatPort = PortFrom(lookup("VANTESSEL_CHAT_PORT"), kDefaultChatPort);
  return settings;
}

const NetworkSettings& CurrentNetworkSettings() {
  static const NetworkSettings settings = NetworkSettingsFrom([](const char* name) -> const char* { return std::getenv(name); });
  return settings;
}

}  // namespace vx
