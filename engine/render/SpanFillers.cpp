// The span fillers: one frame (span set-up, depth test and lazy row clear,
// row replication, the perspective schedule of textured runs, texel
// addressing) instantiated per filler kind and pixel form. Loops are
// specialised at compile time per replication setting and, where the frame
// has one, for a freshly cleared row, so no per-pixel work tests a mode.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "engine/render/Numeric.h"
#include "engine/render/RenderTarget.h"
#include "engine/render/ShadeTables.h"
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

namespace {

constexpr bool IsTextured(SpanKind kind) {
  return kind == SpanKind::kTextured || kind == SpanKind::kGouraudTextured || kind == SpanKind::kUnlitTextured ||
         kind == SpanKind::kKeyedTextured;
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

// Colour of the non-textured members. Color() is the pixel to write,
// Drawn() follows a written pixel, Step() every pixel.
template <typename P>
struct FlatColor {
  P value;
  P Color() const { return value; }
  void Drawn() {}
  void Step() {}
};

struct Channels {
  uint32_t r, g, b, dr, dg, db;  // 16.16, wrapping
  void Step() { r += dr, g += dg, b += db; }
};

struct GouraudXrgb : Channels {
  // The integer part of each channel, low 8 bits, in place.
  uint32_t Color() const { return (r & 0xFF0000) | ((g >> 8) & 0xFF00) | ((b >> 16) & 0xFF); }
  void Drawn() {}
};

// The top five bits of each channel after adding the row's next dither
// offset; a pixel takes an offset only when it is written.
struct Gouraud555 : Channels {
  const uint32_t* dither;
  uint32_t advance;  // 1, or 0 when there is no dither table
  uint16_t Color() const {
    const uint32_t d = *dither;
    return static_cast<uint16_t>(((((r + d) >> 19) & 31) << 10) | ((((g + d) >> 19) & 31) << 5) | (((b + d) >> 19) & 31));
  }
  void Drawn() { dither += advance; }
};

// Dither tables exist for every 2-byte target; a 2-byte filler called on
// another target draws without offsets.
constexpr uint32_t kNoDither = 0;

// Perspective-correct texel coordinates across a textured run: exact (one
// division each) at the first pixel, at both ends of every block of 16, 8 or
// 4 pixels and at the first tail pixel; linear in 16.16 in between. The body
// receives each pixel's texel column and row.
template <typename Body>
class TexturedWalk {
 public:
  TexturedWalk(Body& body, const TextureAxis& columns, const TextureAxis& rows, int32_t x, float q, float uq,
               float vq, float dq, float duq, float dvq)
      : body_(body), columns_(columns), rows_(rows), x_(x), q_(q), uq_(uq), vq_(vq), dq_(dq), duq_(duq), dvq_(dvq) {}

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
  float ExactU() const { return uq_ / q_; }
  float ExactV() const { return vq_ / q_; }

  // Inlined, as everything below: the body must stay in registers.
  template <TexelForm Form>
  __attribute__((always_inline)) void RunAs(int32_t count, float headDu, float headDv) {
    const int32_t head = std::min((4 - (x_ & 3)) & 3, count);
    du_ = columns_.StepOf(headDu);
    dv_ = rows_.StepOf(headDv);
    u_ = columns_.At(ExactU());
    v_ = rows_.At(ExactV());
    Walk<Form>(head, u_, v_);
    for (int32_t i = 0; i < head; ++i) {
      q_ += dq_;
      uq_ += duq_;
      vq_ += dvq_;
    }
    const int32_t groups = (count - head) >> 2;
    Blocks<16, 4, Form>(groups >> 2);
    if ((groups & 3) >= 2) Blocks<8, 3, Form>(1);
    if (groups & 1) Blocks<4, 2, Form>(1);
    Walk<Form>((count - head) & 3, columns_.Next(u_, ExactU()), rows_.Next(v_, ExactV()));
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
    dq_ *= static_cast<float>(N);
    duq_ *= static_cast<float>(N);
    dvq_ *= static_cast<float>(N);
    TextureAxis::Exact u0 = columns_.Next(u_, ExactU()), v0 = rows_.Next(v_, ExactV());
    for (int32_t b = 0; b < blocks; ++b) {
      q_ += dq_;
      uq_ += duq_;
      vq_ += dvq_;
      const TextureAxis::Exact u1 = columns_.Next(u0, ExactU()), v1 = rows_.Next(v0, ExactV());
      du_ = columns_.StepAcross(u0, u1, Shift);
      dv_ = rows_.StepAcross(v0, v1, Shift);
      Walk<Form>(N, u0, v0);
      u0 = u1;
      v0 = v1;
    }
    u_ = u0;
    v_ = v0;
    constexpr float kBack = 1.0f / N;
    dq_ *= kBack;
    duq_ *= kBack;
    dvq_ *= kBack;
  }

  Body& body_;
  const TextureAxis& columns_;
  const TextureAxis& rows_;
  int32_t x_;
  float q_, uq_, vq_, dq_, duq_, dvq_;
  int32_t du_ = 0, dv_ = 0;
  // The last exact places, from which the next ones are found.
  TextureAxis::Exact u_{}, v_{};
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
                  RowIs(SpanKind::kFlat, &CRenderTarget::FillFlatSpan32),
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
    if (!TextureUsable()) return;
  }
  SpanRun run;
  run.first = TruncToInt(left.x + 0.5f);
  run.last = TruncToInt(right.x - 0.5f);
  if (run.first > run.last) return;
  run.first = std::max(run.first, 0);
  run.last = std::min(run.last, desc_.width - 1);
  // The first writer of a row after a clear clears it. Members that write
  // every pixel of a fresh row untested leave their run to the fill itself.
  const bool fresh = depthRowDirty_[y] != 0;
  if (fresh) {
    depthRowDirty_[y] = 0;
    float* depth = depthRows_[y];
    if (IsTextured(Kind) || run.first > run.last) {
      std::fill_n(depth, depthWidth_, kFarDepth);
    } else {
      std::fill(depth, depth + run.first, kFarDepth);
      std::fill(depth + run.last + 1, depth + depthWidth_, kFarDepth);
    }
  }
  if (run.first > run.last) return;
  run.dx = right.x - left.x;
  if (run.dx == 0.0f) run.dx = 1.0f;
  run.offset = static_cast<float>(run.first) - left.x + 0.5f;

  if constexpr (Kind == SpanKind::kDepthOnly) {
    FillDepthOnlyRow(y, left, right, run, fresh);
  } else {
    if (!colorRows_[y]) return;
    const int32_t limit =
        Kind == SpanKind::kGouraud ? desc_.height - static_cast<int32_t>(state.rows.rowMask) : state.rowLimit;
    switch (ReplicaRows(y, limit, state.rows)) {
      case 4: FillRows<Kind, Pixel, 4>(y, left, right, run, fresh, state); break;
      case 2: FillRows<Kind, Pixel, 2>(y, left, right, run, fresh, state); break;
      default: FillRows<Kind, Pixel, 1>(y, left, right, run, fresh, state); break;
    }
  }
}

void CRenderTarget::FillDepthOnlyRow(int32_t y, const SpanEdge& left, const SpanEdge& right, const SpanRun& run,
                                     bool fresh) {
  float* depth = depthRows_[y];
  const float dz = run.Step(left.z, right.z);
  float z = run.Start(left.z, dz);
  if (fresh) {
    for (int32_t x = run.first; x <= run.last; ++x, z += dz) depth[x] = z;
  } else {
    for (int32_t x = run.first; x <= run.last; ++x, z += dz)
      if (z > depth[x]) depth[x] = z;
  }
}

template <SpanKind Kind, typename Pixel, int Rows>
void CRenderTarget::FillRows(int32_t y, const SpanEdge& left, const SpanEdge& right, const SpanRun& run, bool fresh,
                             const DrawState& state) {
  if constexpr (IsTextured(Kind)) {
    FillTexturedRows<Kind, Pixel, Rows>(y, left, right, run, state);
  } else {
    uint8_t* rows[Rows];
    for (int k = 0; k < Rows; ++k) rows[k] = colorRows_[y + k];
    float* depth = depthRows_[y];
    const float dz = run.Step(left.z, right.z);
    float z = run.Start(left.z, dz);

    auto fill = [&](auto color) {
      if (fresh) {
        for (int32_t x = run.first; x <= run.last; ++x, z += dz) {
          depth[x] = z;
          StoreRows<Pixel, Rows>(rows, x, color.Color());
          color.Drawn();
          color.Step();
        }
      } else {
        for (int32_t x = run.first; x <= run.last; ++x, z += dz) {
          if (z > depth[x]) {
            depth[x] = z;
            StoreRows<Pixel, Rows>(rows, x, color.Color());
            color.Drawn();
          }
          color.Step();
        }
      }
    };

    if constexpr (Kind == SpanKind::kFlat) {
      if constexpr (std::is_same_v<Pixel, uint8_t>) fill(FlatColor<uint8_t>{state.flatIndex});
      else if constexpr (std::is_same_v<Pixel, uint16_t>) fill(FlatColor<uint16_t>{state.flat555});
      else fill(FlatColor<uint32_t>{state.flatXrgb});
    } else {
      static_assert(Kind == SpanKind::kGouraud && !std::is_same_v<Pixel, uint8_t>);
      Channels channels;
      auto channel = [&](float l, float r, uint32_t& value, uint32_t& step) {
        const float s = run.Step(l, r);
        value = static_cast<uint32_t>(ToFixed16Wrap(run.Start(l, s)));
        step = static_cast<uint32_t>(ToFixed16Wrap(s));
      };
      channel(left.r, right.r, channels.r, channels.dr);
      channel(left.g, right.g, channels.g, channels.dg);
      channel(left.b, right.b, channels.b, channels.db);
      if constexpr (std::is_same_v<Pixel, uint16_t>) {
        const bool haveDither = static_cast<size_t>(y) < ditherRowStart_.size();
        fill(Gouraud555{channels, haveDither ? ditherOffsets_.data() + ditherRowStart_[y] : &kNoDither,
                        haveDither ? 1u : 0u});
      } else {
        fill(GouraudXrgb{channels});
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
  float z = run.Start(left.z, dz);
  const float dq = run.Step(left.q, right.q), duq = run.Step(left.uq, right.uq), dvq = run.Step(left.vq, right.vq);

  // The smooth textured level is stepped linearly in screen space.
  uint32_t level = 0, levelStep = 0;
  if constexpr (Kind == SpanKind::kGouraudTextured) {
    const float dr = run.Step(left.r, right.r);
    level = static_cast<uint32_t>(ToFixed16Wrap(run.Start(left.r, dr)));
    levelStep = static_cast<uint32_t>(ToFixed16Wrap(dr));
  }
  const int32_t flatLevel = std::clamp(state.shadeLevel, 0, 255);
  const uint8_t* const* texels = textureRows_.data();
  const uint32_t keyXrgb = keyXrgb_;
  const uint16_t key555 = key555_;
  const uint8_t keyIndex = keyIndex_;

  auto body = [&](int32_t x, int32_t column, int32_t row) __attribute__((always_inline)) {
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
      } else {
        depth[x] = z;
        StoreRows<Pixel, Rows>(rows, x, ShadeTexel<Pixel>(texel, flatLevel));
      }
    }
    z += dz;
    level += levelStep;
  };

  // The head steps by the edges' own end values over the run's width.
  const float width = static_cast<float>(run.last - run.first);
  const float headDu = run.last > run.first ? (right.uq / right.q - left.uq / left.q) / width : 0.0f;
  const float headDv = run.last > run.first ? (right.vq / right.q - left.vq / left.q) / width : 0.0f;
  TexturedWalk<decltype(body)> walk(body, columnAxis_, rowAxis_, run.first, run.Start(left.q, dq),
                                    run.Start(left.uq, duq), run.Start(left.vq, dvq), dq, duq, dvq);
  walk.Run(run.last - run.first + 1, headDu, headDv);
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

}  // namespace vx
