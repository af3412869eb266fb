// Worlds written as VRML 2.0 defines them, as other tools write them: each
// is loaded from a file, drawn, or saved into another folder and loaded
// again, and shows what the standard says it shows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/hostlink/HostTable.h"
#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/GroupNode.h"
#include "engine/nodes/InlineNode.h"
#include "engine/nodes/TimeSensorNode.h"
#include "engine/interface/SceneFile.h"
#include "engine/world/ViewContext.h"
#include "tests/scene/GunzipHost.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;

constexpr int kFrameSize = 64;

// Which channel of a drawn pixel stands out (twice the others); kNone for
// the black of the empty background and for greys.
enum class Tint { kNone, kRed, kGreen, kBlue };

Tint TintOf(uint32_t pixel) {
  const uint32_t r = pixel >> 16 & 0xFF, g = pixel >> 8 & 0xFF, b = pixel & 0xFF;
  if (r > 2 * g && r > 2 * b) return Tint::kRed;
  if (g > 2 * r && g > 2 * b) return Tint::kGreen;
  if (b > 2 * r && b > 2 * g) return Tint::kBlue;
  return Tint::kNone;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void Gzip(const fs::path& from, const fs::path& to) {
  const std::string text = ReadFile(from);
  gzFile out = gzopen(to.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(gzwrite(out, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size()));
  ASSERT_EQ(gzclose(out), Z_OK);
}

// A node's SFNode field.
CNode* Child(CNode* node, const char* field) {
  return node ? static_cast<CNodeRef*>(node->GetFieldByName(field))->Resolve() : nullptr;
}

// The material of a Shape, through its Appearance (a PROTO instance standing
// for its body's first node).
CNode* MaterialOf(CNode* shape) { return Child(Child(shape, "appearance"), "material"); }

SFColor DiffuseOf(CNode* material) {
  EXPECT_NE(material, nullptr);
  return material ? *static_cast<SFColor*>(material->GetFieldByName("diffuseColor")) : SFColor{};
}

// A folder with a copy of the test worlds, and the product's folders (the
// cache among them) in a folder of their own.
class StandardWorlds : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vx-standard-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    worlds_ = folder_ / "worlds";
    fs::create_directories(worlds_);
    for (const auto& entry : fs::directory_iterator(fs::path(VX_TEST_DATA_DIR) / "scene")) {
      if (entry.path().extension() == ".wrl") fs::copy_file(entry.path(), worlds_ / entry.path().filename());
    }
    root_ = folder_ / "root";
    fs::create_directories(root_);
    setenv("VANTESSEL_ROOT", root_.c_str(), 1);
    SetHostTable(GunzipHostTable());
  }
  void TearDown() override {
    SetHostTable(nullptr);
    fs::remove_all(folder_);
  }

  // Loads into a new scene handle; error_ keeps what the load said.
  EngineResult Load(const fs::path& path) {
    scene_ = std::make_unique<SceneHandle>();
    char buffer[VX_TEXT_BUFFER_SIZE] = {};
    path.string().copy(buffer, sizeof buffer - 1);
    char error[VX_TEXT_BUFFER_SIZE] = {};
    const EngineResult result = LoadSceneFile(scene_.get(), buffer, error);
    error_ = error;
    return result;
  }
  CBrowser& World() { return *scene_->world; }
  CNode* Named(const char* name) { return World().FindNode(name); }
  CNode* Top(int index) { return World().GetRoot()->children[index].GetNode(); }

  // Saves the world with completed URLs, as the viewer's Save As does, into
  // a folder of its own.
  fs::path SaveElsewhere(const char* name) {
    const fs::path saved = folder_ / "elsewhere" / name;
    fs::create_directories(saved.parent_path());
    EXPECT_EQ(SaveSceneFile(scene_.get(), saved.c_str(), 1), EngineOk);
    return saved;
  }

  // Shows the world in a view of its own and draws frames.
  void Draw(int frames = 1) {
    pixels_.assign(kFrameSize * kFrameSize, 0u);
    PixelMap frame;
    frame.bits = reinterpret_cast<uint8_t*>(pixels_.data());
    frame.width = frame.height = kFrameSize;
    frame.bytesPerPixel = 4;
    frame.rowBytes = kFrameSize * 4;
    view_ = std::make_unique<CViewContext>(WindowHandle::None, 0);
    view_->SetFrameBuffer(frame);
    World().RenderView(RenderPass::Activate, view_.get());
    for (int i = 0; i < frames; ++i) World().RenderFrame(view_.get());
  }
  Tint TintAt(int x, int y) const { return TintOf(pixels_[static_cast<size_t>(y * kFrameSize + x)]); }

  fs::path folder_;
  fs::path worlds_;
  fs::path root_;
  std::unique_ptr<SceneHandle> scene_;
  std::string error_;
  std::vector<uint32_t> pixels_;
  std::unique_ptr<CViewContext> view_;
};

