// Table-driven cosine, sine and arc tangent for the panorama code.
//
// Inside their tables' ranges (|a| <= 1.5707963 for the cosine and sine,
// |x| <= 1.732050808 for the arc tangent) the results are interpolated
// linearly between entries rounded to six decimal places; outside, they are
// the library functions. Results differ from the library by at most the
// rounding (5e-7) plus the interpolation error.
#pragma once

namespace vx {

double FastCos(double a);
double FastSin(double a);
double Tan(double a);
double FastAtan(double x);
// FastAtan(y / x) for x >= 0.0001, else the library atan2.
double FastAtan2(double y, double x);

}  // namespace vx
