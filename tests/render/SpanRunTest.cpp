// The span members against one pixel at a time: runs of every length from
// every start, across the row's end, on fresh and used rows, with replicas,
// for every pixel size; textured runs four pixels at a time against place by
// place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "RenderTestSupport.h"
#include "engine/render/Numeric.h"
#include "platform/Random.h"

namespace vx {
namespace {

using test::Edge;
using test::Frame;

constexpr int kWidth = 37;  // not a multiple of four: runs end in every lane
constexpr int kHeight = 5;
constexpr uint8_t kUntouched = 0xA5;

enum class Member { kDepthOnly, kFlat, kSmooth };

// Sets each depth of row 0 through one-pixel depth-only runs; the first
// clears the row.
void SetDepthRow(Frame& frame, const std::vector<float>& depths) {
  const DrawState state;
  for (int x = 0; x < kWidth; ++x) {
    SpanEdge l = Edge(static_cast<float>(x), depths[x]), r = Edge(static_cast<float>(x) + 1.0f, depths[x]);
    frame.target.FillDepthOnlySpan(0, &l, &r, state);
  }
}

// A draw state that replicates each span over `rows` rows (1, 2 or 4).
DrawState ReplicatingRows(int rows) {
  DrawState state;
  state.rows.replicateRows = rows > 1;
  state.rows.replicateFour = rows == 4;
  state.rows.rowMask = rows == 4 ? 3 : 1;
  state.rowLimit = kHeight - static_cast<int32_t>(state.rows.rowMask);
  return state;
}

struct Expected {
  std::vector<float> depth;
  std::vector<uint8_t> pixels;
};

// The run one pixel at a time: the depth of pixel k is computed from the
// run's start, never summed; colours step in 16.16.
Expected DrawSlowly(Member member, int bytes, int rows, const SpanEdge& l, const SpanEdge& r, bool fresh,
                    std::vector<float> depth, std::vector<uint8_t> pixels, uint32_t flat) {
  // A row still marked for clearing reads as cleared.
  if (fresh) std::fill(depth.begin(), depth.end(), kFarDepth);
  int first = TruncToInt(l.x + 0.5f), last = TruncToInt(r.x - 0.5f);
  if (first > last) return {depth, pixels};
  first = std::max(first, 0);
  last = std::min(last, kWidth - 1);
  const float dx = r.x - l.x == 0.0f ? 1.0f : r.x - l.x;
  const float offset = static_cast<float>(first) - l.x + 0.5f;
  auto step = [dx](float a, float b) { return (b - a) / dx; };
  const float dz = step(l.z, r.z), z0 = l.z + offset * dz;
  uint32_t channel[3], channelStep[3];
  const float lc[3] = {l.r, l.g, l.b}, rc[3] = {r.r, r.g, r.b};
  for (int c = 0; c < 3; ++c) {
    const float s = step(lc[c], rc[c]);
    channel[c] = static_cast<uint32_t>(ToFixed16Wrap(lc[c] + offset * s));
    channelStep[c] = static_cast<uint32_t>(ToFixed16Wrap(s));
  }
  for (int x = first; x <= last; ++x) {
    const uint32_t k = static_cast<uint32_t>(x - first);
    const float z = z0 + static_cast<float>(k) * dz;
    if (!fresh && !(z > depth[x])) continue;
    depth[x] = z;
    if (member == Member::kDepthOnly) continue;
    uint32_t color = flat;
    if (member == Member::kSmooth) {
      const uint32_t red = channel[0] + k * channelStep[0], green = channel[1] + k * channelStep[1],
                     blue = channel[2] + k * channelStep[2];
      color = (red & 0xFF0000) | ((green >> 8) & 0xFF00) | ((blue >> 16) & 0xFF);
    }
    for (int row = 0; row < rows; ++row)
      std::memcpy(&pixels[(static_cast<size_t>(row) * kWidth + x) * bytes], &color, bytes);
  }
  return {depth, pixels};
}

TEST(SpanRuns, EveryLengthAndStartMatchesOnePixelAtATime) {
  Random15 random(11);
  auto uniform = [&](float lo, float hi) { return lo + (hi - lo) * static_cast<float>(random.Next()) / 32767.0f; };
  struct Case {
    Member member;
    int bytes;
  };
  const Case cases[] = {{Member::kDepthOnly, 4}, {Member::kFlat, 1}, {Member::kFlat, 2},
                        {Member::kFlat, 4},      {Member::kSmooth, 4}};
  int drawn = 0, hidden = 0;
  for (const Case& c : cases) {
    for (int rows : {1, 2, 4}) {
      if (c.member == Member::kDepthOnly && rows > 1) continue;
      DrawState state = ReplicatingRows(rows);
      state.flatXrgb = 0x00C0FFEE;
      state.flat555 = 0x7ABC;
      state.flatIndex = 0x3C;
      const uint32_t flat = c.bytes == 4 ? state.flatXrgb : c.bytes == 2 ? state.flat555 : state.flatIndex;
      for (int start = -2; start < kWidth; ++start) {
        for (int length = 0; length < 14; ++length) {
          const bool fresh = (start + length) % 3 == 0;
          Frame frame(kWidth, kHeight, c.bytes);
          std::vector<float> depth(kWidth);
          for (float& z : depth) z = uniform(-1.0f, 1.0f);
          SetDepthRow(frame, depth);
          if (fresh) frame.target.Clear(false, true);
          std::fill(frame.pixels.begin(), frame.pixels.end(), kUntouched);
          const float lx = static_cast<float>(start) + uniform(-0.49f, 0.49f);
          SpanEdge l = Edge(lx, uniform(-1, 1), 1, 0, 0, uniform(2, 253), uniform(2, 253), uniform(2, 253));
          SpanEdge r = Edge(lx + static_cast<float>(length), uniform(-1, 1), 1, 0, 0, uniform(2, 253),
                            uniform(2, 253), uniform(2, 253));
          const std::vector<uint8_t> before(frame.pixels.begin(), frame.pixels.begin() + rows * kWidth * c.bytes);
          const Expected expected = DrawSlowly(c.member, c.bytes, rows, l, r, fresh, depth, before, flat);
          const SpanKind kind = c.member == Member::kDepthOnly ? SpanKind::kDepthOnly
                                : c.member == Member::kFlat    ? SpanKind::kFlat
                                                               : SpanKind::kGouraud;
          (frame.target.*CRenderTarget::SpanFillerFor(kind, c.bytes))(0, &l, &r, state);

          SCOPED_TRACE(testing::Message() << "bytes " << c.bytes << " member " << static_cast<int>(c.member)
                                          << " rows " << rows << " start " << start << " length " << length
                                          << (fresh ? " fresh" : " used"));
          for (int x = 0; x < kWidth; ++x) {
            ASSERT_EQ(frame.target.GetDepth(x, 0), expected.depth[x]) << "depth at " << x;
            drawn += expected.depth[x] != depth[x];
            hidden += expected.depth[x] == depth[x] && x >= start && x < start + length;
          }
          ASSERT_TRUE(std::equal(expected.pixels.begin(), expected.pixels.end(), frame.pixels.begin()));
          ASSERT_TRUE(std::all_of(frame.pixels.begin() + rows * kWidth * c.bytes, frame.pixels.end(),
                                  [](uint8_t b) { return b == kUntouched; }))
              << "rows past the replicas";
        }
      }
    }
  }
  // Both outcomes of the test were met often, in every lane position.
  EXPECT_GT(drawn, 10000);
  EXPECT_GT(hidden, 10000);
}

TEST(SpanRuns, DepthIsComputedAtEveryPixelWithoutASumDrifting) {
  constexpr int kLong = 4096;
  Frame frame(kLong, 1, 4);
  const DrawState state;
  SpanEdge l = Edge(0.0f, -0.7f), r = Edge(static_cast<float>(kLong), 0.9f);
  frame.target.FillFlatSpan32(0, &l, &r, state);
  const float dz = (r.z - l.z) / (r.x - l.x), z0 = l.z + 0.5f * dz;
  for (int x = 0; x < kLong; ++x) {
    ASSERT_EQ(frame.target.GetDepth(x, 0), z0 + static_cast<float>(x) * dz) << x;
    ASSERT_NEAR(frame.target.GetDepth(x, 0), -0.7 + 1.6 * (x + 0.5) / kLong, 1e-6) << x;
  }
}

// Polygons in one plane meet in exact ties whatever their members: the one
// drawn first stays, in every pixel.
TEST(SpanRuns, CoplanarRunsOfEveryKindTie) {
  constexpr int kLong = 1024;
  std::vector<uint32_t> texels(4, 0x00123456);
  RenderBufferDesc texture{reinterpret_cast<uint8_t*>(texels.data()), 2, 2, 4, 8};
  SpanEdge l = Edge(0.3f, -0.61f, 1, 0, 0, 10, 10, 10), r = Edge(kLong - 0.3f, 0.87f, 1, 7, 3, 200, 200, 200);
  DrawState state;
  state.flatXrgb = 0x00ABCDEF;
  state.shadeLevel = 255;
  const SpanKind kinds[] = {SpanKind::kFlat, SpanKind::kGouraud, SpanKind::kDepthOnly, SpanKind::kTextured,
                            SpanKind::kUnlitTextured, SpanKind::kGouraudTextured, SpanKind::kKeyedTextured};
  for (SpanKind firstKind : kinds) {
    Frame frame(kLong, 1, 4);
    frame.target.SetTexture(&texture);
    (frame.target.*CRenderTarget::SpanFillerFor(firstKind, 4))(0, &l, &r, state);
    const std::vector<uint8_t> before = frame.pixels;
    std::vector<float> depth(kLong);
    for (int x = 0; x < kLong; ++x) depth[x] = frame.target.GetDepth(x, 0);
    for (SpanKind secondKind : kinds) {
      (frame.target.*CRenderTarget::SpanFillerFor(secondKind, 4))(0, &l, &r, state);
      EXPECT_EQ(frame.pixels, before) << static_cast<int>(firstKind) << " then " << static_cast<int>(secondKind);
      for (int x = 0; x < kLong; ++x) ASSERT_EQ(frame.target.GetDepth(x, 0), depth[x]) << x;
    }
  }
}

// Each written pixel of a smooth 16-bit run takes the row's next dither
// offset, so pixels hidden inside a group of four must not use up offsets.
// Channels just below a step of 8 show how large the offset was.
TEST(SpanRuns, HiddenPixelsTakeNoDitherOffset) {
  constexpr int kRun = 40;
  const DrawState state;
  SpanEdge l = Edge(0, 0.5f, 1, 0, 0, 100.0f, 102.0f, 103.0f), r = Edge(kRun, 0.5f, 1, 0, 0, 100.0f, 102.0f, 103.0f);
  Frame frame(kRun, 1, 2);
  frame.target.FillGouraudSpan16(0, &l, &r, state);
  std::vector<uint16_t> everyOffset;
  for (int x = 0; x < kRun; ++x) everyOffset.push_back(frame.At<uint16_t>(x, 0));

  for (int pattern = 1; pattern < 16; ++pattern) {
    frame.target.Clear(true, true);
    std::vector<float> depth(kRun);
    for (int x = 0; x < kRun; ++x) depth[x] = (pattern >> (x & 3)) & 1 ? -0.5f : 0.9f;
    SpanEdge dl, dr;
    for (int x = 0; x < kRun; ++x) {
      dl = Edge(static_cast<float>(x), depth[x]), dr = Edge(static_cast<float>(x) + 1.0f, depth[x]);
      frame.target.FillDepthOnlySpan(0, &dl, &dr, state);
    }
    frame.target.FillGouraudSpan16(0, &l, &r, state);
    size_t next = 0;
    for (int x = 0; x < kRun; ++x) {
      if (depth[x] > 0.5f) {
        EXPECT_EQ(frame.At<uint16_t>(x, 0), 0) << "hidden pixel " << x;
      } else {
        EXPECT_EQ(frame.At<uint16_t>(x, 0), everyOffset[next++]) << "pattern " << pattern << " pixel " << x;
      }
    }
  }
  // The offsets were not all the same, or the test would show nothing.
  EXPECT_NE(std::count(everyOffset.begin(), everyOffset.end(), everyOffset[0]), kRun);
}

// A repeating texture of power-of-two sides whose rows lie `pitch` texels
// apart: rows padded to a pitch that is no power of two are read place by
// place, the others four pixels at a time, and both must read alike.
struct PaddedTexture {
  PaddedTexture(int w, int h, int pitch, int bytes, Random15& random)
      : texels(static_cast<size_t>(pitch) * h * bytes), desc{nullptr, w, h, bytes, pitch * bytes} {
    for (uint8_t& b : texels) b = static_cast<uint8_t>(random.Next());
    desc.base = texels.data();
  }
  void CopyFrom(const PaddedTexture& other) {
    for (int y = 0; y < desc.height; ++y)
      std::memcpy(texels.data() + static_cast<size_t>(y) * desc.rowBytes,
                  other.texels.data() + static_cast<size_t>(y) * other.desc.rowBytes,
                  static_cast<size_t>(desc.width) * desc.bytesPerPixel);
  }
  std::vector<uint8_t> texels;
  RenderBufferDesc desc;
};

TEST(SpanRuns, TexturedRunsFourAtATimeReadWhatPlaceByPlaceReads) {
  constexpr int kRunWidth = 45;  // not a multiple of four, room for two blocks of 16
  Random15 random(5);
  auto uniform = [&](float lo, float hi) { return lo + (hi - lo) * static_cast<float>(random.Next()) / 32767.0f; };
  const SpanKind kinds[] = {SpanKind::kTextured, SpanKind::kGouraudTextured, SpanKind::kUnlitTextured,
                            SpanKind::kKeyedTextured};
  int compared = 0;
  for (int bytes : {1, 2, 4}) {
    PaddedTexture packed(16, 8, 16, bytes, random), padded(16, 8, 19, bytes, random);
    padded.CopyFrom(packed);
    // A key that some texels match.
    uint32_t key = 0;
    std::memcpy(&key, packed.texels.data() + 5 * bytes, bytes);
    for (SpanKind kind : kinds) {
      for (int rows : {1, 2, 4}) {
        DrawState state = ReplicatingRows(rows);
        state.shadeLevel = 180;
        Frame quick(kRunWidth, kHeight, bytes), slow(kRunWidth, kHeight, bytes);
        quick.target.SetTexture(&packed.desc);
        slow.target.SetTexture(&padded.desc);
        for (Frame* frame : {&quick, &slow}) frame->target.SetChromaKey(key & 0xFF, key & 0xFFFF, key & 0x00FFFFFF);
        for (int start = -2; start < kRunWidth; ++start) {
          for (int length : {0, 1, 2, 3, 4, 5, 6, 7, 9, 12, 15, 16, 17, 21, 25, 31, 33, 38, 44, 50}) {
            const bool fresh = (start + length) % 3 == 0;
            std::vector<float> depth(kRunWidth);
            for (float& z : depth) z = uniform(-1.0f, 1.0f);
            const float lx = static_cast<float>(start) + uniform(-0.49f, 0.49f);
            const float lq = uniform(0.2f, 2.0f), rq = uniform(0.2f, 2.0f);
            // Coordinates far beyond the texture as well as within it.
            const float reach = length % 2 ? 40.0f : 3000.0f;
            SpanEdge l =
                Edge(lx, uniform(-1, 1), lq, lq * uniform(-reach, reach), lq * uniform(-reach, reach), uniform(2, 253));
            SpanEdge r = Edge(lx + static_cast<float>(length), uniform(-1, 1), rq, rq * uniform(-reach, reach),
                              rq * uniform(-reach, reach), uniform(2, 253));
            for (Frame* frame : {&quick, &slow}) {
              frame->target.Clear(true, true);
              for (int x = 0; x < kRunWidth; ++x) {
                SpanEdge dl = Edge(static_cast<float>(x), depth[x]), dr = Edge(static_cast<float>(x) + 1.0f, depth[x]);
                frame->target.FillDepthOnlySpan(0, &dl, &dr, state);
              }
              if (fresh) frame->target.Clear(false, true);
              (frame->target.*CRenderTarget::SpanFillerFor(kind, bytes))(0, &l, &r, state);
            }
            SCOPED_TRACE(testing::Message()
                         << "bytes " << bytes << " kind " << static_cast<int>(kind) << " rows " << rows << " start "
                         << start << " length " << length << (fresh ? " fresh" : " used"));
            ASSERT_EQ(quick.pixels, slow.pixels);
            for (int x = 0; x < kRunWidth; ++x) ASSERT_EQ(quick.target.GetDepth(x, 0), slow.target.GetDepth(x, 0)) << x;
            ++compared;
          }
        }
      }
    }
  }
  EXPECT_GT(compared, 30000);
}

// The quick conversions agree with the exact ones at the edges of the range.
TEST(SpanRuns, ConversionsAtTheEdgesOfTheRange) {
  auto exactTrunc = [](float v) { return TruncToInt(static_cast<double>(v)); };
  auto exactFixed = [](float v) {
    const double scaled = static_cast<double>(v) * 65536.0;
    if (!(std::abs(scaled) < 9223372036854775808.0)) return int32_t{0};
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(scaled))));
  };
  const float below = std::nextafter(2147483648.0f, 0.0f);
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  for (float v : {0.0f, -0.0f, 0.99f, -0.99f, below, -below, 2147483648.0f, -2147483648.0f,
                  std::nextafter(-2147483648.0f, -inf), 3e10f, -3e10f, inf, -inf, nan, 1e-45f})
    EXPECT_EQ(TruncToInt(v), exactTrunc(v)) << v;
  for (float v : {0.0f, 1.5f, -1.5f, std::nextafter(32768.0f, 0.0f), 32768.0f, -32768.0f,
                  std::nextafter(-32768.0f, -inf), 40000.0f, -40000.0f, 1e12f, 1e30f, inf, nan, 1e-45f})
    EXPECT_EQ(ToFixed16Wrap(v), exactFixed(v)) << v;
}

}  // namespace
}  // namespace vx
