// The geometry stage: between the scene's geometry and the render target.
//
// It holds the matrices of the current object (object to world) and camera
// (world to clip), a table of 64 lights, the current material and the fog,
// and the state of the two kinds of picking. Meshes hand it vertices, which
// it transforms and lights once into VertexWork records, and polygons of such
// records, which it colours (material, highlights, fog), picks and hands to
// CRenderTarget::FillPolygon. Lighting and fog are computed in world space.
//
// The view context owns one stage per view next to its render target. Per
// frame it writes `eye` and `lookAt`, calls BeginFrame, sets the projection
// and, for every object, the model matrix; lights keep their slots between
// frames; every Appearance sets the material before its geometry draws.
#pragma once

#include <array>
#include <cstdint>

#include "engine/math/Matrix4.h"
#include "engine/math/Vec.h"
#include "engine/render/Palette.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/RenderTypes.h"
#include "engine/render/VertexLanes.h"

namespace vx {

enum LightType : uint32_t {
  kDirectionalLight = 0,
  kAmbientLight = 1,
  kPointLight = 2,
  kSpotLight = 3,  // other values light nothing
};

// How a material takes the light. The system's own: the light sum clamped
// before it meets the diffuse colour, a fixed highlight exponent, textures
// shaded by a grey level. The standard's: each light's ambient part, the
// sum clamped once at the end, the material's exponent, and textures
// shaded channel by channel, fog included; the view's ambient light takes
// no part.
enum class LightingModel : uint8_t { kSystem, kStandard };

struct LightRecord {
  uint8_t on = 0;
  uint8_t free = 1;  // set by the stage, not by callers
  uint32_t type = kDirectionalLight;
  uint8_t specular = 0;  // the light makes highlights
  CVec3f color;          // already multiplied by the intensity
  CVec3f ambient;        // the colour times the ambientIntensity (the standard's lighting)
  // Directional: the direction towards the light. Point and spot: the world
  // position.
  CVec3f direction;
  CVec3f spotDirection;  // where a spot shines
  float radius = 0.0f;   // point and spot: no light beyond it
  CVec3f attenuation;    // constant, linear, quadratic (the last is unused)
  // Derived by CGeometryStage::SetLight.
  float radiusSquared = 0.0f;
  CVec3f halfway;
  // Spot: beamWidth and cutOffAngle in radians, which SetLight replaces by
  // the cosines of their halves.
  float innerAngle = 0.0f;
  float outerAngle = 0.0f;
};

// How a material's texture transform moves the texture coordinates, which
// meshes store with t = 0 at the top of the image.
enum class TextureTransformRule : uint8_t {
  kNone,
  // Scaled and turned about the centre, then moved back by the translation,
  // all in the stored coordinates: s' = R S (s - centre) + centre -
  // translation. This system's own worlds are written for it.
  kAboutCentre,
  // VRML 2.0's: moved by the translation and the centre, turned, scaled and
  // moved back by the centre, with t up the image: Tc' = S R (Tc +
  // translation + centre) - centre.
  kVrml,
};

// An affine map of texture coordinates: s' = ss s + st t + s0 and
// t' = ts s + tt t + t0.
struct TextureMatrix {
  float ss = 1.0f, st = 0.0f, s0 = 0.0f;
  float ts = 0.0f, tt = 1.0f, t0 = 0.0f;

