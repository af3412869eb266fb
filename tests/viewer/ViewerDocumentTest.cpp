// The document's commands with the real engine: Reload, Save As, Load URL
// from a loopback HTTP server, Update Components.
#include <gtest/gtest.h>

#include <zlib.h>

#include <QAction>
#include <QDialog>
#include <QImage>
#include <array>
#include <filesystem>

#include "ViewerTestSupport.h"
#include "host/MakerServer.h"
#include "tests/host/TestPeers.h"
#include "tests/media/IndexedTestFiles.h"

namespace vx::test {
namespace {

constexpr char kBrokenWorld[] = "#VRML V2.0 utf8\nNoSuchNode {}\n";

TEST_F(ViewerWithEngineTest, ReloadReadsTheFileAgainAndKeepsTheWorldWhenItBroke) {
  const std::string world = root_.Write("world.wrl", SpinningBox("First"));
  ASSERT_TRUE(Start({world}));
  root_.Write("world.wrl", SpinningBox("Second"));
  Trigger(viewer::kCommandReload);
  EXPECT_TRUE(SceneHasNode("Second"));
  EXPECT_FALSE(SceneHasNode("First"));

  SceneHandle* shown = Document().Scene();
  ViewHandle* view = app_->View()->View();
  root_.Write("world.wrl", kBrokenWorld);
  MessageBoxAnswers boxes;
  Trigger(viewer::kCommandReload);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].caption, "Error!");
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(), world + "\n\nUnknown node type 'NoSuchNode'.");
  EXPECT_EQ(Document().Scene(), shown) << "the world shown stays";
  EXPECT_EQ(app_->View()->View(), view);
  EXPECT_TRUE(SceneHasNode("Second"));

  root_.Write("world.wrl", SpinningBox("Mended"));
  Trigger(viewer::kCommandReload);
  EXPECT_TRUE(SceneHasNode("Mended"));
}

TEST_F(ViewerWithEngineTest, AFailedOpenKeepsTheSceneShown) {
  ASSERT_TRUE(Start({root_.Write("world.wrl", SpinningBox())}));
  SceneHandle* shown = Document().Scene();
  MessageBoxAnswers boxes;
  const std::string missing = root_.Worlds() + "missing.wrl";
  EXPECT_FALSE(app_->OpenDocumentFile(missing));
  EXPECT_EQ(Document().Scene(), shown);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(), missing + "\n\nError:  Could not open VRML file!!!");
  EXPECT_FALSE(app_->OpenDocumentFile("/" + std::string(300, 'a') + ".wrl")) << "a path the engine cannot take";
  EXPECT_EQ(Document().Scene(), shown);
}

TEST_F(ViewerWithEngineTest, SaveAsWritesAWorldThatOpensAgain) {
  ASSERT_TRUE(Start({root_.Write("world.wrl", SpinningBox())}));
  const std::string saved = root_.Worlds() + "saved.tsw";
  OnNextDialog<QFileDialog> choose(ChooseFile(saved));
  Trigger(viewer::kCommandSaveAs);
  EXPECT_TRUE(choose.Seen());
  EXPECT_EQ(ViewerTestRoot::ReadFile(saved).rfind("#VRML V2.0 utf8", 0), 0u);
  ASSERT_TRUE(app_->OpenDocumentFile(saved));
  EXPECT_TRUE(SceneHasNode("Spinner"));
  EXPECT_TRUE(SceneHasNode("Clock"));

  MessageBoxAnswers boxes;
  EXPECT_FALSE(Document().SaveAs(root_.Worlds() + "no/such/folder/x.tsw"));
  ASSERT_EQ(boxes.Shown().size(), 1u) << "a save that failed is not passed over in silence";
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(), "Could not save the scene as " + root_.Worlds() + "no/such/folder/x.tsw.");

  Trigger(viewer::kCommandNew);
  OnNextDialog<QFileDialog> none([](QFileDialog* dialog) { dialog->reject(); });
  Trigger(viewer::kCommandSaveAs);
  EXPECT_FALSE(none.Seen()) << "without a scene there is nothing to save";
}

// The view's pixels once they stay the same for a while.
QImage SettledFrame(QWidget* widget) {
  QImage shown = widget->grab().toImage();
  RunQtUntil([&] {
    const QImage now = widget->grab().toImage();
    const bool same = now == shown;
    shown = now;
    return same;
  });
  return shown;
}

