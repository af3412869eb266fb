// Worlds with Vista nodes, written to files with their pictures and shown by
// a headless view that draws into a 32-bit frame of the test's, with the
// pointer and keys fed by the test and the host's callback logged.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/pano/nodes/VistaLegacyNode.h"
#include "engine/pano/nodes/VistaNode.h"
#include "engine/scene/SceneReader.h"
#include "engine/world/Browser.h"
#include "engine/world/SceneView.h"
#include "tests/media/JpegTestPictures.h"
#include "tests/nodes/NodeTestSupport.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {

inline constexpr int kVistaFrameWidth = 96;
inline constexpr int kVistaFrameHeight = 64;

// The line that makes the reader take "Vista" as the version-1.5 node.
inline std::string VistaPrototype() {
  return "EXTERNPROTO Vista [ ] \"" + std::string(kVistaPrototypeUrl) + "\"\n";
}

// Eight upright stripes of distinct colours round the panorama, stripe 0 at
// the picture's left edge.
inline constexpr uint32_t kStripeColours[] = {0xE02020, 0x20E020, 0x2020E0, 0xE0E020,
                                              0x20E0E0, 0xE020E0, 0xF0F0F0, 0x202020};

inline TestPicture StripedPanorama(int width = 256, int height = 128) {
  TestPicture picture{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) picture.xrgb.push_back(kStripeColours[x * 8 / width]);
  return picture;
}

// The stripe whose colour the pixel is nearest to.
inline int StripeOf(uint32_t pixel) {
  int best = -1, bestDistance = 1 << 30;
  for (int i = 0; i < 8; ++i) {
    int distance = 0;
    for (int shift : {16, 8, 0}) {
      const int d = static_cast<int>(pixel >> shift & 0xFF) - static_cast<int>(kStripeColours[i] >> shift & 0xFF);
      distance += d * d;
    }
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  return best;
}

class VistaWorldTest : public ::testing::Test {
 protected:
  VistaWorldTest() : pixels_(static_cast<size_t>(kVistaFrameWidth * kVistaFrameHeight), 0u) {
    view->SetFlags(kViewHostFedInput);
    view->SetRect({0, 0, static_cast<int16_t>(kVistaFrameHeight), static_cast<int16_t>(kVistaFrameWidth)});
    view->SetTargetBuffer(FrameOver(pixels_, kVistaFrameWidth, kVistaFrameHeight));
    view->AttachBrowser(&world);
    view->SetFocus(true);
    view->SetCallback({this, &VistaWorldTest::Record});
  }

  std::string WriteJpeg(const std::string& name, const TestPicture& picture) {
    return folder.Write(name, CompressJpeg(picture, JpegKind::Baseline, 90));
  }
  // Writes the world and has the view load it and draw `ticks` frames.
  void Load(const std::string& body, int ticks = 3) {
    const std::string path = folder.Write("world.wrl", "#VRML V2.0 utf8\n" + body);
    view->LoadWorld(path.c_str(), nullptr);
    Ticks(ticks);
  }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) view->Tick();
  }
  CNode& Named(const char* name) {
    CNode* node = world.FindNode(name);
    EXPECT_NE(node, nullptr) << name;
    return *node;
  }
  CVistaNode& Vista(const char* name) { return static_cast<CVistaNode&>(Named(name)); }
  CViewContext& Context() { return *view->GetContext(); }
  uint32_t Pixel(int x, int y) const { return pixels_[static_cast<size_t>(y * kVistaFrameWidth + x)] & 0xFFFFFF; }
  uint32_t Center() const { return Pixel(kVistaFrameWidth / 2, kVistaFrameHeight / 2); }
  std::vector<uint32_t> Frame() const {
    std::vector<uint32_t> out;
    for (int y = 0; y < kVistaFrameHeight; ++y)
      for (int x = 0; x < kVistaFrameWidth; ++x) out.push_back(Pixel(x, y));
    return out;
  }
  // Paints the frame with one colour, so that a frame left undrawn shows.
  void FillFrame(uint32_t colour) { std::fill(pixels_.begin(), pixels_.end(), colour); }
  void LookAt(float pitch, float yaw) {
    Context().SetOrientation(pitch, yaw, 0, true);
    Ticks(2);
  }
  float Yaw() {
    float pitch, yaw, roll;
    Context().GetOrientation(&pitch, &yaw, &roll);
    return yaw;
  }
  float Pitch() {
    float pitch, yaw, roll;
    Context().GetOrientation(&pitch, &yaw, &roll);
    return pitch;
  }
  static void SetBind(CNode& node, bool on) {
    const int16_t value = on ? 1 : 0;
    (void)node.ReceiveEvent("set_bind", &value);
  }

  TemporaryFolder folder{"vxvista"};
  CBrowser world;
  std::unique_ptr<CSceneView> view = std::make_unique<CSceneView>(WindowHandle::None);
  // Codes and DEF names the host heard, in order.
  std::vector<std::pair<int32_t, std::string>> events;

 private:
  static void Record(int32_t code, void* data, void* self) {
    auto* test = static_cast<VistaWorldTest*>(self);
    test->events.emplace_back(code, code == ViewEventOpenLink ? "" : static_cast<const char*>(data));
  }

  std::vector<uint32_t> pixels_;
};

}  // namespace vx::test
