// The listening end of the remote command link: one controller program at a
// time connects and sends request frames, which the engine instance's
// interpreter executes and answers on the same connection.
//
// The link listens on the loopback address by default (see NetworkSettings).
// Each new connection starts with an empty command buffer, whatever address
// it comes from, and a controller that shows no sign of life for the idle
// time is dropped so that it cannot keep every other one out: only a frame
// it completes, or text of it that the buffer keeps, counts as life.
//
// Replies leave whole and in order. What the socket does not take at once
// waits in a queue of at most kMaxUnsentReplyBytes and goes out on later
// receives; while it waits, no further frame is answered, so a controller
// that pipelines requests and reads slowly is answered at its own pace. One
// whose replies would pass the bound is dropped. Frames of a controller that
// has closed or been dropped are not answered, and so not run: the platform
// tells of a close only after the last bytes have been read, so frames wait
// for the next poll before they run.
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

  // Poll, then Read.
  void Receive(CommandBuffer& buffer);
  // Takes in a new controller or the end of the connection, and sends on
  // what earlier replies left unsent. Once the connection has ended, what
  // its controller left in the buffer goes and the link listens again.
  void Poll(CommandBuffer& buffer);
  // Moves what the controller sent into the buffer.
  void Read(CommandBuffer& buffer);
  // A controller is connected: false once it has closed or been dropped,
  // and while the link waits for the next one.
  bool HasController() const { return channel_->State() == ChannelState::Open; }
  // True while reply bytes wait for the socket.
  bool RepliesWaiting() const { return !unsent_.empty(); }
  // Sends the text to the controller when one is connected, keeping what the
  // socket does not take for later.
  void Send(std::string_view text);
  // Ends one round of receiving and answering: heard tells whether the
  // controller completed a frame or the buffer kept more of its text. A
  // controller not heard for the idle time is dropped.
  void EndRound(bool heard);

  // The port listened on, kept for every later listen; 0 until the first
  // listen has bound one.
  uint16_t Port() const { return port_; }

 private:
  void Listen();
  void RememberPort();
  void ReadInto(CommandBuffer& buffer);
  void SendUnsent();
  void DropController();
  bool IdleTooLong() const;

  CommandLinkSettings settings_;
  std::unique_ptr<CNMChannel> channel_;
  bool ownsWindowClass_ = false;
  uint16_t port_ = 0;
  bool awaitingController_ = true;
  uint64_t lastHeardMs_ = 0;
  std::string unsent_;
};

}  // namespace vx
