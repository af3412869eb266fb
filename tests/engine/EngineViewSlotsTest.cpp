// Views through the engine module's slots: made on a platform window, ticked,
// driven by keys and the mouse, and asked for their camera.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/Clock.h"
#include "platform/HeadlessBackend.h"
#include "platform/Input.h"
#include "platform/InputState.h"
#include "tests/engine/EngineTestHost.h"
#include "tests/platform/WindowTestSupport.h"

namespace vx::test {
namespace {

constexpr int kWidth = 80;
constexpr int kHeight = 60;
constexpr Point kOrigin{200, 100};

// A red box in front of the camera.
constexpr const char* kWorld =
    "#VRML V2.0 utf8\n"
    "Transform { translation 0 0 -6 children [\n"
    "  Shape { appearance Appearance { material Material { diffuseColor 1 0 0 } } geometry Box { } }\n"
    "] }\n";

bool IsRed(uint32_t xrgb) { return (xrgb >> 16 & 0xFF) > 0xC0 && (xrgb >> 8 & 0xFF) < 0x40 && (xrgb & 0xFF) < 0x40; }

class EngineViewSlotsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseAllKeys();
    instance_ = Slot<VxCreateEngineInstanceFn>(VxEngineCreateEngineInstance)();
    scene_ = Slot<VxCreateSceneFn>(VxEngineCreateScene)(instance_);
    folder_ = std::filesystem::temp_directory_path() / ("vx-view-slots-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    Load(kWorld);
    window_ = windows_.Create(kWindowVisible, WindowHandle::None, kWidth, kHeight, kOrigin.x, kOrigin.y);
    DeliverPointerMove({kOrigin.x + kWidth / 2, kOrigin.y + kHeight / 2});
  }
  // Handles a test has destroyed itself are null.
  void TearDown() override {
    if (view_) {
      EXPECT_EQ(Slot<VxDestroyViewFn>(VxEngineDestroyView)(view_), EngineOk);
    }
    if (scene_) {
      EXPECT_EQ(Slot<VxDestroySceneFn>(VxEngineDestroyScene)(scene_), EngineOk);
    }
    if (instance_) {
      EXPECT_EQ(Slot<VxDestroyEngineInstanceFn>(VxEngineDestroyEngineInstance)(instance_), EngineOk);
    }
    std::filesystem::remove_all(folder_);
    ReleaseAllKeys();
  }

  // Writes the text as a file of the test's folder.
  std::string Write(const std::string& name, const std::string& text) {
    const std::filesystem::path file = folder_ / name;
    std::ofstream(file) << text;
    return file.string();
  }
  // Loads the text as the scene's world, before a view is made: a world of
  // the system's convention, whose camera starts at the origin.
  void Load(const std::string& text) {
    char path[VX_TEXT_BUFFER_SIZE] = {};
    std::snprintf(path, sizeof path, "%s", Write("world.tsw", text).c_str());
    char error[VX_TEXT_BUFFER_SIZE] = {};
    ASSERT_EQ(Slot<VxLoadSceneFileFn>(VxEngineLoadSceneFile)(scene_, path, error), EngineOk) << error;
  }
  // A click in the middle of the view after a tick that finds what lies there.
  void Click() {
    Tick();
    EXPECT_EQ(Slot<VxViewActionFn>(VxEngineViewMouseDown)(view_), EngineOk);
    EXPECT_EQ(Slot<VxViewActionFn>(VxEngineViewMouseUp)(view_), EngineOk);
  }

  ViewHandle* MakeView(ViewFlags flags = 0x14) {
    view_ = Slot<VxCreateViewFn>(VxEngineCreateView)(scene_, static_cast<VxWindow>(window_), nullptr, flags);
    if (view_) {
      EXPECT_EQ(Slot<VxSetViewFocusFn>(VxEngineSetViewFocus)(view_, 1), EngineOk);
    }
    return view_;
  }
  void Tick() { EXPECT_EQ(Slot<VxViewActionFn>(VxEngineTickView)(view_), EngineOk); }
  float Yaw() {
    float pitch = 0, yaw = 0, roll = 0;
    EXPECT_EQ(Slot<VxGetCameraOrientationFn>(VxEngineGetCameraOrientation)(view_, &pitch, &yaw, &roll), EngineOk);
    return yaw;
  }

