// Owners of the FFmpeg objects that the movie and sound layer opens, so that
// every road out of an open releases what was made.
#pragma once

#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace vx::ffmpeg {

struct FormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct ResamplerFreer {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFreer>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;

// FFmpeg's demuxer of bare MPEG video streams.
inline constexpr const char* kMpegVideoStream = "mpegvideo";

// Tells whether a file whose header was read may be looked into further.
using HeaderCheck = bool (*)(const AVFormatContext& format);

// Opens a file with the demuxer of that short name ("avi", "wav"; "avi"
// opens MPEG-1 files, system or video streams, too); null when
// it cannot be opened or read as that format, or when the check refuses its
// header (made before FFmpeg decodes anything of it). FFmpeg's own messages
// stay quiet: failures are the callers' results.
FormatPtr OpenInput(const char* path, const char* formatName, HeaderCheck check = nullptr);

// A decoder opened for stream index of the file; null when FFmpeg has none
// for its codec or cannot open it. Its pictures are held to the movie
// limits, so a frame that claims more is refused rather than allocated.
CodecPtr OpenDecoder(const AVFormatContext& format, int streamIndex);

// Whether sound of that rate and channel count is within the limits; 0
// stands for a value not known yet and passes when unknownPasses.
bool SoundFitsLimits(int sampleRate, int channels, bool unknownPasses);

// The stream's frames a second: its average rate, else its base rate, else
// one frame per time unit; kFallbackFrameRate when none is plausible.
double FrameRateOf(const AVStream& stream);

}  // namespace vx::ffmpeg
