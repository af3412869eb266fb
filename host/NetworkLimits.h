// Limits of the host's network code: the channel, the HTTP client and the
// download manager.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::net {

// The channel keeps one receive buffer of this size; a send moves at most
// this many bytes.
inline constexpr int32_t kChannelBufferBytes = 8192;
inline constexpr int32_t kMaxSendBytes = 8192;

// Host names and dotted addresses kept by the channel, terminator included.
inline constexpr size_t kHostNameSize = 64;

// Seconds a channel may spend resolving, connecting or closing.
inline constexpr int32_t kDefaultChannelTimeoutSeconds = 30;
inline constexpr uint16_t kDefaultRemotePort = 23;

// Seconds an HTTP transfer may go without receiving a byte.
inline constexpr int32_t kHttpTimeoutSeconds = 30;

// The response header must end within this many bytes.
inline constexpr size_t kMaxHttpHeaderBytes = 16384;

// Concurrent downloads, and the size of every text buffer that crosses the
// download component's boundary (URLs, paths), terminator included.
inline constexpr int32_t kDownloadSlots = 12;
inline constexpr size_t kTextSize = 256;

// Text files of the host runtime are read in lines of at most this many
// characters; config.txt keys are at most kConfigKeyChars long.
inline constexpr size_t kLineChars = 254;
inline constexpr size_t kConfigKeyChars = 63;

}  // namespace vx::net
