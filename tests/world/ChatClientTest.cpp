// The chat client against a scripted server that names itself unlike its
// address: every reply and command it understands, lines cut across reads,
// senders that try to pass for others, nicks no server should hand over,
// lines far longer than anything it keeps, and a server that stops reading.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>

#include "tests/world/ChatTestSupport.h"

namespace vx::test {
namespace {

using Kind = ChatEventKind;

class ChatClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(classes_.Registered());
    ASSERT_NE(server_.Port(), 0);
  }

  void Connect(std::string_view nick) { chat_ = std::make_unique<ChatClientUnderTest>(nick, server_.Port()); }

  // A client that has logged in: the welcome came and its LIST went out.
  ChatClientUnderTest& LoggedIn(const std::string& nick = "me") {
    Connect(nick);
    AwaitSent("USER ");
    server_.Send(":chat.test 001 " + nick + " :Welcome\r\n");
    AwaitSent("LIST\r\n");
    server_.Forget();
    return *chat_;
  }

  bool Step(const std::function<bool()>& done) { return StepUntil({chat_.get()}, &server_, done); }
  void AwaitSent(std::string_view text) {
    EXPECT_TRUE(Step([&] { return server_.HasReceived(text); })) << "never sent: " << text;
  }

  // Sends the lines, then polls until the client has handled all of them:
  // the reply it reports after them marks the end.
  void Deliver(const std::string& lines) {
    const std::string mark = "999 me :mark " + std::to_string(++marks_);
    server_.Send(lines + ":chat.test " + mark + "\r\n");
    EXPECT_TRUE(Step([&] { return chat_->HasServerMessage(mark); })) << lines;
    std::erase_if(chat_->events, [&](const ChatEvent& event) { return event.message == mark; });
  }

  // A held channel whose users a NAMES reply gave.
  CChatChannel& Room(const std::string& name, const std::string& names) {
    EXPECT_NE(chat_->client->AddChannel(name), nullptr);
    Deliver(":chat.test 353 me = " + name + " :" + names + "\r\n:chat.test 366 me " + name + " :End\r\n");
    chat_->events.clear();
    return *chat_->Channel(name);
  }

  ChannelWindowClasses classes_;
  ScriptedChatServer server_{kServerReceiveBytes};
  std::unique_ptr<ChatClientUnderTest> chat_;
  int marks_ = 0;

  // Small enough that a server that stops reading soon holds up the client.
  static constexpr int kServerReceiveBytes = 4096;
};

TEST_F(ChatClientTest, ConnectsLogsInAndIsWelcomedOnceByTheNameOfTheServersFirstReply) {
  Connect("me");
  chat_->Step();
  EXPECT_EQ(chat_->status, "Attempting to connect to 127.0.0.1.");
  AwaitSent("USER Vantessel stuff stuff :anonymous\r\n");
  EXPECT_EQ(server_.Received(), "NICK me\r\nUSER Vantessel stuff stuff :anonymous\r\n");
  EXPECT_EQ(chat_->status, "Attempting to log in as me.");
  EXPECT_FALSE(chat_->client->Login()) << "the login goes once";

  server_.Forget();
  server_.Send(
      ":evil!e@h 001 me :Welcome\r\n"
      ":chat.test 001 me :Welcome\r\n"
      ":chat.test 002 me :Your host\r\n"
      ":127.0.0.1 001 me :Welcome again\r\n");
  AwaitSent("LIST\r\n");
  EXPECT_EQ(server_.Received(), "LIST\r\n");
  EXPECT_EQ(chat_->status, "Logged in as me.");
  EXPECT_TRUE(chat_->client->IsLoggedIn());
  EXPECT_EQ(chat_->client->ServerReplyName(), kScriptedServerName) << "a user's prefix never names the server";
  Deliver("");
  EXPECT_EQ(chat_->welcomes, 1) << "once named, the server is known by its name alone";
  EXPECT_TRUE(chat_->HasServerMessage("002 me :Your host")) << "other replies are passed on";
}

