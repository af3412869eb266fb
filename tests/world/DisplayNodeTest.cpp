// Display: the bound one sets the view's stereo mode and the row quality and
// reports its fullScreen value once a frame; unbound, it lets the view be.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "WorldTestNodes.h"
#include "tests/nodes/NodeTestSupport.h"

namespace vx {
namespace {

// View services that keep the stereo modes and fullScreen reports.
class CDisplayServices : public test::CCursorServices {
 public:
  using CCursorServices::CCursorServices;
  void SetStereoMode(StereoMode mode) override { modes.push_back(mode); }
  void ReportFullScreen(bool on) override { reports.push_back(on); }

  std::vector<StereoMode> modes;
  std::vector<bool> reports;
};

struct DisplayWorld {
  explicit DisplayWorld(const std::string& body) : world(test::ReadWorld(body)) {
    h.view.SetServices(&services);
    world->RenderView(RenderPass::Activate, &h.view);
  }
  void Frame() { world->RenderFrame(&h.view); }

  test::HeadlessView h{64, 64};
  std::unique_ptr<CBrowser> world;
  CDisplayServices services{*world};
};

constexpr const char* kSquare =
    "Transform { translation 0 0 -5 children Shape { appearance Appearance { material Material { "
    "diffuseColor 1 1 1 } } geometry Box { size 2 2 0.1 } } }\n";

TEST(DisplayNode, TheBoundDisplayDrawsInStereoAndReportsOnceAFrameUntilUnbound) {
  DisplayWorld w(std::string("DEF D Display { stereoMode \"LEFT_RIGHT\" fullScreen TRUE }\n") + kSquare);
  ASSERT_NE(w.world->GetDisplay(), nullptr) << "the first Display of a file is bound";
  w.Frame();
  w.Frame();
  EXPECT_EQ(w.services.reports, (std::vector<bool>{true, true})) << "the scene's visit adds no report";
  EXPECT_EQ(w.services.modes, (std::vector<StereoMode>{StereoMode::LeftRight, StereoMode::LeftRight}));
  EXPECT_EQ(w.h.view.GetStereoMode(), StereoMode::LeftRight);
  EXPECT_NE(w.h.frame.Xrgb(16, 32), 0u) << "left eye in the left half";
  EXPECT_NE(w.h.frame.Xrgb(48, 32), 0u) << "right eye in the right half";
  EXPECT_EQ(w.h.frame.Xrgb(32, 32), 0u);

  const int16_t off = 0;
  (void)w.world->FindNode("D")->ReceiveEvent("set_bind", &off);
  EXPECT_EQ(w.world->GetDisplay(), nullptr);
  w.Frame();
  EXPECT_EQ(w.services.reports.size(), 2u) << "an unbound Display reports nothing";
  EXPECT_EQ(w.h.view.GetStereoMode(), StereoMode::LeftRight) << "the view keeps its mode";
  EXPECT_NE(w.h.frame.Xrgb(32, 32), 0u) << "one eye over the whole frame again";
}

TEST(DisplayNode, QualityWordsSetTheRowsAndOtherWordsLeaveThem) {
  struct Case {
    const char* quality;
    RowQuality rows;
  };
  const Case cases[] = {
      {"LOW", {.replicateRows = true, .replicateFour = true, .rowMask = 3}},
      {"MEDIUM", {.replicateRows = true, .replicateFour = false, .rowMask = 1}},
      {"HIGH", {.replicateRows = false, .replicateFour = false, .rowMask = 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.quality);
    DisplayWorld w(std::string("DEF D Display { quality \"") + c.quality + "\" }\n" + kSquare);
    w.h.view.GetRenderTarget()->SetRowQuality({.skipRows = true, .rowMask = 7});
    w.Frame();
    const RowQuality& rows = w.h.view.GetRenderTarget()->GetRowQuality();
    EXPECT_FALSE(rows.skipRows);
    EXPECT_EQ(rows.replicateRows, c.rows.replicateRows);
    EXPECT_EQ(rows.replicateFour, c.rows.replicateFour);
    EXPECT_EQ(rows.rowMask, c.rows.rowMask);
    EXPECT_EQ(w.services.reports, (std::vector<bool>{false}));
  }
  DisplayWorld w(std::string("Display { quality \"low\" stereoMode \"SIDE_BY_SIDE\" }\n") + kSquare);
  w.h.view.GetRenderTarget()->SetRowQuality({.replicateRows = true, .rowMask = 1});
  w.h.view.SetStereoMode(StereoMode::Interlaced);
  w.Frame();
  EXPECT_TRUE(w.h.view.GetRenderTarget()->GetRowQuality().replicateRows);
  EXPECT_EQ(w.h.view.GetStereoMode(), StereoMode::Interlaced);
  EXPECT_TRUE(w.services.modes.empty());
}

TEST(DisplayNode, LowQualityFillsEveryFourthRowAndCopiesItDown) {
  DisplayWorld w(std::string("Display { quality \"LOW\" }\n") + kSquare);
  w.Frame();
  for (int y = 24; y < 40; ++y) EXPECT_EQ(w.h.frame.Xrgb(32, y), w.h.frame.Xrgb(32, y & ~3)) << y;
  EXPECT_NE(w.h.frame.Xrgb(32, 32), 0u);
}

}  // namespace
}  // namespace vx
