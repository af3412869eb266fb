// The span fillers and the scan conversion that feeds them: one frame (span
// set-up, depth test and lazy row clear, row replication, the perspective
// schedule of textured runs, texel addressing) instantiated per filler kind
// and pixel form, and one walk down a polygon's rows per kind. Loops are
// specialised at compile time per replication setting; runs go four pixels
// a step, the depth test a lane mask (which a freshly cleared row sets whole
// for untextured runs), and textured runs on repeating power-of-two textures
// find their exact places before they draw. Untextured polygons of tame
// coordinates drawn at full quality, the small triangles of lit meshes
// among them, take the direct way: plain conversions, no replication, and
// the uncommon cases out of line. On the x86-64 baseline: the results are
// the same on every machine.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "engine/render/Numeric.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/ShadeTables.h"
#include "engine/render/SpanVectors.h"
#include "engine/render/TextureWrap.h"

namespace vx {

// The pixel range of one span and how its words are sampled: every word
// starts at the centre of the first pixel and steps per pixel.
struct CRenderTarget::SpanRun {
  int32_t first;
  int32_t last;
  float dx;
  float offset;

  float Step(float left, float right) const { return (right - left) / dx; }
  float Start(float left, float step) const { return left + offset * step; }
};

// An untextured edge at one row: x, and depth and colour side by side (z,
// r, g, b).
struct CRenderTarget::PlainEdge {
  float x;
  __m128 words;

  float X() const { return x; }
  // From the first seven words of a span edge or a projected vertex (x, y,
  // z, q, r, g, b).
  static PlainEdge Of(const float* w) { return {w[0], _mm_move_ss(_mm_loadu_ps(w + 3), _mm_load_ss(w + 2))}; }
};

namespace {

// How far to the right of a row's run its cache lines are fetched ahead: a
// mesh's next polygons along the row, a few cells on, will use them. Frames
// larger than the caches are drawn whole, layer after layer, so without it
// every row would wait for its lines.
constexpr int32_t kPrefetchPixels = 32;

// Truncation toward zero, saturating and safe for NaN, or straight where a
// polygon's coordinates are known to lie well inside the int32 range.
template <bool Tame>
int32_t Truncate(float value) {
  if constexpr (Tame) {
    return static_cast<int32_t>(value);
  } else {
    return TruncToInt(value);
  }
}

// The least integer not below the value, saturating; tame values take the
// quicker way, which the x86-64 baseline, lacking a rounding instruction,
// needs.
template <bool Tame>
int32_t Ceiling(float value) {
  if constexpr (Tame) {
    const int32_t toward0 = static_cast<int32_t>(value);
    return toward0 + (static_cast<float>(toward0) < value ? 1 : 0);
  } else {
    return TruncToInt(std::ceil(value));
  }
}

constexpr bool IsTextured(SpanKind kind) {
  return kind == SpanKind::kTextured || kind == SpanKind::kGouraudTextured || kind == SpanKind::kUnlitTextured ||
         kind == SpanKind::kKeyedTextured || kind == SpanKind::kTintedTextured;
}

template <typename P>
P LoadPixel(const uint8_t* row, int32_t x) {
  P p;
  std::memcpy(&p, row + static_cast<ptrdiff_t>(x) * sizeof(P), sizeof(P));
  return p;
}

template <typename P, int Rows>
void StoreRows(uint8_t* const (&rows)[Rows], int32_t x, P value) {
  for (int k = 0; k < Rows; ++k) std::memcpy(rows[k] + static_cast<ptrdiff_t>(x) * sizeof(P), &value, sizeof(P));
}

__attribute__((always_inline)) inline uint16_t Shade555(uint16_t texel, int32_t level) {
  const auto& s = ShadeTable5[static_cast<size_t>(level)];
  return static_cast<uint16_t>(((s[(texel >> 10) & 31] >> 3) << 10) | ((s[(texel >> 5) & 31] >> 3) << 5) |
                               (s[texel & 31] >> 3));
}

__attribute__((always_inline)) inline uint32_t ShadeXrgb(uint32_t texel, int32_t level) {
  const auto& s = ShadeTable8[static_cast<size_t>(level)];
  return (uint32_t{s[(texel >> 16) & 0xFF]} << 16) | (uint32_t{s[(texel >> 8) & 0xFF]} << 8) | s[texel & 0xFF];
}

template <typename P>
__attribute__((always_inline)) inline P ShadeTexel(P texel, int32_t level) {
  if constexpr (std::is_same_v<P, uint16_t>) return Shade555(texel, level);
  else if constexpr (std::is_same_v<P, uint32_t>) return ShadeXrgb(texel, level);
  else return texel;  // palette targets are not shaded
}

// The shading of a tinted texel across a run: per channel a level (the
// scaled vertex colour, 16.16) by which the texel is multiplied as the shade
// tables do, and a colour added after it (scaled, with the offset, 16.16);
// both step linearly in screen space. With nothing added a 16-bit texel
// comes out as the smooth textured fill shades it; a 32-bit one as an
// untextured fill of the texel times the colour would draw it.
class TintRamp {
 public:
  TintRamp() = default;
  TintRamp(const SpanEdge& left, const SpanEdge& right, float dx, float offset, float colorScale) {
    auto words = [colorScale](const SpanEdge& e) {
      return std::array<float, kWords>{e.r,
                                       e.g,
                                       e.b,
                                       e.addedR * colorScale + kColorOffset,
                                       e.addedG * colorScale + kColorOffset,
                                       e.addedB * colorScale + kColorOffset};
    };
    const std::array<float, kWords> from = words(left), to = words(right);
    for (int i = 0; i < kWords; ++i) {
      const float step = (to[i] - from[i]) / dx;
      value_[i] = static_cast<uint32_t>(ToFixed16Wrap(from[i] + offset * step));
      step_[i] = static_cast<uint32_t>(ToFixed16Wrap(step));
    }
  }

  void Step() {
    for (int i = 0; i < kWords; ++i) value_[i] += step_[i];
  }

  template <typename P>
  __attribute__((always_inline)) P Shade(P texel) const {
    if constexpr (std::is_same_v<P, uint32_t>) {
      return static_cast<P>(Channel8(texel >> 16 & 0xFF, 0) << 16 | Channel8(texel >> 8 & 0xFF, 1) << 8 |
                            Channel8(texel & 0xFF, 2));
    } else if constexpr (std::is_same_v<P, uint16_t>) {
      return static_cast<P>(Channel5(texel >> 10 & 31, 0) << 10 | Channel5(texel >> 5 & 31, 1) << 5 |
                            Channel5(texel & 31, 2));
    } else {
      return texel;  // palette targets are not shaded
    }
  }

 private:
  static constexpr int kWords = 6;
  static constexpr auto kOffset = static_cast<int32_t>(kColorOffset);
  static constexpr auto kMaxLevel = static_cast<int32_t>(kMaxLightSum * 255.0f) + kOffset;

  uint32_t Level(int i) const {
    return static_cast<uint32_t>(std::clamp(static_cast<int32_t>(value_[i]) >> 16, kOffset, kMaxLevel));
  }
  uint32_t Added(int i) const {
    return static_cast<uint32_t>(std::clamp(static_cast<int32_t>(value_[3 + i]) >> 16, 0, 255));
  }
  uint32_t Channel8(uint32_t c, int i) const { return std::min(c * (Level(i) - kOffset) / 255 + Added(i), 255u); }
  uint32_t Channel5(uint32_t c, int i) const { return std::min((c * Level(i) / 31 >> 3) + (Added(i) >> 3), 31u); }

  uint32_t value_[kWords] = {};
  uint32_t step_[kWords] = {};
};

// Colours of the non-textured members, four pixels at a time: Lanes(drawn)
// gives the colours of the next four pixels as 32-bit lanes, where `drawn`
// has bit i set for each lane that is written; Step() moves on four pixels,
// drawn or not. NoColor serves the depth-only member.
struct NoColor {
  __m128i Lanes(int) { return _mm_setzero_si128(); }
  void Step() {}
};

struct FlatColor {
  __m128i value;
  __m128i Lanes(int) const { return value; }
  void Step() {}
};

// A 16.16 channel per lane, each lane one pixel further along the span; the
// steps wrap as the running sums of one pixel at a time would.
struct ChannelLanes {
  __m128i value, step4;
  void Step() { value = _mm_add_epi32(value, step4); }
};

struct Channels {
  ChannelLanes r, g, b;
  void Step() { r.Step(), g.Step(), b.Step(); }