TEST_F(ChatClientTest, AnEmptyNickNeverLogsIn) {
  Connect("");
  ASSERT_TRUE(Step([&] { return server_.HasClient() && chat_->status.starts_with("Attempting to log in"); }));
  for (int i = 0; i < 20; ++i) {
    chat_->status.clear();
    chat_->Step();
    EXPECT_EQ(chat_->status, "Attempting to log in as .");
  }
  server_.Read();
  EXPECT_EQ(server_.Received(), "");
}

TEST_F(ChatClientTest, NamesSentAreStrippedOfLineEnds) {
  chat_ = std::make_unique<ChatClientUnderTest>("me", server_.Port());
  chat_->user.SetNick("me\r\nQUIT");
  chat_->user.fullName = "Ann\nJOIN #evil";
  AwaitSent(":AnnJOIN #evil\r\n");
  EXPECT_EQ(server_.Received(), "NICK meQUIT\r\nUSER Vantessel stuff stuff :AnnJOIN #evil\r\n");
}

TEST_F(ChatClientTest, PingsAreAnsweredWithTheirArgument) {
  LoggedIn();
  server_.Send("PING :chat.test\r\n");
  AwaitSent("PONG :chat.test\r\n");
  server_.Send(":chat.test PING :token-2\r\n");
  AwaitSent("PONG :token-2\r\n");
  server_.Forget();
  Room("#room", "bob");
  Deliver(":bob!b@h PING :spoof\r\n:stranger!s@h PING :spoof\r\n");
  server_.Read();
  EXPECT_FALSE(server_.HasReceived("spoof")) << "only the server's PINGs are answered";
}

TEST_F(ChatClientTest, AChannelListReportsEachEntryAndAddsEachChannelOnce) {
  ChatClientUnderTest& chat = LoggedIn();
  Deliver(
      ":chat.test 321 me Channel :Users  Name\r\n"
      ":chat.test 322 me #world 5 :Come in, sit down\r\n"
      ":chat.test 322 me #world 6 :listed twice\r\n"
      ":chat.test 322 me #world\r\n"
      ":chat.test 322 me #two 1 :\r\n"
      ":chat.test 323 me :End of LIST\r\n");
  ASSERT_EQ(chat.EventsOf(Kind::kListBegins).size(), 1u);
  const auto entries = chat.EventsOf(Kind::kListEntry);
  ASSERT_EQ(entries.size(), 3u) << "an entry that is just a held channel's name is ignored";
  EXPECT_EQ(entries[0].text, "#world 5 :Come in sit down");
  EXPECT_EQ(entries[1].text, "#world 6 :listed twice");
  EXPECT_EQ(entries[2].text, "#two 1 :");
  ASSERT_EQ(chat.client->ChannelCount(), 2);
  EXPECT_EQ(chat.client->Channel(0).Name(), "#world");
  EXPECT_EQ(chat.client->Channel(1).Name(), "#two");
  EXPECT_TRUE(chat.HasServerMessage("323 me :End of LIST"));

  std::string lines;
  for (int i = 0; i < 100; ++i) lines += ":chat.test 322 me #c" + std::to_string(i) + " 1 :t\r\n";
  Deliver(lines);
  EXPECT_EQ(chat.client->ChannelCount(), 100);
  EXPECT_EQ(chat.client->FindChannel("#c97"), 99);
  EXPECT_EQ(chat.client->AddChannel("#more"), nullptr);
}

