#include "common/NMChannel.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "common/ChannelLimits.h"
#include "platform/Clock.h"
#include "platform/MessagePump.h"
#include "platform/Socket.h"

namespace vx {
namespace {

constexpr uint32_t kSelectedEvents = kSocketRead | kSocketWrite | kSocketAccept | kSocketConnect | kSocketClose;

ChannelEvents* EventsOf(WindowHandle window) { return static_cast<ChannelEvents*>(GetWindowUserData(window)); }

int32_t ErrorOf(intptr_t lParam) { return SocketErrorOf(lParam); }

intptr_t DnrWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (message == kLookupDoneMessage) {
    if (ChannelEvents* events = EventsOf(window)) {
      events->lookupDone = 1;
      events->lookupError = ErrorOf(lParam);
    }
  }
  return DefWindowProc(window, message, wParam, lParam);
}

intptr_t SocketWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  ChannelEvents* events = message == kSocketEventMessage ? EventsOf(window) : nullptr;
  if (events) {
    const int32_t error = ErrorOf(lParam);
    switch (SocketEventOf(lParam)) {
      case kSocketRead:
        events->readable = 1;
        events->readError = error;
        break;
      case kSocketWrite:
        events->writable = 1;
        events->canWrite = 1;
        events->writeError = error;
        break;
      case kSocketAccept:
        events->accepted = 1;
        events->acceptError = error;
        break;
      case kSocketConnect:
        events->connected = 1;
        events->connectError = error;
        break;
      case kSocketClose:
        events->closed = 1;
        events->closeError = error;
        break;
      default:
        break;
    }
  }
  return DefWindowProc(window, message, wParam, lParam);
}

WindowHandle CreateHiddenWindow(const char* className, const char* text, ChannelEvents* events) {
  WindowDesc desc;
  desc.className = className;
  desc.text = text;
  desc.style = kWindowMessageOnly | kWindowDisabled;
  desc.userData = events;
  return CreateWindow(desc);
}

bool SetOption(int socket, int level, int option, int value) {
  return setsockopt(socket, level, option, &value, sizeof value) == 0;
}

bool IsDottedAddress(std::string_view host) {
  return !host.empty() && std::isdigit(static_cast<unsigned char>(host.front()));
}

}  // namespace

WindowProc LookupWindowProcedure() { return DnrWindowProc; }

bool RegisterChannelWindowClasses() {
  const bool lookup = RegisterWindowClass({kLookupWindowClass, DnrWindowProc, CursorHandle::None});
  const bool socket = RegisterWindowClass({kSocketWindowClass, SocketWindowProc, CursorHandle::None});
  return lookup && socket;
}

void UnregisterChannelWindowClasses() {
  UnregisterWindowClass(kLookupWindowClass);
  UnregisterWindowClass(kSocketWindowClass);
}

CNMChannel::CNMChannel()
    : remotePort_(kDefaultRemotePort), timeout_(kDefaultChannelTimeoutSeconds) {}

CNMChannel::~CNMChannel() { Abort(); }

void CNMChannel::SetTimeout(int32_t seconds) {
  if (seconds < 0)
    timeout_ = -1;
  else
    timeout_ = std::max(seconds, 1);
}

bool CNMChannel::IsOpen() const {
  return state_ == ChannelState::Open || state_ == ChannelState::Listening ||
         state_ == ChannelState::Closing;
}

