#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "EventRecorder.h"
#include "NodeTestSupport.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/SceneReader.h"
#include "engine/nodes/InlineNode.h"
#include "engine/nodes/LightNodes.h"
#include "engine/world/ViewContext.h"
#include "platform/Clock.h"
#include "tests/host/HostDownloads.h"

namespace vx::test {
namespace {

constexpr const char* kHeader = "#VRML V2.0 utf8\n";
constexpr int kEnoughFrames = 12;

// A folder of scene files and a world read as if from "main.wrl" in it.
class InlineTest : public ::testing::Test {
 protected:
  InlineTest() {
    std::string name = (std::filesystem::temp_directory_path() / "vxinlineXXXXXX").string();
    if (!::mkdtemp(name.data())) std::abort();
    folder_ = name;
  }
  ~InlineTest() override {
    world_.reset();
    std::filesystem::remove_all(folder_);
  }

  void WriteFile(const std::string& name, const std::string& body) const {
    std::filesystem::create_directories((folder_ / name).parent_path());
    std::ofstream(folder_ / name) << kHeader << body;
  }
  void ReadMain(const std::string& body) {
    world_ = std::make_unique<CBrowser>();
    const std::string main = (folder_ / "main.wrl").string();
    world_->SetWorldUrl(main);
    world_->SetWorldDirectory(main);
    auto stream = CSceneInputStream::FromText(kHeader + body);
    CSceneReader reader(stream);
    ASSERT_TRUE(reader.ReadScene(&world_->GetScene())) << reader.GetMessage();
  }
  void Frames(int count = kEnoughFrames) {
    for (int i = 0; i < count; ++i) world_->GetRoot()->Traverse(RenderPass::Frame, nullptr);
  }
  static CInlineNode& InlineOf(CScene& scene, const char* name) {
    return static_cast<CInlineNode&>(*scene.FindNode(name));
  }
  CInlineNode& Main() { return InlineOf(world_->GetScene(), "I"); }

