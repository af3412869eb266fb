#include "platform/media/library/FfmpegSupport.h"

#include "platform/media/MediaPlatformLimits.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace vx::ffmpeg {
namespace {

// FFmpeg's demuxers allocate some blocks at sizes a header states (a wave
// file's "LIST" item of 800 MB in a file of a few hundred bytes); no block
// of FFmpeg's may take more than the limit, so such a file is refused.
void LimitFfmpegBlocks() {
  static const bool limited = [] {
    av_max_alloc(static_cast<size_t>(kMaxFfmpegBlockBytes));
    return true;
  }();
  static_cast<void>(limited);
}

// The decoders FFmpeg opens to look into the streams keep to the same
// picture limit as ours.
bool FindStreamInfo(AVFormatContext& format) {
  std::vector<AVDictionary*> options(format.nb_streams, nullptr);
  const std::string maxPixels = std::to_string(kMaxMovieFramePixels);
  for (AVDictionary*& option : options) av_dict_set(&option, "max_pixels", maxPixels.c_str(), 0);
  const int found = avformat_find_stream_info(&format, options.empty() ? nullptr : options.data());
  for (AVDictionary*& option : options) av_dict_free(&option);
  return found >= 0;
}

// MPEG-1 system streams open with a pack header, video streams with a
// sequence header.
constexpr std::array<uint8_t, 4> kMpegPackStart = {0x00, 0x00, 0x01, 0xBA};
constexpr std::array<uint8_t, 4> kMpegSequenceStart = {0x00, 0x00, 0x01, 0xB3};

// The movie device and the AVI reader name "avi" for every movie they play:
// a file that opens as MPEG-1 goes to FFmpeg's MPEG demuxers instead.
const char* DemuxerFor(const char* path, const char* formatName) {
  if (!path || std::string_view(formatName ? formatName : "") != "avi") return formatName;
  std::array<uint8_t, 4> head{};
  std::ifstream file(path, std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(head.data()), head.size())) return formatName;
  if (head == kMpegPackStart) return "mpeg";
  if (head == kMpegSequenceStart) return kMpegVideoStream;
  return formatName;
}

}  // namespace

FormatPtr OpenInput(const char* path, const char* formatName, HeaderCheck check) {
  av_log_set_level(AV_LOG_QUIET);
  LimitFfmpegBlocks();
  const AVInputFormat* input = av_find_input_format(DemuxerFor(path, formatName));
  if (!path || !input) return nullptr;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path, input, nullptr) < 0) return nullptr;
  FormatPtr format(raw);
  if (check && !check(*format)) return nullptr;
  if (!FindStreamInfo(*format)) return nullptr;
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
  context->max_pixels = kMaxMovieFramePixels;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return context;
}

bool SoundFitsLimits(int sampleRate, int channels, bool unknownPasses) {
  const bool rateFits = (unknownPasses && sampleRate == 0) ||
                        (sampleRate >= kMinSoundSampleRate && sampleRate <= kMaxSoundSampleRate);
  const bool channelsFit = (unknownPasses && channels == 0) || (channels >= 1 && channels <= kMaxSoundChannels);
  return rateFits && channelsFit;
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
