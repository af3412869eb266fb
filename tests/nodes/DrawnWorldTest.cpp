#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr int kSize = 64;
constexpr uint32_t kLitRed = 0x00FD0202u;  // ambient and headlight saturate the red channel

const char* const kRedQuad =
    "Shape { appearance Appearance { material Material { diffuseColor 1 0 0 } }"
    " geometry IndexedFaceSet { coord Coordinate { point [ -1 -1 0, 1 -1 0, 1 1 0, -1 1 0 ] }"
    " coordIndex [ 0 1 2 3 -1 ] } }";

// A 64 x 64 32-bit frame that a view context draws the world into, with the
// camera at the origin looking down -z: worlds of the system's convention.
class DrawnWorld : public ::testing::Test {
 protected:
  void Draw(const std::string& body) {
    world = test::ReadWorld(body, WorldConvention::kSystem);
    Render();
  }
  void Render() {
    PixelMap map;
    map.bits = reinterpret_cast<uint8_t*>(pixels.data());
    map.width = kSize;
    map.height = kSize;
    map.bytesPerPixel = 4;
    map.rowBytes = kSize * 4;
    view.SetFrameBuffer(map);
    world->RenderFrame(&view);
  }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * kSize + x)]; }
  // How many pixels of the frame have the colour.
  int Count(uint32_t color) const { return static_cast<int>(std::count(pixels.begin(), pixels.end(), color)); }

  std::vector<uint32_t> pixels = std::vector<uint32_t>(kSize * kSize, 0x00ABABABu);
  CViewContext view{WindowHandle::None, 0};
  std::unique_ptr<CBrowser> world;
};

TEST_F(DrawnWorld, ARedQuadReadFromTextIsDrawnRedOverTheBackground) {
  Draw(std::string("Transform { translation 0 0 -5 children ") + kRedQuad + " }");
  EXPECT_EQ(At(32, 32), kLitRed);
  EXPECT_EQ(At(19, 19), kLitRed);
  EXPECT_EQ(At(44, 44), kLitRed);
  EXPECT_EQ(At(0, 0), 0u) << "background elsewhere";
  EXPECT_EQ(At(10, 32), 0u);
  EXPECT_EQ(At(32, 54), 0u);
  EXPECT_EQ(Count(kLitRed) + Count(0), kSize * kSize);
  EXPECT_GT(Count(kLitRed), 24 * 24);
  EXPECT_LT(Count(kLitRed), 30 * 30);
}

TEST_F(DrawnWorld, DeepNestingDrawsAndLeavesTheStackAsItWas) {
  std::string body = kRedQuad;
  for (int i = 0; i < 40; ++i) body = "Transform { translation 0 0 -0.125 children " + body + " }";
  Draw(body);
  EXPECT_EQ(At(32, 32), kLitRed);
  EXPECT_EQ(view.GetMatrixTop(), -1);
}

TEST_F(DrawnWorld, AnAppearanceWithoutMaterialDrawsTheSameAfterAnyShape) {
  const std::string plain =
      "Transform { translation 1.5 0 -5 children Shape { appearance Appearance { } geometry Box { } } }";
  Draw(plain);
  const uint32_t alone = At(44, 32);
  ASSERT_NE(alone, 0u);
  Draw(std::string("Transform { translation -1.5 0 -5 children ") + kRedQuad + " }" + plain);
  EXPECT_EQ(At(20, 32), kLitRed);
  EXPECT_EQ(At(44, 32), alone) << "the red material does not leak into the next shape";
}

TEST_F(DrawnWorld, AGeometryNodeInTheMaterialFieldIsNotDrawn) {
  Draw("Transform { translation 0 0 -5 children Shape { appearance Appearance { material Box { } } } }");
  EXPECT_EQ(Count(0), kSize * kSize);
}

// A pointing-device sensor that only keeps its pick record.
class CSensorProbe : public test::CProbeNode {
 public:
  NodeTypeId GetTypeId() const override { return NodeTypeTouchSensor; }
};

TEST_F(DrawnWorld, ASensorBesideTheQuadTakesThePickUnderThePointer) {
  world = test::ReadWorld(std::string("Transform { translation 0 0 -5 children ") + kRedQuad + " }",
                          WorldConvention::kSystem);
  CNodeRef sensor = MakeNode<CSensorProbe>();
  CNodeRef added[] = {sensor};
  const MFNode value{1, added};
  ASSERT_EQ(test::TopNode<CNode>(*world).ReceiveEvent("addChildren", &value), 0);

  view.SetPointer(40, 24);
  Render();
  const PickRecord& pick = sensor->pick;
  EXPECT_EQ(pick.pointerX, 40);
  EXPECT_EQ(pick.pointerY, 24);
  EXPECT_GT(pick.hitPoint.x, 0.3f) << "right of the middle, in the quad's own coordinates";
  EXPECT_GT(pick.hitPoint.y, 0.3f) << "above the middle";
  EXPECT_NEAR(pick.hitPoint.z, 0.0f, 1e-3f);
  EXPECT_NEAR(pick.hitNormal.z, 1.0f, 1e-3f);
  EXPECT_EQ(view.GetPointerTargets(), std::vector<CNode*>{sensor.Get()});

  sensor->pick = PickRecord{};
  view.SetPointer(2, 2);
  Render();
  EXPECT_EQ(sensor->pick.pointerX, 2) << "the pointer is recorded even without a hit";
  EXPECT_EQ(sensor->pick.hitPoint.x, 0.0f);
  EXPECT_TRUE(view.GetPointerTargets().empty());
}

}  // namespace
}  // namespace vx
