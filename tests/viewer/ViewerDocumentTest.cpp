// The document's commands with the real engine: Reload, Save As, Load URL
// from a loopback HTTP server, Update Components.
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>

#include "ViewerTestSupport.h"
#include "host/MakerServer.h"
#include "tests/host/TestPeers.h"

namespace vx::test {
namespace {

TEST_F(ViewerWithEngineTest, ReloadReadsTheFileAgainAndLosesTheSceneWhenItBroke) {
  const std::string world = root_.Write("world.wrl", SpinningBox("First"));
  ASSERT_TRUE(Start({world}));
  root_.Write("world.wrl", SpinningBox("Second"));
  Trigger(viewer::kCommandReload);
  EXPECT_TRUE(SceneHasNode("Second"));
  EXPECT_FALSE(SceneHasNode("First"));

  root_.Write("world.wrl", "#VRML V2.0 utf8\nNoSuchNode {}\n");
  MessageBoxAnswers boxes;
  Trigger(viewer::kCommandReload);
  EXPECT_EQ(Document().Scene(), nullptr);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].caption, "Error!");
  EXPECT_EQ(boxes.Shown()[0].text, "Unknown node type 'NoSuchNode'.");
}

TEST_F(ViewerWithEngineTest, AFailedOpenKeepsTheSceneShown) {
  ASSERT_TRUE(Start({root_.Write("world.wrl", SpinningBox())}));
  SceneHandle* shown = Document().Scene();
  MessageBoxAnswers boxes;
  EXPECT_FALSE(app_->OpenDocumentFile(root_.Worlds() + "missing.wrl"));
  EXPECT_EQ(Document().Scene(), shown);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].text, "Error:  Could not open VRML file!!!");
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

  Trigger(viewer::kCommandReload);
  EXPECT_TRUE(SceneHasNode("Served")) << "Reload reads the downloaded copy";

  MessageBoxAnswers boxes;
  app_->View()->StartUrlLoad("http://" + server.HostAndPort() + "/missing.wrl");
  ASSERT_TRUE(RunQtUntil([&] { return !boxes.Shown().empty(); }, 15000));
  EXPECT_EQ(boxes.Shown()[0].text, "Couldn't download requested file!");
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