// Saved as it came, a standard world stays one: its camera stands where the
// standard puts it, and its texture is named beside the saved file.
TEST_F(ViewerWithEngineTest, SaveAsKeepsTheWorldsNameAndKind) {
  const std::string picture = ViewerTestRoot::ReadFile(std::string(VX_WORLDS_DIR) + "/panorama.jpg");
  root_.Write("panorama.jpg", picture);
  const std::string world =
      root_.Write("textured.wrl",
                  "#VRML V2.0 utf8\nShape { appearance Appearance { texture ImageTexture { url \"panorama.jpg\" } }\n"
                  "  geometry Box { size 4 4 4 } }\n");
  ASSERT_TRUE(Start({world}));
  QWidget* widget = backend_.Widget(app_->View()->Window());
  const QImage before = SettledFrame(widget);

  std::string proposed;
  OnNextDialog<QFileDialog> look([&](QFileDialog* dialog) {
    proposed = dialog->selectedFiles().value(0).toStdString();
    dialog->reject();
  });
  Trigger(viewer::kCommandSaveAs);
  EXPECT_EQ(std::filesystem::path(proposed).filename(), "textured.wrl");
  struct Case {
    const char* source;
    const char* proposed;
  };
  for (const Case& c : {Case{"http://example.invalid/dir/home.tsw.gz#Entry", "home.tsw"},
                        Case{"http://example.invalid/world.WRL.GZ?v=2", "world.WRL"},
                        Case{"http://example.invalid/dir/", "MyVRML.tsw"}})
    EXPECT_EQ(viewer::ProposedSaveName(c.source), c.proposed) << c.source;

  std::filesystem::create_directories(root_.Worlds() + "elsewhere");
  const std::string saved = root_.Worlds() + "copy.wrl";
  OnNextDialog<QFileDialog> choose(ChooseFile(saved));
  Trigger(viewer::kCommandSaveAs);
  ASSERT_TRUE(choose.Seen());
  EXPECT_NE(ViewerTestRoot::ReadFile(saved).find("\"panorama.jpg\""), std::string::npos) << "named beside it";
  ASSERT_TRUE(Document().SaveAs(root_.Worlds() + "elsewhere/copy.wrl.gz"));
  ASSERT_TRUE(app_->OpenDocumentFile(root_.Worlds() + "elsewhere/copy.wrl.gz")) << "written gzip-compressed";
  ASSERT_TRUE(app_->OpenDocumentFile(saved));
  EXPECT_EQ(SettledFrame(widget), before) << "the reopened world draws the same frame";
}

TEST_F(ViewerWithEngineTest, LoadUrlOpensAWorldFromAServer) {
  root_.Write("served.wrl", SpinningBox("Served"));
  HttpTestServer server(root_.Worlds());
  ASSERT_NE(server.Port(), 0);
  ASSERT_TRUE(Start());
  const std::string url = "http://" + server.HostAndPort() + "/served.wrl";
  std::string proposed;
  OnNextDialog<QDialog> ask([&](QDialog* dialog) {
    auto* location = dialog->findChild<QLineEdit*>();
    proposed = location->text().toStdString();
    location->setText(QString::fromStdString(url));
    dialog->accept();
  });
  Trigger(viewer::kCommandLoadUrl);
  EXPECT_EQ(proposed, host::MakerServerUrl() + "home.tsw") << "the configured home world is proposed";
  ASSERT_TRUE(RunQtUntil([&] { return Document().Scene() != nullptr; }, 15000));
  EXPECT_TRUE(SceneHasNode("Served"));
  EXPECT_EQ(Document().Url(), url);
  EXPECT_EQ(Frame().windowTitle().toStdString(), url + " - Vantessel Viewer");
}

// A world and its texture that have moved: the world's relative URLs
// resolve against where it was moved to, so its moved texture is found and
// drawn.
TEST_F(ViewerWithEngineTest, AMovedWorldAndItsMovedTextureAreFollowed) {
  std::filesystem::create_directories(root_.Worlds() + "new");
  root_.Write("new/world.wrl",
              "#VRML V2.0 utf8\n"
              "DEF Moved Transform { translation 0 0 -12 children Shape {\n"
              "  appearance Appearance { texture ImageTexture { url \"tex.bmp?to=green.bmp\" } }\n"
              "  geometry Box { size 4 4 4 } } }\n");
  root_.Write("new/green.bmp", SolidBmp(0, 255, 0));
  HttpTestServer server(root_.Worlds());
  ASSERT_NE(server.Port(), 0);
  ASSERT_TRUE(Start());
  app_->View()->StartUrlLoad("http://" + server.HostAndPort() + "/old/world.wrl?to=/new/world.wrl");
  ASSERT_TRUE(RunQtUntil([&] { return SceneHasNode("Moved"); }, 15000));
  EXPECT_EQ(Document().Url(), "http://" + server.HostAndPort() + "/new/world.wrl");
  QWidget* widget = backend_.Widget(app_->View()->Window());
  ASSERT_NE(widget, nullptr);
  EXPECT_TRUE(RunQtUntil([&] { return PixelsOfColour(widget->grab().toImage(), 1) > 100; }, 15000))
      << "the texture is drawn";
}

