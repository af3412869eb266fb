// One line from a chat server, taken apart: an optional prefix (":" and the
// sender), the command or reply code, and its parameters, the last of which
// may hold blanks when it begins with ':'.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace vx {

struct IrcMessage {
  std::string_view prefix;  // without its ':'; empty when the line has none
  std::string_view command;
  // The line from the command to its end.
  std::string_view fromCommand;
  std::vector<std::string_view> params;
  // For each parameter, the line from that parameter (a ':' included) to its
  // end.
  std::vector<std::string_view> tails;

  // Parameter number index; empty when there is none.
  std::string_view Param(size_t index) const { return index < params.size() ? params[index] : std::string_view(); }
  std::string_view Tail(size_t index) const { return index < tails.size() ? tails[index] : std::string_view(); }
};

// Takes a line (without its CR LF) apart. Blanks between words may repeat;
// a line of blanks gives an empty command.
IrcMessage ParseIrcMessage(std::string_view line);

// The nick of a prefix "nick!user@host": the text up to the first '!' or
// '@', the whole prefix when it has neither.
std::string_view PrefixNick(std::string_view prefix);
// A prefix that names a user ("nick!user@host", or part of it), which never
// stands for the server.
bool IsUserPrefix(std::string_view prefix);
// A three-digit reply code, which only a server sends.
bool IsNumericReply(std::string_view command);

// A nick as IRC allows it, and so one that is safe as a PRIVMSG target:
// letters, digits and []\`_^{|}-, not beginning with a digit or '-', at
// most maxLength characters.
bool IsValidNick(std::string_view nick, size_t maxLength);

}  // namespace vx
