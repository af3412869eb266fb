// One TCP connection, driven without threads.
//
// The channel either connects to a remote host and port or listens on a local
// port and takes the first caller. Nothing blocks: the name lookup and every
// socket event arrive as messages to two hidden windows, whose procedures only
// raise flags in the channel; the owner calls Poll regularly (after the
// message pump ran), and Poll turns the flags into state changes, reads
// incoming bytes into the channel's one receive buffer and finishes closes.
//
// The two window classes are registered once per process by the host; every
// build of this class (the host's and the engine's) creates its windows from
// that registration. A window's user data is the ChannelEvents record of the
// channel that created it, a plain record, so the procedures of one build
// serve the channels of another.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Window.h"

namespace vx {

inline constexpr char kLookupWindowClass[] = "DNRMessageWindow";
inline constexpr char kSocketWindowClass[] = "SocketMessageWindow";
inline constexpr char kListenWindowClass[] = "ListenMessageWindow";
inline constexpr uint32_t kLookupDoneMessage = 1025;   // a name lookup finished
inline constexpr uint32_t kSocketEventMessage = 1026;  // event in the low word of lParam, error above

// The flags that the hidden windows raise; an error code goes with each.
struct ChannelEvents {
  int32_t lookupDone;
  int32_t connected;
  int32_t accepted;
  int32_t closed;
  int32_t readable;
  int32_t writable;
  int32_t canWrite;
  int32_t lookupError;
  int32_t connectError;
  int32_t acceptError;
  int32_t closeError;
  int32_t readError;
  int32_t writeError;
};

// The procedure of the lookup windows; the command link's window class uses
// it too.
WindowProc LookupWindowProcedure();

// Called once per process by the host (the download manager); false when a
// class could not be registered.
[[nodiscard]] bool RegisterChannelWindowClasses();
void UnregisterChannelWindowClasses();

enum class ChannelState : int16_t {
  Closed = 0,
  Resolving = 1,
  Connecting = 2,  // in listen mode: waiting for a caller
  Open = 3,
  Listening = 4,
  Closing = 5,
};

// GetStatus bits.
enum ChannelStatus : uint16_t {
  kChannelOpening = 0x01,
  kChannelOpen = 0x02,
  kChannelClosing = 0x06,
  kChannelHasData = 0x08,
  kChannelCanWrite = 0x10,
  kChannelStateChanged = 0x20,
};

// Results of Open.
enum : int16_t {
  kOpenOk = 0,
  kOpenNotClosed = 5,
  kOpenNoRemoteHost = 12,  // empty, or longer than a host name may be
  kOpenLookupWindowFailed = 10059,
};

// Results of Poll.
enum : int16_t {
  kPollNothing = 0,
  kPollSocketFailed = 2,
  kPollTimedOut = 3,
  kPollLookupFailed = 13,
};

// Results of Send and Receive.
enum : int32_t {
  kTransferOk = 0,
  kTransferBadArguments = 1,
  kTransferFailed = 2,
  kTransferNotOpen = 4,
};

class CNMChannel {
 public:
  CNMChannel();
  ~CNMChannel();
  CNMChannel(const CNMChannel&) = delete;
  CNMChannel& operator=(const CNMChannel&) = delete;

  // Host name or dotted address to open; after an accept, the caller's address.
  void SetRemoteHost(std::string_view host) { remoteHost_ = host; }
  const std::string& RemoteHost() const { return remoteHost_; }
  void SetRemotePort(uint16_t port) { remotePort_ = port; }
  uint16_t RemotePort() const { return remotePort_; }
  // The local port to bind (0: any) and the port actually bound.
  void SetLocalPort(uint16_t port) { localPort_ = port; }
  uint16_t BoundPort() const;
  // Listen after the lookup instead of connecting: on the local port, at
  // the address the remote host names, so that a listener on the loopback
  // address cannot be reached from other machines.
  void SetListenMode(bool listen) { listenMode_ = listen; }

  // Seconds allowed for resolving, connecting and closing: negative means no
  // time-out, 0 one second.
  void SetTimeout(int32_t seconds);
  int32_t Timeout() const { return timeout_; }

  ChannelState State() const { return state_; }
  bool IsOpen() const;
  // The channel closed because the peer ended the connection in order,
  // once its last bytes were handed out; false while it is open and after
  // an abort, a time-out or a broken connection.
  bool ClosedByPeer() const { return closedByPeer_; }

  int16_t Open();
  int16_t Poll();
  uint16_t GetStatus();
  // Copies min(*length, bytes held) out of the receive buffer; *length gets
  // the count.
  int32_t Receive(void* buffer, int32_t* length);
  // Sends at most 8,192 bytes; *length gets the count sent (0 when the socket
  // would block).
  int32_t Send(const void* data, int32_t* length);
  int16_t Close();
  int16_t Abort();

 private:
  void SetState(ChannelState state);
  void StartDeadline(int32_t seconds);
  bool DeadlinePassed() const;
  int16_t TakeLookup();
  bool CreateSocket();
  bool ConnectOrListen();
  void TakeConnect();
  void TakeAccept();
  bool TakeReadable();
  int32_t LingerSeconds() const;

  std::string remoteHost_;
  uint16_t remotePort_;
  uint16_t localPort_ = 0;
  bool listenMode_ = false;
  ChannelState state_ = ChannelState::Closed;
  bool stateChanged_ = true;
  bool closedByPeer_ = false;
  int socket_ = -1;
  WindowHandle lookupWindow_ = WindowHandle::None;
  WindowHandle socketWindow_ = WindowHandle::None;
  uint32_t lookupHandle_ = 0;
  std::string resolvedAddress_;
  std::vector<uint8_t> receiveBuffer_;
  int32_t fill_ = 0;
  int32_t timeout_;
  bool hasDeadline_ = false;
  uint64_t deadlineMs_ = 0;
  ChannelEvents events_{};
};

}  // namespace vx
