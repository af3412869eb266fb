#include "engine/render/PolygonTriangulator.h"

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <utility>

#include "engine/render/RenderLimits.h"

namespace vx {
namespace {

constexpr double kEpsilon = 1e-7;
constexpr double kFarAway = 1073741824.0;  // 2^30: beyond every input point

bool NearlyEqual(double a, double b) { return std::fabs(a - b) <= kEpsilon; }

bool SamePoint(TriPoint a, TriPoint b) { return NearlyEqual(a.x, b.x) && NearlyEqual(a.y, b.y); }

// The sweep order: by y, ties broken by x.
bool Above(TriPoint a, TriPoint b) {
  if (a.y > b.y + kEpsilon) return true;
  if (a.y < b.y - kEpsilon) return false;
  return a.x > b.x;
}

bool AboveOrSame(TriPoint a, TriPoint b) {
  if (a.y > b.y + kEpsilon) return true;
  if (a.y < b.y - kEpsilon) return false;
  return a.x >= b.x;
}

bool Below(TriPoint a, TriPoint b) {
  if (a.y < b.y - kEpsilon) return true;
  if (a.y > b.y + kEpsilon) return false;
  return a.x < b.x;
}

TriPoint Topmost(TriPoint a, TriPoint b) {
  if (a.y > b.y + kEpsilon) return a;
  if (NearlyEqual(a.y, b.y)) return a.x > b.x + kEpsilon ? a : b;
  return b;
}

TriPoint Bottommost(TriPoint a, TriPoint b) {
  if (a.y < b.y - kEpsilon) return a;
  if (NearlyEqual(a.y, b.y)) return a.x < b.x ? a : b;
  return b;
}

// (b - o) x (c - o)
double Cross(TriPoint o, TriPoint b, TriPoint c) {
  return (b.x - o.x) * (c.y - o.y) - (b.y - o.y) * (c.x - o.x);
}

// The cosine of the turn from o->p to o->q, mapped below -1 when q lies on
// the clockwise side, so that a larger value is a smaller counter-clockwise
// turn. A zero-length leg measures as never chosen.
double TurnMeasure(TriPoint o, TriPoint p, TriPoint q) {
  double ux = p.x - o.x, uy = p.y - o.y;
  double vx = q.x - o.x, vy = q.y - o.y;
  double lengths = std::sqrt(ux * ux + uy * uy) * std::sqrt(vx * vx + vy * vy);
  if (lengths == 0.0) return -4.0;
  double c = (ux * vx + uy * vy) / lengths;
  return ux * vy - vx * uy >= 0.0 ? c : -2.0 - c;
}

// The insertion runs in phases; after each, the unplaced segments' end
// points are located again. log2 applied to n until it drops below 1,
// counted, minus one, is the number of phases (-1 for n < 1).
int32_t IteratedLog2Count(int32_t n) {
  if (n < 1) return -1;
  int32_t count = 0;
  for (double v = n; v >= 1.0; ++count) v = std::log2(v);
  return count - 1;
}

// ceil(n / v) where v is n with log2 applied h times: the number of segments
// inserted by the end of phase h.
int32_t PhaseSegmentCount(int32_t n, int32_t h) {
  double v = n;
  for (int32_t i = 0; i < h; ++i) v = std::log2(v);
  return static_cast<int32_t>(std::ceil(n / v));
}

}  // namespace

OrientationChange MakeCounterClockwise(std::span<TriPoint> points) {
  size_t n = points.size();
  double twiceArea = 0.0;
  for (size_t i = 0; i < n; ++i) {
    const TriPoint& a = points[i];
    const TriPoint& b = points[(i + 1) % n];
    twiceArea += a.x * b.y - a.y * b.x;
  }
  float area = static_cast<float>(twiceArea);
  if (area == 0.0f) return OrientationChange::kZeroArea;
  if (area > 0.0f) return OrientationChange::kUnchanged;
  for (size_t i = 0; i < n / 2; ++i) std::swap(points[i], points[n - 1 - i]);
  return OrientationChange::kReversed;
}

TriangulateStatus TriangulatePolygon(std::span<TriPoint> points,
                                     std::vector<TriangleIndices>& triangles) {
  CPolygonTriangulator triangulator;
  return triangulator.Triangulate(points, triangles);
}

TriangulateStatus CPolygonTriangulator::Triangulate(std::span<TriPoint> points,
                                                    std::vector<TriangleIndices>& triangles) {
  triangles.clear();
  for (const TriPoint& p : points) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return TriangulateStatus::kFailed;
  }
  if (points.size() > static_cast<size_t>(kMaxTriangulatorPoints)) {
    Fail("TriangulatePolygon: too many points\n");
    return TriangulateStatus::kFailed;
  }
  if (MakeCounterClockwise(points) == OrientationChange::kZeroArea) {
    return TriangulateStatus::kZeroArea;
  }
  Prepare(points);
  int32_t monotoneCount = 0;
  if (!BuildTrapezoidMap() || !SplitIntoMonotonePolygons(&monotoneCount) ||
      !TriangulateMonotonePolygons(monotoneCount, triangles)) {
    triangles.clear();
    return TriangulateStatus::kFailed;
  }
  return TriangulateStatus::kDone;
}

