#include "platform/media/library/VideoReader.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>

#include "platform/media/library/FfmpegSupport.h"
#include "platform/media/MediaPlatformLimits.h"

namespace vx {

struct VideoChunk {
  ffmpeg::PacketPtr packet;
  int32_t paletteBefore = -1;  // the last chunk at or before this one that carries a palette
};

// Where decoding stands. Chunks go to the decoder stamped with their own
// index as presentation time, so that every picture it hands back names the
// chunk it came from.
class VideoReader::Decoder {
 public:
  ffmpeg::CodecPtr codec;
  ffmpeg::FramePtr frame{av_frame_alloc()};
  ffmpeg::PacketPtr scratch{av_packet_alloc()};
  ffmpeg::FramePtr converted{av_frame_alloc()};  // the scaler's output, at the frames' size
  SwsContext* scaler = nullptr;  // sws_getCachedContext's, freed with the decoder
  int32_t started = -1;          // the key chunk decoding started at; -1 before any
  int32_t next = 0;              // the next chunk to send
  bool draining = false;         // the end of the stream was sent
  int32_t lastShown = -1;        // the frame of the last picture handed back
  int32_t counted = 0;           // streams without presentation times: the next picture's frame
  ~Decoder() { sws_freeContext(scaler); }
};

VideoReader::VideoReader() = default;
VideoReader::~VideoReader() = default;

namespace {

bool CarriesPalette(const AVPacket& packet) {
  return av_packet_get_side_data(&packet, AV_PKT_DATA_PALETTE, nullptr) != nullptr;
}

// FFmpeg marks chunks that are decoded only so that others can be (those
// before the start of a QuickTime edit); they are no frames of the movie.
bool IsShown(const AVPacket& packet) { return (packet.flags & AV_PKT_FLAG_DISCARD) == 0; }

bool FitsFrameLimits(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxMovieFrameSide && height <= kMaxMovieFrameSide &&
         static_cast<int64_t>(width) * height <= kMaxMovieFramePixels;
}

// A bare MPEG video stream carries no time stamps, and those FFmpeg's
// parser makes up for it follow decode order.
bool StampsAreMadeUp(const AVFormatContext& format) {
  return std::string_view(format.iformat->name) == ffmpeg::kMpegVideoStream;
}

// Whether the chunk's picture header says B-picture (coding type 3, in the
// bits after the 10-bit temporal reference).
bool IsMpegBPicture(const AVPacket& packet) {
  constexpr uint8_t kPictureStart[] = {0x00, 0x00, 0x01, 0x00};
  constexpr int kBPicture = 3;
  const std::span<const uint8_t> data(packet.data, static_cast<size_t>(std::max(packet.size, 0)));
  const auto header = std::search(data.begin(), data.end(), std::begin(kPictureStart), std::end(kPictureStart));
  if (data.end() - header < 6) return false;
  return ((header[5] >> 3) & 0x7) == kBPicture;
}

// Stamps of a bare MPEG video stream as an AVI file has them: B-pictures
// are shown as they are decoded, and each reference picture when the next
// one arrives.
ChunkStamp MpegStampOf(const AVPacket& packet, int64_t index) {
  return {IsMpegBPicture(packet) ? index : AV_NOPTS_VALUE, index, (packet.flags & AV_PKT_FLAG_KEY) != 0,
          IsShown(packet)};
}

// Keeps the stream's chunks and their stamps, in decode order.
VxMediaVideoResult ReadChunks(AVFormatContext& format, int stream, std::vector<VideoChunk>* chunks,
                         std::vector<ChunkStamp>* stamps) {
  const bool madeUp = StampsAreMadeUp(format);
  int64_t bytes = 0;
  ffmpeg::PacketPtr packet(av_packet_alloc());
  if (!packet) return VxMediaVideoTooLarge;
  while (av_read_frame(&format, packet.get()) >= 0) {
    if (packet->stream_index == stream) {
      bytes += packet->size;
      if (bytes > kMaxMovieVideoBytes || chunks->size() >= static_cast<size_t>(kMaxMovieFrames))
        return VxMediaVideoTooLarge;
      const auto index = static_cast<int32_t>(chunks->size());
      VideoChunk chunk;
      chunk.paletteBefore = CarriesPalette(*packet) ? index : (index > 0 ? chunks->back().paletteBefore : -1);
      chunk.packet.reset(av_packet_clone(packet.get()));
      if (!chunk.packet) return VxMediaVideoTooLarge;
      stamps->push_back(
          madeUp ? MpegStampOf(*packet, index)
                 : ChunkStamp{packet->pts, packet->dts, (packet->flags & AV_PKT_FLAG_KEY) != 0, IsShown(*packet)});
      chunks->push_back(std::move(chunk));
    }
    av_packet_unref(packet.get());
  }
  return VxMediaVideoOpened;
}

}  // namespace

VxMediaVideoResult VideoReader::Open(const char* path, const char* container, std::unique_ptr<VideoReader>* out) {
  out->reset();
  ffmpeg::FormatPtr format = ffmpeg::OpenInput(path, container);
  if (!format) return VxMediaVideoCannotOpen;
  const int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video < 0) return VxMediaVideoNoVideo;
  const AVStream& stream = *format->streams[video];
  if (stream.codecpar->width <= 0 || stream.codecpar->height <= 0) return VxMediaVideoNoVideo;