TEST_F(ChatClientTest, NamesRepliesReplaceTheUsersAcrossTheirLines) {
  ChatClientUnderTest& chat = LoggedIn();
  CChatChannel& room = Room("#room", "old");
  Deliver(
      ":chat.test 353 me = #room :@ann +bob\r\n"
      ":chat.test 353 me = #room :%cy me\r\n"
      ":chat.test 366 me #room :End of NAMES list\r\n"
      ":chat.test 353 me = #elsewhere :zed\r\n");
  ASSERT_EQ(chat.EventsOf(Kind::kUsersBegin).size(), 1u);
  EXPECT_EQ(chat.EventsOf(Kind::kUsersBegin)[0].text, "#room");
  const auto added = chat.EventsOf(Kind::kUserAdded);
  ASSERT_EQ(added.size(), 4u);
  EXPECT_EQ(added[0].nick, "ann");
  EXPECT_EQ(added[1].nick, "bob") << "status marks are no part of a nick";
  EXPECT_EQ(added[3].text, "#room");
  ASSERT_EQ(room.UserCount(), 4);
  EXPECT_EQ(room.FindUser("old"), -1);
  EXPECT_EQ(room.User(2).nick, "cy");
  int32_t channel = -1;
  int32_t user = -1;
  EXPECT_FALSE(chat.client->FindUserChannel("zed", &channel, &user)) << "names of other channels are skipped";

  chat.events.clear();
  std::string names;
  for (int i = 0; i < 60; ++i) names += "u" + std::to_string(i) + " ";
  Deliver(":chat.test 353 me = #room :" + names + "\r\n:chat.test 366 me #room :End\r\n:x!x@h JOIN #room\r\n");
  EXPECT_EQ(room.UserCount(), 50);
  EXPECT_EQ(chat.EventsOf(Kind::kUserAdded).size(), 50u);
  EXPECT_EQ(room.FindUser("u50"), -1);
  EXPECT_EQ(room.FindUser("x"), -1) << "a full channel takes nobody who joins";
}

TEST_F(ChatClientTest, JoinsPartsAndQuitsOfUsers) {
  ChatClientUnderTest& chat = LoggedIn();
  CChatChannel& first = Room("#a", "bob ann");
  CChatChannel& second = Room("#b", "bob");
  Deliver(
      ":cy!c@h JOIN :#a\r\n"
      ":cy!c@h JOIN #b\r\n"
      ":cy!c@h JOIN #a\r\n"
      ":dee!d@h JOIN #unheld\r\n");
  const auto joined = chat.EventsOf(Kind::kUserAdded);
  ASSERT_EQ(joined.size(), 2u);
  EXPECT_EQ(joined[0].text, "#a");
  EXPECT_EQ(joined[1].text, "#b") << "a held user who joins a further held channel is added there";
  EXPECT_EQ(first.UserCount(), 3);
  EXPECT_EQ(second.UserCount(), 2);

  Deliver(":bob!b@h PART #b :bye\r\n");
  EXPECT_TRUE(chat.HasEvent(Kind::kUserLeft, "#b", "bob", ""));
  EXPECT_EQ(first.FindUser("bob"), 0) << "a PART leaves the channel it names";
  EXPECT_EQ(second.FindUser("bob"), -1);

  Deliver(":cy!c@h QUIT :gone\r\n");
  EXPECT_TRUE(chat.HasEvent(Kind::kUserLeft, "#a", "cy", ""));
  EXPECT_TRUE(chat.HasEvent(Kind::kUserLeft, "#b", "cy", ""));
  EXPECT_EQ(first.FindUser("cy"), -1);
  EXPECT_EQ(second.FindUser("cy"), -1) << "a QUIT leaves every channel";

  Deliver(":ann!a@h NOTICE me :psst\r\n:ann!a@h TOPIC #a :new\r\n");
  EXPECT_TRUE(chat.HasServerMessage("NOTICE me :psst"));
  EXPECT_TRUE(chat.HasServerMessage("TOPIC #a :new"));
}

TEST_F(ChatClientTest, NicksTheServerHandsOverAreCheckedBeforeTheyBecomeUsers) {
  ChatClientUnderTest& chat = LoggedIn();
  const std::string longest(kDefaultNickLength, 'n');
  CChatChannel& room = Room("#a", "ann :evil a,b 9lives -dash a[]\\`_^ b{|}-9 " + longest + " " + longest + "x");
  std::vector<std::string> nicks;
  for (int32_t i = 0; i < room.UserCount(); ++i) nicks.push_back(room.User(i).nick);
  EXPECT_EQ(nicks, (std::vector<std::string>{"ann", "a[]\\`_^", "b{|}-9", longest}));

  // A NICKLEN the server announces holds from then on.
  Deliver(
      ":chat.test 005 me CHANTYPES=# NICKLEN=6 :are supported by this server\r\n"
      ":abcdef!u@h JOIN #a\r\n"
      ":abcdefg!u@h JOIN #a\r\n"
      ":a,b!u@h JOIN #a\r\n"
      ":x:y!u@h JOIN #a\r\n");
  EXPECT_GE(room.FindUser("abcdef"), 0);
  EXPECT_EQ(room.UserCount(), 5) << "too long a nick, a comma or a colon makes no user";
  EXPECT_TRUE(chat.HasServerMessage("005 me CHANTYPES=# NICKLEN=6 :are supported by this server"));
}

