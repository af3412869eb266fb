// EXTERNPROTO over "http://": the prototype file comes through the host's own
// download manager from a loopback server.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"
#include "tests/host/HostDownloads.h"

namespace vx {
namespace {

namespace fs = std::filesystem;

class ProtoDownload : public ::testing::Test {
 protected:
  ProtoDownload() : site_(MakeSite()), server_(site_.string()) {}
  ~ProtoDownload() override {
    world_.reset();
    fs::remove_all(site_);
  }

  static fs::path MakeSite() {
    std::string name = (fs::temp_directory_path() / "vxprotositeXXXXXX").string();
    if (!::mkdtemp(name.data())) std::abort();
    std::ofstream(fs::path(name) / "protos.wrl") << "#VRML V2.0 utf8\n"
                                                    "PROTO First [ ] { Group { } }\n"
                                                    "PROTO Mover [ field SFVec3f where 1 2 3 ] {\n"
                                                    "  Transform { translation IS where }\n"
                                                    "}\n";
    return name;
  }
  std::string Url(const std::string& path) const { return "http://" + server_.HostAndPort() + "/" + path; }

  bool Read(const std::string& body) {
    world_ = std::make_unique<CBrowser>();
    auto stream = CSceneInputStream::FromText("#VRML V2.0 utf8\n" + body);
    CSceneReader reader(stream);
    const bool ok = reader.ReadScene(&world_->GetScene());
    message_ = reader.GetMessage();
    return ok;
  }
  CProtoInstanceNode& Instance(const char* defName) { return static_cast<CProtoInstanceNode&>(*world_->FindNode(defName)); }

  // Moves the downloads on until the instance has its body: it needs no
  // traversal (a material or a geometry is never traversed itself).
  static bool InstantiatesSoon(CProtoInstanceNode& instance) {
    return test::ScopedHostDownloads::PumpUntil([&] { return instance.IsInstantiated(); });
  }

  fs::path site_;
  test::HttpTestServer server_;
  test::ScopedHostDownloads downloads_;
  std::unique_ptr<CBrowser> world_;
  std::string message_;
};

TEST_F(ProtoDownload, TheNamedPrototypeOfADownloadedFileInstantiates) {
  ASSERT_NE(server_.Port(), 0) << "the test server did not start";
  ASSERT_TRUE(Read("EXTERNPROTO Mover [ field SFVec3f where ] [ \"urn:example:Mover\" \"" + Url("protos.wrl#Mover") +
                   "\" ]\nDEF SET Mover { where 4 5 6 }\nDEF UNSET Mover { }"))
      << message_;
  CProtoInstanceNode& set = Instance("SET");
  EXPECT_FALSE(set.IsInstantiated()) << "nothing before the download ends";
  ASSERT_TRUE(InstantiatesSoon(set)) << set.GetMessage();
  ASSERT_TRUE(InstantiatesSoon(Instance("UNSET")));

  CNode* moved = CNodeRef(&set).Resolve();
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->GetTypeId(), NodeTypeTransform);
  EXPECT_EQ(static_cast<const SFVec3f*>(moved->GetFieldByName("translation"))->z, 6.0f);
  const auto* fetchedDefault = static_cast<const SFVec3f*>(CNodeRef(&Instance("UNSET")).Resolve()->GetFieldByName("translation"));
  EXPECT_EQ(fetchedDefault->x, 1.0f) << "the fetched file's default";
}

TEST_F(ProtoDownload, AMissingOrRefusedDownloadMovesOnToTheNextUrl) {
  ASSERT_NE(server_.Port(), 0);
  const std::string local = (site_ / "protos.wrl").string() + "#Mover";
  // The second declaration asks for the URL the first one is fetching, which
  // the host refuses while it runs.
  ASSERT_TRUE(Read("EXTERNPROTO Gone [ ] [ \"" + Url("missing.wrl#Mover") + "\" \"" + local + "\" ]\n"
                   "EXTERNPROTO Busy [ ] [ \"" + Url("stall/100") + "\" \"" + local + "\" ]\n"
                   "EXTERNPROTO Twin [ ] [ \"" + Url("stall/100") + "\" \"" + local + "\" ]\n"
                   "DEF GONE Gone { } DEF BUSY Busy { } DEF TWIN Twin { }"))
      << message_;
  EXPECT_TRUE(Instance("TWIN").IsInstantiated() || InstantiatesSoon(Instance("TWIN")))
      << "a refused request is not polled on";
  ASSERT_TRUE(InstantiatesSoon(Instance("GONE"))) << "a 404 ends its URL";
  EXPECT_FALSE(Instance("BUSY").IsInstantiated());
}

TEST_F(ProtoDownload, AWorldFreedWhileItsPrototypeDownloadsStopsTheDownload) {
  ASSERT_NE(server_.Port(), 0);
  ASSERT_TRUE(Read("EXTERNPROTO Slow [ ] \"" + Url("stall/100") + "\"\nSlow { }")) << message_;
  ASSERT_EQ(host::GetDownloadManager()->ActiveCount(), 1);
  test::ScopedHostDownloads::PumpUntil([] { return false; }, 50);
  world_.reset();
  EXPECT_EQ(host::GetDownloadManager()->ActiveCount(), 0) << "the download was cancelled";
  test::ScopedHostDownloads::PumpUntil([] { return false; }, 50);
}

}  // namespace
}  // namespace vx
