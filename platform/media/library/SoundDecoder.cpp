#include "platform/media/library/SoundDecoder.h"

#include <algorithm>
#include <vector>

#include "platform/media/library/FfmpegSupport.h"
#include "platform/media/MediaPlatformLimits.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace vx {

struct SoundDecoder::State {
  ffmpeg::FormatPtr format;
  ffmpeg::CodecPtr codec;
  ffmpeg::ResamplerPtr resampler;
  ffmpeg::FramePtr frame{av_frame_alloc()};
  ffmpeg::PacketPtr packet{av_packet_alloc()};
  int stream = -1;
  // What the resampler was made for; frames of another kind remake it.
  int inputRate = 0;
  AVSampleFormat inputFormat = AV_SAMPLE_FMT_NONE;
  AVChannelLayout inputLayout{};
  bool draining = false;
  bool ended = false;
  std::vector<int16_t> pending;  // converted samples not read yet
  size_t pendingStart = 0;
  ~State() { av_channel_layout_uninit(&inputLayout); }
};

namespace {

int64_t LengthMsOf(const AVFormatContext& format, const AVStream& stream) {
  if (stream.duration > 0 && stream.time_base.den > 0)
    return av_rescale_q(stream.duration, stream.time_base, AVRational{1, 1000});
  if (format.duration > 0) return av_rescale(format.duration, 1000, AV_TIME_BASE);
  return 0;
}

// Every sound stream's header is held to the limits before FFmpeg decodes
// any of it; values a header leaves open are checked once the decoder knows them.
bool SoundHeadersFit(const AVFormatContext& format) {
  for (unsigned i = 0; i < format.nb_streams; ++i) {
    const AVCodecParameters& sound = *format.streams[i]->codecpar;
    if (sound.codec_type == AVMEDIA_TYPE_AUDIO &&
        !ffmpeg::SoundFitsLimits(sound.sample_rate, sound.ch_layout.nb_channels, true))
      return false;
  }
  return true;
}

bool MixesAtFullLevel(AVSampleFormat format) {
  const AVSampleFormat packed = av_get_packed_sample_fmt(format);
  return packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL;
}

}  // namespace

// The resampler turns the decoder's sound, whatever its kind, into the
// output's; a kind beyond the limits gets none.
bool SoundDecoder::Resample(int rate, int sampleFormat, const AVChannelLayout& layout) {
  State& state = *state_;
  const auto format = static_cast<AVSampleFormat>(sampleFormat);
  state.resampler.reset();
  av_channel_layout_uninit(&state.inputLayout);
  state.inputRate = rate;
  state.inputFormat = format;
  if (av_channel_layout_copy(&state.inputLayout, &layout) < 0) return false;
  if (!ffmpeg::SoundFitsLimits(rate, layout.nb_channels, false)) return false;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  SwrContext* resampler = nullptr;
  if (swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_S16, kOutputSampleRate, &state.inputLayout, format, rate, 0,
                          nullptr) < 0)
    return false;
  state.resampler.reset(resampler);
  // FFmpeg mixes decoded float samples down with the matrix as it stands:
  // the front channels keep their full level and a loud sum clips at the
  // cut to 16 bits. Only integer samples get the matrix scaled down until no
  // sum can clip, as there.
  if (MixesAtFullLevel(format) && av_opt_set_double(resampler, "rematrix_maxval", kFullLevelMixLimit, 0) < 0) {
    state.resampler.reset();
    return false;
  }
  if (swr_init(resampler) < 0) {
    state.resampler.reset();
    return false;
  }
  return true;
}

SoundDecoder::SoundDecoder() = default;
SoundDecoder::~SoundDecoder() = default;

std::unique_ptr<SoundDecoder> SoundDecoder::Open(const std::string& path, const char* formatName) {
  std::unique_ptr<SoundDecoder> decoder(new SoundDecoder());
  decoder->path_ = path;
  decoder->formatName_ = formatName;
  if (!decoder->OpenState()) return nullptr;
  const State& state = *decoder->state_;
  decoder->sampleRate_ = state.codec->sample_rate;
  decoder->lengthMs_ = LengthMsOf(*state.format, *state.format->streams[state.stream]);
  return decoder;
}

bool SoundDecoder::OpenState() {
  state_ = std::make_unique<State>();
  State& state = *state_;
  state.format = ffmpeg::OpenInput(path_.c_str(), formatName_.c_str(), SoundHeadersFit);
  if (state.format && state.frame && state.packet) {
    state.stream = av_find_best_stream(state.format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (state.stream >= 0) state.codec = ffmpeg::OpenDecoder(*state.format, state.stream);
  }
  if (!state.codec || !Resample(state.codec->sample_rate, state.codec->sample_fmt, state.codec->ch_layout)) {
    state_.reset();
    return false;
  }
  return true;
}

bool SoundDecoder::Rewind() {
  state_.reset();
  return OpenState();
}

int32_t SoundDecoder::Read(std::span<int16_t> out) {
  if (!state_) return 0;
  State& state = *state_;
  size_t written = 0;
  const size_t wanted = out.size() - out.size() % kOutputChannels;
  while (written < wanted) {
    if (state.pendingStart >= state.pending.size()) {
      state.pending.clear();
      state.pendingStart = 0;
      if (state.ended || !DecodeMore()) break;
      continue;
    }
    const size_t count = std::min(wanted - written, state.pending.size() - state.pendingStart);
    std::copy_n(state.pending.begin() + static_cast<std::ptrdiff_t>(state.pendingStart), count,
                out.begin() + static_cast<std::ptrdiff_t>(written));
    written += count;
    state.pendingStart += count;
  }
  return static_cast<int32_t>(written / kOutputChannels);
}

// Converts the next decoded frame into pending; false at the end of the
// sound or on a decoding failure (the sound then ends there).
bool SoundDecoder::DecodeMore() {
  State& state = *state_;
  AVFrame* frame = state.frame.get();
  for (;;) {
    const int received = avcodec_receive_frame(state.codec.get(), frame);
    if (received == 0) break;
    if (received != AVERROR(EAGAIN) || state.draining) {
      state.ended = true;
      return false;
    }
    const int read = av_read_frame(state.format.get(), state.packet.get());
    if (read < 0) {
      state.draining = true;
      avcodec_send_packet(state.codec.get(), nullptr);
      continue;
    }
    if (state.packet->stream_index == state.stream) avcodec_send_packet(state.codec.get(), state.packet.get());
    av_packet_unref(state.packet.get());
  }
  const bool sameKind = frame->sample_rate == state.inputRate && frame->format == state.inputFormat &&
                        av_channel_layout_compare(&frame->ch_layout, &state.inputLayout) == 0;
  if (!sameKind) {
    static_cast<void>(Resample(frame->sample_rate, frame->format, frame->ch_layout));
  }
  const int capacity = state.resampler ? swr_get_out_samples(state.resampler.get(), frame->nb_samples) : 0;
  if (capacity <= 0) {
    av_frame_unref(frame);
    return true;
  }
  state.pending.resize(static_cast<size_t>(capacity) * kOutputChannels);
  auto* target = reinterpret_cast<uint8_t*>(state.pending.data());
  const int converted = swr_convert(state.resampler.get(), &target, capacity,
                                    const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
  av_frame_unref(frame);
  state.pending.resize(static_cast<size_t>(std::max(converted, 0)) * kOutputChannels);
  return true;
}

}  // namespace vx
