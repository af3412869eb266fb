#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "RenderTestSupport.h"
#include "engine/render/Numeric.h"
#include "platform/Random.h"

namespace vx {
namespace {

using test::Edge;
using test::Frame;

// A texture whose texel holds its own column (and row in the top bits).
template <typename P>
struct Texture {
  Texture(int w, int h) : texels(static_cast<size_t>(w) * h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) texels[static_cast<size_t>(y) * w + x] = static_cast<P>(x | (y << 12));
    desc = {reinterpret_cast<uint8_t*>(texels.data()), w, h, static_cast<int32_t>(sizeof(P)),
            static_cast<int32_t>(w * sizeof(P))};
  }
  std::vector<P> texels;
  RenderBufferDesc desc;
};

TEST(SpanSetup, RoundsByTruncationAndClamps) {
  DrawState state;
  Frame frame(640, 4, 4);
  state.flatXrgb = 1;
  SpanEdge l = Edge(10.2f, 0), r = Edge(10.8f, 0);
  frame.target.FillFlatSpan32(0, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(10, 0), 1u);
  EXPECT_EQ(frame.At<uint32_t>(9, 0) + frame.At<uint32_t>(11, 0), 0u);
  l = Edge(-5.3f, 0), r = Edge(0.3f, 0);  // last = trunc(-0.2) = 0
  frame.target.FillFlatSpan32(1, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(0, 1), 1u);
  l = Edge(630.0f, 0), r = Edge(700.0f, 0);
  frame.target.FillFlatSpan32(2, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(639, 2), 1u);
  // Wholly right of the target: nothing drawn, but the row is cleared.
  l = Edge(700.0f, 0), r = Edge(800.0f, 0);
  frame.target.FillFlatSpan32(3, &l, &r, state);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(0, 3), kFarDepth);
  EXPECT_EQ(frame.At<uint32_t>(639, 3), 0u);
}

TEST(FlatAndSmoothSpans, MatchASlowReferenceOnFreshAndUsedRows) {
  DrawState state;
  Random15 random(7);
  auto uniform = [&](float lo, float hi) { return lo + (hi - lo) * random.Next() / 32767.0f; };
  for (int trial = 0; trial < 200; ++trial) {
    Frame fresh(96, 1, 4), used(96, 1, 4);
    // "used": the same row, cleared by a run that drew nothing visible.
    SpanEdge behindL = Edge(-50, kFarDepth * 2), behindR = Edge(200, kFarDepth * 2);
    used.target.FillDepthOnlySpan(0, &behindL, &behindR, state);
    const float lx = uniform(-10, 60), rx = lx + uniform(0, 60);
    SpanEdge l = Edge(lx, uniform(-1, 1), 1, 0, 0, uniform(2, 253), uniform(2, 253), uniform(2, 253));
    SpanEdge r = Edge(rx, uniform(-1, 1), 1, 0, 0, uniform(2, 253), uniform(2, 253), uniform(2, 253));
    fresh.target.FillGouraudSpan32(0, &l, &r, state);
    used.target.FillGouraudSpan32(0, &l, &r, state);
    ASSERT_EQ(fresh.pixels, used.pixels);
    const int first = std::max(0, static_cast<int>(lx + 0.5f)), last = std::min(95, static_cast<int>(rx - 0.5f));
    const double dx = rx - lx == 0 ? 1.0 : static_cast<double>(rx) - lx;
    for (int x = 0; x < 96; ++x) {
      const uint32_t pixel = fresh.At<uint32_t>(x, 0);
      if (x < first || x > last) {
        ASSERT_EQ(pixel, 0u);
        continue;
      }
      const double t = (x + 0.5 - lx) / dx;
      const float channels[3][2] = {{l.r, r.r}, {l.g, r.g}, {l.b, r.b}};
      for (int c = 0; c < 3; ++c) {
        const double expected = channels[c][0] + (channels[c][1] - channels[c][0]) * t;
        const int got = static_cast<int>((pixel >> (16 - 8 * c)) & 0xFF);
        ASSERT_NEAR(got, expected, 1.5) << "trial " << trial << " x " << x;
      }
      ASSERT_NEAR(fresh.target.GetDepth(x, 0), l.z + (r.z - l.z) * t, 1e-4);
    }
  }
}