  // From the starts and steps of (z, r, g, b) in 16.16: the four pixels'
  // values of every word are the columns of start + i x step, i = 0..3.
  static Channels FromWords(__m128i start, __m128i step) {
    const __m128i p0 = start, p1 = _mm_add_epi32(p0, step), p2 = _mm_add_epi32(p1, step),
                  p3 = _mm_add_epi32(p2, step);
    const __m128i lo01 = _mm_unpacklo_epi32(p0, p1), hi01 = _mm_unpackhi_epi32(p0, p1);
    const __m128i lo23 = _mm_unpacklo_epi32(p2, p3), hi23 = _mm_unpackhi_epi32(p2, p3);
    const __m128i step4 = _mm_slli_epi32(step, 2);
    return {{_mm_unpackhi_epi64(lo01, lo23), _mm_shuffle_epi32(step4, 0x55)},
            {_mm_unpacklo_epi64(hi01, hi23), _mm_shuffle_epi32(step4, 0xAA)},
            {_mm_unpackhi_epi64(hi01, hi23), _mm_shuffle_epi32(step4, 0xFF)}};
  }
};

// Smooth xRGB pixels from one vector per pixel holding its channels in 16.16
// as (blue, green, red, -): the low 8 bits of each integer part, packed
// into the bytes of the pixel word in that order, the fourth byte 0.
struct GouraudXrgb {
  __m128i pixel;  // the next pixel's channels
  __m128i step, step4;

  // From the starts and steps of (z, r, g, b) in 16.16.
  static GouraudXrgb FromWords(__m128i start, __m128i perPixel) {
    constexpr int kBlueGreenRed = _MM_SHUFFLE(0, 1, 2, 3);
    const __m128i step = _mm_shuffle_epi32(perPixel, kBlueGreenRed);
    return {_mm_shuffle_epi32(start, kBlueGreenRed), step, _mm_slli_epi32(step, 2)};
  }
  __m128i Lanes(int) const {
    const __m128i p1 = _mm_add_epi32(pixel, step), p2 = _mm_add_epi32(p1, step), p3 = _mm_add_epi32(p2, step);
    // The integer parts, signed, pack to words exactly; their low bytes then
    // pack to the pixels' bytes.
    const __m128i lowBytes = _mm_setr_epi16(0xFF, 0xFF, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0);
    auto words = [&lowBytes](__m128i a, __m128i b) {
      return _mm_and_si128(_mm_packs_epi32(_mm_srai_epi32(a, 16), _mm_srai_epi32(b, 16)), lowBytes);
    };
    return _mm_packus_epi16(words(pixel, p1), words(p2, p3));
  }
  void Step() { pixel = _mm_add_epi32(pixel, step4); }
};

// The top five bits of each channel after adding the row's next dither
// offset; a pixel takes an offset only when it is written.
struct Gouraud555 : Channels {
  const uint32_t* dither;
  uint32_t advance;  // 1, or 0 when there is no dither table
  __m128i Lanes(int drawn) {
    const __m128i d = Offsets(drawn);
    auto five = [&d](const ChannelLanes& c, int shift) {
      return _mm_and_si128(_mm_srli_epi32(_mm_add_epi32(c.value, d), shift), _mm_set1_epi32(31 << (19 - shift)));
    };
    return _mm_or_si128(five(r, 9), _mm_or_si128(five(g, 14), five(b, 19)));
  }

 private:
  // The drawn lanes take the next offsets in order.
  __m128i Offsets(int drawn) {
    if (drawn == 0xF && advance) {
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dither));
      dither += span::kLanes;
      return d;
    }
    alignas(16) uint32_t lanes[span::kLanes] = {};
    for (int i = 0; i < span::kLanes; ++i) {
      if (!(drawn & (1 << i))) continue;
      lanes[i] = *dither;
      dither += advance;
    }
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
  }
};

// Dither tables exist for every 2-byte target; a 2-byte filler called on
// another target draws without offsets.
constexpr uint32_t kNoDither = 0;

// The depth test of four pixels: the lanes to draw. `untested` has every
// lane set on a row that the call itself has just cleared, where the run is
// drawn without the test.
inline __m128 Passing(__m128 z, __m128 stored, __m128 inRun, __m128 untested) {
  return _mm_and_ps(inRun, _mm_or_ps(_mm_cmpgt_ps(z, stored), untested));
}

// The colours of four pixels (32-bit lanes) into every row: all of them, or
// only the lanes `pass`, keeping the others as they are.
template <typename Pixel, int Rows>
__attribute__((always_inline)) inline void StoreColors(uint8_t* const (&rows)[Rows], __m128i lanes) {
  const __m128i color = span::Narrow<Pixel>(lanes);
  for (int k = 0; k < Rows; ++k) span::StorePixels<Pixel>(rows[k], color);
}
template <typename Pixel, int Rows>
__attribute__((always_inline)) inline void BlendColors(uint8_t* const (&rows)[Rows], __m128 pass, __m128i lanes) {
  const __m128i color = span::Narrow<Pixel>(lanes);
  const __m128i mask = span::Narrow<Pixel>(_mm_castps_si128(pass));
  for (int k = 0; k < Rows; ++k)
    span::StorePixels<Pixel>(rows[k], span::Select(mask, color, span::LoadPixels<Pixel>(rows[k])));
}

// Writes the lanes `pass` of four pixels, keeping the others as they are.
template <typename Pixel, int Rows, typename Colors>
__attribute__((always_inline)) inline void BlendGroup(uint8_t* const (&rows)[Rows], float* depth, __m128 z,
                                                      __m128 stored, __m128 pass, int drawn, Colors& colors) {
  _mm_storeu_ps(depth, span::Select(pass, z, stored));
  if constexpr (!std::is_same_v<Colors, NoColor>) BlendColors<Pixel, Rows>(rows, pass, colors.Lanes(drawn));
}

// Four pixels inside a run: the common cases, all drawn or none, store
// without reading the colour.
template <typename Pixel, int Rows, typename Colors>
__attribute__((always_inline)) inline void DrawGroup(uint8_t* const (&rows)[Rows], float* depth, __m128 z,
                                                     __m128 untested, Colors& colors) {
  const __m128 stored = _mm_loadu_ps(depth);
  const __m128 pass = _mm_or_ps(_mm_cmpgt_ps(z, stored), untested);
  const int drawn = _mm_movemask_ps(pass);
  // Groups drawn whole, nearly all of them, go straight on.
  if (drawn == 0xF) [[likely]] {
    _mm_storeu_ps(depth, z);
    if constexpr (!std::is_same_v<Colors, NoColor>) StoreColors<Pixel, Rows>(rows, colors.Lanes(drawn));
  } else if (drawn != 0) {
    BlendGroup<Pixel, Rows>(rows, depth, z, stored, pass, drawn, colors);
  }
  colors.Step();
}

// The last one to three pixels of a run, blended without a branch on the
// test: short runs, the most common in small polygons, end here.
template <typename Pixel, int Rows, typename Colors>
__attribute__((always_inline)) inline void DrawLastGroup(uint8_t* const (&rows)[Rows], float* depth, __m128 z,
                                                         __m128 inRun, __m128 untested, Colors& colors) {
  const __m128 stored = _mm_loadu_ps(depth);
  const __m128 pass = Passing(z, stored, inRun, untested);
  BlendGroup<Pixel, Rows>(rows, depth, z, stored, pass, _mm_movemask_ps(pass), colors);
}

// Draws a group of four pixels that may reach past the row's end: in place
// when it does not, else in a copy of the `inside` pixels that lie on the
// row, so that no lane reads or writes past it. Only the first `colorRows`
// rows hold pixels.
template <typename Pixel, int Rows, typename Draw>
__attribute__((always_inline)) inline void DrawWithinRow(uint8_t* const (&rows)[Rows], float* depth, int32_t inside,
                                                         int colorRows, Draw draw) {
  constexpr size_t kSize = sizeof(Pixel);
  if (inside >= span::kLanes) [[likely]] {
    draw(rows, depth);
    return;
  }
  const size_t count = static_cast<size_t>(inside);
  float depthCopy[span::kLanes] = {};
  uint8_t pixelCopy[Rows][span::kLanes * kSize] = {};
  uint8_t* copies[Rows] = {};
  std::memcpy(depthCopy, depth, count * sizeof(float));
  for (int k = 0; k < colorRows; ++k) {
    copies[k] = pixelCopy[k];
    std::memcpy(copies[k], rows[k], count * kSize);
  }
  draw(copies, depthCopy);
  std::memcpy(depth, depthCopy, count * sizeof(float));
  for (int k = 0; k < colorRows; ++k) std::memcpy(rows[k], copies[k], count * kSize);
}

