#include "platform/media/FfmpegSupport.h"

#include "platform/media/MediaPlatformLimits.h"

extern "C" {
#include <libavutil/log.h>
}

namespace vx::ffmpeg {

FormatPtr OpenInput(const char* path, const char* formatName) {
  av_log_set_level(AV_LOG_QUIET);
  const AVInputFormat* input = av_find_input_format(formatName);
  if (!path || !input) return nullptr;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path, input, nullptr) < 0) return nullptr;
  FormatPtr format(raw);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return nullptr;
  return format;
}

CodecPtr OpenDecoder(const AVFormatContext& format, int streamIndex) {
  if (streamIndex < 0 || static_cast<unsigned>(streamIndex) >= format.nb_streams) return nullptr;
  const AVCodecParameters* parameters = format.streams[streamIndex]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (!codec) return nullptr;
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), parameters) < 0) return nullptr;
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

double FrameRateOf(const AVStream& stream) {
  for (AVRational rate : {stream.avg_frame_rate, stream.r_frame_rate, av_inv_q(stream.time_base)}) {
    if (rate.num <= 0 || rate.den <= 0) continue;
    const double value = av_q2d(rate);
    if (value >= kMinFrameRate && value <= kMaxFrameRate) return value;
  }
  return kFallbackFrameRate;
}

}  // namespace vx::ffmpeg
