// Peers of the chat tests: a scripted chat server that a test drives line by
// line, and a real ngircd on a free loopback port, configured in a
// temporary folder and stopped when the object goes.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tests/host/TestPeers.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {

// The address the clients connect to. The servers name themselves
// otherwise in their replies, as real servers do.
inline constexpr char kChatServerAddress[] = "127.0.0.1";
inline constexpr char kScriptedServerName[] = "chat.test";
inline constexpr char kNgircdName[] = "irc.test";

// Listens on a free loopback port and takes one client; sends what the test
// scripts and keeps what the client sent. A small receive buffer makes a
// server that stops reading hold up its client soon.
class ScriptedChatServer {
 public:
  explicit ScriptedChatServer(int receiveBufferBytes = 0) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Accepted sockets take the listener's buffer size.
    if (receiveBufferBytes > 0)
      setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBufferBytes, sizeof receiveBufferBytes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 1) != 0) return;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
  }
  ~ScriptedChatServer() {
    if (client_ >= 0) close(client_);
    if (listener_ >= 0) close(listener_);
  }
  ScriptedChatServer(const ScriptedChatServer&) = delete;
  ScriptedChatServer& operator=(const ScriptedChatServer&) = delete;

  uint16_t Port() const { return port_; }
  bool HasClient() const { return client_ >= 0; }

  // Takes the client once it has connected and whatever it has sent.
  void Read() {
    if (client_ < 0) {
      pollfd entry{listener_, POLLIN, 0};
      if (poll(&entry, 1, 0) <= 0) return;
      client_ = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (client_ < 0) return;
    }
    char buffer[4096];
    for (;;) {
      const ssize_t count = recv(client_, buffer, sizeof buffer, 0);
      if (count <= 0) return;
      received_.append(buffer, static_cast<size_t>(count));
    }
  }

  // Sends as much of text as the client's socket takes now.
  void Send(std::string_view text) {
    while (client_ >= 0 && !text.empty()) {
      const ssize_t sent = send(client_, text.data(), text.size(), MSG_NOSIGNAL);
      if (sent <= 0) return;
      text.remove_prefix(static_cast<size_t>(sent));
    }
  }
  void Disconnect() {
    if (client_ >= 0) close(client_);
    client_ = -1;
  }

  const std::string& Received() const { return received_; }
  bool HasReceived(std::string_view text) const { return received_.find(text) != std::string::npos; }
  void Forget() { received_.clear(); }

 private:
  int listener_ = -1;
  int client_ = -1;
  uint16_t port_ = 0;
  std::string received_;
};

// ngircd in the foreground, named kNgircdName, sending a PING after
// pingSeconds of a client's silence (ngircd takes no less than 5) and
// dropping a client that has not answered pongSeconds later.
class NgircdServer {
 public:
  explicit NgircdServer(int pingSeconds = 120, int pongSeconds = 20)
      : folder_("vx-ngircd-"), port_(FreeLoopbackPort()), process_(Start(folder_, port_, pingSeconds, pongSeconds)) {
    if (!WaitUntilAccepting(port_)) port_ = 0;
  }
  // 0 when the server did not come up.
  uint16_t Port() const { return port_; }

 private:
  static std::vector<std::string> Start(const TemporaryFolder& folder, uint16_t port, int pingSeconds,
                                        int pongSeconds) {
    // Configuration snippets are read from a folder of their own, empty here,
    // and never from the system's.
    std::filesystem::create_directory(folder.Path() + "/include");
    const std::string config = folder.Write(
        "ngircd.conf", "[Global]\nName = " + std::string(kNgircdName) +
                           "\nInfo = Vantessel test server\nAdminInfo1 = tests\nAdminInfo2 = tests\n"
                           "AdminEMail = tests@127.0.0.1\nListen = 127.0.0.1\nPorts = " +
                           std::to_string(port) + "\nMotdPhrase = tests\nPidFile = " + folder.Path() +
                           "/ngircd.pid\nHelpFile = " + folder.Path() + "/help.txt\n" +
                           "[Limits]\nPingTimeout = " + std::to_string(pingSeconds) +
                           "\nPongTimeout = " + std::to_string(pongSeconds) +
                           "\nMaxConnectionsIP = 0\nMaxNickLength = 30\nMaxPenaltyTime = 0\n"
                           "[Options]\nPAM = no\nIdent = no\nDNS = no\nIncludeDir = " +
                           folder.Path() + "/include\n");
    return {VX_NGIRCD, "--nodaemon", "--passive", "--config", config};
  }

  TemporaryFolder folder_;
  uint16_t port_;
  ChildProcess process_;
};

}  // namespace vx::test
