#include "engine/render/GeometryStage.h"

#include <emmintrin.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <new>
#include <optional>

#include "engine/render/VertexLanes.h"

namespace vx {
namespace {

constexpr float kMinimumConstantAttenuation = 0.00001f;
constexpr float kFlipThreshold = -0.1f;      // view . normal below this turns a normal round
constexpr float kMinimumLineW = 0.001f;

float ClampTo(float v, float ceiling) { return _mm_cvtss_f32(lanes::ClampTo(_mm_set_ss(v), _mm_set_ss(ceiling))); }
float Clamp01(float v) { return ClampTo(v, 1.0f); }

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

namespace {

// Whether the columns have one length and are square to each other.
bool TurnsAndScalesEvenly(const CVec3f& a, const CVec3f& b, const CVec3f& c) {
  const float aa = a.Dot(a), bb = b.Dot(b), cc = c.Dot(c);
  const float tolerance = kEvenScaleTolerance * std::max({aa, bb, cc});
  return std::fabs(aa - bb) <= tolerance && std::fabs(aa - cc) <= tolerance && std::fabs(a.Dot(b)) <= tolerance &&
         std::fabs(b.Dot(c)) <= tolerance && std::fabs(c.Dot(a)) <= tolerance;
}

}  // namespace

void CGeometryStage::SetModelViewMatrix(const CMatrix4* m) {
  AssignMatrix(m, &model_, &modelIsIdentity_);
  const CVec3f a{model_[0], model_[1], model_[2]}, b{model_[4], model_[5], model_[6]},
      c{model_[8], model_[9], model_[10]};
  // The cofactors, turned round where the matrix mirrors: the inverse
  // transpose times |det|, which normalising takes out.
  const float sign = a.Dot(b.Cross(c)) < 0.0f ? -1.0f : 1.0f;
  normalColumns_ = {b.Cross(c) * sign, c.Cross(a) * sign, a.Cross(b) * sign};
  normalsFollowPoints_ = TurnsAndScalesEvenly(a, b, c);
}

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
  // The system's textured spans are shaded by the red channel alone; the
  // standard's texels stand for the diffuse colour.
  material_.diffuse.r = 1.0f;
  if (!Standard()) {
    material_.specularColor = {1.0f, 1.0f, 1.0f};
    material_.specular = 0;
  }
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

namespace {

float FirstLane(__m128 v) { return _mm_cvtss_f32(v); }

// A spot's cone over `factor`, for the unit vector towards the light: the
// lanes of `reaches` outside the cone drop out, and the light fades from
// the inner cosine to the outer one.
__m128 WithinSpotCone(const LightRecord& light, const lanes::Vec3& toLight, __m128 factor, __m128& reaches) {
  const __m128 one = _mm_set1_ps(1.0f);
  const __m128 negative = _mm_castsi128_ps(_mm_set1_epi32(INT32_MIN));
  const __m128 c = _mm_xor_ps(lanes::Vec3::Splat(light.spotDirection).Dot(toLight), negative);
  const __m128 inner = _mm_set1_ps(light.innerAngle), outer = _mm_set1_ps(light.outerAngle);
  reaches = _mm_and_ps(reaches, _mm_cmpnlt_ps(c, outer));
  const __m128 edge = _mm_sub_ps(one, _mm_div_ps(_mm_sub_ps(c, inner), _mm_sub_ps(outer, inner)));
  return lanes::Select(_mm_cmplt_ps(c, inner), _mm_mul_ps(factor, edge), factor);
}

lanes::Vec3 PointOf(const lanes::Vec4& v) { return {v.x, v.y, v.z}; }

}  // namespace

CVec3f CGeometryStage::ToWorld(const CVec3f& p) const {
  const lanes::Vec4 world = lanes::TransformPoint(model_, lanes::Vec3::Splat(p));
  return {FirstLane(world.x), FirstLane(world.y), FirstLane(world.z)};
}

void CGeometryStage::ToClip(const CVec3f& world, float clip[4]) const {
  if (projectionIsIdentity_) {
    clip[0] = world.x;
    clip[1] = world.y;
    clip[2] = world.z;
    clip[3] = 1.0f;
    return;
  }
  const lanes::Vec4 c = lanes::TransformPoint(projection_, lanes::Vec3::Splat(world));
  clip[0] = FirstLane(c.x);
  clip[1] = FirstLane(c.y);
  clip[2] = FirstLane(c.z);
  clip[3] = FirstLane(c.w);
}

// One vertex in every lane; the results of lane 0 go to `out`.
void CGeometryStage::TransformAndLightVertex(const CVec3f& position, const CVec3f& normal, VertexWork* out,
                                             bool transform, bool flipAllowed) const {
  VertexWork spare[lanes::kCount - 1] = {*out, *out, *out};
  VertexWork* const outputs[lanes::kCount] = {out, &spare[0], &spare[1], &spare[2]};
  TransformAndLightLanes(lanes::Vec3::Splat(position), lanes::Vec3::Splat(normal), outputs, transform, flipAllowed);
}

void WorldBox::Add(const CVec3f& p) {
  // A point that is not finite would leave no centre.
  if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
  if (IsEmpty()) {
    low = high = p;
    return;
  }
  low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
  high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
}

void CGeometryStage::TransformAndLightVertices(const CVec3f* positions, const CVec3f* normals, const CVec2f* texCoords,
                                               VertexWork* out, int32_t count, bool transform, bool flipAllowed) const {
  for (int32_t i = 0; i < count; ++i) {
    out[i].v[VertexWord::kS] = texCoords[i].x;
    out[i].v[VertexWord::kT] = texCoords[i].y;
  }
  // The lanes past the last vertex light copies of it.
  VertexWork spare[lanes::kCount];
  for (int32_t i = 0; i < count; i += lanes::kCount) {
    const CVec3f* p[lanes::kCount];
    const CVec3f* n[lanes::kCount];
    VertexWork* outputs[lanes::kCount];
    for (int32_t lane = 0; lane < lanes::kCount; ++lane) {
      const int32_t k = std::min(i + lane, count - 1);
      p[lane] = &positions[k];
      n[lane] = &normals[k];
      outputs[lane] = i + lane < count ? &out[k] : &(spare[lane] = out[k]);
    }
    TransformAndLightLanes(lanes::Vec3::Gather(p), lanes::Vec3::Gather(n), outputs, transform, flipAllowed);
  }
  if (!measuredBox) return;
  for (int32_t i = 0; i < count; ++i) {
    const float* w = out[i].v;
    measuredBox->Add({w[VertexWord::kWorldX], w[VertexWord::kWorldY], w[VertexWord::kWorldZ]});
  }
}

void CGeometryStage::TransformAndLightLanes(lanes::Vec3 world, lanes::Vec3 normal,
                                            VertexWork* const (&out)[lanes::kCount], bool transform,
                                            bool flipAllowed) const {
  if (!modelIsIdentity_ && transform) {
    const lanes::Vec3 position = world;
    world = PointOf(lanes::TransformPoint(model_, position));
    normal = WorldNormal(position, world, normal);
  }
  // Derived normals of counter-clockwise faces point away from the viewer,
  // so the turn applies at every pixel size: without it an 8-bit view would
  // light the fronts of such faces by the ambient light alone.
  if (flipAllowed && material_.smooth) {
    const __m128 away = _mm_cmplt_ps(lanes::Vec3::Splat(viewVector_).Dot(normal), _mm_set1_ps(kFlipThreshold));
    normal = lanes::Select(away, normal * _mm_set1_ps(-1.0f), normal);
  }
  lanes::Vec3 diffuse, specular;
  LightLanes(world, normal, diffuse, specular);

  __m128 s = _mm_setr_ps(out[0]->v[VertexWord::kS], out[1]->v[VertexWord::kS], out[2]->v[VertexWord::kS],
                         out[3]->v[VertexWord::kS]);
  __m128 t = _mm_setr_ps(out[0]->v[VertexWord::kT], out[1]->v[VertexWord::kT], out[2]->v[VertexWord::kT],
                         out[3]->v[VertexWord::kT]);
  if (material_.textureTransform != TextureTransformRule::kNone) {
    const TextureMatrix& m = material_.textureMatrix;
    auto map = [&s, &t](float a, float b, float c) {
      return _mm_add_ps(_mm_add_ps(_mm_mul_ps(_mm_set1_ps(a), s), _mm_mul_ps(_mm_set1_ps(b), t)), _mm_set1_ps(c));
    };
    const __m128 mappedS = map(m.ss, m.st, m.s0);
    t = map(m.ts, m.tt, m.t0);
    s = mappedS;
  }
  const lanes::Vec4 clip = projectionIsIdentity_ ? lanes::Vec4{world.x, world.y, world.z, _mm_set1_ps(1.0f)}
                                                 : lanes::TransformPoint(projection_, world);
  // Words 0-3, 4-7, 8-11 and 11-14 of each vertex (11 twice, alike), so that
  // no store reaches past a vertex.
  // The standard's sums are clamped only once coloured.
  const __m128 most = _mm_set1_ps(Standard() ? kMaxLightSum : 1.0f);
  const __m128 specularBlue = lanes::ClampTo(specular.z, most);
  __m128 words[4][lanes::kCount] = {
      {clip.x, clip.y, clip.z, clip.w},
      {lanes::ClampTo(diffuse.x, most), lanes::ClampTo(diffuse.y, most), lanes::ClampTo(diffuse.z, most), s},
      {t, lanes::ClampTo(specular.x, most), lanes::ClampTo(specular.y, most), specularBlue},
      {specularBlue, world.x, world.y, world.z}};
  constexpr int kFirstWord[4] = {VertexWord::kX, VertexWord::kRed, VertexWord::kT, VertexWord::kSpecularBlue};
  for (int r = 0; r < 4; ++r) {
    lanes::Transpose(words[r]);
    for (int lane = 0; lane < lanes::kCount; ++lane) _mm_storeu_ps(out[lane]->v + kFirstWord[r], words[r][lane]);
  }
}

// The system's worlds keep the normal they always had where the matrix
// turns and scales evenly: the image of position + normal less the image of
// the position, over the stage's approximate length.
lanes::Vec3 CGeometryStage::WorldNormal(const lanes::Vec3& position, const lanes::Vec3& world,
                                        const lanes::Vec3& normal) const {
  if (!normalsFollowPoints_ || Standard()) return lanes::Normalized(lanes::Combine(normalColumns_, normal));
  const lanes::Vec3 moved = PointOf(lanes::TransformPoint(model_, position + normal)) - world;
  const __m128 length = lanes::ApproximateLength(moved);
  return lanes::Select(_mm_cmpgt_ps(length, _mm_setzero_ps()), moved * _mm_div_ps(_mm_set1_ps(1.0f), length), moved);
}

void CGeometryStage::LightLanes(const lanes::Vec3& world, const lanes::Vec3& normal, lanes::Vec3& diffuse,
                                lanes::Vec3& specular) const {
  const __m128 zero = _mm_setzero_ps();
  diffuse = specular = {zero, zero, zero};
  if (material_.unlit) {
    diffuse = lanes::Vec3::Splat({1.0f, 1.0f, 1.0f});
    return;
  }
  if (Standard()) {
    LightLanesAsStandard(world, normal, diffuse, specular);
    return;
  }
  const __m128 one = _mm_set1_ps(1.0f);
  for (int32_t i = 0; i < lightsOnCount_; ++i) {
    const LightRecord& light = lights_[lightsOn_[i]];
    const lanes::Vec3 color = lanes::Vec3::Splat(light.color);
    // The lanes the light reaches: within its radius (NaN distances are).
    auto reaches = [&light, zero](__m128 d) {
      return _mm_and_ps(_mm_cmpngt_ps(d, _mm_set1_ps(light.radius)), _mm_cmpnle_ps(d, zero));
    };
    __m128 lit = _mm_castsi128_ps(_mm_set1_epi32(-1));
    __m128 k;
    switch (light.type) {
      case kDirectionalLight: k = lanes::Vec3::Splat(light.direction).Dot(normal); break;
      case kAmbientLight: diffuse = diffuse + color; continue;
      case kPointLight: {
        lanes::Vec3 toLight = lanes::Vec3::Splat(light.direction) - world;
        const __m128 d = lanes::ApproximateLength(toLight);
        lit = reaches(d);
        // The unit direction divided by constant + linear x d.
        const __m128 attenuation = _mm_mul_ps(
            _mm_add_ps(_mm_mul_ps(_mm_set1_ps(light.attenuation.y), d), _mm_set1_ps(light.attenuation.x)), d);
        toLight = toLight * _mm_div_ps(one, attenuation);
        k = toLight.Dot(normal);
        break;
      }
      case kSpotLight: {
        lanes::Vec3 toLight = lanes::Vec3::Splat(light.direction) - world;
        const __m128 d = lanes::ApproximateLength(toLight);
        lit = reaches(d);
        toLight = toLight * _mm_div_ps(one, d);
        const __m128 factor = WithinSpotCone(
            light, toLight,
            _mm_div_ps(one,
                       _mm_add_ps(_mm_mul_ps(_mm_set1_ps(light.attenuation.y), d), _mm_set1_ps(light.attenuation.x))),
            lit);
        k = (toLight * factor).Dot(normal);
        break;
      }
      default:
        continue;
    }
    lit = _mm_and_ps(lit, _mm_cmpgt_ps(k, zero));
    diffuse = lanes::Select(lit, diffuse + color * k, diffuse);
    if (material_.specular && light.specular) {
      const __m128 h = lanes::Vec3::Splat(light.halfway).Dot(normal);
      const __m128 shines = _mm_and_ps(lit, _mm_cmpgt_ps(h, zero));
      specular = lanes::Select(shines, specular + color * lanes::Power16(h), specular);
    }
  }
}

// Per light: on x attenuation x spot x colour x (ambientIntensity x the
// material's ambientIntensity + intensity x N.L, both later times the
// diffuse colour) into `diffuse`, and the highlight, intensity x
// (N.H)^exponent with H halfway between the light and the eye, into
// `specular`; only where N.L > 0 does the light add more than its ambient
// part.
void CGeometryStage::LightLanesAsStandard(const lanes::Vec3& world, const lanes::Vec3& normal, lanes::Vec3& diffuse,
                                          lanes::Vec3& specular) const {
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.0f);
  const __m128 all = _mm_castsi128_ps(_mm_set1_epi32(-1));
  const __m128 materialAmbient = _mm_set1_ps(material_.ambientIntensity);
  // Highlights look from the eye itself, not along the view.
  const lanes::Vec3 toEye = lanes::Normalized(lanes::Vec3::Splat(eye) - world);
  for (int32_t i = 0; i < lightsOnCount_; ++i) {
    const LightRecord& light = lights_[lightsOn_[i]];
    lanes::Vec3 toLight;
    __m128 reaches = all, factor = one;
    switch (light.type) {
      case kDirectionalLight: toLight = lanes::Vec3::Splat(light.direction); break;
      case kPointLight:
      case kSpotLight: {
        toLight = lanes::Vec3::Splat(light.direction) - world;
        const __m128 d = _mm_sqrt_ps(toLight.Dot(toLight));
        reaches = _mm_cmple_ps(d, _mm_set1_ps(light.radius));
        toLight = toLight * _mm_div_ps(one, d);
        const CVec3f& a = light.attenuation;
        const __m128 falloff = _mm_add_ps(_mm_add_ps(_mm_set1_ps(a.x), _mm_mul_ps(_mm_set1_ps(a.y), d)),
                                          _mm_mul_ps(_mm_set1_ps(a.z), _mm_mul_ps(d, d)));
        factor = _mm_div_ps(one, _mm_max_ps(falloff, one));
        if (light.type == kSpotLight) factor = WithinSpotCone(light, toLight, factor, reaches);
        break;
      }
      default:
        continue;  // the view's ambient light among them
    }
    const lanes::Vec3 color = lanes::Vec3::Splat(light.color);
    const __m128 k = toLight.Dot(normal);
    const __m128 lit = _mm_and_ps(reaches, _mm_cmpgt_ps(k, zero));
    const lanes::Vec3 ambient = lanes::Vec3::Splat(light.ambient) * _mm_mul_ps(materialAmbient, factor);
    diffuse = lanes::Select(reaches, diffuse + ambient, diffuse);
    diffuse = lanes::Select(lit, diffuse + color * _mm_mul_ps(k, factor), diffuse);
    if (material_.specular && light.specular) {
      const __m128 h = lanes::Normalized(toLight + toEye).Dot(normal);
      const __m128 shines = _mm_and_ps(lit, _mm_cmpgt_ps(h, zero));
      const __m128 highlight = _mm_mul_ps(lanes::Power(h, material_.specularExponent), factor);
      specular = lanes::Select(shines, specular + color * highlight, specular);
    }
  }
}

// ---- Polygons --------------------------------------------------------------

uint32_t CGeometryStage::TextureSpanMode() const {
  if (material_.texture.base == nullptr) return 0;
  // The standard's unlit texels are copied as they are unless fog veils them.
  if (Standard() && (!material_.unlitTexture || fogOn_)) {
    return (material_.spanMode & ~SpanMode::kUnlitTexture) | SpanMode::kTinted;
  }
  return material_.spanMode;
}

// How far into the fog the vertex lies: 0 at the eye, 1 at the range and
// beyond.
float CGeometryStage::FogShare(const float* w, bool* beyond) const {
  const float d = (CVec3f{w[VertexWord::kWorldX], w[VertexWord::kWorldY], w[VertexWord::kWorldZ]} - eye).Length();
  *beyond = d >= fogRange_;
  return *beyond ? 1.0f : d / fogRange_;
}

CVec3f CGeometryStage::WithEmissiveAndHighlight(const float* w, CVec3f c) const {
  c += CVec3f{material_.emissive.r, material_.emissive.g, material_.emissive.b};
  if (material_.specular) {
    c += CVec3f{w[VertexWord::kSpecularRed] * material_.specularColor.r,
                w[VertexWord::kSpecularGreen] * material_.specularColor.g,
                w[VertexWord::kSpecularBlue] * material_.specularColor.b};
  }
  return c;
}

bool CGeometryStage::TintVertex(float* w) const {
  CVec3f scale{w[VertexWord::kRed], w[VertexWord::kGreen], w[VertexWord::kBlue]};
  CVec3f added = WithEmissiveAndHighlight(w, {});
  bool beyondFog = false;
  if (fogOn_) {
    const CVec3f fog{fogColor_[0], fogColor_[1], fogColor_[2]};
    const float f = FogShare(w, &beyondFog);
    scale *= 1.0f - f;
    added += (fog - added) * f;
  }
  const float channels[6] = {scale.x, scale.y, scale.z, added.x, added.y, added.z};
  for (int c = 0; c < 3; ++c) {
    w[VertexWord::kRed + c] = ClampTo(channels[c], kMaxLightSum);
    w[VertexWord::kAddedRed + c] = Clamp01(channels[3 + c]);
  }
  return beyondFog;
}

bool CGeometryStage::ColorVertex(float* w) const {
  if (TextureSpanMode() & SpanMode::kTinted) return TintVertex(w);
  const FloatColor diffuse = vertexColors_ ? FloatColor{1.0f, 1.0f, 1.0f} : material_.diffuse;
  CVec3f c = WithEmissiveAndHighlight(
      w, {w[VertexWord::kRed] * diffuse.r, w[VertexWord::kGreen] * diffuse.g, w[VertexWord::kBlue] * diffuse.b});
  bool beyondFog = false;
  if (fogOn_) {
    const CVec3f fog{fogColor_[0], fogColor_[1], fogColor_[2]};
    const float f = FogShare(w, &beyondFog);
    c = beyondFog ? fog : c + (fog - c) * f;
  }
  w[VertexWord::kRed] = Clamp01(c.x);
  w[VertexWord::kGreen] = Clamp01(c.y);
  w[VertexWord::kBlue] = Clamp01(c.z);
  return beyondFog;
}

void CGeometryStage::ApplyMaterialColor(PolygonRecord* poly, bool* fullyFogged) const {
  bool allBeyondFog = fogOn_;
  for (int32_t i = 0; i < poly->count; ++i) allBeyondFog &= ColorVertex(poly->vertex[i].v);
  *fullyFogged = allBeyondFog;
}

// A negative red (not -0.0) marks an invisible material.
bool CGeometryStage::FillsDepthOnly() const {
  const float red = material_.diffuse.r;
  return std::signbit(red) && red != 0.0f;
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
  std::optional<PolygonRecord> entered;
  float depthBefore = 0.0f;
  if (picking) {
    entered = *poly;
    depthBefore = GetPickDepth(screenPick_.x, screenPick_.y);
  }

  const uint32_t textureMode = TextureSpanMode();
  if (FillsDepthOnly()) {
    target_->FillPolygon(poly, SpanMode::kFill | SpanMode::kDepthOnly);
  } else {
    bool fullyFogged = false;
    ApplyMaterialColor(poly, &fullyFogged);
    if (!material_.smooth || fullyFogged) {
      const std::array<float, 3> average =
          AverageColor(poly->count, [poly](int32_t i) { return poly->vertex[i].v + VertexWord::kRed; });
      for (int32_t i = 0; i < poly->count; ++i) {
        std::copy(average.begin(), average.end(), poly->vertex[i].v + VertexWord::kRed);
      }
      target_->FillPolygon(poly, textureMode | SpanMode::kFill);
    } else {
      target_->FillPolygon(poly, textureMode | SpanMode::kFill | SpanMode::kSmooth);
    }
  }

  if (picking && GetPickDepth(screenPick_.x, screenPick_.y) != depthBefore) {
    hitPolygon_ = *entered;
    screenPick_.hit = true;
  }
}

bool CGeometryStage::ShareVertices(const VertexWork* lit, int32_t count) {
  if (visibilityTest_ || boxTestMode_ != BoxTestMode::kOff || screenPick_.armed || FillsDepthOnly()) return false;
  const uint32_t textureMode = TextureSpanMode();
  SharedVertex* shared =
      target_->ShareVertices(count, textureMode | SpanMode::kFill | SpanMode::kSmooth, textureMode | SpanMode::kFill);
  if (shared == nullptr) return false;
  for (int32_t i = 0; i < count; ++i) {
    SharedVertex& vertex = shared[i];
    vertex.screen = lit[i];
    // A polygon is filled flat when its material is, or when the fog covers
    // it whole.
    vertex.flat = ColorVertex(vertex.screen.v) || !material_.smooth;
    std::copy_n(vertex.screen.v + VertexWord::kRed, 3, vertex.color);
  }
  target_->ProjectShared(shared, count);
  return true;
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
