// A render target over its own frame buffer, and builders of polygons and
// span edges in screen coordinates.
#pragma once

#include <cstring>
#include <initializer_list>
#include <vector>

#include "engine/render/RenderTarget.h"

namespace vx::test {

struct Frame {
  Frame(int w, int h, int bytesPerPixel) : pixels(static_cast<size_t>(w) * h * bytesPerPixel) {
    desc = {pixels.data(), w, h, bytesPerPixel, w * bytesPerPixel};
    target.SetBuffer(&desc);
    target.Clear(true, true);
  }
  template <typename P>
  P At(int x, int y) const {
    P p;
    std::memcpy(&p, pixels.data() + static_cast<size_t>(y) * desc.rowBytes + static_cast<size_t>(x) * sizeof(P),
                sizeof(P));
    return p;
  }
  // Clip-space vertex (w = 1) at a screen position.
  VertexWork Vertex(float sx, float sy, float z, float red = 1, float green = 1, float blue = 1, float s = 0,
                    float t = 0) const {
    VertexWork v;
    const float hw = desc.width * 0.5f, hh = desc.height * 0.5f;
    const float words[] = {sx / hw - 1.0f, 1.0f - sy / hh, z, 1.0f, red, green, blue, s, t};
    std::copy(std::begin(words), std::end(words), v.v);
    return v;
  }
  std::vector<uint8_t> pixels;
  RenderBufferDesc desc;
  CRenderTarget target;
};

inline PolygonRecord Polygon(std::initializer_list<VertexWork> vertices) {
  PolygonRecord poly;
  for (const VertexWork& v : vertices) poly.vertex[poly.count++] = v;
  return poly;
}

inline SpanEdge Edge(float x, float z, float q = 1, float uq = 0, float vq = 0, float r = 0, float g = 0,
                     float b = 0) {
  return SpanEdge{x, 0, z, q, r, g, b, uq, vq, 0, 0, 0};
}

}  // namespace vx::test
