// Remaps an equirectangular picture (binary PPM) to a rectilinear view
// with the sphere warper and prints the frame rate of the drawing loop
// alone, reading and set-up excluded:
//   pano_remap --src FILE.ppm --size WxH --hfov DEG --yaw DEG --pitch DEG
//              --interp nearest|bilinear [--min-time SECONDS]
// Prints `fps=... frames=... size=WxH interp=...`; exits 1 on bad
// arguments, 2 when the picture cannot be read or drawn.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "bench/pano/WarpScene.h"
#include "engine/pano/PanoRendererFactory.h"

namespace vx {
namespace {

constexpr int32_t kWarmUpFrames = 3;
constexpr double kDefaultMinTime = 1.0;
constexpr int32_t kMinFrames = 5;
constexpr int32_t kMaxPictureSide = 65535;

struct Options {
  std::string source;
  int32_t width = 0, height = 0;
  double hfov = 90, yaw = 0, pitch = 0;
  bool bilinear = false;
  double minTime = kDefaultMinTime;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i], value = argv[i + 1];
    if (key == "--src") {
      o.source = value;
    } else if (key == "--size") {
      if (std::sscanf(value.c_str(), "%dx%d", &o.width, &o.height) != 2) return std::nullopt;
    } else if (key == "--hfov") {
      o.hfov = std::atof(value.c_str());
    } else if (key == "--yaw") {
      o.yaw = std::atof(value.c_str());
    } else if (key == "--pitch") {
      o.pitch = std::atof(value.c_str());
    } else if (key == "--interp") {
      if (value != "nearest" && value != "bilinear") return std::nullopt;
      o.bilinear = value == "bilinear";
    } else if (key == "--min-time") {
      o.minTime = std::atof(value.c_str());
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0 || o.source.empty() || o.width <= 0 || o.height <= 0 || o.width > kMaxPictureSide ||
      o.height > kMaxPictureSide)
    return std::nullopt;
  return o;
}

// Skips blanks and comments between the header's numbers.
bool ReadHeaderNumber(std::istream& in, int32_t* value) {
  while (in) {
    const int c = in.peek();
    if (c == '#') {
      std::string comment;
      std::getline(in, comment);
    } else if (std::isspace(c)) {
      in.get();
    } else {
      break;
    }
  }
  return static_cast<bool>(in >> *value);
}

std::optional<bench::GuardedPicture> ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int32_t width = 0, height = 0, maxValue = 0;
  if (!(in >> magic) || magic != "P6") return std::nullopt;
  if (!ReadHeaderNumber(in, &width) || !ReadHeaderNumber(in, &height) || !ReadHeaderNumber(in, &maxValue))
    return std::nullopt;
  if (width < 2 || height < 3 || width > kMaxPictureSide || height > kMaxPictureSide || maxValue != 255)
    return std::nullopt;
  in.get();
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  bench::GuardedPicture picture(width, height, 4);
  for (int32_t y = 0; y < height; ++y) {
    if (!in.read(reinterpret_cast<char*>(row.data()), static_cast<std::streamsize>(row.size()))) return std::nullopt;
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t* rgb = &row[static_cast<size_t>(x) * 3];
      picture.Set(x, y, rgb[0], rgb[1], rgb[2]);
    }
  }
  picture.FillGuards();
  return picture;
}

int Run(const Options& o) {
  const std::optional<bench::GuardedPicture> picture = ReadPpm(o.source);
  if (!picture) {
    std::fprintf(stderr, "pano_remap: cannot read %s as a binary PPM\n", o.source.c_str());
    return 2;
  }
  bench::WarpScene scene(picture->Info(), static_cast<int16_t>(PanoProjection::kSphere), o.width, o.height);
  if (!scene.Ready()) {
    std::fprintf(stderr, "pano_remap: the panorama context refused the picture or the output\n");
    return 2;
  }
  scene.Look(o.hfov, o.yaw, o.pitch, o.bilinear ? 1024 : 512);
  for (int32_t i = 0; i < kWarmUpFrames; ++i) {
    if (scene.DrawFrame() != 0) {
      std::fprintf(stderr, "pano_remap: the warper refused the frame\n");
      return 2;
    }
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  int32_t frames = 0;
  double seconds = 0;
  while (frames < kMinFrames || seconds < o.minTime) {
    scene.DrawFrame();
    ++frames;
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  }
  std::printf("fps=%.2f frames=%d seconds=%.3f size=%dx%d interp=%s\n", frames / seconds, frames, seconds, o.width,
              o.height, o.bilinear ? "bilinear" : "nearest");
  return 0;
}

}  // namespace
}  // namespace vx

int main(int argc, char** argv) {
  const std::optional<vx::Options> options = vx::ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: pano_remap --src FILE.ppm --size WxH [--hfov DEG] [--yaw DEG] [--pitch DEG] "
                 "[--interp nearest|bilinear] [--min-time SECONDS]\n");
    return 1;
  }
  return vx::Run(*options);
}
