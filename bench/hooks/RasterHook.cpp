// vx_raster_hook --size WxH --case flat|tex|grid [--layers L] [--trials T]
// [--min-time S]: draws the peer benchmark kit's raster cases through the
// engine's own render target, geometry stage and span fillers at 32 bits per
// pixel, and prints one line in the kit's key=value format.
//
// Every frame clears colour and depth and draws the layers back to front, so
// that every layer passes the depth test and writes every pixel:
//   flat  a full-screen quad per layer, one flat colour each;
//   tex   a full-screen quad per layer with a 256x256 texture, unlit, about
//         one texel per pixel;
//   grid  a 100x100-cell grid (20,000 triangles on 10,201 shared vertices)
//         over the frame, lit per vertex by an ambient and a directional
//         light and smooth shaded, its normals turned by the model matrix.
#include <time.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/render/GeometryStage.h"
#include "engine/render/MeshBuffer.h"
#include "engine/render/RenderTarget.h"

namespace vx {
namespace {

constexpr int kGridCells = 100;
constexpr int kTextureSize = 256;
constexpr int kMaxTrials = 64;

enum class Case { kFlat, kTex, kGrid };

struct Options {
  int width = 640;
  int height = 480;
  Case drawCase = Case::kFlat;
  const char* caseName = "flat";
  int layers = 8;
  int trials = 5;
  double minTime = 0.5;
};

double Clock(clockid_t id) {
  timespec ts{};
  clock_gettime(id, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    const char* value = argv[i + 1];
    if (name == "--size") {
      if (std::sscanf(value, "%dx%d", &options.width, &options.height) != 2) return false;
    } else if (name == "--case") {
      const std::string c = value;
      if (c == "flat") options.drawCase = Case::kFlat;
      else if (c == "tex") options.drawCase = Case::kTex;
      else if (c == "grid") options.drawCase = Case::kGrid;
      else return false;
      options.caseName = value;
    } else if (name == "--layers") {
      options.layers = std::atoi(value);
    } else if (name == "--trials") {
      options.trials = std::atoi(value);
    } else if (name == "--min-time") {
      options.minTime = std::atof(value);
    } else {
      return false;
    }
  }
  return argc % 2 == 1 && options.width >= 1 && options.height >= 1 && options.width <= 16384 &&
         options.height <= 16384 && options.layers >= 1 && options.trials >= 1 && options.trials <= kMaxTrials;
}

// Layer k of n, back to front: larger depth is nearer.
float LayerDepth(int k, int layers) { return -(0.9f - 1.8f * static_cast<float>(k) / static_cast<float>(std::max(layers - 1, 1))); }

// Maps [0,1]^2 of world x and y to the whole frame, at depth z.
CMatrix4 OrthoOverFrame(float z) {
  CMatrix4 m;
  m[0] = 2.0f;
  m[5] = 2.0f;
  m[10] = 0.0f;
  m[12] = -1.0f;
  m[13] = -1.0f;
  m[14] = z;
  return m;
}

class CRasterCase {
 public:
  explicit CRasterCase(const Options& options)
      : options_(options),
        pixels_(static_cast<size_t>(options.width) * static_cast<size_t>(options.height)),
        texels_(static_cast<size_t>(kTextureSize) * kTextureSize),
        stage_(&target_) {
    RenderBufferDesc desc{reinterpret_cast<uint8_t*>(pixels_.data()), options.width, options.height, 4,
                          options.width * 4};
    target_.SetBuffer(&desc);
    target_.SetCulling({.mode = kCullNone});
    if (options.drawCase == Case::kGrid) BuildGrid();
    if (options.drawCase == Case::kTex) BuildTexture();
  }

  void DrawFrame() {
    target_.Clear(true, true);
    stage_.BeginFrame();
    for (int k = 0; k < options_.layers; ++k) {
      switch (options_.drawCase) {
        case Case::kFlat: DrawFlatLayer(k); break;
        case Case::kTex: DrawTexturedLayer(k); break;
        case Case::kGrid: DrawGridLayer(k); break;
      }
    }
  }

  uint32_t Centre() const {
    return pixels_[static_cast<size_t>(options_.height / 2) * static_cast<size_t>(options_.width) +
                   static_cast<size_t>(options_.width / 2)];
  }

