#include "engine/world/chat/ChatChannel.h"

#include <algorithm>
#include <array>

namespace vx {
namespace {

constexpr std::array<std::string_view, 5> kAvatarWords = {"NewMaster", "NewAvatar", "HelloAvatar", "MoveAvatar",
                                                           "ReportPosition"};

std::string WithArgument(AvatarWord word, std::string_view argument) {
  std::string text(AvatarWordText(word));
  text += ' ';
  text += argument;
  return text;
}

}  // namespace

AvatarWord AvatarMessageCode(std::string_view text) {
  for (size_t i = 0; i < kAvatarWords.size(); ++i) {
    if (text.starts_with(kAvatarWords[i])) return static_cast<AvatarWord>(i + 1);
  }
  return AvatarWord::kNone;
}

std::string_view AvatarWordText(AvatarWord word) {
  const auto index = static_cast<size_t>(word);
  return index >= 1 && index <= kAvatarWords.size() ? kAvatarWords[index - 1] : std::string_view();
}

CChatChannel::CChatChannel(CChatConnection& connection, CChatUser& localUser, std::string_view name)
    : connection_(connection), localUser_(localUser), name_(BoundedChatText(name)) {}

CChatChannel::~CChatChannel() {
  if (joined_) Part();
}

void CChatChannel::Join() {
  connection_.SendLine("JOIN " + name_);
  SendPrivmsg(kChannelTarget,
              WithArgument(AvatarWord::kNewAvatar, localUser_.avatarText2 + ',' + localUser_.FormatPosition()));
  joined_ = true;
}

void CChatChannel::Part() {
  if (users_.size() > 1 && (masterNick_.empty() || masterNick_ == localUser_.nick)) SendNewMaster();
  connection_.SendLine("PART " + name_);
  joined_ = false;
}

void CChatChannel::SendNewMaster() {
  if (users_.empty()) return;
  const auto other = std::find_if(users_.begin(), users_.end(),
                                  [this](const auto& user) { return user->nick != localUser_.nick; });
  const CChatUser& next = other != users_.end() ? **other : *users_.back();
  SendPrivmsg(kChannelTarget, WithArgument(AvatarWord::kNewMaster, next.nick));
}

void CChatChannel::SendPrivmsg(std::string_view target, std::string_view text) {
  std::string line = "PRIVMSG ";
  line += target == kChannelTarget ? std::string_view(name_) : target;
  line += " :";
  line += kAvatarFrame;
  // Room for the text once the closing frame and CR LF are counted.
  const size_t used = line.size() + 3;
  line += text.substr(0, kMaxChatLineLength > used ? kMaxChatLineLength - used : 0);
  line += kAvatarFrame;
  connection_.SendLine(line, AvatarMessageCode(text) == AvatarWord::kMoveAvatar ? LineKind::kPoseReport
                                                                                 : LineKind::kRequired);
}

void CChatChannel::Leave() {
  joined_ = false;
  listingNames_ = false;
  masterNick_.clear();
  users_.clear();
}

void CChatChannel::ApplyAvatarMessage(int32_t userIndex, AvatarWord word, std::string_view argument) {
  CChatUser& sender = User(userIndex);
  switch (word) {
    case AvatarWord::kNewMaster:
      masterNick_ = BoundedChatText(argument);
      break;
    case AvatarWord::kNewAvatar: {
      const std::string_view text2 = CommaField(argument);
      sender.avatarText2 = BoundedChatText(text2);
      if (text2.size() < argument.size()) sender.ParsePosition(argument.substr(text2.size() + 1));
      if (!masterNick_.empty() && masterNick_ == localUser_.nick)
        SendPrivmsg(sender.nick, WithArgument(AvatarWord::kHelloAvatar, greetingText_));
      break;
    }
    case AvatarWord::kHelloAvatar:
      SetGreetingText(argument);
      masterNick_ = sender.nick;
      SendPrivmsg(kChannelTarget, AvatarWordText(AvatarWord::kReportPosition));
      break;
    case AvatarWord::kMoveAvatar:
      sender.ParsePosition(argument);
      break;
    case AvatarWord::kReportPosition:
      SendPrivmsg(sender.nick, WithArgument(AvatarWord::kMoveAvatar, localUser_.FormatPosition()));
      break;
    case AvatarWord::kNone:
      break;
  }
}

int32_t CChatChannel::FindUser(std::string_view nick) const {
  for (size_t i = 0; i < users_.size(); ++i) {
    if (users_[i]->nick == nick) return static_cast<int32_t>(i);
  }
  return -1;
}

bool CChatChannel::AddUser(std::string_view nick) {
  if (nick.empty() || users_.size() >= kMaxChannelUsers) return false;
  auto user = std::make_unique<CChatUser>();
  user->SetNick(nick);
  user->slotId = SmallestFreeSlotId();
  users_.push_back(std::move(user));
  return true;
}

int32_t CChatChannel::SmallestFreeSlotId() const {
  int32_t id = 0;
  while (std::any_of(users_.begin(), users_.end(), [id](const auto& user) { return user->slotId == id; })) ++id;
  return id;
}

void CChatChannel::RemoveUser(int32_t index) {
  if (index < 0 || index >= UserCount()) return;
  users_.erase(users_.begin() + index);
}

void CChatChannel::RemoveAllUsers() { users_.clear(); }

void CChatChannel::RenameUser(std::string_view nick, std::string_view newNick) {
  if (masterNick_ == nick) masterNick_ = BoundedChatText(newNick);
  const int32_t index = FindUser(nick);
  if (index < 0) return;
  if (FindUser(newNick) >= 0) {
    RemoveUser(index);
  } else {
    User(index).SetNick(newNick);
  }
}

}  // namespace vx
