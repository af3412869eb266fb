// Chat clients against a real IRC server (ngircd on a loopback port, named
// unlike the address they connect to): two users meet in a channel, hand
// the mastership on and exchange their avatars, stay connected while the
// server pings them, and follow the kicks and new nicks it relays.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/world/ChatTestSupport.h"
#include "tests/world/LinkController.h"

namespace vx::test {
namespace {

constexpr char kPlaza[] = "#plaza";
// ngircd pings a silent client after this many seconds, and drops it when
// no answer came this many seconds later.
constexpr int kPingSeconds = 5;
constexpr int kPongSeconds = 5;

class ChatServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(classes_.Registered());
    ASSERT_NE(server_.Port(), 0) << "ngircd did not start";
  }

  bool Step(const std::function<bool()>& done, int timeoutMs = 10000) {
    return StepUntil({&ann_, &bob_}, nullptr, done, timeoutMs);
  }

  static CChatChannel& Join(ChatClientUnderTest& chat) {
    const int32_t held = chat.client->FindChannel(kPlaza);
    CChatChannel& channel = held >= 0 ? chat.client->Channel(held) : *chat.client->AddChannel(kPlaza);
    channel.Join();
    return channel;
  }
  static bool Holds(const ChatClientUnderTest& chat, std::string_view nick) {
    const CChatChannel* channel = chat.Channel(kPlaza);
    return channel && channel->FindUser(nick) >= 0;
  }

  // Both logged in and in the channel, each seeing the other.
  void Meet() {
    ASSERT_TRUE(Step([&] { return ann_.welcomes == 1 && bob_.welcomes == 1; }));
    EXPECT_EQ(ann_.status, "Logged in as ann.");
    Join(ann_);
    ASSERT_TRUE(Step([&] { return Holds(ann_, "ann"); }));
    Join(bob_);
    ASSERT_TRUE(Step([&] { return Holds(ann_, "bob") && Holds(bob_, "ann") && Holds(bob_, "bob"); }));
  }

  // A plain IRC user who opens the channel first, and so is its operator.
  void OperatorOpensThePlaza() {
    ASSERT_TRUE(operator_.Connect(server_.Port()));
    operator_.Send("NICK op\r\nUSER o o o :Operator\r\nJOIN #plaza\r\n");
    ASSERT_TRUE(PumpUntil([&] {
      operator_.Read();
      return operator_.Received().find(" 366 op #plaza ") != std::string::npos;
    })) << operator_.Received();
  }

  ChannelWindowClasses classes_;
  NgircdServer server_{kPingSeconds, kPongSeconds};
  LinkController operator_;
  ChatClientUnderTest ann_{"ann", server_.Port()};
  ChatClientUnderTest bob_{"bob", server_.Port()};
};

TEST_F(ChatServerTest, TwoUsersMeetAndExchangeTheirAvatars) {
  ann_.user.avatarText1 = "a1";
  ann_.user.avatarText2 = "a2";
  ann_.user.avatarId = 4;
  ann_.user.position = {1.0f, 2.0f, 3.0f};
  bob_.user.avatarText1 = "b1";
  bob_.user.avatarText2 = "b2";
  bob_.user.avatarId = 7;
  bob_.user.orientation = {0.0f, 0.5f, 0.0f};
  ASSERT_NO_FATAL_FAILURE(Meet());
  EXPECT_EQ(ann_.client->ServerReplyName(), kNgircdName);
  CChatChannel& annRoom = *ann_.Channel(kPlaza);
  const auto bobSeenByAnn = [&] { return annRoom.User(annRoom.FindUser("bob")); };
  ASSERT_TRUE(Step([&] { return bobSeenByAnn().avatarId == 7; })) << "bob's NewAvatar comes with his JOIN";
  EXPECT_EQ(bobSeenByAnn().avatarText2, "b2");
  EXPECT_EQ(annRoom.MasterNick(), "") << "nobody is master yet";

  // Bob leaves while there is no master, so he names ann; then he comes back
  // and ann, the master now, greets him.
  bob_.Channel(kPlaza)->Part();
  ASSERT_TRUE(Step([&] { return annRoom.MasterNick() == "ann" && !Holds(ann_, "bob"); }));
  EXPECT_TRUE(ann_.HasEvent(ChatEventKind::kUserLeft, kPlaza, "bob", ""));
  bob_.events.clear();
  CChatChannel& bobRoom = Join(bob_);
  ASSERT_TRUE(Step([&] {
    return bobRoom.MasterNick() == "ann" && bobRoom.FindUser("ann") >= 0 &&
           bobRoom.User(bobRoom.FindUser("ann")).avatarId == 4 && Holds(ann_, "bob") &&
           bobSeenByAnn().avatarId == 7;
  }));
  EXPECT_TRUE(bob_.HasEvent(ChatEventKind::kAvatarMessage, kPlaza, "ann", ""))
      << "HelloAvatar with the empty greeting";
  EXPECT_TRUE(ann_.HasEvent(ChatEventKind::kAvatarMessage, kPlaza, "bob", "")) << "bob's ReportPosition";
  const CChatUser& annSeenByBob = bobRoom.User(bobRoom.FindUser("ann"));
  EXPECT_EQ(annSeenByBob.avatarText1, "a1");
  EXPECT_EQ(annSeenByBob.position, ann_.user.position);
  EXPECT_EQ(bobSeenByAnn().orientation, bob_.user.orientation);
  EXPECT_EQ(bobSeenByAnn().avatarText1, "b1");
  EXPECT_EQ(ann_.welcomes, 1);
  EXPECT_FALSE(ann_.EventsOf(ChatEventKind::kListEntry).empty()) << "the server's channel list came";
}

