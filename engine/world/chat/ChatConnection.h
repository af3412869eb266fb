// The chat client's connection to its server: the socket channel, the lines
// waiting to go out, and the pieces of incoming lines.
//
// Every line leaves whole and in order: what the socket does not take now
// waits and goes first at the next poll. Incoming bytes are cut into lines
// at each LF (a CR before it is dropped); the unfinished end of a read is
// kept for the next one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/NMChannel.h"

namespace vx {

// Text as it may stand inside one line sent: CR, LF and NUL left out, so
// that nothing a user or a scene supplies can end a line and start another.
std::string LineSafe(std::string_view text);

// Cuts received bytes into lines, carrying an unfinished line over.
class CLineAssembler {
 public:
  // Calls onLine with every line the bytes complete, without its CR LF. A
  // line that grows past kMaxReceivedLineLength is dropped up to its end.
  void Feed(std::string_view bytes, const std::function<void(std::string_view)>& onLine);
  size_t PendingBytes() const { return partial_.size(); }

 private:
  void Complete(const std::function<void(std::string_view)>& onLine);

  std::string partial_;
  bool dropping_ = false;
};

class CChatConnection {
 public:
  // Starts connecting to the host and port at once.
  CChatConnection(std::string_view host, uint16_t port);
  ~CChatConnection();
  CChatConnection(const CChatConnection&) = delete;
  CChatConnection& operator=(const CChatConnection&) = delete;

  // Drives the channel and sends what waits. True while the connection is
  // open.
  bool Poll();
  bool IsOpen() const { return channel_->IsOpen(); }
  // The connection was open once and has closed since.
  bool WasLost() const { return opened_ && !IsOpen(); }
  // Hands the lines of what arrived (at most kChatReceiveBytes) to onLine.
  void ReadLines(const std::function<void(std::string_view)>& onLine);

  // Queues one line: the text, made line-safe and cut so that the line with
  // its CR LF fits kMaxChatLineLength. Nothing goes out until Flush; nothing
  // is queued once the connection has closed.
  void Queue(std::string_view text);
  // Sends as much of what is queued as the socket takes.
  void Flush();
  void SendLine(std::string_view text) {
    Queue(text);
    Flush();
  }

 private:
  std::unique_ptr<CNMChannel> channel_;
  std::string outgoing_;
  CLineAssembler lines_;
  bool opened_ = false;
};

}  // namespace vx