  // This map applied after `first`.
  TextureMatrix After(const TextureMatrix& first) const;
};

struct MaterialRecord {
  // A negative red marks an invisible material that only writes depth.
  FloatColor diffuse{0.7f, 0.6f, 0.3f};
  // Added to the lit colour of every vertex; the whole colour of unlit lines
  // and points.
  FloatColor emissive{0.0f, 0.0f, 0.0f};
  float alpha = 1.0f;    // takes no part in drawing
  LightingModel lighting = LightingModel::kSystem;
  float ambientIntensity = 0.0f;    // the standard's lighting only
  float specularExponent = 16.0f;   // the standard's lighting only
  uint8_t smooth = 1;    // 0: flat, filled with the average vertex colour
  uint8_t specular = 1;  // the material shows highlights
  uint8_t unlit = 0;     // no light changes the colour: vertices take it whole
  FloatColor specularColor{0.5f, 0.5f, 0.5f};
  RenderBufferDesc texture;  // base null: no texture; pixels not owned
  // 0: coordinates beyond the picture clamp to its edge along s (t).
  uint8_t repeatS = 1;
  uint8_t repeatT = 1;
  uint8_t unlitTexture = 0;
  uint8_t chromaKey = 0;  // texels of the key colour are transparent
  FloatColor chromaKeyColor;
  TextureTransformRule textureTransform = TextureTransformRule::kNone;
  // The appearance names a texture node, whether or not it has an image yet.
  uint8_t textureDeclared = 0;
  CVec2f center;
  float rotation = 0.0f;  // radians
  CVec2f scale{1.0f, 1.0f};
  CVec2f translation;
  // Derived by CGeometryStage::SetMaterial.
  uint8_t chromaKeyIndex = 0;
  uint16_t chromaKey555 = 0;
  uint32_t chromaKeyXrgb = 0;
  uint32_t spanMode = 0;
  TextureMatrix textureMatrix;  // the transform's rule and fields as one map
};

// How the polygons drawn meet the box test (the axis-aligned world box of
// SetPickSegment): views test a step of the camera, Collision nodes their
// proxies.
enum class BoxTestMode : uint8_t {
  kOff,          // drawn, not tested
  kTestAndDraw,  // tested, and drawn until one of them hits
  kTestOnly,     // tested, never drawn
};

// What the box test found since it was last cleared.
struct BoxTestResult {
  bool hit = false;
  CVec3f hitNormal;  // the unit normal of the polygon that hit
};

// The axis-aligned world box around the vertices lit while a caller
// measures it; empty until a vertex is added.
struct WorldBox {
  CVec3f low{1.0f, 1.0f, 1.0f};
  CVec3f high{-1.0f, -1.0f, -1.0f};

  bool IsEmpty() const { return low.x > high.x; }
  void Add(const CVec3f& p);
  CVec3f Center() const { return (low + high) * 0.5f; }
};

// The screen pick of one pixel, armed by RequestScreenPick.
struct ScreenPickState {
  bool armed = false;
  bool hit = false;
  int32_t x = 0;
  int32_t y = 0;
};

// Whether p lies inside a convex polygon of world positions (VertexWork
// words 12-14): every edge's cross product with p must fall in one class.
bool PointInPolygon(const CVec3f& p, const PolygonRecord& poly);

class CGeometryStage {
 public:
  explicit CGeometryStage(CRenderTarget* target);
  CGeometryStage(const CGeometryStage&) = delete;
  CGeometryStage& operator=(const CGeometryStage&) = delete;

  CRenderTarget* RenderTarget() const { return target_; }

  // Null sets the identity.
  void SetProjectionMatrix(const CMatrix4* m);
  void SetModelViewMatrix(const CMatrix4* m);
  const CMatrix4& ModelMatrix() const { return model_; }
  const CMatrix4& ProjectionMatrix() const { return projection_; }

  // The lowest free slot takes the record; -1 for null or when all 64 are
  // used.
  int32_t AddLight(const LightRecord* record);
  // Null frees the slot; slots outside 0..63 are ignored.
  void SetLight(int32_t slot, const LightRecord* record);
  // The slot's record with its derived words, or null outside 0..63.
  const LightRecord* Light(int32_t slot) const;

  // Linear fog to the colour, complete at `range` from the eye.
  void SetFog(const std::array<float, 4>& color, float range, uint32_t type);
  void DisableFog();

  // Null applies the default material. A textured material binds its
  // texture on the render target until the next material or frame.
  void SetMaterial(const MaterialRecord* record);
  const MaterialRecord& Material() const { return material_; }

  // Starts a frame: the view vector from `eye` and `lookAt`, picking hits
  // cleared, a textured material dropped (its pixels may be gone by now);
  // ends bounds tracking on the target and returns its result.
  bool BeginFrame();

  // Lights one vertex into `out`, whose words 7-8 already hold s and t.
  void TransformAndLightVertex(const CVec3f& position, const CVec3f& normal, VertexWork* out,
                               bool transform, bool flipAllowed) const;
  // TransformAndLightVertex for each of `count` vertices, with s and t from
  // texCoords.
  void TransformAndLightVertices(const CVec3f* positions, const CVec3f* normals, const CVec2f* texCoords,
                                 VertexWork* out, int32_t count, bool transform, bool flipAllowed) const;
  // Colours, picks and fills one polygon of at most kMaxInputVertices
  // vertices; the record is changed.
  void DrawPolygon(PolygonRecord* poly);