 private:
  // A full-screen quad in clip space, every vertex coloured white, so that
  // the material gives the layer its colour.
  static PolygonRecord FullScreenQuad(float z, float s0, float t0, float s1, float t1) {
    PolygonRecord poly;
    poly.count = 4;
    const float corners[4][4] = {{-1, 1, s0, t0}, {1, 1, s1, t0}, {1, -1, s1, t1}, {-1, -1, s0, t1}};
    for (int i = 0; i < 4; ++i) {
      float* v = poly.vertex[i].v;
      v[VertexWord::kX] = corners[i][0];
      v[VertexWord::kY] = corners[i][1];
      v[VertexWord::kZ] = z;
      v[VertexWord::kW] = 1.0f;
      v[VertexWord::kRed] = v[VertexWord::kGreen] = v[VertexWord::kBlue] = 1.0f;
      v[VertexWord::kS] = corners[i][2];
      v[VertexWord::kT] = corners[i][3];
    }
    return poly;
  }

  void DrawFlatLayer(int k) {
    MaterialRecord material;
    material.smooth = 0;
    material.specular = 0;
    material.diffuse = {(k & 1) ? 0.9f : 0.2f, (k & 2) ? 0.8f : 0.3f, (k & 4) ? 0.7f : 0.1f};
    stage_.SetMaterial(&material);
    PolygonRecord poly = FullScreenQuad(LayerDepth(k, options_.layers), 0, 0, 0, 0);
    stage_.DrawPolygon(&poly);
  }

  // Texture coordinates 0..1 span the whole texture, so a span of
  // (frame size) / (texture size) gives one texel per pixel.
  void DrawTexturedLayer(int k) {
    stage_.SetMaterial(&texturedMaterial_);
    const float texelSpan = static_cast<float>(kTextureSize);
    const float s0 = static_cast<float>(k) * 0.37f, t0 = static_cast<float>(k) * 0.11f;
    PolygonRecord poly = FullScreenQuad(LayerDepth(k, options_.layers), s0, t0,
                                        s0 + static_cast<float>(options_.width) / texelSpan,
                                        t0 + static_cast<float>(options_.height) / texelSpan);
    stage_.DrawPolygon(&poly);
  }

  void DrawGridLayer(int k) {
    const CMatrix4 projection = OrthoOverFrame(LayerDepth(k, options_.layers));
    stage_.SetProjectionMatrix(&projection);
    stage_.SetModelViewMatrix(&model_);
    stage_.SetMaterial(&litMaterial_);
    grid_.Draw(&stage_, true, -1);
  }

  void BuildTexture() {
    for (int y = 0; y < kTextureSize; ++y) {
      for (int x = 0; x < kTextureSize; ++x) {
        const bool odd = (((x >> 3) ^ (y >> 3)) & 1) != 0;
        const uint32_t r = odd ? static_cast<uint32_t>(x) : 255u - static_cast<uint32_t>(x);
        const uint32_t g = odd ? static_cast<uint32_t>(y) : 255u - static_cast<uint32_t>(y);
        const uint32_t b = odd ? 200u : 40u;
        texels_[static_cast<size_t>(y) * kTextureSize + static_cast<size_t>(x)] = (r << 16) | (g << 8) | b;
      }
    }
    texturedMaterial_.texture = {reinterpret_cast<uint8_t*>(texels_.data()), kTextureSize, kTextureSize, 4,
                                 kTextureSize * 4};
    texturedMaterial_.unlitTexture = 1;
    texturedMaterial_.smooth = 0;
  }