// A run of non-textured pixels, four at a time; the last group may reach
// past the row's end. Only a run that MayBeFresh is drawn untested on a
// fresh row.
template <typename Pixel, int Rows, typename Colors, bool MayBeFresh = true>
__attribute__((always_inline)) inline void DrawRun(uint8_t* const (&rowStarts)[Rows], float* depthRow, int32_t first,
                                                   int32_t last, int32_t width, const span::DepthRamp& ramp, bool fresh,
                                                   Colors colors) {
  constexpr ptrdiff_t kSize = sizeof(Pixel);
  constexpr int kColorRows = std::is_same_v<Colors, NoColor> ? 0 : Rows;
  const int32_t count = last - first + 1;
  const __m128 untested = _mm_castsi128_ps(_mm_set1_epi32(MayBeFresh && fresh ? -1 : 0));
  uint8_t* rows[Rows] = {};
  for (int k = 0; k < kColorRows; ++k) rows[k] = rowStarts[k] + first * kSize;
  float* depth = depthRow + first;
  __m128 indices = span::Indices(0);
  int32_t i = 0;
  for (; i + span::kLanes <= count; i += span::kLanes) {
    DrawGroup<Pixel, Rows>(rows, depth, ramp.At(indices), untested, colors);
    for (int k = 0; k < kColorRows; ++k) rows[k] += span::kLanes * kSize;
    depth += span::kLanes;
    indices = _mm_add_ps(indices, _mm_set1_ps(static_cast<float>(span::kLanes)));
  }
  const int32_t rest = count - i;
  if (rest == 0) return;
  const __m128 inRun = _mm_castsi128_ps(span::FirstLanes(rest));
  const __m128 z = ramp.At(indices);
  DrawWithinRow<Pixel, Rows>(rows, depth, width - (first + i), kColorRows,
                             [&](uint8_t* const (&at)[Rows], float* depthAt) __attribute__((always_inline)) {
                               DrawLastGroup<Pixel, Rows>(at, depthAt, z, inRun, untested, colors);
                             });
}

// How a textured run of `count` pixels from column `first` splits: a head
// up to the next multiple of four, blocks of 16, at most one of 8 and one of
// 4, and a tail of up to three pixels.
struct TexturedLayout {
  int32_t head, blocks16, blocks8, blocks4, tail;
  TexturedLayout(int32_t first, int32_t count) : head(std::min((4 - (first & 3)) & 3, count)) {
    const int32_t groups = (count - head) >> 2;
    blocks16 = groups >> 2;
    blocks8 = (groups & 3) >= 2 ? 1 : 0;
    blocks4 = groups & 1;
    tail = (count - head) & 3;
  }
};

// The homogeneous words of a textured run (q, and u and v times q) with
// their steps per pixel, stepped in one order by every walk of a run, so
// that all find the same exact places.
struct PerspectiveWords {
  float q, uq, vq, dq, duq, dvq;

  void Step() {
    q += dq;
    uq += duq;
    vq += dvq;
  }
  void ScaleSteps(float by) {
    dq *= by;
    duq *= by;
    dvq *= by;
  }
};

// Perspective-correct texel coordinates across a textured run: exact (one
// division each) at the first pixel, at both ends of every block of 16, 8 or
// 4 pixels and at the first tail pixel; linear in 16.16 in between. The body
// receives each pixel's texel column and row.
template <typename Body>
class TexturedWalk {
 public:
  TexturedWalk(Body& body, const TextureAxis& columns, const TextureAxis& rows, int32_t x,
               const PerspectiveWords& words)
      : body_(body), columns_(columns), rows_(rows), x_(x), words_(words) {}

  // headDu and headDv: texels per pixel of the head. Pictures that repeat
  // with sides of powers of two, the most common, take the cheaper form.
  __attribute__((always_inline)) void Run(int32_t count, float headDu, float headDv) {
    if (columns_.Masks() && rows_.Masks()) {
      RunAs<TexelForm::kMasked>(count, headDu, headDv);
    } else {
      RunAs<TexelForm::kGeneral>(count, headDu, headDv);
    }
  }

 private:
  float ExactU() const { return words_.uq / words_.q; }
  float ExactV() const { return words_.vq / words_.q; }

  // Inlined, as everything below: the body must stay in registers.
  template <TexelForm Form>
  __attribute__((always_inline)) void RunAs(int32_t count, float headDu, float headDv) {
    const TexturedLayout layout(x_, count);
    du_ = columns_.StepOf(headDu);
    dv_ = rows_.StepOf(headDv);
    u_ = columns_.At(ExactU());
    v_ = rows_.At(ExactV());
    Walk<Form>(layout.head, u_, v_);
    for (int32_t i = 0; i < layout.head; ++i) words_.Step();
    Blocks<16, 4, Form>(layout.blocks16);
    Blocks<8, 3, Form>(layout.blocks8);
    Blocks<4, 2, Form>(layout.blocks4);
    Walk<Form>(layout.tail, columns_.Next(u_, ExactU()), rows_.Next(v_, ExactV()));
  }

  // n pixels from the exact places u and v with the steps in use. The loops
  // read locals only, so that the body's pixel stores, which could alias
  // anything in memory, force no reloads.
  template <TexelForm Form>
  __attribute__((always_inline)) void Walk(int32_t n, const TextureAxis::Exact& u, const TextureAxis::Exact& v) {
    const TextureAxis columns = columns_, rows = rows_;
    const int32_t du = du_, dv = dv_;
    int32_t pu = u.position, pv = v.position;
    int32_t x = x_;
    for (int32_t i = 0; i < n; ++i) {
      body_(x++, columns.Texel<Form>(pu), rows.Texel<Form>(pv));
      pu = columns.Advance<Form>(pu, du);
      pv = rows.Advance<Form>(pv, dv);
    }
    x_ = x;
  }

  template <int N, int Shift, TexelForm Form>
  __attribute__((always_inline)) void Blocks(int32_t blocks) {
    if (blocks < 1) return;
    words_.ScaleSteps(static_cast<float>(N));
    TextureAxis::Exact u0 = columns_.Next(u_, ExactU()), v0 = rows_.Next(v_, ExactV());
    for (int32_t b = 0; b < blocks; ++b) {
      words_.Step();
      const TextureAxis::Exact u1 = columns_.Next(u0, ExactU()), v1 = rows_.Next(v0, ExactV());
      du_ = columns_.StepAcross(u0, u1, Shift);
      dv_ = rows_.StepAcross(v0, v1, Shift);
      Walk<Form>(N, u0, v0);
      u0 = u1;
      v0 = v1;
    }
    u_ = u0;
    v_ = v0;
    words_.ScaleSteps(1.0f / N);
  }

  Body& body_;
  const TextureAxis& columns_;
  const TextureAxis& rows_;
  int32_t x_;
  PerspectiveWords words_;
  int32_t du_ = 0, dv_ = 0;
  // The last exact places, from which the next ones are found.
  TextureAxis::Exact u_{}, v_{};
};

// The exact texel coordinates (16.16) of a textured run at the places where
// its schedule divides: the first pixel, the first pixel after the head, and
// the end of every block, which is where the next block or the tail starts.
// The floats step exactly as TexturedWalk steps them; the divisions then go
// four places at a time, off the path that draws the pixels.
class ExactPlaces {
 public:
  static constexpr int32_t kCapacity = (kMaxTexturedRunAtOnce / 16 + 2 + 2 + 3) & ~3;

  // False when a coordinate lies too far out for its steps to be worked out
  // in 32 bits, or is not a number.
  bool Find(const TexturedLayout& layout, PerspectiveWords words) {
    int32_t n = 0;
    auto keep = [&] {
      q_[n] = words.q;
      uq_[n] = words.uq;
      vq_[n] = words.vq;
      ++n;
    };
    keep();
    for (int32_t i = 0; i < layout.head; ++i) words.Step();
    keep();
    auto blocks = [&](int32_t count, float size) {
      if (count < 1) return;
      words.ScaleSteps(size);
      for (int32_t b = 0; b < count; ++b) {
        words.Step();
        keep();
      }
      words.ScaleSteps(1.0f / size);
    };
    blocks(layout.blocks16, 16.0f);
    blocks(layout.blocks8, 8.0f);
    blocks(layout.blocks4, 4.0f);
    for (; n & 3; ++n) q_[n] = 1.0f, uq_[n] = vq_[n] = 0.0f;

    const __m128 scale = _mm_set1_ps(static_cast<float>(kFixedOne));
    const __m128 reach = _mm_set1_ps(kReach), magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 near = _mm_castsi128_ps(_mm_set1_epi32(-1));
    for (int32_t i = 0; i < n; i += span::kLanes) {
      const __m128 qs = _mm_load_ps(q_ + i);
      const __m128 us = _mm_mul_ps(_mm_div_ps(_mm_load_ps(uq_ + i), qs), scale);
      const __m128 vs = _mm_mul_ps(_mm_div_ps(_mm_load_ps(vq_ + i), qs), scale);
      near = _mm_and_ps(near, _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(us, magnitude), reach),
                                         _mm_cmplt_ps(_mm_and_ps(vs, magnitude), reach)));
      _mm_store_si128(reinterpret_cast<__m128i*>(u + i), _mm_cvttps_epi32(us));
      _mm_store_si128(reinterpret_cast<__m128i*>(v + i), _mm_cvttps_epi32(vs));
    }
    return _mm_movemask_ps(near) == 0xF;
  }

  alignas(16) int32_t u[kCapacity];
  alignas(16) int32_t v[kCapacity];

 private:
  // Within 2^30 the differences of two places fit 32 bits.
  static constexpr float kReach = 1073741824.0f;
  alignas(16) float q_[kCapacity];
  alignas(16) float uq_[kCapacity];
  alignas(16) float vq_[kCapacity];
};