void CPolygonTriangulator::Prepare(std::span<const TriPoint> points) {
  n_ = static_cast<int32_t>(points.size());
  size_t entries = points.size() + 1;
  segments_.assign(entries, PolygonSegment{});
  for (int32_t k = 1; k <= n_; ++k) {
    segments_[k].start = points[k - 1];
    segments_[k].end = points[k % n_];
  }
  nodes_.assign(entries * kTriangulatorNodesPerSegment, QueryNode{});
  trapezoids_.assign(entries * kTriangulatorTrapezoidsPerSegment, TrapezoidRecord{});
  chain_.assign(entries * kTriangulatorTrapezoidsPerSegment, MonotoneChainLink{});
  visited_.assign(trapezoids_.size(), 0);
  vertices_.assign(entries, DiagonalVertex{});
  monotoneStarts_.assign(entries, 0);
  MakeRandomOrder();
}

void CPolygonTriangulator::MakeRandomOrder() {
  orderIndex_ = 1;
  order_.assign(static_cast<size_t>(n_) + 1, 0);
  std::vector<int32_t> list(static_cast<size_t>(n_) + 1);
  for (int32_t i = 0; i <= n_; ++i) list[i] = i;
  // Draw from the shrinking window list[first + 1 .. n]; the drawn entry is
  // replaced by the window's first one, and the window moves up by one.
  for (int32_t i = 1; i <= n_; ++i) {
    int32_t first = i - 1;
    int32_t m = random_.Next() % (n_ + 1 - i) + 1;
    order_[i] = list[first + m];
    if (m != 1) list[first + m] = list[first + 1];
  }
}

int32_t CPolygonTriangulator::NextInRandomOrder() {
  return orderIndex_ <= n_ ? order_[orderIndex_++] : 0;
}

bool CPolygonTriangulator::Fail(const char* message) {
  std::fputs(message, stderr);
  return false;
}

int32_t CPolygonTriangulator::NewNode() {
  if (nextNode_ >= static_cast<int32_t>(nodes_.size())) {
    Fail("newnode: Query-table overflow\n");
    return 0;
  }
  nodes_[nextNode_] = QueryNode{};
  return nextNode_++;
}

int32_t CPolygonTriangulator::NewTrapezoid() {
  if (nextTrapezoid_ >= static_cast<int32_t>(trapezoids_.size())) {
    Fail("newtrap: Trapezoid-table overflow\n");
    return 0;
  }
  TrapezoidRecord& t = trapezoids_[nextTrapezoid_];
  t = TrapezoidRecord{};
  t.state = TrapezoidState::kValid;
  return nextTrapezoid_++;
}

int32_t CPolygonTriangulator::NextMonotonePolygon() {
  if (nextMonotone_ + 1 >= static_cast<int32_t>(monotoneStarts_.size())) return 0;
  return ++nextMonotone_;
}

int32_t CPolygonTriangulator::NextChainElement() {
  if (nextChainLink_ + 1 >= static_cast<int32_t>(chain_.size())) return 0;
  return ++nextChainLink_;
}

// ---- Trapezoid map ---------------------------------------------------------

bool CPolygonTriangulator::BuildTrapezoidMap() {
  nextNode_ = 1;
  nextTrapezoid_ = 1;
  int32_t root = StartTrapezoidMap(NextInRandomOrder());
  if (root == 0) return false;
  for (int32_t i = 1; i <= n_; ++i) segments_[i].startNode = segments_[i].endNode = root;

  int32_t phases = IteratedLog2Count(n_);
  for (int32_t h = 1; h <= phases; ++h) {
    int32_t from = PhaseSegmentCount(n_, h - 1) + 1;
    int32_t to = std::min(PhaseSegmentCount(n_, h), n_);
    for (int32_t i = from; i <= to; ++i) {
      if (!AddSegment(NextInRandomOrder())) return false;
    }
    for (int32_t i = 1; i <= n_; ++i) {
      if (!RelocateSegmentEnds(i)) return false;
    }
  }
  for (int32_t i = PhaseSegmentCount(n_, phases) + 1; i <= n_; ++i) {
    if (!AddSegment(NextInRandomOrder())) return false;
  }
  return true;
}

