#include "engine/world/chat/ChatConnection.h"

#include <algorithm>
#include <cassert>

#include "common/ChannelLimits.h"
#include "engine/world/chat/ChatLimits.h"

namespace vx {

std::string LineSafe(std::string_view text) {
  std::string safe;
  safe.reserve(text.size());
  for (const char c : text) {
    if (c != '\r' && c != '\n' && c != '\0') safe += c;
  }
  return safe;
}

void CLineAssembler::Feed(std::string_view bytes, const std::function<void(std::string_view)>& onLine) {
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const std::string_view piece = bytes.substr(0, end);
    if (!dropping_) {
      if (partial_.size() + piece.size() > kMaxReceivedLineLength) {
        partial_.clear();
        dropping_ = true;
      } else {
        partial_.append(piece);
      }
    }
    if (end == std::string_view::npos) return;
    Complete(onLine);
    bytes.remove_prefix(end + 1);
  }
}

void CLineAssembler::Complete(const std::function<void(std::string_view)>& onLine) {
  if (!dropping_) {
    std::string_view line = partial_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    onLine(line);
  }
  partial_.clear();
  dropping_ = false;
}

bool COutgoingLines::Push(std::string line, LineKind kind) {
  if (bytes_ + line.size() > kMaxQueuedSendBytes) {
    const size_t needed = bytes_ + line.size() - kMaxQueuedSendBytes;
    if (DroppableBytes() < needed) return false;
    DropPoseReports(needed);
  }
  bytes_ += line.size();
  lines_.push_back({std::move(line), kind});
  return true;
}

size_t COutgoingLines::DroppableBytes() const {
  size_t droppable = 0;
  for (size_t i = sentOfFirst_ > 0 ? 1 : 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == LineKind::kPoseReport) droppable += lines_[i].text.size();
  }
  return droppable;
}

void COutgoingLines::DropPoseReports(size_t needed) {
  std::deque<Line> kept;
  size_t freed = 0;
  for (size_t i = 0; i < lines_.size(); ++i) {
    Line& line = lines_[i];
    const bool begun = i == 0 && sentOfFirst_ > 0;
    if (freed < needed && !begun && line.kind == LineKind::kPoseReport) {
      freed += line.text.size();
      continue;
    }
    kept.push_back(std::move(line));
  }
  lines_ = std::move(kept);
  bytes_ -= freed;
}

void COutgoingLines::Peek(std::string& bytes, size_t maxBytes) const {
  bytes.clear();
  size_t skip = sentOfFirst_;
  for (const Line& line : lines_) {
    if (bytes.size() >= maxBytes) break;
    bytes.append(std::string_view(line.text).substr(skip, maxBytes - bytes.size()));
    skip = 0;
  }
}

void COutgoingLines::Consume(size_t bytes) {
  assert(bytes <= bytes_ && "more bytes consumed than were queued");
  bytes_ -= bytes;
  while (bytes > 0) {
    const size_t rest = lines_.front().text.size() - sentOfFirst_;
    if (bytes < rest) {
      sentOfFirst_ += bytes;
      return;
    }
    bytes -= rest;
    sentOfFirst_ = 0;
    lines_.pop_front();
  }
}

CChatConnection::CChatConnection(std::string_view host, uint16_t port) : channel_(std::make_unique<CNMChannel>()) {
  channel_->SetRemoteHost(host);
  channel_->SetRemotePort(port);
  channel_->SetTimeout(kChatConnectTimeoutSeconds);
  // A host that cannot be opened leaves the channel closed: the client keeps
  // reporting that it is connecting.
  (void)channel_->Open();
}

CChatConnection::~CChatConnection() {
  Flush();
  channel_->Abort();
}

bool CChatConnection::Poll() {
  (void)channel_->Poll();
  if (IsOpen()) opened_ = true;
  Flush();
  return IsOpen();
}

void CChatConnection::ReadLines(const std::function<void(std::string_view)>& onLine) {
  if ((channel_->GetStatus() & kChannelHasData) == 0) return;
  std::string bytes(kChatReceiveBytes, '\0');
  int32_t length = kChatReceiveBytes;
  if (channel_->Receive(bytes.data(), &length) != kTransferOk || length <= 0) return;
  bytes.resize(static_cast<size_t>(length));
  lines_.Feed(bytes, onLine);
}

void CChatConnection::Queue(std::string_view text, LineKind kind) {
  // A connection that has closed is never opened again.
  if (channel_->State() == ChannelState::Closed) return;
  std::string line = LineSafe(text);
  line.resize(std::min(line.size(), kMaxChatLineLength - 2));
  line += "\r\n";
  // A line that finds no room is lost: the server has long stopped reading.
  (void)outgoing_.Push(std::move(line), kind);
}

void CChatConnection::Flush() {
  std::string bytes;
  while (!outgoing_.Empty() && channel_->State() == ChannelState::Open) {
    outgoing_.Peek(bytes, kMaxSendBytes);
    int32_t length = static_cast<int32_t>(bytes.size());
    if (channel_->Send(bytes.data(), &length) != kTransferOk || length <= 0) return;
    outgoing_.Consume(static_cast<size_t>(length));
  }
}

}  // namespace vx
