#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/Faults.h"
#include "platform/WindowState.h"

namespace vx {
namespace {

// What the pump knows of one registered socket.
struct Registration {
  int socket = -1;
  WindowHandle window = WindowHandle::None;
  uint32_t message = 0;
  uint32_t events = 0;
  bool connectPending = true;  // no connection yet: kSocketConnect still to come
  bool readArmed = true;       // the next pass with data waiting posts kSocketRead
  bool acceptArmed = true;     // the next pass with a caller waiting posts kSocketAccept
  bool writeArmed = false;     // the next writable pass posts kSocketWrite
  bool closeReported = false;  // finished: the socket is not polled any more
  bool listening = false;      // as the last pass found it
  uint32_t queued = 0;         // events whose notification waits in the queue
};

struct Lookup {
  LookupHandle handle = 0;
  WindowHandle window = WindowHandle::None;
  uint32_t message = 0;
  std::string hostName;
  std::string* firstAddress = nullptr;
};

std::vector<Registration> g_sockets;
std::vector<Lookup> g_lookups;
LookupHandle g_nextLookup = 1;

Registration* Registered(int socket) {
  auto it = std::find_if(g_sockets.begin(), g_sockets.end(), [socket](const Registration& r) { return r.socket == socket; });
  return it == g_sockets.end() ? nullptr : &*it;
}

// The kernel's TCP state of the socket; -1 when it is not a TCP socket.
int TcpState(int socket) {
  tcp_info info{};
  socklen_t size = sizeof info;
  if (getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) != 0) return -1;
  return info.tcpi_state;
}

int PendingError(int socket) {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
  return error;
}

int BytesWaiting(int socket) {
  int count = 0;
  return ioctl(socket, FIONREAD, &count) == 0 ? count : 0;
}

void Notify(Registration& registration, uint32_t event, int error = 0) {
  if (!(registration.events & event) || (registration.queued & event)) return;
  registration.queued |= event;
  intptr_t lParam = static_cast<intptr_t>(event | (static_cast<uint32_t>(error & 0xFFFF) << 16));
  detail::Enqueue({registration.window, registration.message, static_cast<uintptr_t>(registration.socket), lParam},
                  registration.socket, event);
}

void StepConnecting(Registration& registration, int tcpState) {
  if (tcpState == TCP_SYN_SENT) return;
  if (tcpState == TCP_CLOSE) {
    int error = PendingError(registration.socket);
    if (error == 0) return;  // not asked to connect yet
    registration.connectPending = false;
    registration.closeReported = true;
    Notify(registration, kSocketConnect, error);
    return;
  }
  registration.connectPending = false;
  registration.writeArmed = true;
  Notify(registration, kSocketConnect);
}

void StepConnected(Registration& registration, short revents) {
  if (registration.writeArmed && (revents & POLLOUT)) {
    registration.writeArmed = false;
    Notify(registration, kSocketWrite);
  }
  if (!(revents & (POLLIN | POLLHUP | POLLERR | POLLRDHUP))) return;
  if (BytesWaiting(registration.socket) > 0) {
    if (registration.readArmed) {
      registration.readArmed = false;
      Notify(registration, kSocketRead);
    }
    return;
  }
  // Readable with nothing to read: the peer closed or the connection broke.
  registration.closeReported = true;
  Notify(registration, kSocketClose, PendingError(registration.socket));
}

void Step(Registration& registration, short revents) {
  if (revents & POLLNVAL) {
    registration.closeReported = true;
    return;
  }
  int tcpState = TcpState(registration.socket);
  registration.listening = tcpState == TCP_LISTEN;
  if (registration.listening) {
    if ((revents & POLLIN) && registration.acceptArmed) {
      registration.acceptArmed = false;
      Notify(registration, kSocketAccept);
    }
  } else if (registration.connectPending && tcpState != -1) {
    StepConnecting(registration, tcpState);
  } else {
    StepConnected(registration, revents);
  }
}

// What to wait for: only what would lead to a notification, so that a wait in
// GetMessage does not wake again and again for data nobody has asked for yet.
// (Errors and hang-ups are always reported by poll.)
short WantedEvents(const Registration& registration) {
  short wanted = 0;
  if (registration.listening ? registration.acceptArmed : registration.readArmed) wanted |= POLLIN | POLLRDHUP;
  if (registration.connectPending || registration.writeArmed) wanted |= POLLOUT;
  return wanted;
}

// Resolves every pending lookup; false when there was none.
bool ResolveLookups() {
  if (g_lookups.empty()) return false;
  std::vector<Lookup> due;
  due.swap(g_lookups);
  for (const Lookup& lookup : due) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int error = EHOSTUNREACH;
    if (getaddrinfo(lookup.hostName.c_str(), nullptr, &hints, &found) == 0 && found) {
      const auto* address = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
      *lookup.firstAddress = DottedAddress(address->sin_addr.s_addr);
      error = 0;
    }
    if (found) freeaddrinfo(found);
    detail::Enqueue({lookup.window, lookup.message, lookup.handle, static_cast<intptr_t>(error << 16)});
  }
  return true;
}