  // Colours and projects the lit vertices of a mesh once for all the
  // polygons that share them, which the render target's FillSharedPolygons
  // then draws as DrawPolygon would. False when its polygons must go through
  // DrawPolygon one by one: they are tested, picked, measured or marked,
  // fill depth only, or there is no room.
  bool ShareVertices(const VertexWork* lit, int32_t count);

  // Object-space point to screen pixels, clamped to the frame.
  CVec2f ProjectPoint(const CVec3f& p) const;
  void DrawPoint(const CVec3f& p, const FloatColor& color);
  void DrawLine(const CVec3f& p0, const CVec3f& p1, const FloatColor& color);

  void BeginBoundsTracking(bool drawToo);
  // Each output (min, max) may be null; true when something was measured.
  bool GetDrawnBounds(float* x, float* y, float* s, float* t);

  // ---- Picking -------------------------------------------------------
  // Box test: the axis-aligned world box from a (minimum) to b (maximum).
  void SetPickSegment(const CVec3f& a, const CVec3f& b);
  // The mode holds until it is set again; BeginFrame clears the result.
  void SetBoxTestMode(BoxTestMode mode) { boxTestMode_ = mode; }
  BoxTestMode GetBoxTestMode() const { return boxTestMode_; }
  const BoxTestResult& GetBoxTestResult() const { return boxTestResult_; }
  // Records a hit when the polygon meets the box.
  void PickTestPolygon(const PolygonRecord& poly);
  // Outcode of Pi + (Pj - Pi) t against the box, masked.
  uint32_t OutcodeAgainstPickBox(const PolygonRecord& poly, int32_t i, int32_t j, float t,
                                 uint32_t mask) const;

  // Screen pick: arms the pick of pixel (x, y) for the polygons drawn until
  // GetPickHit.
  void RequestScreenPick(int32_t x, int32_t y);
  const ScreenPickState& GetScreenPick() const { return screenPick_; }
  // After drawing, with the picked geometry's model matrix still current:
  // the hit position in the model's coordinates, the hit polygon's world
  // normal and its texture coordinates there. False without a hit.
  bool GetPickHit(CVec3f* point, CVec3f* normal, CVec2f* texCoord);
  // The depth the pick reads at pixel (x, y): under reduced quality only
  // every 2nd or 4th row is filled, so the row is taken down to a filled one.
  float GetPickDepth(int32_t x, int32_t y) const;

  // ---- Written directly by others ------------------------------------
  CVec3f eye{0.0f, 0.0f, 4.0f};  // camera, world space (view context)
  CVec3f lookAt;                 // (view context)
  WorldBox* measuredBox = nullptr;      // grows by every vertex lit (view context)
  const uint8_t* inverseMap = nullptr;  // the view's 5:5:5 inverse colour map
  PaletteTable colorTable;              // the view's colours, for those who draw with them
 private:
  friend class CBoxTestScope;
  friend class CVisibilityTestScope;
  friend class CVertexColorScope;

  bool HasSinglePixelBytes() const { return target_->GetBufferDesc().bytesPerPixel == 1; }
  void ApplyMaterialColor(PolygonRecord* poly, bool* fullyFogged) const;
  // The material's colour of a lit vertex (words 4-6), clamped; true when it
  // lies at or beyond the fog's range.
  bool ColorVertex(float* w) const;
  bool FillsDepthOnly() const;
  // Four vertices, one per lane, into `out`, whose words 7-8 already hold
  // s and t.
  void TransformAndLightLanes(lanes::Vec3 position, lanes::Vec3 normal, VertexWork* const (&out)[lanes::kCount],
                              bool transform, bool flipAllowed) const;
  lanes::Vec3 WorldNormal(const lanes::Vec3& position, const lanes::Vec3& world, const lanes::Vec3& normal) const;
  void LightLanes(const lanes::Vec3& world, const lanes::Vec3& normal, lanes::Vec3& diffuse,
                  lanes::Vec3& specular) const;
  void LightLanesAsStandard(const lanes::Vec3& world, const lanes::Vec3& normal, lanes::Vec3& diffuse,
                            lanes::Vec3& specular) const;
  bool Standard() const { return material_.lighting == LightingModel::kStandard; }
  // The span mode bits of the material's texture; 0 without one.
  uint32_t TextureSpanMode() const;
  // ColorVertex for a tinted texture: the light and fog that scale the
  // texels (words 4-6) and the colour added to them (words 9-11).
  bool TintVertex(float* w) const;
  float FogShare(const float* w, bool* beyond) const;
  // c plus the emissive colour and the vertex's highlight in the specular
  // colour.
  CVec3f WithEmissiveAndHighlight(const float* w, CVec3f c) const;
  void ListLightsOn();
  void ToClip(const CVec3f& world, float clip[4]) const;
  CVec3f ToWorld(const CVec3f& p) const;
  void ColorToPixels(const FloatColor& color, uint8_t* index, uint16_t* c555, uint32_t* xrgb) const;
  bool BoxEdgesCrossPolygon(const PolygonRecord& poly, const CVec3f& normal) const;
  bool EdgesCrossBoxFaces(const PolygonRecord& poly, const std::array<uint32_t, kMaxPolygonVertices>& codes) const;
  uint32_t OutcodeOf(const CVec3f& p) const;

