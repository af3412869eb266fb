// Paints the sample world's panorama: an equirectangular picture (yaw 0 at
// the left edge, one whole turn across; the zenith on the top row, the nadir
// on the bottom one) of a sky with a sun over a tiled plain, with four
// coloured towers a quarter turn apart and a faint line every 30 degrees, so
// that one can tell where one looks. Written as a JPEG file.
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 512;
constexpr int kQuality = 82;
constexpr double kPi = std::numbers::pi;
constexpr double kDegree = kPi / 180;

struct Rgb {
  double r, g, b;
};

Rgb Mix(const Rgb& a, const Rgb& b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Smallest angle between two yaws.
double YawDistance(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 2 * kPi);
  return d > kPi ? 2 * kPi - d : d;
}

Rgb Sky(double yaw, double elevation) {
  Rgb colour = Mix({200, 225, 250}, {35, 80, 170}, std::pow(elevation / (kPi / 2), 0.6));
  const double sunYaw = 60 * kDegree, sunElevation = 35 * kDegree;
  const double cosine = std::sin(elevation) * std::sin(sunElevation) +
                        std::cos(elevation) * std::cos(sunElevation) * std::cos(yaw - sunYaw);
  const double fromSun = std::acos(std::fmin(1.0, cosine));
  if (fromSun < 4 * kDegree) return {255, 245, 200};
  if (fromSun < 20 * kDegree) colour = Mix({255, 235, 190}, colour, (fromSun - 4 * kDegree) / (16 * kDegree));
  return colour;
}

Rgb Ground(double yaw, double elevation) {
  Rgb colour = Mix({120, 160, 80}, {55, 80, 35}, std::pow(-elevation / (kPi / 2), 0.7));
  // Tiles that shrink towards the horizon, as on a plain.
  const double distance = 1 / std::tan(-elevation + 1e-6);
  const bool odd = (static_cast<long>(std::floor(distance * 2)) + static_cast<long>(std::floor(yaw / (10 * kDegree)))) & 1;
  return odd ? Mix(colour, {0, 0, 0}, 0.12) : colour;
}

// Red, green, orange and yellow towers at 45, 135, 225 and 315 degrees.
bool Tower(double yaw, double elevation, Rgb* colour) {
  constexpr Rgb kColours[] = {{210, 40, 40}, {40, 170, 60}, {240, 140, 30}, {230, 210, 40}};
  for (int i = 0; i < 4; ++i) {
    const double offset = YawDistance(yaw, (45 + 90 * i) * kDegree);
    if (offset < 6 * kDegree && elevation > -8 * kDegree && elevation < 18 * kDegree) {
      const bool edge = offset > 5.2 * kDegree || elevation > 17 * kDegree;
      *colour = edge ? Mix(kColours[i], {0, 0, 0}, 0.5) : kColours[i];
      return true;
    }
  }
  return false;
}

Rgb PixelAt(int x, int y) {
  const double yaw = (x + 0.5) / kWidth * 2 * kPi;
  const double elevation = kPi / 2 - (y + 0.5) / kHeight * kPi;
  Rgb colour{};
  if (Tower(yaw, elevation, &colour)) return colour;
  if (std::fabs(elevation) < 0.4 * kDegree) return {60, 60, 60};
  colour = elevation > 0 ? Sky(yaw, elevation) : Ground(yaw, elevation);
  const double meridian = std::fmod(yaw, 30 * kDegree);
  if (meridian < 0.25 * kDegree || std::fabs(elevation - 30 * kDegree) < 0.15 * kDegree) {
    colour = Mix(colour, {255, 255, 255}, 0.35);
  }
  return colour;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: vx_make_panorama OUTPUT.jpg\n");
    return 2;
  }
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, out);
  info.image_width = kWidth;
  info.image_height = kHeight;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, kQuality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<JSAMPLE> row(kWidth * 3);
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < kWidth; ++x) {
      const Rgb c = PixelAt(x, static_cast<int>(info.next_scanline));
      row[x * 3] = static_cast<JSAMPLE>(std::lround(c.r));
      row[x * 3 + 1] = static_cast<JSAMPLE>(std::lround(c.g));
      row[x * 3 + 2] = static_cast<JSAMPLE>(std::lround(c.b));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fclose(out) == 0 ? 0 : 1;
}
