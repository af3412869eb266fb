// A world with Text in each family, drawn with the platform's fonts and
// compared with a golden image in tests/data/nodes. Set VX_UPDATE_GOLDEN=1
// to write a new golden image (and look at it before committing it); on a
// mismatch the drawn image is written next to the test binary.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "RenderedWorld.h"
#include "platform/Png.h"
#include "tests/platform/OwnPng.h"
#include "tests/render/GoldenImage.h"

namespace vx {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 160;

constexpr const char* kWorld =
    "Transform { translation -3.3 0.6 -8 children ["
    "  Shape { appearance Appearance { material Material { diffuseColor 1 1 0.2 } }"
    "    geometry Text { string [ \"Vantessel\" ] fontStyle FontStyle { size 1 family \"SERIF\" style \"BOLD\" } } }"
    "  Transform { translation 0 -1.3 0 children"
    "    Shape { appearance Appearance { material Material { diffuseColor 1 1 1 } }"
    "      geometry Text { string [ \"worlds in text\" ] fontStyle FontStyle { size 1 family \"SANS\" style \"ITALIC\" "
    "} } } }"
    "  Transform { translation 0 -2.6 0 children"
    "    Shape { appearance Appearance { material Material { diffuseColor 0.3 1 0.5 } }"
    "      geometry Text { string [ \"typewriter\" ] fontStyle FontStyle { size 1 family \"TYPEWRITER\" } } } }"
    "] }";

class TextWorldGolden : public test::RenderedWorld {};

// Seen from the origin, as the system's worlds are.
TEST_F(TextWorldGolden, ReadableTextInEveryFamily) {
  convention = WorldConvention::kSystem;
  Load(kWorld, kWidth, kHeight);
  const std::string golden = std::string(VX_TEST_DATA_DIR) + "/nodes/text_world.png";
  if (std::getenv("VX_UPDATE_GOLDEN") != nullptr) {
    ASSERT_TRUE(WritePng(golden, kWidth, kHeight, Pixels()));
  }
  const std::vector<uint32_t> expected = test::ReadOwnPng(golden, kWidth, kHeight);
  ASSERT_EQ(expected.size(), Pixels().size()) << "cannot read " << golden;
  int differing = 0;
  for (size_t i = 0; i < expected.size(); ++i) differing += expected[i] != Pixels()[i];
  if (differing != 0) {
    ADD_FAILURE() << differing << " pixels differ from " << golden << "; the picture drawn is "
                  << test::KeepMismatchedImage(golden, kWidth, kHeight, Pixels());
  }
}

}  // namespace
}  // namespace vx
