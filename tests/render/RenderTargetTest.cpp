#include "engine/render/RenderTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "RenderTestSupport.h"

namespace vx {
namespace {

using test::Frame;
using test::Polygon;

std::vector<bool> Coverage(const Frame& frame) {
  std::vector<bool> covered;
  for (int y = 0; y < frame.desc.height; ++y)
    for (int x = 0; x < frame.desc.width; ++x) covered.push_back(frame.At<uint32_t>(x, y) != 0);
  return covered;
}

TEST(FillPolygon, TrianglesSharingAnEdgeLeaveNoGapAndNoOverlap) {
  Frame first(64, 64, 4), second(64, 64, 4), whole(64, 64, 4);
  for (Frame* f : {&first, &second, &whole}) f->target.SetCulling({.mode = kCullNone});
  const auto a = first.Vertex(3.3f, 2.7f, 0.5f), b = first.Vertex(60.2f, 9.9f, 0.5f);
  const auto c = first.Vertex(51.6f, 58.1f, 0.5f), d = first.Vertex(7.4f, 41.2f, 0.5f);
  PolygonRecord abc = Polygon({a, b, c}), acd = Polygon({a, c, d}), abcd = Polygon({a, b, c, d});
  first.target.FillPolygon(&abc, SpanMode::kFill);
  second.target.FillPolygon(&acd, SpanMode::kFill);
  whole.target.FillPolygon(&abcd, SpanMode::kFill);
  const auto one = Coverage(first), two = Coverage(second), both = Coverage(whole);
  int overlap = 0, mismatch = 0, covered = 0;
  for (size_t i = 0; i < one.size(); ++i) {
    overlap += one[i] && two[i];
    mismatch += (one[i] || two[i]) != both[i];
    covered += both[i];
  }
  EXPECT_EQ(overlap, 0);
  EXPECT_EQ(mismatch, 0);
  EXPECT_GT(covered, 1500);
}

TEST(FillPolygon, FlatColourIsTheAverageOfTheUnclippedVerticesOnEachPixelSize) {
  // Red, green and blue corners average to a third each: trunc((251 + 2 + 2 + 2) / 3) = 85.
  // Smooth comes out flat on palette targets.
  Frame palette(16, 16, 1);
  palette.target.SetCulling({.mode = kCullNone});
  std::vector<uint8_t> inverse(kInverseMap555Size, 0);
  inverse[(85 >> 3) * 0x421] = 77;
  palette.target.SetInverseMap(inverse.data());
  PolygonRecord rgb = Polygon({palette.Vertex(0, 0, 0, 1, 0, 0), palette.Vertex(16, 0, 0, 0, 1, 0),
                               palette.Vertex(0, 16, 0, 0, 0, 1)});
  palette.target.FillPolygon(&rgb, SpanMode::kFill | SpanMode::kSmooth);
  EXPECT_EQ(palette.At<uint8_t>(12, 2), 77);
  Frame frame(16, 16, 4);
  frame.target.SetCulling({.mode = kCullNone});
  PolygonRecord poly = Polygon({frame.Vertex(0, 0, 0, 1, 0, 0), frame.Vertex(16, 0, 0, 0, 1, 0),
                                frame.Vertex(0, 16, 0, 0, 0, 1)});
  frame.target.FillPolygon(&poly, SpanMode::kFill);
  EXPECT_EQ(frame.At<uint32_t>(2, 2), 0x555555u);
}

TEST(FillPolygon, OverbrightColoursStayInTheTables) {
  for (int32_t bytes : {1, 4}) {
    Frame frame(8, 8, bytes);
    frame.target.SetCulling({.mode = kCullNone});
    std::vector<uint8_t> inverse(kInverseMap555Size, 3);
    frame.target.SetInverseMap(inverse.data());
    PolygonRecord poly = Polygon({frame.Vertex(0, 0, 0, 50, -9, 1e20f), frame.Vertex(8, 0, 0, 50, -9, 1e20f),
                                  frame.Vertex(0, 8, 0, 50, -9, 1e20f)});
    frame.target.FillPolygon(&poly, SpanMode::kFill);
    if (bytes == 1) EXPECT_EQ(frame.At<uint8_t>(1, 1), 3);
    else EXPECT_EQ(frame.At<uint32_t>(1, 1), 0xFF00FFu);
  }
}

TEST(FillPolygon, CullingByWindingMarkingAndChromaKey) {
  Frame frame(16, 16, 4);
  const auto a = frame.Vertex(1, 1, 0), b = frame.Vertex(15, 1, 0), c = frame.Vertex(1, 15, 0);
  PolygonRecord poly = Polygon({a, c, b});  // non-negative signed area
  frame.target.FillPolygon(&poly, SpanMode::kFill);
  EXPECT_EQ(frame.At<uint32_t>(3, 3), 0u);
  frame.target.SetCulling({.winding = 0});
  poly = Polygon({a, c, b});
  frame.target.FillPolygon(&poly, SpanMode::kFill);
  EXPECT_NE(frame.At<uint32_t>(3, 3), 0u);
  frame.target.Clear(true, true);
  poly = Polygon({a, b, c});  // negative area
  frame.target.FillPolygon(&poly, SpanMode::kFill);
  EXPECT_EQ(frame.At<uint32_t>(3, 3), 0u);

  // A keyed polygon is never culled.
  Frame keyed(16, 16, 4);
  std::vector<uint32_t> texels(4, 0x123456);
  RenderBufferDesc texture{reinterpret_cast<uint8_t*>(texels.data()), 2, 2, 4, 8};
  keyed.target.SetTexture(&texture);
  poly = Polygon({a, c, b});
  keyed.target.FillPolygon(&poly, SpanMode::kFill | SpanMode::kTextured | SpanMode::kChromaKey);
  EXPECT_EQ(keyed.At<uint32_t>(3, 3), 0x123456u);

  // Mark mode draws both ways and reports the marked polygon facing away.
  Frame marked(16, 16, 4);
  marked.target.SetCulling({.mode = kCullMark});
  marked.target.BeginMarkedPolygon();
  poly = Polygon({a, c, b});
  marked.target.FillPolygon(&poly, SpanMode::kFill | SpanMode::kSmooth);
  EXPECT_TRUE(marked.target.EndMarkedPolygon());
  EXPECT_EQ(marked.At<uint32_t>(3, 3), 0xFFFFFFu);
}

TEST(FillPolygon, RejectsWhatLiesOffTheTargetAndSurvivesHugeOrDegenerateInput) {
  Frame frame(16, 16, 4);
  frame.target.SetCulling({.mode = kCullNone});
  PolygonRecord left = Polygon({frame.Vertex(-9, 1, 0), frame.Vertex(-1, 1, 0), frame.Vertex(-1, 9, 0)});
  frame.target.FillPolygon(&left, SpanMode::kFill);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(0, 3), kFarDepth);