  std::filesystem::path folder_;
  std::unique_ptr<CBrowser> world_;
};

TEST_F(InlineTest, AMissingFirstUrlAndABrokenOneAreSkippedForOneThatLoads) {
  WriteFile("broken.wrl", "Group { children [ ");
  WriteFile("b.wrl", "DEF Inner Transform {}");
  ReadMain(R"(DEF I Inline { url [ "missing.wrl" "broken.wrl" "b.wrl" ] })");
  Frames(2);
  EXPECT_EQ(Main().GetState(), InlineState::LoadFailed);
  EXPECT_NE(Main().GetMessage().find("missing.wrl"), std::string::npos);
  Frames(2);
  EXPECT_EQ(Main().GetChildScene(), nullptr) << "a file that does not parse keeps no world";
  Frames(2);
  ASSERT_EQ(Main().GetState(), InlineState::Loaded);
  EXPECT_NE(Main().GetChildScene()->FindNode("Inner"), nullptr);
  EXPECT_TRUE(Main().GetMessage().empty());
  EXPECT_EQ(world_->FindNode("Inner"), nullptr) << "the inlined names stay in the inlined world";

  const CNodeRef added[] = {MakeNode<CProbeNode>()};
  const MFNode value{1, const_cast<CNodeRef*>(added)};
  EXPECT_EQ(Main().ReceiveEvent("addChildren", &value), 0);
  EXPECT_EQ(Main().GetChildScene()->GetRoot()->children.count, 1) << "addChildren changes nothing";
}

TEST_F(InlineTest, ARouteInsideTheInlinedFileDeliversOnce) {
  WriteFile("routed.wrl", "DEF A Transform {} DEF B Transform {} ROUTE A.translation_changed TO B.set_translation");
  ReadMain(R"(DEF I Inline { url "routed.wrl" })");
  Frames();
  CScene& inlined = *Main().GetChildScene();
  CNodeRef recorder = RecordInto(*inlined.FindNode("B"), "translation_changed", "vec3");
  SetValue(*inlined.FindNode("A"), "translation", SFVec3f{1, 2, 3});
  EXPECT_EQ(As<CEventRecorder>(recorder).log, (std::vector<std::string>{"vec3"}));
  EXPECT_EQ(As<CEventRecorder>(recorder).vec3.z, 3.0f);
}

TEST_F(InlineTest, AFileThatIncludesItselfIsRefusedDirectlyOrThroughOthers) {
  WriteFile("self.wrl", R"(DEF Again Inline { url "self.wrl" })");
  WriteFile("a.wrl", R"(DEF ToB Inline { url "b.wrl" })");
  WriteFile("b.wrl", R"(DEF ToA Inline { url [ "./a.wrl" "leaf.wrl" ] })");
  WriteFile("leaf.wrl", "DEF Leaf Group {}");
  ReadMain(R"(DEF I Inline { url "self.wrl" } DEF J Inline { url "a.wrl" })");
  Frames();
  CInlineNode& again = InlineOf(*Main().GetChildScene(), "Again");
  EXPECT_EQ(again.GetState(), InlineState::LoadFailed);
  EXPECT_EQ(again.GetChildScene(), nullptr);
  EXPECT_NE(again.GetMessage().find("includes itself"), std::string::npos) << again.GetMessage();

  CInlineNode& toB = InlineOf(*InlineOf(world_->GetScene(), "J").GetChildScene(), "ToB");
  CInlineNode& toA = InlineOf(*toB.GetChildScene(), "ToA");
  ASSERT_EQ(toA.GetState(), InlineState::Loaded) << "the next url is tried after the refusal";
  EXPECT_NE(toA.GetChildScene()->FindNode("Leaf"), nullptr);
}

TEST_F(InlineTest, ThirtyTwoFilesNestAndTheNextIsRefused) {
  for (int i = 0; i <= kMaxInlineNesting; ++i) {
    WriteFile("n" + std::to_string(i) + ".wrl", "DEF Next Inline { url \"n" + std::to_string(i + 1) + ".wrl\" }");
  }
  ReadMain(R"(DEF I Inline { url "n0.wrl" })");
  Frames(3 * kMaxInlineNesting);
  CInlineNode* level = &Main();
  for (int loaded = 0; loaded < kMaxInlineNesting; ++loaded) {
    ASSERT_EQ(level->GetState(), InlineState::Loaded) << "level " << loaded << ": " << level->GetMessage();
    level = &InlineOf(*level->GetChildScene(), "Next");
  }
  EXPECT_EQ(level->GetState(), InlineState::LoadFailed);
  EXPECT_NE(level->GetMessage().find("nests more than 32"), std::string::npos) << level->GetMessage();
}

TEST_F(InlineTest, RelativeUrlsOfAnInlinedFileResolveAgainstItsOwnFolder) {
  WriteFile("sub/c.wrl", R"(DEF N Inline { url "d.wrl" })");
  WriteFile("sub/d.wrl", "DEF Near Group {}");
  WriteFile("d.wrl", "DEF Far Group {}");
  ReadMain(R"(DEF I Inline { url "sub/c.wrl" })");
  Frames();
  CInlineNode& nested = InlineOf(*Main().GetChildScene(), "N");
  ASSERT_EQ(nested.GetState(), InlineState::Loaded) << nested.GetMessage();
  EXPECT_NE(nested.GetChildScene()->FindNode("Near"), nullptr);
  EXPECT_EQ(Main().GetChildScene()->GetWorldDirectory(), (folder_ / "sub/").string());
}

TEST_F(InlineTest, ALoadedFileIsActivatedButKeepsTheViewAndItsCamera) {
  WriteFile("b.wrl", "DEF Far Viewpoint { position 0 0 50 } DEF Lamp PointLight {}");
  ReadMain(R"(DEF I Inline { url "b.wrl" })");
  std::vector<uint32_t> pixels(16 * 16);
  CViewContext view(WindowHandle::None, 0);
  view.SetFrameBuffer(FrameOver(pixels, 16, 16));
  world_->RenderView(RenderPass::Activate, &view);
  const CVec3f start = view.GetPosition();
  for (int i = 0; i < 4; ++i) world_->RenderFrame(&view);
  ASSERT_EQ(Main().GetState(), InlineState::Loaded);
  EXPECT_EQ(world_->GetViewpoint(), nullptr) << "an inlined Viewpoint is not bound by the read";
  EXPECT_EQ(view.GetWorld(), world_.get());
  EXPECT_EQ(view.GetPosition(), start) << "the camera stays where it was";
  const auto& lamp = static_cast<CLightNode&>(*Main().GetChildScene()->FindNode("Lamp"));
  EXPECT_GE(lamp.GetSlot(), 0) << "the active Inline's new scene was activated";
}

TEST_F(InlineTest, AnInlinedTimeSensorRunsOnTheClockOfTheWorld) {
  ManualClock clock(1000);
  WriteFile("timer.wrl", "DEF Timer TimeSensor { loop TRUE cycleInterval 100 }");
  ReadMain(R"(DEF I Inline { url "timer.wrl" })");
  clock.Advance(30000);
  Frames(2);
  ASSERT_EQ(Main().GetState(), InlineState::Loaded) << Main().GetMessage();
  CNode& timer = *Main().GetChildScene()->FindNode("Timer");
  EXPECT_EQ(timer.GetWorld(), world_.get());
  CNodeRef recorder = RecordInto(timer, "time", "time");
  clock.Advance(2000);
  Frames(1);
  EXPECT_DOUBLE_EQ(As<CEventRecorder>(recorder).time, 32.0) << "the time since the world was read, not the file";
  EXPECT_DOUBLE_EQ(world_->GetWorldTime(), 32.0);
}

TEST_F(InlineTest, PrototypesHandedToTheWorldAreCountedAndOutliveTheInline) {
  WriteFile("proto.wrl", "PROTO Thing [ field SFVec3f t 0 0 0 ] { Transform { translation IS t } } DEF T Thing {}");
  ReadMain(R"(Group { children DEF I Inline { url "proto.wrl" } })");
  Frames();
  ASSERT_EQ(Main().GetState(), InlineState::Loaded);
  CProtoDeclaration* handed = world_->GetScene().FindProto("Thing");
  ASSERT_NE(handed, nullptr);
  EXPECT_EQ(handed, Main().GetChildScene()->FindProto("Thing"));

  {
    CNode& group = *world_->GetRoot()->children[0].Get();
    const CNodeRef removed[] = {CNodeRef(&Main())};
    const MFNode value{1, const_cast<CNodeRef*>(removed)};
    group.ReceiveEvent("removeChildren", &value);
  }
  ASSERT_EQ(world_->FindNode("I"), nullptr);
  EXPECT_EQ(world_->GetScene().FindProto("Thing"), handed) << "the world keeps its reference";
  CNodeRef instance = NodeFactory("Thing", {.scene = &world_->GetScene()});
  ASSERT_TRUE(instance);
  EXPECT_NE(instance.Resolve(), instance.Get()) << "the body was read after the Inline went";
}

TEST_F(InlineTest, AWorldWithAFullListOfPrototypesTakesNoMore) {
  WriteFile("proto.wrl", "PROTO Thing [ ] { Group {} } DEF T Thing {}");
  ReadMain(R"(DEF I Inline { url "proto.wrl" })");
  for (int i = world_->GetScene().GetProtoCount(); i < kMaxProtoDeclarations; ++i) {
    ASSERT_NE(world_->GetScene().CreateProto("Filler" + std::to_string(i), false), nullptr);
  }
  Frames();
  ASSERT_EQ(Main().GetState(), InlineState::Loaded);
  EXPECT_EQ(world_->GetScene().GetProtoCount(), kMaxProtoDeclarations);
  EXPECT_EQ(world_->GetScene().FindProto("Thing"), nullptr);
  EXPECT_NE(Main().GetChildScene()->FindNode("T"), nullptr) << "the inlined world still has its own";
}

// ---- Over HTTP, through the host's download manager ----

class InlineOverHttpTest : public InlineTest {
 protected:
  InlineOverHttpTest() : server_(folder_.string()) {}
  // The Inlines go while the download manager is still there.
  ~InlineOverHttpTest() override { world_.reset(); }
  std::string Url(const std::string& file) const { return "http://" + server_.HostAndPort() + "/" + file; }
  bool FramesUntil(const std::function<bool()>& done) {
    return ScopedHostDownloads::PumpUntil([&] {
      Frames(1);
      return done();
    });
  }

