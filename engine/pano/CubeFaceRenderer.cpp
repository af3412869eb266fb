#include "engine/pano/CubeFaceRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/pano/PanoView.h"
#include "engine/render/Numeric.h"

namespace vx {
namespace {

constexpr int32_t kGroup = 4;
constexpr int32_t kBlockSizes[] = {32, 16, 8, 4};
constexpr float kTopStart = 1000000.0f;

int32_t RoundTexel(float value) {
  return value > 0 ? TruncToInt(value + 0.5f) : -TruncToInt(0.5f - value);
}

// The distance of a clip-space vertex to plane 0 left, 1 right, 2 top,
// 3 bottom, 4 near; inside where it is >= 0.
float PlaneDistance(const FaceVertex& p, int32_t plane) {
  switch (plane) {
    case 0:
      return p.w + p.x;
    case 1:
      return p.w - p.x;
    case 2:
      return p.w - p.y;
    case 3:
      return p.w + p.y;
    default:
      return p.w - p.z;
  }
}

FaceVertex Lerp(const FaceVertex& a, const FaceVertex& b, float t) {
  return {a.u + (b.u - a.u) * t, a.v + (b.v - a.v) * t, a.x + (b.x - a.x) * t,
          a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t, a.w + (b.w - a.w) * t};
}

// Steps of an edge per row from `from` to `to`, and its values at the centre
// of `row`; a flat edge is taken as one row high.
void SetupEdgeStep(const FaceVertex& from, const FaceVertex& to, FaceVertex* edge, FaceVertex* step, int32_t row) {
  float dy = to.y - from.y;
  if (dy == 0) dy = 1.0f;
  *step = {(to.u - from.u) / dy, (to.v - from.v) / dy, (to.x - from.x) / dy, (to.y - from.y) / dy, 0,
           (to.w - from.w) / dy};
  const float offset = static_cast<float>(row) - from.y + 0.5f;
  *edge = {from.u + step->u * offset, from.v + step->v * offset, from.x + step->x * offset,
           from.y + step->y * offset, from.z, from.w + step->w * offset};
}

void AdvanceEdge(FaceVertex* edge, const FaceVertex& step) {
  edge->u += step.u;
  edge->v += step.v;
  edge->x += step.x;
  edge->y += step.y;
  edge->w += step.w;
}

}  // namespace

SpanPlan PlanSpan(int32_t firstColumn, int32_t count) {
  SpanPlan plan;
  if (count <= 0) return plan;
  plan.head = std::min((kGroup - firstColumn % kGroup) % kGroup, count);
  const int32_t rest = count - plan.head;
  int32_t groups = rest / kGroup;
  plan.tail = rest % kGroup;
  plan.blocks32 = groups / 8;
  groups -= plan.blocks32 * 8;
  plan.block16 = groups >= 4;
  groups -= plan.block16 ? 4 : 0;
  plan.block8 = groups >= 2;
  groups -= plan.block8 ? 2 : 0;
  plan.block4 = groups >= 1;
  return plan;
}

void CCubeFaceRenderer::SetCorner(int32_t i, float x, float y, float z, float u, float v) {
  if (i < 0 || i >= kFaceCorners) return;
  corners_[static_cast<size_t>(i)] = {u, v, x, y, z};
}

void CCubeFaceRenderer::SetFaceImage(const MediaImageInfo& image) {
  image_ = image;
  texelLimitU_ = image.width - 1;
  texelLimitV_ = image.height - 1;
  firstTileRow_ = 0;
  lastTileRow_ = std::max(texelLimitV_, 0);
  faceRows_.clear();
  if (!image.bits && !image.rows) return;
  faceRows_.resize(image.height);
  for (int32_t k = 0; k < image.height; ++k)
    faceRows_[static_cast<size_t>(k)] = image.rows ? image.rows[k] : (image.bits ? image.Row(k) : nullptr);
}

void CCubeFaceRenderer::SetTileRows(int32_t first, int32_t last) {
  lastTileRow_ = std::clamp(last, 0, std::max(texelLimitV_, 0));
  firstTileRow_ = std::clamp(first, 0, lastTileRow_);
}

int32_t CCubeFaceRenderer::GetBounds(PanoBounds* bounds) const {
  *bounds = bounds_;
  return 0;
}

void CCubeFaceRenderer::ClipToPlane(int32_t plane) {
  std::array<FaceVertex, kClippedFaceVertices> out{};
  int32_t count = 0;
  bool changed = false;
  for (int32_t i = 0; i < vertexCount_; ++i) {
    const FaceVertex& a = polygon_[static_cast<size_t>(i)];
    const FaceVertex& b = polygon_[static_cast<size_t>((i + 1) % vertexCount_)];
    const float da = PlaneDistance(a, plane), db = PlaneDistance(b, plane);
    const bool aInside = da >= 0, bInside = db >= 0;
    if (aInside && count < kClippedFaceVertices) out[static_cast<size_t>(count++)] = a;
    if (aInside != bInside) {
      if (count < kClippedFaceVertices) out[static_cast<size_t>(count++)] = Lerp(a, b, da / (da - db));
      changed = true;
    } else if (!aInside) {
      changed = true;
    }
  }
  if (!changed) return;
  polygon_ = out;
  vertexCount_ = count;
}

int32_t CCubeFaceRenderer::Draw() {
  bounds_ = {};
  vertexCount_ = 0;
  currentRow_ = -1;
  CPanoView* view = GetTarget();
  if (cornerCount_ < 3 || cornerCount_ > kFaceCorners || !view) return 0;
  output_ = view->GetOutputImage();
  const float halfWidth = output_.width * 0.5f, halfHeight = output_.height * 0.5f;

  const std::array<float, 16>& m = matrix_;
  for (int32_t i = 0; i < cornerCount_; ++i) {
    const Corner& c = corners_[static_cast<size_t>(i)];
    const int32_t u = std::clamp(RoundTexel(c.u * static_cast<float>(texelLimitU_)), 0, std::max(texelLimitU_, 0));
    const int32_t v = std::clamp(RoundTexel(c.v * static_cast<float>(texelLimitV_)), 0, std::max(texelLimitV_, 0));
    polygon_[static_cast<size_t>(i)] = {static_cast<float>(u),
                                        static_cast<float>(v),
                                        c.x * m[0] + c.y * m[4] + c.z * m[8] + m[12],
                                        c.x * m[1] + c.y * m[5] + c.z * m[9] + m[13],
                                        c.x * m[2] + c.y * m[6] + c.z * m[10] + m[14],
                                        c.x * m[3] + c.y * m[7] + c.z * m[11] + m[15]};
  }
  vertexCount_ = cornerCount_;
  for (int32_t plane = 0; plane < 5 && vertexCount_ >= 3; ++plane) ClipToPlane(plane);
  if (vertexCount_ < 3) return 0;

  float top = kTopStart;
  int32_t topIndex = 0;
  float minX = 0, maxX = 0, minY = 0, maxY = 0;
  for (int32_t i = 0; i < vertexCount_; ++i) {
    FaceVertex& p = polygon_[static_cast<size_t>(i)];
    const float q = 1.0f / p.w;
    p = {p.u * q, p.v * q, p.x * q * halfWidth + halfWidth, -(p.y * q) * halfHeight + halfHeight, p.z * q, q};
    if (i == 0) minX = maxX = p.x, minY = maxY = p.y;
    minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    if (p.y < top) top = p.y, topIndex = i;
  }
  bounds_ = {TruncToInt(minY), TruncToInt(minX), TruncToInt(maxY + 1), TruncToInt(maxX + 1)};
  index_ = {topIndex, topIndex};
  edgesLeft_ = vertexCount_;
  firstRow_ = currentRow_ = TruncToInt(std::ceil(top - 0.5f));
  endRow_ = {firstRow_ - 1, firstRow_ - 1};
  return 0;
}

void CCubeFaceRenderer::StartEdge(Walker walker) {
  const int32_t from = index_[walker];
  const int32_t next = walker == kLeft ? (from == 0 ? vertexCount_ - 1 : from - 1) : (from + 1) % vertexCount_;
  --edgesLeft_;
  const FaceVertex& a = polygon_[static_cast<size_t>(from)];
  const FaceVertex& b = polygon_[static_cast<size_t>(next)];
  SetupEdgeStep(a, b, &edge_[walker], &step_[walker], currentRow_);
  endRow_[walker] = TruncToInt(std::floor(b.y + 0.5f));
  index_[walker] = next;
}

void CCubeFaceRenderer::AdvanceEdges() {
  AdvanceEdge(&edge_[kLeft], step_[kLeft]);
  AdvanceEdge(&edge_[kRight], step_[kRight]);
}

int32_t CCubeFaceRenderer::DrawRow(int32_t row, int32_t /*parameter*/) {
  if (vertexCount_ < 3 || currentRow_ < 0 || row < firstRow_) return 0;
  for (;;) {
    if (currentRow_ >= endRow_[kLeft] || currentRow_ >= endRow_[kRight]) {
      if (edgesLeft_ <= 0) {
        currentRow_ = -1;
        return 0;
      }
      while (currentRow_ >= endRow_[kLeft] && edgesLeft_ > 0) StartEdge(kLeft);
      while (currentRow_ >= endRow_[kRight] && edgesLeft_ > 0) StartEdge(kRight);
      if (currentRow_ >= endRow_[kLeft] || currentRow_ >= endRow_[kRight]) {
        currentRow_ = -1;
        return 0;
      }
    }
    if (currentRow_ >= row) break;
    AdvanceEdges();
    ++currentRow_;
  }
  if (currentRow_ >= 0 && currentRow_ < output_.height && (output_.bits || output_.rows)) {
    uint8_t* destination = output_.rows ? output_.rows[currentRow_] : output_.Row(currentRow_);
    const bool leftFirst = edge_[kRight].x > edge_[kLeft].x;
    MapSpan(destination, leftFirst ? edge_[kLeft] : edge_[kRight], leftFirst ? edge_[kRight] : edge_[kLeft]);
  }
  ++currentRow_;
  AdvanceEdges();
  return 0;
}

void CCubeFaceRenderer::MapSpan(uint8_t* row, const FaceVertex& start, const FaceVertex& end) const {
  if (image_.bytesPerPixel != output_.bytesPerPixel || faceRows_.empty()) return;
  switch (output_.bytesPerPixel) {
    case 4:
      return MapSpanOf<uint32_t>(row, start, end);
    case 2:
      return MapSpanOf<uint16_t>(row, start, end);
    case 1:
      return MapSpanOf<uint8_t>(row, start, end);
    default:
      return;
  }
}

template <typename Pixel>
void CCubeFaceRenderer::MapSpanOf(uint8_t* row, const FaceVertex& start, const FaceVertex& end) const {
  const int32_t x0 = std::max(TruncToInt(std::ceil(start.x - 0.5f)), 0);
  const int32_t x1 = std::min(TruncToInt(std::floor(end.x - 0.5f)), output_.width - 1);
  if (x1 < x0) return;
  Pixel* out = reinterpret_cast<Pixel*>(row) + x0;
  const int64_t maxU = static_cast<int64_t>(texelLimitU_) << 16;
  const int64_t minV = static_cast<int64_t>(firstTileRow_) << 16, maxV = static_cast<int64_t>(lastTileRow_) << 16;

  // Per-pixel steps of u/w, v/w and q, and their values at the centre of x0.
  float dx = end.x - start.x;
  if (dx == 0) dx = 1.0f;
  const float su = (end.u - start.u) / dx, sv = (end.v - start.v) / dx, sq = (end.w - start.w) / dx;
  const float offset = static_cast<float>(x0) - start.x + 0.5f;
  float pu = start.u + su * offset, pv = start.v + sv * offset, pq = start.w + sq * offset;

  auto fixedOf = [](float value, float q) { return TruncToInt(value / q * 65536.0f); };
  auto texel = [this](int64_t u, int64_t v) {
    return reinterpret_cast<const Pixel*>(faceRows_[static_cast<size_t>(v >> 16)])[u >> 16];
  };
  auto clampedTexel = [&](int64_t u, int64_t v) {
    return texel(std::clamp<int64_t>(u, 0, maxU), std::clamp<int64_t>(v, minV, maxV));
  };

  const int32_t count = x1 - x0 + 1;
  int64_t u = RoundTexel(pu / pq * 65536.0f), v = RoundTexel(pv / pq * 65536.0f);
  // The straight line between the true texels at the span's two ends; a
  // single pixel has no slope.
  int64_t du = 0, dv = 0;
  if (count > 1) {
    du = RoundTexel((end.u / end.w - start.u / start.w) / static_cast<float>(x1 - x0) * 65536.0f);
    dv = RoundTexel((end.v / end.w - start.v / start.w) / static_cast<float>(x1 - x0) * 65536.0f);
  }
  const SpanPlan plan = PlanSpan(x0, count);
  for (int32_t i = 0; i < plan.head; ++i) {
    *out++ = clampedTexel(u, v);
    u += du, v += dv;
    pu += su, pv += sv, pq += sq;
  }
  const int32_t blockCounts[] = {plan.blocks32, plan.block16, plan.block8, plan.block4};
  for (int32_t b = 0; b < 4; ++b) {
    const int32_t size = kBlockSizes[b];
    if (blockCounts[b] == 0) continue;
    u = std::clamp<int64_t>(fixedOf(pu, pq), 0, maxU);
    v = std::clamp<int64_t>(fixedOf(pv, pq), minV, maxV);
    for (int32_t k = 0; k < blockCounts[b]; ++k) {
      pu += su * size, pv += sv * size, pq += sq * size;
      const int64_t endU = std::clamp<int64_t>(fixedOf(pu, pq), 0, maxU);
      const int64_t endV = std::clamp<int64_t>(fixedOf(pv, pq), minV, maxV);
      // Truncated toward zero, so that the block never steps past its end
      // texel (an arithmetic shift would, by up to a texel, below zero).
      du = (endU - u) / size;
      dv = (endV - v) / size;
      for (int32_t i = 0; i < size; ++i) {
        *out++ = texel(u, v);
        u += du, v += dv;
      }
      u = endU, v = endV;
    }
  }
  if (plan.tail == 0) return;
  u = fixedOf(pu, pq), v = fixedOf(pv, pq);
  for (int32_t i = 0; i < plan.tail; ++i) {
    *out++ = clampedTexel(u, v);
    u += du, v += dv;
  }
}

}  // namespace vx
