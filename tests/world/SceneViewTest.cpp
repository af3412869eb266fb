#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>
#include <zlib.h>

#include "WorldTestNodes.h"
#include "engine/hostlink/DownloadService.h"
#include "engine/hostlink/HostTable.h"
#include "engine/world/SceneView.h"
#include "platform/Clock.h"
#include "platform/HeadlessBackend.h"
#include "platform/Input.h"
#include "platform/InputState.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/scene/GunzipHost.h"
#include "tests/scene/ScriptedDownloads.h"

namespace vx {
namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
// Where the test window lies on the pretend screen.
constexpr Point kWindowOrigin{100, 50};

// Mac key codes the tests press.
constexpr int32_t kRight = 124;
constexpr int32_t kUp = 126;

Key KeyOf(int32_t macKeyCode) {
  switch (macKeyCode) {
    case 124: return Key::kRight;
    case 126: return Key::kUp;
    case 56: return Key::kShift;
    default: return Key::kNone;
  }
}

// Everything a view test records from the host's side of the callback.
struct CallbackLog {
  std::vector<std::pair<int32_t, std::string>> events;
  std::vector<LinkRequest> links;

  ViewCallback Callback() { return {this, &CallbackLog::Record}; }
  static void Record(int32_t code, void* data, void* self) {
    auto* log = static_cast<CallbackLog*>(self);
    if (code == ViewEventOpenLink) {
      log->links.push_back(*static_cast<LinkRequest*>(data));
    } else {
      log->events.emplace_back(code, static_cast<const char*>(data));
    }
  }
};

// A view on a visible 64 x 48 window, with the keyboard focus, onto a world
// with a red square in front of the camera (a world of the system's
// convention: the camera starts at the origin).
class SceneViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ReleaseAllKeys();
    window = windows.Create(kWindowVisible, WindowHandle::None, kWidth, kHeight, kWindowOrigin.x, kWindowOrigin.y);
    test::AddToScene(world, MakeNode<test::CSquareNode>(-1.0f, -1.0f, 1.0f, 1.0f, -5.0f, FloatColor{1.0f, 0.0f, 0.0f}));
    view = std::make_unique<CSceneView>(window);
    view->AttachBrowser(&world);
    view->SetFlags(kViewCaptureMouse);
    view->SetFocus(true);
    view->SetCallback(log.Callback());
    MovePointer(kWidth / 2, kHeight / 2);
  }
  void TearDown() override {
    view.reset();
    ReleaseAllKeys();
    Headless().SetScreenDepth(32);
  }

  void MovePointer(int x, int y) { DeliverPointerMove({kWindowOrigin.x + x, kWindowOrigin.y + y}); }
  void Press(int32_t macKeyCode, bool down) { DeliverKey(KeyOf(macKeyCode), down); }
  float Yaw() const {
    float pitch, yaw, roll;
    view->GetContext()->GetOrientation(&pitch, &yaw, &roll);
    return yaw;
  }
  float Pitch() const {
    float pitch, yaw, roll;
    view->GetContext()->GetOrientation(&pitch, &yaw, &roll);
    return pitch;
  }
  test::CBindable& BindNavigation(const char* type) {
    navigation = test::MakeBindable(NodeTypeNavigationInfo, "nav");
    test::CBindable& node = test::Bindable(navigation);
    SFString text{};
    std::snprintf(text.text, sizeof text.text, "%s", type);
    MFString types{1, &text};
    node.SetField("type", &types);
    world.BindNavigationInfo(navigation.Get(), true);
    return node;
  }

  // Ticks the view `count` times, each 1 / fps seconds after the last, on
  // the test's clock.
  void TickAt(int fps, int count = 1) {
    for (int i = 0; i < count; ++i) {
      clockMs += 1000.0 / fps;
      clock.Set(static_cast<uint64_t>(std::llround(clockMs)));
      view->Tick();
    }
  }
  float FieldOfView() const { return view->GetContext()->GetFieldOfView(); }

  ManualClock clock{1000};
  double clockMs = 1000.0;
  test::RecordingClass windows;
  WindowHandle window = WindowHandle::None;
  CBrowser world{WorldConvention::kSystem};
  CNodeRef navigation;
  CallbackLog log;
  std::unique_ptr<CSceneView> view;
};

TEST_F(SceneViewTest, ATickDrawsTheWorldAndPresentsItWithTheBorderWhileFocused) {
  const float green[3] = {0.0f, 1.0f, 0.0f};
  view->SetBorder(true, green);
  view->Tick();

  const auto frame = Headless().LastFrame(window);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->At(32, 24), 0x00FD0202u) << "the lit square in the middle";
  EXPECT_EQ(frame->At(5, 5), 0u);
  EXPECT_EQ(frame->At(0, 10), 0x0000FF00u) << "the border";
  EXPECT_EQ(frame->At(kWidth - 1, kHeight - 1), 0x0000FF00u);
  EXPECT_EQ(world.GetFrameCount(), 2) << "the first tick prepares the world, then draws its frame";
  EXPECT_EQ(Headless().PresentCount(window), 2);

  view->SetFocus(false);
  view->Tick();
  EXPECT_EQ(Headless().LastFrame(window)->At(0, 10), 0u) << "no border without the focus";
  EXPECT_EQ(Headless().PresentCount(window), 3);
}

TEST_F(SceneViewTest, AnotherSizeMakesTheFrameAgainAtThatSizeInTheRectangle) {
  view->Tick();
  view->SetRect({8, 16, 40, 48});
  view->Tick();
  const auto frame = Headless().LastFrame(window);
  EXPECT_EQ(view->GetContext()->GetFrameBuffer().width, 32);
  EXPECT_EQ(view->GetContext()->GetFrameBuffer().height, 32);
  EXPECT_NE(frame->At(32, 24), 0u) << "drawn into the rectangle";
}

