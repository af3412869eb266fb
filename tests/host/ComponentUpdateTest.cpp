#include <gtest/gtest.h>

#include <filesystem>

#include "host/ComponentManager.h"
#include "host/Compression.h"
#include "host/DownloadManager.h"
#include "host/PackageVerifier.h"
#include "host/ProductRegistry.h"
#include "tests/host/DialogScript.h"
#include "tests/host/HostTestEnvironment.h"
#include "tests/host/TestPeers.h"
#include "tests/host/TestSigningKey.h"

namespace vx::host {
namespace {

namespace fs = std::filesystem;
using test::HostTestRoot;
using VersionFn = int32_t (*)();

constexpr char kUpToDate[] = "All Components are up to date.";

int32_t EngineVersion() {
  auto version = reinterpret_cast<VersionFn>(GetComponentSlot("Vexlin", 0));
  return version ? version() : -1;
}

std::string MadeFolder(const std::string& path) {
  fs::create_directories(path);
  return path;
}

// One registry entry as the maker's server lists it.
struct Listing {
  std::string name;
  int major;
  int minor;
  std::string file;    // under the site's "pkg/"
  std::string sha256;  // empty: none listed
};

// The maker's server on loopback, a product root, the download manager and
// a component manager that trusts the test's signing key.
class ComponentUpdateTest : public ::testing::Test {
 protected:
  ComponentUpdateTest()
      : site_(MadeFolder(root_.Folder() + "/site")),
        server_(site_),
        serverUrl_("VANTESSEL_SERVER_URL", ("http://" + server_.HostAndPort() + "/").c_str()) {}

  void SetUp() override {
    ASSERT_NE(server_.Port(), 0) << "the test server did not start";
    MadeFolder(site_ + "/ovreg_new");
    MadeFolder(site_ + "/pkg");
    AcquireDownloadManager();
  }

  void TearDown() override {
    DestroyComponentManager();
    ReleaseDownloadManager();
  }

  CComponentManager& Start(HostKind kind, std::initializer_list<const char*> libraries, int32_t expected) {
    for (const char* library : libraries) HostTestRoot::AddLibrary(library);
    EXPECT_EQ(CreateComponentManager(kind), expected);
    ComponentManager()->SetTrustedUpdateKey(maker_.PublicPem());
    return *ComponentManager();
  }

  // Puts fixture library `fixture` on the server as package `file`; returns
  // the package's digest.
  std::string PublishPackage(const std::string& fixture, const std::string& file) {
    std::string library = site_ + "/pkg/" + file.substr(0, file.size() - 3);
    fs::copy_file(HostTestRoot::FixtureLibrary(fixture), library, fs::copy_options::overwrite_existing);
    fs::remove(library + ".gz");
    EXPECT_EQ(CompressFile(library.c_str()), 0);
    return Sha256OfFile(site_ + "/pkg/" + file).value_or("");
  }

  std::string RegistryText(const std::vector<Listing>& listings) const {
    std::string text = "# Vantessel components\n";
    for (const Listing& l : listings) {
      text += "COMPSTART\nNAME = " + l.name + "\nWIN_VERSION = " + std::to_string(l.major) + "." +
              std::to_string(l.minor) + "\nWIN_URL = http://" + server_.HostAndPort() + "/pkg/" + l.file + "\n";
      if (!l.sha256.empty()) text += "#WIN_SHA256 = " + l.sha256 + "\n";
      text += "COMPEND\n";
    }
    return text;
  }

  void PublishRegistry(const std::vector<Listing>& listings, const test::TestSigningKey& signer) {
    std::string text = RegistryText(listings);
    HostTestRoot::WriteFile(site_ + "/ovreg_new/ComponentRegistry.txt", text);
    HostTestRoot::WriteFile(site_ + "/ovreg_new/ComponentRegistry.txt.sig", signer.Sign(text));
  }

  void PublishCoreUpdate() {
    PublishRegistry({{"Vantessel", 2, 3, "Vantessel2_3.so.gz", PublishPackage("Vantessel2_3", "Vantessel2_3.so.gz")}},
                    maker_);
  }

