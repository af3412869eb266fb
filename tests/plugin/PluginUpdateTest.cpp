// The plug-in's daily update check: whether it is due by the date in
// config.txt, and what the plug-in's runtime does on a day it is due and on
// one it is not, against a maker's server on loopback.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/ComponentManager.h"
#include "host/Compression.h"
#include "host/DownloadManager.h"
#include "host/HostConfig.h"
#include "host/PackageVerifier.h"
#include "host/ProductRegistry.h"
#include "platform/Path.h"
#include "tests/host/DialogScript.h"
#include "tests/host/HostTestEnvironment.h"
#include "tests/host/TestPeers.h"
#include "tests/host/TestSigningKey.h"

namespace vx::host {
namespace {

namespace fs = std::filesystem;
using test::HostTestRoot;
using VersionFn = int32_t (*)();

constexpr uint32_t Packed(uint32_t year, uint32_t month, uint32_t day) { return (year << 16) + (month << 8) + day; }
constexpr uint32_t kToday = Packed(2026, 11, 9);
// Names the configuration file where it lies.
std::string CoreMissing() {
  return "A necessary component is not present and could not be downloaded. If you're behind a firewall, you'll "
         "need to add your proxy server to the file " +
         path::PreferencesFolder() + "config.txt (the settings proxyServer and proxyPort).";
}

uint32_t FixedToday() { return kToday; }

int32_t EngineVersion() {
  auto version = reinterpret_cast<VersionFn>(GetComponentSlot("Vexlin", 0));
  return version ? version() : -1;
}

TEST(UpdateDueTest, TheCheckIsDueWhenTheLastOneWasOnAnEarlierDay) {
  EXPECT_TRUE(IsCheckDue(Packed(2026, 11, 8), kToday));
  EXPECT_FALSE(IsCheckDue(kToday, kToday));
  EXPECT_FALSE(IsCheckDue(Packed(2027, 0, 1), kToday)) << "a date ahead of the clock";
  EXPECT_TRUE(IsCheckDue(Packed(2025, 11, 31), Packed(2026, 0, 1))) << "over the turn of the year";
  EXPECT_TRUE(IsCheckDue(Packed(2026, 0, 31), Packed(2026, 1, 1)));
  EXPECT_TRUE(IsCheckDue(0, kToday)) << "a cleared date";
}

TEST(UpdateDueTest, TheDateComesFromConfigTxt) {
  HostTestRoot root;
  SetTodaySource(&FixedToday);
  const std::string config = root.Folder() + "/config.txt";
  EXPECT_TRUE(IsCheckDueToday(config)) << "no file yet";
  ASSERT_TRUE(WriteConfigFile(config, HostConfig{}, kToday));
  EXPECT_FALSE(IsCheckDueToday(config));
  ASSERT_TRUE(WriteConfigFile(config, HostConfig{}, Packed(2026, 11, 8)));
  EXPECT_TRUE(IsCheckDueToday(config));
  SetTodaySource(nullptr);
}

// The plug-in's runtime with the engine stand-ins of the host tests, a
// maker's server with a signed component registry, and a fixed today.
class PluginUpdateTest : public ::testing::Test {
 protected:
  PluginUpdateTest()
      : site_(root_.Folder() + "/site"),
        server_((fs::create_directories(site_ + "/ovreg_new"), fs::create_directories(site_ + "/pkg"), site_)),
        serverUrl_("VANTESSEL_SERVER_URL", ("http://" + server_.HostAndPort() + "/").c_str()) {}

  void SetUp() override {
    ASSERT_NE(server_.Port(), 0) << "the test server did not start";
    SetTodaySource(&FixedToday);
    AcquireDownloadManager();
  }

  void TearDown() override {
    DestroyComponentManager();
    ReleaseDownloadManager();
    SetTodaySource(nullptr);
  }

  // The last check ran on `date`.
  static void LastCheckedOn(uint32_t date) {
    ASSERT_TRUE(WriteConfigFile(GetDownloadManager()->ConfigPath(), GetDownloadManager()->Config(), date));
  }
  static bool CheckedToday() { return !IsCheckDueToday(); }

  CComponentManager& Start(std::initializer_list<const char*> libraries) {
    for (const char* library : libraries) HostTestRoot::AddLibrary(library);
    static_cast<void>(CreateComponentManager(HostKind::Plugin));
    ComponentManager()->SetTrustedUpdateKey(maker_.PublicPem());
    return *ComponentManager();
  }

