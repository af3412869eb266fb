#include "engine/render/PolygonTriangulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

namespace vx {
namespace {

double TwiceArea(std::span<const TriPoint> points) {
  double sum = 0.0;
  for (size_t i = 0; i < points.size(); ++i) {
    const TriPoint& a = points[i];
    const TriPoint& b = points[(i + 1) % points.size()];
    sum += a.x * b.y - a.y * b.x;
  }
  return sum;
}

double TwiceTriangleArea(std::span<const TriPoint> points, const TriangleIndices& t) {
  const TriPoint& a = points[t[0] - 1];
  const TriPoint& b = points[t[1] - 1];
  const TriPoint& c = points[t[2] - 1];
  return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

double Uniform(Random15& random) {
  return (random.Next() * 32768.0 + random.Next()) / (32768.0 * 32768.0);
}

// Star-shaped around the origin (every angular gap below half a turn), so
// simple. With `grid`, points are snapped to multiples of 5, which gives many
// equal y values and horizontal edges without changing the angular order.
std::vector<TriPoint> StarPolygon(Random15& random, int n, bool grid) {
  std::vector<TriPoint> points;
  for (int i = 0; i < n; ++i) {
    double a = (i + 0.4 * Uniform(random)) * 2.0 * std::numbers::pi / n;
    double r = 200.0 + 800.0 * Uniform(random);
    TriPoint p{r * std::cos(a), r * std::sin(a)};
    if (grid) p = {5.0 * std::round(p.x / 5.0), 5.0 * std::round(p.y / 5.0)};
    points.push_back(p);
  }
  return points;
}

bool SegmentsCross(TriPoint a, TriPoint b, TriPoint c, TriPoint d) {
  auto side = [](TriPoint o, TriPoint p, TriPoint q) {
    return (p.x - o.x) * (q.y - o.y) - (p.y - o.y) * (q.x - o.x);
  };
  return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
}

// Random points untangled by reversing the path between crossing edges until
// no two edges cross: a general simple polygon, not just a star.
std::vector<TriPoint> UntangledPolygon(Random15& random, int n) {
  std::vector<TriPoint> p(n);
  for (TriPoint& q : p) q = {100.0 * Uniform(random), 100.0 * Uniform(random)};
  for (bool changed = true; changed;) {
    changed = false;
    for (int i = 0; i < n; ++i) {
      for (int j = i + 2; j < n; ++j) {
        if (i == 0 && j == n - 1) continue;
        if (SegmentsCross(p[i], p[i + 1], p[j], p[(j + 1) % n])) {
          std::reverse(p.begin() + i + 1, p.begin() + j + 1);
          changed = true;
        }
      }
    }
  }
  return p;
}

void ExpectValidTriangulation(std::vector<TriPoint> points, uint32_t seed) {
  std::vector<TriPoint> original = points;
  bool clockwise = TwiceArea(points) < 0.0;
  CPolygonTriangulator triangulator(seed);
  std::vector<TriangleIndices> triangles;
  ASSERT_EQ(triangulator.Triangulate(points, triangles), TriangulateStatus::kDone);
  int n = static_cast<int>(points.size());
  ASSERT_EQ(static_cast<int>(triangles.size()), n - 2);
  if (clockwise) std::reverse(original.begin(), original.end());
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(points[i].x, original[i].x);
    ASSERT_EQ(points[i].y, original[i].y);
  }
  double area = TwiceArea(points);
  ASSERT_GT(area, 0.0);
  double sum = 0.0;
  for (const TriangleIndices& t : triangles) {
    std::set<int32_t> distinct(t.begin(), t.end());
    ASSERT_EQ(distinct.size(), 3u);
    for (int32_t v : t) ASSERT_TRUE(v >= 1 && v <= n) << v;
    double twice = TwiceTriangleArea(points, t);
    ASSERT_GE(twice, -1e-9 * area) << "clockwise triangle";
    sum += twice;
  }
  EXPECT_NEAR(sum, area, 1e-9 * area);
}

TEST(PolygonTriangulator, StarPolygonsOfEverySize) {
  Random15 random(7);
  for (int k = 0; k < 2000; ++k) {
    bool grid = k % 3 == 0;
    int n = 3 + k % (grid ? 58 : 150);
    auto points = StarPolygon(random, n, grid);
    if (k % 2) std::reverse(points.begin(), points.end());
    SCOPED_TRACE(k);
    ExpectValidTriangulation(points, static_cast<uint32_t>(k));
    if (HasFatalFailure()) return;
  }
}

TEST(PolygonTriangulator, GeneralSimplePolygons) {
  Random15 random(11);
  for (int k = 0; k < 1000; ++k) {
    int n = 4 + k % 120;
    auto points = UntangledPolygon(random, n);
    SCOPED_TRACE(k);
    ExpectValidTriangulation(points, static_cast<uint32_t>(k));
    if (HasFatalFailure()) return;
  }
}

TEST(PolygonTriangulator, TriangleAndDegenerateInput) {
  std::vector<TriPoint> triangle{{0, 0}, {2, 0}, {1, 1}};
  std::vector<TriangleIndices> out{{9, 9, 9}};
  ASSERT_EQ(TriangulatePolygon(triangle, out), TriangulateStatus::kDone);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(std::set<int32_t>(out[0].begin(), out[0].end()), (std::set<int32_t>{1, 2, 3}));

  std::vector<TriPoint> collinear{{0, 0}, {1, 1}, {2, 2}};
  EXPECT_EQ(TriangulatePolygon(collinear, out), TriangulateStatus::kZeroArea);
  EXPECT_TRUE(out.empty());
  std::vector<TriPoint> none;
  EXPECT_EQ(TriangulatePolygon(none, out), TriangulateStatus::kZeroArea);
  std::vector<TriPoint> nan{{0, 0}, {1, 0}, {0, std::nan("")}};
  EXPECT_EQ(TriangulatePolygon(nan, out), TriangulateStatus::kFailed);
}

TEST(PolygonTriangulator, SameSeedSameTriangles) {
  Random15 random(3);
  auto points = UntangledPolygon(random, 30);
  auto copy = points;
  std::vector<TriangleIndices> a, b;
  CPolygonTriangulator first(42), second(42);
  ASSERT_EQ(first.Triangulate(points, a), TriangulateStatus::kDone);
  ASSERT_EQ(second.Triangulate(copy, b), TriangulateStatus::kDone);
  EXPECT_EQ(a, b);
}

// Crossing, repeated and collinear points are not simple polygons: whatever
// the result, nothing is read or written out of bounds and every index that
// comes back is a vertex number.
TEST(PolygonTriangulator, ArbitraryPointsNeverBreakIt) {
  Random15 random(5);
  for (int k = 0; k < 1500; ++k) {
    int n = 3 + k % 60;
    std::vector<TriPoint> points(n);
    for (TriPoint& p : points) p = {std::floor(8.0 * Uniform(random)), std::floor(8.0 * Uniform(random))};
    std::vector<TriangleIndices> triangles;
    CPolygonTriangulator triangulator(static_cast<uint32_t>(k));
    (void)triangulator.Triangulate(points, triangles);
    for (const TriangleIndices& t : triangles) {
      for (int32_t v : t) ASSERT_TRUE(v >= 1 && v <= n);
    }
  }
}

}  // namespace
}  // namespace vx