  CRenderTarget* target_;
  CVec3f viewVector_{0.0f, 0.0f, 1.0f};
  bool projectionIsIdentity_ = true;
  bool modelIsIdentity_ = true;
  CMatrix4 projection_;
  CMatrix4 model_;
  // Normals go through the inverse transpose of the model matrix: these are
  // its columns, up to a positive factor. Where the matrix turns and scales
  // evenly they follow points, the cheaper way the system's worlds take.
  std::array<CVec3f, 3> normalColumns_{CVec3f{1.0f, 0.0f, 0.0f}, CVec3f{0.0f, 1.0f, 0.0f}, CVec3f{0.0f, 0.0f, 1.0f}};
  bool normalsFollowPoints_ = true;
  std::array<LightRecord, kLightSlots> lights_{};
  // The slots of the lights that are on, in slot order (the order in which
  // their contributions are summed); vertices are lit from this list alone.
  std::array<uint8_t, kLightSlots> lightsOn_{};
  int32_t lightsOnCount_ = 0;
  bool fogOn_ = false;
  std::array<float, 4> fogColor_{};
  float fogRange_ = 0.0f;
  uint32_t fogType_ = 0;
  MaterialRecord material_;

  CVec3f boxMin_;
  CVec3f boxMax_;
  BoxTestMode boxTestMode_ = BoxTestMode::kOff;
  BoxTestResult boxTestResult_;
  ScreenPickState screenPick_;
  PolygonRecord hitPolygon_{};
  // While a visibility test runs, polygons are only clipped against the view
  // volume; `visible_` tells whether one kept a part inside.
  bool visibilityTest_ = false;
  bool visible_ = false;
  // While set, the colours in the vertices' words 4-6 already hold the
  // diffuse colour, which the material then leaves as it is.
  bool vertexColors_ = false;
};

// Runs the polygons drawn during its lifetime under another box test mode,
// starting from no hit, so that their own hit can be told apart. At its end
// the mode before comes back, and so does a hit from before when there was
// none within.
class CBoxTestScope {
 public:
  CBoxTestScope(CGeometryStage& stage, BoxTestMode mode);
  ~CBoxTestScope();
  CBoxTestScope(const CBoxTestScope&) = delete;
  CBoxTestScope& operator=(const CBoxTestScope&) = delete;

  // True when a polygon drawn within the scope hit the box.
  bool Hit() const { return stage_.boxTestResult_.hit; }

 private:
  CGeometryStage& stage_;
  BoxTestMode outerMode_;
  BoxTestResult outerResult_;
};

// Turns the polygons drawn during its lifetime into a test of the view
// volume: nothing reaches the frame or the depth buffer, whatever the
// material or the fog.
class CVisibilityTestScope {
 public:
  explicit CVisibilityTestScope(CGeometryStage& stage);
  ~CVisibilityTestScope();
  CVisibilityTestScope(const CVisibilityTestScope&) = delete;
  CVisibilityTestScope& operator=(const CVisibilityTestScope&) = delete;

  // True when a polygon drawn within the scope kept a part inside the view
  // volume.
  bool Visible() const { return stage_.visible_; }

 private:
  CGeometryStage& stage_;
};

// Draws the polygons of its lifetime with the colours their vertices carry
// in place of the material's diffuse colour: the owner has multiplied each
// vertex's lit colour by its own colour. Highlights, the emissive colour, fog
// and an invisible material's depth-only fill stay the material's.
class CVertexColorScope {
 public:
  explicit CVertexColorScope(CGeometryStage& stage);
  ~CVertexColorScope();
  CVertexColorScope(const CVertexColorScope&) = delete;
  CVertexColorScope& operator=(const CVertexColorScope&) = delete;

 private:
  CGeometryStage& stage_;
};

}  // namespace vx
