#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/math/FastTrig.h"
#include "engine/math/Matrix4.h"

namespace vx {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectMatrixNear(const CMatrix4& a, const CMatrix4& b, float tolerance) {
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], tolerance) << "element " << i;
}

void ExpectPointNear(const CVec3f& p, float x, float y, float z, float tolerance = 1e-5f) {
  EXPECT_NEAR(p.x, x, tolerance);
  EXPECT_NEAR(p.y, y, tolerance);
  EXPECT_NEAR(p.z, z, tolerance);
}

CVec3f Transformed(const CMatrix4& m, CVec3f p) {
  m.TransformPoint(p);
  return p;
}

TEST(Matrix4, RowVectorsPutTranslationInTheLastRowAndApplyTheLeftFactorFirst) {
  CMatrix4 move;
  move.SetTranslation(1, 2, 3);
  EXPECT_EQ(move[12], 1.0f);
  EXPECT_EQ(move[14], 3.0f);
  CMatrix4 scaleThenMove;
  scaleThenMove.SetScale(2, 2, 2);
  scaleThenMove = CMatrix4(move).PreMultiply(scaleThenMove);  // scale x move
  ExpectPointNear(Transformed(scaleThenMove, {1, 1, 1}), 3, 4, 5);

  CMatrix4 projective;
  projective[11] = -1.0f;
  ExpectPointNear(Transformed(projective, {1, 2, 3}), 1, 2, 3);  // no division by w
}

TEST(Matrix4, AxisRotationsFollowTheRightHandRule) {
  CMatrix4 r;
  ExpectPointNear(Transformed(r.SetAxisRotation(0, kPi / 2), {0, 1, 0}), 0, 0, 1);
  ExpectPointNear(Transformed(r.SetAxisRotation(1, kPi / 2), {0, 0, 1}), 1, 0, 0);
  ExpectPointNear(Transformed(r.SetAxisRotation(2, kPi / 2), {1, 0, 0}), 0, 1, 0);
  EXPECT_EQ(r.SetAxisRotation(7, 1.0f), CMatrix4());

  CVec3f v(0, 1, 0);
  ExpectPointNear(v.RotateAboutAxis(0, kPi / 2), 0, 0, 1);
}

TEST(Matrix4, SetRotationPicksCoordinateAxesBelowTheThresholdAndTurnsAboutAnyOther) {
  CMatrix4 r, expected;
  r.SetRotation({0, 0.0005f, -1}, 0.7f);
  ExpectMatrixNear(r, expected.SetAxisRotation(2, -0.7f), 0);
  r.SetRotation({0, 0, 0}, 0.7f);
  ExpectMatrixNear(r, expected.SetAxisRotation(0, 0.7f), 0);
  r.SetRotation({-0.0f, 1, 0}, 0.7f);
  ExpectMatrixNear(r, expected.SetAxisRotation(1, 0.7f), 0);

  r.SetRotation({1, 1, 0}, kPi / 2);
  ExpectPointNear(Transformed(r, {1, -1, 0}), 0, 0, -std::sqrt(2.0f));
  ExpectPointNear(Transformed(r, {2, 2, 0}), 2, 2, 0);  // the axis stays put
}

TEST(Matrix4, RotationFromToTurnsOneDirectionIntoTheOtherEvenWhenOpposite) {
  const CVec3f cases[][2] = {{{1, 0, 0}, {0, 1, 0}},  {{0, 0, 1}, {0, 0, -1}}, {{1, 0, 0}, {-1, 0, 0}},
                             {{0, 1, 0}, {0, -1, 0}}, {{0, 0, 2}, {0, 0, 3}},  {{1, 2, 3}, {-2, -4, -6}}};
  for (const auto& [from, to] : cases) {
    CMatrix4 r;
    r.SetRotationFromTo(from, to);
    CVec3f turned = Transformed(r, from);
    for (float e : r.m) ASSERT_TRUE(std::isfinite(e));
    CVec3f direction = CVec3f(to).Normalize() * from.Length();
    ExpectPointNear(turned, direction.x, direction.y, direction.z, 1e-4f);
  }
}

