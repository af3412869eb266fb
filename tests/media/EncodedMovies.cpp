#include "EncodedMovies.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/media/library/FfmpegSupport.h"

extern "C" {
#include <libavutil/log.h>
}

namespace vx::test {
namespace {

using ffmpeg::CodecPtr;
using ffmpeg::FormatPtr;
using ffmpeg::FramePtr;
using ffmpeg::PacketPtr;
using ffmpeg::ScalerPtr;

// Frame k's pixel at (x, y), as xRGB.
uint32_t PatternAt(int32_t k, int32_t x, int32_t y, const EncodedMovie& movie) {
  const int32_t square = std::max(1, std::min({10, movie.width / 2, movie.height / 2}));
  const int32_t squareX = (k * 3) % (movie.width - square + 1);
  const int32_t squareY = (k * 2) % (movie.height - square + 1);
  if (x >= squareX && x < squareX + square && y >= squareY && y < squareY + square) return 0xF0E0D0;
  const auto red = static_cast<uint32_t>((x * 4 + k * 3) & 0xFF);
  const auto green = static_cast<uint32_t>((y * 6 + k) & 0xFF);
  return (red << 16) | (green << 8) | 0x60;
}

// An encoder by its own name ("libx264") or by its codec's ("h264": any
// encoder FFmpeg has for it).
const AVCodec* FirstEncoder(const EncodedMovie& movie) {
  for (const char* name : movie.encoders) {
    if (const AVCodec* codec = avcodec_find_encoder_by_name(name)) return codec;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get_by_name(name);
    if (const AVCodec* codec = descriptor ? avcodec_find_encoder(descriptor->id) : nullptr) return codec;
  }
  return nullptr;
}

CodecPtr OpenEncoder(const AVCodec& codec, const EncodedMovie& movie, bool globalHeader) {
  CodecPtr context(avcodec_alloc_context3(&codec));
  if (!context) return nullptr;
  context->width = movie.width;
  context->height = movie.height;
  context->time_base = {1, movie.rate};
  context->framerate = {movie.rate, 1};
  context->gop_size = movie.keyInterval;
  context->max_b_frames = movie.bFrames;
  context->pix_fmt = codec.id == AV_CODEC_ID_MJPEG ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
  context->thread_count = 1;
  if (globalHeader) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(context.get(), &codec, nullptr) < 0) return nullptr;
  return context;
}

class Muxer {
 public:
  ~Muxer() {
    if (!format_) return;
    if (format_->pb) avio_closep(&format_->pb);
    avformat_free_context(format_);
  }
  bool Open(const std::string& path, const char* container) {
    return avformat_alloc_output_context2(&format_, nullptr, container, path.c_str()) >= 0 &&
           (stream_ = avformat_new_stream(format_, nullptr)) != nullptr &&
           avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0;
  }
  bool NeedsGlobalHeader() const { return (format_->oformat->flags & AVFMT_GLOBALHEADER) != 0; }
  bool Start(const AVCodecContext& encoder) {
    stream_->time_base = encoder.time_base;
    return avcodec_parameters_from_context(stream_->codecpar, &encoder) >= 0 &&
           avformat_write_header(format_, nullptr) >= 0;
  }
  bool Write(AVPacket& packet, const AVCodecContext& encoder) {
    av_packet_rescale_ts(&packet, encoder.time_base, stream_->time_base);
    packet.stream_index = stream_->index;
    return av_interleaved_write_frame(format_, &packet) >= 0;
  }
  bool Finish() { return av_write_trailer(format_) >= 0; }

 private:
  AVFormatContext* format_ = nullptr;
  AVStream* stream_ = nullptr;
};

}  // namespace

std::string WriteEncodedMovie(const std::string& path, const EncodedMovie& movie) {
  av_log_set_level(AV_LOG_QUIET);
  const AVCodec* codec = FirstEncoder(movie);
  if (!codec) return std::string("FFmpeg has none of the encoders for ") + movie.name;
  Muxer muxer;
  if (!muxer.Open(path, movie.container)) return std::string("FFmpeg has no ") + movie.container + " muxer";
  CodecPtr encoder = OpenEncoder(*codec, movie, muxer.NeedsGlobalHeader());
  if (!encoder) return std::string("FFmpeg's ") + codec->name + " encoder does not open";
  if (!muxer.Start(*encoder)) return "the muxer refuses the stream";
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  frame->format = encoder->pix_fmt;
  frame->width = movie.width;
  frame->height = movie.height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return "no frame buffer";
  const ScalerPtr scaler(sws_getContext(movie.width, movie.height, AV_PIX_FMT_BGR0,
                                                                       movie.width, movie.height, encoder->pix_fmt,
                                                                       SWS_POINT, nullptr, nullptr, nullptr));
  std::vector<uint32_t> pixels(static_cast<size_t>(movie.width * movie.height));
  bool written = true;
  auto drain = [&] {
    while (avcodec_receive_packet(encoder.get(), packet.get()) == 0) {
      written = muxer.Write(*packet, *encoder) && written;
      av_packet_unref(packet.get());
    }
  };
  for (int32_t k = 0; k < movie.frames; ++k) {
    for (int32_t y = 0; y < movie.height; ++y)
      for (int32_t x = 0; x < movie.width; ++x) pixels[static_cast<size_t>(y * movie.width + x)] = PatternAt(k, x, y, movie);
    if (av_frame_make_writable(frame.get()) < 0) return "no frame buffer";
    const uint8_t* source[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
    const int strides[4] = {movie.width * 4, 0, 0, 0};
    sws_scale(scaler.get(), source, strides, 0, movie.height, frame->data, frame->linesize);
    frame->pts = k;
    if (avcodec_send_frame(encoder.get(), frame.get()) < 0) return "the encoder refuses a frame";
    drain();
  }
  avcodec_send_frame(encoder.get(), nullptr);
  drain();
  if (!written || !muxer.Finish()) return "the muxer could not write the movie";
  return "";
}

DecodedFrames DecodeWithFfmpeg(const std::string& path) {
  DecodedFrames decoded;
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return decoded;
  const FormatPtr format(raw);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return decoded;
  const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream < 0) return decoded;
  const AVCodec* codec = avcodec_find_decoder(format->streams[stream]->codecpar->codec_id);
  CodecPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder || avcodec_parameters_to_context(decoder.get(), format->streams[stream]->codecpar) < 0) return decoded;
  decoder->thread_count = 1;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return decoded;
  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  SwsContext* scaler = nullptr;
  auto take = [&] {
    while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
      decoded.width = frame->width;
      decoded.height = frame->height;
      scaler = sws_getCachedContext(scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                    frame->width, frame->height, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
      // The scaler writes whole blocks of pixels, so into a padded frame.
      FramePtr converted(av_frame_alloc());
      converted->format = AV_PIX_FMT_BGR0;
      converted->width = frame->width;
      converted->height = frame->height;
      if (av_frame_get_buffer(converted.get(), 64) < 0) break;
      sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, converted->data, converted->linesize);
      std::vector<uint32_t> pixels(static_cast<size_t>(frame->width * frame->height));
      for (int y = 0; y < frame->height; ++y)
        std::memcpy(pixels.data() + static_cast<size_t>(y * frame->width), converted->data[0] + y * converted->linesize[0],
                    static_cast<size_t>(frame->width) * 4);
      decoded.frames.push_back(std::move(pixels));
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == stream) avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
    take();
  }
  avcodec_send_packet(decoder.get(), nullptr);
  take();
  sws_freeContext(scaler);
  return decoded;
}

}  // namespace vx::test
