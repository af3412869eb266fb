// The rasteriser's end of the renderer: wraps caller-owned pixel rows (1, 2
// or 4 bytes per pixel), owns a float depth buffer cleared lazily one row at
// a time, and turns clip-space polygons, lines and points into pixels.
//
// Depth is z/w after projection and larger is nearer; a pixel is written only
// where its depth is strictly greater than the stored one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/render/DrawState.h"
#include "engine/render/RenderTypes.h"
#include "engine/render/TextureWrap.h"

namespace vx {

// Sutherland-Hodgman clip of a polygon against one plane; all 15 words are
// interpolated. The result never exceeds the record's capacity.
void ClipPolygonToPlane(PolygonRecord* poly, ClipPlane plane);

// The span fillers, in the order in which the dispatch tests them.
enum class SpanKind : uint8_t {
  kDepthOnly,
  kGouraudTextured,
  kGouraud,
  kKeyedTextured,
  kUnlitTextured,
  kTextured,
  kFlat,
  kTintedTextured,
  kCount,
};

// The average of a polygon's vertex colours (colorOf(i) gives the red,
// green and blue of vertex i), which a flat fill takes.
template <typename ColorOf>
std::array<float, 3> AverageColor(int32_t count, ColorOf colorOf) {
  float sum[3] = {0.0f, 0.0f, 0.0f};
  for (int32_t i = 0; i < count; ++i) {
    const float* color = colorOf(i);
    for (int c = 0; c < 3; ++c) sum[c] += color[c];
  }
  const float inverse = 1.0f / static_cast<float>(count);
  return {sum[0] * inverse, sum[1] * inverse, sum[2] * inverse};
}

// Screen-space extent of what was drawn while bounds were tracked.
struct DrawnBounds {
  float minX, maxX, minY, maxY, minS, maxS, minT, maxT;
};

class CRenderTarget {
 public:
  using SpanFiller = void (CRenderTarget::*)(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                             const DrawState& state);

  CRenderTarget();
  ~CRenderTarget();
  CRenderTarget(const CRenderTarget&) = delete;
  CRenderTarget& operator=(const CRenderTarget&) = delete;

  // Attaches a frame buffer (null detaches). The depth buffer, row tables and
  // dither tables are rebuilt when the size or the pixel size changes; the
  // caller clears before drawing.
  void SetBuffer(const RenderBufferDesc* desc);
  RenderBufferDesc GetBufferDesc() const { return desc_; }
  void FreeBuffers();

  // Sets the colour rows to 0 and/or marks every depth row for a lazy clear.
  void Clear(bool clearColor, bool clearDepth);
  // kFarDepth outside the buffer, without a depth buffer or on a row not yet
  // drawn into since the last clear.
  float GetDepth(int32_t x, int32_t y) const;

  // Binds a texture (null unbinds), addressed as told. Only a texture whose
  // pixel size matches the target's and whose sides are 1..kMaxTextureSide
  // is drawn; the target keeps a copy of the descriptor. Texture coordinates
  // 0..1 span the whole picture.
  void SetTexture(const RenderBufferDesc* texture, TextureAddressing addressing = {});
  void SetChromaKey(uint8_t index, uint16_t c555, uint32_t xrgb);
  // The 32,768-byte 5:5:5 inverse colour map (not owned) for 8-bit targets.
  void SetInverseMap(const uint8_t* inverseMap) { inverseMap_ = inverseMap; }

  void BeginBoundsTracking(bool drawToo);
  // Copies each (min, max) pair to the outputs given; true when the x and y
  // extents are not empty.
  bool EndBoundsTracking(float* x, float* y, float* s, float* t);

  // p is clip-space x, y, z, w; it is divided by w in place.
  void PlotPoint(float* p, uint8_t index, uint16_t c555, uint32_t xrgb);
  void DrawLine(float* p0, float* p1, uint8_t index, uint16_t c555, uint32_t xrgb);
  // Clips, projects, culls and fills; the record is changed in place.
  void FillPolygon(PolygonRecord* poly, uint32_t mode);
  // Clips against the view volume's five planes; false once fewer than 3
  // vertices remain.
  bool ClipPolygon(PolygonRecord* poly);

