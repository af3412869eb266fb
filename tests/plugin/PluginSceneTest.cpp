// Scenes embedded in pages: streams, embed parameters, status texts, links,
// focus between instances and many instances, through the real module and
// the real engine.
#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <string>

#include "platform/InputState.h"
#include "tests/host/TestPeers.h"
#include "tests/plugin/BrowserTestHost.h"
#include "tests/plugin/TestWorlds.h"
#include "vantessel/EngineResult.h"

namespace vx::test {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr Point kMiddle{kWidth / 2, kHeight / 2};

std::string FileUrl(const std::string& path) { return "file://" + path; }

// A maker's server that takes connections and never answers them.
class SilentServer {
 public:
  SilentServer() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(socket_, 16) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { close(socket_); }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }
  bool Listening() const { return port_ != 0; }

 private:
  int socket_;
  uint16_t port_ = 0;
};

// Today as config.txt keeps it.
std::string PackedToday() {
  const time_t now = std::time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  return std::to_string((static_cast<uint32_t>(local.tm_year + 1900) << 16) +
                        (static_cast<uint32_t>(local.tm_mon) << 8) + static_cast<uint32_t>(local.tm_mday));
}

class PluginSceneTest : public ::testing::Test {
 protected:
  void TearDown() override {
    browser.Close();
    EXPECT_EQ(browser.allocations, browser.frees) << "every instance the plug-in made is given back";
    EXPECT_EQ(browser.unknownFrees, 0);
  }

  // An instance showing this world from a local file.
  Embed& Show(const std::string& world, std::vector<std::pair<std::string, std::string>> parameters = {},
              Point origin = {40, 40}) {
    Embed& embed = browser.NewEmbed(std::move(parameters), kWidth, kHeight, origin);
    browser.Stream(embed, FileUrl(browser.Write("world" + std::to_string(++pages_) + ".wrl", world)), "");
    return embed;
  }

  BrowserTestHost browser;
  int pages_ = 0;
};

TEST_F(PluginSceneTest, AStreamedSceneIsDrawnIntoThePageWindow) {
  Embed& embed = Show(kBoxWorld);
  ASSERT_TRUE(browser.PumpFrames(embed, 3));
  const std::optional<Frame> frame = browser.LastFrame(embed);
  ASSERT_TRUE(frame);
  EXPECT_TRUE(Near(frame->At(kMiddle.x, kMiddle.y), 0xFF0000)) << std::hex << frame->At(kMiddle.x, kMiddle.y);
  EXPECT_TRUE(Near(frame->At(5, 5), 0x0000FF)) << std::hex << frame->At(5, 5);
  EXPECT_TRUE(browser.urlRequests.empty());
}

// Which stream names load a scene: the end of the stream's URL decides, in
// any case; the browser's saved file, named as browsers name their copies,
// is loaded unless the URL is a local file's own.
struct StreamCase {
  const char* name;
  bool compress;
  bool loads;
};

void PrintTo(const StreamCase& stream, std::ostream* out) { *out << stream.name; }