// A 32-bit view draws its frame straight into the window's pixels, at its
// rectangle, following them when the window is resized or replaced; a
// rectangle that no longer fits the window, or a 16-bit screen, takes a
// frame image, blitted as before.
TEST_F(SceneViewTest, A32BitViewDrawsIntoItsWindowWhileItsRectangleFits) {
  auto drawsInto = [this](WindowHandle target, int left, int top) {
    const WindowPixels pixels = GetWindowPixels(target);
    const auto* origin = reinterpret_cast<const uint8_t*>(pixels.pixels.get() + top * pixels.width + left);
    return view->GetContext()->GetFrameBuffer().bits == origin;
  };
  view->Tick();
  EXPECT_TRUE(drawsInto(window, 0, 0));
  EXPECT_EQ(Headless().LastFrame(window)->At(32, 24), 0x00FD0202u);
  view->SetRect({8, 16, 40, 48});
  view->Tick();
  EXPECT_TRUE(drawsInto(window, 16, 8)) << "the rectangle of the window's pixels";

  view->SetRect({0, 0, kHeight, kWidth});
  MoveWindow(window, kWindowOrigin.x, kWindowOrigin.y, 80, 60);
  view->Tick();
  EXPECT_TRUE(drawsInto(window, 0, 0)) << "the resized window's new pixels";
  EXPECT_EQ(Headless().LastFrame(window)->width, 80);
  EXPECT_EQ(Headless().LastFrame(window)->At(32, 24), 0x00FD0202u);

  const WindowHandle other = windows.Create(kWindowVisible, WindowHandle::None, kWidth, kHeight);
  view->SetWindow(other);
  const int presented = Headless().PresentCount(window);
  view->Tick();
  EXPECT_TRUE(drawsInto(other, 0, 0));
  EXPECT_EQ(Headless().LastFrame(other)->At(32, 24), 0x00FD0202u);
  EXPECT_EQ(Headless().PresentCount(window), presented) << "the old window is left alone";

  MoveWindow(other, 0, 0, 40, 30);
  view->Tick();
  EXPECT_FALSE(drawsInto(other, 0, 0)) << "a frame image for a rectangle past the window";
  EXPECT_EQ(view->GetContext()->GetFrameBuffer().width, kWidth);
  EXPECT_EQ(Headless().LastFrame(other)->width, 40);
  EXPECT_EQ(Headless().LastFrame(other)->At(32, 24), 0x00FD0202u) << "blitted, clipped to the window";
}

TEST_F(SceneViewTest, AViewOnASixteenBitScreenBlitsAFrameImage) {
  Headless().SetScreenDepth(16);
  view->Tick();
  const WindowPixels pixels = GetWindowPixels(window);
  EXPECT_EQ(view->GetContext()->GetFrameBuffer().bytesPerPixel, 2);
  EXPECT_NE(view->GetContext()->GetFrameBuffer().bits, reinterpret_cast<const uint8_t*>(pixels.pixels.get()));
  EXPECT_EQ(Headless().LastFrame(window)->At(32, 24) & 0xF80000u, 0xF80000u) << "the square, red";
}

// A tenth of a second of the keys turns and pitches the view by the speeds
// of three steps times the field of view.
TEST_F(SceneViewTest, ArrowKeysTurnAndPitchTheViewByTheirSpeeds) {
  view->Tick();
  const float f = FieldOfView();
  const float yaw = Yaw();
  Press(kRight, true);
  Press(kUp, true);
  TickAt(30, 3);
  EXPECT_FLOAT_EQ(view->GetTurnSpeed(), 0.4f);
  EXPECT_FLOAT_EQ(view->GetPitchSpeed(), 0.4f);
  EXPECT_NEAR(Yaw() - yaw, (0.25f + 0.4f + 0.4f) * f, 1e-4);
  EXPECT_NEAR(Pitch(), (0.25f + 0.4f + 0.4f) * f, 1e-4);
  Press(kRight, false);
  Press(kUp, false);
  TickAt(30, 30);
  EXPECT_EQ(view->GetTurnSpeed(), 0.0f);
  EXPECT_EQ(view->GetPitchSpeed(), 0.0f);
}

TEST_F(SceneViewTest, KeysReachTheViewOnlyWhileItIsActive) {
  view->Tick();
  Press(kRight, true);
  MovePointer(0, 10);  // x = 0 is outside the active area
  view->Tick();
  EXPECT_EQ(view->GetTurnSpeed(), 0.0f);
  MovePointer(10, 10);
  view->SetFocus(false);
  view->Tick();
  EXPECT_EQ(view->GetTurnSpeed(), 0.0f) << "without focus nothing navigates";
  view->SetFlags(kViewHostFedInput);
  view->SetFocus(true);
  view->SetHostKey(kRight, true);
  view->Tick();
  EXPECT_EQ(view->GetTurnSpeed(), 0.25f) << "keys fed by the host";
}

TEST_F(SceneViewTest, AViewWithoutAWindowIsNotActiveWhenNoWindowHasTheFocus) {
  view->Tick();
  view->SetWindow(WindowHandle::None);
  (void)::vx::SetFocus(WindowHandle::None);
  ASSERT_EQ(GetFocus(), WindowHandle::None);
  EXPECT_FALSE(view->IsActive());
  Press(kRight, true);
  EXPECT_FALSE(view->IsKeyDown(kRight));
}