  HttpTestServer server_;
  ScopedHostDownloads downloads_;
};

TEST_F(InlineOverHttpTest, AFileAndTheFilesItNamesArriveFromTheServer) {
  WriteFile("site/h.wrl", R"(DEF Top Group {} DEF Rel Inline { url "rel.wrl" })");
  WriteFile("site/rel.wrl", "DEF Leaf Group {}");
  WriteFile("rel.wrl", "DEF Wrong Group {}");
  ReadMain(R"(DEF I Inline { url [ ")" + Url("site/nothing.wrl") + R"(" ")" + Url("site/h.wrl") + R"(" ] })");
  ASSERT_TRUE(FramesUntil([&] { return Main().GetState() == InlineState::Loaded; })) << Main().GetMessage();
  EXPECT_NE(Main().GetChildScene()->FindNode("Top"), nullptr);
  CInlineNode& nested = InlineOf(*Main().GetChildScene(), "Rel");
  ASSERT_TRUE(FramesUntil([&] { return nested.GetState() == InlineState::Loaded; })) << nested.GetMessage();
  EXPECT_NE(nested.GetChildScene()->FindNode("Leaf"), nullptr) << "resolved against the server's folder";
}

TEST_F(InlineOverHttpTest, AnInlineFreedWhileDownloadingGetsNoCompletion) {
  ReadMain(R"(DEF I Inline { url ")" + Url("stall/100") + R"(" })");
  Frames(1);
  ASSERT_EQ(Main().GetState(), InlineState::Downloading);
  world_.reset();
  EXPECT_FALSE(ScopedHostDownloads::PumpUntil([] { return false; }, 100));
}

}  // namespace
}  // namespace vx::test
