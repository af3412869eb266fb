#include "engine/world/WorldFileName.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

TEST(WorldFileName, WorldsArePlainOrCompressedInAnyCaseWithOrWithoutAViewpoint) {
  for (const char* name : {"a.wrl", "a.tsw", "A.WRL", "a.Tsw", "a.wrl.gz", "a.tsw.gz", "a.WRL.GZ", "a.Tsw.Gz",
                           "a.wrz", "a.WRZ", "a.wrl#Far", "a.wrl.gz#Far", "a.wrz#Far",
                           "http://example.test/w/a.wrl.gz", "docs/a#b/a.tsw#Entry", "file:///My%20Worlds/a.wrz"}) {
    EXPECT_TRUE(IsWorldFileName(name)) << name;
  }
  for (const char* name : {"", "wrl", "awrl", "a.wrlx", "a.html", "a.gz", "a.tar.gz", "a.wrz.gz", "a.gz.wrl.bak",
                           "a.wrl.gz.gz", "a.wrl/", "a.wrl?v=1", "a.wrl#", "page.html#a.wrl", "a.jpg#x.wrl"}) {
    EXPECT_FALSE(IsWorldFileName(name)) << name;
  }
}

TEST(WorldFileName, TheViewpointFollowsTheLastHashThatIsNeitherFirstNorLast) {
  const auto split = [](const char* name) {
    const WorldFileName parts = SplitViewpoint(name);
    return std::pair{std::string(parts.file), std::string(parts.viewpoint)};
  };
  using Parts = std::pair<std::string, std::string>;
  EXPECT_EQ(split("a.wrl#Far"), Parts("a.wrl", "Far"));
  EXPECT_EQ(split("docs/a#b/a.wrl#Far"), Parts("docs/a#b/a.wrl", "Far"));
  EXPECT_EQ(split("#a.wrl"), Parts("#a.wrl", ""));
  EXPECT_EQ(split("a.wrl#"), Parts("a.wrl#", ""));
  EXPECT_EQ(split("a#"), Parts("a#", ""));
  EXPECT_EQ(split("a#b"), Parts("a", "b"));
  EXPECT_EQ(split("##"), Parts("##", ""));
  EXPECT_EQ(UnpackedName("a.wrl.GZ"), "a.wrl");
  EXPECT_EQ(UnpackedName("a.wrz"), "a.wrz");
}

}  // namespace
}  // namespace vx
