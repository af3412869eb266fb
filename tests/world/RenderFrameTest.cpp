#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "WorldTestNodes.h"
#include "engine/world/BoundFog.h"

namespace vx {
namespace {

using test::TestFrame;

constexpr int kSize = 64;

// The extent of the pixels that differ from the corner's.
struct Extent {
  int left = kSize, top = kSize, right = -1, bottom = -1;
};

Extent DrawnExtent(const TestFrame& frame) {
  Extent e;
  for (int y = 0; y < kSize; ++y) {
    for (int x = 0; x < kSize; ++x) {
      if (frame.Xrgb(x, y) == frame.Xrgb(0, 0)) continue;
      e.left = std::min(e.left, x);
      e.right = std::max(e.right, x);
      e.top = std::min(e.top, y);
      e.bottom = std::max(e.bottom, y);
    }
  }
  return e;
}

// In a world of the system's convention the camera starts as the view
// context was made: at the origin, yaw 3.14, 25 degrees up from the middle.
TEST(RenderFrame, ClearsTheFrameAndDrawsASquareOfTheSceneInTheMiddle) {
  test::HeadlessView h(kSize, kSize, 4, 0xAB);
  CViewContext& view = h.view;
  const TestFrame& frame = h.frame;
  CBrowser world{WorldConvention::kSystem};
  // Half a unit each way at 5 units: tan(25 degrees) x 5 = 2.33 units from
  // the middle to the edge, so the square covers 32 / 2.33 = 13.7 pixels
  // each way (the default yaw of 3.14 turns the camera a little to the left).
  test::AddToScene(world, MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -5.0f, FloatColor{1.0f, 0.0f, 0.0f}));
  world.RenderFrame(&view);

  EXPECT_EQ(frame.Xrgb(0, 0), 0u) << "the frame was cleared to black";
  EXPECT_EQ(frame.Xrgb(kSize - 1, kSize - 1), 0u);
  // Ambient 0.25 and the headlight 1.0 saturate the red channel.
  EXPECT_EQ(frame.Xrgb(32, 32), 0x00FD0202u);
  const Extent e = DrawnExtent(frame);
  EXPECT_EQ(e.left, 18);
  EXPECT_EQ(e.right, 45);
  EXPECT_EQ(e.top, 18);
  EXPECT_EQ(e.bottom, 45);
  EXPECT_EQ(world.GetFrameCount(), 1);
}

TEST(RenderFrame, TheCameraMovesTheSquareAndTheHeadlightFollowsTheNavigationInfo) {
  test::HeadlessView h(kSize, kSize);
  CViewContext& view = h.view;
  const TestFrame& frame = h.frame;
  CBrowser world{WorldConvention::kSystem};
  test::AddToScene(world, MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -5.0f, FloatColor{1.0f, 1.0f, 1.0f}));
  view.SetPosition({1.0f, 0.0f, 0.0f}, false);
  view.SetOrientation(0.0f, 3.1415927f, 0.0f, false);
  CNodeRef navigation = test::MakeBindable(NodeTypeNavigationInfo, "nav");
  test::Bindable(navigation).headlight = 0;
  world.BindNavigationInfo(navigation.Get(), true);
  world.RenderFrame(&view);

  const Extent e = DrawnExtent(frame);
  // One unit to the right moves the square 13.7 pixels to the left: its
  // edges fall at 4.6 and 32 pixels.
  EXPECT_EQ(e.left, 5);
  EXPECT_EQ(e.right, 31);
  // Without the headlight only the ambient 0.25 lights it: 0.25 x 251 + 2,
  // truncated.
  EXPECT_EQ(frame.Xrgb(16, 32), 0x00404040u);
}