int32_t CPolygonTriangulator::StartTrapezoidMap(int32_t s) {
  std::fill(nodes_.begin(), nodes_.end(), QueryNode{});
  std::fill(trapezoids_.begin(), trapezoids_.end(), TrapezoidRecord{});
  int32_t node[8] = {};
  for (int32_t i = 1; i <= 7; ++i) {
    node[i] = NewNode();
    if (node[i] == 0) return 0;
  }
  int32_t t1 = NewTrapezoid(), t2 = NewTrapezoid(), t3 = NewTrapezoid(), t4 = NewTrapezoid();
  if (t4 == 0) return 0;

  const PolygonSegment& seg = segments_[s];
  TriPoint top = Topmost(seg.start, seg.end);
  TriPoint bottom = Bottommost(seg.start, seg.end);
  auto setNode = [&](int32_t i, NodeType type, int32_t parent) {
    nodes_[node[i]].type = type;
    nodes_[node[i]].parent = parent == 0 ? 0 : node[parent];
  };
  setNode(1, NodeType::kPoint, 0);
  nodes_[node[1]].point = top;
  nodes_[node[1]].right = node[2];
  nodes_[node[1]].left = node[3];
  setNode(2, NodeType::kSink, 1);
  setNode(3, NodeType::kPoint, 1);
  nodes_[node[3]].point = bottom;
  nodes_[node[3]].left = node[4];
  nodes_[node[3]].right = node[5];
  setNode(4, NodeType::kSink, 3);
  setNode(5, NodeType::kSegment, 3);
  nodes_[node[5]].segment = s;
  nodes_[node[5]].left = node[6];
  nodes_[node[5]].right = node[7];
  setNode(6, NodeType::kSink, 5);
  setNode(7, NodeType::kSink, 5);

  trapezoids_[t1].top = trapezoids_[t2].top = trapezoids_[t4].bottom = top;
  trapezoids_[t1].bottom = trapezoids_[t2].bottom = trapezoids_[t3].top = bottom;
  trapezoids_[t4].top = {kFarAway, kFarAway};
  trapezoids_[t3].bottom = {-kFarAway, -kFarAway};
  trapezoids_[t1].rightSegment = trapezoids_[t2].leftSegment = s;
  trapezoids_[t1].u0 = trapezoids_[t2].u0 = t4;
  trapezoids_[t1].d0 = trapezoids_[t2].d0 = t3;
  trapezoids_[t4].d0 = trapezoids_[t3].u0 = t1;
  trapezoids_[t4].d1 = trapezoids_[t3].u1 = t2;
  auto bindSink = [&](int32_t t, int32_t i) {
    trapezoids_[t].sink = node[i];
    nodes_[node[i]].trapezoid = t;
  };
  bindSink(t4, 2);
  bindSink(t3, 4);
  bindSink(t1, 6);
  bindSink(t2, 7);
  segments_[s].inserted = true;
  return node[1];
}

int32_t CPolygonTriangulator::FindTrapezoidOfPoint(TriPoint v, TriPoint other, int32_t node) {
  // Every step goes down the directed acyclic graph, so the walk is bounded
  // by the number of nodes made.
  for (int32_t steps = 0; steps < nextNode_; ++steps) {
    if (node <= 0 || node >= nextNode_) break;
    const QueryNode& q = nodes_[node];
    switch (q.type) {
      case NodeType::kSink:
        return q.trapezoid;
      case NodeType::kPoint:
        if (Above(v, q.point)) {
          node = q.right;
        } else if (SamePoint(v, q.point)) {
          node = Above(other, q.point) ? q.right : q.left;
        } else {
          node = q.left;
        }
        break;
      case NodeType::kSegment: {
        const PolygonSegment& seg = segments_[q.segment];
        bool goLeft;
        if (SamePoint(v, seg.start) || SamePoint(v, seg.end)) {
          goLeft = NearlyEqual(v.y, other.y) ? other.x < v.x : PointLeftOfSegment(q.segment, other);
        } else {
          goLeft = PointLeftOfSegment(q.segment, v);
        }
        node = goLeft ? q.left : q.right;
        break;
      }
      case NodeType::kNone:
        node = 0;
        break;
    }
  }
  Fail("FindTrapezoidOfPoint: query structure is broken\n");
  return 0;
}

bool CPolygonTriangulator::PointLeftOfSegment(int32_t s, TriPoint p) const {
  const PolygonSegment& seg = segments_[s];
  if (NearlyEqual(seg.end.y, p.y)) return p.x < seg.end.x;
  if (NearlyEqual(seg.start.y, p.y)) return p.x < seg.start.x;
  double area = Above(seg.end, seg.start) ? Cross(seg.start, seg.end, p) : Cross(seg.end, seg.start, p);
  return area > 0.0;
}

// Splits trapezoid `upper` horizontally at p (a new end point): `upper` keeps
// the part above, the new trapezoid `*lower` the part below, and upper's sink
// becomes a point node choosing between them.
bool CPolygonTriangulator::SplitTrapezoidAtPoint(int32_t upper, TriPoint p, int32_t* lower) {
  int32_t tl = NewTrapezoid();
  int32_t above = NewNode();
  int32_t below = NewNode();
  if (tl == 0 || above == 0 || below == 0) return false;
  TrapezoidRecord& tu = trapezoids_[upper];
  TrapezoidRecord& t = trapezoids_[tl];
  t = tu;
  tu.bottom = t.top = p;
  tu.d0 = tl;
  tu.d1 = 0;
  t.u0 = upper;
  t.u1 = 0;
  for (int32_t d : {t.d0, t.d1}) {
    if (d <= 0) continue;
    if (trapezoids_[d].u0 == upper) trapezoids_[d].u0 = tl;
    if (trapezoids_[d].u1 == upper) trapezoids_[d].u1 = tl;
  }
  int32_t sink = tu.sink;
  QueryNode& split = nodes_[sink];
  split.type = NodeType::kPoint;
  split.point = p;
  split.right = above;
  split.left = below;
  nodes_[above].type = NodeType::kSink;
  nodes_[above].trapezoid = upper;
  nodes_[above].parent = sink;
  nodes_[below].type = NodeType::kSink;
  nodes_[below].trapezoid = tl;
  nodes_[below].parent = sink;
  tu.sink = above;
  t.sink = below;
  *lower = tl;
  return true;
}

