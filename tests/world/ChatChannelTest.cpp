// Channels, users and avatar texts on their own: the words of avatar
// messages, the pose record, nick matching and slot ids.
#include <gtest/gtest.h>

#include <string>

#include "engine/world/chat/ChatChannel.h"
#include "engine/world/chat/IrcMessage.h"

namespace vx {
namespace {

TEST(AvatarMessages, WordsAreKnownByTheirBeginning) {
  EXPECT_EQ(AvatarMessageCode("MoveAvatar a,1"), AvatarWord::kMoveAvatar);
  EXPECT_EQ(AvatarMessageCode("NewMasterly"), AvatarWord::kNewMaster);
  EXPECT_EQ(AvatarMessageCode("ReportPosition"), AvatarWord::kReportPosition);
  EXPECT_EQ(AvatarMessageCode("HelloAvatar"), AvatarWord::kHelloAvatar);
  EXPECT_EQ(AvatarMessageCode("NewAvatar x"), AvatarWord::kNewAvatar);
  EXPECT_EQ(AvatarMessageCode("Hello"), AvatarWord::kNone);
  EXPECT_EQ(AvatarMessageCode(""), AvatarWord::kNone);
}

TEST(AvatarMessages, CommaFieldsEndAtEachComma) {
  EXPECT_EQ(CommaField(",rest"), "");
  EXPECT_EQ(CommaField("one,two"), "one");
  EXPECT_EQ(CommaField("whole"), "whole");
  EXPECT_EQ(CommaFields("a,,b,", 8), (std::vector<std::string_view>{"a", "", "b", ""}));
  EXPECT_EQ(CommaFields("a,b,c", 2), (std::vector<std::string_view>{"a", "b"}));
}

TEST(ChatUser, APoseRecordSurvivesItsOwnText) {
  CChatUser user;
  user.avatarId = 3;
  EXPECT_EQ(user.FormatPosition(), ",3,0.000000,0.000000,0.000000,0.000000,0.000000,0.000000");
  user.avatarText1 = "body";
  user.position = {1.25f, -2.5f, 3.0f};
  user.orientation = {0.0f, 1.5f, -0.125f};
  CChatUser copy;
  copy.ParsePosition(user.FormatPosition());
  EXPECT_EQ(copy.avatarText1, "body");
  EXPECT_EQ(copy.avatarId, 3);
  EXPECT_EQ(copy.position, user.position);
  EXPECT_EQ(copy.orientation, user.orientation);
}

TEST(ChatUser, ShortOrBrokenRecordsChangeOnlyWhatTheyHold) {
  CChatUser user;
  user.position = {1.0f, 2.0f, 3.0f};
  user.orientation = {4.0f, 5.0f, 6.0f};
  user.ParsePosition("t,9,7.5");
  EXPECT_EQ(user.avatarText1, "t");
  EXPECT_EQ(user.avatarId, 9);
  EXPECT_EQ(user.position, (std::array<float, 3>{7.5f, 2.0f, 3.0f}));
  EXPECT_EQ(user.orientation, (std::array<float, 3>{4.0f, 5.0f, 6.0f}));
  user.ParsePosition("u,many,x,,1e999,1,2,3,4,5");
  EXPECT_EQ(user.avatarId, 0);
  EXPECT_EQ(user.position, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(user.orientation, (std::array<float, 3>{1.0f, 2.0f, 3.0f}));
  user.ParsePosition(std::string(1000, 'a') + ",1");
  EXPECT_EQ(user.avatarText1.size(), kMaxChatTextLength);
}

class ChatChannelTest : public ::testing::Test {
 protected:
  // A connection that never opens: what the channel sends goes nowhere.
  CChatConnection connection_{"127.0.0.1", 0};
  CChatUser local_;
  CChatChannel channel_{connection_, local_, "#room"};
};

TEST_F(ChatChannelTest, UsersAreFoundByTheirWholeNick) {
  ASSERT_TRUE(channel_.AddUser("bob"));
  ASSERT_TRUE(channel_.AddUser("bab"));
  EXPECT_FALSE(channel_.AddUser(""));
  EXPECT_EQ(channel_.FindUser("bob"), 0);
  EXPECT_EQ(channel_.FindUser("bab"), 1);
  EXPECT_EQ(channel_.FindUser("b@b"), -1) << "no wildcards";
  EXPECT_EQ(channel_.FindUser("bo"), -1);
  EXPECT_EQ(channel_.FindUser("bobby"), -1);
  EXPECT_EQ(channel_.FindUser(""), -1);
}

TEST_F(ChatChannelTest, NewUsersTakeTheSmallestFreeSlotAndFiftyFit) {
  for (const char* nick : {"a", "b", "c", "d"}) ASSERT_TRUE(channel_.AddUser(nick));
  channel_.RemoveUser(2);
  EXPECT_EQ(channel_.User(2).slotId, 3);
  ASSERT_TRUE(channel_.AddUser("e"));
  EXPECT_EQ(channel_.User(3).slotId, 2);
  channel_.RemoveUser(-1);
  channel_.RemoveUser(channel_.UserCount());
  EXPECT_EQ(channel_.UserCount(), 4);
  while (channel_.UserCount() < 50) ASSERT_TRUE(channel_.AddUser("u" + std::to_string(channel_.UserCount())));
  EXPECT_FALSE(channel_.AddUser("one-too-many"));
  channel_.RemoveAllUsers();
  EXPECT_EQ(channel_.UserCount(), 0);
}

TEST(IrcMessages, LinesComeApartIntoSenderCommandAndParameters) {
  const IrcMessage full = ParseIrcMessage(":bob!b@host  PRIVMSG #room :hello  there: you");
  EXPECT_EQ(full.prefix, "bob!b@host");
  EXPECT_EQ(PrefixNick(full.prefix), "bob");
  EXPECT_EQ(full.command, "PRIVMSG");
  EXPECT_EQ(full.fromCommand, "PRIVMSG #room :hello  there: you");
  ASSERT_EQ(full.params.size(), 2u);
  EXPECT_EQ(full.params[1], "hello  there: you");
  EXPECT_EQ(full.Tail(1), ":hello  there: you");
  EXPECT_EQ(full.Param(2), "");

  const IrcMessage bare = ParseIrcMessage("PING :127.0.0.1");
  EXPECT_EQ(bare.prefix, "");
  EXPECT_EQ(bare.command, "PING");
  EXPECT_EQ(bare.Param(0), "127.0.0.1");
  EXPECT_EQ(PrefixNick("server.name"), "server.name");
  EXPECT_EQ(PrefixNick("nick@host"), "nick");
  EXPECT_EQ(ParseIrcMessage("   ").command, "");
  EXPECT_EQ(ParseIrcMessage(":lonely").command, "");
}

TEST(LineAssembler, PartialLinesWaitForTheirEnd) {
  CLineAssembler assembler;
  std::vector<std::string> lines;
  const auto keep = [&](std::string_view line) { lines.emplace_back(line); };
  assembler.Feed("one\r\ntw", keep);
  EXPECT_EQ(lines, (std::vector<std::string>{"one"}));
  EXPECT_EQ(assembler.PendingBytes(), 2u);
  assembler.Feed("o\r", keep);
  assembler.Feed("\n\nthree\n", keep);
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", "three"}));
  assembler.Feed(std::string(kMaxReceivedLineLength, 'x'), keep);
  assembler.Feed("y", keep);
  EXPECT_EQ(assembler.PendingBytes(), 0u) << "too long: dropped up to its end";
  assembler.Feed("y\nfour\n", keep);
  EXPECT_EQ(lines.back(), "four");
  EXPECT_EQ(lines.size(), 5u);
  EXPECT_EQ(LineSafe(std::string("a\r\nb\0c", 6)), "abc");
}

}  // namespace
}  // namespace vx
