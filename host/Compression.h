// The built-in component "Compression": gzip and gunzip of one file in place,
// with zlib.
//
// The result is written to a temporary file in the same folder and renamed
// into place only once it is complete, so a failure leaves no partial file
// and a library that is loaded from the target's folder is never written
// into. As with gzip, an existing result file is not overwritten.
#pragma once

#include <cstdint>

#include "host/ComponentRecord.h"

namespace vx::host {

// path -> path + ".gz", the source removed. 0 success, 1 failure.
int32_t CompressFile(const char* path);

// "x.gz" -> "x", the ".gz" file removed. 1 for a missing file, a name without
// ".gz", data that is not complete gzip, or an existing "x".
int32_t DecompressFile(const char* path);

// Defines "Compression", version 1.0, with the two slots above.
int32_t BuildCompressionTable(CComponentManager& manager, ComponentRecord* record);

}  // namespace vx::host