  RecordingClass windows_;
  WindowHandle window_ = WindowHandle::None;
  EngineInstance* instance_ = nullptr;
  SceneHandle* scene_ = nullptr;
  ViewHandle* view_ = nullptr;
  std::filesystem::path folder_;
};

TEST_F(EngineViewSlotsTest, AViewNeedsALoadedSceneAndAWindowAndHoldsItsSceneUntilDestroyed) {
  auto create = Slot<VxCreateViewFn>(VxEngineCreateView);
  SceneHandle* empty = Slot<VxCreateSceneFn>(VxEngineCreateScene)(instance_);
  EXPECT_EQ(create(empty, static_cast<VxWindow>(window_), nullptr, 0), nullptr) << "no world loaded";
  EXPECT_EQ(create(nullptr, static_cast<VxWindow>(window_), nullptr, 0), nullptr);
  EXPECT_EQ(create(scene_, 0, nullptr, 0), nullptr);
  EXPECT_EQ(create(scene_, 0xFFFF0001u, nullptr, 0), nullptr) << "no such window";
  EXPECT_EQ(Slot<VxDestroySceneFn>(VxEngineDestroyScene)(empty), EngineOk);

  ASSERT_NE(MakeView(), nullptr);
  EXPECT_EQ(Slot<VxGetViewSceneFn>(VxEngineGetViewScene)(view_), scene_);
  EXPECT_EQ(Slot<VxDestroySceneFn>(VxEngineDestroyScene)(scene_), EngineSceneHasViews);
  VxWindow window = 0;
  EXPECT_EQ(Slot<VxGetViewWindowFn>(VxEngineGetViewWindow)(view_, &window), EngineOk);
  EXPECT_EQ(window, static_cast<VxWindow>(window_));
}

TEST_F(EngineViewSlotsTest, NullViewHandlesGiveTwo) {
  uint16_t rect[4] = {};
  VxTargetBuffer target{};
  float xyz[3] = {};
  float a = 0, b = 0, c = 0;
  VxWindow window = 0;
  const ViewCallback callback{};
  EXPECT_EQ(Slot<VxGetViewSceneFn>(VxEngineGetViewScene)(nullptr), nullptr);
  for (VxEngineSlot slot : {VxEngineDestroyView, VxEngineViewMouseDown, VxEngineViewMouseUp, VxEngineTickView})
    EXPECT_EQ(Slot<VxViewActionFn>(slot)(nullptr), EngineNullArgument) << "slot " << slot;
  EXPECT_EQ(Slot<VxSetViewWindowFn>(VxEngineSetViewWindow)(nullptr, 1), EngineNullArgument);
  EXPECT_EQ(Slot<VxGetViewWindowFn>(VxEngineGetViewWindow)(nullptr, &window), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetViewRectFn>(VxEngineSetViewRect)(nullptr, rect), EngineNullArgument);
  EXPECT_EQ(Slot<VxGetViewRectFn>(VxEngineGetViewRect)(nullptr, rect), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetViewTargetBufferFn>(VxEngineSetViewTargetBuffer)(nullptr, &target), EngineNullArgument);
  EXPECT_EQ(Slot<VxGetViewTargetBufferFn>(VxEngineGetViewTargetBuffer)(nullptr, &target), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetViewCallbackFn>(VxEngineSetViewCallback)(nullptr, &callback), EngineNullArgument);
  EXPECT_EQ(Slot<VxGetCameraPositionFn>(VxEngineGetCameraPosition)(nullptr, xyz), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetCameraPositionFn>(VxEngineSetCameraPosition)(nullptr, xyz), EngineNullArgument);
  EXPECT_EQ(Slot<VxGetCameraOrientationFn>(VxEngineGetCameraOrientation)(nullptr, &a, &b, &c), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetCameraOrientationFn>(VxEngineSetCameraOrientation)(nullptr, a, b, c), EngineNullArgument);
  EXPECT_EQ(Slot<VxGetCameraFieldOfViewFn>(VxEngineGetCameraFieldOfView)(nullptr, &a), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetCameraFieldOfViewFn>(VxEngineSetCameraFieldOfView)(nullptr, a), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetViewKeyFn>(VxEngineSetViewKey)(nullptr, 'a'), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetViewFocusFn>(VxEngineSetViewFocus)(nullptr, 1), EngineNullArgument);
  EXPECT_EQ(Slot<VxSetViewBorderFn>(VxEngineSetViewBorder)(nullptr, 1, nullptr), EngineNullArgument);
}

TEST_F(EngineViewSlotsTest, ATickDrawsTheWorldIntoTheWindowAndTheCameraIsReadableAfterIt) {
  ASSERT_NE(MakeView(), nullptr);
  float xyz[3] = {};
  EXPECT_EQ(Slot<VxGetCameraPositionFn>(VxEngineGetCameraPosition)(view_, xyz), EngineNullArgument)
      << "no camera before the first tick";
  Tick();
  const auto frame = Headless().LastFrame(window_);
  ASSERT_TRUE(frame);
  EXPECT_TRUE(IsRed(frame->At(kWidth / 2, kHeight / 2))) << "the red box";
  EXPECT_EQ(frame->At(2, 2), 0u);

  float fieldOfView = 0;
  EXPECT_EQ(Slot<VxGetCameraFieldOfViewFn>(VxEngineGetCameraFieldOfView)(view_, &fieldOfView), EngineOk);
  EXPECT_FLOAT_EQ(fieldOfView, 0.4363323f);
  const float moved[3] = {0.0f, 0.0f, 20.0f};
  EXPECT_EQ(Slot<VxSetCameraPositionFn>(VxEngineSetCameraPosition)(view_, moved), EngineOk);
  EXPECT_EQ(Slot<VxSetCameraOrientationFn>(VxEngineSetCameraOrientation)(view_, 0.0f, 0.0f, 0.0f), EngineOk);
  Tick();
  EXPECT_EQ(Slot<VxGetCameraPositionFn>(VxEngineGetCameraPosition)(view_, xyz), EngineOk);
  EXPECT_FLOAT_EQ(xyz[2], 20.0f);
  EXPECT_EQ(Headless().LastFrame(window_)->At(kWidth / 2, kHeight / 2), 0u) << "turned away from the box";
}

// A field set by the host takes effect as one set by an event: the box made
// smaller is drawn smaller on the next tick.
TEST_F(EngineViewSlotsTest, AFieldTheHostSetsChangesWhatTheNextTickDraws) {
  Load("#VRML V2.0 utf8\n"
       "Transform { translation 0 0 -6 children [\n"
       "  Shape { appearance Appearance { material Material { diffuseColor 1 0 0 } } geometry DEF B Box { } }\n"
       "] }\n");
  ASSERT_NE(MakeView(), nullptr);
  Tick();
  ASSERT_TRUE(IsRed(Headless().LastFrame(window_)->At(kWidth / 2 + 8, kHeight / 2)));

  VxNodeRef* box = nullptr;
  ASSERT_EQ(Slot<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene_, "B", &box), EngineOk);
  void* block = nullptr;
  ASSERT_EQ(Slot<VxParseFieldValueFn>(VxEngineParseFieldValue)(scene_, view_, "0.20,0.20,0.20", FieldTypeSFVec3f,
                                                                &block),
            0);
  EXPECT_EQ(Slot<VxSetNodeValueFn>(VxEngineSetNodeField)(scene_, box, "size", block), EngineOk);
  std::free(block);
  EXPECT_EQ(Slot<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(box), EngineOk);
  Tick();
  const auto frame = Headless().LastFrame(window_);
  EXPECT_TRUE(IsRed(frame->At(kWidth / 2, kHeight / 2)));
  EXPECT_EQ(frame->At(kWidth / 2 + 8, kHeight / 2), 0u) << "the box is smaller now";
}