TEST_F(ChatServerTest, AnsweredPingsKeepTheConnection) {
  ASSERT_NO_FATAL_FAILURE(Meet());
  // Silence long enough for two pings and for the drop that would follow an
  // unanswered second one.
  const auto silentUntil = std::chrono::steady_clock::now() + std::chrono::seconds(2 * kPingSeconds + kPongSeconds + 1);
  EXPECT_TRUE(Step([&] { return std::chrono::steady_clock::now() >= silentUntil; }, 30000));
  for (const ChatClientUnderTest* chat : {&ann_, &bob_}) {
    for (const ChatEvent& event : chat->EventsOf(ChatEventKind::kServerMessage))
      EXPECT_FALSE(event.message.starts_with("409")) << event.message;
  }
  ann_.Channel(kPlaza)->SendPrivmsg(kChannelTarget, "ReportPosition");
  EXPECT_TRUE(Step([&] { return bob_.HasEvent(ChatEventKind::kAvatarMessage, kPlaza, "ann", ""); }))
      << "both are still connected";
  EXPECT_TRUE(Step([&] {
    return ann_.HasEvent(ChatEventKind::kAvatarMessage, kPlaza, "bob", bob_.user.FormatPosition());
  })) << "bob's MoveAvatar answer";
}

TEST_F(ChatServerTest, KicksAndNewNicksThatTheServerRelaysAreFollowed) {
  ASSERT_NO_FATAL_FAILURE(OperatorOpensThePlaza());
  ASSERT_NO_FATAL_FAILURE(Meet());
  CChatChannel& bobRoom = *bob_.Channel(kPlaza);
  ASSERT_TRUE(Step([&] { return Holds(ann_, "op") && Holds(bob_, "op"); }));

  operator_.Send("KICK #plaza ann :out\r\n");
  ASSERT_TRUE(Step([&] { return !ann_.Channel(kPlaza)->IsJoined() && !Holds(bob_, "ann"); }));
  EXPECT_EQ(ann_.Channel(kPlaza)->UserCount(), 0) << "ann has left the channel";
  EXPECT_TRUE(ann_.HasEvent(ChatEventKind::kUserLeft, kPlaza, "ann", ""));
  EXPECT_TRUE(bob_.HasEvent(ChatEventKind::kUserLeft, kPlaza, "ann", ""));

  operator_.Send("NICK boss\r\n");
  ASSERT_TRUE(Step([&] { return Holds(bob_, "boss"); }));
  EXPECT_FALSE(Holds(bob_, "op"));
  operator_.Send("PRIVMSG #plaza :still here\r\n");
  EXPECT_TRUE(Step([&] { return bob_.HasEvent(ChatEventKind::kChatLine, kPlaza, "boss", ": still here"); }))
      << "the renamed user is still heard";
  EXPECT_EQ(bobRoom.UserCount(), 2);
}

}  // namespace
}  // namespace vx::test
