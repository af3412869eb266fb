// Socket readiness as window messages, and asynchronous name lookup.
//
// The network code is single-threaded: sockets are non-blocking POSIX
// sockets, and instead of waiting on them their owner asks that their events
// be posted as a message to one of its windows (usually a hidden
// message-only window). Every pass of the pump (PeekMessage, GetMessage)
// polls the registered sockets and posts what it finds:
//
//   kSocketRead     data waits to be read. Once posted, it comes again only
//                   after a call of SocketReceive (whatever it read), when
//                   data still or again waits.
//   kSocketWrite    the socket can take data: once when a connection is
//                   made, and again after SocketSend reported that it would
//                   block.
//   kSocketAccept   a listening socket has a caller; again after each call
//                   of SocketAccept while callers wait.
//   kSocketConnect  a connection attempt ended; the error part says how.
//   kSocketClose    the peer closed (once all its data was read) or the
//                   connection broke; posted once.
//
// The message: wParam = the socket, lParam = event | (error << 16), error 0
// or a POSIX errno value.
//
// So use SocketReceive, SocketSend and SocketAccept rather than the plain
// calls: they re-arm the notifications. Sockets must be closed through
// SocketClose (or their notifications cancelled first): the number of a
// closed socket is soon reused by the system.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

enum SocketEvent : uint32_t {
  kSocketRead = 1,
  kSocketWrite = 2,
  kSocketAccept = 8,
  kSocketConnect = 16,
  kSocketClose = 32,
};

constexpr uint32_t SocketEventOf(intptr_t lParam) { return static_cast<uint32_t>(lParam) & 0xFFFF; }
constexpr int SocketErrorOf(intptr_t lParam) { return static_cast<int>((static_cast<uint32_t>(lParam) >> 16) & 0xFFFF); }

// Posts the chosen events (SocketEvent bits) of the socket to the window as
// `message`. A later call for the same socket replaces the earlier one;
// events 0 cancels. False for an invalid window or socket. The socket is
// made non-blocking.
[[nodiscard]] VX_PLATFORM_API bool SelectSocketEvents(int socket, WindowHandle window, uint32_t message, uint32_t events);
// Stops the socket's notifications and drops those still queued.
VX_PLATFORM_API void CancelSocketEvents(int socket);

// A socket whose readiness the next pass of the pump would turn into a
// notification, and which readiness. A backend with an event loop of its own
// watches these between passes and pumps when one becomes ready, instead of
// polling.
struct AwaitedSocket {
  int socket = -1;
  bool read = false;   // data, a caller or a hang-up
  bool write = false;  // writable, or a connection attempt ended
};
VX_PLATFORM_API std::vector<AwaitedSocket> AwaitedSockets();

// Connects a non-blocking socket to a dotted IPv4 address. Returns 0 when
// the attempt is under way or done (kSocketConnect tells the outcome), else
// the errno value.
[[nodiscard]] VX_PLATFORM_API int SocketConnect(int socket, std::string_view dottedAddress, uint16_t port);
// Sends up to `length` bytes; the count sent, 0 when the socket would block
// (which re-arms kSocketWrite), or -errno.
[[nodiscard]] VX_PLATFORM_API long SocketSend(int socket, const void* data, size_t length);
// Receives up to `length` bytes; the count, 0 when the peer closed, -EAGAIN
// when nothing waits, or -errno.
[[nodiscard]] VX_PLATFORM_API long SocketReceive(int socket, void* buffer, size_t length);
// Accepts a waiting caller: the new socket, with the listening socket's
// notifications (no kSocketConnect), and the caller's dotted address; -errno
// on failure.
[[nodiscard]] VX_PLATFORM_API int SocketAccept(int listeningSocket, std::string* peerAddress);
// Cancels the socket's notifications and closes it.
VX_PLATFORM_API void SocketClose(int socket);

// The dotted text of an IPv4 address in network byte order.
VX_PLATFORM_API std::string DottedAddress(uint32_t networkOrderAddress);

using LookupHandle = uint32_t;

// Starts looking up `hostName`. On the next pass of the pump the name is
// resolved, the first IPv4 address is written to *firstAddress as dotted
// text, and `message` is posted to the window with wParam = the handle and
// lParam = error << 16 (error 0, or a POSIX errno value: EHOSTUNREACH when the
// name has no address). *firstAddress must stay valid until the message has
// come or the lookup was cancelled. Returns 0 for an invalid window or an
// empty name.
[[nodiscard]] VX_PLATFORM_API LookupHandle StartHostLookup(WindowHandle window, uint32_t message,
                                                          std::string_view hostName, std::string* firstAddress);
// Forgets a lookup that has not finished; its message will not come.
VX_PLATFORM_API void CancelHostLookup(LookupHandle lookup);

}  // namespace vx
