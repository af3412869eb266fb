#include "MovieTestFiles.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace vx::test {
namespace {

constexpr std::array<uint32_t, 8> kColors = {0xC02020, 0x20C020, 0x2020C0, 0xC0C020,
                                             0x20C0C0, 0xC020C0, 0xF0F0F0, 0x101010};
constexpr int32_t kSoundRate = 8000;

void Put16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::string Chunk(const char* id, const std::string& body) {
  std::string out(id, 4);
  Put32(out, static_cast<uint32_t>(body.size()));
  out += body;
  if (body.size() % 2) out.push_back('\0');
  return out;
}

std::string List(const char* type, const std::string& body) { return Chunk("LIST", std::string(type, 4) + body); }

uint32_t PixelAt(int32_t frame, int32_t y, int32_t height) {
  return y < height / 2 ? FrameColor(frame) : kBottomColor;
}

std::string WaveFormat(int16_t channels, int32_t rate) {
  std::string format;
  Put16(format, 1);
  Put16(format, static_cast<uint32_t>(channels));
  Put32(format, static_cast<uint32_t>(rate));
  Put32(format, static_cast<uint32_t>(rate) * static_cast<uint32_t>(channels) * 2);
  Put16(format, static_cast<uint32_t>(channels * 2));
  Put16(format, 16);
  return format;
}

// A quiet saw wave, so that the decoded sound is not all zero.
std::string Samples(int32_t frames, int16_t channels) {
  std::string data;
  for (int32_t i = 0; i < frames * channels; ++i) Put16(data, static_cast<uint32_t>((i % 64) * 100));
  return data;
}

// ---- pictures ----

struct Picture {
  std::string bytes;
  bool key = true;
};

// Bottom-up rows of BGR triples, each padded to 4 bytes.
Picture Uncompressed(const MovieSpec& spec, int32_t frame) {
  Picture picture;
  const int32_t rowBytes = (spec.width * 3 + 3) & ~3;
  for (int32_t y = spec.height - 1; y >= 0; --y) {
    std::string row;
    const uint32_t color = PixelAt(frame, y, spec.height);
    for (int32_t x = 0; x < spec.width; ++x) {
      row.push_back(static_cast<char>(color & 0xFF));
      row.push_back(static_cast<char>((color >> 8) & 0xFF));
      row.push_back(static_cast<char>((color >> 16) & 0xFF));
    }
    row.resize(static_cast<size_t>(rowBytes), '\0');
    picture.bytes += row;
  }
  return picture;
}

// Palette index 0..7 for the frame colours, 8 for the bottom band.
Picture Rle8(const MovieSpec& spec, int32_t frame) {
  Picture picture;
  for (int32_t y = spec.height - 1; y >= 0; --y) {
    const auto index = static_cast<char>(y < spec.height / 2 ? frame % 8 : 8);
    for (int32_t left = spec.width; left > 0; left -= 255) {
      picture.bytes.push_back(static_cast<char>(left > 255 ? 255 : left));
      picture.bytes.push_back(index);
    }
    picture.bytes.append("\0\0", 2);
  }
  picture.bytes.append("\0\1", 2);
  return picture;
}

struct EncoderFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};

// Encodes the frames with the named FFmpeg encoder; empty without it.
std::vector<Picture> Encode(const MovieSpec& spec, const char* name, AVPixelFormat format) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (!codec) return {};
  std::unique_ptr<AVCodecContext, EncoderFreer> context(avcodec_alloc_context3(codec));
  context->width = spec.width;
  context->height = spec.height;
  context->time_base = {1, spec.rate};
  context->framerate = {spec.rate, 1};
  context->pix_fmt = format;
  context->gop_size = 3;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return {};
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  frame->format = format;
  frame->width = spec.width;
  frame->height = spec.height;
  av_frame_get_buffer(frame, 0);
  SwsContext* scaler = sws_getContext(spec.width, spec.height, AV_PIX_FMT_BGR0, spec.width, spec.height, format,
                                      SWS_POINT, nullptr, nullptr, nullptr);
  std::vector<uint32_t> pixels(static_cast<size_t>(spec.width * spec.height));
  std::vector<Picture> pictures;
  auto drain = [&] {
    while (avcodec_receive_packet(context.get(), packet) == 0) {
      pictures.push_back({std::string(reinterpret_cast<char*>(packet->data), static_cast<size_t>(packet->size)),
                          (packet->flags & AV_PKT_FLAG_KEY) != 0});
      av_packet_unref(packet);
    }
  };
  for (int32_t k = 0; k < spec.frames; ++k) {
    for (int32_t y = 0; y < spec.height; ++y)
      for (int32_t x = 0; x < spec.width; ++x) pixels[static_cast<size_t>(y * spec.width + x)] = PixelAt(k, y, spec.height);
    av_frame_make_writable(frame);
    const uint8_t* source[4] = {reinterpret_cast<uint8_t*>(pixels.data()), nullptr, nullptr, nullptr};
    const int strides[4] = {spec.width * 4, 0, 0, 0};
    sws_scale(scaler, source, strides, 0, spec.height, frame->data, frame->linesize);
    frame->pts = k;
    avcodec_send_frame(context.get(), frame);
    drain();
  }
  avcodec_send_frame(context.get(), nullptr);
  drain();
  sws_freeContext(scaler);
  av_packet_free(&packet);
  av_frame_free(&frame);
  return pictures;
}

