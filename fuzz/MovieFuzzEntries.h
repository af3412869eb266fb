// The fuzz entries of the movie, sound and PICT readers, shared by the
// libFuzzer targets and the test that replays their corpora. Each takes
// arbitrary bytes as a file and answers whether what must hold of the
// result held; a crash or a false answer is a finding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vx::fuzz {

// A movie: the first byte's low bit chooses an AVI (0) or a QuickTime (1)
// file, the rest is the file. One that opens has frames of one size within
// the movie limits, each of which decodes to that size or not at all, in
// order, backwards and by time.
bool DecodeMovieBytes(const uint8_t* data, size_t size);

// A wave file: one that opens plays on the null output, volume changed,
// sought back and played again, and never queues more than the output's
// lead nor hears a sample louder than 16 bits hold.
bool PlaySoundBytes(const uint8_t* data, size_t size);

// A PICT file: one whose header is read has a frame within the picture
// limits, and draws into corners of it (its first and its last pixels).
bool DrawPictBytes(const uint8_t* data, size_t size);

}  // namespace vx::fuzz
