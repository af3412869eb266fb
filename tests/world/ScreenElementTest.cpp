// ScreenElement: where its image lands on the frame, in which order
// elements are drawn and picked, and what it shows.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "WorldTestNodes.h"
#include "engine/world/nodes/ScreenElementNode.h"
#include "tests/nodes/NodeTestSupport.h"
#include "tests/render/GoldenImage.h"

namespace vx {
namespace {

constexpr int kWidth = 100;
constexpr int kHeight = 60;

struct Rect {
  int left, top, right, bottom;
  bool operator==(const Rect&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

// The frame pixels an overlay entry covers.
Rect Covered(const OverlayEntry& entry, const PixelMap& frame) {
  const auto offset = entry.destination.bits - frame.bits;
  const int top = static_cast<int>(offset / frame.rowBytes);
  const int left = static_cast<int>(offset % frame.rowBytes) / frame.bytesPerPixel;
  return {left, top, left + entry.destination.width, top + entry.destination.height};
}

// A world read from text, drawn into a headless 32-bit view after its
// preparation pass.
struct ElementWorld {
  explicit ElementWorld(const std::string& body) : world(test::ReadWorld(body)) {
    world->RenderView(RenderPass::Activate, &h.view);
  }
  void Frame() { world->RenderFrame(&h.view); }
  CScreenElementNode& Element(const char* name) { return static_cast<CScreenElementNode&>(*world->FindNode(name)); }
  Rect OnlyOverlay() {
    EXPECT_EQ(world->GetOverlays().size(), 1u);
    return world->GetOverlays().empty() ? Rect{} : Covered(world->GetOverlays()[0], h.frame.map);
  }

  test::HeadlessView h{kWidth, kHeight};
  std::unique_ptr<CBrowser> world;
};

std::string ColorBlock(const std::string& fields, const char* color = "0 1 0", const char* name = "E") {
  return std::string("Shape { appearance Appearance { material Material { diffuseColor ") + color +
         " } } geometry DEF " + name + " ScreenElement { " + fields + " } }\n";
}

std::string Textured(const std::string& texture, const std::string& fields) {
  return "Shape { appearance Appearance { material Material { } texture PixelTexture { " + texture +
         " } } geometry DEF E ScreenElement { " + fields + " } }\n";
}

// A 2 x 1 texture, red on the left and blue on the right, blue keyed out.
std::string KeyedTexture(const std::string& fields) {
  return Textured("image 2 1 3 0xFF0000 0x0000FF chromaKey 0 0 1", fields);
}

// 4 x 4 grey levels.
std::string GreyTexture(const std::string& fields) {
  return Textured("image 4 4 1 0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", fields);
}

TEST(ScreenElement, EachAlignmentAnchorsTheElementAndOffsetsCountTwiceWithoutCrop) {
  struct Case {
    const char* alignment;
    int left, top;
  };
  // A 20 x 10 element on a 100 x 60 frame; unknown words centre it.
  const Case cases[] = {{"TOP_LEFT", 0, 0},     {"TOP", 40, 0},     {"TOP_RIGHT", 80, 0},
                        {"LEFT", 0, 25},        {"CENTER", 40, 25}, {"RIGHT", 80, 25},
                        {"BOTTOM_LEFT", 0, 50}, {"BOTTOM", 40, 50}, {"BOTTOM_RIGHT", 80, 50},
                        {"top_left", 40, 25}};
  for (const Case& c : cases) {
    for (const bool crop : {false, true}) {
      SCOPED_TRACE(std::string(c.alignment) + (crop ? " crop" : ""));
      ElementWorld w(ColorBlock(std::string("alignment \"") + c.alignment + "\" width 20 height 10" +
                                (crop ? " crop TRUE" : "")));
      const int32_t offsetX = 3, offsetY = 2;
      (void)w.Element("E").ReceiveEvent("addOffsetX", &offsetX);
      (void)w.Element("E").ReceiveEvent("addOffsetY", &offsetY);
      w.Frame();
      const int times = crop ? 1 : 2;
      const int left = c.left + offsetX * times, top = c.top + offsetY * times;
      EXPECT_EQ(w.OnlyOverlay(), (Rect{left, top, std::min(left + 20, kWidth), std::min(top + 10, kHeight)}));
    }
  }
}

TEST(ScreenElement, TransformsMoveItAndBottomRightAlignmentCoversTheLastPixels) {
  ElementWorld w("Transform { translation 7 -4 0 children [" +
                 ColorBlock("alignment \"TOP_LEFT\" width 30 height 20") +
                 "] }\n"
                 "Shape { appearance Appearance { material Material { diffuseColor 1 0 0 } } "
                 "geometry DEF F ScreenElement { alignment \"BOTTOM_RIGHT\" width 100 height 50 layer 2 } }\n");
  w.Frame();
  ASSERT_EQ(w.world->GetOverlays().size(), 2u);
  EXPECT_EQ(Covered(w.world->GetOverlays()[0], w.h.frame.map), (Rect{0, 10, 100, 60})) << "layer 2 comes first";
  EXPECT_EQ(Covered(w.world->GetOverlays()[1], w.h.frame.map), (Rect{7, 0, 37, 16}))
      << "moved by the transform, clipped at the top";
  EXPECT_EQ(w.h.frame.Xrgb(99, 59) & 0xFF0000, 0xFF0000u) << "the red block is drawn";
  EXPECT_EQ(w.h.frame.Xrgb(8, 1), 0x00FF00u) << "the green one above it";
  EXPECT_EQ(w.h.frame.Xrgb(40, 5), 0u);
}

TEST(ScreenElement, AddedSizeGrowsItAndBottomRightAlignmentGrowsItUpAndLeft) {
  ElementWorld w(ColorBlock("alignment \"TOP_LEFT\" width 20 height 10") +
                 "Transform { translation 90 50 0 children [" +
                 ColorBlock("alignment \"TOP_LEFT\" width 20 height 10 alignBottomRight TRUE minWidth 30", "1 0 0", "F") +
                 "] }\n");
  const int32_t five = 5;
  for (const char* name : {"E", "F"}) {
    (void)w.Element(name).ReceiveEvent("addWidth", &five);
    (void)w.Element(name).ReceiveEvent("addHeight", &five);
  }
  w.Frame();
  ASSERT_EQ(w.world->GetOverlays().size(), 2u);
  EXPECT_EQ(Covered(w.world->GetOverlays()[0], w.h.frame.map), (Rect{0, 0, 25, 15}));
  // Placed at (90, 50) to (110, 60), grown up and left by 5, moved back by
  // its size, then widened to 30 to the left.
  EXPECT_EQ(Covered(w.world->GetOverlays()[1], w.h.frame.map), (Rect{60, 35, 90, 50}));
}

TEST(ScreenElement, AnElementOffTheFrameAddsNothingWhateverItsOffsets) {
  ElementWorld w(ColorBlock("alignment \"LEFT\" width 20 height 10"));
  const int32_t away = -15;
  (void)w.Element("E").ReceiveEvent("addOffsetX", &away);
  w.Frame();
  EXPECT_TRUE(w.world->GetOverlays().empty()) << "wholly left of the frame";
  for (const int32_t huge : {INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MIN}) {
    (void)w.Element("E").ReceiveEvent("addOffsetX", &huge);
    (void)w.Element("E").ReceiveEvent("addHeight", &huge);
    w.Frame();
  }
  EXPECT_TRUE(w.world->GetOverlays().empty());
  EXPECT_EQ(w.h.frame.Xrgb(0, 30), 0u);
}

TEST(ScreenElement, TheSmallestLayerIsDrawnLastAndPickedWhileKeyedPixelsPickNothing) {
  ElementWorld w(KeyedTexture("alignment \"TOP_LEFT\" width 40 height 20 layer 1") +
                 ColorBlock("alignment \"TOP_LEFT\" width 40 height 20 layer 5", "0 1 0", "G"));
  w.h.view.SetPointer(10, 10);
  w.Frame();
  EXPECT_EQ(w.h.frame.Xrgb(10, 10) & 0xFFFFFF, 0xFF0000u) << "the red half of layer 1 over layer 5";
  EXPECT_EQ(w.h.frame.Xrgb(30, 10), 0x00FF00u) << "the keyed half lets layer 5 show";
  std::vector<CNode*> picked = w.h.view.GetPointerTargets();
  ASSERT_EQ(picked.size(), 1u);
  EXPECT_EQ(picked[0], &w.Element("E"));
  EXPECT_EQ(w.h.view.GetNearestPickDepth(), 1);

  w.h.view.SetPointer(30, 10);
  w.Frame();
  picked = w.h.view.GetPointerTargets();
  ASSERT_EQ(picked.size(), 1u);
  EXPECT_EQ(picked[0], &w.Element("G")) << "the keyed pixel of layer 1 picks nothing there";

  w.h.view.SetPointer(40, 10);
  w.Frame();
  EXPECT_TRUE(w.h.view.GetPointerTargets().empty()) << "the right edge is outside";
}

TEST(ScreenElement, ATextureWithoutAnImageMakesNoColorBlockAndAMaterialAloneMakesOne) {
  ElementWorld w(
      "Shape { appearance Appearance { material Material { diffuseColor 0 1 0 } texture PixelTexture { } } "
      "geometry DEF E ScreenElement { width 10 height 10 } }\n" +
      ColorBlock("alignment \"TOP_LEFT\" width 12 height 8", "0 0 1", "F"));
  EXPECT_FALSE(w.Element("E").HasOwnImage());
  ASSERT_TRUE(w.Element("F").HasOwnImage());
  int32_t width = 0, height = 0;
  w.Element("F").GetSize(&width, &height);
  EXPECT_EQ(width, 12);
  EXPECT_EQ(height, 8);
  w.Frame();
  EXPECT_EQ(w.OnlyOverlay(), (Rect{0, 0, 12, 8}));
  EXPECT_EQ(w.h.frame.Xrgb(11, 7), 0x0000FFu);

  w.world->RenderView(RenderPass::Deactivate, &w.h.view);
  EXPECT_FALSE(w.Element("F").HasOwnImage());
  EXPECT_TRUE(w.world->GetOverlays().empty());
  w.world->RenderView(RenderPass::Activate, &w.h.view);
  EXPECT_TRUE(w.Element("F").HasOwnImage()) << "shown again, it makes its block again";
}

// The part of the texture an overlay shows lies inside the texture's pixels.
void ExpectInsideImage(const OverlayEntry& entry, const PixelMap& image) {
  const auto start = entry.source.bits - image.bits;
  ASSERT_GE(start, 0);
  const int top = static_cast<int>(start / image.rowBytes);
  const int left = static_cast<int>(start % image.rowBytes) / image.bytesPerPixel;
  EXPECT_LE(left + entry.source.width, image.width);
  EXPECT_LE(top + entry.source.height, image.height);
  EXPECT_GT(entry.source.width, 0);
}

TEST(ScreenElement, CropsAndClippingOfAStretchedImageNeverReachPastIt) {
  const char* fields[] = {
      "width 400 height 300",                              // larger than the frame on every side
      "alignment \"TOP_LEFT\" width 40 texCoords [1 1 9 9]",  // past the image's far edges
      "alignment \"TOP_LEFT\" width 40 texCoords [-5 -5 50 50]",
      "alignment \"BOTTOM_RIGHT\" width 90 height 70 texCoords [1 0 2 1]",
  };
  for (const char* f : fields) {
    SCOPED_TRACE(f);
    ElementWorld w("Transform { translation -30 0 0 children [" + GreyTexture(f) + "] }");
    w.h.view.SetPointer(5, 5);
    w.Frame();
    const PixelMap image = w.Element("E").ElementImage();
    for (const OverlayEntry& entry : w.world->GetOverlays()) ExpectInsideImage(entry, image);
  }
  for (const char* empty : {"texCoords [2 0 1 1]", "texCoords [0 0 0 1]", "texCoords [0 3 4 1]"}) {
    SCOPED_TRACE(empty);
    ElementWorld w(GreyTexture(std::string("width 10 height 10 ") + empty));
    w.Frame();
    EXPECT_TRUE(w.world->GetOverlays().empty()) << "an empty or inverted part shows nothing";
  }
}

TEST(ScreenElement, TheLeftHalfClippedOffShowsTheRightHalfOfTheImage) {
  ElementWorld w(Textured("image 2 1 3 0xFF0000 0x0000FF", "alignment \"TOP_LEFT\" width 40 height 10"));
  const int32_t left = -10;
  (void)w.Element("E").ReceiveEvent("addOffsetX", &left);  // counts twice: 20 pixels off the frame
  w.Frame();
  EXPECT_EQ(w.OnlyOverlay(), (Rect{0, 0, 20, 10}));
  EXPECT_EQ(w.h.frame.Xrgb(0, 0) & 0xFFFFFF, 0x0000FFu) << "the image's right half, not its left";
  EXPECT_EQ(w.h.frame.Xrgb(20, 0), 0u);
}

// A lit box with four overlays: a colour block in the top left corner, a
// cropped 4 x 4 picture stretched in the top right one, a keyed picture at
// the bottom with its black stripe keyed out, and a white block in the
// middle under the box's overlays. Seen from the origin, as the system's
// worlds are.
TEST(ScreenElement, OverlaysOverASceneMatchTheirGoldenImage) {
  test::HeadlessView h{96, 64};
  auto world = test::ReadWorld(
      "Transform { translation 0 0 -6 rotation 1 1 0 0.6 children Shape { appearance Appearance { material "
      "Material { diffuseColor 0.8 0.8 0.2 } } geometry Box { size 2 2 2 } } }\n" +
      ColorBlock("alignment \"TOP_LEFT\" width 16 height 12", "0.2 0.6 1") +
      Textured("image 4 4 3 0xFF0000 0x00FF00 0x0000FF 0xFFFFFF 0x00FFFF 0xFF00FF 0xFFFF00 0x000000 "
               "0x800000 0x008000 0x000080 0x808080 0x808000 0x800080 0x008080 0xC0C0C0",
               "alignment \"TOP_RIGHT\" width 24 height 24 texCoords [1 0 4 4]") +
      Textured("image 3 1 3 0xFF8000 0x000000 0xFF8000 chromaKey 0 0 0",
               "alignment \"BOTTOM\" width 30 height 8 layer 1") +
      ColorBlock("width 20 height 20 layer 3", "1 1 1", "M"),
      WorldConvention::kSystem);
  world->RenderView(RenderPass::Activate, &h.view);
  world->RenderFrame(&h.view);
  test::ExpectGoldenImage("world/screen_overlays.png", 96, 64, test::AsXrgb(h.frame.map, h.view.GetColorTable()), 2);
}

}  // namespace
}  // namespace vx
