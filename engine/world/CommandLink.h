// The listening end of the remote command link: one controller program at a
// time connects and sends request frames, which the engine instance's
// interpreter executes and answers on the same connection.
//
// The link listens on the loopback address by default (see NetworkSettings).
// Each new connection starts with an empty command buffer, whatever address
// it comes from, and a controller that stays silent for the idle time is
// dropped so that it cannot keep every other one out.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/world/CommandBuffer.h"
#include "common/NMChannel.h"

namespace vx {

struct CommandLinkSettings {
  std::string listenAddress;
  uint16_t port = 0;  // 0: any free port
  int32_t idleSeconds = 0;
};

// The process's network settings and the stated idle time.
CommandLinkSettings DefaultCommandLinkSettings();

class CCommandLink {
 public:
  explicit CCommandLink(CommandLinkSettings settings = DefaultCommandLinkSettings());
  ~CCommandLink();
  CCommandLink(const CCommandLink&) = delete;
  CCommandLink& operator=(const CCommandLink&) = delete;

  // Moves what the controller sent into the buffer. Listens again once the
  // connection has ended or the controller was idle too long.
  void Receive(CommandBuffer& buffer);
  // Sends the text to the controller when one is connected.
  void Send(std::string_view text);

  // The port listened on, kept for every later listen; 0 until the first
  // listen has bound one.
  uint16_t Port() const { return port_; }

 private:
  void Listen();
  void RememberPort();
  bool ReadInto(CommandBuffer& buffer);
  bool IdleTooLong() const;

  CommandLinkSettings settings_;
  std::unique_ptr<CNMChannel> channel_;
  bool ownsWindowClass_ = false;
  uint16_t port_ = 0;
  bool awaitingController_ = true;
  uint64_t lastHeardMs_ = 0;
};

}  // namespace vx