uint16_t CNMChannel::BoundPort() const {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (socket_ < 0 || getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  return ntohs(address.sin_port);
}

void CNMChannel::SetState(ChannelState state) {
  state_ = state;
  stateChanged_ = true;
}

void CNMChannel::StartDeadline(int32_t seconds) {
  hasDeadline_ = seconds >= 0;
  deadlineMs_ = NowMs() + static_cast<uint64_t>(std::max(seconds, 0)) * 1000;
}

bool CNMChannel::DeadlinePassed() const { return hasDeadline_ && NowMs() >= deadlineMs_; }

int16_t CNMChannel::Open() {
  if (state_ != ChannelState::Closed) return kOpenNotClosed;
  if (remoteHost_.empty() || remoteHost_.size() >= kHostNameSize) return kOpenNoRemoteHost;
  events_ = ChannelEvents{};
  closedByPeer_ = false;
  SetState(ChannelState::Resolving);
  StartDeadline(timeout_);
  if (IsDottedAddress(remoteHost_)) {
    resolvedAddress_ = remoteHost_;
    events_.lookupDone = 1;
    return kOpenOk;
  }
  lookupWindow_ = CreateHiddenWindow(kLookupWindowClass, "", &events_);
  if (lookupWindow_ == WindowHandle::None) {
    Abort();
    return kOpenLookupWindowFailed;
  }
  lookupHandle_ = StartHostLookup(lookupWindow_, kLookupDoneMessage, remoteHost_, &resolvedAddress_);
  if (lookupHandle_ == 0) Abort();
  return kOpenOk;
}

bool CNMChannel::CreateSocket() {
  socket_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ < 0) return false;
  const linger noLinger{0, 0};
  if (!SetOption(socket_, SOL_SOCKET, SO_REUSEADDR, 1) ||
      setsockopt(socket_, SOL_SOCKET, SO_LINGER, &noLinger, sizeof noLinger) != 0 ||
      !SetOption(socket_, IPPROTO_TCP, TCP_NODELAY, 1) || !SetOption(socket_, SOL_SOCKET, SO_OOBINLINE, 1))
    return false;
  if (socketWindow_ == WindowHandle::None)
    socketWindow_ = CreateHiddenWindow(kSocketWindowClass, "Empty", &events_);
  if (socketWindow_ == WindowHandle::None ||
      !SelectSocketEvents(socket_, socketWindow_, kSocketEventMessage, kSelectedEvents))
    return false;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (listenMode_ && inet_pton(AF_INET, resolvedAddress_.c_str(), &local.sin_addr) != 1) return false;
  local.sin_port = htons(localPort_);
  if (::bind(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) return false;
  receiveBuffer_.assign(kChannelBufferBytes, 0);
  fill_ = 0;
  events_.canWrite = 0;
  return true;
}

bool CNMChannel::ConnectOrListen() {
  if (listenMode_) return ::listen(socket_, 1) == 0;
  return SocketConnect(socket_, resolvedAddress_, remotePort_) == 0;
}

int16_t CNMChannel::TakeLookup() {
  events_.lookupDone = 0;
  lookupHandle_ = 0;
  if (events_.lookupError != 0) {
    Abort();
    return kPollLookupFailed;
  }
  if (!CreateSocket() || !ConnectOrListen()) {
    Abort();
    return kPollSocketFailed;
  }
  SetState(ChannelState::Connecting);
  return kPollNothing;
}

void CNMChannel::TakeConnect() {
  events_.connected = 0;
  if (events_.connectError != 0)
    Abort();
  else
    SetState(ChannelState::Open);
}

void CNMChannel::TakeAccept() {
  events_.accepted = 0;
  std::string caller;
  const int accepted = events_.acceptError == 0 ? SocketAccept(socket_, &caller) : -1;
  if (accepted < 0) {
    Abort();
    return;
  }
  SocketClose(socket_);
  socket_ = accepted;
  remoteHost_ = caller;
  resolvedAddress_ = caller;
  SetState(ChannelState::Open);
}

// Moves what waits in the socket into the free room of the receive buffer.
// True when bytes came. A receive of nothing means the peer closed.
bool CNMChannel::TakeReadable() {
  const int32_t room = kChannelBufferBytes - fill_;
  // With the buffer full the notice stays pending: the platform announces
  // new data again only after a receive, so dropping it here would stall the
  // channel once the owner has drained the buffer.
  if (socket_ >= 0 && room <= 0) return false;
  events_.readable = 0;
  if (socket_ < 0) return false;
  const long received = SocketReceive(socket_, receiveBuffer_.data() + fill_, static_cast<size_t>(room));
  if (received > 0) {
    fill_ += static_cast<int32_t>(received);
    return true;
  }
  // A broken connection ends like a close, with its error.
  if (received == 0 || (received != -EAGAIN && received != -EINTR)) {
    events_.closed = 1;
    if (received < 0) events_.closeError = static_cast<int32_t>(-received);
  }
  return false;
}

int16_t CNMChannel::Poll() {
  if (state_ == ChannelState::Closed) return kPollNothing;
  const bool timed = state_ == ChannelState::Resolving || state_ == ChannelState::Connecting ||
                     state_ == ChannelState::Closing;
  if (timed && DeadlinePassed()) {
    Abort();
    return kPollTimedOut;
  }
  if (events_.lookupDone) {
    const int16_t result = TakeLookup();
    if (result != kPollNothing) return result;
  }
  if (events_.connected) TakeConnect();
  if (events_.accepted && state_ != ChannelState::Closed) TakeAccept();
  const bool dataCame = events_.readable && TakeReadable();
  events_.writable = 0;
  // The peer's close is taken once its last bytes have been handed out, so
  // that nothing it sent is lost with the buffer.
  if (events_.closed && !dataCame && fill_ == 0 && state_ != ChannelState::Closed) {
    const bool inOrder = IsOpen() && events_.closeError == 0;
    Abort();
    closedByPeer_ = inOrder;
  }
  return kPollNothing;
}

uint16_t CNMChannel::GetStatus() {
  uint16_t status = 0;
  switch (state_) {
    case ChannelState::Resolving:
    case ChannelState::Connecting:
      status = kChannelOpening;
      break;
    case ChannelState::Open:
    case ChannelState::Listening:
      status = kChannelOpen;
      break;
    case ChannelState::Closing:
      status = kChannelClosing;
      break;
    case ChannelState::Closed:
      break;
  }
  if (IsOpen() && fill_ > 0) status |= kChannelHasData;
  if ((state_ == ChannelState::Open || state_ == ChannelState::Closing) && events_.canWrite)
    status |= kChannelCanWrite;
  if (stateChanged_) status |= kChannelStateChanged;
  stateChanged_ = false;
  return status;
}

int32_t CNMChannel::Receive(void* buffer, int32_t* length) {
  if (!buffer || !length || *length < 0) return kTransferBadArguments;
  if (!IsOpen() || receiveBuffer_.empty()) {
    *length = 0;
    return kTransferNotOpen;
  }
  const int32_t count = std::min(*length, fill_);
  std::memcpy(buffer, receiveBuffer_.data(), static_cast<size_t>(count));
  std::memmove(receiveBuffer_.data(), receiveBuffer_.data() + count, static_cast<size_t>(fill_ - count));
  fill_ -= count;
  *length = count;
  return kTransferOk;
}

int32_t CNMChannel::Send(const void* data, int32_t* length) {
  if (!data || !length || *length < 0) return kTransferBadArguments;
  if (state_ != ChannelState::Open || socket_ < 0) {
    *length = 0;
    return kTransferNotOpen;
  }
  events_.canWrite = 0;
  const long sent = SocketSend(socket_, data, static_cast<size_t>(std::min(*length, kMaxSendBytes)));
  if (sent < 0) {
    *length = 0;
    return kTransferFailed;
  }
  *length = static_cast<int32_t>(sent);
  return kTransferOk;
}

int32_t CNMChannel::LingerSeconds() const {
  if (timeout_ < 0) return 1;
  if (timeout_ < 2) return 2;
  return timeout_ + 1;
}

// An open connection is closed in two steps, without ever blocking: our side
// is shut down at once (queued data still goes out), and Poll finishes when
// the peer closes too or the linger time has passed.
int16_t CNMChannel::Close() {
  switch (state_) {
    case ChannelState::Closed:
    case ChannelState::Closing:
      return 0;
    case ChannelState::Resolving:
    case ChannelState::Connecting:
      return Abort();
    case ChannelState::Open:
    case ChannelState::Listening:
      break;
  }
  if (::shutdown(socket_, SHUT_WR) != 0) return Abort();
  SetState(ChannelState::Closing);
  StartDeadline(LingerSeconds());
  return 0;
}

int16_t CNMChannel::Abort() {
  if (state_ == ChannelState::Closed && socket_ < 0) return 0;
  if (lookupHandle_ != 0) CancelHostLookup(lookupHandle_);
  lookupHandle_ = 0;
  if (socket_ >= 0) SocketClose(socket_);
  socket_ = -1;
  for (WindowHandle* window : {&lookupWindow_, &socketWindow_}) {
    if (*window != WindowHandle::None) DestroyWindow(*window);
    *window = WindowHandle::None;
  }
  receiveBuffer_ = {};
  fill_ = 0;
  listenMode_ = false;
  hasDeadline_ = false;
  SetState(ChannelState::Closed);
  return 0;
}

}  // namespace vx
