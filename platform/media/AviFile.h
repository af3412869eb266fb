// The AVI reader: the pictures of the first video stream of an AVI file,
// decoded by the media library (MediaLibrary.h) with FFmpeg, whatever codec
// the file names (uncompressed, RLE, MJPEG, Cinepak, Video 1, MPEG-4 with
// or without B-frames ...). The QuickTime layer reads the pictures of
// ".mov" files through it too.
//
// Frame n is the n-th picture in presentation order. Opening reads the
// file's video chunks once and keeps them, so that any frame can be reached
// quickly whether the file has an index or not, and decodes the first
// picture, whose real size is the size of every frame handed out. Frames
// asked in order go on from where decoding stands.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "platform/PlatformExport.h"

struct VxMediaLayer;
struct VxMediaVideo;

namespace vx {

struct AviFileInfo {
  int32_t width = 0;  // of the decoded pictures, whatever the header claims
  int32_t height = 0;
  int32_t streamCount = 0;
};

struct AviStreamInfo {
  int32_t start = 0;   // the first frame's number
  int32_t length = 0;  // frames
  double rate = 0.0;   // frames a second
};

enum class AviOpenResult : int32_t {
  Opened = 0,
  CannotOpen,   // no such file, not an AVI file, or no media library
  NoVideo,      // no video stream, or one of no size
  NoDecoder,    // no decoder for the stream's codec, or no first picture it decodes
  TooLarge,     // more frames, bytes or pixels than a movie may have
};

class VX_PLATFORM_API AviFile {
 public:
  // The container is FFmpeg's short name of the file's format.
  [[nodiscard]] static AviOpenResult Open(const char* path, std::unique_ptr<AviFile>* out,
                                          const char* container = "avi");
  // The video stream's frames and rate without keeping its pictures; false
  // when the file has no video stream.
  [[nodiscard]] static bool Probe(const char* path, AviStreamInfo* out);
  ~AviFile();
  AviFile(const AviFile&) = delete;
  AviFile& operator=(const AviFile&) = delete;

  const AviFileInfo& FileInfo() const { return fileInfo_; }
  const AviStreamInfo& VideoInfo() const { return videoInfo_; }

  // Frame n (start <= n < start + length) as width x height xRGB pixels,
  // rows top-down; an empty span for a frame outside the stream or one that
  // cannot be decoded. The pixels stay valid until the next call.
  std::span<const uint32_t> GetFrame(int32_t n);
  // The frame on show that many seconds after the stream's start: the last
  // one that starts no later; the first one before it starts.
  int32_t FrameAt(double seconds) const;

 private:
  AviFile(const VxMediaLayer& library, VxMediaVideo* video);

  const VxMediaLayer& library_;
  VxMediaVideo* video_;
  AviFileInfo fileInfo_;
  AviStreamInfo videoInfo_;
};

}  // namespace vx
