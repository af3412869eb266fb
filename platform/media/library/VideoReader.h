// The pictures of the first video stream of an AVI or QuickTime file,
// decoded by FFmpeg, whatever codec the file names (uncompressed, RLE,
// MJPEG, Cinepak, Video 1, MPEG-4 with or without B-frames ...): what the
// platform's AviFile reads through the media library's table.
//
// Frame n is the n-th picture in presentation order (FrameOrder.h). Opening
// reads the file's video chunks once and keeps them, so that any frame can
// be reached quickly whether the file has an index or not, and decodes the
// first picture, whose real size is the size of every frame handed out. A
// frame is reached by decoding forward from the key chunk at or before it;
// frames asked in order go on from where decoding stands.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include <vantessel/MediaLayer.h>

#include "platform/media/library/FrameOrder.h"

namespace vx {

struct VideoChunk;

class VideoReader {
 public:
  // The container is FFmpeg's short name of the file's format.
  [[nodiscard]] static VxMediaVideoResult Open(const char* path, const char* container,
                                               std::unique_ptr<VideoReader>* out);
  // The video stream's frames and rate without keeping its pictures; false
  // when the file has no video stream.
  [[nodiscard]] static bool Probe(const char* path, VxMediaVideoInfo* out);
  ~VideoReader();
  VideoReader(const VideoReader&) = delete;
  VideoReader& operator=(const VideoReader&) = delete;

  // The width and height are those of the decoded pictures, whatever the
  // header claims.
  const VxMediaVideoInfo& Info() const { return info_; }

  // Frame n (start <= n < start + length) as width x height xRGB pixels,
  // rows top-down; an empty span for a frame outside the stream or one that
  // cannot be decoded. The pixels stay valid until the next call.
  std::span<const uint32_t> GetFrame(int32_t n);
  // The frame on show that many seconds after the stream's start: the last
  // one that starts no later; the first one before it starts.
  int32_t FrameAt(double seconds) const;

 private:
  class Decoder;
  enum class Taken { Wanted, Passed, More };
  VideoReader();
  [[nodiscard]] bool DecodeFirstPicture();
  // The frame whose picture frame n shows: n itself, or for a chunk that
  // repeats the picture before it (an empty one), the last one with a picture.
  int32_t PictureFrameOf(int32_t frame) const;
  [[nodiscard]] bool Decode(int32_t frame);
  [[nodiscard]] bool CanGoOnTo(int32_t sync, int32_t frame) const;
  void StartAt(int32_t sync);
  Taken TakeFrames(int32_t frame);
  [[nodiscard]] bool FeedNext();
  [[nodiscard]] bool Convert();

  VxMediaVideoInfo info_{};
  std::vector<VideoChunk> chunks_;  // in decode order
  FrameOrder order_;
  double timeBase_ = 0.0;  // seconds a stream time unit
  std::unique_ptr<Decoder> decoder_;
  std::vector<uint32_t> pixels_;
  int32_t held_ = -1;  // the frame whose picture pixels_ holds
};

}  // namespace vx