TEST_F(ChatClientTest, TheServerRenamesAndKicksTheLocalUser) {
  ChatClientUnderTest& chat = LoggedIn();
  CChatChannel& kicked = Room("#a", "me ann");
  CChatChannel& kept = Room("#b", "me ann");
  kicked.Join();
  kept.Join();
  Deliver(":ann!a@h PRIVMSG #a :\x01NewMaster me\x01\r\n:me!u@h NICK :me2\r\n");
  EXPECT_EQ(chat.user.nick, "me2");
  EXPECT_EQ(kicked.FindUser("me"), -1);
  EXPECT_GE(kicked.FindUser("me2"), 0);
  EXPECT_EQ(kicked.MasterNick(), "me2") << "the master is renamed with the user";

  chat.events.clear();
  Deliver(
      ":ann!a@h PRIVMSG me2 :psst\r\n"
      ":ann!a@h PRIVMSG me :to the old nick\r\n"
      ":me2!u@h NICK :9lives\r\n");
  const auto lines = chat.EventsOf(Kind::kChatLine);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].message, ": (Private)psst") << "private lines to the new nick count";
  EXPECT_EQ(lines[1].message, ": to the old nick");
  EXPECT_EQ(chat.user.nick, "me2") << "a nick no server may give is not taken";

  Deliver(":op!o@h KICK #a me2 :out\r\n:op!o@h KICK #b ann :you too\r\n");
  EXPECT_TRUE(chat.HasEvent(Kind::kUserLeft, "#a", "me2", ""));
  EXPECT_FALSE(kicked.IsJoined());
  EXPECT_EQ(kicked.UserCount(), 0);
  EXPECT_EQ(kicked.MasterNick(), "");
  EXPECT_TRUE(chat.HasEvent(Kind::kUserLeft, "#b", "ann", ""));
  EXPECT_TRUE(kept.IsJoined());
  EXPECT_EQ(kept.FindUser("ann"), -1);

  server_.Forget();
  chat_->client.reset();
  EXPECT_TRUE(PumpUntil([&] {
    server_.Read();
    return server_.HasReceived("PART #b\r\n");
  }));
  EXPECT_EQ(server_.Received(), "PART #b\r\n") << "a channel the user was kicked from is not parted";
}

TEST_F(ChatClientTest, ALostConnectionIsReported) {
  ChatClientUnderTest& chat = LoggedIn();
  server_.Disconnect();
  EXPECT_TRUE(Step([&] { return chat.status == "Connection to 127.0.0.1 lost."; })) << chat.status;
  chat.status.clear();
  chat.Step();
  EXPECT_EQ(chat.status, "Connection to 127.0.0.1 lost.") << "it is not opened again";
}

