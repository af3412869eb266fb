// The host's fuzz entries, shared by the libFuzzer targets and the test that
// replays their corpora. Each takes arbitrary bytes and answers whether what
// must hold of the result held; a crash or a false answer is a finding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// An HTTP response fed in blocks (the first byte picks their size) and then
// closed by the server gives the same result as fed whole, and never a body
// beyond its Content-Length or the body cap.
bool FeedHttpResponse(const uint8_t* data, size_t size);

// config.txt: the settings read back from what was written are the ones read.
bool ReadConfigBytes(const uint8_t* data, size_t size);

// Both registry formats; a product registry written as the local file reads
// back as the same products.
bool ReadRegistryBytes(const uint8_t* data, size_t size);

// Library file names, one a line: a parsed name made again parses the same,
// and the selection keeps one name per component of the product's major.
bool ReadLibraryFileNames(const uint8_t* data, size_t size);

// gzip data never inflates past its limit.
bool GunzipBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
