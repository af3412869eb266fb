// Where texels land: the texture axes against a slow reference, and textured
// quads drawn at every pixel size, whose every pixel must show the texel that
// its centre's texture coordinate names.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "RenderTestSupport.h"
#include "engine/render/Numeric.h"
#include "engine/render/TextureWrap.h"
#include "platform/Random.h"

namespace vx {
namespace {

using test::Frame;
using test::Polygon;

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// The texel that a texel index beyond the picture stands for.
int32_t TexelOfIndex(int64_t index, int32_t size, bool repeat) {
  if (!repeat) return static_cast<int32_t>(std::clamp<int64_t>(index, 0, size - 1));
  return static_cast<int32_t>(index - FloorDiv(index, size) * size);
}

// The texel of a 16.16 coordinate, computed plainly in 64 bits.
int32_t ReferenceTexel(int64_t fixed, int32_t size, bool repeat) {
  return TexelOfIndex(FloorDiv(fixed, kFixedOne), size, repeat);
}

constexpr int32_t kSizes[] = {1, 2, 3, 4, 64, 100, 12345, kMaxTextureSide};

// Exact places read the texel of their coordinate, whether found from
// nothing or from an earlier place near or far.
TEST(TextureAxis, ExactPlacesReadTheTexelOfTheirCoordinateNearAndFar) {
  Random15 random(11);
  for (const int32_t size : kSizes) {
    for (const bool repeat : {true, false}) {
      const TextureAxis axis(size, repeat);
      TextureAxis::Exact earlier = axis.At(0.0f);
      for (int i = 0; i < 4000; ++i) {
        // Near the texture, then up to a million texture widths away.
        const double reach = i < 2000 ? 3.0 * size : 1e6 * size;
        const float texels = static_cast<float>(reach * (random.Next() / 16383.5 - 1.0));
        const int32_t expected = ReferenceTexel(ToFixed16Wide(texels), size, repeat);
        ASSERT_EQ(axis.Texel(axis.At(texels).position), expected)
            << size << (repeat ? " repeating at " : " clamping at ") << texels;
        const TextureAxis::Exact next = axis.Next(earlier, texels);
        ASSERT_EQ(next.position, axis.At(texels).position) << size << " from " << earlier.fixed << " to " << texels;
        earlier = next;
      }
      for (const float edge : {0.0f, -0.0f, static_cast<float>(size), -1e-6f, 1e30f, -1e30f,
                               std::numeric_limits<float>::quiet_NaN()})
        EXPECT_EQ(axis.Texel(axis.At(edge).position), ReferenceTexel(ToFixed16Wide(edge), size, repeat)) << edge;
    }
  }
}

// Walks n pixels from `from` by `step` in the given form and checks each
// texel against the linear 16.16 values from `start` by `linearStep`.
template <TexelForm Form>
::testing::AssertionResult WalkMatches(const TextureAxis& axis, int32_t size, bool repeat, int32_t from, int32_t step,
                                       int64_t start, int64_t linearStep, int n) {
  int32_t position = from;
  for (int k = 0; k < n; ++k) {
    const int32_t expected = ReferenceTexel(start + k * linearStep, size, repeat);
    if (axis.Texel<Form>(position) != expected)
      return ::testing::AssertionFailure() << "pixel " << k << " reads " << axis.Texel<Form>(position) << ", not "
                                           << expected;
    position = axis.Advance<Form>(position, step);
  }
  return ::testing::AssertionSuccess();
}

// A walk from one exact place towards another in 2^shift pixels reads, at
// every pixel, the texel of the 16.16 value the linear steps reach; on a
// repeating axis wherever the walk lies (in both forms where the size is a
// power of two), on a clamping one within its reach (positions 16,384
// texels each way, steps 8,192 texels a pixel). So do the head's steps,
// given in texels per pixel.
TEST(TextureAxis, WalksBetweenExactPlacesMatchLinearSteps) {
  Random15 random(5);
  auto coordinate = [&](double reach) { return static_cast<float>(reach * (random.Next() / 16383.5 - 1.0)); };
  for (const int32_t size : kSizes) {
    for (const bool repeat : {true, false}) {
      const TextureAxis axis(size, repeat);
      EXPECT_EQ(axis.Masks(), repeat && (size & (size - 1)) == 0) << size;
      for (int i = 0; i < 600; ++i) {
        const double reach = repeat && i % 3 == 0 ? 1e5 * size : std::min(4.0 * size, 12000.0);
        const float from = coordinate(reach), to = coordinate(reach);
        const int shift = 2 + i % 3;
        const TextureAxis::Exact start = axis.At(from), end = axis.Next(start, to);
        const int64_t linear = (ToFixed16Wide(to) - ToFixed16Wide(from)) >> shift;
        const int32_t step = axis.StepAcross(start, end, shift);
        ASSERT_TRUE(WalkMatches<TexelForm::kGeneral>(axis, size, repeat, start.position, step, ToFixed16Wide(from),
                                                     linear, 1 << shift))
            << size << (repeat ? " repeating " : " clamping ") << from << " to " << to;
        const float perPixel = (to - from) / 3.0f;
        ASSERT_TRUE(WalkMatches<TexelForm::kGeneral>(axis, size, repeat, start.position, axis.StepOf(perPixel),
                                                     ToFixed16Wide(from), ToFixed16Wide(perPixel), 3))
            << size << " head from " << from;
        if (!axis.Masks()) continue;
        ASSERT_TRUE(WalkMatches<TexelForm::kMasked>(axis, size, repeat, start.position, step, ToFixed16Wide(from),
                                                    linear, 1 << shift))
            << size << " masked " << from << " to " << to;
      }
    }
  }
}

// A clamping walk whose ends both lie far beyond one edge reads that edge.
TEST(TextureAxis, ClampingWalksFarBeyondAnEdgeStayOnIt) {
  const TextureAxis axis(64, false);
  for (const auto& [from, to, edge] : {std::tuple{1e7f, 3e9f, 63}, std::tuple{-1e9f, -2e4f, 0}}) {
    const TextureAxis::Exact start = axis.At(from);
    int32_t position = start.position;
    const int32_t step = axis.StepAcross(start, axis.Next(start, to), 4);
    for (int k = 0; k < 16; ++k, position = axis.Advance(position, step)) EXPECT_EQ(axis.Texel(position), edge) << k;
  }
}

// ---- Textured quads ----------------------------------------------------

// A quad of kQuad x kQuad pixels from column kLeft, so that its rows have a
// head, blocks and a tail.
constexpr int kQuad = 48;
constexpr int kLeft = 3;
constexpr int kFrameWidth = kLeft + kQuad + 2;

struct Range {
  float from, to;
};

struct QuadCase {
  int32_t side;  // texels across and down
  Range s, t;
  TextureAddressing addressing;
};

// The id of texel (column, row), as every pixel size holds it.
uint32_t TexelId(int32_t column, int32_t row) { return 1 + static_cast<uint32_t>(column + 8 * row); }

// What the pixel at (x, y) of the quad must show: the texel of the
// coordinate at its centre.
uint32_t ExpectedTexel(const QuadCase& c, int x, int y) {
  auto texel = [&](Range range, int pixel, bool repeat) {
    const double at = range.from + (range.to - range.from) * (pixel + 0.5) / kQuad;
    return TexelOfIndex(static_cast<int64_t>(std::floor(at * c.side)), c.side, repeat);
  };
  return TexelId(texel(c.s, x - kLeft, c.addressing.repeatS), texel(c.t, y, c.addressing.repeatT));
}

// Draws the case's quad unlit at one pixel size and counts the pixels that
// show another texel than their coordinate names.
::testing::AssertionResult QuadShowsEveryTexelWhereItBelongs(const QuadCase& c, int bytes) {
  std::vector<uint8_t> texels(static_cast<size_t>(c.side) * c.side * bytes);
  for (int32_t row = 0; row < c.side; ++row)
    for (int32_t column = 0; column < c.side; ++column) {
      const uint32_t id = TexelId(column, row);
      std::memcpy(&texels[static_cast<size_t>(row * c.side + column) * bytes], &id, static_cast<size_t>(bytes));
    }
  const RenderBufferDesc texture{texels.data(), c.side, c.side, bytes, c.side * bytes};
  Frame frame(kFrameWidth, kQuad, bytes);
  frame.target.SetTexture(&texture, c.addressing);
  const float l = kLeft, r = kLeft + kQuad, b = kQuad;
  PolygonRecord quad = Polygon({frame.Vertex(l, 0, 0.5f, 1, 1, 1, c.s.from, c.t.from),
                                frame.Vertex(r, 0, 0.5f, 1, 1, 1, c.s.to, c.t.from),
                                frame.Vertex(r, b, 0.5f, 1, 1, 1, c.s.to, c.t.to),
                                frame.Vertex(l, b, 0.5f, 1, 1, 1, c.s.from, c.t.to)});
  frame.target.FillPolygon(&quad, SpanMode::kFill | SpanMode::kTextured | SpanMode::kUnlitTexture);
  int wrong = 0;
  std::ostringstream first;
  for (int y = 0; y < kQuad; ++y)
    for (int x = kLeft; x < kLeft + kQuad; ++x) {
      uint32_t shown = 0;
      std::memcpy(&shown, frame.pixels.data() + static_cast<size_t>(y) * frame.desc.rowBytes + x * bytes,
                  static_cast<size_t>(bytes));
      const uint32_t expected = ExpectedTexel(c, x, y);
      if (shown != expected && wrong++ == 0)
        first << "first at (" << x - kLeft << ", " << y << "): texel " << shown << ", expected " << expected;
    }
  if (wrong == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << c.side << "x" << c.side << " at " << bytes << " bytes: " << wrong
                                       << " pixels wrong, " << first.str();
}

constexpr TextureAddressing kRepeat{true, true};
constexpr TextureAddressing kClamp{false, false};

TEST(TexturedQuad, EveryTexelOfSmallTexturesCoversItsShareOfTheQuad) {
  for (int bytes : {1, 2, 4})
    for (int32_t side : {2, 3, 4})
      EXPECT_TRUE(QuadShowsEveryTexelWhereItBelongs({side, {0, 1}, {0, 1}, kRepeat}, bytes));
}

TEST(TexturedQuad, ARepeatOfThreeShowsEveryTexelThreeTimesBelowZeroToo) {
  for (int bytes : {1, 2, 4})
    for (int32_t side : {2, 3, 4})
      EXPECT_TRUE(QuadShowsEveryTexelWhereItBelongs({side, {-1, 2}, {-1, 2}, kRepeat}, bytes));
}

TEST(TexturedQuad, ClampingStretchesTheEdgeTexelsOutwardsOnEachAxisAlone) {
  for (int bytes : {1, 2, 4}) {
    for (int32_t side : {3, 4})
      EXPECT_TRUE(QuadShowsEveryTexelWhereItBelongs({side, {-0.5f, 1.5f}, {-0.5f, 1.5f}, kClamp}, bytes));
    EXPECT_TRUE(QuadShowsEveryTexelWhereItBelongs({3, {-0.5f, 1.5f}, {-1, 2}, {false, true}}, bytes));
    EXPECT_TRUE(QuadShowsEveryTexelWhereItBelongs({4, {2, -1}, {1.5f, -0.5f}, {true, false}}, bytes));
  }
}

// Textures as wide as the fillers address repeat without overflowing their
// positions, whether their width is a power of two or not; one texel wider
// is drawn untextured rather than read wrongly.
TEST(TexturedQuad, TexturesUpToTheLimitAreAddressedAndWiderOnesAreNotDrawnTextured) {
  for (const int32_t width : {kMaxTextureSide - 1, kMaxTextureSide, kMaxTextureSide + 1}) {
    std::vector<uint32_t> texels(static_cast<size_t>(width));
    for (int32_t i = 0; i < width; ++i) texels[static_cast<size_t>(i)] = 0x01000000u | static_cast<uint32_t>(i);
    const RenderBufferDesc texture{reinterpret_cast<uint8_t*>(texels.data()), width, 1, 4, width * 4};
    Frame frame(kQuad, 1, 4);
    frame.target.SetTexture(&texture);
    PolygonRecord quad =
        Polygon({frame.Vertex(0, 0, 0.5f, 1, 1, 1, -1, 0), frame.Vertex(kQuad, 0, 0.5f, 1, 1, 1, 2, 0),
                 frame.Vertex(kQuad, 1, 0.5f, 1, 1, 1, 2, 1), frame.Vertex(0, 1, 0.5f, 1, 1, 1, -1, 1)});
    frame.target.FillPolygon(&quad, SpanMode::kFill | SpanMode::kTextured | SpanMode::kUnlitTexture);
    for (int x = 0; x < kQuad; ++x) {
      const uint32_t shown = frame.At<uint32_t>(x, 0);
      if (width > kMaxTextureSide) {
        ASSERT_EQ(shown >> 24, 0u) << "no texel at " << x;
        continue;
      }
      const double at = -1.0 + 3.0 * (x + 0.5) / kQuad;
      const int32_t column = TexelOfIndex(static_cast<int64_t>(std::floor(at * width)), width, true);
      ASSERT_EQ(shown, 0x01000000u | static_cast<uint32_t>(column)) << x;
    }
  }
}

}  // namespace
}  // namespace vx