TEST_F(SceneViewTest, WalkAndFlyMoveAtTheNavigationSpeedAndTheCameraStandsAtAvatarHeight) {
  test::CBindable& nav = BindNavigation("WALK");
  nav.speed = 3.0f;
  float sizes[] = {0.5f, 1.5f};
  MFFloat avatar{2, sizes};
  nav.SetField("avatarSize", &avatar);
  view->Tick();
  const CVec3f start = view->GetContext()->GetPosition();
  EXPECT_FLOAT_EQ(start.y, 1.5f);

  // Looking up a little: walking keeps to the ground, flying follows the view.
  view->GetContext()->SetOrientation(0.3f, 3.0f, 0.0f, false);
  Press(56, true);
  TickAt(20);
  const float step = 3.0f * 0.05f;  // speed (units a second) x seconds
  CVec3f walked = view->GetContext()->GetPosition();
  EXPECT_NEAR(walked.x, start.x - step * std::sin(3.0f), 1e-5);
  EXPECT_NEAR(walked.z, start.z + step * std::cos(3.0f), 1e-5);
  EXPECT_FLOAT_EQ(walked.y, start.y);

  BindNavigation("FLY");
  TickAt(20);
  const CVec3f flown = view->GetContext()->GetPosition();
  EXPECT_NEAR(flown.y - walked.y, std::sin(0.3f) * 0.05f, 1e-6) << "the default speed along the view";
}

TEST_F(SceneViewTest, ExamineZoomsWithTheForwardKeyAndNoneBlocksEveryMove) {
  BindNavigation("EXAMINE");
  view->Tick();
  const float f = FieldOfView();
  Press(56, true);
  TickAt(20);
  EXPECT_NEAR(FieldOfView(), f * std::pow(1.0f - (40.0f / 30.0f) * 0.045f, 1.5f), 1e-6)
      << "a step and a half of zooming in";
  EXPECT_EQ(view->GetContext()->GetPosition(), CVec3f(0.0f, 0.0f, 0.0f));

  BindNavigation("NONE");
  Press(kRight, true);
  const float zoomed = view->GetContext()->GetFieldOfView();
  const float yaw = Yaw();
  view->MouseDown();
  MovePointer(60, 40);
  TickAt(20, 2);
  EXPECT_EQ(view->GetContext()->GetFieldOfView(), zoomed);
  EXPECT_EQ(Yaw(), yaw);
  EXPECT_EQ(Pitch(), 0.0f);
  EXPECT_EQ(view->GetContext()->GetPosition(), CVec3f(0.0f, 0.0f, 0.0f));
}

TEST_F(SceneViewTest, DraggingOnEmptySpaceTurnsByTheSquaredOffset) {
  view->Tick();
  const float f = view->GetContext()->GetFieldOfView();
  const float yaw = Yaw();
  view->MouseDown();
  EXPECT_TRUE(view->IsDragging());
  EXPECT_EQ(GetCapture(), window) << "flag 0x10 captures the mouse";
  MovePointer(48, 18);
  TickAt(20);
  // Offsets of a half and a quarter of the half view, squared, for a step
  // and a half.
  EXPECT_NEAR(Yaw() - yaw, f * 0.25f * 0.3f * 1.5f, 1e-6);
  EXPECT_NEAR(Pitch(), f * 0.0625f * 0.3f * 1.5f, 1e-6);
  view->MouseUp();
  EXPECT_FALSE(view->IsDragging());
  EXPECT_EQ(GetCapture(), WindowHandle::None);
}

// How far the camera moved in one run of a navigation test.
struct CameraMove {
  float yaw = 0.0f;
  float pitch = 0.0f;
  float distance = 0.0f;
  float zoom = 1.0f;  // the field of view after, over the one before
};

// A tenth of a second of navigation at a frame rate: `start` presses keys or
// the button, `stop` lets go, and the camera then comes to rest.
class FrameRateTest : public SceneViewTest {
 protected:
  template <typename Start, typename Stop>
  CameraMove Run(int fps, Start start, Stop stop) {
    view->GetContext()->SetOrientation(0.0f, 3.0f, 0.0f, false);
    view->GetContext()->SetPosition({0.0f, 1.0f, 0.0f}, false);
    view->GetContext()->SetFieldOfView(0.5f, false);
    TickAt(fps);
    const float yaw = Yaw(), pitch = Pitch(), f = FieldOfView();
    const CVec3f position = view->GetContext()->GetPosition();
    start();
    TickAt(fps, fps / 10);
    stop();
    TickAt(fps, fps);
    EXPECT_EQ(view->GetTurnSpeed(), 0.0f) << "at rest again";
    return {Yaw() - yaw, Pitch() - pitch, (view->GetContext()->GetPosition() - position).Length(), FieldOfView() / f};
  }
};

constexpr int kFrameRates[] = {30, 60, 500};

void ExpectSameMove(const CameraMove& move, const CameraMove& at30, int fps) {
  EXPECT_NEAR(move.yaw, at30.yaw, 0.01f * std::fabs(at30.yaw)) << fps << " frames a second";
  EXPECT_NEAR(move.pitch, at30.pitch, 0.01f * std::fabs(at30.pitch)) << fps << " frames a second";
  EXPECT_NEAR(move.distance, at30.distance, 0.01f * at30.distance) << fps << " frames a second";
  EXPECT_NEAR(move.zoom, at30.zoom, 0.01f * at30.zoom) << fps << " frames a second";
}