  std::unique_ptr<VideoReader> file(new VideoReader());
  file->decoder_ = std::make_unique<Decoder>();
  Decoder& decoder = *file->decoder_;
  decoder.codec = ffmpeg::OpenDecoder(*format, video);
  if (!decoder.codec || !decoder.frame || !decoder.scratch || !decoder.converted) return VxMediaVideoNoDecoder;
  VxMediaVideoInfo& info = file->info_;
  info.width = stream.codecpar->width;
  info.height = stream.codecpar->height;
  info.streamCount = static_cast<int32_t>(format->nb_streams);
  info.rate = ffmpeg::FrameRateOf(stream);
  std::vector<ChunkStamp> stamps;
  if (const VxMediaVideoResult read = ReadChunks(*format, video, &file->chunks_, &stamps); read != VxMediaVideoOpened)
    return read;
  file->order_ = OrderFrames(stamps);
  info.length = static_cast<int32_t>(file->order_.frameChunk.size());
  const bool streamUnits = file->order_.timed && stream.time_base.num > 0 && stream.time_base.den > 0;
  file->timeBase_ = streamUnits ? av_q2d(stream.time_base) : 1.0 / info.rate;
  if (!file->DecodeFirstPicture()) return VxMediaVideoNoDecoder;
  *out = std::move(file);
  return VxMediaVideoOpened;
}

// The first picture gives the size of every frame, so that a header that
// claims more costs nothing.
bool VideoReader::DecodeFirstPicture() {
  const int32_t tried = std::min(info_.length, kMaxMovieFramesTriedForSize);
  for (int32_t frame = 0; frame < tried; ++frame)
    if (!GetFrame(info_.start + frame).empty()) return true;
  return false;
}

bool VideoReader::Probe(const char* path, VxMediaVideoInfo* out) {
  *out = {};
  ffmpeg::FormatPtr format = ffmpeg::OpenInput(path, "avi");
  if (!format) return false;
  const int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  ffmpeg::PacketPtr packet(av_packet_alloc());
  if (video < 0 || !packet) return false;
  out->rate = ffmpeg::FrameRateOf(*format->streams[video]);
  while (out->length < kMaxMovieFrames && av_read_frame(format.get(), packet.get()) >= 0) {
    if (packet->stream_index == video && IsShown(*packet)) ++out->length;
    av_packet_unref(packet.get());
  }
  return true;
}