TEST(SmoothSpan16, DitherAddsAtMostOneStepAndNeverCarries) {
  DrawState state;
  Frame frame(640, 8, 2);
  for (float c : {2.0f, 7.9f, 100.0f, 243.0f}) {
    frame.target.Clear(true, true);
    SpanEdge l = Edge(0, 0.5f, 1, 0, 0, c, 0, c), r = Edge(640, 0.5f, 1, 0, 0, c, 0, c);
    frame.target.FillGouraudSpan16(3, &l, &r, state);
    const int low = static_cast<int>(c) >> 3;
    for (int x = 0; x < 640; ++x) {
      const uint16_t p = frame.At<uint16_t>(x, 3);
      const int red = p >> 10, green = (p >> 5) & 31, blue = p & 31;
      ASSERT_TRUE(red == low || red == low + 1) << c << " at " << x;
      ASSERT_EQ(red, blue);
      ASSERT_EQ(green, 0);
      ASSERT_EQ(p & 0x8000, 0);
    }
  }
}

TEST(TexturedSpan, ShadingByLevelOn16And32BitTargets) {
  DrawState state;
  Frame frame16(8, 1, 2);
  std::vector<uint16_t> white16(4, 0x7FFF);
  RenderBufferDesc tex16{reinterpret_cast<uint8_t*>(white16.data()), 2, 2, 2, 4};
  frame16.target.SetTexture(&tex16);
  SpanEdge l = Edge(0, 0.5f), r = Edge(1, 0.5f);
  const std::pair<int, uint16_t> cases16[] = {{253, 0x7FFF}, {243, 0x7BDE}, {0, 0}};
  for (auto [level, expected] : cases16) {
    frame16.target.Clear(true, true);
    state.shadeLevel = level;
    frame16.target.FillTexturedSpan16(0, &l, &r, state);
    EXPECT_EQ(frame16.At<uint16_t>(0, 0), expected) << level;
  }

  Frame frame32(8, 1, 4);
  std::vector<uint32_t> texels32(4, 0xAB80FF40);
  RenderBufferDesc tex32{reinterpret_cast<uint8_t*>(texels32.data()), 2, 2, 4, 8};
  frame32.target.SetTexture(&tex32);
  state.shadeLevel = 255;
  frame32.target.FillTexturedSpan32(0, &l, &r, state);
  EXPECT_EQ(frame32.At<uint32_t>(0, 0), 0x0080FF40u);  // shaded pixels have a zero top byte
  frame32.target.Clear(true, true);
  frame32.target.FillUnlitTexturedSpan32(0, &l, &r, state);
  EXPECT_EQ(frame32.At<uint32_t>(0, 0), 0xAB80FF40u);
  // A smooth level from r: 255 at both edges leaves the texel's colour.
  frame32.target.Clear(true, true);
  SpanEdge lit = Edge(0, 0.5f, 1, 0, 0, 255.5f), litR = Edge(1, 0.5f, 1, 0, 0, 255.5f);
  frame32.target.FillGouraudTexturedSpan32(0, &lit, &litR, state);
  EXPECT_EQ(frame32.At<uint32_t>(0, 0), 0x0080FF40u);
  // Palette targets copy texels unshaded whatever the level.
  Frame frame8(8, 1, 1);
  std::vector<uint8_t> texels8(4, 201);
  RenderBufferDesc tex8{texels8.data(), 2, 2, 1, 2};
  frame8.target.SetTexture(&tex8);
  state.shadeLevel = 0;
  frame8.target.FillGouraudTexturedSpan8(0, &l, &r, state);
  EXPECT_EQ(frame8.At<uint8_t>(0, 0), 201);
}

TEST(TexturedSpan, NarrowTexturesHugeCoordinatesAndWrongPixelSizes) {
  DrawState state;
  Frame frame(64, 1, 4);
  Texture<uint32_t> line(1, 1);
  frame.target.SetTexture(&line.desc);
  SpanEdge l = Edge(0, 0.5f, 1, -1e12f, 3e9f), r = Edge(64, 0.5f, 1, 1e12f, std::numeric_limits<float>::infinity());
  frame.target.FillUnlitTexturedSpan32(0, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(10, 0), 0u);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(10, 0), 0.5f);

  Texture<uint16_t> wrongSize(8, 8);
  frame.target.Clear(true, true);
  frame.target.SetTexture(&wrongSize.desc);
  frame.target.FillTexturedSpan32(0, &l, &r, state);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(10, 0), kFarDepth);
  EXPECT_EQ(CRenderTarget::SelectSpanKind(SpanMode::kFill | SpanMode::kTextured, false), SpanKind::kFlat);
}

