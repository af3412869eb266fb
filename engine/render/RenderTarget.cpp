#include "engine/render/RenderTarget.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>

#include "engine/render/Numeric.h"
#include "platform/Random.h"

namespace vx {
namespace {

float PlaneDistance(const VertexWork& vertex, ClipPlane plane) {
  const float* p = vertex.v;
  switch (plane) {
    case ClipPlane::kMaxY: return p[VertexWord::kW] - p[VertexWord::kY];
    case ClipPlane::kMinY: return p[VertexWord::kW] + p[VertexWord::kY];
    case ClipPlane::kMinX: return p[VertexWord::kW] + p[VertexWord::kX];
    case ClipPlane::kMaxX: return p[VertexWord::kW] - p[VertexWord::kX];
    case ClipPlane::kMaxZ: return p[VertexWord::kW] - p[VertexWord::kZ];
    case ClipPlane::kMinZ: return p[VertexWord::kW] + p[VertexWord::kZ];
  }
  return 0.0f;
}

int32_t ValidCount(const PolygonRecord& poly) { return std::clamp(poly.count, 0, kMaxPolygonVertices); }

template <typename P>
void StorePixel(uint8_t* row, int32_t x, P value) {
  std::memcpy(row + static_cast<ptrdiff_t>(x) * sizeof(P), &value, sizeof(P));
}

uint32_t ClampByte(int32_t v) { return static_cast<uint32_t>(std::clamp(v, 0, 255)); }

// The fill planes: polygons are clipped against these only, as spans are
// cut to the frame's width anyway.
constexpr ClipPlane kFillPlanes[] = {ClipPlane::kMaxZ, ClipPlane::kMaxY, ClipPlane::kMinY};

// Whether a vertex lies inside every fill plane (NaN counts as outside, as
// in the clipper).
bool InsideFillPlanes(const VertexWork& vertex) {
  const float* p = vertex.v;
  const float w = p[VertexWord::kW];
  return w - p[VertexWord::kZ] >= 0.0f && w - p[VertexWord::kY] >= 0.0f && w + p[VertexWord::kY] >= 0.0f;
}

// Whether clipping would leave the polygon as it is.
bool InsideFillPlanes(const PolygonRecord& poly) {
  const int32_t count = ValidCount(poly);
  for (int32_t i = 0; i < count; ++i) {
    if (!InsideFillPlanes(poly.vertex[i])) return false;
  }
  return true;
}

// The flat colour sums each vertex's colour scaled as 32-bit edges scale it,
// on every pixel size, and is taken unless the fill is smooth on a target
// that shades smoothly.
bool NeedsFlatColor(uint32_t mode, int32_t bytesPerPixel) { return !(mode & SpanMode::kSmooth) || bytesPerPixel == 1; }
void AddToFlatColor(float (&flat)[3], const float* color) {
  for (int c = 0; c < 3; ++c) flat[c] += color[c] * kColorScale32 + kColorOffset;
}
void AverageFlatColor(float (&flat)[3], int32_t count) {
  const float inverse = 1.0f / static_cast<float>(count);
  for (float& c : flat) c *= inverse;
}

// Unlit and keyed texels are copied as they are, never shaded smoothly.
uint32_t ShadedMode(uint32_t mode) {
  return mode & (SpanMode::kUnlitTexture | SpanMode::kChromaKey) ? mode & ~SpanMode::kSmooth : mode;
}

// The power of two of texels between the starts of a texture's rows, or -1
// when that is not a power of two or the texture spans 2^31 bytes or more.
int32_t TexelRowShift(const RenderBufferDesc& texture) {
  const int64_t size = texture.bytesPerPixel;
  if (size < 1 || texture.rowBytes < size || texture.rowBytes % size != 0) return -1;
  const int64_t stride = texture.rowBytes / size;
  if ((stride & (stride - 1)) != 0 || int64_t{texture.height} * texture.rowBytes >= (int64_t{1} << 31)) return -1;
  int32_t shift = 0;
  while ((int64_t{1} << shift) < stride) ++shift;
  return shift;
}

}  // namespace

void ClipPolygonToPlane(PolygonRecord* poly, ClipPlane plane) {
  const int32_t count = ValidCount(*poly);
  float distance[kMaxPolygonVertices];
  bool anyOutside = false;
  for (int32_t i = 0; i < count; ++i) {
    distance[i] = PlaneDistance(poly->vertex[i], plane);
    anyOutside |= !(distance[i] >= 0.0f);
  }
  if (!anyOutside) return;

  PolygonRecord out;
  auto emit = [&out](const VertexWork& v) {
    if (out.count < kMaxPolygonVertices) out.vertex[out.count++] = v;
  };
  for (int32_t i = 0; i < count; ++i) {
    const int32_t j = i + 1 < count ? i + 1 : 0;
    const float di = distance[i], dj = distance[j];
    const bool insideI = di >= 0.0f, insideJ = dj >= 0.0f;
    if (insideI) emit(poly->vertex[i]);
    if (insideI != insideJ) {
      const float t = di / (di - dj);
      VertexWork cut;
      for (int k = 0; k < VertexWord::kCount; ++k) {
        const float a = poly->vertex[i].v[k];
        cut.v[k] = a + (poly->vertex[j].v[k] - a) * t;
      }
      emit(cut);
    }
  }
  poly->count = out.count;
  std::copy_n(out.vertex, out.count, poly->vertex);
}

CRenderTarget::CRenderTarget() : textureRows_(kInitialTextureRows, nullptr) {}

CRenderTarget::~CRenderTarget() = default;

void CRenderTarget::FreeBuffers() {
  desc_.base = nullptr;
  desc_.width = 0;
  desc_.height = 0;
  colorRows_ = {};
  depth_ = {};
  depthRows_ = {};
  depthRowDirty_ = {};
  ditherOffsets_ = {};
  ditherRowStart_ = {};
  depthWidth_ = depthHeight_ = 0;
}

bool CRenderTarget::AllocateBuffers(int32_t width, int32_t height, int32_t bytesPerPixel) {
  try {
    const size_t rows = static_cast<size_t>(height);
    colorRows_.assign(rows, nullptr);
    depth_.assign(rows * static_cast<size_t>(width), kFarDepth);
    depthRows_.assign(rows, nullptr);
    depthRowDirty_.assign(rows, 0);
    if (bytesPerPixel == 2) BuildDitherTables(width, height);
  } catch (const std::bad_alloc&) {
    FreeBuffers();
    return false;
  }
  depthWidth_ = width;
  depthHeight_ = height;
  return true;
}

void CRenderTarget::BuildDitherTables(int32_t width, int32_t height) {
  ditherOffsets_.resize(static_cast<size_t>(width) * 2);
  for (uint32_t& offset : ditherOffsets_)
    offset = static_cast<uint32_t>(std::min(Random() * kDitherLevels / kRandomMax, kDitherLevels - 1)) << 16;
  ditherRowStart_.resize(static_cast<size_t>(height));
  for (uint32_t& start : ditherRowStart_) start = static_cast<uint32_t>(Random() % width);
}

void CRenderTarget::SetBuffer(const RenderBufferDesc* desc) {
  if (!desc || desc->width < 1 || desc->height < 1) {
    FreeBuffers();
    return;
  }
  // A change of pixel size rebuilds too: the dither tables exist only for
  // 2-byte targets.
  const bool sameShape = desc->width == depthWidth_ && desc->height == depthHeight_ &&
                         desc->bytesPerPixel == desc_.bytesPerPixel && !depth_.empty();
  if (!sameShape) {
    FreeBuffers();
    if (!AllocateBuffers(desc->width, desc->height, desc->bytesPerPixel)) return;
  }
  desc_ = *desc;
  for (int32_t y = 0; y < desc_.height; ++y) {
    colorRows_[y] = desc_.base ? desc_.base + static_cast<ptrdiff_t>(y) * desc_.rowBytes : nullptr;
    depthRows_[y] = depth_.data() + static_cast<size_t>(y) * desc_.width;
  }
  halfWidth_ = static_cast<float>(desc_.width) * 0.5f;
  halfHeight_ = static_cast<float>(desc_.height) * 0.5f;
}

void CRenderTarget::Clear(bool clearColor, bool clearDepth) {
  if (!desc_.base || desc_.height < 1) return;
  const bool knownSize = desc_.bytesPerPixel == 1 || desc_.bytesPerPixel == 2 || desc_.bytesPerPixel == 4;
  for (int32_t y = 0; y < desc_.height; ++y) {
    if (clearColor && knownSize)
      std::memset(colorRows_[y], 0, static_cast<size_t>(desc_.width) * desc_.bytesPerPixel);
    if (clearDepth && !depth_.empty()) depthRowDirty_[y] = 1;
  }
}

float CRenderTarget::GetDepth(int32_t x, int32_t y) const {
  if (depth_.empty() || x < 0 || y < 0 || x >= depthWidth_ || y >= depthHeight_ || depthRowDirty_[y])
    return kFarDepth;
  return depthRows_[y][x];
}

bool CRenderTarget::ClearDepthRowIfDirty(int32_t y) {
  if (!depthRowDirty_[y]) return false;
  std::fill_n(depthRows_[y], depthWidth_, kFarDepth);
  depthRowDirty_[y] = 0;
  return true;
}

void CRenderTarget::SetTexture(const RenderBufferDesc* texture, TextureAddressing addressing) {
  textureBound_ = texture != nullptr;
  if (!texture) return;
  texture_ = *texture;
  if (!TextureAddressable()) return;
  if (static_cast<size_t>(texture_.height) > textureRows_.size()) {
    try {
      textureRows_.assign(static_cast<size_t>(texture_.height), nullptr);
    } catch (const std::bad_alloc&) {
      textureBound_ = false;
      return;
    }
  }
  for (int32_t i = 0; i < texture_.height; ++i)
    textureRows_[i] = texture_.base + static_cast<ptrdiff_t>(i) * texture_.rowBytes;
  columnAxis_ = TextureAxis(texture_.width, addressing.repeatS);
  rowAxis_ = TextureAxis(texture_.height, addressing.repeatT);
  texelRowShift_ = TexelRowShift(texture_);
}

bool CRenderTarget::TextureAddressable() const {
  auto addressable = [](int32_t side) { return side >= 1 && side <= kMaxTextureSide; };
  return texture_.base && addressable(texture_.width) && addressable(texture_.height);
}

bool CRenderTarget::TextureUsable() const {
  return textureBound_ && TextureAddressable() && texture_.bytesPerPixel == desc_.bytesPerPixel;
}

void CRenderTarget::SetChromaKey(uint8_t index, uint16_t c555, uint32_t xrgb) {
  keyIndex_ = index;
  key555_ = c555;
  keyXrgb_ = xrgb;
}

void CRenderTarget::BeginBoundsTracking(bool drawToo) {
  drawWhileTracking_ = drawToo;
  constexpr float kFar = 1000000.0f;
  bounds_ = {kFar, -kFar, kFar, -kFar, kFar, -kFar, kFar, -kFar};
  trackBounds_ = true;
}

bool CRenderTarget::EndBoundsTracking(float* x, float* y, float* s, float* t) {
  auto copy = [](float* out, float min, float max) {
    if (out) out[0] = min, out[1] = max;
  };
  copy(x, bounds_.minX, bounds_.maxX);
  copy(y, bounds_.minY, bounds_.maxY);
  copy(s, bounds_.minS, bounds_.maxS);
  copy(t, bounds_.minT, bounds_.maxT);
  trackBounds_ = false;
  return bounds_.minX < bounds_.maxX && bounds_.minY < bounds_.maxY;
}

void CRenderTarget::WidenBounds(float x, float y, float s, float t) {
  bounds_.minX = std::min(bounds_.minX, x);
  bounds_.maxX = std::max(bounds_.maxX, x);
  bounds_.minY = std::min(bounds_.minY, y);
  bounds_.maxY = std::max(bounds_.maxY, y);
  bounds_.minS = std::min(bounds_.minS, s);
  bounds_.maxS = std::max(bounds_.maxS, s);
  bounds_.minT = std::min(bounds_.minT, t);
  bounds_.maxT = std::max(bounds_.maxT, t);
}

void CRenderTarget::WritePixel(int32_t x, int32_t y, float z, uint8_t index, uint16_t c555, uint32_t xrgb) {
  ClearDepthRowIfDirty(y);
  float& stored = depthRows_[y][x];
  if (!(z > stored)) return;
  stored = z;
  uint8_t* row = colorRows_[y];
  if (!row) return;
  switch (desc_.bytesPerPixel) {
    case 1: StorePixel<uint8_t>(row, x, index); break;
    case 2: StorePixel<uint16_t>(row, x, c555); break;
    case 4: StorePixel<uint32_t>(row, x, xrgb); break;
    default: break;
  }
}

void CRenderTarget::PlotPoint(float* p, uint8_t index, uint16_t c555, uint32_t xrgb) {
  if (depth_.empty()) return;
  const float q = 1.0f / p[3];
  p[0] *= q;
  p[1] *= q;
  p[2] *= q;
  const float sx = (p[0] + 1.0f) * halfWidth_;
  const float sy = (1.0f - p[1]) * halfHeight_;
  if (!std::isfinite(sx) || !std::isfinite(sy)) return;
  const int32_t px = TruncToInt(sx), py = TruncToInt(sy);
  if (px < 0 || px >= desc_.width || py < 0 || py >= desc_.height) return;
  WritePixel(px, py, p[2], index, c555, xrgb);
}

void CRenderTarget::DrawLine(float* p0, float* p1, uint8_t index, uint16_t c555, uint32_t xrgb) {
  if (depth_.empty()) return;
  PolygonRecord line;
  line.count = 2;
  std::copy_n(p0, 4, line.vertex[0].v);
  std::copy_n(p1, 4, line.vertex[1].v);
  for (ClipPlane plane : {ClipPlane::kMaxY, ClipPlane::kMinY, ClipPlane::kMinX, ClipPlane::kMaxX, ClipPlane::kMaxZ}) {
    ClipPolygonToPlane(&line, plane);
    if (line.count == 3) line.count = 2;  // a clipped two-vertex polygon repeats its cut point
    if (line.count < 2) return;
  }
  std::copy_n(line.vertex[0].v, 4, p0);
  std::copy_n(line.vertex[1].v, 4, p1);

  float screen[2][3];
  for (int e = 0; e < 2; ++e) {
    float* p = e == 0 ? p0 : p1;
    const float q = 1.0f / p[3];
    p[0] *= q;
    p[1] *= q;
    p[2] *= q;
    screen[e][0] = (p[0] + 1.0f) * halfWidth_;
    screen[e][1] = (1.0f - p[1]) * halfHeight_;
    screen[e][2] = p[2];
    if (!std::isfinite(screen[e][0]) || !std::isfinite(screen[e][1])) return;
  }
  int32_t x = TruncToInt(screen[0][0]), y = TruncToInt(screen[0][1]);
  const int32_t x1 = TruncToInt(screen[1][0]), y1 = TruncToInt(screen[1][1]);
  float z = screen[0][2];
  const int32_t adx = std::abs(x1 - x), ady = std::abs(y1 - y);
  const int32_t dx2 = 2 * adx, dy2 = 2 * ady;
  const int32_t sx = x1 - x < 0 ? -1 : 1, sy = y1 - y < 0 ? -1 : 1;
  const int32_t width = desc_.width, height = desc_.height;
  if ((y > height && sy > 0) || (y < 0 && sy < 0) || (x > width && sx > 0) || (x < 0 && sx < 0)) return;

  auto plot = [&] {
    if (x >= 0 && x < width && y >= 0 && y < height) WritePixel(x, y, z, index, c555, xrgb);
  };
  if (dy2 >= dx2) {
    const float step = ady ? (screen[1][2] - z) / static_cast<float>(ady) : 0.0f;
    int32_t error = dx2 - dy2 / 2;
    for (;;) {
      plot();
      if (y == y1) break;
      if (error >= 0) x += sx, error -= dy2;
      y += sy;
      z += step;
      error += dx2;
    }
  } else {
    const float step = (screen[1][2] - z) / static_cast<float>(adx);
    int32_t error = dy2 - dx2 / 2;
    for (;;) {
      plot();
      if (x == x1) break;
      if (error >= 0) y += sy, error -= dx2;
      x += sx;
      z += step;
      error += dy2;
    }
  }
}

bool CRenderTarget::ClipPolygon(PolygonRecord* poly) {
  for (ClipPlane plane : {ClipPlane::kMaxZ, ClipPlane::kMinX, ClipPlane::kMaxX, ClipPlane::kMaxY, ClipPlane::kMinY}) {
    ClipPolygonToPlane(poly, plane);
    if (poly->count < 3) return false;
  }
  return true;
}

void CRenderTarget::FillPolygon(PolygonRecord* poly, uint32_t mode) {
  if (depth_.empty()) return;
  int32_t count = poly->count;
  if (count < 3 || count > kMaxPolygonVertices) return;

  // The flat colour is the average of the unclipped vertices.
  const DrawState state = PolygonState(mode, count, [poly](int32_t i) { return poly->vertex[i].v + VertexWord::kRed; });
  mode = ShadedMode(mode);

  if (!InsideFillPlanes(*poly)) {
    for (ClipPlane plane : kFillPlanes) {
      ClipPolygonToPlane(poly, plane);
      if (poly->count < 3) return;
    }
    count = poly->count;
  }

  const bool textured = TextureUsable();
  ScreenPolygon screen;
  screen.count = count;
  for (int32_t i = 0; i < count; ++i) {
    // A vertex at w = 0 has no screen position; nothing sensible can be drawn.
    if (!ToScreen(poly->vertex[i], textured)) return;
    screen.vertex[i] = &poly->vertex[i];
  }
  if (trackBounds_ && !drawWhileTracking_) return;
  for (int32_t i = 0; i < count; ++i) ScaleColor(poly->vertex[i]);
  (this->*PolygonFillFor(mode))(screen, mode, state);
}

SharedVertex* CRenderTarget::ShareVertices(int32_t count, uint32_t smoothMode, uint32_t flatMode) {
  if (depth_.empty() || trackBounds_ || culling_.mode == kCullMark) return nullptr;
  try {
    shared_.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    shared_ = {};
    return nullptr;
  }
  sharedSmoothMode_ = ShadedMode(smoothMode);
  sharedSmoothState_.reset();
  if (!NeedsFlatColor(sharedSmoothMode_, desc_.bytesPerPixel)) sharedSmoothState_ = DrawState{.rows = rowQuality_};
  sharedSmoothFill_ = SharedPolygonsFillFor(sharedSmoothMode_);
  sharedFlatMode_ = ShadedMode(flatMode);
  sharedFlatFill_ = PolygonFillFor(sharedFlatMode_);
  return shared_.data();
}

void CRenderTarget::ProjectShared(SharedVertex* vertices, int32_t count) {
  const bool textured = TextureUsable();
  for (int32_t i = 0; i < count; ++i) {
    SharedVertex& vertex = vertices[i];
    if (!InsideFillPlanes(vertex.screen)) {
      vertex.place = SharedPlace::kNeedsClipping;
    } else if (!ToScreen(vertex.screen, textured)) {
      vertex.place = SharedPlace::kNowhere;
    } else {
      vertex.place = SharedPlace::kOnScreen;
      ScaleColor(vertex.screen);
    }
  }
}

int32_t CRenderTarget::FillSharedPolygons(const MeshPolygon* polygons, int32_t first, int32_t end) {
  return (this->*sharedSmoothFill_)(polygons, first, end);
}

DrawState CRenderTarget::SharedSmoothState(const SharedVertex* const* vertices, int32_t count) const {
  return PolygonState(sharedSmoothMode_, count, [vertices](int32_t i) { return vertices[i]->color; });
}

void CRenderTarget::FillSharedFlat(ScreenPolygon& screen, const SharedVertex* const* vertices) {
  const std::array<float, 3> average = AverageColor(screen.count, [vertices](int32_t i) { return vertices[i]->color; });
  const DrawState state = PolygonState(sharedFlatMode_, screen.count, [&average](int32_t) { return average.data(); });
  (this->*sharedFlatFill_)(screen, sharedFlatMode_, state);
}

bool CRenderTarget::ToScreen(VertexWork& vertex, bool textured) {
  float* v = vertex.v;
  const float q = 1.0f / v[VertexWord::kW];
  v[VertexWord::kX] *= q;
  v[VertexWord::kY] *= q;
  v[VertexWord::kZ] *= q;
  v[VertexWord::kW] = q;
  v[VertexWord::kX] = (v[VertexWord::kX] + 1.0f) * halfWidth_;
  v[VertexWord::kY] = (1.0f - v[VertexWord::kY]) * halfHeight_;
  if (!std::isfinite(v[VertexWord::kX]) || !std::isfinite(v[VertexWord::kY])) return false;
  if (trackBounds_) WidenBounds(v[VertexWord::kX], v[VertexWord::kY], v[VertexWord::kS], v[VertexWord::kT]);
  if (textured) {
    v[VertexWord::kS] *= static_cast<float>(texture_.width) * q;
    v[VertexWord::kT] *= static_cast<float>(texture_.height) * q;
  }
  return true;
}

void CRenderTarget::ScaleColor(VertexWork& vertex) const {
  if (desc_.bytesPerPixel != 2 && desc_.bytesPerPixel != 4) return;
  const float scale = desc_.bytesPerPixel == 2 ? kColorScale16 : kColorScale32;
  for (int c = 0; c < 3; ++c) {
    float& channel = vertex.v[VertexWord::kRed + c];
    channel = channel * scale + kColorOffset;
  }
}

bool CRenderTarget::SurvivesCulling(ScreenPolygon& poly, uint32_t mode, DrawState& state) {
  const uint32_t effectiveCull = (mode & SpanMode::kChromaKey) ? kCullNone : culling_.mode;
  if (effectiveCull != kCullByWinding && effectiveCull != kCullMark) return true;
  const float* p0 = poly.vertex[0]->v;
  const float* p1 = poly.vertex[1]->v;
  const float* p2 = poly.vertex[2]->v;
  const float area = (p0[VertexWord::kX] - p1[VertexWord::kX]) * (p2[VertexWord::kY] - p1[VertexWord::kY]) -
                     (p2[VertexWord::kX] - p1[VertexWord::kX]) * (p0[VertexWord::kY] - p1[VertexWord::kY]);
  const bool negative = area < 0.0f;
  const bool facesAway = (culling_.winding == 0 && negative) || (culling_.winding == 1 && !negative);
  if (effectiveCull == kCullByWinding) return !facesAway;
  float color = 0.0f;
  if (marking_) {
    if (facesAway) markedBackFacing_ = true;
    color = 255.0f;
  } else {
    state.flatXrgb = 0;
  }
  for (int32_t i = 0; i < poly.count; ++i) std::fill_n(poly.vertex[i]->v + VertexWord::kRed, 3, color);
  return true;
}

// The flat colour, the average of the vertices' colours, is worked out only
// for the fills that read it.
template <typename ColorOf>
DrawState CRenderTarget::PolygonState(uint32_t mode, int32_t count, ColorOf colorOf) const {
  if (!NeedsFlatColor(mode, desc_.bytesPerPixel)) return DrawState{.rows = rowQuality_};
  float flat[3] = {0.0f, 0.0f, 0.0f};
  for (int32_t i = 0; i < count; ++i) AddToFlatColor(flat, colorOf(i));
  AverageFlatColor(flat, count);
  return FlatDrawState(flat);
}

// Colours beyond 0..1 must not index past the shade and colour tables.
DrawState CRenderTarget::FlatDrawState(const float (&flat)[3]) const {
  const uint32_t r = ClampByte(TruncToInt(flat[0]));
  const uint32_t g = ClampByte(TruncToInt(flat[1]));
  const uint32_t b = ClampByte(TruncToInt(flat[2]));
  const uint32_t index555 = ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
  DrawState state;
  state.rows = rowQuality_;
  state.shadeLevel = static_cast<int32_t>(r);
  state.flatXrgb = (r << 16) | (g << 8) | b;
  state.flat555 = static_cast<uint16_t>(index555);
  state.flatIndex = inverseMap_ ? inverseMap_[index555] : 128;
  return state;
}

void CRenderTarget::BeginMarkedPolygon() {
  marking_ = true;
  markedBackFacing_ = false;
}

bool CRenderTarget::EndMarkedPolygon() {
  marking_ = false;
  return markedBackFacing_;
}

}  // namespace vx
