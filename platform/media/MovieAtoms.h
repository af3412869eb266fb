// What the QuickTime layer reads from a movie file's own atoms rather than
// through FFmpeg, which keeps none of it: the movie's time scale, duration
// and preferred rate, each track's media handler type and first sample
// duration, and the user-data items ("NAVG", "REAL") of object and
// panorama movies.
//
// Atoms are big-endian size and type words; a size of 1 takes a 64-bit size
// after the type, 0 runs to the end of the enclosing atom. Reading keeps
// within the bytes it is given: an atom that claims more ends the walk.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/PlatformExport.h"

namespace vx {

// A four-character code as the big-endian number of its four bytes.
constexpr uint32_t FourCharCode(const char (&code)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) | static_cast<uint32_t>(static_cast<uint8_t>(code[3]));
}

struct MovieTrackAtoms {
  uint32_t handlerType = 0;     // "vide", "soun", "STpn" ...; 0 when the track names none
  uint32_t mediaTimeScale = 0;  // 0 when unknown
  uint32_t firstSampleDuration = 0;
  bool hasSamples = false;  // the track's time-to-sample table has an entry
};

struct MovieUserDataItem {
  uint32_t type = 0;
  std::vector<uint8_t> bytes;
};

struct MovieAtoms {
  uint32_t timeScale = 0;
  uint32_t duration = 0;  // in the time scale; longer ones are held at the largest
  int32_t preferredRate = 0;  // 16.16
  std::vector<MovieTrackAtoms> tracks;
  std::vector<MovieUserDataItem> userData;
};

// Reads the body of a "moov" atom; false when it has no movie header.
[[nodiscard]] VX_PLATFORM_API bool ParseMovieAtoms(std::span<const uint8_t> moov, MovieAtoms* out);

// Finds the "moov" atom among the file's top-level atoms and reads it; false
// when there is none, it is too large, or it cannot be read.
[[nodiscard]] VX_PLATFORM_API bool ReadMovieAtoms(const char* path, MovieAtoms* out);

}  // namespace vx