// The u a textured run uses at pixel x: exact (a division) at the schedule's
// points and linear between them, computed slowly in double precision.
double ExactU(const SpanEdge& l, const SpanEdge& r, double x) {
  const double t = (x + 0.5 - l.x) / (static_cast<double>(r.x) - l.x);
  return (l.uq + (r.uq - l.uq) * t) / (l.q + (r.q - l.q) * t);
}

// Checks the columns of a run from `first` to `last`: the head steps
// linearly from the exact first pixel by the edges' own end values; every
// later stage starts exact at the points given and stays between its ends.
void ExpectColumns(const Frame& frame, const SpanEdge& l, const SpanEdge& r, int first, int last,
                   const std::vector<int>& exactAt) {
  auto column = [&](int x) { return static_cast<int>(frame.At<uint32_t>(x, 0) & 0xFFF); };
  const double headStep = last > first ? (r.uq / r.q - l.uq / l.q) / (last - first) : 0.0;
  const double u0 = ExactU(l, r, first);
  for (int x = first; x < (exactAt.empty() ? last + 1 : exactAt.front()); ++x)
    EXPECT_NEAR(column(x), std::floor(u0 + (x - first) * headStep), 1.0) << x;
  for (size_t k = 0; k < exactAt.size(); ++k) {
    const int x0 = exactAt[k];
    const double start = ExactU(l, r, x0);
    if (std::abs(start - std::round(start)) > 0.01) {
      EXPECT_EQ(column(x0), static_cast<int>(std::floor(start))) << x0;
    }
    const int x1 = k + 1 < exactAt.size() ? exactAt[k + 1] : last + 1;
    const double end = ExactU(l, r, x1);
    for (int x = x0 + 1; x < x1; ++x) {
      EXPECT_GE(column(x), std::floor(std::min(start, end)) - 1) << x;
      EXPECT_LE(column(x), std::floor(std::max(start, end)) + 1) << x;
    }
  }
}

// In every form of texel addressing: a repeating texture of a power-of-two
// width, one of another width, and a clamping one.
TEST(TexturedSpan, PerspectiveIsExactAtTheBlockBoundaries) {
  DrawState state;
  for (const auto& [width, addressing] : {std::pair{1024, TextureAddressing{}}, std::pair{1021, TextureAddressing{}},
                                          std::pair{1021, TextureAddressing{false, false}}}) {
    SCOPED_TRACE(::testing::Message() << width << (addressing.repeatS ? " repeating" : " clamping"));
    Texture<uint32_t> texture(width, 2);
    {
      // 37 pixels from x = 5: head 5-7, blocks 8-23 and 24-39, tail 40-41.
      Frame frame(64, 1, 4);
      frame.target.SetTexture(&texture.desc, addressing);
      SpanEdge l = Edge(4.6f, 0.5f, 1.0f, 10.0f), r = Edge(42.3f, 0.5f, 0.25f, 900.0f * 0.25f);
      frame.target.FillUnlitTexturedSpan32(0, &l, &r, state);
      ExpectColumns(frame, l, r, 5, 41, {8, 24, 40});
      EXPECT_EQ(frame.At<uint32_t>(42, 0), 0u);
    }
    {
      // 31 pixels from x = 8: no head; one block each of 16, 8 and 4, tail 3.
      Frame frame(64, 1, 4);
      frame.target.SetTexture(&texture.desc, addressing);
      SpanEdge l = Edge(7.6f, 0.5f, 0.2f, 0.2f * 3.0f), r = Edge(39.3f, 0.5f, 1.0f, 1000.0f);
      frame.target.FillUnlitTexturedSpan32(0, &l, &r, state);
      ExpectColumns(frame, l, r, 8, 38, {8, 24, 32, 36});
    }
    {
      // Two pixels from x = 1 are all head; one pixel is exact.
      Frame frame(8, 1, 4);
      frame.target.SetTexture(&texture.desc, addressing);
      SpanEdge l = Edge(0.6f, 0.5f, 1, 100.2f), r = Edge(3.4f, 0.5f, 1, 300.2f);
      frame.target.FillUnlitTexturedSpan32(0, &l, &r, state);
      ExpectColumns(frame, l, r, 1, 2, {});
      SpanEdge one = Edge(5.2f, 0.5f, 0.5f, 0.5f * 77.3f), oneR = Edge(5.9f, 0.5f, 2.0f, 2.0f * 500.0f);
      frame.target.FillUnlitTexturedSpan32(0, &one, &oneR, state);
      EXPECT_EQ(frame.At<uint32_t>(5, 0) & 0xFFF, static_cast<uint32_t>(std::floor(ExactU(one, oneR, 5))));
    }
  }
}

