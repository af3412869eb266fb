#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/NMChannel.h"
#include "platform/Clock.h"
#include "platform/Faults.h"
#include "tests/host/TestPeers.h"

namespace vx {
namespace {

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(RegisterChannelWindowClasses()); }
  void TearDown() override { UnregisterChannelWindowClasses(); }

  // Polls the channels after every pass of the pump until done() holds. The
  // last nonzero Poll result is kept in lastPoll.
  bool PumpUntil(const std::vector<CNMChannel*>& channels, const std::function<bool()>& done) {
    return test::PumpUntil([&] {
      for (CNMChannel* channel : channels)
        if (const int16_t result = channel->Poll(); result != kPollNothing) lastPoll = result;
      return done();
    });
  }

  // A listening channel on a port of its own, waiting for a caller.
  void Listen(CNMChannel& server) {
    server.SetRemoteHost("127.0.0.1");
    server.SetListenMode(true);
    server.SetTimeout(-1);
    ASSERT_EQ(server.Open(), kOpenOk);
    ASSERT_EQ(server.Poll(), kPollNothing);
    ASSERT_EQ(server.State(), ChannelState::Connecting);
    ASSERT_NE(server.BoundPort(), 0);
  }

  void Connect(CNMChannel& client, uint16_t port) {
    client.SetRemoteHost("127.0.0.1");
    client.SetRemotePort(port);
    ASSERT_EQ(client.Open(), kOpenOk);
  }

  // Both ends of one loopback connection, open.
  void OpenPair(CNMChannel& server, CNMChannel& client) {
    Listen(server);
    Connect(client, server.BoundPort());
    ASSERT_TRUE(PumpUntil({&server, &client}, [&] {
      return server.State() == ChannelState::Open && client.State() == ChannelState::Open;
    }));
  }

  // Receives until `count` bytes came, draining at most `chunk` a call.
  std::string ReceiveAll(CNMChannel& channel, std::vector<CNMChannel*> pumped, size_t count, int32_t chunk) {
    std::string received;
    int reads = 0;
    PumpUntil(pumped, [&] {
      char buffer[8192];
      int32_t length = chunk;
      if (channel.Receive(buffer, &length) == kTransferOk && length > 0) {
        received.append(buffer, static_cast<size_t>(length));
        ++reads;
      }
      return received.size() >= count;
    });
    readsNeeded = reads;
    return received;
  }

  int16_t lastPoll = kPollNothing;
  int readsNeeded = 0;
};

TEST_F(ChannelTest, OpenRefusesWithoutHostOrWhileOpen) {
  CNMChannel channel;
  EXPECT_EQ(channel.Open(), kOpenNoRemoteHost);
  channel.SetRemoteHost(std::string(64, 'a'));
  EXPECT_EQ(channel.Open(), kOpenNoRemoteHost);
  EXPECT_EQ(channel.State(), ChannelState::Closed);

  CNMChannel server;
  Listen(server);
  EXPECT_EQ(server.Open(), kOpenNotClosed);
  EXPECT_EQ(server.GetStatus() & kChannelOpening, kChannelOpening);
}

TEST_F(ChannelTest, WaitingForACallerTimesOut) {
  ManualClock clock;
  CNMChannel server;
  EXPECT_EQ(server.Timeout(), 30);
  server.SetTimeout(-5);
  EXPECT_EQ(server.Timeout(), -1);
  server.SetRemoteHost("127.0.0.1");
  server.SetListenMode(true);
  server.SetTimeout(0);
  ASSERT_EQ(server.Open(), kOpenOk);
  EXPECT_EQ(server.Poll(), kPollNothing);
  EXPECT_EQ(server.State(), ChannelState::Connecting);
  clock.Advance(999);
  EXPECT_EQ(server.Poll(), kPollNothing);
  clock.Advance(1);
  EXPECT_EQ(server.Poll(), kPollTimedOut);
  EXPECT_EQ(server.State(), ChannelState::Closed);
  EXPECT_EQ(server.GetStatus(), kChannelStateChanged);
  EXPECT_EQ(server.GetStatus(), 0);
}