  // Unclipped sides reaching far past the target, w near zero, and w = 0.
  PolygonRecord huge = Polygon({frame.Vertex(8, 1, 0), frame.Vertex(8, 12, 0), frame.Vertex(8, 12, 0)});
  huge.vertex[0].v[0] = -1e30f;
  huge.vertex[1].v[3] = 1e-30f;
  huge.vertex[1].v[0] = 1e-10f;
  frame.target.FillPolygon(&huge, SpanMode::kFill | SpanMode::kSmooth | SpanMode::kTextured);
  PolygonRecord atEye = Polygon({frame.Vertex(8, 1, 0), frame.Vertex(2, 12, 0), frame.Vertex(14, 12, 0)});
  atEye.vertex[0].v[0] = atEye.vertex[0].v[1] = atEye.vertex[0].v[3] = 0;
  frame.target.FillPolygon(&atEye, SpanMode::kFill);
  PolygonRecord nan = Polygon({frame.Vertex(8, 1, 0), frame.Vertex(2, 12, 0), frame.Vertex(14, 12, 0)});
  nan.vertex[2].v[0] = std::numeric_limits<float>::quiet_NaN();
  frame.target.FillPolygon(&nan, SpanMode::kFill);
  PolygonRecord bad;
  bad.count = 1000;
  frame.target.FillPolygon(&bad, SpanMode::kFill);
}

TEST(ClipPolygon, AnOctagonCutByEveryPlaneKeepsAllItsVertices) {
  // Four corners stick out of one side each and one vertex lies beyond the
  // far plane: every plane adds a vertex, 8 + 5 = 13.
  Frame frame(32, 32, 4);
  PolygonRecord poly;
  const float corners[8][3] = {{1.3f, 0, 0},  {0.6f, 0.6f, 2}, {0, 1.3f, 0},  {-0.6f, 0.6f, 0},
                               {-1.3f, 0, 0}, {-0.6f, -0.6f, 0}, {0, -1.3f, 0}, {0.6f, -0.6f, 0}};
  for (const auto& c : corners) {
    VertexWork v;
    v.v[0] = c[0], v.v[1] = c[1], v.v[2] = c[2], v.v[3] = 1;
    poly.vertex[poly.count++] = v;
  }
  PolygonRecord filled = poly;
  ASSERT_TRUE(frame.target.ClipPolygon(&poly));
  EXPECT_EQ(poly.count, 13);
  for (int i = 0; i < poly.count; ++i) {
    const float* v = poly.vertex[i].v;
    EXPECT_LE(std::abs(v[0]), 1.0001f);
    EXPECT_LE(std::abs(v[1]), 1.0001f);
    EXPECT_LE(v[2], 1.0001f);
  }
  frame.target.SetCulling({.mode = kCullNone});
  frame.target.FillPolygon(&filled, SpanMode::kFill);
  EXPECT_NE(frame.At<uint32_t>(16, 16), 0u);
}

TEST(DepthBuffer, RowsAreClearedLazilyOnFirstUse) {
  DrawState state;
  Frame frame(32, 16, 4);
  frame.target.SetCulling({.mode = kCullNone});
  PolygonRecord near = Polygon({frame.Vertex(0, 0, 0.5f), frame.Vertex(32, 0, 0.5f), frame.Vertex(32, 16, 0.5f),
                                frame.Vertex(0, 16, 0.5f)});
  frame.target.FillPolygon(&near, SpanMode::kFill);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(20, 5), 0.5f);
  frame.target.Clear(false, true);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(20, 5), kFarDepth);  // stale value not reported

  // A run empty after rounding leaves the row dirty.
  SpanEdge l = test::Edge(10.6f, 0.1f), r = test::Edge(11.4f, 0.1f);
  frame.target.FillFlatSpan32(5, &l, &r, state);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(20, 5), kFarDepth);

  // Farther than the stale 0.5, yet drawn: the row is cleared first, wholly.
  l = test::Edge(2.2f, 0.1f), r = test::Edge(5.1f, 0.1f);
  state.flatXrgb = 0xABCDEF;
  frame.target.FillFlatSpan32(5, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(3, 5), 0xABCDEFu);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(3, 5), 0.1f);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(20, 5), kFarDepth);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(20, 6), kFarDepth);

  // Equal depth keeps the earlier pixel.
  state.flatXrgb = 0x111111;
  frame.target.FillFlatSpan32(5, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(3, 5), 0xABCDEFu);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(-1, 5), kFarDepth);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(3, 16), kFarDepth);
}

