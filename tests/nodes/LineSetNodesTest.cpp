#include <gtest/gtest.h>

#include "GeometryTestNodes.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/LineSetNodes.h"

namespace vx {
namespace {

using test::As;

constexpr FloatColor kMaterial{0.5f, 0.25f, 0.125f};

bool SameColor(const FloatColor& a, const FloatColor& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Five points on the x axis and three colours: red, green, blue.
struct Lines {
  explicit Lines(const char* type = "IndexedLineSet") : node(NodeFactory(type, {})) {
    CNodeRef coord = MakeNode<test::CPropertyStandIn>();
    test::SetList<SFVec3f>(coord, "point", {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {3, 0, 0}, {4, 0, 0}});
    test::SetNodeField(node, "coord", coord);
  }
  void SetColors(std::vector<SFColor> colors) const {
    CNodeRef color = MakeNode<test::CPropertyStandIn>();
    test::SetList(color, "color", std::move(colors));
    test::SetNodeField(node, "color", color);
  }
  void SetRgb() const { SetColors({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}); }
  std::vector<ColoredSegment> Segments(std::vector<int32_t> coordIndex) const {
    test::SetList(node, "coordIndex", std::move(coordIndex));
    return As<CIndexedLineSetNode>(node).Segments(kMaterial);
  }
  CNodeRef node;
};

std::vector<std::pair<float, float>> Ends(const std::vector<ColoredSegment>& segments) {
  std::vector<std::pair<float, float>> ends;
  for (const ColoredSegment& s : segments) ends.emplace_back(s.from.x, s.to.x);
  return ends;
}

using Ends2 = std::vector<std::pair<float, float>>;

TEST(IndexedLineSet, PolylinesBreakAtMinusOneAndSkipBadIndices) {
  const Lines lines;
  EXPECT_EQ(Ends(lines.Segments({0, 1, 2, -1, 3, 4})), (Ends2{{0, 1}, {1, 2}, {3, 4}}));
  EXPECT_EQ(Ends(lines.Segments({0, 1, 9, 2, 3})), (Ends2{{0, 1}, {2, 3}}));
  EXPECT_EQ(Ends(lines.Segments({-7, 1, 2})), (Ends2{{1, 2}}));
  EXPECT_TRUE(lines.Segments({3}).empty());
  EXPECT_TRUE(lines.Segments({}).empty());
  EXPECT_TRUE(As<CIndexedLineSetNode>(NodeFactory("IndexedLineSet", {})).Segments(kMaterial).empty());
}

TEST(IndexedLineSet, PerVertexColoursThroughColorIndex) {
  const Lines lines;
  lines.SetRgb();
  test::SetList<int32_t>(lines.node, "colorIndex", {2, -1});
  const auto segments = lines.Segments({0, 1, 2, 3});
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_TRUE(SameColor(segments[0].color, {0, 0, 1}));
  // -1, and an entry beyond the shorter colorIndex, give the material.
  EXPECT_TRUE(SameColor(segments[1].color, kMaterial));
  EXPECT_TRUE(SameColor(segments[2].color, kMaterial));
  test::SetList<int32_t>(lines.node, "colorIndex", {5});
  EXPECT_TRUE(SameColor(lines.Segments({0, 1})[0].color, kMaterial));
}

TEST(IndexedLineSet, PerVertexColoursByCoordinateIndexWithinTheColours) {
  const Lines lines;
  lines.SetRgb();
  const auto segments = lines.Segments({1, 2, 3, 4});
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_TRUE(SameColor(segments[0].color, {0, 1, 0}));
  EXPECT_TRUE(SameColor(segments[1].color, {0, 0, 1}));
  EXPECT_TRUE(SameColor(segments[2].color, kMaterial)) << "point 3 has no colour";
}

TEST(IndexedLineSet, PerPolylineColoursRepeatTheLast) {
  const Lines lines;
  lines.SetColors({{1, 0, 0}, {0, 1, 0}});
  test::SetValue<int16_t>(lines.node, "colorPerVertex", 0);
  test::SetList<int32_t>(lines.node, "colorIndex", {0, 0, 0});
  const auto segments = lines.Segments({0, 1, -1, 1, 2, -1, 3, 4});
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_TRUE(SameColor(segments[0].color, {1, 0, 0}));
  EXPECT_TRUE(SameColor(segments[1].color, {0, 1, 0}));
  EXPECT_TRUE(SameColor(segments[2].color, {0, 1, 0}));
}

TEST(PointSet, ColoursOnlyWhenThereIsOnePerPoint) {
  const Lines points("PointSet");
  auto& set = As<CPointSetNode>(points.node);
  points.SetRgb();
  std::vector<ColoredPoint> drawn = set.Points();
  ASSERT_EQ(drawn.size(), 5u);
  for (const ColoredPoint& p : drawn) EXPECT_TRUE(SameColor(p.color, {1, 1, 1}));

  points.SetColors({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}});
  drawn = set.Points();
  EXPECT_TRUE(SameColor(drawn[4].color, {0, 1, 1}));
  EXPECT_EQ(drawn[4].position, (CVec3f{4, 0, 0}));
}

}  // namespace
}  // namespace vx