  // Room for `count` vertices that the polygons filled next share, each
  // coloured and set in clip space by the caller, then projected once
  // (ProjectShared); smooth polygons take smoothMode, flat ones flatMode.
  // Null while polygons are measured or marked, which must be filled one by
  // one, or when there is no room.
  SharedVertex* ShareVertices(int32_t count, uint32_t smoothMode, uint32_t flatMode);
  void ProjectShared(SharedVertex* vertices, int32_t count);
  // Fills polygons first to end - 1 of those shared vertices in order, each
  // as FillPolygon would fill it, and passes over those that are not 3 or 4
  // shared vertices. Stops at the first that needs clipping, which
  // FillPolygon must fill instead, and returns its index; else end.
  int32_t FillSharedPolygons(const MeshPolygon* polygons, int32_t first, int32_t end);

  // Span fillers: draw one row between two edges (left.x <= right.x).
  void FillDepthOnlySpan(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillFlatSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillFlatSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillFlatSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillGouraudSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillGouraudSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillGouraudSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillGouraudTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillGouraudTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillGouraudTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillUnlitTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillUnlitTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillUnlitTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillKeyedTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillKeyedTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillKeyedTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillTintedTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillTintedTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);
  void FillTintedTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state);

  // The filler for a kind and a pixel size (1, 2 or 4), null for other sizes.
  static SpanFiller SpanFillerFor(SpanKind kind, int32_t bytesPerPixel);
  // Which filler a mode selects (textured: bit 4 with a usable texture bound).
  static SpanKind SelectSpanKind(uint32_t mode, bool textured);

  void SetRowQuality(const RowQuality& quality) { rowQuality_ = quality; }
  const RowQuality& GetRowQuality() const { return rowQuality_; }
  void SetCulling(const CullState& culling) { culling_ = culling; }
  const CullState& GetCulling() const { return culling_; }

  // With kCullMark: the polygons filled between Begin and End are the marked
  // ones; End tells whether one of them faced away.
  void BeginMarkedPolygon();
  bool EndMarkedPolygon();

 private:
  struct SpanRun;
  struct PlainEdge;
  struct PlainScanEdge;
  template <SpanKind Kind, typename Pixel>
  void FillSpan(int32_t y, const SpanEdge& left, const SpanEdge& right, const DrawState& state);
  // A textured FillSpan on a row of the target, with the pixel size and the
  // texture known to suit the filler.
  template <SpanKind Kind, typename Pixel>
  void DrawSpan(int32_t y, const SpanEdge& left, const SpanEdge& right, const DrawState& state);
  template <SpanKind Kind, typename Pixel, int Rows>
  void FillTexturedRows(int32_t y, const SpanEdge& left, const SpanEdge& right, const SpanRun& run,
                        const DrawState& state);
  // A row of a flat, smooth or depth-only fill on a row of the target.
  // Direct: the edges' x lie well inside the int32 range, rows are not
  // replicated and the target has pixels.
  template <SpanKind Kind, typename Pixel, bool Direct>
  void FillPlainRow(int32_t y, const PlainEdge& left, const PlainEdge& right, const DrawState& state);
  // Clears a fresh row's depth but for the run from first to last, which
  // its fill writes whole, untested.
  void ClearFreshRowAround(int32_t y, int32_t first, int32_t last);