TEST_F(StandardWorlds, OnlyTheFirstTopNodeOfAPrototypeBodyIsDrawn) {
  ASSERT_EQ(Load(worlds_ / "proto_first_node_drawn.wrl"), EngineOk) << error_;
  Draw();
  EXPECT_EQ(TintAt(32, 42), Tint::kRed) << "the red box, the body's first node";
  EXPECT_EQ(TintAt(32, 16), Tint::kNone) << "no green box above it";
}

TEST_F(StandardWorlds, TheOtherTopNodesOfABodyKeepTheirClocksAndRoutes) {
  std::ofstream(worlds_ / "clock.wrl") << "#VRML V2.0 utf8\n"
                                          "PROTO Ticking [ ] {\n"
                                          "  DEF T Transform { }\n"
                                          "  DEF CLOCK TimeSensor { loop TRUE }\n"
                                          "  DEF MOVE PositionInterpolator { key [ 0 1 ] keyValue [ 0 0 0, 0 0 0 ] }\n"
                                          "  ROUTE CLOCK.fraction_changed TO MOVE.set_fraction\n"
                                          "  ROUTE MOVE.value_changed TO T.set_scale\n"
                                          "}\n"
                                          "DEF I Ticking { }\n";
  ASSERT_EQ(Load(worlds_ / "clock.wrl"), EngineOk) << error_;
  auto& instance = static_cast<CProtoInstanceNode&>(*Named("I"));
  ASSERT_TRUE(instance.IsInstantiated());
  Draw(2);
  EXPECT_TRUE(static_cast<CTimeSensorNode*>(instance.GetBody()->FindNode("CLOCK"))->IsActive());
  const auto* scale = static_cast<SFVec3f*>(instance.GetBody()->FindNode("T")->GetFieldByName("scale"));
  EXPECT_EQ(scale->x, 0.0f) << "the clock drove the interpolator into the first node";
}

TEST_F(StandardWorlds, AnExternProtoTriesItsUrlsInOrderAtOnce) {
  ASSERT_EQ(Load(worlds_ / "externproto_urn_first.wrl"), EngineOk) << error_;
  auto& instance = static_cast<CProtoInstanceNode&>(*Named("M"));
  ASSERT_TRUE(instance.IsInstantiated()) << "the urn fails, the library in the folder gives the body";
  EXPECT_EQ(DiffuseOf(CNodeRef(&instance).Resolve()).g, 0.0f);
  Draw();
  EXPECT_EQ(TintAt(32, 32), Tint::kRed);
}

TEST_F(StandardWorlds, AnIsOfAnUndeclaredFieldIsLeftOutAndSaidSo) {
  ASSERT_EQ(Load(worlds_ / "proto_is_undeclared.wrl"), EngineOk) << error_;
  EXPECT_NE(error_.find("notDeclared"), std::string::npos) << error_;
  const SFColor diffuse = DiffuseOf(CNodeRef(Named("B")).Resolve());
  EXPECT_FLOAT_EQ(diffuse.r, 0.8f) << "the Material keeps its own default";
  EXPECT_EQ(Named("B")->GetFieldByName("notDeclared"), nullptr) << "nothing is declared on the instance";
}