TEST(KeyedTexturedSpan, KeyedTexelsLeaveAHoleInColourAndDepth) {
  DrawState state;
  for (int bytes : {1, 2, 4}) {
    Frame frame(8, 1, bytes);
    std::vector<uint32_t> texels(8);
    for (int i = 0; i < 4; ++i) texels[i] = texels[i + 4] = static_cast<uint32_t>(i + 1);  // 4 x 2
    for (uint32_t& t : texels) t |= bytes == 4 ? 0xEE000000u : 0u;  // the top byte is not compared
    std::vector<uint8_t> packed(texels.size() * bytes);
    for (size_t i = 0; i < texels.size(); ++i) std::memcpy(&packed[i * bytes], &texels[i], bytes);
    RenderBufferDesc texture{packed.data(), 4, 2, bytes, 4 * bytes};
    frame.target.SetTexture(&texture);
    frame.target.SetChromaKey(2, 2, 2);  // column 1 is the key
    SpanEdge l = Edge(0, 0.9f, 1, 0.0f), r = Edge(4, 0.9f, 1, 4.0f);
    if (bytes != 4) {
      frame.target.FillKeyedTexturedSpan32(0, &l, &r, state);  // another pixel form is refused
      EXPECT_FLOAT_EQ(frame.target.GetDepth(0, 0), kFarDepth);
    }
    using Filler = CRenderTarget::SpanFiller;
    const Filler keyed = CRenderTarget::SpanFillerFor(SpanKind::kKeyedTextured, bytes);
    (frame.target.*keyed)(0, &l, &r, state);
    EXPECT_FLOAT_EQ(frame.target.GetDepth(1, 0), kFarDepth) << bytes;
    EXPECT_FLOAT_EQ(frame.target.GetDepth(0, 0), 0.9f) << bytes;
    // Something drawn behind later shows through the hole only.
    state.flatXrgb = state.flat555 = state.flatIndex = 9;
    SpanEdge bl = Edge(0, 0.1f), br = Edge(4, 0.1f);
    (frame.target.*CRenderTarget::SpanFillerFor(SpanKind::kFlat, bytes))(0, &bl, &br, state);
    uint32_t pixels[4] = {};
    for (int x = 0; x < 4; ++x) std::memcpy(&pixels[x], frame.pixels.data() + x * bytes, bytes);
    const uint32_t top = bytes == 4 ? 0xEE000000u : 0u;
    EXPECT_EQ(pixels[0], 1u | top) << bytes;
    EXPECT_EQ(pixels[1], 9u) << bytes;
    EXPECT_EQ(pixels[2], 3u | top) << bytes;
  }
}

TEST(DepthOnlySpan, WritesDepthButNoColourAndNoReplicas) {
  DrawState state;
  Frame frame(8, 4, 4);
  state.rows.replicateRows = true;
  state.rowLimit = 3;
  SpanEdge l = Edge(0, 0.7f), r = Edge(8, 0.7f);
  frame.target.FillDepthOnlySpan(0, &l, &r, state);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(3, 0), 0.7f);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(3, 1), kFarDepth);
  EXPECT_EQ(std::count(frame.pixels.begin(), frame.pixels.end(), 0), static_cast<long>(frame.pixels.size()));
  frame.target.FillFlatSpan32(4, &l, &r, state);  // rows outside the target draw nothing
  frame.target.FillFlatSpan32(-1, &l, &r, state);
}

