// The order in which a video stream's pictures are shown, worked out from
// the time stamps of its chunks before anything is decoded. Codecs with
// B-frames store a picture after the ones that refer to it, so the order of
// the chunks in the file (decode order) is not the order on screen
// (presentation order): frame n of a movie is the n-th picture shown.
//
// QuickTime files stamp every chunk with its presentation time. AVI files
// stamp only their decode order; there FFmpeg's demuxer leaves the
// presentation time of a reference picture (I or P) open, because that
// picture is shown only when the next reference picture arrives, which is
// what the order below takes for it. MPEG-1 system streams stamp some
// reference pictures and leave others open; an open one is shown when the
// next reference picture, stamped or not, arrives. A stream without any presentation
// time is taken as shown in decode order, each key chunk starting a run of
// pictures that the decoder hands out in their order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vx {

// One chunk, in decode order; pts and dts are AV_NOPTS_VALUE where unknown.
struct ChunkStamp {
  int64_t pts = 0;
  int64_t dts = 0;
  bool key = false;
  bool shown = true;  // false for chunks decoded only to reach others
};

struct FrameOrder {
  // Presentation order: the chunk of each frame, and its time counted from
  // the first frame shown: in stream units when every chunk carries its
  // presentation time (timed), else in frames.
  std::vector<int32_t> frameChunk;
  std::vector<int64_t> frameTime;
  bool timed = false;
  // Per chunk: its frame (-1 for a chunk not shown), and the key chunk that
  // decoding starts from to reach it.
  std::vector<int32_t> chunkFrame;
  std::vector<int32_t> syncChunk;
  // False when the stream carries no presentation times: the decoder's
  // pictures are then counted from the key chunk decoding started at.
  bool stamped = false;
};

FrameOrder OrderFrames(std::span<const ChunkStamp> chunks);

}  // namespace vx
