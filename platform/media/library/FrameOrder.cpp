#include "platform/media/library/FrameOrder.h"

#include <algorithm>

extern "C" {
#include <libavutil/avutil.h>
}

namespace vx {
namespace {

// Where a chunk stands in decode order: its decode time stamp, else its place.
int64_t DecodeStamp(const ChunkStamp& chunk, size_t index) {
  return chunk.dts != AV_NOPTS_VALUE ? chunk.dts : static_cast<int64_t>(index);
}

bool HasPresentationTime(const ChunkStamp& chunk) { return chunk.pts != AV_NOPTS_VALUE; }

// A reference picture is one shown later than it is decoded: its
// presentation time is open, or lies past its decode time.
bool IsReference(const ChunkStamp& chunk, size_t index) {
  return chunk.pts == AV_NOPTS_VALUE || chunk.pts > DecodeStamp(chunk, index);
}

// A chunk without a presentation time is shown when the next reference
// picture arrives, and the last of them after everything else.
std::vector<int64_t> PresentationTimes(std::span<const ChunkStamp> chunks) {
  std::vector<int64_t> times(chunks.size());
  int64_t after = 0;
  for (size_t i = 0; i < chunks.size(); ++i)
    after = std::max({after, DecodeStamp(chunks[i], i) + 1, chunks[i].pts == AV_NOPTS_VALUE ? 0 : chunks[i].pts + 1});
  for (size_t i = chunks.size(); i-- > 0;) {
    times[i] = chunks[i].pts != AV_NOPTS_VALUE ? chunks[i].pts : after;
    if (IsReference(chunks[i], i)) after = DecodeStamp(chunks[i], i);
  }
  return times;
}

}  // namespace

FrameOrder OrderFrames(std::span<const ChunkStamp> chunks) {
  FrameOrder order;
  order.stamped = std::any_of(chunks.begin(), chunks.end(), HasPresentationTime);
  order.timed = std::all_of(chunks.begin(), chunks.end(), HasPresentationTime);
  std::vector<int64_t> times(chunks.size());
  if (order.stamped) {
    times = PresentationTimes(chunks);
  } else {
    for (size_t i = 0; i < chunks.size(); ++i) times[i] = DecodeStamp(chunks[i], i);
  }

  for (size_t i = 0; i < chunks.size(); ++i)
    if (chunks[i].shown) order.frameChunk.push_back(static_cast<int32_t>(i));
  if (order.stamped) {
    std::stable_sort(order.frameChunk.begin(), order.frameChunk.end(),
                     [&times](int32_t a, int32_t b) { return times[static_cast<size_t>(a)] < times[static_cast<size_t>(b)]; });
  }
  order.chunkFrame.assign(chunks.size(), -1);
  const int64_t first = order.frameChunk.empty() ? 0 : times[static_cast<size_t>(order.frameChunk.front())];
  for (size_t frame = 0; frame < order.frameChunk.size(); ++frame) {
    const auto chunk = static_cast<size_t>(order.frameChunk[frame]);
    order.chunkFrame[chunk] = static_cast<int32_t>(frame);
    order.frameTime.push_back(order.timed ? times[chunk] - first : static_cast<int64_t>(frame));
  }

  // A picture shown before the key chunk it follows in the file (a leading
  // B-frame of an open group) needs the group before, so decoding starts at
  // an earlier key chunk.
  std::vector<int32_t> keyBefore(chunks.size());
  for (size_t i = 0; i < chunks.size(); ++i)
    keyBefore[i] = i == 0 || chunks[i].key ? static_cast<int32_t>(i) : keyBefore[i - 1];
  order.syncChunk.resize(chunks.size());
  for (size_t i = 0; i < chunks.size(); ++i) {
    int32_t key = keyBefore[i];
    const int32_t frame = order.chunkFrame[i];
    while (frame >= 0 && key > 0 && order.chunkFrame[static_cast<size_t>(key)] > frame)
      key = keyBefore[static_cast<size_t>(key - 1)];
    order.syncChunk[i] = key;
  }
  return order;
}

}  // namespace vx
