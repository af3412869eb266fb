#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

namespace vx {
namespace {

using ExportFn = int (*)();

TEST(DynamicLibrary, FindsNumberedExportsUntilOneIsMissing) {
  std::string error;
  auto library = DynamicLibrary::Open(VX_FIXTURE_TWO_EXPORTS, &error);
  ASSERT_TRUE(library) << error;
  int found = 0;
  for (int n = 1; library->NumberedExport(n); ++n) {
    EXPECT_EQ(reinterpret_cast<ExportFn>(library->NumberedExport(n))(), n);
    ++found;
  }
  EXPECT_EQ(found, 2);
  EXPECT_EQ(library->NumberedExport(3), nullptr);
  EXPECT_EQ(library->Symbol("NoSuchSymbol"), nullptr);
}

TEST(DynamicLibrary, MissingOrBrokenFilesFailWithAReason) {
  std::string error;
  EXPECT_FALSE(DynamicLibrary::Open("/nonexistent/Nothing2_2.so", &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(DynamicLibrary::Open(VX_TEST_DATA_DIR "/README.md", &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vx
