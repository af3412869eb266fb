// The rasteriser's end of the renderer: wraps caller-owned pixel rows (1, 2
// or 4 bytes per pixel), owns a float depth buffer cleared lazily one row at
// a time, and turns clip-space polygons, lines and points into pixels.
//
// Depth is z/w after projection and larger is nearer; a pixel is written only
// where its depth is strictly greater than the stored one.
#pragma once

#include <cstdint>
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
  kCount,
};

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
  template <SpanKind Kind, typename Pixel>
  void FillSpan(int32_t y, const SpanEdge& left, const SpanEdge& right, const DrawState& state);
  // FillSpan on a row of the target, with the pixel size and the texture
  // known to suit the filler.
  template <SpanKind Kind, typename Pixel>
  void DrawSpan(int32_t y, const SpanEdge& left, const SpanEdge& right, const DrawState& state);
  template <SpanKind Kind, typename Pixel, int Rows>
  void FillRows(int32_t y, const SpanEdge& left, const SpanEdge& right, const SpanRun& run, bool fresh,
                const DrawState& state);
  template <SpanKind Kind, typename Pixel, int Rows>
  void FillTexturedRows(int32_t y, const SpanEdge& left, const SpanEdge& right, const SpanRun& run,
                        const DrawState& state);
  void FillDepthOnlyRow(int32_t y, const SpanEdge& left, const SpanEdge& right, const SpanRun& run, bool fresh);

  bool ClearDepthRowIfDirty(int32_t y);
  int ReplicaRows(int32_t y, int32_t limit, const RowQuality& rows) const;
  bool TextureAddressable() const;
  bool TextureUsable() const;
  void WritePixel(int32_t x, int32_t y, float z, uint8_t index, uint16_t c555, uint32_t xrgb);
  bool AllocateBuffers(int32_t width, int32_t height, int32_t bytesPerPixel);
  void BuildDitherTables(int32_t width, int32_t height);
  DrawState FlatDrawState(const float (&flat)[3]) const;
  void ScanConvert(PolygonRecord& poly, int32_t top, SpanKind kind, DrawState& state);
  template <typename Pixel>
  void ScanConvertFor(PolygonRecord& poly, int32_t top, SpanKind kind, DrawState& state);
  template <SpanKind Kind, typename Pixel>
  void ScanConvertAs(PolygonRecord& poly, int32_t top, DrawState& state);
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
  bool marking_ = false;
  bool markedBackFacing_ = false;

  bool trackBounds_ = false;
  bool drawWhileTracking_ = false;
  DrawnBounds bounds_{};
};

}  // namespace vx
