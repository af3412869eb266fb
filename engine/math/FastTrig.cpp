#include "engine/math/FastTrig.h"

#include <array>
#include <cmath>

namespace vx {
namespace {

constexpr double kHalfPi = 1.5707963;      // the tables' limit, not the exact pi/2
constexpr double kSqrt3 = 1.732050808;
constexpr int kAngleSteps = 720;
constexpr int kAtanSteps = 960;
constexpr double kAngleStep = kHalfPi / kAngleSteps;
constexpr double kAtanStep = kSqrt3 / kAtanSteps;

double RoundToSixPlaces(double value) { return std::round(value * 1e6) / 1e6; }

// Each table has one entry beyond its range, so that interpolation at the
// upper limit reads a valid pair.
template <int Steps>
std::array<double, Steps + 2> MakeTable(double (*fn)(double), double step) {
  std::array<double, Steps + 2> table{};
  for (int i = 0; i < Steps + 2; ++i) table[static_cast<size_t>(i)] = RoundToSixPlaces(fn(i * step));
  return table;
}

const std::array<double, kAngleSteps + 2>& CosTable() {
  static const auto table = MakeTable<kAngleSteps>([](double a) { return std::cos(a); }, kAngleStep);
  return table;
}

const std::array<double, kAngleSteps + 2>& SinTable() {
  static const auto table = MakeTable<kAngleSteps>([](double a) { return std::sin(a); }, kAngleStep);
  return table;
}

const std::array<double, kAtanSteps + 2>& AtanTable() {
  static const auto table = MakeTable<kAtanSteps>([](double a) { return std::atan(a); }, kAtanStep);
  return table;
}

// Linear interpolation in a table for 0 <= a <= limit.
template <size_t N>
double Interpolate(const std::array<double, N>& table, double a, double step) {
  const auto i = static_cast<size_t>(a / step);
  const double f = (a - static_cast<double>(i) * step) / step;
  return table[i] + f * (table[i + 1] - table[i]);
}

}  // namespace

double FastCos(double a) {
  if (a < 0.0 && a >= -kHalfPi) a = -a;
  if (a >= 0.0 && a <= kHalfPi) return Interpolate(CosTable(), a, kAngleStep);
  return std::cos(a);
}

double FastSin(double a) {
  if (a < 0.0 && a >= -kHalfPi) return -Interpolate(SinTable(), -a, kAngleStep);
  if (a >= 0.0 && a <= kHalfPi) return Interpolate(SinTable(), a, kAngleStep);
  return std::sin(a);
}

double Tan(double a) { return std::tan(a); }

double FastAtan(double x) {
  if (x < 0.0 && x >= -kSqrt3) return -Interpolate(AtanTable(), -x, kAtanStep);
  if (x >= 0.0 && x <= kSqrt3) return Interpolate(AtanTable(), x, kAtanStep);
  return std::atan(x);
}

double FastAtan2(double y, double x) {
  if (x >= 0.0001) return FastAtan(y / x);
  return std::atan2(y, x);
}

}  // namespace vx
