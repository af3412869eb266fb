// The chat client's connection to its server: the socket channel, the lines
// waiting to go out, and the pieces of incoming lines.
//
// Lines leave whole and in order: what the socket does not take now waits
// and goes first at the next poll. A server that stops reading holds the
// waiting lines to kMaxQueuedSendBytes, so that it can neither exhaust
// memory nor stall a frame when it reads again. Incoming bytes are cut into
// lines at each LF (a CR before it is dropped); the unfinished end of a read
// is kept for the next one.
#pragma once

#include <cstdint>
#include <deque>
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

// What a line queued is worth when room runs out: a pose report is
// superseded by the next one, so it makes way first.
enum class LineKind { kRequired, kPoseReport };

// Lines waiting to go out, oldest first, holding at most
// kMaxQueuedSendBytes. Sending takes bytes from the front; a line that has
// begun to go out is never dropped, so no line leaves cut.
class COutgoingLines {
 public:
  // Queues the line, dropping the oldest pose reports that have not begun
  // to go out as far as it needs room. False, dropping nothing, when even
  // that leaves too little room: the line is not queued.
  bool Push(std::string line, LineKind kind);
  // The next bytes to go out, at most maxBytes: the unsent rest of the
  // oldest line and the lines after it.
  void Peek(std::string& bytes, size_t maxBytes) const;
  // Takes that many bytes, sent, from the front.
  void Consume(size_t bytes);
  size_t Bytes() const { return bytes_; }
  bool Empty() const { return lines_.empty(); }

 private:
  struct Line {
    std::string text;
    LineKind kind;
  };
  // Bytes that dropping pose reports could free; the line that has begun to
  // go out is kept.
  size_t DroppableBytes() const;
  void DropPoseReports(size_t needed);

  std::deque<Line> lines_;
  size_t sentOfFirst_ = 0;  // bytes of the oldest line already sent
  size_t bytes_ = 0;        // bytes not sent yet
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
  // is queued once the connection has closed, nor when the waiting lines
  // leave no room (COutgoingLines).
  void Queue(std::string_view text, LineKind kind = LineKind::kRequired);
  // Sends as much of what is queued as the socket takes.
  void Flush();
  void SendLine(std::string_view text, LineKind kind = LineKind::kRequired) {
    Queue(text, kind);
    Flush();
  }
  // Bytes waiting to go out.
  size_t QueuedBytes() const { return outgoing_.Bytes(); }

 private:
  std::unique_ptr<CNMChannel> channel_;
  COutgoingLines outgoing_;
  CLineAssembler lines_;
  bool opened_ = false;
};

}  // namespace vx
