#include "platform/media/AviFile.h"

#include <algorithm>
#include <cstring>

#include "platform/Faults.h"
#include "platform/media/FfmpegSupport.h"
#include "platform/media/MediaPlatformLimits.h"

namespace vx {

struct AviFile::Chunk {
  ffmpeg::PacketPtr packet;
  int32_t keyBefore = 0;      // the last key chunk at or before this one
  int32_t paletteBefore = -1;  // the last chunk at or before this one that carries a palette
  double time = 0.0;           // seconds from the stream's start
};

class AviFile::Decoder {
 public:
  ffmpeg::CodecPtr codec;
  ffmpeg::FramePtr frame{av_frame_alloc()};
  ffmpeg::PacketPtr scratch{av_packet_alloc()};
  SwsContext* scaler = nullptr;  // sws_getCachedContext's, freed with the decoder
  ~Decoder() { sws_freeContext(scaler); }
};

AviFile::AviFile() = default;
AviFile::~AviFile() = default;

namespace {

bool CarriesPalette(const AVPacket& packet) {
  return av_packet_get_side_data(&packet, AV_PKT_DATA_PALETTE, nullptr) != nullptr;
}

// Chunks without a time of their own follow the one before by a frame.
double ChunkTime(const AVPacket& packet, const AVStream& stream, double previous, double rate) {
  const int64_t stamp = packet.pts != AV_NOPTS_VALUE ? packet.pts : packet.dts;
  if (stamp == AV_NOPTS_VALUE) return previous + 1.0 / rate;
  const int64_t start = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
  return static_cast<double>(stamp - start) * av_q2d(stream.time_base);
}

}  // namespace

AviOpenResult AviFile::Open(const char* path, std::unique_ptr<AviFile>* out, const char* container) {
  out->reset();
  if (ShouldFail(FaultKind::kOpen)) return AviOpenResult::CannotOpen;
  ffmpeg::FormatPtr format = ffmpeg::OpenInput(path, container);
  if (!format) return AviOpenResult::CannotOpen;
  const int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video < 0) return AviOpenResult::NoVideo;
  const AVStream& stream = *format->streams[video];
  const int width = stream.codecpar->width;
  const int height = stream.codecpar->height;
  if (width <= 0 || height <= 0 || width > kMaxMovieFrameSide || height > kMaxMovieFrameSide)
    return AviOpenResult::NoVideo;

  std::unique_ptr<AviFile> file(new AviFile());
  file->decoder_ = std::make_unique<Decoder>();
  file->decoder_->codec = ffmpeg::OpenDecoder(*format, video);
  if (!file->decoder_->codec || !file->decoder_->frame || !file->decoder_->scratch) return AviOpenResult::NoDecoder;
  file->fileInfo_ = {width, height, static_cast<int32_t>(format->nb_streams)};
  file->videoInfo_.rate = ffmpeg::FrameRateOf(stream);

  int64_t bytes = 0;
  ffmpeg::PacketPtr packet(av_packet_alloc());
  if (!packet) return AviOpenResult::TooLarge;
  while (av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == video) {
      bytes += packet->size;
      if (bytes > kMaxMovieVideoBytes || file->chunks_.size() >= static_cast<size_t>(kMaxMovieFrames))
        return AviOpenResult::TooLarge;
      const auto index = static_cast<int32_t>(file->chunks_.size());
      Chunk chunk;
      const bool key = index == 0 || (packet->flags & AV_PKT_FLAG_KEY) != 0;
      chunk.keyBefore = key ? index : file->chunks_.back().keyBefore;
      chunk.paletteBefore = CarriesPalette(*packet) ? index : (index > 0 ? file->chunks_.back().paletteBefore : -1);
      chunk.time = ChunkTime(*packet, stream, index > 0 ? file->chunks_.back().time : 0.0, file->videoInfo_.rate);
      chunk.packet.reset(av_packet_clone(packet.get()));
      if (!chunk.packet) return AviOpenResult::TooLarge;
      file->chunks_.push_back(std::move(chunk));
    }
    av_packet_unref(packet.get());
  }
  file->videoInfo_.length = static_cast<int32_t>(file->chunks_.size());
  *out = std::move(file);
  return AviOpenResult::Opened;
}