TEST_F(EngineViewSlotsTest, RectangleTargetBufferAndBorderGoThroughTheirSlots) {
  ASSERT_NE(MakeView(0), nullptr);
  const uint16_t rect[4] = {10, 20, 50, 70};
  uint16_t out[4] = {};
  EXPECT_EQ(Slot<VxSetViewRectFn>(VxEngineSetViewRect)(view_, rect), EngineOk);
  EXPECT_EQ(Slot<VxGetViewRectFn>(VxEngineGetViewRect)(view_, out), EngineOk);
  EXPECT_EQ(std::vector<uint16_t>(out, out + 4), std::vector<uint16_t>(rect, rect + 4));
  const float blue[3] = {0.0f, 0.0f, 1.0f};
  EXPECT_EQ(Slot<VxSetViewBorderFn>(VxEngineSetViewBorder)(view_, 1, blue), EngineOk);
  Tick();
  EXPECT_EQ(Headless().LastFrame(window_)->At(20, 10), 0x000000FFu) << "the border at the rectangle's corner";

  std::vector<uint32_t> pixels(50 * 40, 0xABABABABu);
  VxTargetBuffer target{pixels.data(), 50, 40, 50 * 4, 32};
  EXPECT_EQ(Slot<VxSetViewTargetBufferFn>(VxEngineSetViewTargetBuffer)(view_, &target), EngineOk);
  VxTargetBuffer back{};
  EXPECT_EQ(Slot<VxGetViewTargetBufferFn>(VxEngineGetViewTargetBuffer)(view_, &back), EngineOk);
  EXPECT_EQ(std::memcmp(&back, &target, sizeof target), 0);
  Tick();
  EXPECT_TRUE(IsRed(pixels[20 * 50 + 25])) << "drawn into the host's buffer";

  // Rows shorter than their pixels, or a depth the renderer lacks: no target.
  for (VxTargetBuffer bad : {VxTargetBuffer{pixels.data(), 50, 40, 50, 32}, VxTargetBuffer{pixels.data(), 50, 40, 200, 24},
                             VxTargetBuffer{pixels.data(), 70000, 1, 280000, 32}}) {
    EXPECT_EQ(Slot<VxSetViewTargetBufferFn>(VxEngineSetViewTargetBuffer)(view_, &bad), EngineOk);
    EXPECT_EQ(Slot<VxGetViewTargetBufferFn>(VxEngineGetViewTargetBuffer)(view_, &back), EngineOk);
    EXPECT_EQ(back.base, nullptr);
  }
  Tick();
}

