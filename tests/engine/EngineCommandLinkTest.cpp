// The command link inside the loaded engine module: its own build of the
// socket channel, driven through the window classes that the host
// registered, exactly as a host loads and ticks the engine.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/NMChannel.h"
#include "tests/engine/EngineTestHost.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/world/LinkController.h"

namespace vx::test {
namespace {

constexpr const char* kWorld =
    "#VRML V2.0 utf8\n"
    "DEF Box Transform { translation 1 2 3 }\n";

// An instance with one loaded scene ("link.wrl") shown in one view, torn down
// in reverse order.
class EngineSession {
 public:
  EngineSession(RecordingClass& windows, const std::filesystem::path& file) {
    instance = Slot<VxCreateEngineInstanceFn>(VxEngineCreateEngineInstance)();
    scene = Slot<VxCreateSceneFn>(VxEngineCreateScene)(instance);
    char path[VX_TEXT_BUFFER_SIZE] = {};
    std::snprintf(path, sizeof path, "%s", file.c_str());
    char error[VX_TEXT_BUFFER_SIZE] = {};
    EXPECT_EQ(Slot<VxLoadSceneFileFn>(VxEngineLoadSceneFile)(scene, path, error), EngineOk) << error;
    const WindowHandle window = windows.Create(kWindowVisible, WindowHandle::None, 40, 30);
    view = Slot<VxCreateViewFn>(VxEngineCreateView)(scene, static_cast<VxWindow>(window), nullptr, 0x14);
    EXPECT_NE(view, nullptr);
  }
  ~EngineSession() { Release(); }
  // Destroys the view, the scene and the instance, in that order, once.
  void Release() {
    if (!instance) return;
    EXPECT_EQ(Slot<VxDestroyViewFn>(VxEngineDestroyView)(view), EngineOk);
    EXPECT_EQ(Slot<VxDestroySceneFn>(VxEngineDestroyScene)(scene), EngineOk);
    EXPECT_EQ(Slot<VxDestroyEngineInstanceFn>(VxEngineDestroyEngineInstance)(instance), EngineOk);
    view = nullptr;
    scene = nullptr;
    instance = nullptr;
  }
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  void Tick() { EXPECT_EQ(Slot<VxViewActionFn>(VxEngineTickView)(view), EngineOk); }

  EngineInstance* instance = nullptr;
  SceneHandle* scene = nullptr;
  ViewHandle* view = nullptr;
};

class EngineCommandLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RegisterChannelWindowClasses());
    folder_ = std::filesystem::temp_directory_path() / ("vx-command-link-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder_);
    world_ = folder_ / "link.wrl";
    std::ofstream(world_) << kWorld;
    before_ = ListeningSockets();
  }
  void TearDown() override {
    std::filesystem::remove_all(folder_);
    UnregisterChannelWindowClasses();
  }

  // The sockets that listen now and did not when the test began.
  std::vector<ListeningSocket> NewListeners() const {
    std::vector<ListeningSocket> added = ListeningSockets();
    std::erase_if(added, [this](const ListeningSocket& socket) {
      return std::find(before_.begin(), before_.end(), socket) != before_.end();
    });
    return added;
  }

  // Sends the request and runs the host's loop (the message pump, then
  // `step`) until the reply has come.
  std::string Exchange(LinkController& controller, const std::string& request, const std::function<void()>& step) {
    controller.Send(request);
    EXPECT_TRUE(PumpUntil(
        [&] {
          step();
          controller.Read();
        },
        [&] { return controller.Replies() >= 1; }));
    return controller.TakeReceived();
  }

  std::filesystem::path folder_;
  std::filesystem::path world_;
  std::vector<ListeningSocket> before_;
  RecordingClass windows_;
};

