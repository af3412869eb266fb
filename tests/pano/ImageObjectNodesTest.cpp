// WorldIMob and ScreenIMob in drawn worlds, over pictures and GIF frame
// sets and movies that the tests write: placement, picks and the key
// colour, filename fallback, loading and unloading, object-movie frames,
// drags, movie loops and hostile crops and transforms.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "engine/pano/nodes/ScreenIMobNode.h"
#include "engine/pano/nodes/WorldIMobNode.h"
#include "platform/Clock.h"
#include "tests/media/IndexedTestFiles.h"
#include "tests/nodes/EventRecorder.h"
#include "tests/nodes/RenderedWorld.h"
#include "tests/platform/TestEnvironment.h"

namespace vx::test {
namespace {

using Bgr = std::array<uint8_t, 3>;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kGreen = 0x00FF00;

Bgr Red(int, int) { return {0, 0, 255}; }

// Three 4 x 4 frames: red, green, and the third entry of the test table.
std::string ThreeFrameGif() {
  return MakeGif(4, 4, {SolidFrame(0, 0, 4, 4, 1), SolidFrame(0, 0, 4, 4, 2), SolidFrame(0, 0, 4, 4, 3)}, TestTable(4));
}

class ImageObjects : public RenderedWorld {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) { return folder.Write(name, bytes); }
  CScreenIMobNode& Screen(const char* name = "Img") { return static_cast<CScreenIMobNode&>(Named(name)); }
  CWorldIMobNode& World(const char* name = "Img") { return static_cast<CWorldIMobNode&>(Named(name)); }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) {
      clock.Advance(100);
      Frame();
    }
  }
  // Whether the node was picked, or is the fallback target, this frame.
  bool Targeted(CNode& node) const {
    for (CNode* target : view.GetPointerTargets()) {
      if (target == &node) return true;
    }
    return false;
  }
  uint32_t Rgb(int x, int y) const { return Pixel(x, y) & 0xFFFFFF; }

  ManualClock clock{5000};
  TemporaryFolder folder{"vximob"};
};

TEST_F(ImageObjects, AScreenImageTakesItsOwnSizeAtItsAlignmentMovedByTheTransform) {
  const std::string red = Write("red.bmp", Bmp24(10, 6, Red));
  Load("DEF Img ScreenIMob { filename \"" + red + "\" alignment \"BOTTOM_RIGHT\" }");
  Frames(2);
  const ScreenRect rect = Screen().GetPlacedRect();
  EXPECT_EQ(rect.right, 64);
  EXPECT_EQ(rect.bottom, 64);
  EXPECT_EQ(rect.Width(), 10);
  EXPECT_EQ(rect.Height(), 6);
  EXPECT_EQ(Rgb(63, 63), kRed);
  EXPECT_EQ(Rgb(54, 58), kRed);
  EXPECT_EQ(Rgb(53, 63), 0u);
  EXPECT_EQ(Rgb(63, 57), 0u);
  int32_t width = 0, height = 0;
  Screen().GetSize(&width, &height);
  EXPECT_EQ(width, 10);
  EXPECT_EQ(height, 6);

  Load("Transform { translation -5 -3 0 children DEF Img ScreenIMob { filename \"" + red +
       "\" alignment \"NOWHERE\" width 20 height 12 } }");
  Frames(2);
  const ScreenRect moved = Screen().GetPlacedRect();
  EXPECT_EQ(moved.left, 32 - 10 - 5) << "an unknown keyword centres";
  EXPECT_EQ(moved.top, 32 - 6 - 3);
  EXPECT_EQ(moved.Width(), 20);
  EXPECT_EQ(Rgb(moved.left, moved.top), kRed);
  EXPECT_EQ(Rgb(moved.right - 1, moved.bottom - 1), kRed) << "stretched to the fields' size";
  EXPECT_EQ(Rgb(moved.right, moved.bottom), 0u);
}

