#include <gtest/gtest.h>

#include "GeometryTestNodes.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/LineSetNodes.h"

namespace vx {
namespace {

using test::As;

constexpr FloatColor kMaterial{0.5f, 0.25f, 0.125f};

bool SameColor(const FloatColor& a, const FloatColor& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// Five points on the x axis and three colours: red, green, blue; the rules
// of this system's own worlds unless told otherwise.
struct Lines {
  explicit Lines(const char* type = "IndexedLineSet", WorldConvention convention = WorldConvention::kSystem)
      : in(convention), node(in.Make(type)) {
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
  test::ConventionWorld in;
  CNodeRef node;
};

constexpr WorldConvention kBoth[] = {WorldConvention::kSystem, WorldConvention::kStandard};

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
  for (WorldConvention convention : kBoth) {
    const Lines lines("IndexedLineSet", convention);
    lines.SetRgb();
    test::SetList<int32_t>(lines.node, "colorIndex", {2, -1});
    const auto segments = lines.Segments({0, 1, 2, 3});
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_TRUE(SameColor(segments[0].color, {0, 0, 1}));
    // -1, and an entry beyond the shorter colorIndex, give no colour.
    EXPECT_TRUE(SameColor(segments[1].color, kMaterial));
    EXPECT_TRUE(SameColor(segments[2].color, kMaterial));
    test::SetList<int32_t>(lines.node, "colorIndex", {5});
    EXPECT_TRUE(SameColor(lines.Segments({0, 1})[0].color, kMaterial));
  }
}

TEST(IndexedLineSet, PerVertexColoursByCoordinateIndexWithinTheColours) {
  for (WorldConvention convention : kBoth) {
    const Lines lines("IndexedLineSet", convention);
    lines.SetRgb();
    const auto segments = lines.Segments({1, 2, 3, 4});
    ASSERT_EQ(segments.size(), 3u);
    EXPECT_TRUE(SameColor(segments[0].color, {0, 1, 0}));
    EXPECT_TRUE(SameColor(segments[1].color, {0, 0, 1}));
    EXPECT_TRUE(SameColor(segments[2].color, kMaterial)) << "point 3 has no colour";
  }
}

// This system's worlds ignore colorIndex per polyline and repeat the last
// colour; VRML 2.0 worlds pick through colorIndex, or take the colours in
// order, and leave polylines beyond them uncoloured.
TEST(IndexedLineSet, PerPolylineColours) {
  for (WorldConvention convention : kBoth) {
    const Lines lines("IndexedLineSet", convention);
    lines.SetColors({{1, 0, 0}, {0, 1, 0}});
    test::SetValue<int16_t>(lines.node, "colorPerVertex", 0);
    const std::vector<int32_t> threePolylines = {0, 1, -1, 1, 2, -1, 3, 4};
    auto inOrder = lines.Segments(threePolylines);
    ASSERT_EQ(inOrder.size(), 3u);
    EXPECT_TRUE(SameColor(inOrder[0].color, {1, 0, 0}));
    EXPECT_TRUE(SameColor(inOrder[1].color, {0, 1, 0}));
    const bool standard = convention == WorldConvention::kStandard;
    EXPECT_TRUE(SameColor(inOrder[2].color, standard ? kMaterial : FloatColor{0, 1, 0}));

    test::SetList<int32_t>(lines.node, "colorIndex", {1, 0, 1});
    const auto indexed = lines.Segments(threePolylines);
    EXPECT_TRUE(SameColor(indexed[0].color, standard ? FloatColor{0, 1, 0} : FloatColor{1, 0, 0}));
    EXPECT_TRUE(SameColor(indexed[2].color, {0, 1, 0}));
  }
}

TEST(PointSet, ColoursPerPoint) {
  for (WorldConvention convention : kBoth) {
    const Lines points("PointSet", convention);
    auto& set = As<CPointSetNode>(points.node);
    points.SetRgb();
    std::vector<ColoredPoint> drawn = set.Points(kMaterial);
    ASSERT_EQ(drawn.size(), 5u);
    // This system's worlds colour only when every point has a colour.
    const bool standard = convention == WorldConvention::kStandard;
    EXPECT_TRUE(SameColor(drawn[2].color, standard ? FloatColor{0, 0, 1} : kMaterial));
    EXPECT_TRUE(SameColor(drawn[3].color, kMaterial));

    points.SetColors({{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}});
    drawn = set.Points(kMaterial);
    EXPECT_TRUE(SameColor(drawn[4].color, {0, 1, 1}));
    EXPECT_EQ(drawn[4].position, (CVec3f{4, 0, 0}));
  }
}

}  // namespace
}  // namespace vx