// Fixes the upper links of the two halves t (left of the new segment) and tn
// (right of it) of a trapezoid the segment has just cut.
void CPolygonTriangulator::LinkUpperSide(int32_t t, int32_t tn, const PolygonSegment& s) {
  TrapezoidRecord& left = trapezoids_[t];
  TrapezoidRecord& right = trapezoids_[tn];
  if (left.u0 > 0 && left.u1 > 0) {
    // The segment continues a chain of inserted segments from above.
    if (left.savedUpper > 0) {
      if (left.savedSide == kLeftSide) {
        right.u0 = left.u1;
        left.u1 = 0;
        right.u1 = left.savedUpper;
        trapezoids_[left.u0].d0 = t;
        trapezoids_[right.u0].d0 = tn;
        trapezoids_[right.u1].d0 = tn;
      } else {
        right.u1 = 0;
        right.u0 = left.u1;
        left.u1 = left.u0;
        left.u0 = left.savedUpper;
        trapezoids_[left.u0].d0 = t;
        trapezoids_[left.u1].d0 = t;
        trapezoids_[right.u0].d0 = tn;
      }
      left.savedUpper = right.savedUpper = 0;
    } else {
      right.u0 = left.u1;
      left.u1 = right.u1 = 0;
      trapezoids_[right.u0].d0 = tn;
    }
    return;
  }
  // A fresh segment, or one leaving an upward cusp.
  int32_t u = left.u0;
  if (u <= 0) return;
  int32_t ud0 = trapezoids_[u].d0;
  int32_t ud1 = trapezoids_[u].d1;
  if (ud0 > 0 && ud1 > 0) {
    int32_t separator = trapezoids_[ud0].rightSegment;
    if (separator > 0 && !PointLeftOfSegment(separator, s.end)) {
      left.u0 = left.u1 = right.u1 = 0;
      trapezoids_[right.u0].d1 = tn;
    } else {
      right.u0 = right.u1 = left.u1 = 0;
      trapezoids_[left.u0].d0 = t;
    }
  } else {
    trapezoids_[u].d0 = t;
    trapezoids_[u].d1 = tn;
  }
}

void CPolygonTriangulator::LinkOneLowerNeighbour(int32_t t, int32_t tn, int32_t d, bool closesAtBottom,
                                                 int32_t bottomNeighbour, TriPoint top) {
  TrapezoidRecord& below = trapezoids_[d];
  if (closesAtBottom) {
    // The segment ends on an inserted chain: the two halves close in a cusp.
    if (bottomNeighbour > 0 && PointLeftOfSegment(bottomNeighbour, top)) {
      below.u0 = t;
      trapezoids_[tn].d0 = trapezoids_[tn].d1 = 0;
    } else {
      below.u1 = tn;
      trapezoids_[t].d0 = trapezoids_[t].d1 = 0;
    }
    return;
  }
  if (below.u0 > 0 && below.u1 > 0) {
    if (below.u0 == t) {
      below.savedUpper = below.u1;
      below.savedSide = kLeftSide;
    } else {
      below.savedUpper = below.u0;
      below.savedSide = kRightSide;
    }
  }
  below.u0 = t;
  below.u1 = tn;
}

