// Where the engine's network services listen and connect. The product
// listens on the loopback address only, so that no other machine can drive
// its worlds; the environment can move every service, which lets many
// engines run side by side (port 0: any free port).
//
//   VANTESSEL_LISTEN_ADDRESS   address the command link listens on
//   VANTESSEL_COMMAND_PORT     port of the command link
//   VANTESSEL_CHAT_PORT        port of the chat server
#pragma once

#include <cstdint>
#include <string>

namespace vx {

struct NetworkSettings {
  std::string listenAddress;
  uint16_t commandPort = 0;
  uint16_t chatPort = 0;
};

// Reads a variable by name; null when it is not set.
using EnvironmentLookup = const char* (*)(const char* name);

// The settings that the variables give; a variable that is not set, empty,
// or not a port number leaves its setting at the product's default.
NetworkSettings NetworkSettingsFrom(EnvironmentLookup lookup);

// The process's settings, read from its environment on first use.
const NetworkSettings& CurrentNetworkSettings();

}  // namespace vx