TEST_F(ChannelTest, ListenAcceptAndTalkBothWays) {
  CNMChannel server, client;
  OpenPair(server, client);
  EXPECT_EQ(server.RemoteHost(), "127.0.0.1");
  EXPECT_TRUE(PumpUntil({&server, &client}, [&] { return (client.GetStatus() & kChannelCanWrite) != 0; }));

  // More than one buffer's worth, sent in pieces of at most 8,192 bytes.
  std::string payload;
  for (int i = 0; i < 20000; ++i) payload += static_cast<char>('a' + i % 26);
  size_t sent = 0;
  std::string received;
  ASSERT_TRUE(PumpUntil({&server, &client}, [&] {
    if (sent < payload.size()) {
      int32_t length = static_cast<int32_t>(payload.size() - sent);
      EXPECT_EQ(client.Send(payload.data() + sent, &length), kTransferOk);
      EXPECT_LE(length, 8192);
      sent += static_cast<size_t>(length);
    }
    char buffer[3000];
    int32_t length = sizeof buffer;
    if (server.Receive(buffer, &length) == kTransferOk) received.append(buffer, static_cast<size_t>(length));
    return received.size() == payload.size();
  }));
  EXPECT_EQ(received, payload);

  int32_t length = 5;
  EXPECT_EQ(server.Send("reply", &length), kTransferOk);
  EXPECT_EQ(length, 5);
  EXPECT_EQ(ReceiveAll(client, {&server, &client}, 5, 2), "reply");
  EXPECT_GE(readsNeeded, 3);
}

TEST_F(ChannelTest, AFullReceiveBufferResumesOnceDrained) {
  CNMChannel server, client;
  OpenPair(server, client);
  // The receiver reads nothing until everything is sent, so its 8 KB buffer
  // fills up while more data waits in the socket.
  const std::string payload(20000, 'x');
  size_t sent = 0;
  ASSERT_TRUE(PumpUntil({&server, &client}, [&] {
    int32_t length = static_cast<int32_t>(payload.size() - sent);
    if (length > 0 && client.Send(payload.data() + sent, &length) == kTransferOk) sent += static_cast<size_t>(length);
    return sent == payload.size();
  }));
  EXPECT_EQ(ReceiveAll(server, {&server, &client}, payload.size(), 8192), payload);
}

TEST_F(ChannelTest, PeerClosingKeepsItsLastBytes) {
  CNMChannel server, client;
  OpenPair(server, client);
  int32_t length = 3;
  ASSERT_EQ(client.Send("bye", &length), kTransferOk);
  EXPECT_EQ(client.Close(), 0);
  EXPECT_EQ(client.State(), ChannelState::Closing);
  EXPECT_EQ(client.GetStatus() & kChannelClosing, kChannelClosing);

  EXPECT_EQ(ReceiveAll(server, {&server, &client}, 3, 64), "bye");
  EXPECT_TRUE(PumpUntil({&server, &client}, [&] {
    return server.State() == ChannelState::Closed && client.State() == ChannelState::Closed;
  }));
  char buffer[8];
  length = 8;
  EXPECT_EQ(server.Receive(buffer, &length), kTransferNotOpen);
  EXPECT_EQ(length, 0);
}

TEST_F(ChannelTest, SendToAClosedPeerFailsWithoutKillingTheProcess) {
  CNMChannel server, client;
  OpenPair(server, client);
  server.Abort();
  // The client has not noticed yet: its sends meet a reset connection.
  int32_t status = kTransferOk;
  for (int attempt = 0; attempt < 200 && status == kTransferOk; ++attempt) {
    int32_t length = 4;
    status = client.Send("ping", &length);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(status, kTransferFailed);
  EXPECT_TRUE(PumpUntil({&client}, [&] { return client.State() == ChannelState::Closed; }));
  int32_t length = 4;
  EXPECT_EQ(client.Send("ping", &length), kTransferNotOpen);
  EXPECT_EQ(client.Send(nullptr, &length), kTransferBadArguments);
}

TEST_F(ChannelTest, ConnectToAClosedPortEndsCleanly) {
  CNMChannel client;
  Connect(client, test::FreeLoopbackPort());
  EXPECT_TRUE(PumpUntil({&client}, [&] { return client.State() == ChannelState::Closed; }));
  EXPECT_FALSE(client.IsOpen());
  EXPECT_EQ(client.GetStatus() & ~kChannelStateChanged, 0);
  // A finished channel opens again; a connect that fails at once is reported.
  const ScopedFault refuse(FaultKind::kConnect, 1);
  Connect(client, test::FreeLoopbackPort());
  EXPECT_EQ(client.State(), ChannelState::Resolving);
  EXPECT_EQ(client.Poll(), kPollSocketFailed);
  EXPECT_EQ(client.State(), ChannelState::Closed);
}

}  // namespace
}  // namespace vx
