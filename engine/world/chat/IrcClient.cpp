#include "engine/world/chat/IrcClient.h"

#include <algorithm>
#include <charconv>

namespace vx {
namespace {

// Characters that mark a member's status in front of its nick in a NAMES
// reply; no nick begins with one.
constexpr std::string_view kMemberStatusMarks = "~&@%+";

// A name of a NAMES reply without the status marks in front.
std::string_view NickOfName(std::string_view name) {
  name.remove_prefix(std::min(name.find_first_not_of(kMemberStatusMarks), name.size()));
  return name;
}

// The value of "NICKLEN=<n>" among the tokens of an ISUPPORT reply; 0 for
// another token or a value that is no number.
size_t NickLengthToken(std::string_view token) {
  constexpr std::string_view kName = "NICKLEN=";
  if (!token.starts_with(kName)) return 0;
  size_t length = 0;
  const char* end = token.data() + token.size();
  const auto [stop, error] = std::from_chars(token.data() + kName.size(), end, length);
  return error == std::errc() && stop == end ? length : 0;
}

std::string WithoutCommas(std::string_view text) {
  std::string kept;
  for (const char c : text) {
    if (c != ',') kept += c;
  }
  return kept;
}

std::string_view FirstWord(std::string_view text) { return text.substr(0, text.find(' ')); }

std::string Cut(std::string_view text, size_t length) { return std::string(text.substr(0, length)); }

}  // namespace

CIrcClient::CIrcClient(CChatUser& localUser, std::string_view serverName, uint16_t port,
                       ScriptFunctionCallback callback)
    : localUser_(localUser),
      serverName_(BoundedChatText(serverName)),
      callback_(callback),
      connection_(serverName_, port) {}

CIrcClient::~CIrcClient() { RemoveAllChannels(); }

bool CIrcClient::Login() {
  if (loginSent_ || localUser_.nick.empty()) return false;
  connection_.Queue("NICK " + localUser_.nick);
  connection_.Queue(std::string("USER ") + kLoginUserName + " stuff stuff :" + localUser_.fullName);
  connection_.Flush();
  loginSent_ = true;
  return true;
}

int32_t CIrcClient::HandleLine(std::string& status) {
  if (!connection_.Poll()) {
    status = connection_.WasLost() ? "Connection to " + serverName_ + " lost."
                                   : "Attempting to connect to " + serverName_ + ".";
    return 0;
  }
  if (!loginSent_) {
    (void)Login();
    status = "Attempting to log in as " + localUser_.nick + ".";
    return 0;
  }
  welcomed_ = false;
  status_.reset();
  connection_.ReadLines([this](std::string_view line) { HandleMessage(line); });
  if (status_) status = *status_;
  return welcomed_ ? kChatWelcomed : 0;
}

void CIrcClient::HandleMessage(std::string_view line) {
  const IrcMessage message = ParseIrcMessage(line);
  if (message.command.empty()) return;
  // The server relays a KICK whoever asked for it, another server included.
  if (message.command == "KICK") {
    HandleKick(message);
    return;
  }
  if (IsFromServer(message)) {
    HandleServerReply(message);
    return;
  }
  const std::string_view nick = PrefixNick(message.prefix);
  if (message.command == "JOIN") {
    HandleJoin(message, nick);
    return;
  }
  if (message.command == "NICK") {
    HandleNick(message, nick);
    return;
  }
  int32_t channel = -1;
  int32_t user = -1;
  if (FindUserChannel(nick, &channel, &user)) HandleUserCommand(message, channel, user);
}

bool CIrcClient::IsFromServer(const IrcMessage& message) {
  if (message.prefix.empty()) return true;
  if (IsUserPrefix(message.prefix)) return false;
  if (!serverReplyName_.empty()) return message.prefix == serverReplyName_;
  if (IsNumericReply(message.command)) {
    serverReplyName_ = BoundedChatText(message.prefix);
    return true;
  }
  return message.prefix == serverName_;
}

void CIrcClient::HandleServerReply(const IrcMessage& message) {
  const std::string_view code = message.command;
  if (code == "001") {
    loggedIn_ = true;
    welcomed_ = true;
    connection_.SendLine("LIST");
    status_ = "Logged in as " + localUser_.nick + ".";
  } else if (code == "PING") {
    // The server drops a client whose answer does not carry its argument.
    const std::string_view origin = message.params.empty() ? std::string_view(serverName_) : message.params.back();
    connection_.SendLine("PONG :" + std::string(origin));
  } else if (code == "321") {
    Report(ChatEventKind::kListBegins);
  } else if (code == "322") {
    HandleListEntry(message);
  } else if (code == "353") {
    HandleNames(message);
  } else if (code == "005") {
    ReadNickLength(message);
    Report(ChatEventKind::kServerMessage, {}, {}, message.fromCommand);
  } else if (code == "366") {
    const int32_t channel = FindChannel(message.Param(1));
    if (channel >= 0) Channel(channel).SetListingNames(false);
  } else if (code != "332") {
    Report(ChatEventKind::kServerMessage, {}, {}, message.fromCommand);
  }
}

// "005 <nick> <token>... :are supported by this server": NICKLEN bounds
// the nicks taken from now on.
void CIrcClient::ReadNickLength(const IrcMessage& message) {
  for (size_t i = 1; i + 1 < message.params.size(); ++i) {
    const size_t length = NickLengthToken(message.params[i]);
    if (length > 0) nickLength_ = std::min(length, kMaxChatTextLength);
  }
}

// "322 <nick> <channel> <users> :<topic>": the entry is the text after the
// nick, commas left out. Every listed channel is reported; one that is held
// already is not added a second time.
void CIrcClient::HandleListEntry(const IrcMessage& message) {
  const std::string entry = WithoutCommas(message.Tail(1));
  if (FindChannel(entry) >= 0) return;
  Report(ChatEventKind::kListEntry, entry);
  if (FindChannel(FirstWord(entry)) < 0) (void)AddChannel(entry);
}

// "353 <nick> [=*@] <channel> :<names>". A listing may take several lines,
// up to "366": its first line replaces the users, the others add to them.
void CIrcClient::HandleNames(const IrcMessage& message) {
  if (message.params.size() < 3) return;
  const std::string_view name = message.params[message.params.size() - 2];
  const int32_t index = FindChannel(name);
  if (index < 0) return;
  CChatChannel& channel = Channel(index);
  if (!channel.ListingNames()) {
    Report(ChatEventKind::kUsersBegin, channel.Name());
    channel.RemoveAllUsers();
    channel.SetListingNames(true);
  }
  std::string_view names = message.params.back();
  while (!names.empty() && channel.UserCount() < static_cast<int32_t>(kMaxChannelUsers)) {
    const std::string_view word = FirstWord(names);
    names.remove_prefix(std::min(word.size() + 1, names.size()));
    const std::string_view nick = NickOfName(word);
    if (IsValidNick(nick, nickLength_) && channel.FindUser(nick) < 0 && channel.AddUser(nick))
      Report(ChatEventKind::kUserAdded, channel.Name(), nick);
  }
}

void CIrcClient::HandleJoin(const IrcMessage& message, std::string_view nick) {
  const int32_t index = FindChannel(message.Param(0));
  if (index < 0 || !IsValidNick(nick, nickLength_)) return;
  CChatChannel& channel = Channel(index);
  if (channel.FindUser(nick) < 0 && channel.AddUser(nick)) Report(ChatEventKind::kUserAdded, channel.Name(), nick);
}

// "NICK <new nick>": the user goes by the new nick in every channel, and so
// does the local user when the server renames it. A held user's rename is
// reported as its other commands are.
void CIrcClient::HandleNick(const IrcMessage& message, std::string_view nick) {
  int32_t channel = -1;
  int32_t user = -1;
  if (FindUserChannel(nick, &channel, &user)) Report(ChatEventKind::kServerMessage, {}, {}, message.fromCommand);
  const std::string_view renamed = message.Param(0);
  if (!IsValidNick(renamed, nickLength_)) return;
  const std::string before(nick);
  for (const auto& held : channels_) {
    if (held->FindUser(before) < 0) continue;
    held->RenameUser(before, renamed);
    Report(ChatEventKind::kUserRenamed, held->Name(), renamed, before);
  }
  if (before == localUser_.nick) localUser_.SetNick(renamed);
}

// "KICK <channel> <nick> [:<reason>]": the kicked user leaves that channel;
// when it is the local user, the channel is left altogether.
void CIrcClient::HandleKick(const IrcMessage& message) {
  const int32_t index = FindChannel(message.Param(0));
  if (index < 0) return;
  const std::string_view nick = message.Param(1);
  if (nick != localUser_.nick) {
    HandleLeave(index, nick);
    return;
  }
  CChatChannel& channel = Channel(index);
  status_ = "Kicked from " + channel.Name() + " by " + std::string(PrefixNick(message.prefix)) + ": " +
            std::string(message.Param(2));
  channel.Leave();
  Report(ChatEventKind::kUserLeft, channel.Name(), nick);
}

void CIrcClient::HandleUserCommand(const IrcMessage& message, int32_t channel, int32_t user) {
  const std::string nick = Channel(channel).User(user).nick;
  if (message.command == "PART") {
    const int32_t parted = FindChannel(message.Param(0));
    if (parted >= 0) HandleLeave(parted, nick);
  } else if (message.command == "QUIT") {
    for (int32_t index = 0; index < ChannelCount(); ++index) HandleLeave(index, nick);
  } else if (message.command == "PRIVMSG") {
    HandlePrivmsg(message, channel, user);
  } else {
    Report(ChatEventKind::kServerMessage, {}, {}, message.fromCommand);
  }
}

void CIrcClient::HandleLeave(int32_t index, std::string_view nick) {
  CChatChannel& channel = Channel(index);
  const int32_t user = channel.FindUser(nick);
  if (user < 0) return;
  const std::string leaving(nick);
  channel.RemoveUser(user);
  Report(ChatEventKind::kUserLeft, channel.Name(), leaving);
}

// A message to a held channel counts for that channel; a private one for
// the first channel that holds its sender.
void CIrcClient::HandlePrivmsg(const IrcMessage& message, int32_t channel, int32_t user) {
  if (message.params.size() < 2) return;
  const std::string_view target = message.params[0];
  const bool isPrivate = target == localUser_.nick;
  const int32_t named = FindChannel(target);
  if (!isPrivate && named >= 0) {
    const int32_t member = Channel(named).FindUser(Channel(channel).User(user).nick);
    if (member < 0) return;
    channel = named;
    user = member;
  }
  CChatChannel& room = Channel(channel);
  const std::string nick = room.User(user).nick;
  const std::string text = BoundedChatText(message.params[1]);
  if (!text.starts_with(kAvatarFrame)) {
    Report(ChatEventKind::kChatLine, room.Name(), nick, (isPrivate ? ": (Private)" : ": ") + text);
    return;
  }
  std::string_view body = std::string_view(text).substr(1);
  if (body.ends_with(kAvatarFrame)) body.remove_suffix(1);
  const AvatarWord word = AvatarMessageCode(body);
  if (word == AvatarWord::kNone) {
    Report(ChatEventKind::kAvatarMessage, room.Name(), nick, body);
    return;
  }
  const std::string_view argument = body.substr(std::min(AvatarWordText(word).size() + 1, body.size()));
  room.ApplyAvatarMessage(user, word, argument);
  Report(ChatEventKind::kAvatarMessage, room.Name(), nick, word == AvatarWord::kReportPosition ? "" : argument);
}

void CIrcClient::Report(ChatEventKind kind, std::string_view text, std::string_view nick, std::string_view message) {
  if (!callback_.fn) return;
  ChatEvent event{kind, Cut(text, kMaxChatEventTextLength), Cut(nick, kMaxChatTextLength),
                  Cut(message, kMaxChatTextLength)};
  callback_.fn(kChatEventCode, &event, callback_.userData);
}

int32_t CIrcClient::FindChannel(std::string_view name) const {
  for (size_t i = 0; i < channels_.size(); ++i) {
    if (channels_[i]->Name() == name) return static_cast<int32_t>(i);
  }
  return -1;
}

bool CIrcClient::FindUserChannel(std::string_view nick, int32_t* channel, int32_t* user) const {
  for (size_t i = 0; i < channels_.size(); ++i) {
    const int32_t found = channels_[i]->FindUser(nick);
    if (found >= 0) {
      *channel = static_cast<int32_t>(i);
      *user = found;
      return true;
    }
  }
  return false;
}

CChatChannel* CIrcClient::AddChannel(std::string_view name) {
  name = FirstWord(name);
  if (name.empty() || channels_.size() >= kMaxChatChannels) return nullptr;
  channels_.push_back(std::make_unique<CChatChannel>(connection_, localUser_, name));
  return channels_.back().get();
}

void CIrcClient::RemoveAllChannels() { channels_.clear(); }

}  // namespace vx