// Tinted texels: each channel times its own level (the edge's colour less
// its offset), then the added colour (scaled, with the offset), saturating.
TEST(TexturedSpan, TintedByChannelAndAddedColourOn16And32BitTargets) {
  struct Case {
    float r, g, b, addedB;
    uint32_t expected32;
    uint16_t expected16;
  };
  const Case cases[] = {
      {257.0f, 129.5f, 2.0f, 0.5f, 0x0082817Fu, 0x7E0F},  // texel 128 255 64, and white
      {2042.0f, 2042.0f, 2042.0f, 1.0f, 0x00FFFFFFu, 0x7FFF},
      {2.0f, 2.0f, 2.0f, 0.0f, 0x00020202u, 0x0000},
  };
  DrawState state;
  std::vector<uint32_t> texels32(4, 0x0080FF40);
  std::vector<uint16_t> texels16(4, 0x7FFF);
  RenderBufferDesc tex32{reinterpret_cast<uint8_t*>(texels32.data()), 2, 2, 4, 8};
  RenderBufferDesc tex16{reinterpret_cast<uint8_t*>(texels16.data()), 2, 2, 2, 4};
  Frame frame32(8, 1, 4), frame16(8, 1, 2);
  frame32.target.SetTexture(&tex32);
  frame16.target.SetTexture(&tex16);
  for (const Case& c : cases) {
    SpanEdge l = Edge(0, 0.5f, 1, 0, 0, c.r, c.g, c.b);
    l.addedB = c.addedB;
    SpanEdge r = l;
    r.x = 1;
    frame32.target.Clear(true, true);
    frame32.target.FillTintedTexturedSpan32(0, &l, &r, state);
    EXPECT_EQ(frame32.At<uint32_t>(0, 0), c.expected32) << c.r;
    frame16.target.Clear(true, true);
    frame16.target.FillTintedTexturedSpan16(0, &l, &r, state);
    EXPECT_EQ(frame16.At<uint16_t>(0, 0), c.expected16) << c.r;
  }
}

TEST(SpanDispatch, ModeBitsInOrderAndOneTableRowPerKind) {
  const uint32_t smoothTextured = SpanMode::kSmooth | SpanMode::kTextured;
  EXPECT_EQ(CRenderTarget::SelectSpanKind(smoothTextured | SpanMode::kDepthOnly, true), SpanKind::kDepthOnly);
  EXPECT_EQ(CRenderTarget::SelectSpanKind(smoothTextured, true), SpanKind::kGouraudTextured);
  EXPECT_EQ(CRenderTarget::SelectSpanKind(smoothTextured, false), SpanKind::kGouraud);
  EXPECT_EQ(CRenderTarget::SelectSpanKind(SpanMode::kTextured | SpanMode::kChromaKey | SpanMode::kUnlitTexture, true),
            SpanKind::kKeyedTextured);
  EXPECT_EQ(CRenderTarget::SelectSpanKind(SpanMode::kTextured | SpanMode::kTinted, true), SpanKind::kTintedTextured);
  EXPECT_EQ(CRenderTarget::SelectSpanKind(smoothTextured | SpanMode::kTinted | SpanMode::kChromaKey, true),
            SpanKind::kGouraudTextured)
      << "a keyed texture is never tinted";
  EXPECT_EQ(CRenderTarget::SpanFillerFor(SpanKind::kTintedTextured, 1), &CRenderTarget::FillTintedTexturedSpan8);
  EXPECT_EQ(CRenderTarget::SpanFillerFor(SpanKind::kGouraudTextured, 2), &CRenderTarget::FillGouraudTexturedSpan16);
  EXPECT_EQ(CRenderTarget::SpanFillerFor(SpanKind::kKeyedTextured, 1), &CRenderTarget::FillKeyedTexturedSpan8);
  EXPECT_EQ(CRenderTarget::SpanFillerFor(SpanKind::kFlat, 3), nullptr);
}

TEST(Fixed16, WrapsFarCoordinatesAndSaturatesNothingUndefined) {
  EXPECT_EQ(ToFixed16Wrap(-1.5f), -0x18000);
  EXPECT_EQ(ToFixed16Wrap(32768.0f), std::numeric_limits<int32_t>::min());  // 2^31 wraps
  for (float far : {65536.0f, 1e30f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()})
    EXPECT_EQ(ToFixed16Wrap(far), 0) << far;
  EXPECT_EQ(TruncToInt(-2.7f), -2);
  EXPECT_EQ(TruncToInt(3e10f), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(TruncToInt(std::numeric_limits<float>::quiet_NaN()), 0);
  EXPECT_EQ(WrapAdd(std::numeric_limits<int32_t>::max(), 1), std::numeric_limits<int32_t>::min());
}

}  // namespace
}  // namespace vx