  bool ClearDepthRowIfDirty(int32_t y);
  int ReplicaRows(int32_t y, int32_t limit, const RowQuality& rows) const;
  bool TextureAddressable() const;
  bool TextureUsable() const;
  void WritePixel(int32_t x, int32_t y, float z, uint8_t index, uint16_t c555, uint32_t xrgb);
  bool AllocateBuffers(int32_t width, int32_t height, int32_t bytesPerPixel);
  void BuildDitherTables(int32_t width, int32_t height);
  // The state of a polygon's spans: the flat colour, from the vertices'
  // colours as colorOf(i) gives them.
  template <typename ColorOf>
  DrawState PolygonState(uint32_t mode, int32_t count, ColorOf colorOf) const;
  DrawState FlatDrawState(const float (&flat)[3]) const;
  // Divides by w and maps to the screen in place; false when the vertex has
  // no screen position.
  bool ToScreen(VertexWork& vertex, bool textured);
  void ScaleColor(VertexWork& vertex) const;
  // Rejects what lies off the target, culls and scan-converts a projected
  // polygon, with the fill that its mode chooses.
  using PolygonFill = void (CRenderTarget::*)(ScreenPolygon& poly, uint32_t mode, DrawState state);
  PolygonFill PolygonFillFor(uint32_t mode) const;
  template <SpanKind Kind, typename Pixel>
  void FillScreenPolygonAs(ScreenPolygon& poly, uint32_t mode, DrawState state);
  // visit.template operator()<Kind, Pixel>() for the fill that a mode
  // chooses on the target's pixel form (Pixel void: none draws).
  template <typename Visit>
  auto WithFillFor(uint32_t mode, Visit visit) const;
  // FillSharedPolygons with the fill of smooth polygons known.
  using SharedPolygonsFill = int32_t (CRenderTarget::*)(const MeshPolygon* polygons, int32_t first, int32_t end);
  SharedPolygonsFill SharedPolygonsFillFor(uint32_t mode) const;
  template <SpanKind Kind, typename Pixel>
  int32_t FillSharedPolygonsAs(const MeshPolygon* polygons, int32_t first, int32_t end);
  // The shared polygon gathered into `screen`, filled flat in the average
  // colour of its vertices.
  void FillSharedFlat(ScreenPolygon& screen, const SharedVertex* const* vertices);
  // The state of a smooth shared polygon on a target whose smooth fill reads
  // a flat colour.
  DrawState SharedSmoothState(const SharedVertex* const* vertices, int32_t count) const;
  // False when the polygon is culled; under kCullMark it is marked instead.
  bool SurvivesCulling(ScreenPolygon& poly, uint32_t mode, DrawState& state);
  // Tame: every vertex lies within kTameCoordinate of the origin.
  template <SpanKind Kind, typename Pixel>
  void ScanConvertAs(const ScreenPolygon& poly, int32_t top, bool tame, DrawState& state);
  void WidenBounds(float x, float y, float s, float t);

  RenderBufferDesc desc_;
  float halfWidth_ = 0.0f;
  float halfHeight_ = 0.0f;
  std::vector<uint8_t*> colorRows_;
  std::vector<float> depth_;
  std::vector<float*> depthRows_;
  std::vector<uint8_t> depthRowDirty_;
  int32_t depthWidth_ = 0;
  int32_t depthHeight_ = 0;
  std::vector<uint32_t> ditherOffsets_;   // 16.16 values 0..6
  std::vector<uint32_t> ditherRowStart_;  // each row's start in ditherOffsets_

  bool textureBound_ = false;
  RenderBufferDesc texture_;
  std::vector<const uint8_t*> textureRows_;
  TextureAxis columnAxis_;
  TextureAxis rowAxis_;
  // Texture rows lie 2^texelRowShift_ texels apart, every texel's offset
  // from the base fitting 31 bits; -1 when they do not.
  int32_t texelRowShift_ = -1;
  uint32_t keyXrgb_ = 0;
  uint16_t key555_ = 0;
  uint8_t keyIndex_ = 0;
  const uint8_t* inverseMap_ = nullptr;

  RowQuality rowQuality_;
  CullState culling_;
  // The vertices of the polygons being filled from ShareVertices.
  std::vector<SharedVertex> shared_;
  uint32_t sharedSmoothMode_ = 0;
  SharedPolygonsFill sharedSmoothFill_ = nullptr;
  std::optional<DrawState> sharedSmoothState_;  // none: each polygon's own
  uint32_t sharedFlatMode_ = 0;
  PolygonFill sharedFlatFill_ = nullptr;
  bool marking_ = false;
  bool markedBackFacing_ = false;

  bool trackBounds_ = false;
  bool drawWhileTracking_ = false;
  DrawnBounds bounds_{};
};

}  // namespace vx