std::vector<Picture> Pictures(const MovieSpec& spec) {
  std::vector<Picture> pictures;
  switch (spec.kind) {
    case MovieKind::Uncompressed:
      for (int32_t k = 0; k < spec.frames; ++k) pictures.push_back(Uncompressed(spec, k));
      return pictures;
    case MovieKind::Rle8:
      for (int32_t k = 0; k < spec.frames; ++k) pictures.push_back(Rle8(spec, k));
      return pictures;
    case MovieKind::Mjpeg: return Encode(spec, "mjpeg", AV_PIX_FMT_YUVJ420P);
    case MovieKind::Cinepak: return Encode(spec, "cinepak", AV_PIX_FMT_RGB24);
  }
  return pictures;
}

// ---- headers ----

struct VideoFormat {
  const char* handler;
  uint32_t compression;
  uint16_t bitCount;
};

VideoFormat FormatOf(MovieKind kind) {
  switch (kind) {
    case MovieKind::Uncompressed: return {"\0\0\0\0", 0, 24};
    case MovieKind::Rle8: return {"mrle", 1, 8};
    case MovieKind::Mjpeg: return {"MJPG", 0x47504A4D, 24};
    case MovieKind::Cinepak: return {"cvid", 0x64697663, 24};
  }
  return {"\0\0\0\0", 0, 24};
}

std::string StreamHeader(const char* type, const char* handler, uint32_t scale, uint32_t rate, uint32_t length,
                         uint32_t sampleSize) {
  std::string header(type, 4);
  header.append(handler, 4);
  Put32(header, 0);  // flags
  Put32(header, 0);  // priority and language
  Put32(header, 0);  // initial frames
  Put32(header, scale);
  Put32(header, rate);
  Put32(header, 0);  // start
  Put32(header, length);
  Put32(header, 0);           // suggested buffer size
  Put32(header, 0xFFFFFFFF);  // quality
  Put32(header, sampleSize);
  Put32(header, 0);
  Put32(header, 0);
  return Chunk("strh", header);
}

std::string BitmapFormat(const MovieSpec& spec) {
  const VideoFormat format = FormatOf(spec.kind);
  std::string header;
  Put32(header, 40);
  Put32(header, static_cast<uint32_t>(spec.width));
  Put32(header, static_cast<uint32_t>(spec.height));
  Put16(header, 1);
  Put16(header, format.bitCount);
  Put32(header, format.compression);
  Put32(header, static_cast<uint32_t>(spec.width * spec.height * 3));
  Put32(header, 0);
  Put32(header, 0);
  const bool paletted = format.bitCount == 8;
  Put32(header, paletted ? 256 : 0);
  Put32(header, 0);
  if (paletted) {
    for (int32_t i = 0; i < 256; ++i) Put32(header, i < 8 ? kColors[static_cast<size_t>(i)] : kBottomColor);
  }
  return Chunk("strf", header);
}

}  // namespace

const char* NameOf(MovieKind kind) {
  switch (kind) {
    case MovieKind::Uncompressed: return "Uncompressed";
    case MovieKind::Rle8: return "Rle8";
    case MovieKind::Mjpeg: return "Mjpeg";
    case MovieKind::Cinepak: return "Cinepak";
  }
  return "";
}

uint32_t FrameColor(int32_t k) { return kColors[static_cast<size_t>(k % 8)]; }

std::string WaveFile(const WaveSpec& spec) {
  std::string body("WAVE");
  if (spec.extraChunks) body += Chunk("junk", "odd");
  body += Chunk("fmt ", WaveFormat(spec.channels, spec.rate));
  if (spec.extraChunks) body += List("INFO", Chunk("INAM", std::string("test\0", 5)));
  body += Chunk("data", Samples(spec.frames, spec.channels));
  return Chunk("RIFF", body);
}