TEST(SetBuffer, SameSizeMovesRowsAndPixelSizeChangeRebuildsDither) {
  std::vector<uint8_t> a(16 * 16 * 4), b(16 * 16 * 4);
  CRenderTarget target;
  target.SetCulling({.mode = kCullNone});
  RenderBufferDesc desc{a.data(), 16, 16, 4, 64};
  target.SetBuffer(&desc);
  desc.base = b.data();
  target.SetBuffer(&desc);
  target.Clear(true, true);
  test::Frame helper(16, 16, 4);
  PolygonRecord poly = Polygon({helper.Vertex(0, 0, 0), helper.Vertex(16, 0, 0), helper.Vertex(0, 16, 0)});
  target.FillPolygon(&poly, SpanMode::kFill);
  EXPECT_EQ(a[0], 0);
  EXPECT_NE(b[0], 0);

  // Same width and height, now 2 bytes a pixel: smooth fills need dither tables.
  desc.bytesPerPixel = 2;
  desc.rowBytes = 32;
  target.SetBuffer(&desc);
  target.Clear(true, true);
  poly = Polygon({helper.Vertex(0, 0, 0, 0.5f, 0.5f, 0.5f), helper.Vertex(16, 0, 0, 0.5f, 0.5f, 0.5f),
                  helper.Vertex(0, 16, 0, 0.5f, 0.5f, 0.5f)});
  target.FillPolygon(&poly, SpanMode::kFill | SpanMode::kSmooth);
  uint16_t pixel;
  std::memcpy(&pixel, b.data() + 32 + 2, 2);
  EXPECT_TRUE((pixel & 0x1F) == 15 || (pixel & 0x1F) == 16);  // 0.5 x 241 + 2 = 122.5, plus 0..6

  target.SetBuffer(nullptr);
  EXPECT_FLOAT_EQ(target.GetDepth(0, 0), kFarDepth);
  target.FillPolygon(&poly, SpanMode::kFill);
}

