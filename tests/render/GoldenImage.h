// Comparing a rendered picture with a golden image in tests/data. Set
// VX_UPDATE_GOLDEN=1 to write new golden images (and look at them before
// committing them); on a mismatch the rendered image is kept in a temporary
// folder, whose path the failure names.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Png.h"
#include "tests/platform/OwnPng.h"

namespace vx::test {

// Keeps a picture that did not match its golden image where a developer can
// look at it, outside the source and build trees, and returns its path.
inline std::string KeepMismatchedImage(const std::string& goldenName, int width, int height,
                                       const std::vector<uint32_t>& image) {
  std::string folder = (std::filesystem::temp_directory_path() / "vx-golden-XXXXXX").string();
  if (!::mkdtemp(folder.data())) return "(nowhere: no temporary folder)";
  const std::string path = folder + "/" + goldenName.substr(goldenName.find_last_of('/') + 1);
  return WritePng(path, width, height, image) ? path : "(nowhere: " + path + " could not be written)";
}

// Channel differences above `tolerance` may appear only on a few pixels
// (silhouettes, where coverage rules decide). `name` is the path below
// tests/data.
inline void ExpectGoldenImage(const std::string& name, int width, int height, const std::vector<uint32_t>& image,
                              int tolerance) {
  const std::string golden = std::string(VX_TEST_DATA_DIR) + "/" + name;
  if (std::getenv("VX_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(WritePng(golden, width, height, image));
  }
  const std::vector<uint32_t> expected = ReadOwnPng(golden, width, height);
  ASSERT_EQ(expected.size(), image.size()) << "cannot read " << golden;
  int differing = 0;
  for (size_t i = 0; i < image.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const int a = static_cast<int>(image[i] >> shift & 0xFF);
      const int b = static_cast<int>(expected[i] >> shift & 0xFF);
      if (std::abs(a - b) > tolerance) {
        ++differing;
        break;
      }
    }
  }
  const bool matches = differing <= width * height / 1000;
  if (!matches) {
    ADD_FAILURE() << differing << " pixels differ from " << golden << "; the picture drawn is "
                  << KeepMismatchedImage(name, width, height, image);
  }
}

}  // namespace vx::test