std::string MovieFile(const MovieSpec& spec) {
  const std::vector<Picture> pictures = Pictures(spec);
  if (pictures.size() != static_cast<size_t>(spec.frames)) return {};
  const VideoFormat format = FormatOf(spec.kind);
  const int32_t soundSamples = spec.frames * kSoundRate / spec.rate;

  std::string main;
  Put32(main, static_cast<uint32_t>(1000000 / spec.rate));
  Put32(main, 0);
  Put32(main, 0);
  Put32(main, spec.index ? 0x10 : 0);
  Put32(main, static_cast<uint32_t>(spec.frames));
  Put32(main, 0);
  Put32(main, spec.withSound ? 2 : 1);
  Put32(main, 0);
  Put32(main, static_cast<uint32_t>(spec.width));
  Put32(main, static_cast<uint32_t>(spec.height));
  main.append(16, '\0');
  std::string headers = Chunk("avih", main);
  headers += List("strl", StreamHeader("vids", format.handler, 1, static_cast<uint32_t>(spec.rate),
                                       static_cast<uint32_t>(spec.frames), 0) +
                              BitmapFormat(spec));
  if (spec.withSound) {
    headers += List("strl", StreamHeader("auds", "\0\0\0\0", 2, kSoundRate * 2, static_cast<uint32_t>(soundSamples), 2) +
                                Chunk("strf", WaveFormat(1, kSoundRate)));
  }

  std::string movi("movi");
  std::string index;
  auto add = [&](const char* id, const std::string& data, bool key) {
    index.append(id, 4);
    Put32(index, key ? 0x10 : 0);
    Put32(index, static_cast<uint32_t>(movi.size()));
    Put32(index, static_cast<uint32_t>(data.size()));
    movi += Chunk(id, data);
  };
  const int32_t samplesPerFrame = kSoundRate / spec.rate;
  for (int32_t k = 0; k < spec.frames; ++k) {
    add(spec.kind == MovieKind::Uncompressed ? "00db" : "00dc", pictures[static_cast<size_t>(k)].bytes,
        pictures[static_cast<size_t>(k)].key);
    if (spec.withSound) add("01wb", Samples(samplesPerFrame, 1), true);
  }
  std::string body("AVI ");
  body += List("hdrl", headers);
  body += Chunk("LIST", movi);
  if (spec.index) body += Chunk("idx1", index);
  return Chunk("RIFF", body);
}

namespace {

// One stream of packets, each `duration` units of the time base long, laid
// out by FFmpeg's QuickTime muxer with the movie header at the end.
bool MuxQuickTime(const std::string& path, const AVCodecParameters& parameters, AVRational timeBase,
                  const std::vector<std::string>& packets, int64_t duration) {
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, "mov", path.c_str()) < 0) return false;
  const std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> out(raw, avformat_free_context);
  AVStream* stream = avformat_new_stream(out.get(), nullptr);
  if (!stream || avcodec_parameters_copy(stream->codecpar, &parameters) < 0) return false;
  stream->time_base = timeBase;
  if (avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  bool written = avformat_write_header(out.get(), nullptr) >= 0;
  for (size_t k = 0; written && k < packets.size(); ++k) {
    AVPacket* packet = av_packet_alloc();
    written = packet && av_new_packet(packet, static_cast<int>(packets[k].size())) >= 0;
    if (written) {
      std::memcpy(packet->data, packets[k].data(), packets[k].size());
      packet->pts = packet->dts = av_rescale_q(static_cast<int64_t>(k) * duration, timeBase, stream->time_base);
      packet->duration = av_rescale_q(duration, timeBase, stream->time_base);
      packet->flags |= AV_PKT_FLAG_KEY;
      written = av_interleaved_write_frame(out.get(), packet) >= 0;
    }
    av_packet_free(&packet);
  }
  written = written && av_write_trailer(out.get()) >= 0;
  avio_closep(&out->pb);
  return written;
}

}  // namespace

// PNG pictures keep the colours exactly.
bool WriteQuickTimeMovie(const std::string& path, const MovieSpec& spec) {
  std::vector<std::string> packets;
  for (Picture& picture : Encode(spec, "png", AV_PIX_FMT_RGB24)) packets.push_back(std::move(picture.bytes));
  if (packets.size() != static_cast<size_t>(spec.frames)) return false;
  AVCodecParameters parameters{};
  parameters.codec_type = AVMEDIA_TYPE_VIDEO;
  parameters.codec_id = AV_CODEC_ID_PNG;
  parameters.width = spec.width;
  parameters.height = spec.height;
  parameters.format = AV_PIX_FMT_RGB24;
  return MuxQuickTime(path, parameters, {1, spec.rate}, packets, 1);
}

bool WriteQuickTimeSound(const std::string& path, int32_t milliseconds) {
  constexpr int32_t kPacketSamples = kSoundRate / 10;
  const std::vector<std::string> packets(static_cast<size_t>(milliseconds / 100), Samples(kPacketSamples, 1));
  AVCodecParameters parameters{};
  parameters.codec_type = AVMEDIA_TYPE_AUDIO;
  parameters.codec_id = AV_CODEC_ID_PCM_S16LE;
  parameters.sample_rate = kSoundRate;
  parameters.ch_layout = AV_CHANNEL_LAYOUT_MONO;
  parameters.bits_per_coded_sample = 16;
  parameters.block_align = 2;
  return MuxQuickTime(path, parameters, {1, kSoundRate}, packets, kPacketSamples);
}

void UseNullAudio() { setenv("VANTESSEL_AUDIO", "null", 1); }

}  // namespace vx::test