TEST(RenderFrame, LeftRightStereoDrawsEachEyeIntoItsHalf) {
  test::HeadlessView h(kSize, kSize);
  CViewContext& view = h.view;
  const TestFrame& frame = h.frame;
  view.SetStereoMode(StereoMode::LeftRight);
  CBrowser world{WorldConvention::kSystem};
  test::AddToScene(world, MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -5.0f, FloatColor{1.0f, 1.0f, 1.0f}));
  CNodeRef display = test::MakeBindable(NodeTypeDisplay, "display");
  world.BindDisplay(display.Get(), true);
  world.RenderFrame(&view);

  EXPECT_NE(frame.Xrgb(16, 32), 0u) << "left eye in the left half";
  EXPECT_NE(frame.Xrgb(48, 32), 0u) << "right eye in the right half";
  EXPECT_EQ(frame.Xrgb(32, 32), 0u);
  EXPECT_EQ(test::Bindable(display).frameCount, 1);
  // After the two eyes the render target covers the whole frame again.
  EXPECT_EQ(view.GetRenderTarget()->GetBufferDesc().width, kSize);
  EXPECT_EQ(view.GetPosition(), CVec3f(0.0f, 0.0f, 0.0f));
}

TEST(RenderFrame, ADisplayThatUnbindsItselfDuringTheFrameIsHeldUntilTheFrameEnds) {
  test::HeadlessView h(kSize, kSize);
  h.view.SetStereoMode(StereoMode::Interlaced);
  CBrowser world;
  test::AddToScene(world, MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -5.0f, FloatColor{1.0f, 1.0f, 1.0f}));
  CNodeRef display = test::MakeBindable(NodeTypeDisplay, "display");
  test::Bindable(display).onFrame = [](test::CBindable& node, CViewContext* view) {
    view->GetWorld()->BindDisplay(&node, false);
  };
  world.BindDisplay(display.Get(), true);
  display = CNodeRef();  // the bind stack holds the last reference
  world.RenderFrame(&h.view);
  EXPECT_EQ(world.GetDisplay(), nullptr);
  EXPECT_NE(h.frame.Xrgb(32, 30), 0u) << "interlaced: the left eye in the even rows";
}

// 8-bit frames, and 16-bit ones of odd width, pad their rows: the right eye
// starts one stride below the left eye, not one row of pixels further on.
TEST(RenderFrame, InterlacedStereoPutsTheRightEyeOnTheOddRowsOfAPaddedFrame) {
  constexpr int kOddWidth = kSize - 1;
  constexpr uint8_t kPadding = 0xEE;
  for (int bytes : {1, 2}) {
    const int rowBytes = (kOddWidth * bytes + 3) & ~3;
    std::vector<uint8_t> pixels(static_cast<size_t>(rowBytes) * kSize, kPadding);
    PixelMap map;
    map.bits = pixels.data();
    map.width = kOddWidth;
    map.height = kSize;
    map.bytesPerPixel = static_cast<uint16_t>(bytes);
    map.rowBytes = rowBytes;
    CViewContext view{WindowHandle::None, 0};
    view.SetFrameBuffer(map);
    view.SetStereoMode(StereoMode::Interlaced);
    CBrowser world;
    test::AddToScene(world,
                     MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -5.0f, FloatColor{1.0f, 1.0f, 1.0f}));
    CNodeRef display = test::MakeBindable(NodeTypeDisplay, "display");
    world.BindDisplay(display.Get(), true);
    world.RenderFrame(&view);

    // Without disparity both eyes see the same: each odd row repeats the
    // even row above it.
    const size_t rowPixels = static_cast<size_t>(kOddWidth) * bytes;
    int drawn = 0;
    for (int y = 0; y < kSize; ++y) {
      const uint8_t* row = map.Row(y);
      drawn += std::count_if(row, row + rowPixels, [](uint8_t b) { return b != 0; }) > 0;
      EXPECT_TRUE(std::all_of(row + rowPixels, row + rowBytes, [](uint8_t b) { return b == kPadding; }))
          << bytes << " bytes, row " << y << ": padding untouched";
      if (y % 2 == 1) {
        EXPECT_TRUE(std::equal(row, row + rowPixels, map.Row(y - 1))) << bytes << " bytes, row " << y;
      }
    }
    EXPECT_GT(drawn, 10) << bytes << " bytes";
  }
}

