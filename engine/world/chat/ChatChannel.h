// One chat channel as the client keeps it: its name, its users, its master
// and whether the local user has joined it; and the avatar messages that its
// users exchange.
//
// Avatar messages are PRIVMSG texts framed by the byte 0x01 on both sides,
// beginning with one of five words. A newcomer announces itself to the
// channel (NewAvatar); the master greets it (HelloAvatar); the newcomer asks
// everyone for their pose (ReportPosition), and each answers it
// (MoveAvatar). A user who leaves while it is the master, or while there is
// none, names the next one (NewMaster).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/world/chat/ChatConnection.h"
#include "engine/world/chat/ChatUser.h"

namespace vx {

enum class AvatarWord : int16_t {
  kNone = 0,
  kNewMaster = 1,
  kNewAvatar = 2,
  kHelloAvatar = 3,
  kMoveAvatar = 4,
  kReportPosition = 5,
};

inline constexpr char kAvatarFrame = '\x01';
// The target of an avatar message to the whole channel.
inline constexpr std::string_view kChannelTarget = "ALL";

// The first of the five words, in the order above, that text begins with
// (whatever follows it); kNone when it begins with none.
AvatarWord AvatarMessageCode(std::string_view text);
// The word's text; empty for kNone.
std::string_view AvatarWordText(AvatarWord word);

class CChatChannel {
 public:
  // Neither is owned; both outlive the channel.
  CChatChannel(CChatConnection& connection, CChatUser& localUser, std::string_view name);
  // Parts first when joined.
  ~CChatChannel();
  CChatChannel(const CChatChannel&) = delete;
  CChatChannel& operator=(const CChatChannel&) = delete;

  // Sends JOIN, then the local user's NewAvatar to the channel.
  void Join();
  // Names a new master first when the channel holds more than one user and
  // has none or has the local user; then sends PART.
  void Part();
  // NewMaster to the channel with the first user, in list order, who is not
  // the local user (the last user when all are).
  void SendNewMaster();
  // One avatar message; the target kChannelTarget stands for the channel.
  // A text too long for a line is cut before its closing frame. A
  // MoveAvatar is a pose report, the first to make way when the server
  // falls behind.
  void SendPrivmsg(std::string_view target, std::string_view text);
  // The server took the local user out (a KICK): no PART goes out, and the
  // users and the master are forgotten.
  void Leave();
  // Applies an avatar message that the user at userIndex sent, by its word.
  void ApplyAvatarMessage(int32_t userIndex, AvatarWord word, std::string_view argument);

  // Users are matched by their whole nick; -1 when none has it.
  int32_t FindUser(std::string_view nick) const;
  // False when the channel is full or the nick is empty.
  bool AddUser(std::string_view nick);
  int32_t SmallestFreeSlotId() const;
  void RemoveUser(int32_t index);
  void RemoveAllUsers();
  // The user of that nick goes by newNick from now on, as master too; when
  // the channel holds newNick already, the old record goes.
  void RenameUser(std::string_view nick, std::string_view newNick);

  const std::string& Name() const { return name_; }
  const std::string& MasterNick() const { return masterNick_; }
  const std::string& GreetingText() const { return greetingText_; }
  void SetGreetingText(std::string_view text) { greetingText_ = BoundedChatText(text); }
  bool IsJoined() const { return joined_; }
  int32_t UserCount() const { return static_cast<int32_t>(users_.size()); }
  CChatUser& User(int32_t index) const { return *users_[static_cast<size_t>(index)]; }
  // A NAMES listing of several lines is under way: its later lines add to
  // the users instead of replacing them.
  bool ListingNames() const { return listingNames_; }
  void SetListingNames(bool listing) { listingNames_ = listing; }

 private:
  CChatConnection& connection_;
  CChatUser& localUser_;
  std::string name_;
  std::string greetingText_;
  std::string masterNick_;
  bool joined_ = false;
  bool listingNames_ = false;
  std::vector<std::unique_ptr<CChatUser>> users_;
};

}  // namespace vx