// The server stops reading while ann keeps asking for the local pose: the
// answers wait, held to their bound, and a line that must go out makes room
// by dropping pose reports, never by cutting a line.
TEST_F(ChatClientTest, AServerThatStopsReadingHoldsTheWaitingLinesToTheirBound) {
  ChatClientUnderTest& chat = LoggedIn();
  Room("#a", "ann");
  std::string asks;
  for (int i = 0; i < 100; ++i) asks += ":ann!a@h PRIVMSG #a :\x01ReportPosition\x01\r\n";
  const auto askAndPoll = [&] {
    server_.Send(asks);
    chat.Step();
    EXPECT_LE(chat.client->QueuedBytes(), kMaxQueuedSendBytes);
    return chat.client->QueuedBytes() + kMaxChatLineLength > kMaxQueuedSendBytes;
  };
  ASSERT_TRUE(PumpUntil(askAndPoll)) << "the answers never filled the queue";
  for (int i = 0; i < 20; ++i) askAndPoll();

  server_.Send(":chat.test PING :still-here\r\n");
  const auto stalledUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  (void)PumpUntil([&] {
    chat.Step();
    EXPECT_LE(chat.client->QueuedBytes(), kMaxQueuedSendBytes);
    return std::chrono::steady_clock::now() >= stalledUntil;
  });
  EXPECT_TRUE(Step([&] { return server_.HasReceived("PONG :still-here\r\n"); }))
      << "the answer to the server's PING went out";
  server_.Send(":chat.test 999 me :end\r\n");
  ASSERT_TRUE(Step([&] { return chat.HasServerMessage("999 me :end") && chat.client->QueuedBytes() == 0; }));
  server_.Read();
  const std::string answer = "PRIVMSG ann :\x01MoveAvatar ,0,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000\x01";
  std::string_view received = server_.Received();
  while (!received.empty()) {
    const size_t end = received.find("\r\n");
    ASSERT_NE(end, std::string_view::npos) << "a line was cut";
    const std::string_view line = received.substr(0, end);
    EXPECT_TRUE(line == answer || line == "PONG :still-here") << line;
    received.remove_prefix(end + 2);
  }
}

TEST_F(ChatClientTest, ChatLinesOfHeldUsersWhoseNicksMatchWhole) {
  ChatClientUnderTest& chat = LoggedIn();
  Room("#a", "ann bo");
  Room("#b", "bob ann");
  Deliver(
      ":ann!a@h PRIVMSG #b :hello, all\r\n"
      ":ann!a@h PRIVMSG me :hi\r\n"
      ":ann!a@h PRIVMSG mee :not for me\r\n"
      ":stranger!s@h PRIVMSG #b :not held\r\n"
      ":b@b!b@h PRIVMSG #a :wildcard\r\n"
      ":bob!b@h PRIVMSG #a :bob is not in #a\r\n");
  const auto lines = chat.EventsOf(Kind::kChatLine);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "#b");
  EXPECT_EQ(lines[0].nick, "ann");
  EXPECT_EQ(lines[0].message, ": hello, all");
  EXPECT_EQ(lines[1].text, "#a") << "a private line counts for the first channel holding its sender";
  EXPECT_EQ(lines[1].message, ": (Private)hi");
  EXPECT_EQ(lines[2].message, ": not for me") << "a target that merely begins with my nick is not private";
}

TEST_F(ChatClientTest, TextInsideALineIsNeverTakenForACommand) {
  ChatClientUnderTest& chat = LoggedIn();
  CChatChannel& room = Room("#a", "ann bob");
  const int32_t bob = room.FindUser("bob");
  room.User(bob).position = {1.0f, 2.0f, 3.0f};
  Deliver(
      ":ann!a@h PRIVMSG #a ::chat.test 001 me :Welcome :eve!e@h JOIN :#a\r\n"
      ":ann!a@h PRIVMSG #a :bob!b@h PRIVMSG #a :\x01MoveAvatar b1,1,9,9,9,0,0,0\x01\r\n"
      ":ann!a@h PRIVMSG #a :x :bob!b@h QUIT :gone\r\n"
      ":chat.test.evil 001 me :Welcome\r\n"
      ":eve!e@chat.test PRIVMSG #a :\x01NewMaster eve\x01\r\n");
  EXPECT_EQ(chat.welcomes, 1) << "no welcome but the server's";
  EXPECT_EQ(room.FindUser("eve"), -1);
  EXPECT_EQ(room.FindUser("bob"), bob) << "bob is still here";
  EXPECT_EQ(room.User(bob).position[0], 1.0f) << "bob did not move";
  EXPECT_EQ(room.MasterNick(), "");
  EXPECT_EQ(chat.EventsOf(Kind::kChatLine).size(), 3u);
  EXPECT_TRUE(chat.EventsOf(Kind::kAvatarMessage).empty());
}

