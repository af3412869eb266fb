#include "engine/nodes/FaceCornerMesh.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <new>
#include <numbers>
#include <numeric>
#include <unordered_map>

#include "engine/scene/SceneLimits.h"

namespace vx {
namespace {

// Faces whose normals' cosine falls short of the crease limit by no more
// than this (about a quarter of a degree at a crease angle of 0) count as
// lying in one plane: the float normals of a flat face cut into several
// polygons never agree exactly.
constexpr float kSamePlaneSlack = 1e-5f;

// A point's further vertices are first looked for along a chain this long,
// which covers the faces around a point of any ordinary mesh; a point with
// more (a hostile fan of distinct colours) goes on in a hash map, so that
// the search never grows with the square of the corners.
constexpr int32_t kChainReach = 16;

// A float's bits, with -0 taken as 0 so that the two compare equal.
uint32_t Bits(float v) { return std::bit_cast<uint32_t>(v + 0.0f); }

// The corner values of one mesh vertex as bits: equal bits, one vertex.
using ValueBits = std::array<uint32_t, 8>;

ValueBits BitsOf(const CornerValues& c, bool withColor) {
  return {Bits(c.texCoord.x), Bits(c.texCoord.y), Bits(c.normal.x), Bits(c.normal.y),
          Bits(c.normal.z),   withColor ? Bits(c.color.r) : 0u,     withColor ? Bits(c.color.g) : 0u,
          withColor ? Bits(c.color.b) : 0u};
}

struct SplitKey {
  int32_t point;
  ValueBits values;
  bool operator==(const SplitKey&) const = default;
};

struct SplitKeyHash {
  size_t operator()(const SplitKey& key) const {
    uint64_t h = static_cast<uint32_t>(key.point);
    for (uint32_t word : key.values) h = (h ^ word) * 0x100000001B3ull;
    return static_cast<size_t>(h ^ (h >> 29));
  }
};

// Twice the area of the polygon along its normal, by the right-hand rule
// over its corners as listed.
CVec3f AreaNormal(std::span<const CVec3f> points, const MeshPolygon& polygon) {
  const CVec3f& a = points[static_cast<size_t>(polygon.vertices[0])];
  const CVec3f& b = points[static_cast<size_t>(polygon.vertices[1])];
  const CVec3f& c = points[static_cast<size_t>(polygon.vertices[2])];
  if (polygon.vertexCount == 3) return (b - a).Cross(c - a);
  const CVec3f& d = points[static_cast<size_t>(polygon.vertices[3])];
  return (c - a).Cross(d - b);
}

// Keeps one of each face in groupFaces[first, last) at its front and
// returns where the kept ones end. The few faces around an ordinary point
// are compared pairwise; a crowd of them is sorted first.
size_t DropRepeats(std::vector<int32_t>& groupFaces, size_t first, size_t last) {
  constexpr size_t kFewFaces = 16;
  const auto begin = groupFaces.begin() + static_cast<ptrdiff_t>(first);
  const auto end = groupFaces.begin() + static_cast<ptrdiff_t>(last);
  if (last - first > kFewFaces) {
    std::sort(begin, end);
    return static_cast<size_t>(std::unique(begin, end) - groupFaces.begin());
  }
  size_t kept = first;
  for (size_t i = first; i < last; ++i) {
    const auto keptEnd = groupFaces.begin() + static_cast<ptrdiff_t>(kept);
    if (std::find(begin, keptEnd, groupFaces[i]) == keptEnd) groupFaces[kept++] = groupFaces[i];
  }
  return kept;
}

// The unit vector, or zero for a zero vector.
CVec3f UnitOrZero(const CVec3f& v) {
  const float length = v.Length();
  return length > 0.0f ? v * (1.0f / length) : CVec3f{};
}

}  // namespace

CFaceCornerMesh::CFaceCornerMesh(std::span<const CVec3f> points, std::vector<MeshPolygon> polygons,
                                 std::vector<int32_t> faces)
    : points_(points), polygons_(std::move(polygons)), faces_(std::move(faces)) {
  assert(faces_.size() == polygons_.size() && "a face for every polygon");
  for (int32_t face : faces_) faceCount_ = std::max(faceCount_, face + 1);
  corners_.resize(polygons_.size() * kMaxMeshPolygonVertices);
}

std::vector<CVec3f> CFaceCornerMesh::FaceAreaNormals(bool ccw) const {
  std::vector<CVec3f> normals(static_cast<size_t>(faceCount_));
  const float side = ccw ? 1.0f : -1.0f;
  for (size_t k = 0; k < polygons_.size(); ++k) {
    normals[static_cast<size_t>(faces_[k])] += AreaNormal(points_, polygons_[k]) * side;
  }
  return normals;
}

void CFaceCornerMesh::DeriveFaceNormals(bool ccw) {
  const std::vector<CVec3f> faceNormals = FaceAreaNormals(ccw);
  for (int32_t k = 0; k < PolygonCount(); ++k) {
    const CVec3f normal = UnitOrZero(faceNormals[static_cast<size_t>(FaceOf(k))]);
    for (int32_t j = 0; j < Polygon(k).vertexCount; ++j) Corner(k, j).normal = normal;
  }
}

std::vector<int32_t> CFaceCornerMesh::PositionGroups(int32_t* groupCount) const {
  using PositionKey = std::pair<std::array<uint32_t, 3>, int32_t>;  // position bits, point
  std::vector<PositionKey> keys(points_.size());
  for (size_t i = 0; i < points_.size(); ++i) {
    const CVec3f& p = points_[i];
    keys[i] = {{Bits(p.x), Bits(p.y), Bits(p.z)}, static_cast<int32_t>(i)};
  }
  std::sort(keys.begin(), keys.end());
  std::vector<int32_t> groups(points_.size());
  int32_t group = -1;
  for (size_t i = 0; i < keys.size(); ++i) {
    if (i == 0 || keys[i].first != keys[i - 1].first) ++group;
    groups[static_cast<size_t>(keys[i].second)] = group;
  }
  *groupCount = group + 1;
  return groups;
}

void CFaceCornerMesh::DeriveCreasedNormals(float creaseAngle, bool ccw) {
  const std::vector<CVec3f> faceNormals = FaceAreaNormals(ccw);
  std::vector<CVec3f> unit(faceNormals.size());
  std::transform(faceNormals.begin(), faceNormals.end(), unit.begin(), UnitOrZero);

  // The faces around every position, each once: runs of one list, counted
  // out by position.
  int32_t groupCount = 0;
  const std::vector<int32_t> groupOf = PositionGroups(&groupCount);
  std::vector<size_t> runStart(static_cast<size_t>(groupCount) + 1, 0);
  for (const MeshPolygon& polygon : polygons_) {
    for (int32_t j = 0; j < polygon.vertexCount; ++j) {
      ++runStart[static_cast<size_t>(groupOf[static_cast<size_t>(polygon.vertices[j])]) + 1];
    }
  }
  std::partial_sum(runStart.begin(), runStart.end(), runStart.begin());
  std::vector<int32_t> groupFaces(runStart.back());
  std::vector<size_t> fill(runStart.begin(), runStart.end() - 1);
  for (size_t k = 0; k < polygons_.size(); ++k) {
    for (int32_t j = 0; j < polygons_[k].vertexCount; ++j) {
      const auto group = static_cast<size_t>(groupOf[static_cast<size_t>(polygons_[k].vertices[j])]);
      groupFaces[fill[group]++] = faces_[k];
    }
  }
  std::vector<size_t> runEnd(static_cast<size_t>(groupCount));
  for (size_t g = 0; g < runEnd.size(); ++g) runEnd[g] = DropRepeats(groupFaces, runStart[g], runStart[g + 1]);

  const float angle = std::clamp(std::isnan(creaseAngle) ? 0.0f : creaseAngle, 0.0f, std::numbers::pi_v<float>);
  const float cosineLimit = std::cos(angle) - kSamePlaneSlack;
  for (int32_t k = 0; k < PolygonCount(); ++k) {
    const auto face = static_cast<size_t>(FaceOf(k));
    for (int32_t j = 0; j < Polygon(k).vertexCount; ++j) {
      const auto group = static_cast<size_t>(groupOf[static_cast<size_t>(Polygon(k).vertices[j])]);
      if (runEnd[group] - runStart[group] > static_cast<size_t>(kMaxSmoothedFacesAtAPoint)) {
        Corner(k, j).normal = unit[face];
        continue;
      }
      CVec3f sum;
      for (size_t i = runStart[group]; i < runEnd[group]; ++i) {
        const auto other = static_cast<size_t>(groupFaces[i]);
        if (other == face || unit[face].Dot(unit[other]) >= cosineLimit) sum += faceNormals[other];
      }
      Corner(k, j).normal = UnitOrZero(sum);
    }
  }
}

bool CFaceCornerMesh::Fill(CMeshBuffer& mesh) const {
  std::vector<int32_t> vertexPoint(points_.size());
  std::iota(vertexPoint.begin(), vertexPoint.end(), 0);
  std::vector<const CornerValues*> vertexValues(points_.size(), nullptr);
  std::vector<ValueBits> vertexBits(points_.size());
  std::vector<int32_t> nextOfPoint(points_.size(), -1);  // the chain of a point's vertices
  std::vector<MeshPolygon> polygons = polygons_;
  std::unordered_map<SplitKey, int32_t, SplitKeyHash> beyondReach;
  try {
    // At most one vertex per corner besides the points' own: room reserved
    // is not touched unless used.
    const size_t most = points_.size() + corners_.size();
    vertexPoint.reserve(most);
    vertexValues.reserve(most);
    vertexBits.reserve(most);
    nextOfPoint.reserve(most);
    auto addVertex = [&](int32_t point, const CornerValues& values, const ValueBits& bits) {
      const auto vertex = static_cast<int32_t>(vertexPoint.size());
      vertexPoint.push_back(point);
      vertexValues.push_back(&values);
      vertexBits.push_back(bits);
      nextOfPoint.push_back(-1);
      return vertex;
    };
    for (int32_t k = 0; k < PolygonCount(); ++k) {
      for (int32_t j = 0; j < Polygon(k).vertexCount; ++j) {
        const int32_t point = Polygon(k).vertices[j];
        const CornerValues& values = Corner(k, j);
        const ValueBits bits = BitsOf(values, keepColors_);
        int32_t vertex = point;
        if (vertexValues[static_cast<size_t>(point)] == nullptr) {
          vertexValues[static_cast<size_t>(point)] = &values;
          vertexBits[static_cast<size_t>(point)] = bits;
        } else {
          int32_t last = -1;
          int32_t walked = 0;
          while (vertex >= 0 && walked < kChainReach && vertexBits[static_cast<size_t>(vertex)] != bits) {
            last = vertex;
            vertex = nextOfPoint[static_cast<size_t>(vertex)];
            ++walked;
          }
          if (walked == kChainReach) {
            const auto [entry, added] = beyondReach.try_emplace(SplitKey{point, bits}, -1);
            if (added) entry->second = addVertex(point, values, bits);
            vertex = entry->second;
          } else if (vertex < 0) {
            vertex = addVertex(point, values, bits);
            nextOfPoint[static_cast<size_t>(last)] = vertex;
          }
        }
        polygons[static_cast<size_t>(k)].vertices[j] = vertex;
      }
    }
  } catch (const std::bad_alloc&) {
    mesh.SetVertexCount(0);
    return false;
  }

  const auto vertexCount = static_cast<int32_t>(vertexPoint.size());
  mesh.SetVertexCount(vertexCount);
  if (mesh.VertexCount() != vertexCount || (keepColors_ && !mesh.AddVertexColors())) {
    mesh.SetVertexCount(0);
    return false;
  }
  for (int32_t v = 0; v < vertexCount; ++v) {
    mesh.SetVertex(v, points_[static_cast<size_t>(vertexPoint[static_cast<size_t>(v)])]);
    const CornerValues* values = vertexValues[static_cast<size_t>(v)];
    if (values == nullptr) continue;  // a point no face uses
    mesh.SetTexCoord(v, values->texCoord);
    mesh.SetNormal(v, values->normal);
    if (keepColors_) mesh.SetColor(v, values->color);
  }
  mesh.SetPolygonCount(PolygonCount());
  if (mesh.PolygonCount() != PolygonCount()) {
    mesh.SetVertexCount(0);
    return false;
  }
  for (int32_t k = 0; k < PolygonCount(); ++k) mesh.SetPolygon(k, polygons[static_cast<size_t>(k)]);
  return true;
}

}  // namespace vx
