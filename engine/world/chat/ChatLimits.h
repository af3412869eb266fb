// Limits of the chat client: how many channels and users it keeps, and how
// long the texts it keeps, sends and reports may be.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// Channels one client keeps, users one channel keeps; more are not added.
inline constexpr size_t kMaxChatChannels = 100;
inline constexpr size_t kMaxChannelUsers = 50;

// Every text the client keeps (nicks, channel names, avatar texts, chat
// texts) and an event's nick and message.
inline constexpr size_t kMaxChatTextLength = 255;
// An event's text.
inline constexpr size_t kMaxChatEventTextLength = 511;

// Characters of one line sent, CR LF included; longer content is cut.
inline constexpr size_t kMaxChatLineLength = 255;
// Bytes waiting to go out while the server reads nothing. Past them, avatar
// pose reports are dropped first (a later one tells the same), then new
// lines; a line is never cut.
inline constexpr size_t kMaxQueuedSendBytes = 64 * 1024;

// The longest nick taken from a server that announces no NICKLEN; one it
// announces counts up to kMaxChatTextLength.
inline constexpr size_t kDefaultNickLength = 30;

// Bytes taken from the connection in one poll.
inline constexpr int32_t kChatReceiveBytes = 8192;
// A line received without its end is kept until it ends, up to this many
// bytes; a longer one is dropped whole.
inline constexpr size_t kMaxReceivedLineLength = 8192;

// Seconds allowed for resolving and connecting.
inline constexpr int32_t kChatConnectTimeoutSeconds = 30;

// The user name of the login line, and a user's full name until one is set.
inline constexpr char kLoginUserName[] = "Vantessel";
inline constexpr char kDefaultFullName[] = "anonymous";

}  // namespace vx