bool CPolygonTriangulator::AddSegment(int32_t segment) {
  if (segment <= 0 || segment > n_) return Fail("add_segment: error\n");
  PolygonSegment s = segments_[segment];
  bool swapped = false;
  if (Above(s.end, s.start)) {
    std::swap(s.start, s.end);
    std::swap(s.startNode, s.endNode);
    swapped = true;
  }
  // From here on s.start is the top point and s.end the bottom point.
  int32_t topNeighbour = swapped ? NextSegment(segment) : PreviousSegment(segment);
  int32_t bottomNeighbour = swapped ? PreviousSegment(segment) : NextSegment(segment);

  int32_t first = FindTrapezoidOfPoint(s.start, s.end, s.startNode);
  if (first == 0) return false;
  if (!segments_[topNeighbour].inserted) {
    int32_t lower = 0;
    if (!SplitTrapezoidAtPoint(first, s.start, &lower)) return false;
    first = lower;
  }
  int32_t last = FindTrapezoidOfPoint(s.end, s.start, s.endNode);
  if (last == 0) return false;
  bool bottomExisted = segments_[bottomNeighbour].inserted;
  if (!bottomExisted) {
    int32_t lower = 0;
    if (!SplitTrapezoidAtPoint(last, s.end, &lower)) return false;
  }

  int32_t firstRight = 0;
  int32_t lastRight = 0;
  int32_t t = first;
  while (t > 0 && AboveOrSame(trapezoids_[t].bottom, trapezoids_[last].bottom)) {
    int32_t sink = trapezoids_[t].sink;
    int32_t leftSink = NewNode();
    int32_t rightSink = NewNode();
    int32_t tn = NewTrapezoid();
    if (leftSink == 0 || rightSink == 0 || tn == 0) return false;
    trapezoids_[tn] = trapezoids_[t];
    QueryNode& cut = nodes_[sink];
    cut.type = NodeType::kSegment;
    cut.segment = segment;
    cut.left = leftSink;
    cut.right = rightSink;
    nodes_[leftSink].type = NodeType::kSink;
    nodes_[leftSink].trapezoid = t;
    nodes_[leftSink].parent = sink;
    nodes_[rightSink].type = NodeType::kSink;
    nodes_[rightSink].trapezoid = tn;
    nodes_[rightSink].parent = sink;
    trapezoids_[t].sink = leftSink;
    trapezoids_[tn].sink = rightSink;

    if (t == first) firstRight = tn;
    bool atLastBottom = SamePoint(trapezoids_[t].bottom, trapezoids_[last].bottom);
    if (atLastBottom) lastRight = tn;
    bool closesAtBottom = atLastBottom && bottomExisted;

    int32_t d0 = trapezoids_[t].d0;
    int32_t d1 = trapezoids_[t].d1;
    int32_t next = 0;
    if (d0 <= 0 && d1 <= 0) {
      Fail("add_segment: error\n");
      return false;
    }
    LinkUpperSide(t, tn, s);
    if (d0 > 0 && d1 > 0) {
      TrapezoidRecord& left = trapezoids_[t];
      TrapezoidRecord& right = trapezoids_[tn];
      TriPoint bottom = left.bottom;
      bool passesLeft;
      if (NearlyEqual(bottom.y, s.start.y)) {
        passesLeft = bottom.x > s.start.x;
      } else {
        double along = (bottom.y - s.start.y) / (s.end.y - s.start.y);
        TriPoint crossing{s.start.x + along * (s.end.x - s.start.x), bottom.y};
        passesLeft = Below(crossing, bottom);
      }
      if (closesAtBottom) {
        trapezoids_[d0].u0 = t;
        trapezoids_[d0].u1 = 0;
        trapezoids_[d1].u0 = tn;
        trapezoids_[d1].u1 = 0;
        right.d0 = d1;
        left.d1 = right.d1 = 0;
        next = 0;
      } else if (passesLeft) {
        trapezoids_[d0].u0 = t;
        trapezoids_[d0].u1 = tn;
        trapezoids_[d1].u0 = tn;
        trapezoids_[d1].u1 = 0;
        left.d1 = 0;
        next = d0;
      } else {
        trapezoids_[d0].u0 = t;
        trapezoids_[d0].u1 = 0;
        trapezoids_[d1].u0 = t;
        trapezoids_[d1].u1 = tn;
        right.d0 = d1;
        right.d1 = 0;
        next = d1;
      }
    } else {
      int32_t d = d0 > 0 ? d0 : d1;
      LinkOneLowerNeighbour(t, tn, d, closesAtBottom, bottomNeighbour, s.start);
      next = d;
    }
    trapezoids_[t].rightSegment = segment;
    trapezoids_[tn].leftSegment = segment;
    t = next;
  }

  JoinTrapezoidsAlong(segment, first, last, kLeftSide);
  JoinTrapezoidsAlong(segment, firstRight, lastRight, kRightSide);
  segments_[segment].inserted = true;
  return true;
}

void CPolygonTriangulator::JoinTrapezoidsAlong(int32_t s, int32_t first, int32_t last, Side side) {
  if (first <= 0 || last <= 0) return;
  auto bordersOnSegment = [&](int32_t d) {
    if (d <= 0) return false;
    return side == kLeftSide ? trapezoids_[d].rightSegment == s : trapezoids_[d].leftSegment == s;
  };
  int32_t t = first;
  while (t > 0 && AboveOrSame(trapezoids_[t].bottom, trapezoids_[last].bottom)) {
    TrapezoidRecord& upper = trapezoids_[t];
    int32_t next = bordersOnSegment(upper.d0) ? upper.d0 : upper.d1;
    if (!bordersOnSegment(next)) {
      t = next;
      continue;
    }
    TrapezoidRecord& lower = trapezoids_[next];
    if (upper.leftSegment != lower.leftSegment || upper.rightSegment != lower.rightSegment) {
      t = next;
      continue;
    }
    // Same walls on both sides: the lower trapezoid is merged into the upper.
    int32_t parent = nodes_[lower.sink].parent;
    if (nodes_[parent].left == lower.sink) {
      nodes_[parent].left = upper.sink;
    } else {
      nodes_[parent].right = upper.sink;
    }
    upper.d0 = lower.d0;
    upper.d1 = lower.d1;
    for (int32_t d : {upper.d0, upper.d1}) {
      if (d <= 0) continue;
      if (trapezoids_[d].u0 == next) {
        trapezoids_[d].u0 = t;
      } else if (trapezoids_[d].u1 == next) {
        trapezoids_[d].u1 = t;
      }
    }
    upper.bottom = lower.bottom;
    lower.state = TrapezoidState::kMerged;
  }
}

