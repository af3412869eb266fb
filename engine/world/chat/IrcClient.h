// The engine's chat client: the transport of the multi-user world, where
// people in one chat channel see each other's chat lines and avatars.
//
// The client speaks the client side of IRC over one connection, keeps up to
// kMaxChatChannels channels with their users, applies the avatar messages
// that travel inside PRIVMSG lines, and reports what it receives through a
// callback: fn(kChatEventCode, ChatEvent*, userData).
//
// Input is read line by line, each line taken apart into sender, command
// and parameters; nothing inside a parameter is ever taken for a command.
// A line counts as the server's when it has no sender or names the server.
// Servers name themselves otherwise than the address a user types, so the
// name is learnt from the server's first numeric reply (the welcome, as a
// rule); until then the address counts. A user's prefix ("nick!user@host")
// never counts as the server. Otherwise the sender is the nick of the
// prefix, which must equal a held user's nick exactly (a JOIN to a held
// channel, a NICK and a KICK excepted). Lines of other senders are not
// reported.
//
// The client follows what the server says of the local user: a NICK it
// forces renames the local user, a KICK takes it out of that channel and
// says so in the status. Users are reported once they have left a channel
// or been renamed in it, so that a listener sees the channel as it is now. Nicks
// the server hands over become users (and so PRIVMSG targets) only when
// they are valid nicks no longer than the NICKLEN the server announces.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <vantessel/Engine.h>

#include "engine/world/chat/ChatChannel.h"
#include "engine/world/chat/ChatConnection.h"
#include "engine/world/chat/ChatLimits.h"
#include "engine/world/chat/ChatUser.h"
#include "engine/world/chat/IrcMessage.h"

namespace vx {

enum class ChatEventKind : int32_t {
  kListBegins = 0,     // a channel list begins
  kListEntry = 1,      // text: a listed channel that is not held, its user count and topic
  kUsersBegin = 2,     // text: a held channel whose user list begins
  kUserAdded = 3,      // text: channel, nick: the user
  kUserLeft = 4,       // text: channel, nick: the user
  kAvatarMessage = 5,  // text: channel, nick: sender, message: the text after the avatar word
  kServerMessage = 6,  // message: the line from its command or reply code
  kChatLine = 7,       // text: channel, nick: sender, message: ": " (or ": (Private)") and the chat text
  kUserRenamed = 8,    // text: channel, nick: the user's new nick, message: its old nick
};

// What the callback receives; valid during the call only. text holds at
// most kMaxChatEventTextLength characters, nick and message
// kMaxChatTextLength.
struct ChatEvent {
  ChatEventKind kind = ChatEventKind::kListBegins;
  std::string text;
  std::string nick;
  std::string message;
};

inline constexpr int32_t kChatEventCode = 8;
// HandleLine's result for the poll step that met the server's welcome.
inline constexpr int32_t kChatWelcomed = 2;

class CIrcClient {
 public:
  // Starts connecting to serverName on the port at once. localUser is not
  // owned and outlives the client.
  CIrcClient(CChatUser& localUser, std::string_view serverName, uint16_t port, ScriptFunctionCallback callback);
  // Parts every channel, then drops the connection.
  ~CIrcClient();
  CIrcClient(const CIrcClient&) = delete;
  CIrcClient& operator=(const CIrcClient&) = delete;

  // Sends NICK and USER once, when the local user has a nick; true when it
  // sent them now.
  bool Login();
  // One poll step, once a frame: connects, logs in, then reads and handles
  // what arrived. Writes a status text when the step has one (and leaves
  // status alone otherwise); returns kChatWelcomed for the step that met the
  // welcome reply, else 0. A connection that closes is not opened again.
  int32_t HandleLine(std::string& status);

  // The first held channel of exactly that name; -1 when none.
  int32_t FindChannel(std::string_view name) const;
  // The first held channel, in channel order, with a user of exactly that
  // nick, and that user's index; false when none.
  bool FindUserChannel(std::string_view nick, int32_t* channel, int32_t* user) const;
  // Keeps the name up to its first blank; null, adding nothing, when the
  // client holds kMaxChatChannels or the name is empty.
  CChatChannel* AddChannel(std::string_view name);
  void RemoveAllChannels();
  int32_t ChannelCount() const { return static_cast<int32_t>(channels_.size()); }
  CChatChannel& Channel(int32_t index) const { return *channels_[static_cast<size_t>(index)]; }
  bool IsLoggedIn() const { return loggedIn_; }
  // The name the server goes by in its replies; empty until it has sent a
  // numeric reply.
  const std::string& ServerReplyName() const { return serverReplyName_; }
  // Bytes waiting to go out (at most kMaxQueuedSendBytes).
  size_t QueuedBytes() const { return connection_.QueuedBytes(); }

 private:
  void HandleMessage(std::string_view line);
  bool IsFromServer(const IrcMessage& message);
  void HandleServerReply(const IrcMessage& message);
  void ReadNickLength(const IrcMessage& message);
  void HandleListEntry(const IrcMessage& message);
  void HandleNames(const IrcMessage& message);
  void HandleJoin(const IrcMessage& message, std::string_view nick);
  void HandleNick(const IrcMessage& message, std::string_view nick);
  void HandleKick(const IrcMessage& message);
  void HandleUserCommand(const IrcMessage& message, int32_t channel, int32_t user);
  void HandleLeave(int32_t channel, std::string_view nick);
  void HandlePrivmsg(const IrcMessage& message, int32_t channel, int32_t user);
  void Report(ChatEventKind kind, std::string_view text = {}, std::string_view nick = {},
              std::string_view message = {});

  CChatUser& localUser_;
  // The address connected to, as the IRC node names it.
  std::string serverName_;
  std::string serverReplyName_;
  size_t nickLength_ = kDefaultNickLength;
  ScriptFunctionCallback callback_;
  CChatConnection connection_;
  std::vector<std::unique_ptr<CChatChannel>> channels_;
  bool loginSent_ = false;
  bool loggedIn_ = false;
  // What the current poll step met.
  bool welcomed_ = false;
  std::optional<std::string> status_;
};

}  // namespace vx