// The colours of four textured pixels from their texels' offsets, as 32-bit
// lanes; a keyed texel takes its lane out of `pass`.
template <SpanKind Kind, typename Pixel>
struct TexelColors {
  const uint8_t* texels;
  int32_t flatLevel;
  uint32_t key;

  __attribute__((always_inline)) __m128i Lanes(__m128i offsets, __m128i levels, __m128& pass) const {
    // Offsets are never negative: they index without a sign extension.
    alignas(16) uint32_t at[span::kLanes];
    _mm_store_si128(reinterpret_cast<__m128i*>(at), offsets);
    uint32_t texel[span::kLanes];
    for (int i = 0; i < span::kLanes; ++i) {
      Pixel p;
      std::memcpy(&p, texels + size_t{at[i]} * sizeof(Pixel), sizeof(Pixel));
      texel[i] = p;
    }
    if constexpr (Kind == SpanKind::kTextured) {
      for (uint32_t& t : texel) t = ShadeTexel<Pixel>(static_cast<Pixel>(t), flatLevel);
    } else if constexpr (Kind == SpanKind::kGouraudTextured) {
      alignas(16) int32_t level[span::kLanes];
      _mm_store_si128(reinterpret_cast<__m128i*>(level), _mm_srai_epi32(levels, 16));
      for (int i = 0; i < span::kLanes; ++i)
        texel[i] = ShadeTexel<Pixel>(static_cast<Pixel>(texel[i]), std::clamp(level[i], 0, 255));
    }
    const __m128i lanes = _mm_setr_epi32(static_cast<int32_t>(texel[0]), static_cast<int32_t>(texel[1]),
                                         static_cast<int32_t>(texel[2]), static_cast<int32_t>(texel[3]));
    if constexpr (Kind == SpanKind::kKeyedTextured) {
      const __m128i colour = std::is_same_v<Pixel, uint32_t> ? _mm_and_si128(lanes, _mm_set1_epi32(0x00FFFFFF)) : lanes;
      pass = _mm_andnot_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(colour, _mm_set1_epi32(static_cast<int32_t>(key)))), pass);
    }
    return lanes;
  }
};

// A textured run four pixels a step, in groups aligned to columns that are
// multiples of four, from the exact places and with the steps that
// TexturedWalk takes, so that every pixel reads the same texel. For
// repeating axes of power-of-two sizes, whose texel is the coordinate's
// integer part masked: positions then run on without reduction (the period
// divides 2^32). Texture rows lie 2^rowShift texels apart.
template <SpanKind Kind, typename Pixel, int Rows>
class TexelGroups {
 public:
  struct Setup {
    uint8_t* const* rows;
    float* depth;
    int32_t first;
    int32_t width;
    float z0, dz;
    uint32_t level, levelStep;
    int32_t lastColumn, lastRow, rowShift;
    TexelColors<Kind, Pixel> colors;
  };

  explicit TexelGroups(const Setup& setup)
      : depth_(setup.depth),
        first_(setup.first),
        width_(setup.width),
        ramp_(setup.z0, setup.dz),
        level_(setup.level),
        levelStep_(setup.levelStep),
        lastColumn_(_mm_set1_epi32(setup.lastColumn)),
        lastRow_(_mm_set1_epi32(setup.lastRow)),
        rowShift_(_mm_cvtsi32_si128(setup.rowShift)),
        colors_(setup.colors) {
    for (int k = 0; k < Rows; ++k) rows_[k] = setup.rows[k];
  }

  __attribute__((always_inline)) void Run(const TexturedLayout& layout, const ExactPlaces& places, int32_t headDu,
                                          int32_t headDv) {
    int32_t x = first_;
    int32_t du = headDu, dv = headDv;
    if (layout.head > 0) {
      const int32_t lane = first_ & 3;
      const __m128i inRun = _mm_andnot_si128(span::FirstLanes(lane), span::FirstLanes(lane + layout.head));
      EdgeGroup(x - lane, _mm_castsi128_ps(inRun), span::Ramp(Back(places.u[0], du, lane), du),
                span::Ramp(Back(places.v[0], dv, lane), dv));
      x += layout.head;
    }
    int32_t at = 1;
    auto blocks = [&](int32_t count, int shift) __attribute__((always_inline)) {
      for (int32_t b = 0; b < count; ++b, ++at) {
        du = WrapSub(places.u[at + 1], places.u[at]) >> shift;
        dv = WrapSub(places.v[at + 1], places.v[at]) >> shift;
        Groups(x, 1 << (shift - 2), places.u[at], places.v[at], du, dv);
        x += 1 << shift;
      }
    };
    blocks(layout.blocks16, 4);
    blocks(layout.blocks8, 3);
    blocks(layout.blocks4, 2);
    if (layout.tail > 0)
      EdgeGroup(x, _mm_castsi128_ps(span::FirstLanes(layout.tail)), span::Ramp(places.u[at], du),
                span::Ramp(places.v[at], dv));
  }

 private:
  static constexpr ptrdiff_t kSize = sizeof(Pixel);

  // The position `lanes` pixels before one.
  static int32_t Back(int32_t position, int32_t step, int32_t lanes) {
    return static_cast<int32_t>(static_cast<uint32_t>(position) -
                                static_cast<uint32_t>(lanes) * static_cast<uint32_t>(step));
  }

  // Whole groups inside the run, from x.
  __attribute__((always_inline)) void Groups(int32_t x, int32_t groups, int32_t u, int32_t v, int32_t du, int32_t dv) {
    __m128i us = span::Ramp(u, du), vs = span::Ramp(v, dv);
    const __m128i du4 = _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(du) << 2));
    const __m128i dv4 = _mm_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(dv) << 2));
    __m128 indices = span::Indices(x - first_);
    uint8_t* pixels[Rows];
    for (int r = 0; r < Rows; ++r) pixels[r] = rows_[r] + x * kSize;
    for (int32_t g = 0; g < groups; ++g, x += span::kLanes) {
      Draw<true>(pixels, depth_ + x, x, indices, _mm_setzero_ps(), us, vs);
      for (uint8_t*& p : pixels) p += span::kLanes * kSize;
      us = _mm_add_epi32(us, du4);
      vs = _mm_add_epi32(vs, dv4);
      indices = _mm_add_ps(indices, _mm_set1_ps(static_cast<float>(span::kLanes)));
    }
  }

  // The group of the head or the tail, which may reach past the row's end.
  __attribute__((always_inline)) void EdgeGroup(int32_t x, __m128 inRun, __m128i us, __m128i vs) {
    uint8_t* pixels[Rows];
    for (int r = 0; r < Rows; ++r) pixels[r] = rows_[r] + x * kSize;
    auto draw = [&](uint8_t* const (&at)[Rows], float* depthAt) __attribute__((always_inline)) {
      Draw<false>(at, depthAt, x, span::Indices(x - first_), inRun, us, vs);
    };
    DrawWithinRow<Pixel, Rows>(pixels, depth_ + x, width_ - x, Rows, draw);
  }

  // Four pixels from column x, the run's pixels `indices`, whose colours
  // lie at `rows` and depths at `depth`: the lanes inRun, or all of them
  // (Whole).
  template <bool Whole>
  __attribute__((always_inline)) void Draw(uint8_t* const (&rows)[Rows], float* depth, int32_t x, __m128 indices,
                                           __m128 inRun, __m128i us, __m128i vs) {
    const int32_t k = x - first_;
    const __m128 z = ramp_.At(indices);
    const __m128 stored = _mm_loadu_ps(depth);
    __m128 pass = _mm_cmpgt_ps(z, stored);
    if constexpr (!Whole) pass = _mm_and_ps(inRun, pass);
    if (_mm_movemask_ps(pass) == 0) return;
    const __m128i columns = _mm_and_si128(_mm_srli_epi32(us, 16), lastColumn_);
    const __m128i texelRows = _mm_and_si128(_mm_srli_epi32(vs, 16), lastRow_);
    const __m128i offsets = _mm_add_epi32(_mm_sll_epi32(texelRows, rowShift_), columns);
    __m128i levels = _mm_setzero_si128();
    if constexpr (Kind == SpanKind::kGouraudTextured)
      levels = span::Ramp(static_cast<int32_t>(level_ + static_cast<uint32_t>(k) * levelStep_),
                          static_cast<int32_t>(levelStep_));
    const __m128i color = colors_.Lanes(offsets, levels, pass);
    const int drawn = _mm_movemask_ps(pass);
    constexpr bool kMayKey = Kind == SpanKind::kKeyedTextured;
    if (drawn == 0xF) {
      _mm_storeu_ps(depth, z);
      StoreColors<Pixel, Rows>(rows, color);
    } else if (!kMayKey || drawn != 0) {
      _mm_storeu_ps(depth, span::Select(pass, z, stored));
      BlendColors<Pixel, Rows>(rows, pass, color);
    }
  }

  uint8_t* rows_[Rows];
  float* depth_;
  int32_t first_;
  int32_t width_;
  span::DepthRamp ramp_;
  uint32_t level_, levelStep_;
  __m128i lastColumn_, lastRow_, rowShift_;
  TexelColors<Kind, Pixel> colors_;
};