bool AviFile::Probe(const char* path, AviStreamInfo* out) {
  *out = {};
  ffmpeg::FormatPtr format = ffmpeg::OpenInput(path, "avi");
  if (!format) return false;
  const int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  ffmpeg::PacketPtr packet(av_packet_alloc());
  if (video < 0 || !packet) return false;
  out->rate = ffmpeg::FrameRateOf(*format->streams[video]);
  while (out->length < kMaxMovieFrames && av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == video) ++out->length;
    av_packet_unref(packet.get());
  }
  return true;
}

std::span<const uint32_t> AviFile::GetFrame(int32_t n) {
  const int64_t index = static_cast<int64_t>(n) - videoInfo_.start;
  if (index < 0 || index >= videoInfo_.length) return {};
  const auto target = static_cast<int32_t>(index);
  if (target == decoded_) return pixels_;
  const int32_t key = chunks_[static_cast<size_t>(target)].keyBefore;
  int32_t next = decoded_ + 1;
  if (decoded_ < key || decoded_ > target) {
    avcodec_flush_buffers(decoder_->codec.get());
    next = key;
  }
  const bool fresh = next == key;
  for (int32_t chunk = next; chunk <= target; ++chunk) {
    if (!DecodeChunk(chunk, fresh && chunk == key)) {
      decoded_ = -1;
      return {};
    }
  }
  return pixels_;
}

// A time given in other units than the stream's may land a rounding error
// before the frame it means.
int32_t AviFile::FrameAt(double seconds) const {
  constexpr double kSlack = 1e-6;
  const auto later = std::upper_bound(chunks_.begin(), chunks_.end(), seconds + kSlack,
                                      [](double time, const Chunk& chunk) { return time < chunk.time; });
  const auto index = static_cast<int32_t>(later - chunks_.begin()) - 1;
  return videoInfo_.start + std::max(index, 0);
}

// Decoding that starts afresh at a key chunk takes along the palette an
// earlier chunk carried, since the decoder has not seen it.
bool AviFile::DecodeChunk(int32_t index, bool fresh) {
  const Chunk& chunk = chunks_[static_cast<size_t>(index)];
  Decoder& decoder = *decoder_;
  const size_t pixelCount = static_cast<size_t>(fileInfo_.width) * static_cast<size_t>(fileInfo_.height);
  if (pixels_.size() != pixelCount) pixels_.assign(pixelCount, 0);
  decoded_ = index;
  // An empty chunk repeats the picture before it.
  if (chunk.packet->size == 0) return true;

  AVPacket* packet = decoder.scratch.get();
  av_packet_unref(packet);
  if (av_packet_ref(packet, chunk.packet.get()) < 0) return false;
  if (fresh && chunk.paletteBefore >= 0 && chunk.paletteBefore != index) {
    size_t size = 0;
    const uint8_t* palette = av_packet_get_side_data(chunks_[static_cast<size_t>(chunk.paletteBefore)].packet.get(),
                                                     AV_PKT_DATA_PALETTE, &size);
    uint8_t* copy = av_packet_new_side_data(packet, AV_PKT_DATA_PALETTE, size);
    if (copy && palette) std::memcpy(copy, palette, size);
  }
  const int sent = avcodec_send_packet(decoder.codec.get(), packet);
  av_packet_unref(packet);
  if (sent < 0 && sent != AVERROR(EAGAIN)) return false;
  AVFrame* frame = decoder.frame.get();
  const int received = avcodec_receive_frame(decoder.codec.get(), frame);
  if (received == AVERROR(EAGAIN)) return true;
  if (received < 0) return false;

  decoder.scaler = sws_getCachedContext(decoder.scaler, frame->width, frame->height,
                                        static_cast<AVPixelFormat>(frame->format), fileInfo_.width,
                                        fileInfo_.height, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
  bool converted = false;
  if (decoder.scaler) {
    uint8_t* planes[4] = {reinterpret_cast<uint8_t*>(pixels_.data()), nullptr, nullptr, nullptr};
    const int strides[4] = {fileInfo_.width * 4, 0, 0, 0};
    converted = sws_scale(decoder.scaler, frame->data, frame->linesize, 0, frame->height, planes, strides) > 0;
  }
  av_frame_unref(frame);
  return converted;
}

}  // namespace vx