// The same key time turns, pitches, walks and zooms as far at 30, 60 and
// 500 frames a second, as far as three steps of the keys: the turn and the
// pitch keep their speed and glide on once released.
TEST_F(FrameRateTest, KeysTurnWalkAndZoomAsFarAtAnyFrameRate) {
  test::CBindable& nav = BindNavigation("WALK");
  nav.speed = 2.0f;
  view->Tick();
  std::vector<CameraMove> moves;
  for (int fps : kFrameRates) {
    moves.push_back(Run(
        fps, [&] { for (int32_t key : {kRight, kUp}) Press(key, true); },
        [&] { for (int32_t key : {kRight, kUp}) Press(key, false); }));
  }
  EXPECT_GT(moves[0].yaw, (0.25f + 0.4f + 0.4f) * 0.5f) << "the glide turns further";
  EXPECT_GT(moves[0].pitch, (0.25f + 0.4f + 0.4f) * 0.5f);
  for (size_t i = 1; i < moves.size(); ++i) ExpectSameMove(moves[i], moves[0], kFrameRates[i]);

  moves.clear();
  for (int fps : kFrameRates) moves.push_back(Run(fps, [&] { Press(56, true); }, [&] { Press(56, false); }));
  EXPECT_NEAR(moves[0].distance, 2.0f * 0.1f, 1e-4) << "the speed is in units a second";
  for (size_t i = 1; i < moves.size(); ++i) ExpectSameMove(moves[i], moves[0], kFrameRates[i]);

  BindNavigation("EXAMINE");
  moves.clear();
  for (int fps : kFrameRates) moves.push_back(Run(fps, [&] { Press(56, true); }, [&] { Press(56, false); }));
  EXPECT_NEAR(moves[0].zoom, std::pow(1.0f - 0.06f, 3.0f), 1e-4) << "three steps of zooming in";
  for (size_t i = 1; i < moves.size(); ++i) ExpectSameMove(moves[i], moves[0], kFrameRates[i]);
}

// A drag sets a turning rate: held as long, it turns as far at any frame
// rate.
TEST_F(FrameRateTest, TheSameDragTurnsAsFarAtAnyFrameRate) {
  view->Tick();
  std::vector<CameraMove> moves;
  for (int fps : kFrameRates) {
    moves.push_back(Run(
        fps,
        [&] {
          view->MouseDown();
          MovePointer(48, 18);
        },
        [&] {
          view->MouseUp();
          MovePointer(kWidth / 2, kHeight / 2);
        }));
  }
  EXPECT_NEAR(moves[0].yaw, 0.5f * 0.25f * 0.3f * 3.0f, 1e-5) << "three steps at the drag's rate";
  EXPECT_NEAR(moves[0].pitch, 0.5f * 0.0625f * 0.3f * 3.0f, 1e-5);
  for (size_t i = 1; i < moves.size(); ++i) ExpectSameMove(moves[i], moves[0], kFrameRates[i]);
}

// A frame after a stall moves the camera as a tenth of a second would, not
// as the whole stall.
TEST_F(SceneViewTest, AFrameAfterAStallMovesAsFarAsATenthOfASecond) {
  view->Tick();
  Press(kRight, true);
  TickAt(30, 3);
  const float yaw = Yaw();
  clockMs += 5000.0;
  TickAt(30);
  EXPECT_NEAR(Yaw() - yaw, 0.4f * 3.0f * FieldOfView(), 1e-4) << "three steps at full speed";
}

// A Group with a TouchSensor and a square in the middle of the view.
class SensedSceneViewTest : public SceneViewTest {
 protected:
  void SetUp() override {
    SceneViewTest::SetUp();
    sensorRef = MakeNode<test::CSensorNode>(NodeTypeTouchSensor);
    sensorRef->SetDefName("touch");
    test::AddToScene(world, test::MakeSensedSquare(sensorRef, 1.0f, -4.0f));
    view->Tick();
  }
  test::CSensorNode& Sensor() { return static_cast<test::CSensorNode&>(*sensorRef.Get()); }

  // Presses in the middle, moves by (dx, dy) with one tick, releases.
  void PressMoveRelease(int dx, int dy) {
    view->MouseDown();
    MovePointer(kWidth / 2 + dx, kHeight / 2 + dy);
    view->Tick();
    view->MouseUp();
    MovePointer(kWidth / 2, kHeight / 2);
    view->Tick();
  }

  CNodeRef sensorRef;
};

TEST_F(SensedSceneViewTest, APressOnGeometryReachesItsSensorAndTheHostAndDoesNotNavigate) {
  const float yaw = Yaw();
  view->MouseDown();
  EXPECT_EQ(Sensor().presses, 1);
  EXPECT_FALSE(view->IsDragging()) << "a TouchSensor takes the press";
  EXPECT_TRUE(view->GetContext()->GetInput().buttonDown);
  MovePointer(kWidth / 2 + 8, kHeight / 2);
  view->Tick();
  EXPECT_EQ(Yaw(), yaw);
  EXPECT_EQ(Sensor().drags, 1);
  EXPECT_FLOAT_EQ(Sensor().dragX, 8.0f / kWidth);
  view->MouseUp();
  EXPECT_EQ(Sensor().releases, 1);
  EXPECT_EQ(Sensor().clicks, 0) << "8 pixels is a drag";
  EXPECT_FALSE(view->GetContext()->GetInput().buttonDown);
  EXPECT_EQ(log.events, (std::vector<std::pair<int32_t, std::string>>{{2, "touch"}, {3, "touch"}, {4, "touch"}}));
}

TEST_F(SensedSceneViewTest, AReleaseAfterTheFocusWentEndsThePressAndTheDrag) {
  view->MouseDown();
  view->SetFocus(false);
  view->MouseUp();
  EXPECT_EQ(Sensor().releases, 1);
  EXPECT_FALSE(view->GetContext()->GetInput().buttonDown);
  EXPECT_EQ(GetCapture(), WindowHandle::None);

  MovePointer(0, 0);
  view->SetFocus(true);
  view->Tick();
  view->MouseDown();  // on empty space: a drag
  view->SetFocus(false);
  view->MouseUp();
  EXPECT_FALSE(view->IsDragging());
  const float yaw = Yaw();
  view->SetFocus(true);
  MovePointer(kWidth - 4, kHeight / 2);
  view->Tick();
  EXPECT_EQ(Yaw(), yaw) << "no button is down, so the pointer does not turn the view";
}