TEST_F(EngineCommandLinkTest, TheFirstTickWithNetworkingOnListensOnLoopbackAndTheLinkAnswers) {
  {
    EngineSession session(windows_, world_);
    session.Tick();
    EXPECT_TRUE(NewListeners().empty()) << "no link while networking is off";

    ASSERT_EQ(Slot<VxSetNetworkEnabledFn>(VxEngineSetNetworkEnabled)(session.instance, 1), EngineOk);
    EXPECT_TRUE(NewListeners().empty()) << "the link is made by a tick";
    session.Tick();
    const std::vector<ListeningSocket> listeners = NewListeners();
    ASSERT_EQ(listeners.size(), 1u);
    EXPECT_EQ(listeners[0].address, "127.0.0.1");

    LinkController controller;
    ASSERT_TRUE(controller.Connect(listeners[0].port));
    const auto tick = [&] { session.Tick(); };
    EXPECT_EQ(Exchange(controller, "RBOM GetSceneList REOM", tick), "RBOMlink.wrlREOM\r\n");
    EXPECT_EQ(Exchange(controller, "RBOM SetProperty link.wrl Box translation 4 5 6 REOM", tick), "RBOMOKREOM\r\n");

    VxNodeRef* box = nullptr;
    ASSERT_EQ(Slot<VxFindNodeByNameFn>(VxEngineFindNodeByName)(session.scene, "Box", &box), EngineOk);
    void* value = nullptr;
    ASSERT_EQ(Slot<VxGetNodeFieldValueFn>(VxEngineGetNodeFieldValue)(session.scene, box, "translation", &value),
              EngineOk);
    const auto* translation = static_cast<const float*>(value);
    EXPECT_EQ((std::vector<float>(translation, translation + 3)), (std::vector<float>{4, 5, 6}));
    EXPECT_EQ(Slot<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(box), EngineOk);

    // The host may also run the commands without ticking a view.
    const auto runCommands = [&] { Slot<VxRunRemoteCommandsFn>(VxEngineRunRemoteCommands)(session.instance); };
    EXPECT_EQ(Exchange(controller, "RBOM GetProperty link.wrl Box translation REOM", runCommands),
              "RBOM4.00,5.00,6.00REOM\r\n");
  }
  EXPECT_TRUE(NewListeners().empty()) << "destroying the instance ends the link";
}

// A host function that closes everything (view, scene and instance) while
// slot 3 answers the command that reached it: the engine answers the
// command, lets go of what the host destroyed once the slot returns, and
// runs no later command.
class HostClosingOnCommand {
 public:
  HostClosingOnCommand(RecordingClass& windows, const std::filesystem::path& file) : session_(windows, file) {}

  static void Hear(int32_t, void*, void* self) { static_cast<HostClosingOnCommand*>(self)->Close(); }
  void Close() {
    ++calls_;
    if (closed_) return;
    closed_ = true;
    session_.Release();
  }

  EngineSession& Session() { return session_; }
  bool Closed() const { return closed_; }
  int Calls() const { return calls_; }

 private:
  EngineSession session_;
  bool closed_ = false;
  int calls_ = 0;
};

TEST_F(EngineCommandLinkTest, AHostThatClosesEverythingWhileRunningCommandsIsCalledOnceAndNothingIsUsedAfter) {
  std::ofstream(world_) << "#VRML V2.0 utf8\nDEF Caller Script { url \"closeAll:\" eventIn SFFloat go }\n";
  HostClosingOnCommand host(windows_, world_);
  ScriptFunctionCallback callback{&host, &HostClosingOnCommand::Hear};
  EXPECT_EQ(Slot<VxRegisterHostScriptFunctionFn>(VxEngineRegisterHostScriptFunction)(nullptr, "closeAll", &callback),
            EngineOk);
  EngineSession& session = host.Session();
  ASSERT_EQ(Slot<VxSetNetworkEnabledFn>(VxEngineSetNetworkEnabled)(session.instance, 1), EngineOk);
  session.Tick();
  const std::vector<ListeningSocket> listeners = NewListeners();
  ASSERT_EQ(listeners.size(), 1u);
  LinkController controller;
  ASSERT_TRUE(controller.Connect(listeners[0].port));
  controller.Send("RBOM GenerateEvent link.wrl Caller go 1 REOM RBOM GenerateEvent link.wrl Caller go 2 REOM");
  EXPECT_TRUE(PumpUntil(
      [&] {
        if (!host.Closed()) Slot<VxRunRemoteCommandsFn>(VxEngineRunRemoteCommands)(session.instance);
        controller.Read();
      },
      [&] { return controller.Closed(); }));
  EXPECT_EQ(host.Calls(), 1);
  EXPECT_EQ(controller.Received(), "RBOMOKREOM\r\n") << "the command that closed is answered, the next one not";
  EXPECT_TRUE(NewListeners().empty());
}

TEST_F(EngineCommandLinkTest, StartingADownloadSwitchesNetworkingOnToo) {
  const std::vector<std::function<void(EngineInstance*)>> starts = {
      [](EngineInstance* instance) {
        int32_t request = 0;
        EXPECT_EQ(Slot<VxStartEngineDownloadFn>(VxEngineStartEngineDownload)(instance, "a.wrl", nullptr, &request),
                  EngineOk);
      },
      [](EngineInstance* instance) {
        EXPECT_EQ(Slot<VxStartEngineDownloadToFileFn>(VxEngineStartEngineDownloadToFile)(instance, "b.jpg",
                                                                                         "/tmp/b.jpg", nullptr, nullptr),
                  EngineOk);
      },
  };
  for (const auto& start : starts) {
    EngineSession session(windows_, world_);
    start(session.instance);
    session.Tick();
    EXPECT_EQ(NewListeners().size(), 1u);
  }
}

}  // namespace
}  // namespace vx::test