// The dispatch table, in the order of SpanKind; columns for 1, 2 and 4 bytes.
constexpr std::array<std::array<CRenderTarget::SpanFiller, 3>, static_cast<size_t>(SpanKind::kCount)> kSpanFillers = {{
    {&CRenderTarget::FillDepthOnlySpan, &CRenderTarget::FillDepthOnlySpan, &CRenderTarget::FillDepthOnlySpan},
    {&CRenderTarget::FillGouraudTexturedSpan8, &CRenderTarget::FillGouraudTexturedSpan16,
     &CRenderTarget::FillGouraudTexturedSpan32},
    {&CRenderTarget::FillGouraudSpan8, &CRenderTarget::FillGouraudSpan16, &CRenderTarget::FillGouraudSpan32},
    {&CRenderTarget::FillKeyedTexturedSpan8, &CRenderTarget::FillKeyedTexturedSpan16,
     &CRenderTarget::FillKeyedTexturedSpan32},
    {&CRenderTarget::FillUnlitTexturedSpan8, &CRenderTarget::FillUnlitTexturedSpan16,
     &CRenderTarget::FillUnlitTexturedSpan32},
    {&CRenderTarget::FillTexturedSpan8, &CRenderTarget::FillTexturedSpan16, &CRenderTarget::FillTexturedSpan32},
    {&CRenderTarget::FillFlatSpan8, &CRenderTarget::FillFlatSpan16, &CRenderTarget::FillFlatSpan32},
    {&CRenderTarget::FillTintedTexturedSpan8, &CRenderTarget::FillTintedTexturedSpan16,
     &CRenderTarget::FillTintedTexturedSpan32},
}};
static_assert(kSpanFillers.size() == static_cast<size_t>(SpanKind::kCount));
constexpr bool RowIs(SpanKind kind, CRenderTarget::SpanFiller filler32) {
  return kSpanFillers[static_cast<size_t>(kind)][2] == filler32;
}
static_assert(RowIs(SpanKind::kDepthOnly, &CRenderTarget::FillDepthOnlySpan) &&
                  RowIs(SpanKind::kGouraudTextured, &CRenderTarget::FillGouraudTexturedSpan32) &&
                  RowIs(SpanKind::kGouraud, &CRenderTarget::FillGouraudSpan32) &&
                  RowIs(SpanKind::kKeyedTextured, &CRenderTarget::FillKeyedTexturedSpan32) &&
                  RowIs(SpanKind::kUnlitTextured, &CRenderTarget::FillUnlitTexturedSpan32) &&
                  RowIs(SpanKind::kTextured, &CRenderTarget::FillTexturedSpan32) &&
                  RowIs(SpanKind::kFlat, &CRenderTarget::FillFlatSpan32) &&
                  RowIs(SpanKind::kTintedTextured, &CRenderTarget::FillTintedTexturedSpan32),
              "the dispatch table follows the order of SpanKind");

}  // namespace

CRenderTarget::SpanFiller CRenderTarget::SpanFillerFor(SpanKind kind, int32_t bytesPerPixel) {
  const auto& row = kSpanFillers[static_cast<size_t>(kind)];
  switch (bytesPerPixel) {
    case 1: return row[0];
    case 2: return row[1];
    case 4: return row[2];
    default: return nullptr;
  }
}

SpanKind CRenderTarget::SelectSpanKind(uint32_t mode, bool textured) {
  textured = textured && (mode & SpanMode::kTextured);
  if (mode & SpanMode::kDepthOnly) return SpanKind::kDepthOnly;
  if (textured && (mode & SpanMode::kTinted) && !(mode & SpanMode::kChromaKey)) return SpanKind::kTintedTextured;
  if (mode & SpanMode::kSmooth) return textured ? SpanKind::kGouraudTextured : SpanKind::kGouraud;
  if (textured && (mode & SpanMode::kChromaKey)) return SpanKind::kKeyedTextured;
  if (textured && (mode & SpanMode::kUnlitTexture)) return SpanKind::kUnlitTextured;
  if (textured) return SpanKind::kTextured;
  return SpanKind::kFlat;
}

int CRenderTarget::ReplicaRows(int32_t y, int32_t limit, const RowQuality& rows) const {
  if (!rows.replicateRows) return 1;
  const int32_t extra = rows.replicateFour ? 3 : 1;
  return y < limit && y + extra < desc_.height ? extra + 1 : 1;
}

template <SpanKind Kind, typename Pixel>
void CRenderTarget::FillSpan(int32_t y, const SpanEdge& left, const SpanEdge& right, const DrawState& state) {
  // FillPolygon never asks for a row outside the target; a direct caller
  // that does gets nothing drawn rather than a write past the buffers.
  if (y < 0 || y >= depthHeight_) return;
  // A member of another pixel form would write past the rows (and read past
  // the texture's): it draws nothing.
  if constexpr (Kind != SpanKind::kDepthOnly) {
    if (desc_.bytesPerPixel != static_cast<int32_t>(sizeof(Pixel))) return;
  }
  if constexpr (IsTextured(Kind)) {
    if (TextureUsable()) DrawSpan<Kind, Pixel>(y, left, right, state);
  } else {
    FillPlainRow<Kind, Pixel, false>(y, PlainEdge::Of(&left.x), PlainEdge::Of(&right.x), state);
  }
}

template <SpanKind Kind, typename Pixel>
__attribute__((always_inline)) inline void CRenderTarget::DrawSpan(int32_t y, const SpanEdge& left,
                                                                   const SpanEdge& right, const DrawState& state) {
  static_assert(IsTextured(Kind));
  SpanRun run;
  run.first = TruncToInt(left.x + 0.5f);
  run.last = TruncToInt(right.x - 0.5f);
  if (run.first > run.last) return;
  run.first = std::max(run.first, 0);
  run.last = std::min(run.last, desc_.width - 1);
  // The first writer of a row after a clear clears it.
  ClearDepthRowIfDirty(y);
  if (run.first > run.last) return;
  run.dx = right.x - left.x;
  if (run.dx == 0.0f) run.dx = 1.0f;
  run.offset = static_cast<float>(run.first) - left.x + 0.5f;

  if (!colorRows_[y]) return;
  switch (ReplicaRows(y, state.rowLimit, state.rows)) {
    case 4: FillTexturedRows<Kind, Pixel, 4>(y, left, right, run, state); break;
    case 2: FillTexturedRows<Kind, Pixel, 2>(y, left, right, run, state); break;
    default: FillTexturedRows<Kind, Pixel, 1>(y, left, right, run, state); break;
  }
}

namespace {

// A non-textured run drawn into one, two or four rows, on a fresh row or
// not: the rarer cases, out of the way of the common one.
template <typename Pixel, typename Colors>
__attribute__((noinline)) void DrawRunOutOfLine(uint8_t* const* colorRows, int replicas, float* depthRow, int32_t first,
                                                int32_t last, int32_t width, const span::DepthRamp& ramp, bool fresh,
                                                Colors colors) {
  if (replicas == 4) {
    uint8_t* const rows[4] = {colorRows[0], colorRows[1], colorRows[2], colorRows[3]};
    DrawRun<Pixel, 4>(rows, depthRow, first, last, width, ramp, fresh, colors);
  } else if (replicas == 2) {
    uint8_t* const rows[2] = {colorRows[0], colorRows[1]};
    DrawRun<Pixel, 2>(rows, depthRow, first, last, width, ramp, fresh, colors);
  } else {
    uint8_t* const rows[1] = {colorRows[0]};
    DrawRun<Pixel, 1>(rows, depthRow, first, last, width, ramp, fresh, colors);
  }
}

}  // namespace

