// One person in a chat channel, or the local user: a nick, a full name, two
// avatar texts, an avatar id and the avatar's pose.
//
// The pose record travels inside avatar messages: avatarText1, then
// avatarId, x, y, z and three orientation values, each behind a ',' (the
// integer in decimal, every float with six decimals, always with '.').
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/world/chat/ChatLimits.h"

namespace vx {

// The text up to the first ',' (or the end); the caller reads on one
// character after the field.
std::string_view CommaField(std::string_view text);
// The first count (at least 1) comma fields of text; fewer when it has fewer.
std::vector<std::string_view> CommaFields(std::string_view text, size_t count);

// The text cut to kMaxChatTextLength, the size of every text a user or a
// channel keeps.
std::string BoundedChatText(std::string_view text);

class CChatUser {
 public:
  // Pose record of this user.
  std::string FormatPosition() const;
  // Reads a pose record into avatarText1, avatarId, position and
  // orientation, field by field; fields the text does not have keep their
  // values, and a number that does not read becomes 0.
  void ParsePosition(std::string_view text);

  void SetNick(std::string_view text) { nick = BoundedChatText(text); }

  std::string avatarText1;
  std::string avatarText2;
  std::string nick;
  std::string fullName = kDefaultFullName;
  int32_t slotId = 0;
  int32_t avatarId = 0;
  std::array<float, 3> position{};
  std::array<float, 3> orientation{};
};

}  // namespace vx