bool CPolygonTriangulator::RelocateSegmentEnds(int32_t s) {
  PolygonSegment& seg = segments_[s];
  if (seg.inserted) return true;
  int32_t top = FindTrapezoidOfPoint(seg.start, seg.end, seg.startNode);
  int32_t bottom = FindTrapezoidOfPoint(seg.end, seg.start, seg.endNode);
  if (top == 0 || bottom == 0) return false;
  seg.startNode = trapezoids_[top].sink;
  seg.endNode = trapezoids_[bottom].sink;
  return true;
}

// ---- Monotone pieces -------------------------------------------------------

bool CPolygonTriangulator::IsInsideStartTrapezoid(const TrapezoidRecord& t) const {
  if (t.state != TrapezoidState::kValid) return false;
  if (t.leftSegment <= 0 || t.rightSegment <= 0) return false;
  bool noUpper = t.u0 <= 0 && t.u1 <= 0;
  bool noLower = t.d0 <= 0 && t.d1 <= 0;
  if (!noUpper && !noLower) return false;
  const PolygonSegment& right = segments_[t.rightSegment];
  return Above(right.end, right.start);
}

bool CPolygonTriangulator::SplitIntoMonotonePolygons(int32_t* count) {
  int32_t start = 0;
  for (int32_t i = 1; i < nextTrapezoid_; ++i) {
    if (IsInsideStartTrapezoid(trapezoids_[i])) {
      start = i;
      break;
    }
  }
  if (start == 0) return false;

  for (int32_t i = 1; i <= n_; ++i) {
    chain_[i] = {i, NextSegment(i), PreviousSegment(i)};
    DiagonalVertex& v = vertices_[i];
    v.point = segments_[i].start;
    v.neighbour[0] = NextSegment(i);
    v.chainPosition[0] = i;
    v.nextFree = 1;
  }
  nextChainLink_ = n_;
  nextMonotone_ = 0;
  monotoneStarts_[0] = 1;

  const TrapezoidRecord& t = trapezoids_[start];
  bool walked = true;
  if (t.u0 > 0) {
    walked = WalkTrapezoids(start, t.u0, kFromAbove);
  } else if (t.d0 > 0) {
    walked = WalkTrapezoids(start, t.d0, kFromBelow);
  }
  *count = nextMonotone_ + 1;
  return walked;
}