// Navigation keeps to time: ticks 20 ms apart, so five of them make the three
// steps of a tenth of a second.
TEST_F(EngineViewSlotsTest, KeysAndDragsTurnTheCamera) {
  ManualClock clock;
  const auto tickAfter20Ms = [&] {
    clock.Advance(20);
    Tick();
  };
  ASSERT_NE(MakeView(), nullptr);
  Tick();
  float fieldOfView = 0;
  EXPECT_EQ(Slot<VxGetCameraFieldOfViewFn>(VxEngineGetCameraFieldOfView)(view_, &fieldOfView), EngineOk);
  const float start = Yaw();
  DeliverKey(Key::kLeft, true);
  for (int i = 0; i < 5; ++i) tickAfter20Ms();
  DeliverKey(Key::kLeft, false);
  EXPECT_NEAR(Yaw() - start, -(0.25f + 0.4f + 0.4f) * fieldOfView, 1e-5);

  for (int i = 0; i < 60; ++i) tickAfter20Ms();  // the turn runs out
  const float beforeDrag = Yaw();
  EXPECT_EQ(Slot<VxViewActionFn>(VxEngineViewMouseDown)(view_), EngineOk);
  EXPECT_EQ(GetCapture(), window_);
  DeliverPointerMove({kOrigin.x + kWidth, kOrigin.y + kHeight / 2});
  for (int i = 0; i < 5; ++i) tickAfter20Ms();
  EXPECT_EQ(Slot<VxViewActionFn>(VxEngineViewMouseUp)(view_), EngineOk);
  EXPECT_NEAR(Yaw() - beforeDrag, fieldOfView * 1.0f * 0.3f * 3.0f, 1e-5) << "a drag across half the view for three steps";
  EXPECT_EQ(GetCapture(), WindowHandle::None);
}

// What the host's view callback received.
struct HostEvents {
  std::vector<std::pair<int32_t, std::string>> nodes;
  std::vector<LinkRequest> links;
  static void Record(int32_t code, void* data, void* self) {
    auto* events = static_cast<HostEvents*>(self);
    if (code == ViewEventOpenLink) {
      events->links.push_back(*static_cast<LinkRequest*>(data));
    } else {
      events->nodes.emplace_back(code, static_cast<const char*>(data));
    }
  }
};

std::string AnchorWorld(const std::string& url, const std::string& parameter) {
  return "#VRML V2.0 utf8\n"
         "DEF Link Anchor { url \"" + url + "\" parameter \"" + parameter + "\" children [\n"
         "  Transform { translation 0 0 -6 children Shape { geometry Box { } } }\n"
         "] }\n";
}

TEST_F(EngineViewSlotsTest, AClickedLinkToAPageGoesToTheHostWithItsTarget) {
  Load(AnchorWorld("http://example.test/page.html", "target=_blank"));
  ASSERT_NE(MakeView(), nullptr);
  HostEvents events;
  const ViewCallback callback{&events, &HostEvents::Record};
  EXPECT_EQ(Slot<VxSetViewCallbackFn>(VxEngineSetViewCallback)(view_, &callback), EngineOk);
  Click();
  ASSERT_EQ(events.links.size(), 1u);
  EXPECT_STREQ(events.links[0].url, "http://example.test/page.html");
  EXPECT_STREQ(events.links[0].target, "_blank");
  EXPECT_EQ(events.nodes, (std::vector<std::pair<int32_t, std::string>>{{2, "Link"}, {4, "Link"}}));
}

