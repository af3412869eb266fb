// The built-in component "Compression": gzip and gunzip of one file in place,
// with zlib.
//
// The result is written to a temporary file in the same folder and renamed
// into place only once it is complete, so a failure leaves no partial file
// and a library that is loaded from the target's folder is never written
// into. As with gzip, an existing result file is not overwritten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "host/ComponentRecord.h"

namespace vx::host {

// path -> path + ".gz", the source removed. 0 success, 1 failure.
int32_t CompressFile(const char* path);

// "x.gz" -> "x", the ".gz" file removed. 1 for a missing file, a name without
// ".gz", data that is not complete gzip, output past InflateLimit, or an
// existing "x".
int32_t DecompressFile(const char* path);

// The most output taken from this much gzip data: a few bytes can inflate
// to gigabytes, so output is bounded by a ratio and absolutely.
uint64_t InflateLimit(uint64_t compressedBytes);

// Fills the buffer with the next compressed bytes: their count, 0 at the
// end, negative on a read error.
using GzipReader = std::function<ptrdiff_t(unsigned char* buffer, size_t capacity)>;
// Takes the next decompressed bytes; false stops with a failure.
using GzipWriter = std::function<bool(const unsigned char* data, size_t size)>;

// gunzip of compressedBytes read through read: true when every member was
// complete and the output stayed within InflateLimit. Every decompression
// goes through here.
[[nodiscard]] bool InflateGzip(const GzipReader& read, const GzipWriter& write, uint64_t compressedBytes);

// Defines "Compression", version 1.0, with the two slots above.
int32_t BuildCompressionTable(CComponentManager& manager, ComponentRecord* record);

}  // namespace vx::host
