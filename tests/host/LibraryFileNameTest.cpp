#include "host/LibraryFileName.h"

#include <gtest/gtest.h>

namespace vx::host {
namespace {

TEST(LibraryFileName, SplitsComponentAndVersion) {
  auto parsed = ParseLibraryFileName("Vantessel2_2.so");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->component, "Vantessel");
  EXPECT_EQ(parsed->major, 2);
  EXPECT_EQ(parsed->minor, 2);

  parsed = ParseLibraryFileName("Gadget12_340.so");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->major, 12);
  EXPECT_EQ(parsed->minor, 340);

  parsed = ParseLibraryFileName("Tool7.so");  // no '_': major 0
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->major, 0);
}

TEST(LibraryFileName, RefusesNamesWithoutAVersionRun) {
  EXPECT_FALSE(ParseLibraryFileName("readme.so"));
  EXPECT_FALSE(ParseLibraryFileName("lib3d_engine2_2.so"));  // first digit's run stops at 'e'
  EXPECT_FALSE(ParseLibraryFileName("Vantessel2_2b.so"));
  EXPECT_FALSE(ParseLibraryFileName("Huge2_99999.so"));  // does not fit a version field
}

TEST(LibraryFileName, SelectionKeepsOneNewestLibraryPerComponent) {
  std::vector<std::string> listing = {"Gadget2_3.so",     "Vantessel2_1.so", "Vantessel2_2.so", "Vantessel3_0.so",
                                      "readme.so",        "Gadget2_10.so",   "Old1_9.so",       "Tool7.so",
                                      "Vantessel2_02.so"};
  // Equal versions: the one listed later wins ("Vantessel2_02" after "2_2").
  EXPECT_EQ(SelectLibrariesToLoad(listing, 2), (std::vector<std::string>{"Gadget2_10.so", "Vantessel2_02.so"}));
  EXPECT_EQ(SelectLibrariesToLoad(listing, 3), (std::vector<std::string>{"Vantessel3_0.so"}));
  EXPECT_TRUE(SelectLibrariesToLoad({}, 2).empty());
}

}  // namespace
}  // namespace vx::host
