// Limits of the socket channel, the same in every library that builds it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx {

// The channel keeps one receive buffer of this size; a send moves at most
// this many bytes. Host names it keeps are shorter than kHostNameSize.
inline constexpr int32_t kChannelBufferBytes = 8192;
inline constexpr int32_t kMaxSendBytes = 8192;
inline constexpr size_t kHostNameSize = 64;

// Seconds a channel may spend resolving, connecting or closing, and the port
// it connects to when none is set.
inline constexpr int32_t kDefaultChannelTimeoutSeconds = 30;
inline constexpr uint16_t kDefaultRemotePort = 23;

}  // namespace vx