  // The server lists the core at 2.3, with its package.
  void PublishCoreUpdate() {
    const std::string library = site_ + "/pkg/Vantessel2_3.so";
    fs::copy_file(HostTestRoot::FixtureLibrary("Vantessel2_3"), library);
    ASSERT_EQ(CompressFile(library.c_str()), 0);
    const std::string text = "COMPSTART\nNAME = Vantessel\nWIN_VERSION = 2.3\nWIN_URL = http://" +
                             server_.HostAndPort() + "/pkg/Vantessel2_3.so.gz\n#WIN_SHA256 = " +
                             Sha256OfFile(library + ".gz").value_or("") + "\nCOMPEND\n";
    HostTestRoot::WriteFile(site_ + "/ovreg_new/ComponentRegistry.txt", text);
    HostTestRoot::WriteFile(site_ + "/ovreg_new/ComponentRegistry.txt.sig", maker_.Sign(text));
  }

  HostTestRoot root_;
  std::string site_;
  test::HttpTestServer server_;
  test::ScopedEnvironment serverUrl_;
  test::TestSigningKey maker_;
  test::DialogScript dialogs_;
};

TEST_F(PluginUpdateTest, OnADayNotDueALoadedEngineIsUsedWithoutAskingTheServer) {
  PublishCoreUpdate();
  CComponentManager& manager = Start({"Vantessel2_2"});
  LastCheckedOn(kToday);
  EXPECT_EQ(manager.EnsureCoreComponent(), kComponentOk);
  EXPECT_EQ(EngineVersion(), 202) << "the newer engine on the server was not fetched";
  EXPECT_TRUE(dialogs_.Queries().empty());
  EXPECT_TRUE(dialogs_.Notices().empty());
}

TEST_F(PluginUpdateTest, OnADueDayTheLoadedEngineIsUpdatedWithoutAQuestion) {
  PublishCoreUpdate();
  CComponentManager& manager = Start({"Vantessel2_2"});
  LastCheckedOn(Packed(2026, 11, 8));
  EXPECT_EQ(manager.EnsureCoreComponent(), kComponentOk);
  EXPECT_EQ(EngineVersion(), 203);
  EXPECT_TRUE(CheckedToday());
  EXPECT_TRUE(dialogs_.Queries().empty());
  EXPECT_TRUE(dialogs_.Notices().empty()) << "no \"up to date\" box either";
}

TEST_F(PluginUpdateTest, OnADueDayAFailedCheckStillLeavesTheLoadedEngine) {
  CComponentManager& manager = Start({"Vantessel2_2"});
  LastCheckedOn(0);
  EXPECT_EQ(manager.EnsureCoreComponent(), kComponentOk) << "no registry on the server";
  EXPECT_EQ(EngineVersion(), 202);
  EXPECT_TRUE(dialogs_.Notices().empty());
}

TEST_F(PluginUpdateTest, AMissingEngineIsInstalledOnAnyDay) {
  PublishCoreUpdate();
  CComponentManager& manager = Start({});
  LastCheckedOn(kToday);
  EXPECT_EQ(manager.EnsureCoreComponent(), kComponentOk);
  EXPECT_EQ(EngineVersion(), 203);
  EXPECT_TRUE(dialogs_.Queries().empty());
}

TEST_F(PluginUpdateTest, AMissingEngineThatCannotBeFetchedIsReportedOnlyOnADueDay) {
  CComponentManager& manager = Start({});
  LastCheckedOn(kToday);
  EXPECT_EQ(manager.EnsureCoreComponent(), kCoreComponentMissing);
  EXPECT_TRUE(dialogs_.Notices().empty());

  LastCheckedOn(Packed(2026, 11, 8));
  EXPECT_EQ(manager.EnsureCoreComponent(), kCoreComponentMissing);
  EXPECT_EQ(dialogs_.Notices(), std::vector<std::string>{CoreMissing()});
}

TEST_F(PluginUpdateTest, UnsignedCodeIsNeverLoaded) {
  PublishCoreUpdate();
  fs::remove(site_ + "/ovreg_new/ComponentRegistry.txt.sig");
  CComponentManager& manager = Start({});
  LastCheckedOn(0);
  EXPECT_EQ(manager.EnsureCoreComponent(), kCoreComponentMissing);
  EXPECT_FALSE(manager.CoreLoaded());
}

TEST_F(PluginUpdateTest, TheShellVersionIsCheckedOnlyOnADueDay) {
  HostTestRoot::WriteFile(site_ + "/ovreg_new/ProductRegistry.txt",
                          "PRODUCTSTART NAME=VantesselPlugin WIN_VERSION=2.1 PRODUCTEND\n");
  CProductRegistry* registry = AcquireProductRegistry(HostKind::Plugin);
  LastCheckedOn(kToday);
  EXPECT_EQ(registry->CheckShellVersion(), 0);
  EXPECT_TRUE(dialogs_.Notices().empty());
  LastCheckedOn(Packed(2026, 11, 8));
  EXPECT_EQ(registry->CheckShellVersion(), 1);
  ASSERT_EQ(dialogs_.Notices().size(), 1u);
  EXPECT_EQ(dialogs_.Notices()[0].rfind("Your shell VantesselPlugin is out of date!", 0), 0u);
  ReleaseProductRegistry();
}

}  // namespace
}  // namespace vx::host
