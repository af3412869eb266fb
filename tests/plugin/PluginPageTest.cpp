// Worlds on web pages in a real browser engine: QtWebKit, through PyQt5 on
// Debian's python3 (tests/plugin/page_loader.py), on a virtual display, with
// the module in its plug-in folder and the engine in the Components folder,
// over file: and over a loopback http: server. What a web developer's
// visitors see: the world drawn and moving, the page's parameters, a link
// that takes the browser on, two worlds on one page.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/HeadlessBackend.h"
#include "tests/host/HostTestEnvironment.h"
#include "tests/host/TestPeers.h"
#include "tests/plugin/TestWorlds.h"
#include "tests/plugin/XvfbServer.h"

namespace vx::test {
namespace {

namespace fs = std::filesystem;

constexpr int kLoaderSeconds = 90;
constexpr char kPageSize[] = "880x360";
// The first world on a page sits at (20, 20), 400 x 300; a second one 420
// further right.
constexpr Point kWorldOrigin{20, 20};
constexpr Point kWorldMiddle{kWorldOrigin.x + 200, kWorldOrigin.y + 150};
constexpr int kSecondWorldOffset = 420;

// A blue wall, a red box before it (DEF box, its Material DEF Mat) and a
// small white box gliding to and fro above it, seen from the origin.
constexpr const char* kWorld =
    "#VRML V2.0 utf8\n"
    "Viewpoint { position 0 0 0 }\n"
    "Transform { translation 0 0 -20 children Shape {\n"
    "  appearance Appearance { material Material { diffuseColor 0 0 1 } } geometry Box { size 200 200 1 } } }\n"
    "DEF box Transform { translation 0 0 -6 children Shape {\n"
    "  appearance Appearance { material DEF Mat Material { diffuseColor 1 0 0 } } geometry Box { } } }\n"
    "DEF glider Transform { translation 0 1.6 -6 children Shape {\n"
    "  appearance Appearance { material Material { emissiveColor 1 1 1 } } geometry Box { size 0.4 0.4 0.4 } } }\n"
    "DEF clock TimeSensor { cycleInterval 1 loop TRUE }\n"
    "DEF path PositionInterpolator { key [0 0.5 1] keyValue [-2 1.6 -6, 2 1.6 -6, -2 1.6 -6] }\n"
    "ROUTE clock.fraction_changed TO path.set_fraction\n"
    "ROUTE path.value_changed TO glider.set_translation\n";

constexpr const char* kLinkWorld =
    "#VRML V2.0 utf8\n"
    "Transform { translation 0 0 -20 children Shape {\n"
    "  appearance Appearance { material Material { diffuseColor 0 0 1 } } geometry Box { size 200 200 1 } } }\n"
    "Anchor { url \"next.html\" children Transform { translation 0 0 -6 children Shape {\n"
    "  appearance Appearance { material Material { diffuseColor 1 0 0 } } geometry Box { } } } }\n";

std::string Page(std::initializer_list<std::string> worlds) {
  std::string page = "<html><body style=\"margin:0;background:#fff\">\n";
  int left = kWorldOrigin.x;
  for (const std::string& world : worlds) {
    page += "<div style=\"position:absolute;left:" + std::to_string(left) + "px;top:" +
            std::to_string(kWorldOrigin.y) + "px\">" + world + "</div>\n";
    left += kSecondWorldOffset;
  }
  return page + "</body></html>\n";
}

std::string Embed(const std::string& world, const std::string& attributes = "") {
  return "<embed type=\"x-vantessel/x-tsw\" src=\"" + world + "\" width=400 height=300 " + attributes + ">";
}

// What the loader printed, and how it ended.
struct LoaderRun {
  int exitCode = -1;
  std::vector<std::string> lines;