TEST_F(ViewerWithEngineTest, AFailedUrlLoadSaysWhereAndWhyAndKeepsTheWorldShown) {
  root_.Write("page.html", "<html><body>Not a world</body></html>\n");
  HttpTestServer server(root_.Worlds());
  ASSERT_NE(server.Port(), 0);
  const std::string world = root_.Write("world.wrl", SpinningBox("Local"));
  ASSERT_TRUE(Start({world}));
  SceneHandle* shown = Document().Scene();
  auto failure = [&](const std::string& url) {
    MessageBoxAnswers boxes;
    app_->View()->StartUrlLoad(url);
    EXPECT_TRUE(RunQtUntil([&] { return !boxes.Shown().empty(); }, 15000)) << url;
    return boxes.Shown().empty() ? std::string() : boxes.Shown()[0].text.toStdString();
  };

  const std::string page = "http://" + server.HostAndPort() + "/page.html";
  EXPECT_EQ(failure(page), page + "\n\nThis is not a VRML 2.0 file.");
  const std::string missing = "http://" + server.HostAndPort() + "/missing.wrl";
  EXPECT_EQ(failure(missing), missing + "\n\nCouldn't download requested file!\nHTTP status 404.");
  const std::string nobody = "http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/world.wrl";
  EXPECT_EQ(failure(nobody), nobody + "\n\nCouldn't download requested file!\nThe server did not answer.");

  EXPECT_EQ(Document().Scene(), shown);
  EXPECT_TRUE(SceneHasNode("Local"));
  EXPECT_EQ(Document().Path(), world);
  EXPECT_EQ(Frame().windowTitle(), "world.wrl - Vantessel Viewer");
}

TEST_F(ViewerWithEngineTest, LoadUrlAsksTheServerAgainAfterTheServersFileChanged) {
  root_.Write("served.wrl", kBrokenWorld);
  HttpTestServer server(root_.Worlds());
  ASSERT_NE(server.Port(), 0);
  ASSERT_TRUE(Start());
  const std::string url = "http://" + server.HostAndPort() + "/served.wrl";
  {
    MessageBoxAnswers boxes;
    app_->View()->StartUrlLoad(url);
    ASSERT_TRUE(RunQtUntil([&] { return !boxes.Shown().empty(); }, 15000));
  }
  root_.Write("served.wrl", SpinningBox("Mended"));
  app_->View()->StartUrlLoad(url);
  EXPECT_TRUE(RunQtUntil([&] { return SceneHasNode("Mended"); }, 15000)) << "the mended world, not the cached error";
}

TEST_F(ViewerWithEngineTest, ReloadOfAWorldFromAServerAsksTheServerAgain) {
  root_.Write("served.wrl", SpinningBox("Served"));
  HttpTestServer server(root_.Worlds());
  ASSERT_NE(server.Port(), 0);
  ASSERT_TRUE(Start());
  const std::string url = "http://" + server.HostAndPort() + "/served.wrl";
  app_->View()->StartUrlLoad(url);
  ASSERT_TRUE(RunQtUntil([&] { return SceneHasNode("Served"); }, 15000));
  const std::string localCopy = Document().Path();

  root_.Write("served.wrl", SpinningBox("Edited"));
  Trigger(viewer::kCommandReload);
  ASSERT_TRUE(RunQtUntil([&] { return SceneHasNode("Edited"); }, 15000)) << "the author's edit shows";
  EXPECT_EQ(Document().Url(), url);
  EXPECT_EQ(Document().Path(), localCopy);
  EXPECT_NE(ViewerTestRoot::ReadFile(localCopy).find("Edited"), std::string::npos) << "the cache holds the new copy";

  MessageBoxAnswers boxes;
  root_.Write("served.wrl", kBrokenWorld);
  Trigger(viewer::kCommandReload);
  ASSERT_TRUE(RunQtUntil([&] { return boxes.Shown().size() == 1; }, 15000));
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(), url + "\n\nUnknown node type 'NoSuchNode'.");
  EXPECT_TRUE(SceneHasNode("Edited")) << "the world shown stays";

  std::filesystem::remove(root_.Worlds() + "served.wrl");
  Trigger(viewer::kCommandReload);
  ASSERT_TRUE(RunQtUntil([&] { return boxes.Shown().size() == 2; }, 15000));
  EXPECT_EQ(boxes.Shown()[1].text.toStdString(), url + "\n\nCouldn't download requested file!\nHTTP status 404.");
  EXPECT_TRUE(SceneHasNode("Edited"));
  EXPECT_EQ(Document().Url(), url);
  EXPECT_TRUE(ViewerTestRoot::Exists(localCopy)) << "a failed fetch leaves the local copy";
}