TEST_F(SensedSceneViewTest, TwoPixelsApartIsAClickAndThreeIsNot) {
  PressMoveRelease(2, -2);
  EXPECT_EQ(Sensor().clicks, 1);
  PressMoveRelease(3, 0);
  PressMoveRelease(0, 3);
  EXPECT_EQ(Sensor().clicks, 1);
  EXPECT_EQ(Sensor().presses, 3);
}

// A world file in a folder of its own, removed with the object.
class WorldFile {
 public:
  explicit WorldFile(const std::string& text, const std::string& name = "world.wrl") {
    folder_ = std::filesystem::temp_directory_path() / ("vx-view-" + std::to_string(getpid()) + "-" + std::to_string(++count_));
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / name).string();
    std::ofstream(path_) << text;
  }
  ~WorldFile() { std::filesystem::remove_all(folder_); }
  const std::string& Path() const { return path_; }

 private:
  static inline int count_ = 0;
  std::filesystem::path folder_;
  std::string path_;
};

constexpr const char* kTwoViewpoints =
    "#VRML V2.0 utf8\nDEF Start Viewpoint { position 0 0 1 }\nDEF Far Viewpoint { position 0 0 2 }\n";

TEST_F(SensedSceneViewTest, APressedNodeGoneWithAReloadIsNeitherReleasedNorClicked) {
  WorldFile file(kTwoViewpoints);
  const CNodeWeakRef watched(sensorRef.Get());
  view->MouseDown();
  view->LoadWorld(file.Path().c_str(), nullptr);
  sensorRef = CNodeRef();
  view->Tick();
  EXPECT_EQ(watched.Get(), nullptr) << "the reload deleted the sensor";
  EXPECT_NE(world.FindNode("Far"), nullptr);
  view->MouseUp();
  EXPECT_EQ(log.events, (std::vector<std::pair<int32_t, std::string>>{{2, "touch"}}));
}

TEST_F(SensedSceneViewTest, AClickThatFollowsALinkToAPageSendsItToTheHost) {
  Sensor().onClick = [](test::CSensorNode&, CViewContext* context) {
    context->GetServices()->LoadWorld("http://example.test/page.html", "_blank");
  };
  PressMoveRelease(1, 1);
  ASSERT_EQ(log.links.size(), 1u);
  EXPECT_STREQ(log.links[0].url, "http://example.test/page.html");
  EXPECT_STREQ(log.links[0].target, "_blank");
  EXPECT_FALSE(view->IsDownloading());
}

// What a node asks of the view's services acts on the view's own context and
// world; before the first frame or without a world it acts on nothing.
TEST_F(SceneViewTest, ItsServicesSetTheCursorBindPanoramasAndReadTheWorldClock) {
  IViewServices& services = *view;
  services.SetCursor(0);
  world.ResetClock();
  view->Tick();
  ASSERT_EQ(view->GetContext()->GetServices(), &services);

  services.SetCursor(0);
  EXPECT_EQ(view->GetContext()->GetCurrentCursor(), 0);

  CNodeRef vista = test::MakeBindable(NodeTypeVista, "v");
  services.BindPanorama(vista.Get(), PanoramaStack::Vista);
  EXPECT_EQ(world.GetVista(), vista.Get());
  services.BindPanorama(vista.Get(), PanoramaStack::Vista);
  EXPECT_EQ(world.GetVista(), nullptr) << "binding the top node again pops it";
  CNodeRef background = test::MakeBindable(NodeTypeBackground, "b");
  services.BindPanorama(background.Get(), PanoramaStack::Background);
  EXPECT_EQ(world.GetBackground(), background.Get());
  services.BindPanorama(vista.Get(), PanoramaStack::LegacyVista);
  services.BindPanorama(vista.Get(), PanoramaStack::LegacyVista);
  EXPECT_EQ(world.GetLegacyVista(), vista.Get()) << "the legacy stack keeps its top";

  clock.Advance(2500);
  EXPECT_DOUBLE_EQ(services.GetWorldTime(), 2.5);

  view->AttachBrowser(nullptr);
  EXPECT_EQ(services.GetWorldTime(), 0.0);
  services.BindPanorama(background.Get(), PanoramaStack::Background);
  EXPECT_EQ(world.GetBackground(), background.Get()) << "a view without a world binds nothing";
}

TEST_F(SceneViewTest, AViewpointNameAfterTheLastInnerHashIsSplitOff) {
  view->LoadWorld("docs/a#b/file.wrl#Far", nullptr);
  EXPECT_EQ(view->GetPendingFile(), "docs/a#b/file.wrl");
  EXPECT_EQ(view->GetViewpointName(), "Far");
  view->LoadWorld("#first.wrl", "frame");
  EXPECT_EQ(view->GetPendingFile(), "#first.wrl") << "a leading '#' does not split";
  EXPECT_EQ(view->GetViewpointName(), "");
  EXPECT_EQ(view->GetLinkTarget(), "frame");
  view->LoadWorld("last.wrl#", nullptr);
  ASSERT_EQ(log.links.size(), 1u) << "a trailing '#' does not split, and the name is no scene";
  EXPECT_STREQ(log.links[0].url, "last.wrl#");

  // A URL longer than the buffers is cut, never copied past them.
  const std::string longUrl = "http://example.test/" + std::string(600, 'a') + "#" + std::string(600, 'b') + ".wrl";
  view->LoadWorld(longUrl.c_str(), longUrl.c_str());
  ASSERT_EQ(log.links.size(), 2u);
  EXPECT_EQ(std::string(log.links[1].url), longUrl.substr(0, VX_TEXT_BUFFER_SIZE - 1));
  EXPECT_EQ(std::string(log.links[1].target), longUrl.substr(0, VX_TEXT_BUFFER_SIZE - 1));
}