  bool Printed(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  std::string All() const {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
  }
};

// The binary and PPM picture the loader wrote.
std::optional<Frame> ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  if (!(in >> magic >> width >> height >> maximum) || magic != "P6" || maximum != 255 || width <= 0 || height <= 0)
    return std::nullopt;
  in.get();
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
  if (!in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()))) return std::nullopt;
  Frame frame{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
  for (size_t i = 0; i < frame.pixels.size(); ++i)
    frame.pixels[i] = (uint32_t{rgb[3 * i]} << 16) | (uint32_t{rgb[3 * i + 1]} << 8) | rgb[3 * i + 2];
  return frame;
}

class PluginPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
#if VX_SANITIZED
    GTEST_SKIP() << "the browser engine opens plug-ins with RTLD_DEEPBIND, which the sanitizer runtime refuses; "
                    "this build tests the module in the test browser (plugin_browser_tests), the release build here";
#endif
    xServer_ = std::make_unique<XvfbServer>();
    ASSERT_FALSE(xServer_->Display().empty()) << "no virtual X display (Xvfb)";
    fs::create_directories(Plugins());
    fs::create_directories(Pages());
    fs::create_directories(root_.Folder() + "/run");
    fs::permissions(root_.Folder() + "/run", fs::perms::owner_all);
    fs::copy_file(VX_PLUGIN_MODULE, Plugins() + "NPVXLN32.so");
    fs::copy_file(VX_ENGINE_MODULE, HostTestRoot::Components() + "Vantessel2_2.so");
  }

  std::string Plugins() const { return root_.Folder() + "/plugins/"; }
  std::string Pages() const { return root_.Folder() + "/pages/"; }
  void Write(const std::string& name, const std::string& text) const { HostTestRoot::WriteFile(Pages() + name, text); }

  // Runs the loader on the page with these steps, the maker's server at
  // makerServer when given.
  LoaderRun Load(const std::string& url, std::vector<std::string> steps, const std::string& makerServer = "") {
    std::vector<std::string> arguments{VX_BROWSER_PYTHON, VX_PAGE_LOADER, url, kPageSize, Pages()};
    arguments.insert(arguments.end(), steps.begin(), steps.end());
    std::vector<std::pair<std::string, std::string>> environment{
        {"DISPLAY", xServer_->Display()}, {"QTWEBKIT_PLUGIN_PATH", Plugins()}, {"HOME", root_.Folder()},
        {"XDG_RUNTIME_DIR", root_.Folder() + "/run"}, {"QT_QPA_PLATFORM", "xcb"}};
    if (!makerServer.empty()) environment.emplace_back("VANTESSEL_SERVER_URL", makerServer);
    return Run(arguments, environment);
  }

  std::optional<Frame> Shot(const std::string& name) const { return ReadPpm(Pages() + name + ".ppm"); }

 private:
  static LoaderRun Run(std::vector<std::string> arguments,
                       const std::vector<std::pair<std::string, std::string>>& environment) {
    LoaderRun run;
    int output[2];
    if (pipe(output) != 0) return run;
    const pid_t child = fork();
    if (child == 0) {
      dup2(output[1], STDOUT_FILENO);
      close(output[0]);
      close(output[1]);
      // Other plug-ins of the machine stay out of the page.
      unsetenv("MOZ_PLUGIN_PATH");
      for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
      std::vector<char*> argv;
      for (std::string& argument : arguments) argv.push_back(argument.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(output[1]);
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kLoaderSeconds);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
      pollfd entry{output[0], POLLIN, 0};
      if (poll(&entry, 1, 100) <= 0) continue;
      char c;
      if (read(output[0], &c, 1) != 1) {
        ended = true;
      } else if (c == '\n') {
        run.lines.push_back(std::move(line));
        line.clear();
      } else {
        line += c;
      }
    }
    close(output[0]);
    if (!ended) kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  HostTestRoot root_;
  std::unique_ptr<XvfbServer> xServer_;
};