// The cache keeps only the last characters of a URL in its copy's name, so
// "world.tsw.gz" arrives as a ".gz" copy: the URL must still decide that the
// world is one of this system's, whose camera starts at the origin.
TEST_F(ViewerWithEngineTest, AWorldFromAServerIsDrawnByTheConventionOfItsUrl) {
  const std::string world = "#VRML V2.0 utf8\nShape { geometry Box { } }\n";
  const std::string packed = root_.Worlds() + "served.tsw.gz";
  gzFile file = gzopen(packed.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(gzwrite(file, world.data(), static_cast<unsigned>(world.size())), static_cast<int>(world.size()));
  ASSERT_EQ(gzclose(file), Z_OK);
  HttpTestServer server(root_.Worlds());
  ASSERT_NE(server.Port(), 0);
  ASSERT_TRUE(Start());
  app_->View()->StartUrlLoad("http://" + server.HostAndPort() + "/served.tsw.gz");
  ASSERT_TRUE(RunQtUntil([&] { return Document().Scene() != nullptr && app_->View()->View() != nullptr; }, 15000));
  std::array<float, 3> camera{1, 1, 1};
  ASSERT_EQ(EngineSlot<VxGetCameraPositionFn>(VxEngineGetCameraPosition)(app_->View()->View(), camera.data()), EngineOk);
  EXPECT_EQ(camera, (std::array<float, 3>{0, 0, 0}));
}

TEST_F(ViewerWithEngineTest, AUrlLoadStillRunningEndsWithTheViewer) {
  HttpTestServer server(root_.Worlds());
  ASSERT_NE(server.Port(), 0);
  ASSERT_TRUE(Start());
  MessageBoxAnswers boxes;
  app_->View()->StartUrlLoad("http://" + server.HostAndPort() + "/stall/100000");
  RunQtUntil([] { return false; }, 300);
  ASSERT_TRUE(app_->View()->IsDownloading());
  app_.reset();  // the download manager goes last and must not call back into the view
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(ViewerWithEngineTest, UpdateComponentsUnloadsTheSceneOnlyWhenTheUserAgrees) {
  ScopedEnvironment server("VANTESSEL_SERVER_URL", ("http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) + "/").c_str());
  ASSERT_TRUE(Start({root_.Write("world.wrl", SpinningBox())}));
  {
    MessageBoxAnswers boxes({QMessageBox::No});
    Trigger(viewer::kCommandUpdateComponents);
    ASSERT_EQ(boxes.Shown().size(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text,
              "Updating your components requires the current scene(s) to be unloaded.  Do you wish to continue?");
    EXPECT_NE(Document().Scene(), nullptr);
  }
  {
    MessageBoxAnswers boxes({QMessageBox::Yes});
    Trigger(viewer::kCommandUpdateComponents);
    EXPECT_EQ(boxes.Shown().size(), 2u) << "the question, then the failure";
    EXPECT_TRUE(SceneHasNode("Spinner")) << "the world comes back, drawn by the new engine";
    EXPECT_NE(app_->View()->View(), nullptr);
  }
  Trigger(viewer::kCommandNew);
  MessageBoxAnswers boxes;
  Trigger(viewer::kCommandUpdateComponents);
  ASSERT_EQ(boxes.Shown().size(), 1u) << "without a scene nothing is asked";
  EXPECT_EQ(boxes.Shown()[0].caption, "Notify");
  EXPECT_EQ(boxes.Shown()[0].text, "The Vantessel Viewer could not successfully update your components.");
  EXPECT_NE(app_->Engine(), nullptr) << "a new engine instance";
  EXPECT_TRUE(app_->NetworkPumpOn());
}

}  // namespace
}  // namespace vx::test
