// Movie and sound files that the media tests make themselves: wave files
// written chunk by chunk, and AVI files whose pictures are encoded by
// FFmpeg's encoders (MJPEG, Cinepak) or written here (uncompressed, RLE8),
// laid out in RIFF chunks by this writer with or without an "idx1" index.
// QuickTime movies are laid out by FFmpeg's muxer.
//
// Every frame shows two bands: the top half in the frame's own colour
// (FrameColor), the bottom half in kBottomColor, so that a test sees both
// which frame was drawn and that its rows are the right way up.
#pragma once

#include <cstdint>
#include <string>

namespace vx::test {

struct WaveSpec {
  int32_t rate = 8000;
  int16_t channels = 1;
  int32_t frames = 8000;
  // A "LIST" chunk between "fmt " and "data", and a chunk of odd size (with
  // its pad byte) before "fmt ".
  bool extraChunks = false;
};

// The bytes of a 16-bit PCM wave file.
std::string WaveFile(const WaveSpec& spec);

enum class MovieKind { Uncompressed, Rle8, Mjpeg, Cinepak };
// For test names.
const char* NameOf(MovieKind kind);

struct MovieSpec {
  MovieKind kind = MovieKind::Uncompressed;
  int32_t width = 32;
  int32_t height = 32;
  int32_t frames = 6;
  int32_t rate = 10;
  bool index = true;       // write "idx1"
  bool withSound = false;  // a second stream of 8 kHz mono PCM as long as the pictures
};

inline constexpr uint32_t kBottomColor = 0x808080;
// The top band's colour of frame k (eight colours, repeating).
uint32_t FrameColor(int32_t k);

// The bytes of an AVI file; empty when an encoder is missing.
std::string MovieFile(const MovieSpec& spec);

// Writes a QuickTime movie of spec's size, frames and rate (sound and kind
// are not used) to the path; false when FFmpeg lacks the PNG encoder or the
// muxer.
bool WriteQuickTimeMovie(const std::string& path, const MovieSpec& spec);
// Writes a QuickTime movie of 8 kHz mono sound only, whole tenths of a
// second long.
bool WriteQuickTimeSound(const std::string& path, int32_t milliseconds);

// Tells the media layer to use the null audio output, before any sound opens.
void UseNullAudio();

}  // namespace vx::test
