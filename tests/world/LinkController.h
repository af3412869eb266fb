// A controller program of the command link for tests: a plain TCP client on
// the loopback address, and a look at the process's listening sockets.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/MessagePump.h"

namespace vx::test {

class LinkController {
 public:
  LinkController() = default;
  ~LinkController() { Close(); }
  LinkController(const LinkController&) = delete;
  LinkController& operator=(const LinkController&) = delete;

  // False when nothing listens on the port. A receive buffer size other than
  // 0 keeps the socket from taking more than about that much before it is
  // read, as a slow controller's does.
  bool Connect(uint16_t port, int receiveBuffer = 0) {
    Close();
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return false;
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    closed_ = false;
    return true;
  }

  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    received_.clear();
  }

  void Send(std::string_view text) { SendSome(text); }

  // Sends what the socket takes now; the count sent.
  size_t SendSome(std::string_view text) {
    size_t total = 0;
    while (total < text.size()) {
      const ssize_t sent = send(fd_, text.data() + total, text.size() - total, MSG_NOSIGNAL);
      if (sent <= 0) break;
      total += static_cast<size_t>(sent);
    }
    return total;
  }

  // Takes in what has arrived, at most limit bytes; notes when the link
  // ended the connection.
  void Read(size_t limit = std::string::npos) {
    char buffer[4096];
    for (size_t taken = 0; taken < limit;) {
      const ssize_t count = recv(fd_, buffer, std::min(sizeof buffer, limit - taken), 0);
      if (count > 0) {
        received_.append(buffer, static_cast<size_t>(count));
        taken += static_cast<size_t>(count);
        continue;
      }
      if (count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) closed_ = true;
      return;
    }
  }

  std::string TakeReceived() { return std::exchange(received_, {}); }
  const std::string& Received() const { return received_; }
  // Complete replies received so far.
  size_t Replies() const {
    size_t count = 0;
    for (size_t at = received_.find("\r\n"); at != std::string::npos; at = received_.find("\r\n", at + 2)) ++count;
    return count;
  }
  bool Closed() const { return closed_; }

 private:
  int fd_ = -1;
  std::string received_;
  bool closed_ = false;
};

// Runs the message pump and then step() until done() holds; false when ten
// seconds passed first.
inline bool PumpUntil(const std::function<void()>& step, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    DispatchPendingMessages();
    step();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

struct ListeningSocket {
  std::string address;
  uint16_t port = 0;
  friend bool operator==(const ListeningSocket&, const ListeningSocket&) = default;
};

// The IPv4 sockets of this process that listen, with their bound addresses.
inline std::vector<ListeningSocket> ListeningSockets() {
  std::vector<ListeningSocket> sockets;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    const int fd = std::atoi(entry.path().filename().c_str());
    int listening = 0;
    socklen_t size = sizeof listening;
    if (getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 || !listening) continue;
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET)
      continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    sockets.push_back({text, ntohs(address.sin_port)});
  }
  return sockets;
}

}  // namespace vx::test
