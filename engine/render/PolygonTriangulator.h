// Cuts one simple polygon (a single closed contour without holes) into
// triangles with Seidel's randomized trapezoidation: the edges are inserted in
// random order into a trapezoid map with a point-location structure, the
// trapezoids inside the polygon are walked to split it into monotone pieces
// along diagonals, and each piece is cut with a stack of reflex vertices.
//
// The extrusion caps use it. Every table is sized from the number of points
// of the polygon being cut; the tables are indexed from 1 and 0 means "none"
// in every link. When a table would overflow (which a simple polygon does not
// cause), the triangulator prints its diagnostic line and gives up, writing no
// triangles.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Random.h"

namespace vx {

struct TriPoint {
  double x;
  double y;
};

// Three vertex numbers 1..n: vertex k is input point k - 1 (after the points
// were made counter-clockwise).
using TriangleIndices = std::array<int32_t, 3>;

enum class TriangulateStatus {
  kDone,      // the triangles were written; a simple polygon gives n - 2
  kZeroArea,  // nothing written
  kFailed,    // bad input (non-finite or self-crossing); nothing written
};

enum class OrientationChange { kZeroArea, kReversed, kUnchanged };

// Twice the signed area in single precision decides: zero gives kZeroArea, a
// clockwise polygon is reversed in place (point i swapped with n - 1 - i).
OrientationChange MakeCounterClockwise(std::span<TriPoint> points);

class CPolygonTriangulator {
 public:
  // The segment order comes from the engine's 15-bit generator, so a given
  // seed always gives the same triangles.
  explicit CPolygonTriangulator(uint32_t seed = 1) : random_(seed) {}

  void Seed(uint32_t seed) { random_.Seed(seed); }

  // The points may be reversed in place (MakeCounterClockwise). The
  // triangles replace the contents of `triangles`; callers use its size.
  [[nodiscard]] TriangulateStatus Triangulate(std::span<TriPoint> points,
                                              std::vector<TriangleIndices>& triangles);

 private:
  enum class NodeType : int32_t { kNone = 0, kSegment = 1, kPoint = 2, kSink = 3 };
  enum class TrapezoidState : int32_t { kUnused = 0, kValid = 1, kMerged = 2 };
  enum Side : int32_t { kLeftSide = 1, kRightSide = 2 };
  enum Direction : int32_t { kFromAbove = 1, kFromBelow = 2 };
  enum ChainSide : int32_t { kLeftIsOneEdge = 1, kRightIsOneEdge = 2 };

  struct PolygonSegment {
    TriPoint start{};
    TriPoint end{};
    bool inserted = false;
    int32_t startNode = 0;
    int32_t endNode = 0;
  };

  struct QueryNode {
    NodeType type = NodeType::kNone;
    int32_t segment = 0;
    TriPoint point{};
    int32_t trapezoid = 0;
    int32_t parent = 0;
    int32_t left = 0;   // below a point node, left of a segment node
    int32_t right = 0;  // above a point node, right of a segment node
  };

  struct TrapezoidRecord {
    int32_t leftSegment = 0;
    int32_t rightSegment = 0;
    TriPoint top{};
    TriPoint bottom{};
    int32_t u0 = 0, u1 = 0, d0 = 0, d1 = 0;
    int32_t sink = 0;
    int32_t savedUpper = 0;
    int32_t savedSide = 0;
    TrapezoidState state = TrapezoidState::kUnused;
  };

  struct MonotoneChainLink {
    int32_t vertex = 0;
    int32_t next = 0;
    int32_t previous = 0;
  };

  struct DiagonalVertex {
    static constexpr int32_t kSlots = 4;
    TriPoint point{};
    std::array<int32_t, kSlots> neighbour{};
    std::array<int32_t, kSlots> chainPosition{};
    int32_t nextFree = 0;
  };

  void Prepare(std::span<const TriPoint> points);
  void MakeRandomOrder();
  int32_t NextInRandomOrder();

  int32_t NextSegment(int32_t s) const { return s % n_ + 1; }
  int32_t PreviousSegment(int32_t s) const { return (s + n_ - 2) % n_ + 1; }

  [[nodiscard]] int32_t NewNode();
  [[nodiscard]] int32_t NewTrapezoid();
  [[nodiscard]] int32_t NextMonotonePolygon();
  [[nodiscard]] int32_t NextChainElement();
  bool Fail(const char* message);

  bool BuildTrapezoidMap();
  int32_t StartTrapezoidMap(int32_t s);
  [[nodiscard]] int32_t FindTrapezoidOfPoint(TriPoint v, TriPoint other, int32_t node);
  bool PointLeftOfSegment(int32_t s, TriPoint p) const;
  bool AddSegment(int32_t s);
  bool SplitTrapezoidAtPoint(int32_t upper, TriPoint p, int32_t* lower);
  void LinkUpperSide(int32_t t, int32_t tn, const PolygonSegment& s);
  void LinkOneLowerNeighbour(int32_t t, int32_t tn, int32_t d, bool closesAtBottom,
                             int32_t bottomNeighbour, TriPoint top);
  void JoinTrapezoidsAlong(int32_t s, int32_t first, int32_t last, Side side);
  bool RelocateSegmentEnds(int32_t s);

  bool SplitIntoMonotonePolygons(int32_t* count);
  bool IsInsideStartTrapezoid(const TrapezoidRecord& t) const;
  bool WalkTrapezoids(int32_t startTrapezoid, int32_t from, Direction direction);
  bool SplitAlongDiagonal(int32_t m, int32_t a, int32_t b, int32_t* newPolygon);
  int32_t FindChainSlot(int32_t vertex, int32_t towards) const;

  bool TriangulateMonotonePolygons(int32_t count, std::vector<TriangleIndices>& out);
  bool TriangulateMonotoneChain(int32_t topLink, ChainSide side, std::vector<TriangleIndices>& out);

  Random15 random_;
  int32_t n_ = 0;
  std::vector<PolygonSegment> segments_;
  std::vector<int32_t> order_;
  int32_t orderIndex_ = 1;
  std::vector<QueryNode> nodes_;
  std::vector<TrapezoidRecord> trapezoids_;
  int32_t nextNode_ = 1;
  int32_t nextTrapezoid_ = 1;
  std::vector<MonotoneChainLink> chain_;
  std::vector<DiagonalVertex> vertices_;
  std::vector<int32_t> monotoneStarts_;
  std::vector<uint8_t> visited_;
  int32_t nextChainLink_ = 0;
  int32_t nextMonotone_ = 0;
};

// One polygon with a fresh triangulator of seed 1.
[[nodiscard]] TriangulateStatus TriangulatePolygon(std::span<TriPoint> points,
                                                   std::vector<TriangleIndices>& triangles);

}  // namespace vx
