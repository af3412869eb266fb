#include "engine/world/chat/ChatConnection.h"

#include <algorithm>

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

void CChatConnection::Queue(std::string_view text) {
  // A connection that has closed is never opened again.
  if (channel_->State() == ChannelState::Closed) return;
  std::string line = LineSafe(text);
  line.resize(std::min(line.size(), kMaxChatLineLength - 2));
  outgoing_ += line;
  outgoing_ += "\r\n";
}

void CChatConnection::Flush() {
  while (!outgoing_.empty() && channel_->State() == ChannelState::Open) {
    int32_t length = static_cast<int32_t>(std::min<size_t>(outgoing_.size(), kMaxSendBytes));
    if (channel_->Send(outgoing_.data(), &length) != kTransferOk || length <= 0) return;
    outgoing_.erase(0, static_cast<size_t>(length));
  }
}

}  // namespace vx