__attribute__((noinline)) void CRenderTarget::ClearFreshRowAround(int32_t y, int32_t first, int32_t last) {
  depthRowDirty_[y] = 0;
  float* depth = depthRows_[y];
  if (first > last) {
    std::fill_n(depth, depthWidth_, kFarDepth);
  } else {
    std::fill(depth, depth + first, kFarDepth);
    std::fill(depth + last + 1, depth + depthWidth_, kFarDepth);
  }
}

template <SpanKind Kind, typename Pixel, bool Direct>
__attribute__((always_inline)) inline void CRenderTarget::FillPlainRow(int32_t y, const PlainEdge& left,
                                                                       const PlainEdge& right, const DrawState& state) {
  int32_t first = Truncate<Direct>(left.x + 0.5f);
  int32_t last = Truncate<Direct>(right.x - 0.5f);
  if (first > last) return;
  first = std::max(first, 0);
  last = std::min(last, desc_.width - 1);
  // The first writer of a row after a clear clears it.
  const bool fresh = depthRowDirty_[y] != 0;
  if (fresh) [[unlikely]] {
    ClearFreshRowAround(y, first, last);
  }
  if (first > last) return;
  float dx = right.x - left.x;
  if (dx == 0.0f) dx = 1.0f;
  const float offset = static_cast<float>(first) - left.x + 0.5f;
  // Depth and the three channels side by side, each lane as one word alone
  // would be.
  const __m128 step = _mm_div_ps(_mm_sub_ps(right.words, left.words), _mm_set1_ps(dx));
  const __m128 start = _mm_add_ps(left.words, _mm_mul_ps(_mm_set1_ps(offset), step));
  const span::DepthRamp ramp(_mm_cvtss_f32(start), _mm_cvtss_f32(step));
  float* depthRow = depthRows_[y];

  if constexpr (Kind == SpanKind::kDepthOnly) {
    uint8_t* const noRows[1] = {nullptr};
    DrawRun<uint8_t, 1>(noRows, depthRow, first, last, depthWidth_, ramp, fresh, NoColor{});
  } else {
    uint8_t* const* colorRows = colorRows_.data() + y;
    int replicas = 1;
    if constexpr (Direct) {
      const int32_t ahead = std::min(last + kPrefetchPixels, desc_.width - 1);
      _mm_prefetch(reinterpret_cast<const char*>(depthRow + ahead), _MM_HINT_T0);
      _mm_prefetch(reinterpret_cast<const char*>(colorRows[0] + static_cast<ptrdiff_t>(ahead) * sizeof(Pixel)),
                   _MM_HINT_T0);
    } else {
      if (!colorRows[0]) return;
      const int32_t limit =
          Kind == SpanKind::kGouraud ? desc_.height - static_cast<int32_t>(state.rows.rowMask) : state.rowLimit;
      replicas = ReplicaRows(y, limit, state.rows);
    }
    auto draw = [&](auto colors) __attribute__((always_inline)) {
      if (replicas == 1 && !fresh) [[likely]] {
        uint8_t* const rows[1] = {colorRows[0]};
        DrawRun<Pixel, 1, decltype(colors), false>(rows, depthRow, first, last, desc_.width, ramp, fresh, colors);
      } else {
        DrawRunOutOfLine<Pixel>(colorRows, replicas, depthRow, first, last, desc_.width, ramp, fresh, colors);
      }
    };
    if constexpr (Kind == SpanKind::kFlat) {
      const uint32_t flat = std::is_same_v<Pixel, uint8_t>    ? state.flatIndex
                            : std::is_same_v<Pixel, uint16_t> ? state.flat555
                                                              : state.flatXrgb;
      draw(FlatColor{_mm_set1_epi32(static_cast<int32_t>(flat))});
    } else {
      static_assert(Kind == SpanKind::kGouraud && !std::is_same_v<Pixel, uint8_t>);
      __m128i starts, steps;
      span::ToFixed16(start, step, starts, steps, ToFixed16Wrap);
      if constexpr (std::is_same_v<Pixel, uint16_t>) {
        const bool haveDither = static_cast<size_t>(y) < ditherRowStart_.size();
        draw(Gouraud555{Channels::FromWords(starts, steps),
                        haveDither ? ditherOffsets_.data() + ditherRowStart_[y] : &kNoDither, haveDither ? 1u : 0u});
      } else {
        draw(GouraudXrgb::FromWords(starts, steps));
      }
    }
  }
}

template <SpanKind Kind, typename Pixel, int Rows>
void CRenderTarget::FillTexturedRows(int32_t y, const SpanEdge& left, const SpanEdge& right, const SpanRun& run,
                                     const DrawState& state) {
  uint8_t* rows[Rows];
  for (int k = 0; k < Rows; ++k) rows[k] = colorRows_[y + k];
  float* depth = depthRows_[y];
  const float dz = run.Step(left.z, right.z);
  // Depth as the untextured members compute it, so that coplanar polygons of
  // any kind meet in exact ties: from the run's start at every pixel, the
  // pixel's index counted in a float (exact up to 2^24).
  const float z0 = run.Start(left.z, dz);
  float index = 0.0f;
  const float dq = run.Step(left.q, right.q), duq = run.Step(left.uq, right.uq), dvq = run.Step(left.vq, right.vq);

  // The smooth textured level is stepped linearly in screen space.
  uint32_t level = 0, levelStep = 0;
  if constexpr (Kind == SpanKind::kGouraudTextured) {
    const float dr = run.Step(left.r, right.r);
    level = static_cast<uint32_t>(ToFixed16Wrap(run.Start(left.r, dr)));
    levelStep = static_cast<uint32_t>(ToFixed16Wrap(dr));
  }
  const int32_t flatLevel = std::clamp(state.shadeLevel, 0, 255);
  TintRamp tint;
  if constexpr (Kind == SpanKind::kTintedTextured)
    tint = TintRamp(left, right, run.dx, run.offset, sizeof(Pixel) == 2 ? kColorScale16 : kColorScale32);
  const uint8_t* const* texels = textureRows_.data();
  const uint32_t keyXrgb = keyXrgb_;
  const uint16_t key555 = key555_;
  const uint8_t keyIndex = keyIndex_;

  auto body = [&](int32_t x, int32_t column, int32_t row) __attribute__((always_inline)) {
    const float z = z0 + index * dz;
    if (z > depth[x]) {
      const Pixel texel = LoadPixel<Pixel>(texels[row], column);
      if constexpr (Kind == SpanKind::kKeyedTextured) {
        bool keyed;
        if constexpr (std::is_same_v<Pixel, uint32_t>) keyed = (texel & 0x00FFFFFF) == keyXrgb;
        else if constexpr (std::is_same_v<Pixel, uint16_t>) keyed = texel == key555;
        else keyed = texel == keyIndex;
        if (!keyed) {
          depth[x] = z;
          StoreRows<Pixel, Rows>(rows, x, texel);
        }
      } else if constexpr (Kind == SpanKind::kUnlitTextured) {
        depth[x] = z;
        StoreRows<Pixel, Rows>(rows, x, texel);
      } else if constexpr (Kind == SpanKind::kGouraudTextured) {
        depth[x] = z;
        StoreRows<Pixel, Rows>(rows, x, ShadeTexel<Pixel>(texel, std::clamp(static_cast<int32_t>(level) >> 16, 0, 255)));
      } else if constexpr (Kind == SpanKind::kTintedTextured) {
        depth[x] = z;
        StoreRows<Pixel, Rows>(rows, x, tint.Shade<Pixel>(texel));
      } else {
        depth[x] = z;
        StoreRows<Pixel, Rows>(rows, x, ShadeTexel<Pixel>(texel, flatLevel));
      }
    }
    index += 1.0f;
    level += levelStep;
    if constexpr (Kind == SpanKind::kTintedTextured) tint.Step();
  };

  // The head steps by the edges' own end values over the run's width.
  const float width = static_cast<float>(run.last - run.first);
  const float headDu = run.last > run.first ? (right.uq / right.q - left.uq / left.q) / width : 0.0f;
  const float headDv = run.last > run.first ? (right.vq / right.q - left.vq / left.q) / width : 0.0f;
  const int32_t count = run.last - run.first + 1;
  const PerspectiveWords words{run.Start(left.q, dq), run.Start(left.uq, duq), run.Start(left.vq, dvq), dq, duq, dvq};
  // Tinted runs take the walk, which reads the same texels.
  if (Kind != SpanKind::kTintedTextured && texelRowShift_ >= 0 && columnAxis_.Masks() && rowAxis_.Masks() &&
      count <= kMaxTexturedRunAtOnce) {
    const TexturedLayout layout(run.first, count);
    ExactPlaces places;
    if (places.Find(layout, words)) {
      const uint32_t key = std::is_same_v<Pixel, uint32_t>   ? keyXrgb
                           : std::is_same_v<Pixel, uint16_t> ? key555
                                                             : keyIndex;
      const typename TexelGroups<Kind, Pixel, Rows>::Setup setup{rows,
                                                                 depth,
                                                                 run.first,
                                                                 desc_.width,
                                                                 z0,
                                                                 dz,
                                                                 level,
                                                                 levelStep,
                                                                 texture_.width - 1,
                                                                 texture_.height - 1,
                                                                 texelRowShift_,
                                                                 {texture_.base, flatLevel, key}};
      TexelGroups<Kind, Pixel, Rows>(setup).Run(layout, places, columnAxis_.StepOf(headDu), rowAxis_.StepOf(headDv));
      return;
    }
  }
  TexturedWalk<decltype(body)> walk(body, columnAxis_, rowAxis_, run.first, words);
  walk.Run(count, headDu, headDv);
}

