#include "platform/Path.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "TestEnvironment.h"

namespace vx::path {
namespace {

TEST(LocalPathFromUrl, FileUrlKeepsLeadingSlash) {
  EXPECT_EQ(LocalPathFromUrl("file:///home/a.wrl"), "/home/a.wrl");
  EXPECT_EQ(LocalPathFromUrl("FILE:///home/a.wrl"), "/home/a.wrl");
  EXPECT_EQ(LocalPathFromUrl("file://localhost/home/a.wrl"), "/home/a.wrl");
  EXPECT_EQ(LocalPathFromUrl("file:/home/a.wrl"), "/home/a.wrl");
}

TEST(LocalPathFromUrl, DecodesEveryValidEscape) {
  EXPECT_EQ(LocalPathFromUrl("file:///home/My%20Worlds/caf%C3%A9%23%25.wrl"), "/home/My Worlds/caf\xC3\xA9#%.wrl");
}

TEST(LocalPathFromUrl, LeavesBrokenEscapesAlone) {
  EXPECT_EQ(DecodePercentEscapes("100%"), "100%");
  EXPECT_EQ(DecodePercentEscapes("a%2"), "a%2");
  EXPECT_EQ(DecodePercentEscapes("a%zz"), "a%zz");
  EXPECT_EQ(DecodePercentEscapes("%%41"), "%A");
  // A NUL escape would cut the path short: it stays as text.
  EXPECT_EQ(DecodePercentEscapes("a%00b"), "a%00b");
}

TEST(LocalPathFromUrl, BackslashesBecomeSlashes) {
  EXPECT_EQ(LocalPathFromUrl("worlds\\sub\\tex.jpg"), "worlds/sub/tex.jpg");
  EXPECT_EQ(LocalPathFromUrl("file:///home/u\\w\\a.wrl"), "/home/u/w/a.wrl");
}

TEST(LocalPathFromUrl, PlainPathsPassThrough) {
  EXPECT_EQ(LocalPathFromUrl("/data/a.wrl"), "/data/a.wrl");
  EXPECT_EQ(LocalPathFromUrl(""), "");
  EXPECT_FALSE(IsFileUrl("fil"));
  EXPECT_FALSE(IsFileUrl("http://x/file:"));
}

TEST(PathParts, DirectoryAndFileName) {
  EXPECT_EQ(DirectoryOf("/data/u/w/a.wrl"), "/data/u/w/");
  EXPECT_EQ(DirectoryOf("a.wrl"), "");
  EXPECT_EQ(DirectoryOf("c:\\w\\a.wrl"), "c:\\w\\");
  EXPECT_EQ(FileNameOf("/data/u/w/a.wrl"), "a.wrl");
  EXPECT_EQ(FileNameOf("/data/u/w/"), "");
  EXPECT_EQ(FileNameOf("a.wrl"), "a.wrl");
}

TEST(ProductFolders, RootComesFromVantesselRootFirst) {
  test::ScopedEnvironment root("VANTESSEL_ROOT", "/tmp/vxroot");
  test::ScopedEnvironment xdg("XDG_DATA_HOME", "/tmp/xdg");
  EXPECT_EQ(RootFolder(), "/tmp/vxroot/");
  EXPECT_EQ(PreferencesFolder(), "/tmp/vxroot/Orvanta/Vantessel Viewer/Preferences/");
  EXPECT_EQ(CacheFolder(), "/tmp/vxroot/Orvanta/Vantessel Viewer/Cache/");
  EXPECT_EQ(ComponentsFolder(), "/tmp/vxroot/Orvanta/Vantessel Viewer/Components/");
  EXPECT_EQ(ProductsRegistryFile(), "/tmp/vxroot/Orvanta/Products Registry.txt");
}

TEST(ProductFolders, FallsBackToXdgThenHome) {
  test::ScopedEnvironment root("VANTESSEL_ROOT", nullptr);
  {
    test::ScopedEnvironment xdg("XDG_DATA_HOME", "/tmp/xdg/");
    EXPECT_EQ(RootFolder(), "/tmp/xdg/");
  }
  test::ScopedEnvironment xdg("XDG_DATA_HOME", nullptr);
  test::ScopedEnvironment home("HOME", "/home/someone");
  EXPECT_EQ(RootFolder(), "/home/someone/.local/share/");
}

}  // namespace
}  // namespace vx::path
