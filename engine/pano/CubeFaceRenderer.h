// One face of a cube panorama: a convex polygon whose corners carry a 3-D
// position and a point of the face image, projected through a 4 x 4
// matrix, clipped, and filled row by row with perspective-correct texture
// mapping. The cube renderer sets the matrix, corners and image each frame
// and lets the view drive the face like any renderer: Draw, then DrawRow
// for increasing rows.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/pano/PanoRenderer.h"

namespace vx {

// A projected vertex, and the edge and span records stepped along it:
// u/w, v/w, screen x, screen y, z/w and q = 1/w. Before projection the
// same six hold u, v (texels), x, y, z and w.
struct FaceVertex {
  float u = 0, v = 0, x = 0, y = 0, z = 0, w = 0;
};

// How a span of pixels is cut: head pixels up to a 4-pixel boundary, blocks
// of 32 and one each of 16, 8 and 4 where the groups of four left allow,
// and a tail. Perspective is divided once per block.
struct SpanPlan {
  int32_t head = 0;
  int32_t blocks32 = 0;
  bool block16 = false, block8 = false, block4 = false;
  int32_t tail = 0;
};
SpanPlan PlanSpan(int32_t firstColumn, int32_t count);

// Clipping a four-cornered face against five planes can add one vertex per
// plane: room for the worst case.
inline constexpr int32_t kFaceCorners = 8;
inline constexpr int32_t kClippedFaceVertices = kFaceCorners + 5;

class CCubeFaceRenderer final : public CPanoRenderer {
 public:
  void SetMatrix(const std::array<float, 16>& matrix) { matrix_ = matrix; }
  void SetCornerCount(int32_t count) { cornerCount_ = count; }
  // Position x, y, z and face-image point u, v as fractions; 0 <= i < 8.
  void SetCorner(int32_t i, float x, float y, float z, float u, float v);
  void SetFaceImage(const MediaImageInfo& image);
  // The rows of the face image this face's tile holds. Texels are clamped
  // to them, so that rounding at a tile's edge never shows a row of the
  // neighbouring tile, a different face of the cube.
  void SetTileRows(int32_t first, int32_t last);

  int32_t Draw() override;
  int32_t DrawRow(int32_t row, int32_t parameter) override;
  int32_t GetBounds(PanoBounds* bounds) const override;
  bool IsWarper() const override { return true; }

 private:
  struct Corner {
    float u, v, x, y, z;
  };
  enum Walker { kLeft, kRight };

  void ClipToPlane(int32_t plane);
  void StartEdge(Walker walker);
  void AdvanceEdges();
  void MapSpan(uint8_t* row, const FaceVertex& start, const FaceVertex& end) const;
  template <typename Pixel>
  void MapSpanOf(uint8_t* row, const FaceVertex& start, const FaceVertex& end) const;

  std::array<float, 16> matrix_{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  int32_t cornerCount_ = 0;
  std::array<Corner, kFaceCorners> corners_{};
  std::array<FaceVertex, kClippedFaceVertices> polygon_{};
  int32_t vertexCount_ = 0;

  MediaImageInfo image_;
  std::vector<const uint8_t*> faceRows_;
  int32_t texelLimitU_ = 0, texelLimitV_ = 0;
  int32_t firstTileRow_ = 0, lastTileRow_ = 0;
  PanoBounds bounds_;

  // The row walk.
  MediaImageInfo output_;
  std::array<int32_t, 2> index_{};
  std::array<int32_t, 2> endRow_{};
  std::array<FaceVertex, 2> edge_{};
  std::array<FaceVertex, 2> step_{};
  int32_t currentRow_ = -1;
  int32_t firstRow_ = 0;
  int32_t edgesLeft_ = 0;
};

}  // namespace vx