TEST_F(ChatClientTest, LinesCutAcrossReadsAreCarriedOver) {
  ChatClientUnderTest& chat = LoggedIn();
  Room("#a", "ann");
  // The mark and the first half leave in one piece, so the client has read
  // the half once it reports the mark.
  server_.Send(":chat.test 999 me :half read\r\n:ann!a@h PRIVMSG #a :first ha");
  ASSERT_TRUE(Step([&] { return chat.HasServerMessage("999 me :half read"); }));
  EXPECT_TRUE(chat.EventsOf(Kind::kChatLine).empty()) << "half a line is not a line";
  // And a line end cut between its CR and its LF.
  server_.Send("lf\r");
  const auto readFor = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
  Step([&] { return std::chrono::steady_clock::now() >= readFor; });
  EXPECT_TRUE(chat.EventsOf(Kind::kChatLine).empty());
  Deliver("\n:ann!a@h PRIVMSG #a :second\n");
  const auto lines = chat.EventsOf(Kind::kChatLine);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].message, ": first half");
  EXPECT_EQ(lines[1].message, ": second") << "a line may end in LF alone";
}

TEST_F(ChatClientTest, LongLinesAreCutBeforeTheyAreKept) {
  ChatClientUnderTest& chat = LoggedIn();
  CChatChannel& room = Room("#a", "ann");
  const std::string big(4096, 'x');
  Deliver(":ann!a@h PRIVMSG #a :" + big + "\r\n" +
          ":ann!a@h PRIVMSG #a :\x01NewAvatar " + big + ",b1,7,1,2,3,4,5,6\x01\r\n" +
          ":ann!a@h PRIVMSG #a :\x01NewMaster " + big + "\x01\r\n" +
          ":chat.test 322 me #big 1 :" + big + "\r\n" +
          ":chat.test " + big + "\r\n");
  const auto lines = chat.EventsOf(Kind::kChatLine);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].message.size(), kMaxChatTextLength);
  const size_t argumentLength = kMaxChatTextLength - std::string("\x01NewAvatar ").size();
  EXPECT_EQ(room.User(0).avatarText2.size(), argumentLength);
  EXPECT_EQ(room.MasterNick().size(), argumentLength);
  const auto entries = chat.EventsOf(Kind::kListEntry);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].text.size(), kMaxChatEventTextLength);
  EXPECT_GE(chat.client->FindChannel("#big"), 0);
  EXPECT_EQ(chat.EventsOf(Kind::kServerMessage).back().message.size(), kMaxChatTextLength);

  Deliver(":chat.test 353 me = #a :" + big + "\r\n");
  EXPECT_EQ(room.UserCount(), 0) << "a name longer than a nick may be is no user";

  chat.events.clear();
  Room("#b", "ann");
  Deliver(":ann!a@h PRIVMSG #b :" + std::string(3 * kChatReceiveBytes, 'y') + "\r\n:ann!a@h PRIVMSG #b :after\r\n");
  const auto after = chat.EventsOf(Kind::kChatLine);
  ASSERT_EQ(after.size(), 1u) << "a line longer than any kept is dropped whole";
  EXPECT_EQ(after[0].message, ": after");
}

// The avatar messages of a channel the local user "me" shares with ann and
// bob; the local user's pose is (3; 0.5, 0, 0; 0, 0, 0) with the texts t1 and
// t2.
class ChatAvatarTest : public ChatClientTest {
 protected:
  CChatChannel& SharedRoom() {
    ChatClientUnderTest& chat = LoggedIn();
    chat.user.avatarText1 = "t1";
    chat.user.avatarText2 = "t2";
    chat.user.avatarId = 3;
    chat.user.position = {0.5f, 0.0f, 0.0f};
    return Room("#a", "me ann bob");
  }
  static std::string Privmsg(const std::string& from, const std::string& to, const std::string& text) {
    return ":" + from + "!x@h PRIVMSG " + to + " :\x01" + text + "\x01\r\n";
  }
  static constexpr char kMyPose[] = "t1,3,0.500000,0.000000,0.000000,0.000000,0.000000,0.000000";
};