  static std::vector<std::string> ComponentFiles() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(HostTestRoot::Components()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  HostTestRoot root_;
  std::string site_;
  test::HttpTestServer server_;
  test::ScopedEnvironment serverUrl_;
  test::TestSigningKey maker_;
  test::DialogScript dialogs_;
};

TEST_F(ComponentUpdateTest, NewerCorePackageReplacesTheLoadedLibrary) {
  PublishCoreUpdate();
  CComponentManager& manager = Start(HostKind::Viewer, {"Vantessel2_2"}, kComponentOk);
  dialogs_.AnswerQueries(true);
  ASSERT_EQ(EngineVersion(), 202);

  EXPECT_EQ(manager.UpdateComponents(1), 1);
  EXPECT_EQ(EngineVersion(), 203);
  EXPECT_TRUE(manager.CoreLoaded());
  EXPECT_EQ(manager.LibraryCount(), 1);
  // The old library went to "Vantessel2_2.so.OLD" and that backup is gone.
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Vantessel2_3.so"}));
  EXPECT_EQ(dialogs_.Queries(),
            (std::vector<std::string>{"The Vantessel Component <Vantessel2_3.so> is out of date or missing.  Would "
                                      "you like to download the most recent version?"}));
}

TEST_F(ComponentUpdateTest, UpToDateAndOtherMajorsChangeNothing) {
  PublishRegistry({{"Vantessel", 2, 2, "Vantessel2_2.so.gz", PublishPackage("Vantessel2_2", "Vantessel2_2.so.gz")},
                   {"Vantessel", 3, 0, "Vantessel3_0.so.gz", PublishPackage("Vantessel3_0", "Vantessel3_0.so.gz")}},
                  maker_);
  CComponentManager& manager = Start(HostKind::Viewer, {"Vantessel2_2"}, kComponentOk);
  EXPECT_EQ(manager.UpdateComponents(1), 1);
  EXPECT_EQ(dialogs_.Notices(), std::vector<std::string>{kUpToDate});
  EXPECT_TRUE(dialogs_.Queries().empty());
  EXPECT_EQ(EngineVersion(), 202);
  EXPECT_EQ(manager.LibraryCount(), 1);
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Vantessel2_2.so"}));
}

TEST_F(ComponentUpdateTest, TamperedPackageIsRefusedAndTheOldLibraryKept) {
  std::string digest = PublishPackage("Vantessel2_3", "Vantessel2_3.so.gz");
  PublishPackage("Vantessel2_1", "Vantessel2_3.so.gz");  // someone swapped the file
  PublishRegistry({{"Vantessel", 2, 3, "Vantessel2_3.so.gz", digest}}, maker_);
  CComponentManager& manager = Start(HostKind::Plugin, {"Vantessel2_2"}, kComponentOk);

  EXPECT_EQ(manager.UpdateComponents(1), 1);  // a failed replacement does not stop the update
  EXPECT_EQ(EngineVersion(), 202);
  EXPECT_TRUE(manager.CoreLoaded());
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Vantessel2_2.so"}));
  EXPECT_EQ(dialogs_.Notices(),
            std::vector<std::string>{"The Vantessel Component Package <Vantessel2_3.so.gz> does not match the "
                                     "component registry and was not installed."});
}

TEST_F(ComponentUpdateTest, APackageThatDoesNotLoadPutsTheOldLibraryBack) {
  std::string package = site_ + "/pkg/Vantessel2_3.so";
  HostTestRoot::WriteFile(package, "listed and signed, but not a library");
  ASSERT_EQ(CompressFile(package.c_str()), 0);
  RegistryRecord entry{"Vantessel", 2, 3, "http://" + server_.HostAndPort() + "/pkg/Vantessel2_3.so.gz",
                       Sha256OfFile(package + ".gz").value()};
  CComponentManager& manager = Start(HostKind::Plugin, {"Vantessel2_2"}, kComponentOk);

  EXPECT_EQ(manager.ReplaceComponentLibrary(manager.LibraryIndexOf("Vantessel2_2.so"), entry), 0);
  EXPECT_EQ(EngineVersion(), 202);
  EXPECT_TRUE(manager.CoreLoaded());
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Vantessel2_2.so"}));
}

TEST_F(ComponentUpdateTest, TheInstallationsLibraryIsNeverMovedByAnUpdate) {
  const std::string installed = MadeFolder(root_.Folder() + "/installed/");
  fs::copy_file(HostTestRoot::FixtureLibrary("Vantessel2_2"), installed + "Vantessel2_2.so");
  std::string package = site_ + "/pkg/Vantessel2_3.so";
  HostTestRoot::WriteFile(package, "listed and signed, but not a library");
  ASSERT_EQ(CompressFile(package.c_str()), 0);
  RegistryRecord broken{"Vantessel", 2, 3, "http://" + server_.HostAndPort() + "/pkg/Vantessel2_3.so.gz",
                        Sha256OfFile(package + ".gz").value()};
  ASSERT_EQ(CreateComponentManager(HostKind::Plugin, installed), kComponentOk);
  CComponentManager& manager = *ComponentManager();
  manager.SetTrustedUpdateKey(maker_.PublicPem());

  EXPECT_EQ(manager.ReplaceComponentLibrary(manager.LibraryIndexOf("Vantessel2_2.so"), broken), 0);
  EXPECT_EQ(EngineVersion(), 202) << "the installation's engine is back";
  EXPECT_TRUE(ComponentFiles().empty());

  PublishCoreUpdate();
  EXPECT_EQ(manager.UpdateComponents(1), 1);
  EXPECT_EQ(EngineVersion(), 203);
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Vantessel2_3.so"}));
  EXPECT_TRUE(HostTestRoot::Exists(installed + "Vantessel2_2.so"));
  EXPECT_FALSE(HostTestRoot::Exists(installed + "Vantessel2_2.so.OLD"));
}

TEST_F(ComponentUpdateTest, PackagesWithoutDigestOrWithAForeignNameAreRefused) {
  PublishPackage("Vantessel2_3", "Vantessel2_3.so.gz");
  std::string digest = PublishPackage("Gadget2_1", "Gadget2_1.so.gz");
  PublishRegistry({{"Vantessel", 2, 3, "Vantessel2_3.so.gz", ""}, {"Gadget", 2, 1, "Vantessel2_3.so.gz", digest}},
                  maker_);
  CComponentManager& manager = Start(HostKind::Plugin, {"Vantessel2_2", "Gadget2_0"}, kComponentOk);
  EXPECT_EQ(manager.UpdateComponents(1), 1);
  EXPECT_EQ(EngineVersion(), 202);
  EXPECT_EQ(dialogs_.Notices().size(), 2u);
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Gadget2_0.so", "Vantessel2_2.so"}));
}

TEST_F(ComponentUpdateTest, RegistriesWithABadSignatureAreRefused) {
  PublishCoreUpdate();
  test::TestSigningKey stranger;
  PublishRegistry({{"Vantessel", 2, 3, "Vantessel2_3.so.gz", Sha256OfFile(site_ + "/pkg/Vantessel2_3.so.gz").value()}},
                  stranger);
  CComponentManager& manager = Start(HostKind::Plugin, {"Vantessel2_2"}, kComponentOk);
  EXPECT_EQ(manager.UpdateComponents(1), 0);
  EXPECT_EQ(EngineVersion(), 202);
  EXPECT_EQ(dialogs_.Notices(), std::vector<std::string>{"The component registry from the server could not be "
                                                         "verified. No component was downloaded."});

  fs::remove(site_ + "/ovreg_new/ComponentRegistry.txt.sig");
  EXPECT_EQ(manager.UpdateComponents(1), 0);
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Vantessel2_2.so"}));
}

TEST_F(ComponentUpdateTest, WithoutAKeyNoCodeIsDownloaded) {
  PublishCoreUpdate();
  CComponentManager& manager = Start(HostKind::Viewer, {}, kCoreComponentMissing);
  manager.SetTrustedUpdateKey("");
  dialogs_.AnswerQueries(true);

  EXPECT_EQ(manager.EnsureCoreComponent(), kCoreComponentMissing);
  EXPECT_FALSE(manager.CoreLoaded());
  EXPECT_TRUE(ComponentFiles().empty());
  ASSERT_EQ(dialogs_.Notices().size(), 2u);
  EXPECT_NE(dialogs_.Notices()[0].find("no key to verify"), std::string::npos);
  EXPECT_EQ(dialogs_.Notices()[1].rfind("A necessary component is not present and could not be downloaded.", 0), 0u);
}

TEST_F(ComponentUpdateTest, EnsureCoreComponentInstallsTheMissingEngine) {
  PublishCoreUpdate();
  CComponentManager& manager = Start(HostKind::Viewer, {}, kCoreComponentMissing);
  dialogs_.AnswerQueries(true);
  EXPECT_EQ(manager.EnsureCoreComponent(), kComponentOk);
  EXPECT_EQ(EngineVersion(), 203);
  EXPECT_EQ(dialogs_.Queries().size(), 2u);  // may we connect? may we download?
  EXPECT_EQ(ComponentFiles(), (std::vector<std::string>{"Vantessel2_3.so"}));
}

TEST_F(ComponentUpdateTest, EnsureCoreComponentFailsWhileNoEngineIsLoaded) {
  PublishRegistry({{"Gadget", 2, 1, "Gadget2_1.so.gz", PublishPackage("Gadget2_1", "Gadget2_1.so.gz")}}, maker_);
  CComponentManager& manager = Start(HostKind::Plugin, {}, kCoreComponentMissing);
  EXPECT_EQ(manager.EnsureCoreComponent(), kCoreComponentMissing);
  EXPECT_NE(manager.LibraryIndexOf("Gadget2_1.so"), -1);  // the update itself went through

  fs::remove_all(site_ + "/ovreg_new");
  EXPECT_EQ(manager.UpdateComponents(1), 0);  // no registry on the server
}

TEST_F(ComponentUpdateTest, AFailedDownloadDeletesNothing) {
  PublishRegistry({{"Vantessel", 2, 3, "Vantessel2_3.so.gz", std::string(64, 'a')}}, maker_);  // not on the server
  HostTestRoot::WriteFile(HostTestRoot::Components() + ".Vantessel2_3.so.gz", "left from before");
  CComponentManager& manager = Start(HostKind::Plugin, {"Vantessel2_2"}, kComponentOk);
  EXPECT_EQ(manager.UpdateComponents(1), 1);
  EXPECT_EQ(EngineVersion(), 202);
  EXPECT_EQ(HostTestRoot::ReadFile(HostTestRoot::Components() + ".Vantessel2_3.so.gz"), "left from before");
}

TEST_F(ComponentUpdateTest, ShellVersionCheckNamesTheSiteOfANewerShell) {
  std::string products = "PRODUCTSTART\nNAME = VantesselViewer\nWIN_VERSION = 2.1\nPRODUCTEND\n"
                         "PRODUCT_DOWNLOAD_URL = http://get.example/viewer\n";
  HostTestRoot::WriteFile(site_ + "/ovreg_new/ProductRegistry.txt", products);
  CProductRegistry* registry = AcquireProductRegistry(HostKind::Viewer);
  EXPECT_EQ(HostTestRoot::ReadFile(path::ProductsRegistryFile()),
            "#############VantesselViewer##############\nPRODUCTSTART\nNAME = VantesselViewer\n"
            "WIN_VERSION = 2.0\nPRODUCTEND\n\n");
  EXPECT_EQ(registry->CheckShellVersion(), 1);
  EXPECT_EQ(dialogs_.Notices(), std::vector<std::string>{"Your shell VantesselViewer is out of date!  Please go "
                                                         "to the following URL to download a more recent version: "
                                                         "http://get.example/viewer"});
  HostTestRoot::WriteFile(site_ + "/ovreg_new/ProductRegistry.txt",
                          "PRODUCTSTART NAME=VantesselViewer WIN_VERSION=2.0 PRODUCTEND\n");
  EXPECT_EQ(registry->CheckShellVersion(), 1);
  EXPECT_EQ(dialogs_.Notices().size(), 1u);
  fs::remove(site_ + "/ovreg_new/ProductRegistry.txt");
  EXPECT_EQ(registry->CheckShellVersion(), 0);
  ReleaseProductRegistry();
}

TEST_F(ComponentUpdateTest, LocalProductRegistryKeepsOtherProducts) {
  HostTestRoot::WriteFile(path::ProductsRegistryFile(),
                          "PRODUCTSTART\nNAME = VantesselPlugin\nWIN_VERSION = 1.5\nPRODUCTEND\n"
                          "PRODUCTSTART\nNAME = VantesselViewer\nWIN_VERSION = 1.0\nPRODUCTEND");
  CProductRegistry* registry = AcquireProductRegistry(HostKind::Viewer);
  ASSERT_EQ(registry->LocalEntries().size(), 2u);
  EXPECT_EQ(registry->LocalEntries()[1].major, 2);
  EXPECT_EQ(HostTestRoot::ReadFile(path::ProductsRegistryFile()),
            "#############VantesselPlugin##############\nPRODUCTSTART\nNAME = VantesselPlugin\n"
            "WIN_VERSION = 1.5\nPRODUCTEND\n\n"
            "#############VantesselViewer##############\nPRODUCTSTART\nNAME = VantesselViewer\n"
            "WIN_VERSION = 2.0\nPRODUCTEND\n\n");
  EXPECT_EQ(AcquireProductRegistry(HostKind::Plugin), registry);  // one per process
  ReleaseProductRegistry();
  ReleaseProductRegistry();
}

TEST_F(ComponentUpdateTest, ALongProductNameCostsNoOtherRecord) {
  const std::string longName(240, 'L');
  HostTestRoot::WriteFile(path::ProductsRegistryFile(),
                          "PRODUCTSTART\nNAME=" + longName + "\nWIN_VERSION=1.0\nPRODUCTEND\n"
                          "PRODUCTSTART\nNAME = VantesselPlugin\nWIN_VERSION = 1.5\nPRODUCTEND\n");
  for (int start = 0; start < 2; ++start) {  // each start reads what the one before wrote
    CProductRegistry* registry = AcquireProductRegistry(HostKind::Viewer);
    ASSERT_EQ(registry->LocalEntries().size(), 3u) << "start " << start;
    EXPECT_EQ(registry->LocalEntries()[0].name, longName);
    EXPECT_EQ(registry->LocalEntries()[1].name, "VantesselPlugin");
    ReleaseProductRegistry();
  }
}

}  // namespace
}  // namespace vx::host
