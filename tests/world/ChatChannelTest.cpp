// Channels, users and avatar texts on their own: the words of avatar
// messages, the pose record, nick matching and slot ids.
#include <gtest/gtest.h>

#include <string>

#include "engine/world/chat/ChatChannel.h"

namespace vx {
namespace {

TEST(AvatarMessages, WordsAreKnownByTheirBeginningAndFieldsEndAtCommas) {
  EXPECT_EQ(AvatarMessageCode("MoveAvatar a,1"), AvatarWord::kMoveAvatar);
  EXPECT_EQ(AvatarMessageCode("NewMasterly"), AvatarWord::kNewMaster);
  EXPECT_EQ(AvatarMessageCode("ReportPosition"), AvatarWord::kReportPosition);
  EXPECT_EQ(AvatarMessageCode("Hello"), AvatarWord::kNone);
  EXPECT_EQ(CommaField(",rest"), "");
  EXPECT_EQ(CommaFields("a,,b,", 8), (std::vector<std::string_view>{"a", "", "b", ""}));
  EXPECT_EQ(CommaFields("a,b,c", 2), (std::vector<std::string_view>{"a", "b"}));
}

TEST(ChatUser, APoseRecordSurvivesItsTextAndShortRecordsChangeOnlyWhatTheyHold) {
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

  copy.ParsePosition("t,9,7.5");
  EXPECT_EQ(copy.position, (std::array<float, 3>{7.5f, -2.5f, 3.0f}));
  EXPECT_EQ(copy.orientation, user.orientation);
  copy.ParsePosition(std::string(1000, 'a') + ",many,x,,1e999,1,2,3,4");
  EXPECT_EQ(copy.avatarText1.size(), kMaxChatTextLength);
  EXPECT_EQ(copy.avatarId, 0) << "what does not read is 0";
  EXPECT_EQ(copy.position, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(copy.orientation, (std::array<float, 3>{1.0f, 2.0f, 3.0f}));
}

TEST(ChatChannel, UsersTakeTheSmallestFreeSlotAndAreFoundByTheirWholeNick) {
  CChatConnection nowhere("127.0.0.1", 0);
  CChatUser local;
  CChatChannel channel(nowhere, local, "#room");
  for (const char* nick : {"bob", "bab", "c", "d"}) ASSERT_TRUE(channel.AddUser(nick));
  EXPECT_FALSE(channel.AddUser(""));
  channel.RemoveUser(2);
  ASSERT_TRUE(channel.AddUser("e"));
  EXPECT_EQ(channel.User(3).slotId, 2);
  EXPECT_EQ(channel.FindUser("bab"), 1);
  for (const char* other : {"b@b", "bo", "bobby", ""}) EXPECT_EQ(channel.FindUser(other), -1) << other;
}

}  // namespace
}  // namespace vx