// An 8 x 8 picture, green (the key) on the left half and red on the right,
// at the top-left corner.
class ScreenPicks : public ImageObjects {
 protected:
  void LoadKeyed(const std::string& extra) {
    const std::string picture = Write("halves.bmp", Bmp24(8, 8, [](int x, int) {
                                        return x < 4 ? Bgr{0, 255, 0} : Bgr{0, 0, 255};
                                      }));
    Load("DEF Img ScreenIMob { filename \"" + picture + "\" alignment \"TOP_LEFT\" " + extra + " }");
    Frames(2);
  }
  bool PickedAt(int x, int y) {
    view.SetPointer(x, y);
    Frame();
    return Targeted(Screen());
  }
};

TEST_F(ScreenPicks, TheKeyColourNeitherDrawsNorPicksAndTheEdgesDoNotPick) {
  LoadKeyed("blueScreen 0 1 0");
  EXPECT_EQ(Rgb(2, 4), 0u) << "keyed out";
  EXPECT_EQ(Rgb(6, 4), kRed);
  EXPECT_FALSE(PickedAt(2, 4)) << "a key-coloured pixel";
  EXPECT_TRUE(PickedAt(6, 4));
  EXPECT_EQ(view.GetNearestPickDepth(), 0);
  EXPECT_FLOAT_EQ(Screen().GetPointerInImage().x, 0.75f);
  EXPECT_FLOAT_EQ(Screen().GetPointerInImage().y, 0.5f);
  EXPECT_FALSE(PickedAt(0, 4)) << "the left edge";
  EXPECT_FALSE(PickedAt(6, 0)) << "the top edge";
  EXPECT_FALSE(PickedAt(8, 4)) << "past the right edge";
}

TEST_F(ScreenPicks, WithoutKeyColourEveryPixelPicksAndClickAndOverSendTheirPoints) {
  LoadKeyed("blueScreen -1 -1 -1");
  EXPECT_EQ(Rgb(2, 4), kGreen);
  CNodeRef over = RecordInto(Screen(), "overPt", "vec2");
  CNodeRef good = RecordInto(Screen(), "goodOver", "flag");
  EXPECT_TRUE(PickedAt(2, 4));
  EXPECT_FLOAT_EQ(As<CEventRecorder>(over).vec2.x, 0.25f) << "over is dispatched with the frame";
  EXPECT_EQ(As<CEventRecorder>(good).flag, 1);

  CNodeRef click = RecordInto(Screen(), "clickPt", "vec2");
  CNodeRef goodClick = RecordInto(Screen(), "goodClick", "flag");
  Screen().OnPointerClick(&view);
  EXPECT_FLOAT_EQ(As<CEventRecorder>(click).vec2.x, 0.25f);
  EXPECT_FLOAT_EQ(As<CEventRecorder>(click).vec2.y, 0.5f);
  EXPECT_EQ(As<CEventRecorder>(goodClick).log, (std::vector<std::string>{"flag"}));
}

TEST_F(ScreenPicks, OpacityIsHeldToZeroToOneAndZeroCannotBePicked) {
  LoadKeyed("opacity 1.5");
  EXPECT_FLOAT_EQ(Screen().opacity, 1.0f);
  EXPECT_TRUE(PickedAt(6, 4));
  LoadKeyed("opacity -2");
  EXPECT_FLOAT_EQ(Screen().opacity, 0.0f);
  EXPECT_FALSE(PickedAt(6, 4));
  EXPECT_EQ(Rgb(6, 4), kRed) << "still drawn";
}

TEST_F(ImageObjects, AFilenameThatFailsGivesWayToTheNextAndUnloadingStartsOver) {
  const std::string red = Write("red.bmp", Bmp24(4, 4, Red));
  Load("DEF Img ScreenIMob { filename [ \"" + folder.Path() + "/missing.bmp" + "\", \"" + red +
       "\" ] alignment \"TOP_LEFT\" }");
  Frames(3);
  EXPECT_EQ(Rgb(1, 1), kRed);

  world->RenderView(RenderPass::Deactivate, &view);
  EXPECT_FALSE(Screen().IsLoaded());
  EXPECT_EQ(Screen().Handle(), nullptr);
  EXPECT_TRUE(world->GetOverlays().empty()) << "its overlay goes with its media";
  Frame();
  EXPECT_TRUE(world->GetOverlays().empty()) << "an unloaded node shows nothing";

  world->RenderView(RenderPass::Activate, &view);
  ASSERT_NE(Screen().Handle(), nullptr);
  Frames(3);
  ASSERT_EQ(world->GetOverlays().size(), 1u) << "loaded again from the first filename on";
  EXPECT_EQ(world->GetOverlays()[0].node, &Screen());
}

