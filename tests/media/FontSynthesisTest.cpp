// The platform's fonts on a machine whose fonts differ from ours: here the
// only faces are DejaVu Sans Mono and DejaVu Serif, upright and of regular
// weight, and the machine's "monospace" is DejaVu Serif. Its own fontconfig
// configuration is made before any font is, so this program holds only
// these tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Font.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

class UprightFacesOnly final : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::filesystem::path faces = std::filesystem::path(folder_.Path()) / "faces";
    std::filesystem::create_directory(faces);
    for (const char* face : {"DejaVuSansMono.ttf", "DejaVuSerif.ttf"}) {
      std::filesystem::copy_file(std::filesystem::path(VX_DEJAVU_DIR) / face, faces / face);
    }
    const std::string configuration = folder_.Write(
        "fonts.conf",
        "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n"
        "  <dir>" + faces.string() + "</dir>\n  <cachedir>" + folder_.Path() + "/cache</cachedir>\n"
        "  <alias binding=\"same\"><family>monospace</family><prefer><family>DejaVu Serif</family></prefer></alias>\n"
        "  <alias binding=\"same\"><family>serif</family><prefer><family>DejaVu Serif</family></prefer></alias>\n"
        "</fontconfig>\n");
    setenv("FONTCONFIG_FILE", configuration.c_str(), 1);
  }

 private:
  test::TemporaryFolder folder_{"vxfaces"};
};

[[maybe_unused]] ::testing::Environment* const kUprightFacesOnly =
    ::testing::AddGlobalTestEnvironment(new UprightFacesOnly);

constexpr int kPixels = 48;

struct Drawing {
  std::vector<uint8_t> bits;
  int width = 0;
  int height = 0;
  bool At(int x, int y) const { return bits[static_cast<size_t>(y * width + x)] != 0; }
};

Drawing Draw(FontFamily family, bool bold, bool italic, std::string_view text) {
  std::unique_ptr<Font> font = CreateFont({kPixels, family, bold, italic});
  EXPECT_NE(font, nullptr);
  if (!font) return {};
  Drawing drawing{{}, 4 * kPixels, font->Metrics().height};
  drawing.bits.assign(static_cast<size_t>(drawing.width * drawing.height), 0);
  GlyphMask mask{drawing.bits, drawing.width, drawing.height};
  font->DrawText(mask, kPixels, 0, text);
  return drawing;
}

// The first and the last row of ink, the leftmost ink column of each and
// the widest run of ink along a row.
struct Stroke {
  int top = -1;
  int bottom = -1;
  int topLeft = 0;
  int bottomLeft = 0;
  int thickness = 0;
};

Stroke StrokeOf(const Drawing& drawing) {
  Stroke stroke;
  for (int y = 0; y < drawing.height; ++y) {
    int leftmost = -1;
    int run = 0;
    for (int x = 0; x < drawing.width; ++x) {
      run = drawing.At(x, y) ? run + 1 : 0;
      stroke.thickness = std::max(stroke.thickness, run);
      if (run == 1 && leftmost < 0) leftmost = x;
    }
    if (leftmost < 0) continue;
    if (stroke.top < 0) stroke.top = y, stroke.topLeft = leftmost;
    stroke.bottom = y, stroke.bottomLeft = leftmost;
  }
  return stroke;
}

// How far the stroke leans right for each row it rises.
double Lean(const Stroke& stroke) {
  return static_cast<double>(stroke.topLeft - stroke.bottomLeft) / std::max(1, stroke.bottom - stroke.top);
}

TEST(FontSynthesis, AFamilysDejaVuFaceIsTakenBeforeTheMachinesChoiceForIt) {
  std::unique_ptr<Font> monospace = CreateFont({kPixels, FontFamily::Monospace, false, false});
  std::unique_ptr<Font> serif = CreateFont({kPixels, FontFamily::Serif, false, false});
  ASSERT_NE(monospace, nullptr);
  ASSERT_NE(serif, nullptr);
  EXPECT_NE(serif->MeasureText("iiii").advance, serif->MeasureText("WWWW").advance) << "the machine's monospace";
  EXPECT_EQ(monospace->MeasureText("iiii").advance, monospace->MeasureText("WWWW").advance);
}

// A vertical bar: upright it stands straight; slanted by FreeType it leans
// about a fifth of a pixel right for each row up.
TEST(FontSynthesis, ItalicSlantsWhenTheFaceFoundHasNoSlantedForm) {
  for (FontFamily family : {FontFamily::Monospace, FontFamily::Serif}) {
    for (bool bold : {false, true}) {
      const Stroke upright = StrokeOf(Draw(family, bold, false, "|"));
      const Stroke italic = StrokeOf(Draw(family, bold, true, "|"));
      ASSERT_GT(upright.bottom - upright.top, kPixels / 2);
      EXPECT_NEAR(Lean(upright), 0.0, 0.03) << static_cast<int>(family) << bold;
      EXPECT_NEAR(Lean(italic), 0.2, 0.05) << static_cast<int>(family) << bold;
    }
  }
}

TEST(FontSynthesis, BoldThickensWhenTheFaceFoundHasNoBoldForm) {
  for (FontFamily family : {FontFamily::Monospace, FontFamily::Serif}) {
    for (bool italic : {false, true}) {
      const Drawing plain = Draw(family, false, italic, "|Rag");
      const Drawing bold = Draw(family, true, italic, "|Rag");
      EXPECT_GE(StrokeOf(bold).thickness, StrokeOf(plain).thickness + 2) << static_cast<int>(family) << italic;
      EXPECT_GT(std::count(bold.bits.begin(), bold.bits.end(), 1), std::count(plain.bits.begin(), plain.bits.end(), 1));
    }
  }
}

}  // namespace
}  // namespace vx