TEST_F(StandardWorlds, APrototypeDeclaredInsideANodeBodyIsRead) {
  ASSERT_EQ(Load(worlds_ / "proto_in_node_body.wrl"), EngineOk) << error_;
  EXPECT_EQ(DiffuseOf(CNodeRef(Named("R")).Resolve()).r, 1.0f);
  Draw();
  EXPECT_EQ(TintAt(32, 32), Tint::kRed);
}

TEST_F(StandardWorlds, TheFilesFirstViewpointIsBoundNotOneInsideALaterInstance) {
  ASSERT_EQ(Load(worlds_ / "proto_body_viewpoint.wrl"), EngineOk) << error_;
  EXPECT_EQ(World().GetViewpoint(), Named("MAIN"));
  Draw();
  EXPECT_FLOAT_EQ(view_->GetPosition().z, 10.0f);

  // Nor one inside an instance of an inlined file.
  std::ofstream(worlds_ / "camera.wrl") << "#VRML V2.0 utf8\n"
                                           "PROTO WithCamera [ ] { Viewpoint { position 0 0 50 } }\n"
                                           "WithCamera { }\n";
  std::ofstream(worlds_ / "inlined_camera.wrl") << "#VRML V2.0 utf8\n"
                                                   "DEF MAIN Viewpoint { position 0 0 10 }\n"
                                                   "DEF I Inline { url \"camera.wrl\" }\n";
  ASSERT_EQ(Load(worlds_ / "inlined_camera.wrl"), EngineOk) << error_;
  Draw(4);
  ASSERT_NE(static_cast<CInlineNode*>(Named("I"))->GetChildScene(), nullptr);
  EXPECT_EQ(World().GetViewpoint(), Named("MAIN"));
  EXPECT_FLOAT_EQ(view_->GetPosition().z, 10.0f);
}

TEST_F(StandardWorlds, SavedIntoAnotherFolderAnExternProtoStillFindsItsLibrary) {
  ASSERT_EQ(Load(worlds_ / "externproto_save_as.wrl"), EngineOk) << error_;
  const fs::path saved = SaveElsewhere("saved.wrl");
  EXPECT_NE(ReadFile(saved).find('"' + (worlds_ / "externproto_library.wrl").string() + '"'), std::string::npos)
      << ReadFile(saved);
  ASSERT_EQ(Load(saved), EngineOk) << error_;
  CNode* s = Named("S");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetTypeId(), NodeTypeProtoInstance);
  ASSERT_TRUE(static_cast<CProtoInstanceNode*>(s)->IsInstantiated());
  EXPECT_EQ(DiffuseOf(CNodeRef(s).Resolve()).r, 1.0f);
}

TEST_F(StandardWorlds, AUrnKeepsItsFormWhenUrlsAreCompleted) {
  ASSERT_EQ(Load(worlds_ / "externproto_urn_first.wrl"), EngineOk) << error_;
  const std::string saved = ReadFile(SaveElsewhere("saved.wrl"));
  EXPECT_NE(saved.find("[\"urn:example:materials:RedMaterial\", \"" + (worlds_ / "externproto_library.wrl").string() +
                       "\"]"),
            std::string::npos)
      << saved;
}