TEST_F(ImageObjects, UnknownTypesAndMissingFilesShowNothing) {
  const std::string red = Write("red.bmp", Bmp24(4, 4, Red));
  Load("DEF Img ScreenIMob { filename \"" + red +
       "\" type \"SOMETHING\" }"
       "DEF Other ScreenIMob { filename \"" +
       folder.Path() + "/missing.bmp" + "\" }");
  Frames(3);
  EXPECT_EQ(Screen().Handle(), nullptr);
  EXPECT_TRUE(world->GetOverlays().empty());
  EXPECT_TRUE(std::all_of(Pixels().begin(), Pixels().end(), [](uint32_t p) { return (p & 0xFFFFFF) == 0; }));
}

// Every overlay of the frame lies inside the frame, and its source inside
// the node's picture.
::testing::AssertionResult OverlaysInside(const CBrowser& world, const PixelMap& frame, CMediaHandle* handle) {
  PixelMap image;
  if (!handle || handle->GetImageInfo(&image) != 0) return ::testing::AssertionSuccess();
  for (const OverlayEntry& entry : world.GetOverlays()) {
    const auto inside = [](const PixelMap& part, const PixelMap& whole) {
      const uint8_t* end = whole.Row(whole.height - 1) + static_cast<ptrdiff_t>(whole.width) * whole.bytesPerPixel;
      const uint8_t* partEnd = part.Row(part.height - 1) + static_cast<ptrdiff_t>(part.width) * part.bytesPerPixel;
      return part.bits >= whole.bits && partEnd <= end && part.width <= whole.width && part.height <= whole.height;
    };
    if (!inside(entry.destination, frame)) return ::testing::AssertionFailure() << "destination outside the frame";
    if (!inside(entry.source, image)) return ::testing::AssertionFailure() << "source outside the picture";
  }
  return ::testing::AssertionSuccess();
}

TEST_F(ImageObjects, HostileCropsSizesAndTransformsNeverReachOutsideThePictureOrTheFrame) {
  const std::string picture = Write("gradient.bmp", Bmp24(13, 9, [](int x, int y) {
                                      return Bgr{static_cast<uint8_t>(x * 19), static_cast<uint8_t>(y * 27), 200};
                                    }));
  const char* const crops[] = {"",
                               "texCoords [ 10 2 3 8 ]",
                               "texCoords [ 3 8 10 2 ]",
                               "texCoords [ -5 -5 100 100 ]",
                               "texCoords [ 12 8 13 9 ]",
                               "texCoords [ 13 9 20 20 ]",
                               "texCoords [ -2147483648 0 2147483647 9 ]",
                               "texCoords [ 2 2 ]"};
  const char* const sizes[] = {"", "width 2147483647 height 2147483647", "width -2147483648 height -5",
                               "width 1 height 1", "width 500 height 3"};
  const char* const transforms[] = {
      "scale 1 1 1",         "scale -1 -1 1",          "scale 1000 0.01 1", "scale 1e30 1e30 1",
      "translation 60 60 0", "translation -1e9 1e9 0", "scale 0 0 0",       "translation -7 -5 0 scale 3 3 1"};
  const char* const alignments[] = {"TOP_LEFT", "BOTTOM_RIGHT", "CENTER", "RIGHT"};
  for (const char* crop : crops) {
    for (const char* size : sizes) {
      for (const char* transform : transforms) {
        const std::string alignment = alignments[(std::string(crop).size() + std::string(size).size()) % 4];
        Load(std::string("Transform { ") + transform + " children DEF Img ScreenIMob { filename \"" + picture +
                 "\" alignment \"" + alignment + "\" blueScreen 0 0 0 " + crop + " " + size + " } }",
             37, 29);
        for (const auto& [x, y] : {std::pair{0, 0}, {18, 14}, {36, 28}, {-3, 40}}) {
          view.SetPointer(x, y);
          Frame();
          ASSERT_TRUE(OverlaysInside(*world, view.GetFrameBuffer(), Screen().Handle()))
              << crop << " / " << size << " / " << transform;
        }
      }
    }
  }
}