TEST_F(PluginPageTest, AWorldOnAFilePageIsDrawnMovesAndTakesThePagesParameters) {
  Write("world.wrl", kWorld);
  Write("page.html", Page({Embed("world.wrl", "Border=\"1,1,0\" SetProperty.box.translation=\"1.5 0 -6\"")}));
  const LoaderRun run = Load("file://" + Pages() + "page.html", {"wait:700", "shot:first", "wait:250", "shot:second"});
  ASSERT_EQ(run.exitCode, 0) << run.All();
  ASSERT_TRUE(run.Printed("loaded ok")) << run.All();
  const std::optional<Frame> first = Shot("first");
  const std::optional<Frame> second = Shot("second");
  ASSERT_TRUE(first && second);

  EXPECT_EQ(first->At(5, 5), 0xFFFFFFu) << "the page around the world";
  EXPECT_TRUE(Near(first->At(kWorldMiddle.x, kWorldMiddle.y + 60), 0x0000FF)) << "the wall";
  EXPECT_TRUE(Near(first->At(kWorldMiddle.x, kWorldMiddle.y), 0x0000FF)) << "the box has left the middle";
  EXPECT_TRUE(Near(first->At(kWorldMiddle.x + 100, kWorldMiddle.y), 0xFF0000)) << "for where the page put it";
  EXPECT_TRUE(Near(first->At(kWorldOrigin.x, kWorldMiddle.y), 0xFFFF00)) << "the focus border";

  bool moved = false;
  for (int y = kWorldOrigin.y; y < kWorldMiddle.y && !moved; ++y)
    for (int x = kWorldOrigin.x + 2; x < kWorldOrigin.x + 398 && !moved; ++x) moved = first->At(x, y) != second->At(x, y);
  EXPECT_TRUE(moved) << "the glider moves between the pictures";
}

TEST_F(PluginPageTest, ALinkInAWorldOnAWebPageTakesTheBrowserOn) {
  Write("world.wrl", kLinkWorld);
  Write("page.html", Page({Embed("world.wrl")}));
  Write("next.html", "<html><body>next</body></html>\n");
  HttpTestServer server(Pages());
  ASSERT_NE(server.Port(), 0) << "the test server did not start";
  const std::string site = "http://" + server.HostAndPort() + "/";
  const LoaderRun run =
      Load(site + "page.html",
           {"wait:700", "shot:page", "click:" + std::to_string(kWorldMiddle.x) + "," + std::to_string(kWorldMiddle.y),
            "wait:1000"},
           site);
  ASSERT_EQ(run.exitCode, 0) << run.All();
  const std::optional<Frame> page = Shot("page");
  ASSERT_TRUE(page);
  EXPECT_TRUE(Near(page->At(kWorldMiddle.x, kWorldMiddle.y), 0xFF0000)) << "the world came over http";
  EXPECT_TRUE(run.Printed("url " + site + "next.html")) << run.All();
}

// A world the server does not have leaves the splash, and the status line
// says which and why.
TEST_F(PluginPageTest, TheStatusLineTellsOfAWorldTheServerDoesNotHave) {
  Write("page.html", Page({Embed("missing.wrl")}));
  HttpTestServer server(Pages());
  ASSERT_NE(server.Port(), 0) << "the test server did not start";
  const std::string site = "http://" + server.HostAndPort() + "/";
  const LoaderRun run = Load(site + "page.html", {"wait:1000"}, site);
  ASSERT_EQ(run.exitCode, 0) << run.All();
  EXPECT_TRUE(run.Printed("status " + site + "missing.wrl: no world: it could not be downloaded.")) << run.All();
}

// An embed's attribute names come in lower case; an object's params keep
// theirs.
TEST_F(PluginPageTest, TwoWorldsOnOnePageBothDraw) {
  Write("world.wrl", kWorld);
  Write("page.html", Page({Embed("world.wrl"), "<object type=\"x-vantessel/x-tsw\" data=\"world.wrl\" width=400 "
                                                 "height=300><param name=\"SetProperty.Mat.diffuseColor\" "
                                                 "value=\"0 1 0\"></object>"}));
  const LoaderRun run = Load("file://" + Pages() + "page.html", {"wait:700", "shot:both"});
  ASSERT_EQ(run.exitCode, 0) << run.All();
  const std::optional<Frame> both = Shot("both");
  ASSERT_TRUE(both);
  EXPECT_TRUE(Near(both->At(kWorldMiddle.x, kWorldMiddle.y), 0xFF0000));
  EXPECT_TRUE(Near(both->At(kWorldMiddle.x + kSecondWorldOffset, kWorldMiddle.y), 0x00FF00));
}

}  // namespace
}  // namespace vx::test
