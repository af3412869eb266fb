#include "engine/world/CommandLink.h"

#include <algorithm>
#include <limits>

#include "engine/world/NetworkSettings.h"
#include "engine/world/WindowGlue.h"
#include "engine/world/WorldLimits.h"
#include "platform/Clock.h"

namespace vx {

CommandLinkSettings DefaultCommandLinkSettings() {
  const NetworkSettings& network = CurrentNetworkSettings();
  return {network.listenAddress, network.commandPort, kCommandLinkIdleSeconds};
}

CCommandLink::CCommandLink(CommandLinkSettings settings)
    : settings_(std::move(settings)), channel_(std::make_unique<CNMChannel>()) {
  ownsWindowClass_ = RegisterListenWindowClass();
  Listen();
}

CCommandLink::~CCommandLink() {
  channel_.reset();
  if (ownsWindowClass_) UnregisterListenWindowClass();
}

// Every listen after the first uses the port the first one bound, so that a
// controller finds the link where it was.
void CCommandLink::Listen() {
  channel_->SetRemoteHost(settings_.listenAddress);
  channel_->SetLocalPort(port_ != 0 ? port_ : settings_.port);
  channel_->SetTimeout(-1);
  channel_->SetListenMode(true);
  awaitingController_ = true;
  if (channel_->Open() != kOpenOk) return;
  // A dotted address needs no lookup: this poll binds and listens.
  (void)channel_->Poll();
  RememberPort();
}

void CCommandLink::RememberPort() {
  if (port_ == 0 && channel_->State() == ChannelState::Connecting) port_ = channel_->BoundPort();
}

void CCommandLink::Receive(CommandBuffer& buffer) {
  Poll(buffer);
  Read(buffer);
}

void CCommandLink::Poll(CommandBuffer& buffer) {
  (void)channel_->Poll();
  RememberPort();
  if (channel_->State() == ChannelState::Open) {
    if (awaitingController_) {
      awaitingController_ = false;
      buffer.Clear();
      unsent_.clear();
      lastHeardMs_ = NowMs();
    }
    SendUnsent();
  }
  if (channel_->State() == ChannelState::Closed) {
    buffer.Clear();
    Listen();
  }
}

void CCommandLink::Read(CommandBuffer& buffer) {
  if (channel_->State() == ChannelState::Open) ReadInto(buffer);
}

void CCommandLink::ReadInto(CommandBuffer& buffer) {
  char bytes[kCommandBufferSize];
  int32_t length = static_cast<int32_t>(std::min(buffer.Room(), sizeof bytes));
  if (length == 0 || channel_->Receive(bytes, &length) != kTransferOk || length <= 0) return;
  buffer.Append(std::string_view(bytes, static_cast<size_t>(length)));
}

void CCommandLink::EndRound(bool heard) {
  if (channel_->State() != ChannelState::Open) return;
  if (heard) {
    lastHeardMs_ = NowMs();
  } else if (IdleTooLong()) {
    DropController();
  }
}

bool CCommandLink::IdleTooLong() const {
  return NowMs() - lastHeardMs_ >= static_cast<uint64_t>(std::max(settings_.idleSeconds, 0)) * 1000;
}

void CCommandLink::DropController() {
  unsent_.clear();
  channel_->Abort();
}

void CCommandLink::Send(std::string_view text) {
  if (text.empty() || channel_->State() != ChannelState::Open) return;
  if (unsent_.size() + text.size() > kMaxUnsentReplyBytes) {
    DropController();
    return;
  }
  unsent_.append(text);
  SendUnsent();
}

void CCommandLink::SendUnsent() {
  size_t sent = 0;
  while (sent < unsent_.size() && channel_->State() == ChannelState::Open) {
    int32_t length = static_cast<int32_t>(std::min<size_t>(unsent_.size() - sent, std::numeric_limits<int32_t>::max()));
    if (channel_->Send(unsent_.data() + sent, &length) != kTransferOk || length <= 0) break;
    sent += static_cast<size_t>(length);
  }
  unsent_.erase(0, sent);
}

}  // namespace vx
