#include "platform/Socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

#include "WindowTestSupport.h"
#include "platform/Clock.h"
#include "platform/Faults.h"
#include "platform/Messages.h"

namespace vx {
namespace {

using test::Log;
using test::RecordingClass;

constexpr uint32_t kLookupDone = kMsgUser + 1;
constexpr uint32_t kSocketMessage = kMsgUser + 2;
constexpr uint32_t kAllEvents = kSocketRead | kSocketWrite | kSocketAccept | kSocketConnect | kSocketClose;

// The lParam of the nth notification of `event` for `socket` (counting from
// the start of the test); -1 when none came within two seconds of pumping.
intptr_t NthNotification(int socket, uint32_t event, int nth) {
  for (const test::Received& received : Log())
    if (received.id == kSocketMessage && static_cast<int>(received.wParam) == socket &&
        SocketEventOf(received.lParam) == event && --nth == 0)
      return received.lParam;
  return -1;
}

int CountNotifications(int socket, uint32_t event) {
  int count = 0;
  while (NthNotification(socket, event, count + 1) != -1) ++count;
  return count;
}

intptr_t PumpUntil(int socket, uint32_t event, int nth = 1) {
  uint64_t deadline = NowMs() + 2000;
  while (NthNotification(socket, event, nth) == -1 && NowMs() < deadline) {
    DispatchPendingMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return NthNotification(socket, event, nth);
}

uint16_t BoundPort(int socket) {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

int LoopbackSocket() {
  int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
  return socket;
}

class SocketEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(recording_.Registered());
    window_ = recording_.Create(kWindowMessageOnly);
  }
  // A loopback listener, a client that connects to it and the end the
  // listener accepted, all three notifying window_; -1 where a step failed.
  struct Connection {
    int listener = -1;
    int client = -1;
    int served = -1;
    std::string peer;
  };
  Connection Connect() {
    Connection connection;
    connection.listener = LoopbackSocket();
    EXPECT_TRUE(SelectSocketEvents(connection.listener, window_, kSocketMessage, kAllEvents));
    EXPECT_EQ(::listen(connection.listener, 1), 0);
    connection.client = ::socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_TRUE(SelectSocketEvents(connection.client, window_, kSocketMessage, kAllEvents));
    EXPECT_EQ(SocketConnect(connection.client, "127.0.0.1", BoundPort(connection.listener)), 0);
    if (PumpUntil(connection.listener, kSocketAccept) == kSocketAccept)
      connection.served = SocketAccept(connection.listener, &connection.peer);
    return connection;
  }

  RecordingClass recording_;
  WindowHandle window_ = WindowHandle::None;
};

TEST_F(SocketEvents, AConversationFromConnectToClose) {
  auto [listener, client, served, peer] = Connect();
  ASSERT_GE(served, 0);
  EXPECT_EQ(peer, "127.0.0.1");
  EXPECT_EQ(PumpUntil(client, kSocketConnect), kSocketConnect) << "connected without error";
  EXPECT_EQ(PumpUntil(client, kSocketWrite), kSocketWrite);
  EXPECT_EQ(PumpUntil(served, kSocketWrite), kSocketWrite) << "the accepted socket inherits the notifications";
  EXPECT_EQ(CountNotifications(served, kSocketConnect), 0);

  ASSERT_EQ(SocketSend(served, "hello", 5), 5);
  ASSERT_EQ(PumpUntil(client, kSocketRead), kSocketRead);
  char text[16] = {};
  ASSERT_EQ(SocketReceive(client, text, 3), 3);
  EXPECT_EQ(PumpUntil(client, kSocketRead, 2), kSocketRead) << "data still waits, so read comes again";
  ASSERT_EQ(SocketReceive(client, text + 3, sizeof text - 3), 2);
  EXPECT_STREQ(text, "hello");
  EXPECT_EQ(SocketReceive(client, text, sizeof text), -EAGAIN);

  // The peer sends its last words and closes: the bytes come before the close.
  ASSERT_EQ(SocketSend(served, "bye", 3), 3);
  SocketClose(served);
  ASSERT_EQ(PumpUntil(client, kSocketRead, 3), kSocketRead);
  EXPECT_EQ(CountNotifications(client, kSocketClose), 0);
  ASSERT_EQ(SocketReceive(client, text, sizeof text), 3);
  EXPECT_EQ(PumpUntil(client, kSocketClose), kSocketClose);
  DispatchPendingMessages();
  EXPECT_EQ(CountNotifications(client, kSocketClose), 1) << "close is posted once";

  SocketClose(client);
  SocketClose(listener);
}

TEST_F(SocketEvents, APeerThatResetWithDataUnreadDoesNotWakeTheWait) {
  const auto [listener, client, served, peer] = Connect();
  ASSERT_GE(served, 0);
  ASSERT_EQ(PumpUntil(client, kSocketConnect), kSocketConnect);
  ASSERT_EQ(SocketSend(served, "bye", 3), 3);
  ASSERT_EQ(PumpUntil(client, kSocketRead), kSocketRead);
  const linger abort{1, 0};
  ASSERT_EQ(setsockopt(served, SOL_SOCKET, SO_LINGER, &abort, sizeof abort), 0);
  SocketClose(served);
  SocketClose(listener);

  // The read notification was taken but nothing received yet: waiting for
  // the next message must sleep until the timer, not spin on the hang-up.
  SetTimer(window_, 1, 200);
  const std::clock_t cpuBefore = std::clock();
  Message message;
  ASSERT_TRUE(GetMessage(message));
  EXPECT_EQ(message.id, kMsgTimer);
  EXPECT_LT(std::clock() - cpuBefore, CLOCKS_PER_SEC / 10) << "processor time spent waiting";
  EXPECT_EQ(CountNotifications(client, kSocketClose), 0) << "close waits until the data is read";

  char text[8] = {};
  ASSERT_EQ(SocketReceive(client, text, sizeof text), 3);
  const intptr_t closed = PumpUntil(client, kSocketClose);
  EXPECT_EQ(SocketEventOf(closed), kSocketClose);
  EXPECT_EQ(SocketErrorOf(closed), ECONNRESET) << "a reset is reported with its error";
  SocketClose(client);
}

TEST_F(SocketEvents, GetMessageWakesForASocket) {
  int listener = LoopbackSocket();
  ASSERT_TRUE(SelectSocketEvents(listener, window_, kSocketMessage, kAllEvents));
  ASSERT_EQ(::listen(listener, 1), 0);
  SetTimer(window_, 1, 5000);
  int client = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(SocketConnect(client, "127.0.0.1", BoundPort(listener)), 0);
  uint64_t start = NowMs();
  Message message;
  ASSERT_TRUE(GetMessage(message));
  EXPECT_EQ(message.id, kSocketMessage);
  EXPECT_EQ(SocketEventOf(message.lParam), kSocketAccept);
  EXPECT_LT(NowMs() - start, 2000u) << "the socket woke the wait, not the timer";
  SocketClose(client);
  SocketClose(listener);
}

TEST_F(SocketEvents, ARefusedConnectionReportsItsError) {
  int unused = LoopbackSocket();
  uint16_t port = BoundPort(unused);
  int client = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_TRUE(SelectSocketEvents(client, window_, kSocketMessage, kAllEvents));
  int error = SocketConnect(client, "127.0.0.1", port);
  if (error == 0) {
    intptr_t lParam = PumpUntil(client, kSocketConnect);
    ASSERT_NE(lParam, -1);
    EXPECT_EQ(SocketErrorOf(lParam), ECONNREFUSED);
  } else {
    EXPECT_EQ(error, ECONNREFUSED);
  }
  SocketClose(client);
  ::close(unused);
}

TEST_F(SocketEvents, AnInjectedFaultRefusesTheNthConnect) {
  int listener = LoopbackSocket();
  ASSERT_EQ(::listen(listener, 4), 0);
  ScopedFault fault(FaultKind::kConnect, 2);
  int first = ::socket(AF_INET, SOCK_STREAM, 0);
  int second = ::socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(SocketConnect(first, "127.0.0.1", BoundPort(listener)), 0);
  EXPECT_EQ(SocketConnect(second, "127.0.0.1", BoundPort(listener)), ECONNREFUSED);
  EXPECT_EQ(SocketConnect(first, "not an address", 1), EINVAL);
  SocketClose(first);
  SocketClose(second);
  SocketClose(listener);
}

TEST_F(SocketEvents, NotificationsEndWithTheirWindow) {
  int listener = LoopbackSocket();
  ASSERT_TRUE(SelectSocketEvents(listener, window_, kSocketMessage, kAllEvents));
  ASSERT_EQ(::listen(listener, 1), 0);
  int client = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_EQ(SocketConnect(client, "127.0.0.1", BoundPort(listener)), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  Message message;
  ASSERT_TRUE(PeekMessage(message, {}, PeekMode::kKeep)) << "the accept notification is queued";
  DestroyWindow(window_);
  EXPECT_FALSE(PeekMessage(message));
  EXPECT_FALSE(SelectSocketEvents(listener, window_, kSocketMessage, kAllEvents));
  SocketClose(client);
  SocketClose(listener);
}

TEST_F(SocketEvents, NameLookupsAnswerThroughTheQueue) {
  std::string address = "unchanged";
  LookupHandle lookup = StartHostLookup(window_, kLookupDone, "localhost", &address);
  ASSERT_NE(lookup, 0u);
  EXPECT_EQ(address, "unchanged") << "nothing happens before the pump runs";
  Message message;
  ASSERT_TRUE(PeekMessage(message));
  EXPECT_EQ(message.id, kLookupDone);
  EXPECT_EQ(message.wParam, lookup);
  EXPECT_EQ(SocketErrorOf(message.lParam), 0);
  EXPECT_EQ(address, "127.0.0.1");

  LookupHandle cancelled = StartHostLookup(window_, kLookupDone, "localhost", &address);
  CancelHostLookup(cancelled);
  EXPECT_FALSE(PeekMessage(message));
  EXPECT_EQ(StartHostLookup(window_, kLookupDone, "", &address), 0u);
}

}  // namespace
}  // namespace vx