TEST(RenderFrame, OverlaysAreDrawnInLayerOrderAndThoseOutsideTheFrameAreSkipped) {
  test::HeadlessView h(kSize, kSize);
  CViewContext& view = h.view;
  const TestFrame& frame = h.frame;
  CBrowser world;
  TestFrame red(8, 8, 4), blue(8, 8, 4);
  std::fill(reinterpret_cast<uint32_t*>(red.pixels.data()), reinterpret_cast<uint32_t*>(red.pixels.data()) + 64,
            0x00FF0000u);
  std::fill(reinterpret_cast<uint32_t*>(blue.pixels.data()), reinterpret_cast<uint32_t*>(blue.pixels.data()) + 64,
            0x000000FFu);

  // An overlay node adds its entries while the scene is traversed.
  class COverlayNode : public CNode {
   public:
    std::vector<OverlayEntry> entries;
    void Traverse(RenderPass, CViewContext* v) override {
      for (const OverlayEntry& entry : entries) v->GetWorld()->AddOverlay(entry);
    }
  };
  CNodeRef node = MakeNode<COverlayNode>();
  auto& overlays = static_cast<COverlayNode&>(*node.Get());
  PixelMap target = frame.map;
  target.bits = frame.map.Row(4) + 4 * 4;
  target.width = target.height = 8;
  overlays.entries.push_back({red.map, target, {}, 0, nullptr, 1});
  overlays.entries.push_back({blue.map, target, {}, 0, nullptr, 5});
  PixelMap outside = target;
  outside.bits = frame.map.Row(60);  // 8 rows from row 60 pass the bottom
  overlays.entries.push_back({red.map, outside, {}, 0, nullptr, 9});
  test::AddToScene(world, node);
  world.RenderFrame(&view);

  EXPECT_EQ(frame.Xrgb(5, 5), 0x00FF0000u) << "the smaller layer is drawn last, on top";
  EXPECT_EQ(frame.Xrgb(5, 62), 0u);
  ASSERT_EQ(world.GetOverlays().size(), 3u);
  EXPECT_EQ(world.GetOverlays()[0].layer, 9);
  world.RenderFrame(&view);
  EXPECT_EQ(world.GetOverlays().size(), 3u) << "the list starts empty each frame";
}

// A fog the world knows by its fog side only: blue, complete one unit away.
class CStandInFog : public CNode, public IBoundFog {
 public:
  NodeTypeId GetTypeId() const override { return NodeTypeFog; }
  void ApplyFog(CViewContext* view) const override {
    ++applied;
    view->GetStage()->SetFog({0.0f, 0.0f, 1.0f, 1.0f}, 1.0f, 0);
  }
  mutable int applied = 0;

 protected:
  ~CStandInFog() override = default;
};

// A bound node of the Fog's type that is no fog (as a PROTO instance without
// a body stands for one) is left alone, and with the stack empty the scene is
// drawn clear again.
TEST(RenderFrame, TheBoundFogSetsTheStageFogEachFrameAndANodeThatIsNoFogIsLeftAlone) {
  test::HeadlessView h(kSize, kSize);
  CBrowser world{WorldConvention::kSystem};
  test::AddToScene(world, MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -5.0f, FloatColor{1.0f, 0.0f, 0.0f}));
  world.RenderFrame(&h.view);
  const uint32_t clear = h.frame.Xrgb(32, 32);

  const CNodeRef fog = MakeNode<CStandInFog>();
  const auto& standIn = static_cast<const CStandInFog&>(*fog.Get());
  world.BindFog(fog.Get(), true);
  world.RenderFrame(&h.view);
  world.RenderFrame(&h.view);
  EXPECT_EQ(standIn.applied, 2);
  const uint32_t fogged = h.frame.Xrgb(32, 32);
  EXPECT_GT(fogged & 0xFF, (fogged >> 16) & 0xFF) << "five units into a fog complete at one the square is blue";

  const CNodeRef notFog = test::MakeBindable(NodeTypeFog, "notFog");
  world.BindFog(notFog.Get(), true);
  world.RenderFrame(&h.view);
  EXPECT_EQ(standIn.applied, 2);

  world.BindFog(notFog.Get(), false);
  world.BindFog(fog.Get(), false);
  world.RenderFrame(&h.view);
  EXPECT_EQ(standIn.applied, 2);
  EXPECT_EQ(h.frame.Xrgb(32, 32), clear);
}

}  // namespace
}  // namespace vx
