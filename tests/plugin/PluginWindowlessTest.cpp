// Scenes in a windowless browser, as the browser engines on Linux show
// plug-ins: drawn into the browser's drawable on its expose events, ticked
// from its GLib main loop, driven by its X input events.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/plugin/BrowserTestHost.h"
#include "tests/plugin/TestWorlds.h"

namespace vx::test {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr Point kMiddle{kWidth / 2, kHeight / 2};

class PluginWindowlessTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(browser.HasDisplay()) << "no virtual X display (Xvfb)"; }

  void TearDown() override {
    browser.Close();
    EXPECT_EQ(browser.allocations, browser.frees);
  }

  Embed& Show(const std::string& world, Point origin = {0, 0}) {
    Embed& embed = browser.NewEmbed({}, kWidth, kHeight, origin);
    browser.Stream(embed, "file://" + browser.Write("world" + std::to_string(++pages_) + ".wrl", world), "");
    return embed;
  }

  BrowserTestHost browser{Drawing::kWindowless};
  int pages_ = 0;
};

TEST_F(PluginWindowlessTest, TheInstanceAsksForNoWindowAndDrawsTheSplashThenTheSceneIntoTheDrawable) {
  Embed& embed = browser.NewEmbed({}, kWidth, kHeight);
  ASSERT_TRUE(embed.windowless) << "the plug-in asks to be windowless when it is made";
  ASSERT_TRUE(browser.Expose(embed));
  const Point splash{kWidth / 2 - 75, kHeight / 2 - 21};
  EXPECT_EQ(browser.LastFrame(embed)->At(splash.x, splash.y), 0x0A1A3Au) << "the top of the splash's sky";
  EXPECT_EQ(embed.invalidations, 0) << "nothing moves without a scene";

  browser.Stream(embed, "file://" + browser.Write("box.wrl", kBoxWorld), "");
  ASSERT_TRUE(browser.PumpFrames(embed, 3));
  const std::optional<Frame> frame = browser.LastFrame(embed);
  EXPECT_TRUE(Near(frame->At(kMiddle.x, kMiddle.y), 0xFF0000)) << std::hex << frame->At(kMiddle.x, kMiddle.y);
  EXPECT_TRUE(Near(frame->At(5, 5), 0x0000FF)) << std::hex << frame->At(5, 5);
}

// The display's rate, not the 1 ms of a page window's timer; and nothing but
// the browser's loop ticks.
TEST_F(PluginWindowlessTest, TicksComeFromTheBrowsersLoopAtTheDisplaysRate) {
  Embed& embed = Show(kBoxWorld);
  ASSERT_TRUE(browser.PumpFrames(embed));
  const int before = embed.invalidations;
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(embed.invalidations, before) << "no tick while the loop does not run";

  const auto start = std::chrono::steady_clock::now();
  browser.PumpUntil([&] { return std::chrono::steady_clock::now() - start > std::chrono::milliseconds(500); });
  const int ticks = embed.invalidations - before;
  EXPECT_GE(ticks, 3);
  EXPECT_LE(ticks, 500 / 16 + 2);
}

TEST_F(PluginWindowlessTest, ButtonsOfTheBrowserClickLinksWhereTheyPoint) {
  Embed& embed = Show(AnchorWorld("http://pages.example/next.html"));
  ASSERT_TRUE(browser.PumpFrames(embed));
  browser.Click(embed, {5, 5});
  EXPECT_TRUE(browser.urlRequests.empty()) << "beside the link";
  EXPECT_FALSE(browser.SendButton(embed, kMiddle, true, 3)) << "another button is left to the browser";
  EXPECT_FALSE(browser.SendButton(embed, kMiddle, false, 3));
  browser.Pump();
  EXPECT_TRUE(browser.urlRequests.empty());
  browser.Click(embed, kMiddle);
  ASSERT_EQ(browser.urlRequests.size(), 1u);
  EXPECT_EQ(browser.urlRequests[0], (UrlRequest{&embed.npp, "http://pages.example/next.html", "_current"}));
}

TEST_F(PluginWindowlessTest, KeysMoveTheViewWhileTheInstanceHasTheBrowsersFocus) {
  Embed& embed = Show(kBoxWorld);
  ASSERT_TRUE(browser.PumpFrames(embed));
  browser.MovePointer(embed, kMiddle);
  ASSERT_TRUE(browser.SendFocus(embed, true));
  ASSERT_TRUE(browser.PumpFrames(embed));
  const std::optional<Frame> before = browser.LastFrame(embed);

  ASSERT_TRUE(browser.SendKey(embed, XK_Up, true));
  ASSERT_TRUE(browser.PumpFrames(embed, 2));
  ASSERT_TRUE(browser.SendFocus(embed, false)) << "leaving lets the key go";
  ASSERT_TRUE(browser.PumpFrames(embed));
  const std::optional<Frame> stopped = browser.LastFrame(embed);
  EXPECT_NE(stopped->pixels, before->pixels) << "the view moved while the key was held";
  ASSERT_TRUE(browser.PumpFrames(embed, 3));
  EXPECT_EQ(browser.LastFrame(embed)->pixels, stopped->pixels) << "and stands since";
}

TEST_F(PluginWindowlessTest, TwoInstancesDrawAndTakeTheirOwnClicksAndOneLeavesWhileItsLinkOpens) {
  Embed& first = Show(AnchorWorld("http://pages.example/first.html"));
  Embed& second = Show(AnchorWorld("http://pages.example/second.html"), {200, 0});
  ASSERT_TRUE(browser.PumpFrames(first));
  ASSERT_TRUE(browser.PumpFrames(second));
  browser.Click(second, kMiddle);
  ASSERT_EQ(browser.urlRequests.size(), 1u);
  EXPECT_EQ(browser.urlRequests[0], (UrlRequest{&second.npp, "http://pages.example/second.html", "_current"}));

  browser.onGetUrl = [&](const UrlRequest&) { browser.Destroy(first); };
  browser.Click(first, kMiddle);
  ASSERT_EQ(browser.urlRequests.size(), 2u);
  EXPECT_EQ(browser.urlRequests[1].url, "http://pages.example/first.html");
  EXPECT_TRUE(browser.PumpFrames(second)) << "the other instance goes on";
}

TEST_F(PluginWindowlessTest, ANewDrawableSizeIsDrawnWhole) {
  Embed& embed = Show(kBoxWorld);
  ASSERT_TRUE(browser.PumpFrames(embed));
  browser.Resize(embed, 240, 180);
  ASSERT_TRUE(browser.PumpFrames(embed, 3));
  const std::optional<Frame> frame = browser.LastFrame(embed);
  ASSERT_EQ(frame->width, 240);
  EXPECT_TRUE(Near(frame->At(235, 175), 0x0000FF)) << std::hex << frame->At(235, 175);
  EXPECT_TRUE(Near(frame->At(120, 90), 0xFF0000)) << "the box stays in the middle";
}

}  // namespace
}  // namespace vx::test