TEST_F(SceneViewTest, ALocalWorldLoadsOnTheNextTickAndBindsTheNamedViewpoint) {
  WorldFile file(kTwoViewpoints);
  const std::string url = file.Path() + "#Far";
  view->Tick();
  view->LoadWorld(url.c_str(), nullptr);
  view->Tick();
  ASSERT_NE(world.FindNode("Far"), nullptr);
  EXPECT_EQ(world.GetViewpoint(), world.FindNode("Far"));
  EXPECT_EQ(view->GetContext()->GetPosition(), CVec3f(0.0f, 0.0f, 2.0f)) << "the camera went to it";
  EXPECT_EQ(view->GetPendingFile(), "");
  EXPECT_EQ(Headless().LastFrame(window)->At(32, 24), 0u) << "the square went with the old scene";

  view->LoadWorld("/no/such/folder/world.wrl", nullptr);
  view->Tick();
  EXPECT_NE(world.FindNode("Far"), nullptr) << "a file that does not open changes nothing";
}

// Reading a world again in place of itself: the old scene's light gives its
// slot back, and the camera starts from the new scene, not from where the
// old one left it (raised to avatar height once, not twice).
TEST_F(SceneViewTest, AWorldLoadedAgainStartsAfreshAndItsOldLightsLetGoOfTheirSlots) {
  WorldFile file(
      "#VRML V2.0 utf8\n"
      "NavigationInfo { type \"WALK\" avatarSize [ 0.25 1.6 ] }\n"
      "DirectionalLight { }\n",
      "world.tsw");
  for (int load = 0; load < 2; ++load) {
    view->LoadWorld(file.Path().c_str(), nullptr);
    view->Tick();
    view->Tick();
    EXPECT_FLOAT_EQ(view->GetContext()->GetPosition().y, 1.6f) << "load " << load;
  }
  const LightRecord probe{};
  CGeometryStage& stage = *view->GetContext()->GetStage();
  const int32_t slot = stage.AddLight(&probe);
  EXPECT_EQ(slot, 3) << "the view's two and the one light of the scene shown";
  stage.SetLight(slot, nullptr);
}

// In a world of the system's convention the camera is raised to avatar
// height when the world starts; in one of the standard's it stands where a
// default Viewpoint puts the eye. A bound Viewpoint then places the eye where
// the file put it, and gives back the camera it found when unbound.
TEST_F(SceneViewTest, TheEyeStandsAtAvatarHeightOrWhereTheViewpointPutsIt) {
  const std::string walk = "#VRML V2.0 utf8\nNavigationInfo { type \"WALK\" avatarSize [ 0.25 1.6 ] }\n";
  for (const auto& [name, start] : {std::pair{"world.tsw", CVec3f(0.0f, 1.6f, 0.0f)},
                                    std::pair{"world.wrl", CVec3f(0.0f, 0.0f, 10.0f)}}) {
    WorldFile withoutViewpoint(walk, name);
    view->LoadWorld(withoutViewpoint.Path().c_str(), nullptr);
    view->Tick();
    view->Tick();
    EXPECT_EQ(view->GetContext()->GetPosition(), start) << name;

    WorldFile withViewpoint(walk + "DEF V Viewpoint { position 0 2.5 4 }\n", name);
    view->LoadWorld(withViewpoint.Path().c_str(), nullptr);
    view->Tick();
    view->Tick();
    EXPECT_EQ(view->GetContext()->GetPosition(), CVec3f(0.0f, 2.5f, 4.0f)) << name;

    int16_t off = 0;
    ASSERT_EQ(world.FindNode("V")->ReceiveEvent("set_bind", &off), 0);
    view->Tick();
    EXPECT_EQ(view->GetContext()->GetPosition(), start) << name;
  }
}

// Turning keeps the roll a Viewpoint of the standard's gave the camera; the
// system's worlds navigate level.
TEST_F(SceneViewTest, TurningKeepsTheRollOfAStandardWorldsViewpoint) {
  WorldFile file("#VRML V2.0 utf8\nViewpoint { position 0 0 5 orientation 0 0 1 0.5 }\n");
  view->LoadWorld(file.Path().c_str(), nullptr);
  view->Tick();
  view->Tick();
  float pitch, yaw, roll;
  view->GetContext()->GetOrientation(&pitch, &yaw, &roll);
  ASSERT_NEAR(std::fabs(roll), 0.5f, 1e-4);
  const float rolled = roll;
  const float before = yaw;
  view->MouseDown();
  MovePointer(48, 18);
  TickAt(30, 3);
  view->MouseUp();
  view->GetContext()->GetOrientation(&pitch, &yaw, &roll);
  EXPECT_GT(yaw - before, 0.01f) << "it turned";
  EXPECT_FLOAT_EQ(roll, rolled);

  world.ResetScene(WorldConvention::kSystem);
  view->GetContext()->SetOrientation(0.0f, 3.0f, 0.5f, false);
  view->MouseDown();
  TickAt(30);
  view->MouseUp();
  view->GetContext()->GetOrientation(&pitch, &yaw, &roll);
  EXPECT_EQ(roll, 0.0f);
}

