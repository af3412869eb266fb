// Movies encoded by FFmpeg's own encoders and laid out by its muxers, as a
// user's ffmpeg writes them, and the pictures FFmpeg itself decodes of
// them: what a frame must look like, frame by frame, in presentation order.
//
// The pictures are a gradient that moves a little each frame with a light
// square travelling over it, so that codecs find motion to predict (P- and
// B-frames) and every frame differs from the others.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace vx::test {

struct EncodedMovie {
  const char* name = "";       // for test names
  const char* container = "";  // FFmpeg's muxer: "avi", "mov"
  // The first of these FFmpeg has is used: an encoder's name, or a codec's
  // for any encoder of it.
  std::vector<const char*> encoders;
  int32_t bFrames = 0;  // the most B-frames in a row
  int32_t keyInterval = 12;
  int32_t frames = 30;
  int32_t width = 48;
  int32_t height = 32;
  int32_t rate = 25;
};

// Test parameters print as their names.
inline void PrintTo(const EncodedMovie& movie, std::ostream* out) { *out << movie.name; }

// Writes the movie; "" on success, else why it could not be (no encoder).
std::string WriteEncodedMovie(const std::string& path, const EncodedMovie& movie);

// The frames of a movie as FFmpeg decodes them, every one, in the order it
// hands them out, each as width x height xRGB pixels.
struct DecodedFrames {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<std::vector<uint32_t>> frames;
};
DecodedFrames DecodeWithFfmpeg(const std::string& path);

}  // namespace vx::test
