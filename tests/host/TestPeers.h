// Real peers for the host tests: a loopback HTTP server and a tinyproxy,
// each started on a port of its own and stopped when the object goes. Waits
// are bounded; a peer that does not come up fails the test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/MessagePump.h"

namespace vx::test {

inline constexpr int kPeerStartSeconds = 20;

// Runs the message pump until done(), asked after every pass, holds; false
// when the time ran out.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    DispatchPendingMessages();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// A child process with its standard output on a pipe.
class ChildProcess {
 public:
  explicit ChildProcess(std::vector<std::string> arguments) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      close(pipeEnds[0]);
      close(pipeEnds[1]);
      std::vector<char*> argv;
      for (std::string& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    output_ = pipeEnds[0];
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) close(output_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The first line the child prints, or "" when none came in time.
  std::string FirstLine(int timeoutSeconds) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd entry{output_, POLLIN, 0};
      if (poll(&entry, 1, 100) <= 0) continue;
      char c;
      if (read(output_, &c, 1) != 1) break;
      if (c == '\n') return line;
      line += c;
    }
    return "";
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// A port on 127.0.0.1 that nothing listens on right now.
inline uint16_t FreeLoopbackPort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  close(probe);
  return ntohs(address.sin_port);
}

inline bool AcceptsConnections(uint16_t port) {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool ok = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(probe);
  return ok;
}

// Waits, up to the peers' start limit, for a server starting on `port`.
inline bool WaitUntilAccepting(uint16_t port) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kPeerStartSeconds);
  while (!AcceptsConnections(port)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// tests/host/http_test_server.py serving `folder`.
class HttpTestServer {
 public:
  explicit HttpTestServer(const std::string& folder)
      : process_({VX_TEST_PYTHON, VX_HOST_TEST_SOURCE_DIR "/http_test_server.py", folder}) {
    const std::string line = process_.FirstLine(kPeerStartSeconds);
    port_ = line.empty() ? 0 : static_cast<uint16_t>(std::atoi(line.c_str()));
  }
  uint16_t Port() const { return port_; }
  // "127.0.0.1:<port>", as a URL names the server.
  std::string HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  ChildProcess process_;
  uint16_t port_ = 0;
};

// tinyproxy in the foreground on a free loopback port.
class TinyProxy {
 public:
  explicit TinyProxy(const std::filesystem::path& folder) : port_(FreeLoopbackPort()), process_(Start(folder, port_)) {
    if (!WaitUntilAccepting(port_)) port_ = 0;
  }
  uint16_t Port() const { return port_; }

 private:
  static std::vector<std::string> Start(const std::filesystem::path& folder, uint16_t port) {
    const std::filesystem::path config = folder / "tinyproxy.conf";
    std::ofstream(config) << "Port " << port << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
                          << "Allow 127.0.0.1\nLogLevel Critical\nDisableViaHeader No\n";
    return {"tinyproxy", "-d", "-c", config.string()};
  }

  uint16_t port_;
  ChildProcess process_;
};

}  // namespace vx::test