TEST(Matrix4, InvertIsExactForSmallScalesAndRefusesSingularMatrices) {
  CMatrix4 m;
  ASSERT_TRUE(m.Invert());
  EXPECT_EQ(m, CMatrix4());

  m.SetTranslation(1, 2, 3);
  ASSERT_TRUE(m.Invert());
  ExpectMatrixNear(m, CMatrix4().SetTranslation(-1, -2, -3), 1e-6f);

  // A Transform scaled by 0.01 has a determinant of 1e-6 and still inverts.
  CMatrix4 tiny;
  tiny.SetScale(0.01f, 0.01f, 0.01f);
  tiny.PreMultiply(CMatrix4().SetAxisRotation(1, 0.3f));
  CMatrix4 inverse = tiny;
  ASSERT_TRUE(inverse.Invert());
  ExpectMatrixNear(CMatrix4(inverse).PreMultiply(tiny), CMatrix4(), 1e-4f);

  CMatrix4 flat;
  flat.SetScale(1, 1, 0);
  const CMatrix4 before = flat;
  EXPECT_FALSE(flat.Invert());
  EXPECT_EQ(flat, before) << "a singular matrix is left as it was";

  CMatrix4 dependent;  // row 1 = 2 x row 0
  dependent.m = {1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  EXPECT_FALSE(dependent.Invert());
}

TEST(Matrix4, AdjugateAndDeterminantAgree) {
  CMatrix4 m;
  m.m = {2, 0, 0, 0, 1, 3, 0, 0, 0, 4, 5, 0, 7, 8, 9, 1};
  EXPECT_FLOAT_EQ(m.Determinant(), 30.0f);
  CMatrix4 product = CMatrix4(m).Adjugate();
  product.PreMultiply(m);  // m x adj(m) = det x I
  CMatrix4 thirtyTimesIdentity;
  for (float& e : thirtyTimesIdentity.m) e *= 30.0f;
  ExpectMatrixNear(product, thirtyTimesIdentity, 1e-4f);
}

TEST(Matrix4, PerspectiveOfAQuarterTurnHasUnitScale) {
  CMatrix4 p;
  p.SetPerspective(kPi / 2, 0.05f, 20000.0f, 1.0f);
  EXPECT_NEAR(p[0], 1.0f, 1e-6f);
  EXPECT_NEAR(p[5], 1.0f, 1e-6f);
  EXPECT_EQ(p[11], -1.0f);
  EXPECT_EQ(p[15], 0.0f);
  EXPECT_GT(p[10], 0.0f);
  EXPECT_GT(p[14], 0.0f);
}

TEST(Vec3f, NormalizeTurnsZeroIntoPlusZ) {
  EXPECT_EQ(CVec3f(0, 0, 0).Normalize(), CVec3f(0, 0, 1));
  ExpectPointNear(CVec3f(0, 3, 4).Normalize(), 0, 0.6f, 0.8f, 1e-7f);
  EXPECT_EQ(CVec3f(1, 0, 0).Cross({0, 1, 0}), CVec3f(0, 0, 1));
}

TEST(Vec3f, RotateAboutAxisReusesTheSineWhileTheAngleDriftsByAtMostAMillionth) {
  CVec3f first(1, 0, 0);
  first.RotateAboutAxis(1, 0.5f);
  CVec3f second(1, 0, 0);
  second.RotateAboutAxis(1, 0.5000005f);
  EXPECT_EQ(first, second) << "the cached sine and cosine were used";
  CVec3f fresh(1, 0, 0);
  fresh.RotateAboutAxis(2, 0.5000005f);
  EXPECT_FLOAT_EQ(fresh.y, std::sin(0.5000005f));
}

TEST(FastTrig, MatchesTheLibraryWithinTheTableErrorAndFallsBackOutsideIt) {
  EXPECT_EQ(FastCos(0), 1.0);
  EXPECT_EQ(FastSin(0), 0.0);
  EXPECT_NEAR(FastSin(1.5707963), 1.0, 1e-6);
  EXPECT_NEAR(FastCos(1.5707963), 0.0, 1e-6);
  EXPECT_EQ(FastSin(-0.5), -FastSin(0.5));
  EXPECT_EQ(FastCos(-0.5), FastCos(0.5));
  EXPECT_EQ(FastCos(2.0), std::cos(2.0));
  EXPECT_EQ(FastCos(-2.0), std::cos(-2.0));
  EXPECT_EQ(FastAtan(1.8), std::atan(1.8));
  EXPECT_NEAR(FastAtan(-1.0), -0.785398, 1e-6);
  EXPECT_EQ(FastAtan(-1.0), -FastAtan(1.0));
  EXPECT_EQ(FastAtan2(1, 0), std::atan2(1.0, 0.0));
  EXPECT_EQ(FastAtan2(1, -1), std::atan2(1.0, -1.0));
  EXPECT_EQ(FastAtan2(1, 0.0001), std::atan(10000.0));

  // Sweep against the reference: rounding 5e-7 plus interpolation error
  // (step^2 / 8 ~ 6e-7 for the angle tables).
  for (double a = -1.5707963; a <= 1.5707963; a += 0.0007) {
    ASSERT_NEAR(FastCos(a), std::cos(a), 2e-6) << a;
    ASSERT_NEAR(FastSin(a), std::sin(a), 2e-6) << a;
  }
  for (double x = -1.732050808; x <= 1.732050808; x += 0.0009) ASSERT_NEAR(FastAtan(x), std::atan(x), 2e-6) << x;
}

}  // namespace
}  // namespace vx
