// A world read from text and drawn by a headless view context into a 32-bit
// frame, first activated as a view does before its first frame.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "engine/world/ViewContext.h"

namespace vx::test {

// A unit quad at z = 0 facing +z with a white material, to be placed by a
// Transform.
inline constexpr const char* kWhiteQuad =
    "Shape { appearance Appearance { material Material { diffuseColor 1 1 1 } }"
    " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
    " coordIndex [ 0 1 2 3 -1 ] } }";

class RenderedWorld : public ::testing::Test {
 protected:
  // Reads the world, activates it in the view and draws one frame.
  void Load(const std::string& body, int width = 64, int height = 64) {
    Read(body, width, height);
    Show();
  }
  // Reads the world for a frame of that size.
  void Read(const std::string& body, int width = 64, int height = 64) {
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<size_t>(width * height), 0u);
    view.SetFrameBuffer(FrameOver(pixels_, width, height));
    world = ReadWorld(body, convention);
  }
  // Activates the world in the view and draws one frame.
  void Show() {
    world->RenderView(RenderPass::Activate, &view);
    Frame();
  }
  void Frame() { world->RenderFrame(&view); }
  uint32_t Center() const { return Pixel(width_ / 2, height_ / 2); }
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }
  CNode& Named(const char* name) {
    CNode* node = world->FindNode(name);
    EXPECT_NE(node, nullptr) << name;
    return *node;
  }

  CViewContext view{WindowHandle::None, 0};
  // Of the worlds Read reads: the standard's, as for a world without a name.
  WorldConvention convention = WorldConvention::kStandard;
  std::unique_ptr<CBrowser> world;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<uint32_t> pixels_;
};

// The 32-bit pixel the fill writes for a colour of 0..1 channels.
inline uint32_t PixelOf(float r, float g, float b) {
  auto channel = [](float c) { return static_cast<uint32_t>(c * 251.0f + 2.0f); };
  return channel(r) << 16 | channel(g) << 8 | channel(b);
}

// Channels of two pixels differ by at most one step of the fill's rounding.
inline ::testing::AssertionResult PixelsNear(uint32_t actual, uint32_t expected) {
  for (int shift : {16, 8, 0}) {
    const int a = static_cast<int>(actual >> shift & 0xFF);
    const int e = static_cast<int>(expected >> shift & 0xFF);
    if (a - e > 1 || e - a > 1) {
      return ::testing::AssertionFailure() << std::hex << "pixel 0x" << actual << ", expected 0x" << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace vx::test
