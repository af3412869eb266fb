#include "platform/media/library/MovieFacts.h"

#include <algorithm>

#include "platform/media/library/FfmpegSupport.h"

namespace vx {
namespace {

int32_t KindOf(const AVStream& stream) {
  switch (stream.codecpar->codec_type) {
    case AVMEDIA_TYPE_VIDEO: return VxMediaStreamVideo;
    case AVMEDIA_TYPE_AUDIO: return VxMediaStreamSound;
    case AVMEDIA_TYPE_SUBTITLE: return VxMediaStreamText;
    default: return VxMediaStreamOther;
  }
}

}  // namespace

bool DescribeMovie(const char* path, const char* container, VxMediaMovieFacts* out) {
  *out = {};
  const ffmpeg::FormatPtr format = ffmpeg::OpenInput(path, container);
  if (!format) return false;
  out->durationUs = format->duration;
  out->streamCount = static_cast<int32_t>(format->nb_streams);
  const unsigned described = std::min<unsigned>(format->nb_streams, VX_MEDIA_MAX_STREAMS);
  for (unsigned i = 0; i < described; ++i) {
    const AVStream& stream = *format->streams[i];
    out->streams[i] = {KindOf(stream), ffmpeg::FrameRateOf(stream)};
  }
  const int video = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video >= 0) {
    out->videoWidth = format->streams[video]->codecpar->width;
    out->videoHeight = format->streams[video]->codecpar->height;
  }
  return true;
}

}  // namespace vx