TEST_F(EngineViewSlotsTest, AClickedLinkToAWorldLoadsItAndBindsTheViewpointItNames) {
  Write("second.wrl", "#VRML V2.0 utf8\nViewpoint { position 0 0 -1 }\nDEF Far Viewpoint { position 0 0 3 }\n");
  Load(AnchorWorld("second.wrl#Far", ""));
  ASSERT_NE(MakeView(), nullptr);
  Click();
  Tick();
  Tick();
  float xyz[3] = {};
  EXPECT_EQ(Slot<VxGetCameraPositionFn>(VxEngineGetCameraPosition)(view_, xyz), EngineOk);
  EXPECT_FLOAT_EQ(xyz[2], 3.0f);
  VxNodeRef* link = nullptr;
  EXPECT_EQ(Slot<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene_, "Link", &link), EngineNodeNotFound)
      << "the first world is gone";
}

void CountCalls(int32_t, void*, void* userData) { ++*static_cast<int*>(userData); }

TEST_F(EngineViewSlotsTest, ScriptFunctionsRegisterAndValuesParseWithTheViewsContext) {
  int calls = 0;
  ScriptFunctionCallback callback{&calls, &CountCalls};
  auto registerFunction = Slot<VxRegisterHostScriptFunctionFn>(VxEngineRegisterHostScriptFunction);
  EXPECT_EQ(registerFunction(nullptr, "hostFunction", &callback), EngineOk);
  EXPECT_EQ(registerFunction(nullptr, nullptr, &callback), EngineOk);
  EXPECT_EQ(registerFunction(instance_, std::string(300, 'n').c_str(), &callback), EngineOk);

  ASSERT_NE(MakeView(), nullptr);
  Tick();
  void* block = nullptr;
  EXPECT_EQ(Slot<VxParseFieldValueFn>(VxEngineParseFieldValue)(scene_, view_, "1,2,3", FieldTypeSFVec3f, &block), 0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(static_cast<float*>(block)[2], 3.0f);
  std::free(block);
  EXPECT_EQ(Slot<VxSetViewKeyFn>(VxEngineSetViewKey)(view_, 'q'), EngineOk);
  EXPECT_EQ(Slot<VxSetViewCallbackFn>(VxEngineSetViewCallback)(view_, nullptr), EngineNullArgument);
}


// A host that closes everything when its callback hears one code: the view,
// its scene and the instance, as a plug-in does when it answers a link by
// navigating away.
class HostClosingInCallbackTest : public EngineViewSlotsTest, public ::testing::WithParamInterface<int32_t> {
 protected:
  static void Hear(int32_t code, void*, void* self) { static_cast<HostClosingInCallbackTest*>(self)->OnEvent(code); }

  void OnEvent(int32_t code) {
    if (closed_) {
      ++heardAfterClose_;
      return;
    }
    if (code != GetParam()) return;
    closed_ = true;
    EXPECT_EQ(Slot<VxDestroyViewFn>(VxEngineDestroyView)(view_), EngineOk);
    EXPECT_EQ(Slot<VxDestroySceneFn>(VxEngineDestroyScene)(scene_), EngineOk);
    EXPECT_EQ(Slot<VxDestroyEngineInstanceFn>(VxEngineDestroyEngineInstance)(instance_), EngineOk);
    view_ = nullptr;
    scene_ = nullptr;
    instance_ = nullptr;
  }

  // One of the view's slots, while the host has not closed it.
  void Step(VxEngineSlot slot) {
    if (!closed_) {
      EXPECT_EQ(Slot<VxViewActionFn>(slot)(view_), EngineOk);
    }
  }

  bool closed_ = false;
  int heardAfterClose_ = 0;
};

TEST_P(HostClosingInCallbackTest, TheEngineRunsOnNothingTheHostDestroyedAndCallsItNoMore) {
  Load(AnchorWorld("http://example.test/page.html", ""));
  ASSERT_NE(MakeView(), nullptr);
  const ViewCallback callback{this, &HostClosingInCallbackTest::Hear};
  EXPECT_EQ(Slot<VxSetViewCallbackFn>(VxEngineSetViewCallback)(view_, &callback), EngineOk);
  Tick();
  // Press (2), a tick while held (3), release (4) and the click's link (1).
  Step(VxEngineViewMouseDown);
  Step(VxEngineTickView);
  Step(VxEngineViewMouseUp);
  EXPECT_TRUE(closed_);
  EXPECT_EQ(heardAfterClose_, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryCode, HostClosingInCallbackTest, ::testing::Values(1, 2, 3, 4));

// The Vista reports its binding (5) and unbinding (6) from inside a frame.
class HostClosingOnVistaTest : public HostClosingInCallbackTest {};

TEST_P(HostClosingOnVistaTest, TheEngineRunsOnNothingTheHostDestroyedAndCallsItNoMore) {
  Load("#VRML V2.0 utf8\nEXTERNPROTO Vista [ ] \"http://www.orvanta.example/proto/vistaproto15.wrl#Vista\"\n"
       "DEF A Vista { } DEF B Vista { }\n");
  ASSERT_NE(MakeView(), nullptr);
  const ViewCallback callback{this, &HostClosingInCallbackTest::Hear};
  EXPECT_EQ(Slot<VxSetViewCallbackFn>(VxEngineSetViewCallback)(view_, &callback), EngineOk);
  Step(VxEngineTickView);
  if (!closed_) {
    // B binding unbinds A first.
    VxNodeRef* b = nullptr;
    ASSERT_EQ(Slot<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene_, "B", &b), EngineOk);
    int16_t on = 1;
    EXPECT_EQ(Slot<VxSetNodeValueFn>(VxEngineSendNodeEvent)(scene_, b, "set_bind", &on), EngineOk);
    EXPECT_EQ(Slot<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(b), EngineOk);
    Step(VxEngineTickView);
  }
  EXPECT_TRUE(closed_);
  EXPECT_EQ(heardAfterClose_, 0);
}

INSTANTIATE_TEST_SUITE_P(VistaCodes, HostClosingOnVistaTest, ::testing::Values(5, 6));

// What a host hears of a bound Display: its fullScreen value in the data
// word, once a frame, and nothing more once it has closed the view and the
// scene in answer.
class DisplayReportTest : public EngineViewSlotsTest {
 protected:
  static void Hear(int32_t code, void* data, void* self) {
    auto& test = *static_cast<DisplayReportTest*>(self);
    if (code != ViewEventFullScreen) return;
    test.heard.push_back(reinterpret_cast<intptr_t>(data));
    if (!test.closeOnReport) return;
    EXPECT_EQ(Slot<VxDestroyViewFn>(VxEngineDestroyView)(test.view_), EngineOk);
    EXPECT_EQ(Slot<VxDestroySceneFn>(VxEngineDestroyScene)(test.scene_), EngineOk);
    test.view_ = nullptr;
    test.scene_ = nullptr;
    test.closeOnReport = false;
  }

  void Listen() {
    const ViewCallback callback{this, &DisplayReportTest::Hear};
    EXPECT_EQ(Slot<VxSetViewCallbackFn>(VxEngineSetViewCallback)(view_, &callback), EngineOk);
  }

  std::vector<intptr_t> heard;
  bool closeOnReport = false;
};

TEST_F(DisplayReportTest, TheBoundDisplaysFullScreenValueReachesTheHostEveryFrame) {
  Load(std::string(kWorld) + "Display { fullScreen TRUE stereoMode \"INTERLACE\" }\n");
  ASSERT_NE(MakeView(), nullptr);
  Listen();
  Tick();
  const size_t first = heard.size();
  EXPECT_GE(first, 1u);
  const float moved[3] = {0.0f, 0.0f, 1.0f};
  EXPECT_EQ(Slot<VxSetCameraPositionFn>(VxEngineSetCameraPosition)(view_, moved), EngineOk);
  Tick();
  EXPECT_EQ(heard.size(), first + 1) << "one report a frame";
  EXPECT_EQ(heard, std::vector<intptr_t>(heard.size(), 1));
}

TEST_F(DisplayReportTest, AHostThatClosesTheViewOnTheReportIsCalledNoMore) {
  Load(std::string(kWorld) + "Display { stereoMode \"LEFT_RIGHT\" quality \"LOW\" }\n");
  ASSERT_NE(MakeView(), nullptr);
  Listen();
  closeOnReport = true;
  Tick();
  EXPECT_EQ(view_, nullptr);
  EXPECT_EQ(heard, (std::vector<intptr_t>{0}));
}

}  // namespace
}  // namespace vx::test