std::span<const uint32_t> VideoReader::GetFrame(int32_t n) {
  const int64_t index = static_cast<int64_t>(n) - info_.start;
  if (index < 0 || index >= info_.length) return {};
  const int32_t frame = PictureFrameOf(static_cast<int32_t>(index));
  if (frame < 0) return {};
  if (frame == held_) return pixels_;
  if (!Decode(frame)) {
    held_ = -1;
    return {};
  }
  return pixels_;
}

int32_t VideoReader::PictureFrameOf(int32_t frame) const {
  while (frame >= 0 && chunks_[static_cast<size_t>(order_.frameChunk[static_cast<size_t>(frame)])].packet->size == 0)
    --frame;
  return frame;
}

// A time given in other units than the stream's may land a rounding error
// before the frame it means.
int32_t VideoReader::FrameAt(double seconds) const {
  constexpr double kSlack = 1e-6;
  const auto later = std::upper_bound(order_.frameTime.begin(), order_.frameTime.end(), seconds + kSlack,
                                      [this](double time, int64_t stamp) { return time < stamp * timeBase_; });
  const auto index = static_cast<int32_t>(later - order_.frameTime.begin()) - 1;
  return info_.start + std::max(index, 0);
}

// Decodes forward until the decoder hands back the frame's picture. Each
// round takes every picture the decoder has, then sends it one chunk more
// (or, past the last, the end of the stream), so the loop ends within twice
// the chunks.
bool VideoReader::Decode(int32_t frame) {
  const int32_t sync = order_.syncChunk[static_cast<size_t>(order_.frameChunk[static_cast<size_t>(frame)])];
  if (!CanGoOnTo(sync, frame)) StartAt(sync);
  const size_t rounds = 2 * chunks_.size() + 4;
  for (size_t round = 0; round < rounds; ++round) {
    switch (TakeFrames(frame)) {
      case Taken::Wanted: return true;
      case Taken::Passed: return false;
      case Taken::More: break;
    }
    if (!FeedNext()) return false;
  }
  return false;
}

// Decoding goes on from where it stands when it started no later than the
// frame's key chunk, has sent that chunk already and has not handed out the
// frame yet; otherwise it starts afresh at the key chunk.
bool VideoReader::CanGoOnTo(int32_t sync, int32_t frame) const {
  const Decoder& decoder = *decoder_;
  return decoder.started >= 0 && !decoder.draining && decoder.started <= sync && sync <= decoder.next &&
         decoder.lastShown < frame;
}

void VideoReader::StartAt(int32_t sync) {
  Decoder& decoder = *decoder_;
  avcodec_flush_buffers(decoder.codec.get());
  decoder.started = sync;
  decoder.next = sync;
  decoder.draining = false;
  decoder.lastShown = -1;
  decoder.counted = static_cast<int32_t>(std::lower_bound(order_.frameChunk.begin(), order_.frameChunk.end(), sync) -
                                         order_.frameChunk.begin());
}

VideoReader::Taken VideoReader::TakeFrames(int32_t frame) {
  Decoder& decoder = *decoder_;
  AVFrame* picture = decoder.frame.get();
  for (;;) {
    const int received = avcodec_receive_frame(decoder.codec.get(), picture);
    if (received == AVERROR_EOF) return Taken::Passed;
    // A picture lost to a decoding error leaves the decoder ready for more.
    if (received < 0) return Taken::More;
    // A picture names its chunk by the stamp it was sent with; one that
    // lost its stamp follows the one before.
    int32_t shown = decoder.lastShown + 1;
    if (!order_.stamped) {
      shown = decoder.counted++;
    } else if (picture->pts >= 0 && picture->pts < static_cast<int64_t>(chunks_.size())) {
      shown = order_.chunkFrame[static_cast<size_t>(picture->pts)];
    }
    if (shown < 0) {
      av_frame_unref(picture);
      continue;
    }
    decoder.lastShown = shown;
    if (shown == frame) {
      const bool converted = Convert();
      av_frame_unref(picture);
      if (!converted) return Taken::Passed;
      held_ = frame;
      return Taken::Wanted;
    }
    av_frame_unref(picture);
    // The decoder dropped the frame's picture.
    if (shown > frame) return Taken::Passed;
  }
}

