#include "host/ComponentManager.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/Compression.h"
#include "tests/host/DialogScript.h"
#include "tests/host/HostTestEnvironment.h"

namespace vx::host {
namespace {

using test::HostTestRoot;
using VersionFn = int32_t (*)();

int32_t CallVersion(const char* component) {
  auto version = reinterpret_cast<VersionFn>(GetComponentSlot(component, 0));
  return version ? version() : -1;
}

// One test's manager over its own Components folder.
class ComponentManagerTest : public ::testing::Test {
 protected:
  ~ComponentManagerTest() override { DestroyComponentManager(); }

  CComponentManager& Create(int32_t expected = kComponentOk) {
    EXPECT_EQ(CreateComponentManager(), expected);
    return *ComponentManager();
  }

  // A record a library defined, to drive the host table directly.
  ComponentRecord* Record(const char* name) {
    return const_cast<ComponentRecord*>(ComponentManager()->FindComponent(name));
  }

  HostTestRoot root_;
  test::DialogScript dialogs_;
};

TEST(ComponentHash, ReadsTheFirstFourBytesLittleEndian) {
  EXPECT_EQ(ComponentHash("Vexlin"), 62u);
  EXPECT_EQ(ComponentHash("Vexl"), ComponentHash("VexlAnything"));
  EXPECT_EQ(ComponentHash("Vx_Download"), 126u);
  // Short names count zeros past their end instead of reading beyond it.
  EXPECT_EQ(ComponentHash("ab"), 151u);
  EXPECT_EQ(ComponentHash(""), 1u);
  EXPECT_EQ(BucketOf("ComponentManager"), 0);
  EXPECT_EQ(BucketOf("Compression"), 181);
}

TEST_F(ComponentManagerTest, NamesSharingABucketKeepTheirOwnSlots) {
  CComponentManager& manager = Create(kCoreComponentMissing);
  ASSERT_EQ(ComponentHash("ComponentManager"), ComponentHash("Compression"));
  EXPECT_EQ(GetComponentSlot("Compression", VxCompressionDecompressFile),
            reinterpret_cast<VxSlotFunction>(&DecompressFile));
  EXPECT_EQ(GetComponentSlot("ComponentManager", VxHostGetSlotByName), manager.Table()[VxHostGetSlotByName]);
  // Same bucket, never defined; and a name in an empty bucket.
  EXPECT_EQ(GetComponentSlot("Compressor", 0), nullptr);
  EXPECT_EQ(GetComponentSlot("Nothing", 0), nullptr);
  EXPECT_EQ(manager.AcquireHandle("Compressor"), nullptr);
}

TEST_F(ComponentManagerTest, SlotIndexesAreCheckedAgainstTheSlotCount) {
  HostTestRoot::AddLibrary("Twin2_0");
  CComponentManager& manager = Create(kCoreComponentMissing);
  EXPECT_EQ(GetComponentSlot("Compression", 2), nullptr);
  EXPECT_EQ(GetComponentSlot("Compression", -1), nullptr);

  auto setSlot = reinterpret_cast<VxSetSlotFn>(manager.Table()[VxHostSetSlot]);
  auto setSlotCount = reinterpret_cast<VxSetSlotCountFn>(manager.Table()[VxHostSetSlotCount]);
  ComponentRecord* pair = Record("Pair");
  ASSERT_NE(pair, nullptr);
  VxSlotFunction any = GetComponentSlot("Pair", 0);
  EXPECT_EQ(setSlot(pair, 2, any), 1);
  EXPECT_EQ(setSlot(pair, -1, any), 1);
  EXPECT_EQ(setSlotCount(pair, -3, 0, 2, 0), 1);
  EXPECT_EQ(setSlot(pair, 1, any), 0);
  EXPECT_EQ(GetComponentSlot("Pair", 1), any);
}

TEST_F(ComponentManagerTest, BuiltInsComeFirstAndEveryLibraryGetsTheTable) {
  HostTestRoot::AddLibrary("Twin2_0");
  CComponentManager& manager = Create(kCoreComponentMissing);
  const ComponentRecord* host = manager.FindComponent("ComponentManager");
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(manager.Table(), host->slots.data());
  EXPECT_EQ(host->slots.size(), static_cast<size_t>(VxHostSlotCount));
  EXPECT_FALSE(host->FromLibrary());

  const ComponentRecord* download = manager.FindComponent("Vx_Download");
  ASSERT_NE(download, nullptr);
  EXPECT_EQ(download->slots.size(), 18u);

  // Both exports of the library ran with the table (a builder without it
  // defines nothing); "Pair" and "PairTwin" share a bucket.
  const ComponentRecord* pair = manager.FindComponent("Pair");
  const ComponentRecord* twin = manager.FindComponent("PairTwin");
  ASSERT_NE(pair, nullptr);
  ASSERT_NE(twin, nullptr);
  EXPECT_EQ(pair->bucket, twin->bucket);
  EXPECT_TRUE(pair->FromLibrary());
  EXPECT_EQ(pair->libraryIndex, manager.LibraryIndexOf("Twin2_0.so"));
  EXPECT_EQ(CallVersion("PairTwin"), 200);
}

TEST_F(ComponentManagerTest, FolderScanLoadsTheNewestMinorOfTheProductMajor) {
  for (const char* name : {"Vantessel2_1", "Vantessel2_2", "Vantessel3_0", "readme", "Hidden2_0", "Twin2_0"})
    HostTestRoot::AddLibrary(name);
  CComponentManager& manager = Create(kComponentOk);
  EXPECT_TRUE(manager.CoreLoaded());
  EXPECT_EQ(CallVersion("Vexlin"), 202);
  EXPECT_GE(manager.LibraryIndexOf("Vantessel2_2.so"), 0);
  EXPECT_EQ(manager.LibraryIndexOf("Vantessel2_1.so"), -1);
  EXPECT_EQ(manager.LibraryIndexOf("Vantessel3_0.so"), -1);
  EXPECT_EQ(manager.LibraryIndexOf("readme.so"), -1);
  EXPECT_EQ(manager.FindComponent("Readme"), nullptr);
  // A library without export 1 loads but defines nothing, not even through
  // its export 2.
  EXPECT_GE(manager.LibraryIndexOf("Hidden2_0.so"), 0);
  EXPECT_EQ(manager.FindComponent("HiddenTwin"), nullptr);
  EXPECT_EQ(manager.LibraryCount(), 3);
}

TEST_F(ComponentManagerTest, WithoutTheEngineLibraryTheCoreIsMissing) {
  HostTestRoot::AddLibrary("Vantessel3_0");
  HostTestRoot::WriteFile(HostTestRoot::Components() + "Broken2_0.so", "not a library");
  CComponentManager& manager = Create(kCoreComponentMissing);
  EXPECT_FALSE(manager.CoreLoaded());
  EXPECT_EQ(manager.LibraryCount(), 0);
  EXPECT_EQ(dialogs_.Notices(), std::vector<std::string>{"The component <Broken2_0.so> could not be found."});
  EXPECT_EQ(CreateComponentManager(), kComponentOk);  // exists already
}

TEST_F(ComponentManagerTest, TheInstallationsComponentsCountAfterTheComponentsFolder) {
  const std::string installed = root_.Folder() + "/installed/";
  std::filesystem::create_directories(installed);
  auto install = [&](const std::string& name) {
    std::filesystem::copy_file(HostTestRoot::FixtureLibrary(name), installed + name + ".so");
  };
  auto coreFolder = [] {
    const CComponentManager& manager = *ComponentManager();
    for (int index = 0; index < kMaxLibraries; ++index)
      if (manager.LoadedFileName(index).starts_with("Vantessel")) return manager.LoadedFolder(index);
    return std::string();
  };

  install("Vantessel2_2");
  install("Gadget2_0");
  ASSERT_EQ(CreateComponentManager(HostKind::Viewer, installed), kComponentOk) << "an engine the installation has";
  EXPECT_EQ(coreFolder(), installed);
  EXPECT_EQ(CallVersion("Gadget"), 200);
  DestroyComponentManager();

  HostTestRoot::AddLibrary("Vantessel2_2");
  ASSERT_EQ(CreateComponentManager(HostKind::Viewer, installed), kComponentOk);
  EXPECT_EQ(coreFolder(), HostTestRoot::Components()) << "of equal versions, the user's";
  EXPECT_EQ(ComponentManager()->LibraryCount(), 2);
  DestroyComponentManager();

  std::filesystem::remove(HostTestRoot::Components() + "Vantessel2_2.so");
  HostTestRoot::AddLibrary("Vantessel2_1");
  install("Vantessel2_3");
  ASSERT_EQ(CreateComponentManager(HostKind::Viewer, installed), kComponentOk);
  EXPECT_EQ(CallVersion("Vexlin"), 203) << "the newest minor, wherever it lies";
  EXPECT_EQ(coreFolder(), installed);
}

TEST_F(ComponentManagerTest, LaterDefinitionOfANameWins) {
  CComponentManager& manager = Create(kCoreComponentMissing);
  ASSERT_EQ(manager.LoadComponentLibrary(HostTestRoot::FixtureLibrary("Gadget2_1")), kComponentOk);
  EXPECT_EQ(CallVersion("Gadget"), 201);
  ASSERT_EQ(manager.LoadComponentLibrary(HostTestRoot::FixtureLibrary("Gadget2_0")), kComponentOk);
  EXPECT_EQ(CallVersion("Gadget"), 200);
  // Loading a file name that is loaded already changes nothing.
  ASSERT_EQ(manager.LoadComponentLibrary(HostTestRoot::FixtureLibrary("Gadget2_1")), kComponentOk);
  EXPECT_EQ(CallVersion("Gadget"), 200);
  EXPECT_EQ(manager.LibraryCount(), 2);
}

TEST_F(ComponentManagerTest, UnloadAndReloadALibrary) {
  HostTestRoot::AddLibrary("Vantessel2_2");
  CComponentManager& manager = Create(kComponentOk);
  ComponentHandle* held = manager.AcquireHandle("Vexlin");
  ASSERT_NE(held, nullptr);
  EXPECT_NE(manager.GetSlotByHandle(held, 0), nullptr);

  EXPECT_TRUE(manager.UnloadLibrary(manager.LibraryIndexOf("Vantessel2_2.so")));
  EXPECT_FALSE(manager.CoreLoaded());
  EXPECT_EQ(GetComponentSlot("Vexlin", 0), nullptr);
  // The handle outlives the library but never reaches its code.
  EXPECT_EQ(manager.GetSlotByHandle(held, 0), nullptr);
  manager.ReleaseHandle(held);
  manager.ReleaseHandle(nullptr);

  ASSERT_EQ(manager.LoadComponentLibrary(HostTestRoot::Components() + "Vantessel2_2.so"), kComponentOk);
  EXPECT_TRUE(manager.CoreLoaded());
  EXPECT_EQ(CallVersion("Vexlin"), 202);
}

TEST_F(ComponentManagerTest, BuiltInsAreNeverUnloaded) {
  CComponentManager& manager = Create(kCoreComponentMissing);
  EXPECT_FALSE(manager.UnloadLibrary(-1));
  EXPECT_FALSE(manager.UnloadLibrary(0));
  EXPECT_FALSE(manager.UnloadLibrary(kMaxLibraries));
  EXPECT_NE(GetComponentSlot("Compression", VxCompressionDecompressFile), nullptr);
}

TEST_F(ComponentManagerTest, LibrariesReachTheHostComponents) {
  HostTestRoot::AddLibrary("Gadget2_0");
  Create(kCoreComponentMissing);
  std::string packed = HostTestRoot::Components() + "notes.txt";
  HostTestRoot::WriteFile(packed, "hello");
  ASSERT_EQ(CompressFile(packed.c_str()), 0);
  auto decompress = reinterpret_cast<VxDecompressFileFn>(GetComponentSlot("Gadget", 1));
  ASSERT_NE(decompress, nullptr);
  EXPECT_EQ(decompress((packed + ".gz").c_str()), 0);
  EXPECT_EQ(HostTestRoot::ReadFile(packed), "hello");
}

RegistryRecord Entry(const char* name, int16_t major, int16_t minor) {
  return RegistryRecord{name, major, minor, {}, {}};
}

TEST_F(ComponentManagerTest, UpdatesMatchLibrariesByFileNameNotComponentName) {
  HostTestRoot::AddLibrary("Vantessel2_2");  // registers "Vexlin"
  HostTestRoot::AddLibrary("Gadget2_1");
  CComponentManager& manager = Create(kComponentOk);
  int core = manager.LibraryIndexOf("Vantessel2_2.so");
  int gadget = manager.LibraryIndexOf("Gadget2_1.so");

  EXPECT_TRUE(manager.PlanUpdates({Entry("Vantessel", 2, 2), Entry("Gadget", 2, 1)}, true).empty());
  EXPECT_TRUE(manager.PlanUpdates({Entry("Vantessel", 2, 1)}, true).empty());

  std::vector<PlannedUpdate> plan =
      manager.PlanUpdates({Entry("Vantessel", 2, 3), Entry("Gadget", 2, 2), Entry("Newthing", 2, 0)}, true);
  ASSERT_EQ(plan.size(), 3u);
  EXPECT_EQ(plan[0].libraryIndex, core);
  EXPECT_EQ(plan[1].libraryIndex, gadget);
  EXPECT_EQ(plan[2].libraryIndex, -1);
  EXPECT_EQ(manager.PlanUpdates({Entry("Newthing", 2, 0)}, false).size(), 0u);
}

TEST_F(ComponentManagerTest, UpdatesNeverTouchBuiltIns) {
  CComponentManager& manager = Create(kCoreComponentMissing);
  EXPECT_TRUE(manager.PlanUpdates({Entry("Compression", 2, 9), Entry("ComponentManager", 2, 9)}, true).empty());
  std::vector<PlannedUpdate> plan = manager.PlanUpdates({Entry("Vantessel", 2, 2)}, false);
  ASSERT_EQ(plan.size(), 1u);  // the missing core is installed even when not all are
  EXPECT_EQ(plan[0].libraryIndex, -1);
}

}  // namespace
}  // namespace vx::host