// An object movie of three frames along the first axis, a full turn.
class ObjectMovies : public ImageObjects {
 protected:
  std::string frames = Write("frames.gif", ThreeFrameGif());
  std::string Movie(const char* node, const char* type, const std::string& extra, const char* range = "0 360 0 0 0 0") {
    return std::string("DEF Img ") + node + " { filename \"" + frames + "\" type \"" + type +
           "\" quantization [ 3 1 1 ] range [ " + range + " ] " + extra + " }";
  }
};

TEST_F(ObjectMovies, TheViewAnglesChooseTheFrameAndDragsTurnThem) {
  Load(Movie("ScreenIMob", "SPHERE", "alignment \"TOP_LEFT\" defaultView [ 120 0 0 ]"));
  Frames(2);
  EXPECT_EQ(Screen().GetFrameIndices(), (FrameIndices{1, 0, 0}));
  EXPECT_EQ(Rgb(1, 1), kGreen) << "the second frame";

  Screen().OnPointerDrag(1, 0.0f, 0.25f);  // + 360 x 0.25 x 2 = 180 degrees
  Frames(1);
  EXPECT_EQ(Screen().GetFrameIndices()[0], 2);
  EXPECT_FLOAT_EQ(Screen().GetViewAngles()[0], 300.0f);
  Screen().OnPointerDrag(2, 0.0f, 0.25f);
  Screen().OnPointerDrag(1, 0.0f, 0.25f);  // 480 wraps to 120
  Frames(1);
  EXPECT_FLOAT_EQ(Screen().GetViewAngles()[0], 120.0f) << "only button 1 drags";
  EXPECT_EQ(Screen().GetFrameIndices()[0], 1);
  EXPECT_EQ(Rgb(1, 1), kGreen);

  Screen().interactive = 0;
  Screen().OnPointerDrag(1, 0.0f, 0.25f);
  EXPECT_FLOAT_EQ(Screen().GetViewAngles()[0], 120.0f) << "not interactive";
}

TEST_F(ObjectMovies, DragsOfAnySizeLeaveAFrameOfTheGrid) {
  Load(Movie("WorldIMob", "SPHERE", "animRate [ 1e300 -1e300 1e300 ]"));
  const float huge = std::numeric_limits<float>::max();
  for (const auto& [dx, dy] : {std::pair{huge, -huge}, {std::nanf(""), 1.0f}, {INFINITY, -INFINITY}}) {
    World().OnPointerDrag(1, dx, dy);
    Frames(1);
    for (float angle : World().GetViewAngles()) EXPECT_TRUE(std::isfinite(angle));
    EXPECT_GE(World().GetFrameIndices()[0], 0);
    EXPECT_LT(World().GetFrameIndices()[0], 3);
  }
}

TEST_F(ObjectMovies, AMovieLoopsForever) {
  Load("DEF Img ScreenIMob { filename \"" + frames + "\" type \"MOVIE\" alignment \"TOP_LEFT\" }");
  std::vector<uint32_t> seen;
  for (int i = 0; i < 40; ++i) {
    Frames(1);
    if (seen.empty() || seen.back() != Rgb(1, 1)) seen.push_back(Rgb(1, 1));
  }
  EXPECT_TRUE(Screen().IsMoviePlaying());
  const auto firstRed = std::find(seen.begin(), seen.end(), kRed);
  ASSERT_NE(firstRed, seen.end());
  EXPECT_NE(std::find(firstRed + 1, seen.end(), kRed), seen.end()) << "red again after the other frames";
  EXPECT_GE(std::set<uint32_t>(seen.begin(), seen.end()).size(), 3u);
}

