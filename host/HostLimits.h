// Limits of the component host runtime.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::host {

// Component names, file names and URLs are kept in 256-character fields by
// the stored formats; longer names are refused rather than cut.
inline constexpr size_t kMaxNameLength = 255;

// The manager's name table: bucket 0 holds "ComponentManager", the hash
// spreads every other name over buckets 1..241.
inline constexpr int kBucketCount = 256;
inline constexpr uint32_t kHashRange = 241;

// Component libraries loaded at once, and names taken from one folder scan.
inline constexpr int kMaxLibraries = 32;
inline constexpr int kMaxScanNames = 32;

// Entries of the component registry and of each product list.
inline constexpr int kMaxRegistryEntries = 32;
inline constexpr int kMaxProductEntries = 10;

// Lines of the registry files are read up to this many characters.
inline constexpr size_t kMaxLineLength = 254;

// The major version that this host's product carries, and that component
// library file names must carry to be loaded.
inline constexpr int16_t kProductMajor = 2;
inline constexpr int16_t kProductMinor = 0;

// Seconds an HTTP transfer may go without receiving a byte; the response
// header must end within kMaxHttpHeaderBytes.
inline constexpr int32_t kHttpTimeoutSeconds = 30;
inline constexpr size_t kMaxHttpHeaderBytes = 16384;

// A server that sends a byte now and then never stalls, yet could hold a
// download slot for ever: after a grace period every window of this length
// must bring at least this many bytes a second on average.
inline constexpr int32_t kHttpRateGraceSeconds = 30;
inline constexpr int32_t kHttpRateWindowSeconds = 30;
inline constexpr int32_t kHttpMinBytesPerSecond = 1024;

// The largest response body taken, whatever the server announces. The cache
// limit is no bound here: it is soft and small, and movies and panoramas
// are larger.
inline constexpr int32_t kMaxHttpBodyBytes = 256 * 1024 * 1024;

// Decompressed output may be at most this many times the compressed input,
// and never more than kMaxInflatedBytes.
inline constexpr uint64_t kMaxInflateRatio = 200;
inline constexpr uint64_t kMaxInflatedBytes = 512ull * 1024 * 1024;

// Downloads that run at once; config.txt keys are at most this long.
inline constexpr int32_t kDownloadSlots = 12;
// Redirects one download follows; one more fails it.
inline constexpr int32_t kMaxHttpRedirects = 5;
inline constexpr size_t kConfigKeyChars = 63;

}  // namespace vx::host