TEST_F(ChatAvatarTest, TheMasterGreetsNewcomersAndEveryoneAnswersReports) {
  CChatChannel& room = SharedRoom();
  Deliver(Privmsg("ann", "#a", "NewMaster me"));
  EXPECT_EQ(room.MasterNick(), "me");
  EXPECT_TRUE(chat_->HasEvent(Kind::kAvatarMessage, "#a", "ann", "me"));

  Deliver(Privmsg("bob", "#a", "NewAvatar b2,b1,7,1,2,3,0,0,0"));
  const CChatUser& bob = room.User(room.FindUser("bob"));
  EXPECT_EQ(bob.avatarText2, "b2");
  EXPECT_EQ(bob.avatarText1, "b1");
  EXPECT_EQ(bob.avatarId, 7);
  EXPECT_EQ(bob.position, (std::array<float, 3>{1.0f, 2.0f, 3.0f}));
  EXPECT_TRUE(chat_->HasEvent(Kind::kAvatarMessage, "#a", "bob", "b2,b1,7,1,2,3,0,0,0"));
  AwaitSent("PRIVMSG bob :\x01HelloAvatar \x01\r\n");

  Deliver(Privmsg("bob", "#a", "ReportPosition"));
  AwaitSent(std::string("PRIVMSG bob :\x01MoveAvatar ") + kMyPose + "\x01\r\n");
  EXPECT_TRUE(chat_->HasEvent(Kind::kAvatarMessage, "#a", "bob", ""));

  Deliver(Privmsg("ann", "me", "MoveAvatar a1,4,-1.5,0,0,0.25,0,0"));
  const CChatUser& ann = room.User(room.FindUser("ann"));
  EXPECT_EQ(ann.avatarText1, "a1");
  EXPECT_EQ(ann.avatarId, 4);
  EXPECT_EQ(ann.position[0], -1.5f);
  EXPECT_EQ(ann.orientation[0], 0.25f);

  Deliver(Privmsg("ann", "#a", "ACTION waves"));
  EXPECT_TRUE(chat_->HasEvent(Kind::kAvatarMessage, "#a", "ann", "ACTION waves"));
  EXPECT_EQ(ann.avatarText1, "a1");
}

TEST_F(ChatAvatarTest, ANewcomerTakesTheGreetingAndAsksForPoses) {
  CChatChannel& room = SharedRoom();
  Deliver(Privmsg("bob", "#a", "NewAvatar b2,b1,7,1,2,3,0,0,0"));
  Deliver(Privmsg("ann", "me", "HelloAvatar welcome, friend"));
  EXPECT_EQ(room.MasterNick(), "ann");
  EXPECT_EQ(room.GreetingText(), "welcome, friend");
  AwaitSent("PRIVMSG #a :\x01ReportPosition\x01\r\n");
  EXPECT_FALSE(server_.HasReceived("HelloAvatar")) << "only the master greets";
}

TEST_F(ChatAvatarTest, JoiningAnnouncesTheLocalAvatar) {
  SharedRoom();
  CChatChannel* joined = chat_->client->AddChannel("#new and more");
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined->Name(), "#new");
  joined->Join();
  AwaitSent(std::string("JOIN #new\r\nPRIVMSG #new :\x01NewAvatar t2,") + kMyPose + "\x01\r\n");
  EXPECT_TRUE(joined->IsJoined());

  server_.Forget();
  chat_->user.avatarText1.assign(300, 'z');
  joined->SendPrivmsg(kChannelTarget, "MoveAvatar " + chat_->user.FormatPosition());
  AwaitSent("\x01\r\n");
  EXPECT_EQ(server_.Received().size(), kMaxChatLineLength) << "cut to one line, framing kept";
}

TEST_F(ChatAvatarTest, LeavingNamesTheNextMasterOnlyWhenNoOtherIsMaster) {
  SharedRoom().Join();
  Room("#solo", "me").Join();
  CChatChannel& other = Room("#other", "me ann");
  other.Join();
  Deliver(Privmsg("ann", "#other", "NewMaster ann"));
  server_.Forget();

  chat_->client.reset();
  EXPECT_TRUE(PumpUntil([&] {
    server_.Read();
    return server_.HasReceived("PART #other\r\n");
  }));
  EXPECT_EQ(server_.Received(),
            "PRIVMSG #a :\x01NewMaster ann\x01\r\nPART #a\r\nPART #solo\r\nPART #other\r\n");
}

}  // namespace
}  // namespace vx::test