// A Z-up world's camera turned a quarter about X by its parent, as the
// exporters write it: walking forward keeps the eye's height above the x/y
// floor and goes along +Y. The Viewpoint's own orientation turns only where
// it looks, and the system's worlds walk level in x/z whatever their
// Viewpoint.
TEST_F(SceneViewTest, WalkingKeepsToTheGroundOfTheViewpoint) {
  struct Case {
    const char* name;
    const char* viewpoint;
    CVec3f along;
  };
  const Case cases[] = {
      {"zup.wrl",
       "Transform { translation 0 -10 2 rotation 1 0 0 1.5708 children Viewpoint { position 0 0 0 } }",
       {0.0f, 1.0f, 0.0f}},
      {"zup.wrl", "Viewpoint { position 0 -10 2 orientation 1 0 0 1.5708 }", {0.0f, 0.0f, 0.0f}},
      {"zup.tsw", "Viewpoint { position 0 -10 2 orientation 1 0 0 1.5708 }", {0.0f, 0.0f, 0.0f}},
  };
  for (const Case& c : cases) {
    WorldFile file(std::string("#VRML V2.0 utf8\nNavigationInfo { type \"WALK\" }\n") + c.viewpoint +
                       "\nShape { geometry IndexedFaceSet { solid FALSE coord Coordinate {"
                       " point [ -8 -12 0, 8 -12 0, 8 14 0, -8 14 0 ] } coordIndex [ 0 1 2 3 -1 ] } }\n",
                   c.name);
    view->LoadWorld(file.Path().c_str(), nullptr);
    TickAt(20, 2);
    const CVec3f start = view->GetContext()->GetPosition();
    Press(56, true);
    TickAt(20, 10);
    Press(56, false);
    const CVec3f step = view->GetContext()->GetPosition() - start;
    if (c.along.Length() > 0.0f) {
      EXPECT_NEAR(step.z, 0.0f, 1e-4) << c.viewpoint;
      EXPECT_NEAR(step.Dot(c.along), 0.5f, 1e-3) << "half a second at a unit a second: " << c.viewpoint;
    } else {
      EXPECT_NEAR(step.y, 0.0f, 1e-6) << "level in x/z";
      EXPECT_NEAR(std::hypot(step.x, step.z), 0.5f, 1e-3);
    }
  }
}

// EXAMINE leaves the eye at the Viewpoint and a drag turns it about the
// middle of the world, which stays ahead at the same distance.
TEST_F(SceneViewTest, ExamineTurnsTheEyeAboutTheMiddleOfTheWorld) {
  WorldFile file(
      "#VRML V2.0 utf8\nNavigationInfo { type \"EXAMINE\" }\nViewpoint { position 1 0 10 }\n"
      "Transform { translation 1 0 0 children Shape { geometry Box { size 2 2 2 } } }\n");
  view->LoadWorld(file.Path().c_str(), nullptr);
  TickAt(30, 3);
  EXPECT_EQ(view->GetContext()->GetStage()->eye, CVec3f(1.0f, 0.0f, 10.0f));
  view->MouseDown();
  MovePointer(56, 12);
  TickAt(30, 5);
  view->MouseUp();
  const CVec3f centre{1.0f, 0.0f, 0.0f};
  const CVec3f offset = view->GetContext()->GetPosition() - centre;
  EXPECT_NEAR(offset.Length(), 10.0f, 1e-3);
  EXPECT_GT(std::fabs(offset.x), 0.1f) << "it turned";
  EXPECT_GT(std::fabs(offset.y), 0.01f) << "and pitched";
  const CVec3f ahead = view->GetContext()->GetViewDirection();
  EXPECT_NEAR(ahead.Dot(offset * -0.1f), 1.0f, 1e-4) << "the middle stays ahead";
}

// Links reach compressed worlds: ".gz" added to either name, in any case,
// and ".wrz", followed by a Viewpoint's name or not. A name that only looks
// compressed loads nothing and leaves the world as it was.
TEST_F(SceneViewTest, LinksLoadCompressedWorldsAtTheirViewpoints) {
  struct GunzipHost {
    GunzipHost() { SetHostTable(test::GunzipHostTable()); }
    ~GunzipHost() { SetHostTable(nullptr); }
  } host;
  WorldFile folder("", "unused.txt");
  const std::string base = folder.Path().substr(0, folder.Path().rfind('/') + 1);
  for (const char* name : {"a.wrl.gz", "b.TSW.GZ", "c.wrz", "d.WRZ"}) {
    gzFile out = gzopen((base + name).c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_GT(gzputs(out, kTwoViewpoints), 0);
    ASSERT_EQ(gzclose(out), Z_OK);
    view->LoadWorld((base + name + "#Far").c_str(), nullptr);
    view->Tick();
    ASSERT_NE(world.FindNode("Far"), nullptr) << name;
    EXPECT_EQ(world.GetViewpoint(), world.FindNode("Far")) << name;
    EXPECT_EQ(world.GetConvention(), name[0] == 'b' ? WorldConvention::kSystem : WorldConvention::kStandard) << name;
    EXPECT_EQ(world.GetWorldUrl(), base) << name;
  }
  EXPECT_TRUE(log.links.empty());

  std::ofstream(base + "broken.wrl.gz") << kTwoViewpoints;
  view->LoadWorld((base + "broken.wrl.gz").c_str(), nullptr);
  view->Tick();
  EXPECT_NE(world.FindNode("Far"), nullptr) << "a file that does not unpack changes nothing";
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(base), std::filesystem::directory_iterator()), 6)
      << "the user's files stay, and nothing is left beside them";
}