void CRenderTarget::FillDepthOnlySpan(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kDepthOnly, uint8_t>(y, *left, *right, state);
}
void CRenderTarget::FillFlatSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kFlat, uint8_t>(y, *left, *right, state);
}
void CRenderTarget::FillFlatSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kFlat, uint16_t>(y, *left, *right, state);
}
void CRenderTarget::FillFlatSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kFlat, uint32_t>(y, *left, *right, state);
}
// Palette targets have no smooth shading: the polygon's average colour.
void CRenderTarget::FillGouraudSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillFlatSpan8(y, left, right, state);
}
void CRenderTarget::FillGouraudSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kGouraud, uint16_t>(y, *left, *right, state);
}
void CRenderTarget::FillGouraudSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kGouraud, uint32_t>(y, *left, *right, state);
}
void CRenderTarget::FillTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kTextured, uint8_t>(y, *left, *right, state);
}
void CRenderTarget::FillTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kTextured, uint16_t>(y, *left, *right, state);
}
void CRenderTarget::FillTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right, const DrawState& state) {
  FillSpan<SpanKind::kTextured, uint32_t>(y, *left, *right, state);
}
// Palette texels are copied unshaded whatever the lighting.
void CRenderTarget::FillGouraudTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                             const DrawState& state) {
  FillTexturedSpan8(y, left, right, state);
}
void CRenderTarget::FillGouraudTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                              const DrawState& state) {
  FillSpan<SpanKind::kGouraudTextured, uint16_t>(y, *left, *right, state);
}
void CRenderTarget::FillGouraudTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                              const DrawState& state) {
  FillSpan<SpanKind::kGouraudTextured, uint32_t>(y, *left, *right, state);
}
void CRenderTarget::FillUnlitTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                           const DrawState& state) {
  FillTexturedSpan8(y, left, right, state);
}
void CRenderTarget::FillUnlitTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                            const DrawState& state) {
  FillSpan<SpanKind::kUnlitTextured, uint16_t>(y, *left, *right, state);
}
void CRenderTarget::FillUnlitTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                            const DrawState& state) {
  FillSpan<SpanKind::kUnlitTextured, uint32_t>(y, *left, *right, state);
}
void CRenderTarget::FillTintedTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                            const DrawState& state) {
  FillTexturedSpan8(y, left, right, state);
}
void CRenderTarget::FillTintedTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                             const DrawState& state) {
  FillSpan<SpanKind::kTintedTextured, uint16_t>(y, *left, *right, state);
}
void CRenderTarget::FillTintedTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                             const DrawState& state) {
  FillSpan<SpanKind::kTintedTextured, uint32_t>(y, *left, *right, state);
}
void CRenderTarget::FillKeyedTexturedSpan8(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                           const DrawState& state) {
  FillSpan<SpanKind::kKeyedTextured, uint8_t>(y, *left, *right, state);
}
void CRenderTarget::FillKeyedTexturedSpan16(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                            const DrawState& state) {
  FillSpan<SpanKind::kKeyedTextured, uint16_t>(y, *left, *right, state);
}
void CRenderTarget::FillKeyedTexturedSpan32(int32_t y, const SpanEdge* left, const SpanEdge* right,
                                            const DrawState& state) {
  FillSpan<SpanKind::kKeyedTextured, uint32_t>(y, *left, *right, state);
}

namespace {

// One edge of the polygon being scanned, at the current row's centre: the
// words its fillers read, their steps per row and the row where the edge
// ends. Every word steps as it would alone.
//
// Textured edges hold the twelve span words three vectors wide.
struct TexturedScanEdge {
  struct alignas(16) Value {
    SpanEdge edge;
    float X() const { return edge.x; }
  };
  static_assert(sizeof(Value) == 12 * sizeof(float) && VertexWord::kCount >= 12);
  static constexpr int kWords = 3 * span::kLanes;

  Value value{};
  Value step{};
  int32_t endRow = 0;
  int32_t to = 0;

  template <bool Tame>
  void Start(const ScreenPolygon& poly, int32_t from, int32_t toVertex, int32_t row) {
    const float* a = poly.vertex[from]->v;
    const float* b = poly.vertex[toVertex]->v;
    float dy = b[VertexWord::kY] - a[VertexWord::kY];
    if (dy == 0.0f) dy = 1.0f;
    const __m128 divisor = _mm_set1_ps(dy);
    const __m128 offset = _mm_set1_ps(static_cast<float>(row) + 0.5f - a[VertexWord::kY]);
    float* values = Lanes(value);
    float* steps = Lanes(step);
    for (int i = 0; i < kWords; i += span::kLanes) {
      const __m128 start = _mm_loadu_ps(a + i);
      const __m128 perRow = _mm_div_ps(_mm_sub_ps(_mm_loadu_ps(b + i), start), divisor);
      _mm_store_ps(steps + i, perRow);
      _mm_store_ps(values + i, _mm_add_ps(start, _mm_mul_ps(perRow, offset)));
    }
    endRow = Truncate<Tame>(b[VertexWord::kY] + 0.5f);
    to = toVertex;
  }
  void Advance() {
    float* values = Lanes(value);
    const float* steps = Lanes(step);
    for (int i = 0; i < kWords; i += span::kLanes)
      _mm_store_ps(values + i, _mm_add_ps(_mm_load_ps(values + i), _mm_load_ps(steps + i)));
  }

 private:
  static float* Lanes(Value& words) { return reinterpret_cast<float*>(&words); }
};

}  // namespace

// Untextured edges hold x alone and depth and colour as one vector.
struct CRenderTarget::PlainScanEdge {
  using Value = PlainEdge;
  Value value;
  float xStep;
  __m128 wordSteps;
  int32_t endRow;
  int32_t to;

  template <bool Tame>
  __attribute__((always_inline)) void Start(const ScreenPolygon& poly, int32_t from, int32_t toVertex, int32_t row) {
    const float* a = poly.vertex[from]->v;
    const float* b = poly.vertex[toVertex]->v;
    float dy = b[VertexWord::kY] - a[VertexWord::kY];
    if (dy == 0.0f) dy = 1.0f;
    const float offset = static_cast<float>(row) + 0.5f - a[VertexWord::kY];
    const PlainEdge start = PlainEdge::Of(a), end = PlainEdge::Of(b);
    xStep = (end.x - start.x) / dy;
    wordSteps = _mm_div_ps(_mm_sub_ps(end.words, start.words), _mm_set1_ps(dy));
    value = {start.x + xStep * offset, _mm_add_ps(start.words, _mm_mul_ps(wordSteps, _mm_set1_ps(offset)))};
    endRow = Truncate<Tame>(b[VertexWord::kY] + 0.5f);
    to = toVertex;
  }
  __attribute__((always_inline)) void Advance() {
    value.x += xStep;
    value.words = _mm_add_ps(value.words, wordSteps);
  }
};