  // Positions are turned back by the model's rotation, so that the model
  // matrix puts them on [0,1]^2 and turns the normals as the peer's normal
  // matrix does.
  void BuildGrid() {
    constexpr float kCos = 0.8f, kSin = 0.6f;
    model_.SetAxisRotation(2, std::atan2(kSin, kCos));
    constexpr int n = kGridCells;
    grid_.SetVertexCount((n + 1) * (n + 1));
    for (int j = 0; j <= n; ++j) {
      for (int i = 0; i <= n; ++i) {
        const float u = static_cast<float>(i) / n, w = static_cast<float>(j) / n;
        const CVec3f normal = CVec3f{0.6f * std::sin(u * 18.0f), 0.6f * std::cos(w * 14.0f), 1.0f}.Normalize();
        const int index = j * (n + 1) + i;
        grid_.SetVertex(index, {u * kCos + w * kSin, -u * kSin + w * kCos, 0.0f});
        grid_.SetNormal(index, normal);
      }
    }
    grid_.SetPolygonCount(2 * n * n);
    for (int j = 0; j < n; ++j) {
      for (int i = 0; i < n; ++i) {
        const int a = j * (n + 1) + i, b = a + 1, c = a + n + 1, d = c + 1;
        MeshPolygon first, second;
        first.vertexCount = second.vertexCount = 3;
        first.vertices = {a, b, d, 0};
        second.vertices = {a, d, c, 0};
        grid_.SetPolygon(2 * (j * n + i), first);
        grid_.SetPolygon(2 * (j * n + i) + 1, second);
      }
    }
    LightRecord ambient;
    ambient.on = 1;
    ambient.type = kAmbientLight;
    ambient.color = {0.1f, 0.1f, 0.15f};
    (void)stage_.AddLight(&ambient);
    LightRecord sun;
    sun.on = 1;
    sun.type = kDirectionalLight;
    sun.color = {0.8f, 0.7f, 0.5f};
    sun.direction = {0.3f, 0.4f, 0.866f};
    (void)stage_.AddLight(&sun);
    litMaterial_.diffuse = {1.0f, 1.0f, 1.0f};
    litMaterial_.specular = 0;
    litMaterial_.smooth = 1;
  }

  const Options options_;
  std::vector<uint32_t> pixels_;
  std::vector<uint32_t> texels_;
  CRenderTarget target_;
  CGeometryStage stage_;
  CMeshBuffer grid_;
  CMatrix4 model_;
  MaterialRecord litMaterial_;
  MaterialRecord texturedMaterial_;
};

int Run(const Options& options) {
  CRasterCase scene(options);
  const double warmStart = Clock(CLOCK_MONOTONIC);
  for (int frames = 0; frames < 2 || Clock(CLOCK_MONOTONIC) - warmStart < 0.2; ++frames) scene.DrawFrame();

  double fps[kMaxTrials];
  double cpu = 0.0, wall = 0.0;
  for (int t = 0; t < options.trials; ++t) {
    const double w0 = Clock(CLOCK_MONOTONIC), c0 = Clock(CLOCK_PROCESS_CPUTIME_ID);
    double w1 = w0;
    int frames = 0;
    do {
      scene.DrawFrame();
      ++frames;
      w1 = Clock(CLOCK_MONOTONIC);
    } while (frames < 2 || w1 - w0 < options.minTime);
    cpu += Clock(CLOCK_PROCESS_CPUTIME_ID) - c0;
    wall += w1 - w0;
    fps[t] = frames / (w1 - w0);
  }
  std::sort(fps, fps + options.trials);
  const int n = options.trials;
  const double median = n % 2 ? fps[n / 2] : 0.5 * (fps[n / 2 - 1] + fps[n / 2]);
  const double pixels = static_cast<double>(options.width) * options.height * options.layers;
  const double triangles = (options.drawCase == Case::kGrid ? 2.0 * kGridCells * kGridCells : 2.0) * options.layers;
  std::printf(
      "size=%dx%d case=%s layers=%d color=xrgb32+zf trials=%d fps=%.2f fps_min=%.2f fps_max=%.2f Mpix_s=%.1f "
      "Mpix_s_min=%.1f Mpix_s_max=%.1f Mtri_s=%.3f Mtri_s_min=%.3f Mtri_s_max=%.3f cpu_per_wall=%.2f "
      "centre=%06x\n",
      options.width, options.height, options.caseName, options.layers, n, median, fps[0], fps[n - 1],
      median * pixels / 1e6, fps[0] * pixels / 1e6, fps[n - 1] * pixels / 1e6, median * triangles / 1e6,
      fps[0] * triangles / 1e6, fps[n - 1] * triangles / 1e6, wall > 0 ? cpu / wall : 0.0,
      static_cast<unsigned>(scene.Centre() & 0xFFFFFF));
  return 0;
}

}  // namespace
}  // namespace vx

int main(int argc, char** argv) {
  vx::Options options;
  if (!vx::ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s --size WxH --case flat|tex|grid [--layers L] [--trials T] [--min-time S]\n", argv[0]);
    return 2;
  }
  return vx::Run(options);
}