TEST_F(SceneViewTest, AViewpointsJumpIsNotTakenForAStepThroughTheWallBetween) {
  WorldFile file(
      "#VRML V2.0 utf8\n"
      "Viewpoint { position 0 0 10 }\n"
      "Transform { translation 0 0 5 children Shape { geometry Box { size 4 4 0.2 } } }\n");
  view->LoadWorld(file.Path().c_str(), nullptr);
  for (int i = 0; i < 3; ++i) view->Tick();
  EXPECT_EQ(view->GetContext()->GetPosition(), CVec3f(0.0f, 0.0f, 10.0f));
  EXPECT_EQ(view->GetPreviousCameraPosition(), CVec3f(0.0f, 0.0f, 10.0f));

  // Walking into the wall is stopped by it.
  view->GetContext()->SetPosition({0.0f, 0.0f, 5.3f}, false);
  view->Tick();
  EXPECT_GT(view->GetContext()->GetPosition().z, 5.3f);
}

int32_t LastSlot(const ScriptedDownloads& downloads) { return downloads.nextSlot - 1; }

TEST_F(SceneViewTest, AnHttpWorldIsDownloadedWithBlankFramesAndThenLoaded) {
  ScriptedDownloads downloads;
  WorldFile file(kTwoViewpoints);
  view->LoadWorld("http://example.test/worlds/w.wrl#Far", nullptr);
  ASSERT_TRUE(view->IsDownloading());
  EXPECT_EQ(downloads.requests[LastSlot(downloads)].url, std::string("http://example.test/worlds/w.wrl"));
  view->LoadWorld("http://example.test/other.wrl", nullptr);
  EXPECT_EQ(downloads.requests.size(), 1u) << "one world download at a time";
  view->Tick();
  EXPECT_EQ(Headless().LastFrame(window)->At(32, 24), 0u) << "cleared while downloading";

  downloads.End(LastSlot(downloads), DownloadDone, file.Path().c_str());
  view->Tick();
  EXPECT_FALSE(view->IsDownloading());
  EXPECT_EQ(world.GetViewpoint(), world.FindNode("Far"));
  EXPECT_EQ(world.GetWorldUrl(), "http://example.test/worlds/");
}

// The name a link gives decides, also when the world arrives as a copy in
// the download cache.
TEST_F(SceneViewTest, EachWorldALinkLoadsTakesTheConventionItsNameGives) {
  WorldFile system(kTwoViewpoints, "world.TSW");
  view->LoadWorld((system.Path() + "#Far").c_str(), nullptr);
  view->Tick();
  EXPECT_EQ(world.GetConvention(), WorldConvention::kSystem);

  WorldFile standard(kTwoViewpoints, "world.wrl");
  view->LoadWorld(standard.Path().c_str(), nullptr);
  view->Tick();
  EXPECT_EQ(world.GetConvention(), WorldConvention::kStandard);

  ScriptedDownloads downloads;
  view->LoadWorld("http://example.test/worlds/w.tsw#Far", nullptr);
  downloads.End(LastSlot(downloads), DownloadDone, standard.Path().c_str());
  view->Tick();
  EXPECT_EQ(world.GetViewpoint(), world.FindNode("Far"));
  EXPECT_EQ(world.GetConvention(), WorldConvention::kSystem);

  // Only the last '#' names a Viewpoint; one in the path is part of the name.
  view->LoadWorld("http://example.test/a#b/w.tsw#Far", nullptr);
  downloads.End(LastSlot(downloads), DownloadDone, standard.Path().c_str());
  view->Tick();
  EXPECT_EQ(world.GetConvention(), WorldConvention::kSystem);
}

TEST_F(SceneViewTest, AFailedDownloadIsDroppedAndADestroyedViewIsNeverCalledBack) {
  ScriptedDownloads downloads;
  view->LoadWorld("http://example.test/w.wrl", nullptr);
  downloads.End(LastSlot(downloads), DownloadFailed, "");
  EXPECT_FALSE(view->IsDownloading());
  view->LoadWorld("http://example.test/w.wrl", nullptr);
  downloads.End(LastSlot(downloads), DownloadDone, "");
  EXPECT_FALSE(view->IsDownloading()) << "done without a file is given up too";

  view->LoadWorld("http://example.test/w.wrl", nullptr);
  const int32_t slot = LastSlot(downloads);
  view.reset();
  EXPECT_EQ(downloads.cancelled, std::vector<int32_t>{slot});
  EXPECT_TRUE(downloads.requests.empty());
}

TEST_F(SceneViewTest, AHostTargetIsDrawnIntoUnlessTheViewCapturesTheMouse) {
  test::TestFrame target(kWidth, kHeight, 4, 0xAB);
  view->SetTargetBuffer(target.map);
  view->Tick();
  EXPECT_EQ(target.Xrgb(32, 24), 0xABABABABu) << "flag 0x10 renders into the view's own frame";
  EXPECT_EQ(Headless().LastFrame(window)->At(32, 24), 0x00FD0202u);
  view->SetRect({0, 0, 24, 32});
  view->Tick();
  EXPECT_EQ(view->GetContext()->GetFrameBuffer().width, 32) << "its frame follows the rectangle";

  view = std::make_unique<CSceneView>(window);
  view->AttachBrowser(&world);
  view->SetFlags(0);
  view->Tick();
  view->SetTargetBuffer(target.map);
  const int presented = Headless().PresentCount(window);
  view->Tick();
  EXPECT_EQ(target.Xrgb(32, 24), 0x00FD0202u);
  EXPECT_EQ(Headless().PresentCount(window), presented) << "the host presents its own buffer, not the old frame";

  view->SetTargetBuffer(PixelMap{});
  view->Tick();
  EXPECT_GT(Headless().PresentCount(window), presented) << "without the target the view presents again";
}

}  // namespace
}  // namespace vx