TEST(RowQuality, ReplicationWritesColourBelowAndDepthOnlyInTheDrawnRow) {
  DrawState state;
  Frame frame(8, 16, 4);
  frame.target.SetCulling({.mode = kCullNone});
  frame.target.SetRowQuality({.replicateRows = true, .replicateFour = true, .rowMask = 3});
  PolygonRecord poly = Polygon({frame.Vertex(0, 0, 0.5f), frame.Vertex(8, 0, 0.5f), frame.Vertex(8, 16, 0.5f),
                                frame.Vertex(0, 16, 0.5f)});
  frame.target.FillPolygon(&poly, SpanMode::kFill);
  for (int y = 0; y < 16; ++y) {
    EXPECT_NE(frame.At<uint32_t>(4, y), 0u) << y;
    EXPECT_EQ(frame.target.GetDepth(4, y) == 0.5f, y % 4 == 0) << y;
  }
  // A row at the limit writes itself alone.
  state.rows = frame.target.GetRowQuality();
  state.rowLimit = 13;
  SpanEdge l = test::Edge(0, 0.9f), r = test::Edge(8, 0.9f);
  state.flatXrgb = 0x42;
  frame.target.FillFlatSpan32(13, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(2, 13), 0x42u);
  EXPECT_NE(frame.At<uint32_t>(2, 14), 0x42u);
  // An inconsistent mask never replicates past the last row.
  state.rows.rowMask = 1;
  state.rowLimit = 15;
  state.flatXrgb = 0x43;
  frame.target.FillFlatSpan32(14, &l, &r, state);
  EXPECT_EQ(frame.At<uint32_t>(2, 14), 0x43u);
  EXPECT_NE(frame.At<uint32_t>(2, 15), 0x43u);
}

TEST(BoundsTracking, MeasuresWithoutDrawingUnlessAsked) {
  Frame frame(16, 16, 4);
  frame.target.SetCulling({.mode = kCullNone});
  frame.target.BeginBoundsTracking(false);
  PolygonRecord poly = Polygon({frame.Vertex(2, 3, 0, 1, 1, 1, 0.25f, 0.5f), frame.Vertex(12, 3, 0),
                                frame.Vertex(2, 9, 0, 1, 1, 1, 1, 1)});
  frame.target.FillPolygon(&poly, SpanMode::kFill);
  float x[2], y[2], s[2];
  EXPECT_TRUE(frame.target.EndBoundsTracking(x, y, s, nullptr));
  EXPECT_FLOAT_EQ(x[0], 2);
  EXPECT_FLOAT_EQ(x[1], 12);
  EXPECT_FLOAT_EQ(y[1], 9);
  EXPECT_FLOAT_EQ(s[1], 1);
  EXPECT_EQ(frame.At<uint32_t>(4, 4), 0u);
  EXPECT_FLOAT_EQ(frame.target.GetDepth(4, 4), kFarDepth);
}

TEST(LinesAndPoints, DepthTestedAndClipped) {
  Frame frame(16, 16, 2);
  float p[4] = {0, 0, 0.5f, 1};  // the centre
  frame.target.PlotPoint(p, 1, 0x1234, 0);
  EXPECT_EQ(frame.At<uint16_t>(8, 8), 0x1234);
  float farther[4] = {0, 0, 0.2f, 1};
  frame.target.PlotPoint(farther, 1, 0x4321, 0);
  EXPECT_EQ(frame.At<uint16_t>(8, 8), 0x1234);
  float atEye[4] = {0, 0, 0, 0};
  frame.target.PlotPoint(atEye, 1, 0x4321, 0);

  auto count = [&](uint16_t colour) { return std::count(frame.pixels.begin(), frame.pixels.end(), colour & 0xFF); };
  // A line from (5, 5) to (5, 5) plots one pixel.
  float a[4] = {5.0f / 8 - 1, 1 - 5.0f / 8, 0.5f, 1}, b[4] = {5.0f / 8 - 1, 1 - 5.0f / 8, 0.5f, 1};
  frame.target.DrawLine(a, b, 0, 0x0011, 0);
  EXPECT_EQ(count(0x0011), 1);
  EXPECT_EQ(frame.At<uint16_t>(5, 5), 0x0011);
  // A line across the whole target and beyond is clipped to it.
  float c[4] = {-3, 0.01f, 0.5f, 1}, d[4] = {3, 0.01f, 0.5f, 1};
  frame.target.DrawLine(c, d, 0, 0x0022, 0);
  EXPECT_EQ(count(0x0022), 16);
}

}  // namespace
}  // namespace vx