class PluginStreamTest : public PluginSceneTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(PluginStreamTest, OnlySceneFileNamesAreLoaded) {
  const StreamCase& stream = GetParam();
  std::string saved = browser.Write("stream-copy", kBoxWorld);
  if (stream.compress) {
    gzFile out = gzopen(saved.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    gzputs(out, kBoxWorld);
    gzclose(out);
  }
  Embed& embed = browser.NewEmbed({}, kWidth, kHeight);
  browser.Stream(embed, std::string("ftp://pages.example/") + stream.name, saved);
  browser.Pump(20);
  const std::optional<Frame> frame = browser.LastFrame(embed);
  ASSERT_TRUE(frame);
  EXPECT_EQ(Near(frame->At(5, 5), 0x0000FF), stream.loads) << "the wall, or the splash's black";
  EXPECT_EQ(frame->At(5, 5) == 0, !stream.loads);
}

INSTANTIATE_TEST_SUITE_P(Names, PluginStreamTest,
                         ::testing::Values(StreamCase{"a.tsw", false, true}, StreamCase{"b.WRL", false, true},
                                           StreamCase{"c.wrl.gz", true, true}, StreamCase{"d.txt", false, false},
                                           StreamCase{"e.html", false, false}),
                         [](const auto& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

TEST_F(PluginSceneTest, PropertyParametersApplyInTheirOrderAfterTheLoadAndTheBorderFollowsTheFocus) {
  Embed& embed = Show(kBoxWorld, {{"SetProperty.Mat.diffuseColor", "0 0 1"},
                                  {"SetProperty.Nobody.diffuseColor", "1 1 1"},
                                  {"SetProperty.Mat.shininess", "shiny"},
                                  {"SETPROPERTY.Mat.diffuseColor", "0 1 0"},
                                  {"Border", "1,1,0"}});
  ASSERT_TRUE(browser.PumpFrames(embed, 3));
  const std::optional<Frame> frame = browser.LastFrame(embed);
  EXPECT_TRUE(Near(frame->At(kMiddle.x, kMiddle.y), 0x00FF00)) << std::hex << frame->At(kMiddle.x, kMiddle.y);
  EXPECT_EQ(frame->At(0, kMiddle.y), 0x00FFFF00u) << "the only instance has the focus and its border";
}

TEST_F(PluginSceneTest, ALinkUrlSetByAParameterIsSetWholeAndOneTooLongForTheEngineIsPassedOver) {
  const std::string url = "http://pages.example/" + std::string(200 - 21, 'p');
  Embed& embed = Show(AnchorWorld("http://pages.example/first.html", ""),
                      {{"SetProperty.Link.url", "1," + url},
                       {"SetProperty.Link.url", "1," + std::string(VX_TEXT_BUFFER_SIZE, 'x')}});
  ASSERT_TRUE(browser.PumpFrames(embed));
  browser.Click(embed, kMiddle);
  ASSERT_EQ(browser.urlRequests.size(), 1u);
  EXPECT_EQ(browser.urlRequests[0].url, url);
}

TEST_F(PluginSceneTest, ASceneThatDoesNotLoadIsReportedInTheStatusLineAndABoxAndTheSplashStays) {
  Headless().Reset();
  Embed& embed = Show("#VRML V2.0 utf8\nNoSuchNode { }\n");
  browser.Pump();
  ASSERT_EQ(browser.statusTexts.size(), 1u);
  EXPECT_NE(browser.statusTexts[0].find("NoSuchNode"), std::string::npos) << browser.statusTexts[0];
  ASSERT_EQ(Headless().MessageBoxes().size(), 1u);
  EXPECT_EQ(Headless().MessageBoxes()[0].request.caption, "Notify");
  EXPECT_EQ(Headless().MessageBoxes()[0].request.text, browser.statusTexts[0]);
  EXPECT_EQ(browser.LastFrame(embed)->At(5, 5), 0u);
}

TEST_F(PluginSceneTest, ALinkToALocalPageOpensAsAFileUrlInItsFrame) {
  Embed& embed = Show(AnchorWorld("C:\\\\docs\\\\a.htm", "target=frameA"));
  ASSERT_TRUE(browser.PumpFrames(embed));
  browser.Click(embed, kMiddle);
  ASSERT_EQ(browser.urlRequests.size(), 1u);
  EXPECT_EQ(browser.urlRequests[0], (UrlRequest{&embed.npp, "file:///C//docs/a.htm", "frameA"}));
}

TEST_F(PluginSceneTest, ALinkToAPageBesideASceneFromAFileOpensAsThatPagesFileUrl) {
  browser.Write("next.html", "<html></html>");
  Embed& embed = Show(AnchorWorld("next.html", ""));
  ASSERT_TRUE(browser.PumpFrames(embed));
  browser.Click(embed, kMiddle);
  ASSERT_EQ(browser.urlRequests.size(), 1u);
  EXPECT_EQ(browser.urlRequests[0].url, FileUrl(browser.Pages() + "next.html"));
}

TEST_F(PluginSceneTest, ALinkWithoutATargetOpensInTheCurrentFrame) {
  Embed& embed = Show(AnchorWorld("http://pages.example/next.html", ""));
  ASSERT_TRUE(browser.PumpFrames(embed));
  browser.Click(embed, kMiddle);
  ASSERT_EQ(browser.urlRequests.size(), 1u);
  EXPECT_EQ(browser.urlRequests[0], (UrlRequest{&embed.npp, "http://pages.example/next.html", "_current"}));
}

TEST_F(PluginSceneTest, ABrowserThatLeavesThePageWhileOpeningALinkLeavesNothingBehind) {
  Embed& embed = Show(AnchorWorld("http://pages.example/next.html", ""));
  Embed& other = Show(kBoxWorld, {}, {300, 40});
  ASSERT_TRUE(browser.PumpFrames(embed));
  ASSERT_TRUE(browser.PumpFrames(other));
  browser.Click(embed, {5, 5});  // the first click brings the focus back from the other instance
  browser.onGetUrl = [&](const UrlRequest&) {
    browser.Destroy(embed);
    DestroyWindow(embed.window);
  };
  browser.Click(embed, kMiddle);
  EXPECT_EQ(browser.urlRequests.size(), 1u);
  EXPECT_TRUE(browser.PumpFrames(other)) << "the other instance goes on";
}

// A repaint gives an instance the focus: here another one takes it while the
// pointer rests on the link, and the pointer then moves beside the link.
TEST_F(PluginSceneTest, AClickIntoAnInstanceThatHadLostTheFocusPressesWhatIsUnderThePointerNow) {
  Embed& linked = Show(AnchorWorld("http://pages.example/next.html", ""));
  Embed& other = Show(kBoxWorld, {}, {300, 40});
  ASSERT_TRUE(browser.PumpFrames(other));
  browser.Click(linked, {5, 5});
  browser.MovePointer(linked, kMiddle);
  ASSERT_TRUE(browser.PumpFrames(linked));
  InvalidateWindow(other.window, false);
  ASSERT_TRUE(browser.PumpFrames(other));
  ASSERT_EQ(GetFocus(), other.window);
  browser.MovePointer(linked, {5, 5});
  ASSERT_TRUE(browser.PumpFrames(linked));

  browser.Click(linked, {5, 5});
  EXPECT_TRUE(browser.urlRequests.empty()) << "the click was beside the link";
  browser.Click(linked, kMiddle);
  EXPECT_EQ(browser.urlRequests.size(), 1u);
}

TEST_F(PluginSceneTest, AClickMovesTheFocusAndItsBorderToAnotherInstance) {
  Embed& first = Show(kBoxWorld, {{"BORDER", "1,0,0"}}, {20, 20});
  Embed& second = Show(kBoxWorld, {{"Border", "1,0,0"}}, {300, 20});
  ASSERT_TRUE(browser.PumpFrames(first));
  ASSERT_TRUE(browser.PumpFrames(second));
  auto bordered = [&](const Embed& embed) { return browser.LastFrame(embed)->At(0, kMiddle.y) == 0x00FF0000u; };

  browser.Click(second, {5, 5});
  ASSERT_TRUE(browser.PumpFrames(first));
  ASSERT_TRUE(browser.PumpFrames(second));
  EXPECT_FALSE(bordered(first));
  EXPECT_TRUE(bordered(second));

  browser.Click(first, {5, 5});
  ASSERT_TRUE(browser.PumpFrames(first));
  ASSERT_TRUE(browser.PumpFrames(second));
  EXPECT_TRUE(bordered(first));
  EXPECT_FALSE(bordered(second));
}

TEST_F(PluginSceneTest, ASeventeenthInstanceStillWorksAndAllLeaveInAnyOrder) {
  std::vector<Embed*> embeds;
  for (int i = 0; i < 17; ++i)
    embeds.push_back(&Show(kBoxWorld, {{"Border", "1,0,0"}}, {(i % 6) * 170, (i / 6) * 130}));
  Embed& first = *embeds.front();
  Embed& last = *embeds.back();
  ASSERT_TRUE(browser.PumpFrames(last));
  EXPECT_TRUE(Near(browser.LastFrame(last)->At(kMiddle.x, kMiddle.y), 0xFF0000));

  browser.Click(first, {5, 5});
  browser.Click(last, {5, 5});
  ASSERT_TRUE(browser.PumpFrames(last));
  ASSERT_TRUE(browser.PumpFrames(first));
  EXPECT_EQ(browser.LastFrame(last)->At(0, kMiddle.y), 0x00FF0000u) << "a click gives it the focus";
  EXPECT_NE(browser.LastFrame(first)->At(0, kMiddle.y), 0x00FF0000u);

  // The seventeenth was never entered in the table; it leaves first, and a
  // newcomer takes the entry another one left.
  browser.Destroy(last);
  browser.Destroy(*embeds[3]);
  Embed& again = Show(kBoxWorld, {{"Border", "1,0,0"}}, {0, 400});
  browser.Click(again, {5, 5});
  ASSERT_TRUE(browser.PumpFrames(again));
  EXPECT_EQ(browser.LastFrame(again)->At(0, kMiddle.y), 0x00FF0000u);
}

TEST_F(PluginSceneTest, APageFromTheWebFetchesWhatItsSceneNamesAndShowsTheDownloadInTheStatusLine) {
  HttpTestServer server(browser.Pages());
  ASSERT_NE(server.Port(), 0) << "the test server did not start";
  const std::string site = "http://" + server.HostAndPort() + "/";
  ScopedEnvironment makerServer("VANTESSEL_SERVER_URL", site.c_str());
  // The maker's server lists the engine the plug-in has: the daily check
  // finds nothing newer.
  std::filesystem::create_directories(browser.Pages() + "ovreg_new");
  browser.Write("ovreg_new/ComponentRegistry.txt",
                "COMPSTART\nNAME = Vantessel\nWIN_VERSION = 2.2\nWIN_URL = " + site + "Vantessel2_2.so.gz\nCOMPEND\n");
  // A green box in a file long enough to arrive in many pieces.
  browser.Write("inner.wrl", "#VRML V2.0 utf8\n#" + std::string(20000, '-') +
                                 "\nShape { appearance Appearance { material Material { diffuseColor 0 1 0 } }\n"
                                 "  geometry Box { size 4 4 4 } }\n");
  const std::string saved = browser.Write(
      "web.wrl", "#VRML V2.0 utf8\nTransform { translation 0 0 -6 children Inline { url \"slow/inner.wrl\" } }\n");

  Embed& embed = browser.NewEmbed({}, kWidth, kHeight);
  browser.Stream(embed, site + "web.wrl", saved);
  auto status = [&](const std::string& start) {
    return std::any_of(browser.statusTexts.begin(), browser.statusTexts.end(),
                       [&](const std::string& text) { return text.rfind(start, 0) == 0; });
  };
  int moves = 0;
  EXPECT_TRUE(browser.PumpUntil([&] {
    browser.MovePointer(embed, {10 + ++moves % 20, 10});
    return status("Welcome To Vantessel");
  }));
  EXPECT_TRUE(status("Downloading 1 file(s), ")) << "while the inline came";
  ASSERT_TRUE(browser.PumpFrames(embed));
  EXPECT_TRUE(Near(browser.LastFrame(embed)->At(kMiddle.x, kMiddle.y), 0x00FF00));

  const std::string config = HostTestRoot::ReadFile(path::PreferencesFolder() + "config.txt");
  EXPECT_NE(config.find("date="), std::string::npos);
  EXPECT_EQ(config.find("date=0\n"), std::string::npos) << "the daily check ran and is done for today";
  EXPECT_TRUE(Headless().MessageBoxes().empty());
}

// The daily check runs on the browser's thread before the page shows: a
// server that takes each request and never answers would otherwise hold the
// browser for the HTTP time-out of every request.
TEST_F(PluginSceneTest, AMakersServerThatNeverAnswersHoldsAPageFromTheWebBrieflyAndOnlyOnItsDay) {
  SilentServer maker;
  ASSERT_TRUE(maker.Listening());
  ScopedEnvironment makerServer("VANTESSEL_SERVER_URL", maker.Url().c_str());
  Embed& embed = browser.NewEmbed({}, kWidth, kHeight);
  const auto start = std::chrono::steady_clock::now();
  browser.Stream(embed, "http://127.0.0.1:1/pages/box.wrl", browser.Write("stream-copy", kBoxWorld));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << "held for the check's budget";

  ASSERT_TRUE(browser.PumpFrames(embed));
  EXPECT_TRUE(Near(browser.LastFrame(embed)->At(kMiddle.x, kMiddle.y), 0xFF0000)) << "the page shows";
  const std::string config = HostTestRoot::ReadFile(path::PreferencesFolder() + "config.txt");
  EXPECT_NE(config.find("date=" + PackedToday() + "\n"), std::string::npos) << "no other check today\n" << config;
}

TEST_F(PluginSceneTest, ASecondStreamReplacesTheSceneOfItsInstance) {
  Embed& embed = Show(AnchorWorld("http://pages.example/next.html", ""), {{"Border", "1,0,0"}});
  browser.Stream(embed, FileUrl(browser.Write("again.wrl", kBoxWorld)), "");
  ASSERT_TRUE(browser.PumpFrames(embed, 3));
  EXPECT_TRUE(Near(browser.LastFrame(embed)->At(kMiddle.x, kMiddle.y), 0xFF0000));
  browser.Click(embed, kMiddle);
  EXPECT_TRUE(browser.urlRequests.empty()) << "the first scene is gone";
}

}  // namespace
}  // namespace vx::test