bool SetNonBlocking(int socket) {
  int flags = fcntl(socket, F_GETFL, 0);
  return flags != -1 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

namespace detail {

void PollSockets(int timeoutMs) {
  if (ResolveLookups()) timeoutMs = 0;
  std::vector<pollfd> polled;
  // A socket that waits for nothing is left out: poll reports a hang-up even
  // unasked, so a peer that closed while its last data is still unread would
  // otherwise wake every wait at once until that data is received.
  for (const Registration& registration : g_sockets) {
    const short wanted = WantedEvents(registration);
    if (!registration.closeReported && wanted != 0) polled.push_back({registration.socket, wanted, 0});
  }
  if (polled.empty() && timeoutMs == 0) return;
  if (::poll(polled.data(), polled.size(), timeoutMs) <= 0) return;
  for (const pollfd& entry : polled)
    if (Registration* registration = Registered(entry.fd)) Step(*registration, entry.revents);
}

void SocketNotificationTaken(int socket, uint32_t event) {
  if (Registration* registration = Registered(socket)) registration->queued &= ~event;
}

void ForgetSocketsOf(WindowHandle window) {
  std::erase_if(g_sockets, [window](const Registration& r) { return r.window == window; });
  std::erase_if(g_lookups, [window](const Lookup& l) { return l.window == window; });
}

}  // namespace detail

bool SelectSocketEvents(int socket, WindowHandle window, uint32_t message, uint32_t events) {
  CancelSocketEvents(socket);
  if (events == 0) return true;
  if (socket < 0 || !detail::Find(window) || !SetNonBlocking(socket)) return false;
  Registration registration;
  registration.socket = socket;
  registration.window = window;
  registration.message = message;
  registration.events = events;
  int tcpState = TcpState(socket);
  registration.connectPending = tcpState == TCP_CLOSE || tcpState == TCP_SYN_SENT;
  registration.writeArmed = !registration.connectPending;
  g_sockets.push_back(registration);
  return true;
}

std::vector<AwaitedSocket> AwaitedSockets() {
  std::vector<AwaitedSocket> awaited;
  for (const Registration& registration : g_sockets) {
    if (registration.closeReported) continue;
    short wanted = WantedEvents(registration);
    if (wanted != 0) awaited.push_back({registration.socket, (wanted & POLLIN) != 0, (wanted & POLLOUT) != 0});
  }
  return awaited;
}

void CancelSocketEvents(int socket) {
  std::erase_if(g_sockets, [socket](const Registration& r) { return r.socket == socket; });
  std::erase_if(detail::State().queue, [socket](const detail::QueuedMessage& queued) { return queued.socket == socket; });
}

int SocketConnect(int socket, std::string_view dottedAddress, uint16_t port) {
  if (ShouldFail(FaultKind::kConnect)) return ECONNREFUSED;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  if (inet_pton(AF_INET, std::string(dottedAddress).c_str(), &address.sin_addr) != 1) return EINVAL;
  if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return 0;
  return errno == EINPROGRESS ? 0 : errno;
}

long SocketSend(int socket, const void* data, size_t length) {
  ssize_t sent = ::send(socket, data, length, MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<long>(sent);
  if (errno == EAGAIN || errno == EWOULDBLOCK) {
    if (Registration* registration = Registered(socket)) registration->writeArmed = true;
    return 0;
  }
  return -errno;
}

long SocketReceive(int socket, void* buffer, size_t length) {
  if (Registration* registration = Registered(socket)) registration->readArmed = true;
  if (ShouldFail(FaultKind::kRead)) return -EIO;
  ssize_t received = ::recv(socket, buffer, length, 0);
  if (received >= 0) return static_cast<long>(received);
  return errno == EWOULDBLOCK ? -EAGAIN : -errno;
}

int SocketAccept(int listeningSocket, std::string* peerAddress) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  if (Registration* listener = Registered(listeningSocket)) listener->acceptArmed = true;
  int accepted = ::accept(listeningSocket, reinterpret_cast<sockaddr*>(&address), &size);
  if (accepted < 0) return -errno;
  if (peerAddress) *peerAddress = DottedAddress(address.sin_addr.s_addr);
  if (Registration* listener = Registered(listeningSocket)) {
    Registration copy = *listener;
    if (!SelectSocketEvents(accepted, copy.window, copy.message, copy.events)) {
      ::close(accepted);
      return -EBADF;
    }
  } else {
    SetNonBlocking(accepted);
  }
  return accepted;
}

void SocketClose(int socket) {
  if (socket < 0) return;
  CancelSocketEvents(socket);
  ::close(socket);
}

std::string DottedAddress(uint32_t networkOrderAddress) {
  in_addr address{};
  address.s_addr = networkOrderAddress;
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

LookupHandle StartHostLookup(WindowHandle window, uint32_t message, std::string_view hostName, std::string* firstAddress) {
  if (!detail::Find(window) || hostName.empty() || !firstAddress) return 0;
  LookupHandle handle = g_nextLookup++;
  g_lookups.push_back({handle, window, message, std::string(hostName), firstAddress});
  return handle;
}

void CancelHostLookup(LookupHandle lookup) {
  std::erase_if(g_lookups, [lookup](const Lookup& l) { return l.handle == lookup; });
}

}  // namespace vx