bool CPolygonTriangulator::WalkTrapezoids(int32_t startTrapezoid, int32_t from, Direction direction) {
  // A depth-first walk done with an explicit stack, since a polygon may have
  // many trapezoids: each visit does its work first and then walks its
  // neighbours in order, so they are pushed in reverse.
  struct Visit {
    int32_t polygon;
    int32_t trapezoid;
    int32_t from;
    Direction direction;
  };
  std::vector<Visit> stack{{0, startTrapezoid, from, direction}};
  std::vector<Visit> then;
  while (!stack.empty()) {
    Visit visit = stack.back();
    stack.pop_back();
    int32_t tr = visit.trapezoid;
    if (tr <= 0 || tr >= nextTrapezoid_ || visited_[tr]) continue;
    visited_[tr] = 1;
    const TrapezoidRecord& t = trapezoids_[tr];
    int32_t m = visit.polygon;
    int32_t f = visit.from;
    Direction dir = visit.direction;
    then.clear();
    auto up = [&](int32_t polygon, int32_t x) { then.push_back({polygon, x, tr, kFromBelow}); };
    auto down = [&](int32_t polygon, int32_t x) { then.push_back({polygon, x, tr, kFromAbove}); };
    auto split = [&](int32_t a, int32_t b, int32_t* made) { return SplitAlongDiagonal(m, a, b, made); };
    int32_t mn = 0;
    bool twoUpper = t.u0 > 0 && t.u1 > 0;
    bool twoLower = t.d0 > 0 && t.d1 > 0;
    bool walls = t.leftSegment > 0 && t.rightSegment > 0;

    if (t.u0 <= 0 && t.u1 <= 0) {
      if (twoLower) {
        int32_t a = trapezoids_[t.d1].leftSegment;
        int32_t b = t.leftSegment;
        if (f == t.d1) {
          if (!split(b, a, &mn)) return false;
          down(m, t.d1);
          down(mn, t.d0);
        } else {
          if (!split(a, b, &mn)) return false;
          down(m, t.d0);
          down(mn, t.d1);
        }
      } else {
        up(m, t.u0);
        up(m, t.u1);
        down(m, t.d0);
        down(m, t.d1);
      }
    } else if (t.d0 <= 0 && t.d1 <= 0) {
      if (twoUpper) {
        int32_t a = t.rightSegment;
        int32_t b = trapezoids_[t.u0].rightSegment;
        if (f == t.u1) {
          if (!split(b, a, &mn)) return false;
          up(m, t.u1);
          up(mn, t.u0);
        } else {
          if (!split(a, b, &mn)) return false;
          up(m, t.u0);
          up(mn, t.u1);
        }
      } else {
        up(m, t.u0);
        up(m, t.u1);
        down(m, t.d0);
        down(m, t.d1);
      }
    } else if (!walls) {
      return Fail("WalkTrapezoids: trapezoid without walls\n");
    } else if (twoUpper && twoLower) {
      int32_t a = trapezoids_[t.d1].leftSegment;
      int32_t b = trapezoids_[t.u0].rightSegment;
      if ((dir == kFromBelow && f == t.d1) || (dir == kFromAbove && f == t.u1)) {
        if (!split(b, a, &mn)) return false;
        up(m, t.u1);
        down(m, t.d1);
        up(mn, t.u0);
        down(mn, t.d0);
      } else {
        if (!split(a, b, &mn)) return false;
        up(m, t.u0);
        down(m, t.d0);
        up(mn, t.u1);
        down(mn, t.d1);
      }
    } else if (twoUpper) {
      if (SamePoint(t.bottom, segments_[t.leftSegment].end)) {
        int32_t a = trapezoids_[t.u0].rightSegment;
        int32_t b = NextSegment(t.leftSegment);
        if (dir == kFromAbove && f == t.u0) {
          if (!split(b, a, &mn)) return false;
          up(m, t.u0);
          down(mn, t.d0);
          up(mn, t.u1);
          down(mn, t.d1);
        } else {
          if (!split(a, b, &mn)) return false;
          up(m, t.u1);
          down(m, t.d0);
          down(m, t.d1);
          up(mn, t.u0);
        }
      } else {
        int32_t a = t.rightSegment;
        int32_t b = trapezoids_[t.u0].rightSegment;
        if (dir == kFromAbove && f == t.u1) {
          if (!split(b, a, &mn)) return false;
          up(m, t.u1);
          down(mn, t.d1);
          down(mn, t.d0);
          up(mn, t.u0);
        } else {
          if (!split(a, b, &mn)) return false;
          up(m, t.u0);
          down(m, t.d0);
          down(m, t.d1);
          up(mn, t.u1);
        }
      }
    } else if (twoLower) {
      if (SamePoint(t.top, segments_[t.leftSegment].start)) {
        int32_t a = t.leftSegment;
        int32_t b = trapezoids_[t.d1].leftSegment;
        if (dir == kFromBelow && f == t.d0) {
          if (!split(b, a, &mn)) return false;
          down(m, t.d0);
          up(mn, t.u0);
          up(mn, t.u1);
          down(mn, t.d1);
        } else {
          if (!split(a, b, &mn)) return false;
          up(m, t.u1);
          down(m, t.d1);
          up(m, t.u0);
          down(mn, t.d0);
        }
      } else {
        int32_t a = NextSegment(t.rightSegment);
        int32_t b = trapezoids_[t.d1].leftSegment;
        if (dir == kFromBelow && f == t.d1) {
          if (!split(a, b, &mn)) return false;
          down(m, t.d1);
          up(mn, t.u1);
          up(mn, t.u0);
          down(mn, t.d0);
        } else {
          if (!split(b, a, &mn)) return false;
          up(m, t.u0);
          down(m, t.d0);
          up(m, t.u1);
          down(mn, t.d1);
        }
      }
    } else {
      const PolygonSegment& left = segments_[t.leftSegment];
      const PolygonSegment& right = segments_[t.rightSegment];
      int32_t a = 0, b = 0;
      if (SamePoint(t.top, left.start) && SamePoint(t.bottom, right.start)) {
        a = t.leftSegment;
        b = t.rightSegment;
      } else if (SamePoint(t.top, right.end) && SamePoint(t.bottom, left.end)) {
        a = NextSegment(t.leftSegment);
        b = NextSegment(t.rightSegment);
      }
      if (a == 0) {
        up(m, t.u0);
        down(m, t.d0);
        up(m, t.u1);
        down(m, t.d1);
      } else if (dir == kFromBelow) {
        if (!split(b, a, &mn)) return false;
        down(m, t.d1);
        down(m, t.d0);
        up(mn, t.u0);
        up(mn, t.u1);
      } else {
        if (!split(a, b, &mn)) return false;
        up(m, t.u0);
        up(m, t.u1);
        down(mn, t.d1);
        down(mn, t.d0);
      }
    }
    stack.insert(stack.end(), then.rbegin(), then.rend());
  }
  return true;
}

int32_t CPolygonTriangulator::FindChainSlot(int32_t vertex, int32_t towards) const {
  const DiagonalVertex& v = vertices_[vertex];
  double best = -4.0;
  int32_t slot = -1;
  for (int32_t i = 0; i < DiagonalVertex::kSlots; ++i) {
    int32_t neighbour = v.neighbour[i];
    if (neighbour <= 0) continue;
    double measure = TurnMeasure(v.point, vertices_[neighbour].point, vertices_[towards].point);
    if (measure > best) {
      best = measure;
      slot = i;
    }
  }
  return slot;
}