// Decoding that starts afresh at a key chunk takes along the palette an
// earlier chunk carried, since the decoder has not seen it. Empty chunks
// repeat the picture before them and are not sent: to the decoder an empty
// packet would mean the end of the stream.
bool VideoReader::FeedNext() {
  Decoder& decoder = *decoder_;
  const auto count = static_cast<int32_t>(chunks_.size());
  while (decoder.next < count && chunks_[static_cast<size_t>(decoder.next)].packet->size == 0) ++decoder.next;
  if (decoder.next >= count) {
    if (decoder.draining) return false;
    decoder.draining = true;
    return avcodec_send_packet(decoder.codec.get(), nullptr) >= 0;
  }
  const VideoChunk& chunk = chunks_[static_cast<size_t>(decoder.next)];
  AVPacket* packet = decoder.scratch.get();
  av_packet_unref(packet);
  if (av_packet_ref(packet, chunk.packet.get()) < 0) return false;
  packet->pts = packet->dts = decoder.next;
  if (decoder.next == decoder.started && chunk.paletteBefore >= 0 && chunk.paletteBefore != decoder.next) {
    size_t size = 0;
    const uint8_t* palette = av_packet_get_side_data(chunks_[static_cast<size_t>(chunk.paletteBefore)].packet.get(),
                                                     AV_PKT_DATA_PALETTE, &size);
    uint8_t* copy = av_packet_new_side_data(packet, AV_PKT_DATA_PALETTE, size);
    if (copy && palette) std::memcpy(copy, palette, size);
  }
  const int sent = avcodec_send_packet(decoder.codec.get(), packet);
  av_packet_unref(packet);
  // A chunk the decoder refuses as broken is behind us all the same; one it
  // cannot take yet goes again once its pictures were taken.
  if (sent != AVERROR(EAGAIN)) ++decoder.next;
  return true;
}

// The first picture decoded sets the size of the frames; later pictures of
// another size are scaled to it. The scaler writes whole blocks of pixels,
// past the end of a row of odd width too, so it writes into a frame of its
// own with padded rows, whose pixels are then copied out.
bool VideoReader::Convert() {
  Decoder& decoder = *decoder_;
  const AVFrame& frame = *decoder.frame;
  AVFrame& converted = *decoder.converted;
  if (pixels_.empty()) {
    if (!FitsFrameLimits(frame.width, frame.height)) return false;
    info_.width = frame.width;
    info_.height = frame.height;
    converted.format = AV_PIX_FMT_BGR0;
    converted.width = frame.width;
    converted.height = frame.height;
    constexpr int kRowAlignment = 64;
    if (av_frame_get_buffer(&converted, kRowAlignment) < 0) return false;
    pixels_.assign(static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height), 0);
  }
  decoder.scaler = sws_getCachedContext(decoder.scaler, frame.width, frame.height,
                                        static_cast<AVPixelFormat>(frame.format), info_.width, info_.height,
                                        AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
  if (!decoder.scaler ||
      sws_scale(decoder.scaler, frame.data, frame.linesize, 0, frame.height, converted.data, converted.linesize) <= 0)
    return false;
  for (int y = 0; y < info_.height; ++y)
    std::memcpy(pixels_.data() + static_cast<size_t>(y) * static_cast<size_t>(info_.width),
                converted.data[0] + static_cast<ptrdiff_t>(y) * converted.linesize[0],
                static_cast<size_t>(info_.width) * sizeof(uint32_t));
  return true;
}

}  // namespace vx
