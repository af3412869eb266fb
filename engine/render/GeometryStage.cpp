#include "engine/render/GeometryStage.h"

#include <algorithm>
#include <cmath>

namespace vx {
namespace {

constexpr float kMinimumConstantAttenuation = 0.00001f;
constexpr float kFlipThreshold = -0.1f;      // view . normal below this turns a normal round
constexpr float kMinimumLineW = 0.001f;

// max + (mid + min) / 4: the stage's distance, cheaper than a square root.
float ApproximateLength(const CVec3f& v) {
  float a = std::fabs(v.x), b = std::fabs(v.y), c = std::fabs(v.z);
  if (a < b) std::swap(a, b);
  if (a < c) std::swap(a, c);
  return a + 0.25f * (b + c);
}

float Clamp01(float v) { return v > 0.0f ? std::min(v, 1.0f) : 0.0f; }

// h^16 by four squarings: the fixed specular power.
float Power16(float h) {
  h *= h;
  h *= h;
  h *= h;
  return h * h;
}

CVec3f WorldOf(const VertexWork& v) {
  return {v.v[VertexWord::kWorldX], v.v[VertexWord::kWorldY], v.v[VertexWord::kWorldZ]};
}

void StoreClamped(VertexWork* out, int first, const CVec3f& c) {
  out->v[first] = Clamp01(c.x);
  out->v[first + 1] = Clamp01(c.y);
  out->v[first + 2] = Clamp01(c.z);
}

TextureMatrix Shift(float s, float t) { return {1.0f, 0.0f, s, 0.0f, 1.0f, t}; }
TextureMatrix Scaling(const CVec2f& scale) { return {scale.x, 0.0f, 0.0f, 0.0f, scale.y, 0.0f}; }
// Counter-clockwise, with t up.
TextureMatrix Turn(float angle) {
  const float c = std::cos(angle), s = std::sin(angle);
  return {c, -s, 0.0f, s, c, 0.0f};
}
// Between stored coordinates (t down the image) and image coordinates (t
// up); its own inverse.
constexpr TextureMatrix kFlipT{1.0f, 0.0f, 0.0f, 0.0f, -1.0f, 1.0f};

// Null stands for the identity, which the stage then skips.
void AssignMatrix(const CMatrix4* m, CMatrix4* target, bool* isIdentity) {
  *isIdentity = m == nullptr;
  if (m == nullptr) {
    target->SetIdentity();
  } else {
    *target = *m;
  }
}

}  // namespace

TextureMatrix TextureMatrix::After(const TextureMatrix& first) const {
  return {ss * first.ss + st * first.ts, ss * first.st + st * first.tt, ss * first.s0 + st * first.t0 + s0,
          ts * first.ss + tt * first.ts, ts * first.st + tt * first.tt, ts * first.s0 + tt * first.t0 + t0};
}

namespace {

// The map by which a material's transform moves stored texture coordinates.
TextureMatrix TextureTransformMatrix(const MaterialRecord& m) {
  const CVec2f& c = m.center;
  switch (m.textureTransform) {
    case TextureTransformRule::kAboutCentre:
      return Shift(c.x - m.translation.x, c.y - m.translation.y)
          .After(Turn(m.rotation))
          .After(Scaling(m.scale))
          .After(Shift(-c.x, -c.y));
    case TextureTransformRule::kVrml:
      return kFlipT.After(Shift(-c.x, -c.y))
          .After(Scaling(m.scale))
          .After(Turn(m.rotation))
          .After(Shift(c.x + m.translation.x, c.y + m.translation.y))
          .After(kFlipT);
    case TextureTransformRule::kNone:
      break;
  }
  return {};
}

}  // namespace

CGeometryStage::CGeometryStage(CRenderTarget* target) : target_(target) {
  SetMaterial(nullptr);
}

void CGeometryStage::SetProjectionMatrix(const CMatrix4* m) {
  AssignMatrix(m, &projection_, &projectionIsIdentity_);
}

void CGeometryStage::SetModelViewMatrix(const CMatrix4* m) { AssignMatrix(m, &model_, &modelIsIdentity_); }

// ---- Lights ----------------------------------------------------------------

int32_t CGeometryStage::AddLight(const LightRecord* record) {
  if (record == nullptr) return -1;
  for (int32_t slot = 0; slot < kLightSlots; ++slot) {
    if (lights_[slot].free) {
      SetLight(slot, record);
      return slot;
    }
  }
  return -1;
}

void CGeometryStage::SetLight(int32_t slot, const LightRecord* record) {
  if (slot < 0 || slot >= kLightSlots) return;
  LightRecord& light = lights_[slot];
  if (record == nullptr) {
    light = LightRecord{};
    ListLightsOn();
    return;
  }
  light = *record;
  light.free = 0;
  light.radiusSquared = light.radius * light.radius;
  light.attenuation = {std::fabs(light.attenuation.x), std::fabs(light.attenuation.y),
                       std::fabs(light.attenuation.z)};
  if (light.attenuation.x < kMinimumConstantAttenuation) light.attenuation.x = 1.0f;
  if (light.type == kDirectionalLight) {
    if (light.direction == CVec3f{}) {
      light.direction = {0.0f, 1.0f, 0.0f};
    } else {
      light.direction.Normalize();
    }
  }
  if (light.type == kSpotLight) {
    if (light.spotDirection == CVec3f{}) {
      light.spotDirection = {0.0f, 0.0f, -1.0f};
    } else {
      light.spotDirection.Normalize();
    }
    light.innerAngle = std::cos(light.innerAngle * 0.5f);
    light.outerAngle = std::cos(light.outerAngle * 0.5f);
  }
  if (light.type == kDirectionalLight || light.type == kPointLight || light.type == kSpotLight) {
    // For point and spot lights the stored position itself is added.
    light.halfway = (light.direction + viewVector_).Normalize();
  }
  ListLightsOn();
}

void CGeometryStage::ListLightsOn() {
  lightsOnCount_ = 0;
  for (int32_t slot = 0; slot < kLightSlots; ++slot) {
    if (!lights_[slot].free && lights_[slot].on) lightsOn_[lightsOnCount_++] = static_cast<uint8_t>(slot);
  }
}

const LightRecord* CGeometryStage::Light(int32_t slot) const {
  if (slot < 0 || slot >= kLightSlots) return nullptr;
  return &lights_[slot];
}

void CGeometryStage::SetFog(const std::array<float, 4>& color, float range, uint32_t type) {
  fogOn_ = true;
  fogColor_ = color;
  fogRange_ = range;
  fogType_ = type;
}

void CGeometryStage::DisableFog() { fogOn_ = false; }

// ---- Material --------------------------------------------------------------

void CGeometryStage::SetMaterial(const MaterialRecord* record) {
  bool singleByte = HasSinglePixelBytes();
  if (record == nullptr) {
    material_ = MaterialRecord{};
    material_.specular = singleByte ? 0 : 1;
    target_->SetTexture(nullptr);
    return;
  }
  material_ = *record;
  if (singleByte) material_.specular = 0;
  if (material_.texture.base == nullptr) {
    target_->SetTexture(nullptr);
    return;
  }
  // Textured spans are shaded by the red channel alone.
  material_.diffuse.r = 1.0f;
  material_.specularColor = {1.0f, 1.0f, 1.0f};
  material_.specular = 0;
  target_->SetTexture(&material_.texture, {material_.repeatS != 0, material_.repeatT != 0});
  material_.spanMode = SpanMode::kTextured;
  if (material_.unlitTexture) material_.spanMode |= SpanMode::kUnlitTexture;
  if (material_.chromaKey) {
    ColorToPixels(material_.chromaKeyColor, &material_.chromaKeyIndex, &material_.chromaKey555,
                  &material_.chromaKeyXrgb);
    target_->SetChromaKey(material_.chromaKeyIndex, material_.chromaKey555, material_.chromaKeyXrgb);
    material_.spanMode |= SpanMode::kChromaKey;
  }
  material_.textureMatrix = TextureTransformMatrix(material_);
}

void CGeometryStage::ColorToPixels(const FloatColor& color, uint8_t* index, uint16_t* c555,
                                   uint32_t* xrgb) const {
  *index = 0;
  ColorToPixelValues(color, inverseMap, xrgb, c555, inverseMap != nullptr ? index : nullptr);
}

bool CGeometryStage::BeginFrame() {
  viewVector_ = (eye - lookAt).Normalize();
  boxTestResult_ = {};
  screenPick_.hit = false;
  // Texture pixels belong to media handles, which may have freed them since
  // the last frame; the material that pointed at them is not kept.
  if (material_.texture.base != nullptr) SetMaterial(nullptr);
  return target_->EndBoundsTracking(nullptr, nullptr, nullptr, nullptr);
}

// ---- Vertices --------------------------------------------------------------

CVec3f CGeometryStage::ToWorld(const CVec3f& p) const {
  CVec3f world = p;
  model_.TransformPoint(world);
  return world;
}

void CGeometryStage::ToClip(const CVec3f& world, float clip[4]) const {
  clip[0] = world.x;
  clip[1] = world.y;
  clip[2] = world.z;
  clip[3] = 1.0f;
  if (!projectionIsIdentity_) projection_.TransformVec4(clip);
}

void CGeometryStage::TransformAndLightVertex(const CVec3f& position, const CVec3f& normal, VertexWork* out,
                                             bool transform, bool flipAllowed) const {
  CVec3f world = position;
  CVec3f n = normal;
  if (!modelIsIdentity_ && transform) {
    world = ToWorld(position);
    n = ToWorld(position + normal) - world;
    float length = ApproximateLength(n);
    if (length > 0.0f) n *= 1.0f / length;
  }
  out->v[VertexWord::kWorldX] = world.x;
  out->v[VertexWord::kWorldY] = world.y;
  out->v[VertexWord::kWorldZ] = world.z;
  // Derived normals of counter-clockwise faces point away from the viewer,
  // so the turn applies at every pixel size: without it an 8-bit view would
  // light the fronts of such faces by the ambient light alone.
  if (flipAllowed && material_.smooth && viewVector_.Dot(n) < kFlipThreshold) {
    n *= -1.0f;
  }
  LightVertex(world, n, out);

  if (material_.textureTransform != TextureTransformRule::kNone) {
    const TextureMatrix& m = material_.textureMatrix;
    const float s = out->v[VertexWord::kS];
    const float t = out->v[VertexWord::kT];
    out->v[VertexWord::kS] = m.ss * s + m.st * t + m.s0;
    out->v[VertexWord::kT] = m.ts * s + m.tt * t + m.t0;
  }
  ToClip(world, &out->v[VertexWord::kX]);
}

void CGeometryStage::LightVertex(const CVec3f& world, const CVec3f& normal, VertexWork* out) const {
  CVec3f diffuse;
  CVec3f specular;
  if (material_.unlit) {
    StoreClamped(out, VertexWord::kRed, {1.0f, 1.0f, 1.0f});
    StoreClamped(out, VertexWord::kSpecularRed, specular);
    return;
  }
  for (int32_t i = 0; i < lightsOnCount_; ++i) {
    const LightRecord& light = lights_[lightsOn_[i]];
    float k = 0.0f;
    switch (light.type) {
      case kDirectionalLight:
        k = light.direction.Dot(normal);
        break;
      case kAmbientLight:
        diffuse += light.color;
        continue;
      case kPointLight: {
        CVec3f toLight = light.direction - world;
        float d = ApproximateLength(toLight);
        if (d > light.radius || d <= 0.0f) continue;
        // The unit direction divided by constant + linear x d.
        toLight *= 1.0f / ((light.attenuation.y * d + light.attenuation.x) * d);
        k = toLight.Dot(normal);
        break;
      }
      case kSpotLight: {
        CVec3f toLight = light.direction - world;
        float d = ApproximateLength(toLight);
        if (d > light.radius || d <= 0.0f) continue;
        toLight *= 1.0f / d;
        float c = -light.spotDirection.Dot(toLight);
        if (c < light.outerAngle) continue;
        float factor = 1.0f / (light.attenuation.y * d + light.attenuation.x);
        if (c < light.innerAngle) {
          factor *= 1.0f - (c - light.innerAngle) / (light.outerAngle - light.innerAngle);
        }
        k = (toLight * factor).Dot(normal);
        break;
      }
      default:
        continue;
    }
    if (!(k > 0.0f)) continue;
    diffuse += light.color * k;
    if (material_.specular && light.specular) {
      float h = light.halfway.Dot(normal);
      if (h > 0.0f) specular += light.color * Power16(h);
    }
  }
  StoreClamped(out, VertexWord::kRed, diffuse);
  StoreClamped(out, VertexWord::kSpecularRed, specular);
}

// ---- Polygons --------------------------------------------------------------

void CGeometryStage::ApplyMaterialColor(PolygonRecord* poly, bool* fullyFogged) const {
  bool allBeyondFog = fogOn_;
  const FloatColor diffuse = vertexColors_ ? FloatColor{1.0f, 1.0f, 1.0f} : material_.diffuse;
  const CVec3f emissive{material_.emissive.r, material_.emissive.g, material_.emissive.b};
  for (int32_t i = 0; i < poly->count; ++i) {
    float* w = poly->vertex[i].v;
    CVec3f c{w[VertexWord::kRed] * diffuse.r, w[VertexWord::kGreen] * diffuse.g, w[VertexWord::kBlue] * diffuse.b};
    c += emissive;
    if (material_.specular) {
      c += CVec3f{w[VertexWord::kSpecularRed] * material_.specularColor.r,
                  w[VertexWord::kSpecularGreen] * material_.specularColor.g,
                  w[VertexWord::kSpecularBlue] * material_.specularColor.b};
    }
    if (fogOn_) {
      CVec3f fog{fogColor_[0], fogColor_[1], fogColor_[2]};
      float d = (WorldOf(poly->vertex[i]) - eye).Length();
      if (d >= fogRange_) {
        c = fog;
      } else {
        c += (fog - c) * (d / fogRange_);
        allBeyondFog = false;
      }
    }
    w[VertexWord::kRed] = Clamp01(c.x);
    w[VertexWord::kGreen] = Clamp01(c.y);
    w[VertexWord::kBlue] = Clamp01(c.z);
  }
  *fullyFogged = allBeyondFog;
}

void CGeometryStage::DrawPolygon(PolygonRecord* poly) {
  if (poly->count < 1 || poly->count > kMaxInputVertices) return;
  if (visibilityTest_) {
    if (target_->ClipPolygon(poly)) visible_ = true;
    return;
  }
  if (boxTestMode_ != BoxTestMode::kOff) {
    if (boxTestResult_.hit) return;
    PickTestPolygon(*poly);
    if (boxTestMode_ == BoxTestMode::kTestOnly) return;
  }
  const bool picking = screenPick_.armed;
  PolygonRecord entered;
  float depthBefore = 0.0f;
  if (picking) {
    entered = *poly;
    depthBefore = GetPickDepth(screenPick_.x, screenPick_.y);
  }

  float red = material_.diffuse.r;
  bool textured = material_.texture.base != nullptr;
  if (std::signbit(red) && red != 0.0f) {
    target_->FillPolygon(poly, SpanMode::kFill | SpanMode::kDepthOnly);
  } else {
    bool fullyFogged = false;
    ApplyMaterialColor(poly, &fullyFogged);
    if (!material_.smooth || fullyFogged) {
      CVec3f sum;
      for (int32_t i = 0; i < poly->count; ++i) {
        const float* w = poly->vertex[i].v;
        sum += CVec3f{w[VertexWord::kRed], w[VertexWord::kGreen], w[VertexWord::kBlue]};
      }
      CVec3f average = sum * (1.0f / static_cast<float>(poly->count));
      for (int32_t i = 0; i < poly->count; ++i) {
        float* w = poly->vertex[i].v;
        w[VertexWord::kRed] = average.x;
        w[VertexWord::kGreen] = average.y;
        w[VertexWord::kBlue] = average.z;
      }
      target_->FillPolygon(poly, textured ? material_.spanMode | SpanMode::kFill : SpanMode::kFill);
    } else {
      uint32_t smooth = SpanMode::kFill | SpanMode::kSmooth;
      target_->FillPolygon(poly, textured ? material_.spanMode | smooth : smooth);
    }
  }

  if (picking && GetPickDepth(screenPick_.x, screenPick_.y) != depthBefore) {
    hitPolygon_ = entered;
    screenPick_.hit = true;
  }
}

CBoxTestScope::CBoxTestScope(CGeometryStage& stage, BoxTestMode mode)
    : stage_(stage), outerMode_(stage.boxTestMode_), outerResult_(stage.boxTestResult_) {
  stage_.boxTestMode_ = mode;
  stage_.boxTestResult_ = {};
}

CBoxTestScope::~CBoxTestScope() {
  stage_.boxTestMode_ = outerMode_;
  if (!stage_.boxTestResult_.hit) stage_.boxTestResult_ = outerResult_;
}

CVisibilityTestScope::CVisibilityTestScope(CGeometryStage& stage) : stage_(stage) {
  stage_.visibilityTest_ = true;
  stage_.visible_ = false;
}

CVisibilityTestScope::~CVisibilityTestScope() { stage_.visibilityTest_ = false; }

CVertexColorScope::CVertexColorScope(CGeometryStage& stage) : stage_(stage) { stage_.vertexColors_ = true; }

CVertexColorScope::~CVertexColorScope() { stage_.vertexColors_ = false; }

// ---- Points and lines ------------------------------------------------------

CVec2f CGeometryStage::ProjectPoint(const CVec3f& p) const {
  float clip[4];
  ToClip(ToWorld(p), clip);
  RenderBufferDesc desc = target_->GetBufferDesc();
  // NaN (w = 0) and everything left of or above the frame give 0.
  auto clampTo = [](float v, float limit) { return v > 0.0f ? std::max(std::min(v, limit), 0.0f) : 0.0f; };
  float sx = (clip[0] / clip[3] + 1.0f) * static_cast<float>(desc.width) * 0.5f;
  float sy = (1.0f - clip[1] / clip[3]) * static_cast<float>(desc.height) * 0.5f;
  return {clampTo(sx, static_cast<float>(desc.width - 1)), clampTo(sy, static_cast<float>(desc.height - 1))};
}

void CGeometryStage::DrawPoint(const CVec3f& p, const FloatColor& color) {
  CVec3f world = ToWorld(p);
  if ((eye - world).Dot(viewVector_) < 0.0f) return;
  float clip[4];
  ToClip(world, clip);
  uint8_t index;
  uint16_t c555;
  uint32_t xrgb;
  ColorToPixels(color, &index, &c555, &xrgb);
  target_->PlotPoint(clip, index, c555, xrgb);
}

void CGeometryStage::DrawLine(const CVec3f& p0, const CVec3f& p1, const FloatColor& color) {
  float clip0[4];
  float clip1[4];
  ToClip(ToWorld(p0), clip0);
  ToClip(ToWorld(p1), clip1);
  if (!(std::fabs(clip0[3]) >= kMinimumLineW) || !(std::fabs(clip1[3]) >= kMinimumLineW)) return;
  uint8_t index;
  uint16_t c555;
  uint32_t xrgb;
  ColorToPixels(color, &index, &c555, &xrgb);
  target_->DrawLine(clip0, clip1, index, c555, xrgb);
}

void CGeometryStage::BeginBoundsTracking(bool drawToo) { target_->BeginBoundsTracking(drawToo); }

bool CGeometryStage::GetDrawnBounds(float* x, float* y, float* s, float* t) {
  return target_->EndBoundsTracking(x, y, s, t);
}

}  // namespace vx