bool CPolygonTriangulator::SplitAlongDiagonal(int32_t m, int32_t a, int32_t b, int32_t* newPolygon) {
  if (a <= 0 || a > n_ || b <= 0 || b > n_) return Fail("SplitAlongDiagonal: bad vertex\n");
  int32_t mn = NextMonotonePolygon();
  int32_t ia = FindChainSlot(a, b);
  int32_t ib = FindChainSlot(b, a);
  DiagonalVertex& va = vertices_[a];
  DiagonalVertex& vb = vertices_[b];
  if (mn == 0 || ia < 0 || ib < 0 || va.nextFree >= DiagonalVertex::kSlots ||
      vb.nextFree >= DiagonalVertex::kSlots) {
    return Fail("SplitAlongDiagonal: tables full\n");
  }
  int32_t p = va.chainPosition[ia];
  int32_t q = vb.chainPosition[ib];
  int32_t i = NextChainElement();
  int32_t j = NextChainElement();
  if (i == 0 || j == 0) return Fail("SplitAlongDiagonal: tables full\n");

  chain_[i].vertex = a;
  chain_[j].vertex = b;
  chain_[i].next = chain_[p].next;
  chain_[chain_[p].next].previous = i;
  chain_[i].previous = j;
  chain_[j].next = i;
  chain_[j].previous = chain_[q].previous;
  chain_[chain_[q].previous].next = j;
  chain_[p].next = q;
  chain_[q].previous = p;

  va.neighbour[ia] = b;
  va.chainPosition[va.nextFree] = i;
  va.neighbour[va.nextFree] = chain_[chain_[i].next].vertex;
  vb.chainPosition[vb.nextFree] = j;
  vb.neighbour[vb.nextFree] = a;
  ++va.nextFree;
  ++vb.nextFree;

  monotoneStarts_[m] = p;
  monotoneStarts_[mn] = i;
  *newPolygon = mn;
  return true;
}

// ---- Triangles -------------------------------------------------------------

bool CPolygonTriangulator::TriangulateMonotonePolygons(int32_t count, std::vector<TriangleIndices>& out) {
  for (int32_t k = 0; k < count; ++k) {
    int32_t start = monotoneStarts_[k];
    if (start <= 0 || start > nextChainLink_) return Fail("TriangulatePolygon: broken chain\n");
    int32_t firstVertex = chain_[start].vertex;
    TriPoint top = vertices_[firstVertex].point;
    TriPoint bottom = top;
    int32_t topLink = start;
    int32_t vertexCount = 1;
    int32_t link = chain_[start].next;
    for (; chain_[link].vertex != firstVertex; link = chain_[link].next) {
      if (link <= 0 || vertexCount > nextChainLink_) return Fail("TriangulatePolygon: broken chain\n");
      TriPoint p = vertices_[chain_[link].vertex].point;
      if (Above(p, top)) {
        top = p;
        topLink = link;
      }
      if (Below(p, bottom)) bottom = p;
      ++vertexCount;
    }
    if (vertexCount < 3) return Fail("TriangulatePolygon: broken chain\n");
    if (vertexCount == 3) {
      out.push_back({chain_[link].vertex, chain_[chain_[link].next].vertex, chain_[chain_[link].previous].vertex});
      continue;
    }
    int32_t afterTop = chain_[chain_[topLink].next].vertex;
    ChainSide side = SamePoint(vertices_[afterTop].point, bottom) ? kLeftIsOneEdge : kRightIsOneEdge;
    if (!TriangulateMonotoneChain(topLink, side, out)) return false;
  }
  return true;
}

bool CPolygonTriangulator::TriangulateMonotoneChain(int32_t topLink, ChainSide side,
                                                    std::vector<TriangleIndices>& out) {
  std::vector<int32_t> stack;
  int32_t link;
  int32_t endVertex;
  if (side == kRightIsOneEdge) {
    stack = {chain_[topLink].vertex, chain_[chain_[topLink].next].vertex};
    link = chain_[chain_[topLink].next].next;
    endVertex = chain_[chain_[topLink].previous].vertex;
  } else {
    int32_t second = chain_[chain_[topLink].next].next;
    stack = {chain_[chain_[topLink].next].vertex, chain_[second].vertex};
    link = chain_[second].next;
    endVertex = chain_[topLink].vertex;
  }
  int32_t v = chain_[link].vertex;
  // Each round either writes a triangle or advances one vertex; both are
  // bounded by the chain's length.
  int32_t budget = 2 * nextChainLink_ + 4;
  while (v != endVertex || stack.size() > 2) {
    if (--budget < 0 || v <= 0) return Fail("TriangulatePolygon: broken chain\n");
    size_t k = stack.size() - 1;
    if (stack.size() >= 2 &&
        Cross(vertices_[v].point, vertices_[stack[k - 1]].point, vertices_[stack[k]].point) > 0.0) {
      out.push_back({stack[k - 1], stack[k], v});
      stack.pop_back();
    } else {
      stack.push_back(v);
      link = chain_[link].next;
      v = chain_[link].vertex;
    }
  }
  if (stack.size() < 2) return Fail("TriangulatePolygon: broken chain\n");
  size_t k = stack.size() - 1;
  out.push_back({stack[k - 1], stack[k], v});
  return true;
}

}  // namespace vx