namespace {

// Walks the rows of a polygon down from its top vertex between two edges,
// A towards lower vertex indices and B towards higher ones, each replaced by
// the next while a budget of `count` edges lasts, and hands every row to be
// drawn to drawRow(y, left, right). Direct: the polygon is tame and every
// row is drawn.
template <typename Edge, bool Direct, typename DrawRow>
__attribute__((always_inline)) inline void WalkRows(const ScreenPolygon& poly, int32_t top, int32_t rowLimit,
                                                    const RowQuality& quality, DrawRow drawRow) {
  const int32_t count = poly.count;
  auto previous = [count](int32_t i) { return i == 0 ? count - 1 : i - 1; };
  auto next = [count](int32_t i) { return i + 1 == count ? 0 : i + 1; };
  // Rows above the target are never drawn, so the walk starts at row 0 at the
  // latest: a polygon reaching far above the screen costs nothing extra.
  int32_t y = std::max(Ceiling<Direct>(poly.vertex[top]->v[VertexWord::kY] - 0.5f), 0);
  Edge a, b;
  a.template Start<Direct>(poly, top, previous(top), y);
  b.template Start<Direct>(poly, top, next(top), y);
  int32_t budget = count - 2;
  const bool rowsReduced = quality.Reduced();
  const uint32_t rowMask = quality.rowMask;
  for (;;) {
    while (a.endRow <= y && budget > 0) {
      a.template Start<Direct>(poly, a.to, previous(a.to), y);
      --budget;
    }
    while (b.endRow <= y && budget > 0) {
      b.template Start<Direct>(poly, b.to, next(b.to), y);
      --budget;
    }
    if (a.endRow <= y || b.endRow <= y) return;
    // Both edges go on at least to here.
    for (const int32_t stop = std::min({a.endRow, b.endRow, rowLimit}); y < stop; ++y) {
      if (Direct || !(rowsReduced && (static_cast<uint32_t>(y) & rowMask) != 0)) {
        const bool aLeft = a.value.X() < b.value.X();
        const typename Edge::Value left = aLeft ? a.value : b.value, right = aLeft ? b.value : a.value;
        drawRow(y, left, right);
      }
      a.Advance();
      b.Advance();
    }
    if (y >= rowLimit) return;
  }
}

}  // namespace

// The fill of each kind as the dispatch table has it; palette targets have
// no smooth or unlit form of their own.
template <typename Visit>
auto CRenderTarget::WithFillFor(uint32_t mode, Visit visit) const {
  const SpanKind kind = SelectSpanKind(mode, TextureUsable());
  auto onPixels = [&kind, &visit]<typename Pixel>() {
    constexpr bool kPalette = std::is_same_v<Pixel, uint8_t>;
    constexpr SpanKind kShadedTexture = kPalette ? SpanKind::kTextured : SpanKind::kGouraudTextured;
    constexpr SpanKind kShaded = kPalette ? SpanKind::kFlat : SpanKind::kGouraud;
    constexpr SpanKind kUnlitTexture = kPalette ? SpanKind::kTextured : SpanKind::kUnlitTextured;
    constexpr SpanKind kTintedTexture = kPalette ? SpanKind::kTextured : SpanKind::kTintedTextured;
    switch (kind) {
      case SpanKind::kDepthOnly: return visit.template operator()<SpanKind::kDepthOnly, uint8_t>();
      case SpanKind::kGouraudTextured: return visit.template operator()<kShadedTexture, Pixel>();
      case SpanKind::kGouraud: return visit.template operator()<kShaded, Pixel>();
      case SpanKind::kKeyedTextured: return visit.template operator()<SpanKind::kKeyedTextured, Pixel>();
      case SpanKind::kUnlitTextured: return visit.template operator()<kUnlitTexture, Pixel>();
      case SpanKind::kTextured: return visit.template operator()<SpanKind::kTextured, Pixel>();
      case SpanKind::kTintedTextured: return visit.template operator()<kTintedTexture, Pixel>();
      default: return visit.template operator()<SpanKind::kFlat, Pixel>();
    }
  };
  switch (desc_.bytesPerPixel) {
    case 1: return onPixels.template operator()<uint8_t>();
    case 2: return onPixels.template operator()<uint16_t>();
    case 4: return onPixels.template operator()<uint32_t>();
    default: return visit.template operator()<SpanKind::kFlat, void>();  // culls and marks, draws nothing
  }
}

CRenderTarget::PolygonFill CRenderTarget::PolygonFillFor(uint32_t mode) const {
  return WithFillFor(mode,
                     []<SpanKind Kind, typename Pixel>() { return &CRenderTarget::FillScreenPolygonAs<Kind, Pixel>; });
}

CRenderTarget::SharedPolygonsFill CRenderTarget::SharedPolygonsFillFor(uint32_t mode) const {
  return WithFillFor(mode,
                     []<SpanKind Kind, typename Pixel>() { return &CRenderTarget::FillSharedPolygonsAs<Kind, Pixel>; });
}

// FillPolygon has checked what FillSpan would check for every row: the
// pixel size, the texture, and that rows below rowLimit lie in the target.
template <SpanKind Kind, typename Pixel>
__attribute__((always_inline)) inline void CRenderTarget::ScanConvertAs(const ScreenPolygon& poly, int32_t top,
                                                                        bool tame, DrawState& state) {
  const RowQuality& quality = state.rows;
  const int32_t mask = static_cast<int32_t>(std::min<uint32_t>(quality.rowMask, static_cast<uint32_t>(desc_.height)));
  const int32_t rowLimit = quality.Reduced() ? desc_.height - mask : desc_.height;
  state.rowLimit = rowLimit;
  if constexpr (IsTextured(Kind)) {
    auto drawRow = [&](int32_t y, const TexturedScanEdge::Value& left, const TexturedScanEdge::Value& right)
        __attribute__((always_inline)) {
      DrawSpan<Kind, Pixel>(y, left.edge, right.edge, state);
    };
    WalkRows<TexturedScanEdge, false>(poly, top, rowLimit, quality, drawRow);
  } else if (tame && !quality.Reduced() && desc_.base != nullptr) {
    auto fillRow = [&](int32_t y, const PlainEdge& left, const PlainEdge& right) __attribute__((always_inline)) {
      FillPlainRow<Kind, Pixel, true>(y, left, right, state);
    };
    WalkRows<PlainScanEdge, true>(poly, top, rowLimit, quality, fillRow);
  } else {
    auto fillRow = [&](int32_t y, const PlainEdge& left, const PlainEdge& right) __attribute__((always_inline)) {
      FillPlainRow<Kind, Pixel, false>(y, left, right, state);
    };
    WalkRows<PlainScanEdge, false>(poly, top, rowLimit, quality, fillRow);
  }
}

template <SpanKind Kind, typename Pixel>
void CRenderTarget::FillScreenPolygonAs(ScreenPolygon& poly, uint32_t mode, DrawState state) {
  const int32_t count = poly.count;
  const float* first = poly.vertex[0]->v;
  float minX = first[VertexWord::kX], maxX = minX, minY = first[VertexWord::kY], maxY = minY;
  // The top is the first vertex of the least y; chosen without a branch,
  // as the two halves of a quad or a grid cell keep changing it.
  int32_t top = 0;
  for (int32_t i = 1; i < count; ++i) {
    const float* v = poly.vertex[i]->v;
    minX = v[VertexWord::kX] < minX ? v[VertexWord::kX] : minX;
    maxX = v[VertexWord::kX] > maxX ? v[VertexWord::kX] : maxX;
    maxY = v[VertexWord::kY] > maxY ? v[VertexWord::kY] : maxY;
    const bool higher = v[VertexWord::kY] < minY;
    minY = higher ? v[VertexWord::kY] : minY;
    top = higher ? i : top;
  }
  if (minX > static_cast<float>(desc_.width) || maxX < 0.0f || minY > static_cast<float>(desc_.height) || maxY < 0.0f)
    return;
  if (culling_.mode != kCullNone && !SurvivesCulling(poly, mode, state)) return;
  if constexpr (!std::is_void_v<Pixel>) {
    const bool tame =
        minX >= -kTameCoordinate && maxX <= kTameCoordinate && minY >= -kTameCoordinate && maxY <= kTameCoordinate;
    ScanConvertAs<Kind, Pixel>(poly, top, tame, state);
  }
}

template <SpanKind Kind, typename Pixel>
int32_t CRenderTarget::FillSharedPolygonsAs(const MeshPolygon* polygons, int32_t first, int32_t end) {
  const auto sharedCount = static_cast<int32_t>(shared_.size());
  for (int32_t k = first; k < end; ++k) {
    const MeshPolygon& polygon = polygons[k];
    if (!HasVerticesAmong(polygon, sharedCount)) continue;
    const int32_t count = polygon.vertexCount;

    ScreenPolygon screen;
    screen.count = count;
    const SharedVertex* vertices[kMaxMeshPolygonVertices];
    bool flat = true;
    bool somewhere = true;
    for (int32_t i = 0; i < count; ++i) {
      SharedVertex& vertex = shared_[static_cast<size_t>(polygon.vertices[i])];
      if (vertex.place == SharedPlace::kNeedsClipping) return k;
      somewhere &= vertex.place == SharedPlace::kOnScreen;
      flat &= vertex.flat;
      vertices[i] = &vertex;
      screen.vertex[i] = &vertex.screen;
    }
    if (flat) {
      if (somewhere) FillSharedFlat(screen, vertices);
    } else if (somewhere) {
      FillScreenPolygonAs<Kind, Pixel>(screen, sharedSmoothMode_,
                                       sharedSmoothState_ ? *sharedSmoothState_ : SharedSmoothState(vertices, count));
    }
  }
  return end;
}

}  // namespace vx
