#include "engine/world/chat/IrcMessage.h"

#include <algorithm>

namespace vx {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

void SkipBlanks(std::string_view& text) { text.remove_prefix(std::min(text.find_first_not_of(' '), text.size())); }

std::string_view TakeWord(std::string_view& text) {
  const std::string_view word = text.substr(0, text.find(' '));
  text.remove_prefix(word.size());
  SkipBlanks(text);
  return word;
}

}  // namespace

IrcMessage ParseIrcMessage(std::string_view line) {
  IrcMessage message;
  SkipBlanks(line);
  if (line.starts_with(':')) {
    line.remove_prefix(1);
    message.prefix = TakeWord(line);
  }
  message.fromCommand = line;
  message.command = TakeWord(line);
  while (!line.empty()) {
    message.tails.push_back(line);
    if (line.starts_with(':')) {
      message.params.push_back(line.substr(1));
      break;
    }
    message.params.push_back(TakeWord(line));
  }
  return message;
}

std::string_view PrefixNick(std::string_view prefix) { return prefix.substr(0, prefix.find_first_of("!@")); }

bool IsUserPrefix(std::string_view prefix) { return prefix.find_first_of("!@") != std::string_view::npos; }

bool IsNumericReply(std::string_view command) {
  return command.size() == 3 && std::all_of(command.begin(), command.end(), IsDigit);
}

bool IsValidNick(std::string_view nick, size_t maxLength) {
  constexpr std::string_view kSpecial = "[]\\`_^{|}";
  if (nick.empty() || nick.size() > maxLength || IsDigit(nick.front()) || nick.front() == '-') return false;
  return std::all_of(nick.begin(), nick.end(), [&](char c) {
    return IsAsciiLetter(c) || IsDigit(c) || c == '-' || kSpecial.find(c) != std::string_view::npos;
  });
}

}  // namespace vx