TEST_F(StandardWorlds, ANameGivenTwiceSurvivesASaveAndAReload) {
  ASSERT_EQ(Load(worlds_ / "def_name_twice.wrl"), EngineOk) << error_;
  // The box and the sphere of each side: the children of the side's
  // Transform, the sphere under a Transform of its own.
  auto side = [&](int index) {
    const MFNode& parts = *static_cast<MFNode*>(Top(index)->GetFieldByName("children"));
    CNode* sphere = (*static_cast<MFNode*>(parts[1]->GetFieldByName("children")))[0].GetNode();
    return std::pair{MaterialOf(parts[0].GetNode()), MaterialOf(sphere)};
  };
  const float loadedRed = DiffuseOf(Named("M")).r;
  const std::string saved = ReadFile(SaveElsewhere("saved.wrl"));
  EXPECT_EQ(saved.find("Shared_"), std::string::npos) << saved;
  ASSERT_EQ(Load(folder_ / "elsewhere" / "saved.wrl"), EngineOk) << error_;
  for (int i : {1, 2}) {
    const auto [box, sphere] = side(i);
    EXPECT_EQ(box, sphere) << "side " << i;
  }
  EXPECT_EQ(DiffuseOf(side(1).first).r, 1.0f);
  EXPECT_EQ(DiffuseOf(side(2).first).b, 1.0f);
  ASSERT_NE(Named("M"), nullptr) << "the name is kept";
  EXPECT_EQ(DiffuseOf(Named("M")).r, loadedRed) << "and names the Material it named before";
}

// A ".tsw" world and a ".wrl" one give an unset Viewpoint position different
// defaults; saved under the other name, the world keeps its camera.
TEST_F(StandardWorlds, AViewpointKeepsItsPositionSavedUnderAnotherConvention) {
  auto positionAfterSaving = [&](const char* from, const char* to) {
    std::ofstream(worlds_ / from) << "#VRML V2.0 utf8\nDEF V Viewpoint { description \"unset\" }\n";
    EXPECT_EQ(Load(worlds_ / from), EngineOk) << error_;
    const SFVec3f loaded = *static_cast<SFVec3f*>(Named("V")->GetFieldByName("position"));
    EXPECT_EQ(Load(SaveElsewhere(to)), EngineOk) << error_;
    const SFVec3f reloaded = *static_cast<SFVec3f*>(Named("V")->GetFieldByName("position"));
    EXPECT_EQ(reloaded.z, loaded.z) << from << " saved as " << to;
    return reloaded.z;
  };
  EXPECT_EQ(positionAfterSaving("system.tsw", "standard.wrl"), 0.0f);
  EXPECT_EQ(positionAfterSaving("standard.wrl", "system.tsw"), 10.0f);
}

TEST_F(StandardWorlds, InlinesOfGzipDataAreReadByNameOrByTheirFirstBytes) {
  Gzip(worlds_ / "inline_gzip_child.wrl", worlds_ / "inline_gzip_child.wrl.gz");
  Gzip(worlds_ / "inline_gzip_child.wrl", worlds_ / "inline_gzip_packed.wrl");
  ASSERT_EQ(Load(worlds_ / "inline_gzip.wrl"), EngineOk) << error_;
  Draw(4);
  EXPECT_EQ(TintAt(6, 32), Tint::kGreen) << "the plain file";
  EXPECT_EQ(TintAt(32, 32), Tint::kGreen) << "the \".wrl.gz\" file";
  EXPECT_EQ(TintAt(58, 32), Tint::kGreen) << "the gzip data under a \".wrl\" name";
  EXPECT_TRUE(fs::exists(worlds_ / "inline_gzip_child.wrl.gz")) << "the user's files stay";
  EXPECT_EQ(ReadFile(worlds_ / "inline_gzip_packed.wrl").substr(0, 2), "\x1f\x8b");
}

TEST_F(StandardWorlds, LoadsAndReloadsLeaveNoFilesInTheCache) {
  for (int i = 0; i < 3; ++i) {
    for (const char* name : {"proto_first_node_drawn.wrl", "externproto_urn_first.wrl", "proto_body_viewpoint.wrl"}) {
      ASSERT_EQ(Load(worlds_ / name), EngineOk) << error_;
      Draw();
    }
  }
  for (const auto& entry : fs::recursive_directory_iterator(root_)) {
    EXPECT_TRUE(entry.is_directory()) << entry.path();
  }
}

}  // namespace
}  // namespace vx::test