TEST_F(ObjectMovies, ADiskTakesItsFirstAngleFromTheDistanceAndItsDrags) {
  Load("Viewpoint { position 3 1 7 }" + Movie("WorldIMob", "DISK", "", "0 2 0 0 0 0"));
  Frames(2);
  EXPECT_EQ(World().GetFrameIndices()[0], 1) << "|1 + 0| = 1 of 0..2 over three frames";
  World().OnPointerDrag(1, 0.0f, 0.5f);  // u += 2 x 0.5 x 0.5
  EXPECT_FLOAT_EQ(World().GetDiskDrag(), 0.5f);
  Frames(1);
  EXPECT_EQ(World().GetFrameIndices()[0], 2);
  EXPECT_FLOAT_EQ(World().GetViewAngles()[0], 0.0f) << "the viewer's part lasts one frame";
}

// A 4 x 3 quad at the origin with a red picture.
class WorldQuad : public ImageObjects {
 protected:
  void LoadSeenFrom(const std::string& viewpoint) {
    const std::string red = Write("red.bmp", Bmp24(4, 4, Red));
    Load("Viewpoint { " + viewpoint + " } DEF Img WorldIMob { filename \"" + red + "\" type \"PICT\" }");
    Frames(1);
  }
  CVec3f Vertex(int i) { return World().GetMesh()->GetVertex(i); }
};

void ExpectNear(const CVec3f& actual, const CVec3f& expected) {
  EXPECT_NEAR(actual.x, expected.x, 1e-4f);
  EXPECT_NEAR(actual.y, expected.y, 1e-4f);
  EXPECT_NEAR(actual.z, expected.z, 1e-4f);
}

TEST_F(WorldQuad, TheQuadFacesTheViewerUpright) {
  LoadSeenFrom("position 0 0 10");
  ExpectNear(Vertex(0), {-2, 1.5f, 0});
  ExpectNear(Vertex(1), {2, 1.5f, 0});
  ExpectNear(Vertex(2), {2, -1.5f, 0});
  ExpectNear(Vertex(3), {-2, -1.5f, 0});
  const uint32_t centre = Center();
  EXPECT_GT(centre >> 16 & 0xFF, 0x80u) << std::hex << centre;
  EXPECT_LT(centre >> 8 & 0xFF, 0x40u) << std::hex << centre;
  EXPECT_EQ(Rgb(1, 1), 0u);

  LoadSeenFrom("position 0 10 0 orientation 1 0 0 -1.5707963");
  const CVec3f up = Vertex(0) - Vertex(3);
  ExpectNear(up, {0, 0, -3});
}

TEST_F(WorldQuad, ThePointerReachesTheQuadThroughThePick) {
  LoadSeenFrom("position 0 0 10");
  view.SetPointer(32, 32);
  Frames(1);
  EXPECT_TRUE(Targeted(World()));
  CNodeRef click = RecordInto(World(), "clickPt", "vec2");
  World().OnPointerClick(&view);
  EXPECT_NEAR(As<CEventRecorder>(click).vec2.x, 0.5f, 0.1f);
  EXPECT_NEAR(As<CEventRecorder>(click).vec2.y, 0.5f, 0.1f);

  view.SetPointer(1, 1);
  Frames(1);
  EXPECT_FALSE(Targeted(World()));
  view.SetButtonDown(true);
  view.SetPointer(32, 32);
  Frames(1);
  EXPECT_FALSE(Targeted(World())) << "no pick while the button is held";
}

TEST_F(WorldQuad, HostileSizesDrawNothingAndUnloadingDropsTheMesh) {
  const std::string red = Write("red.bmp", Bmp24(4, 4, Red));
  for (const char* size : {"width 1e38 height 1e38", "width -1e30 height 3", "width 0 height 0"}) {
    Load("Viewpoint { position 0 0 10 } DEF Img WorldIMob { filename \"" + red + "\" type \"PICT\" " + size + " }");
    view.SetPointer(32, 32);
    Frames(2);
  }
  world->RenderView(RenderPass::Deactivate, &view);
  EXPECT_EQ(World().GetMesh(), nullptr);
  EXPECT_EQ(World().Handle(), nullptr);
  Frames(1);
  world->RenderView(RenderPass::Activate, &view);
  EXPECT_NE(World().GetMesh(), nullptr);
}

}  // namespace
}  // namespace vx::test
