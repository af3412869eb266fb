// The viewer program on Qt's offscreen platform with the real engine loaded
// through the component manager: start-up and exit, the commands, the
// recent-file list, dropped files.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <array>
#include <cstdlib>

#include "ViewerTestSupport.h"
#include "host/DownloadManager.h"
#include "platform/Input.h"
#include "platform/InputState.h"

namespace vx::test {
namespace {

// Counts the paints a widget gets.
class PaintCounter : public QObject {
 public:
  PaintCounter(QWidget* widget, int& count) : count_(count) { widget->installEventFilter(this); }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++count_;
    return false;
  }

 private:
  int& count_;
};

TEST_F(ViewerWithEngineTest, StartsWithTheEngineOnAnEmptyDocumentAndEndsInReverseOrder) {
  MessageBoxAnswers boxes;
  ASSERT_TRUE(Start());
  EXPECT_TRUE(boxes.Shown().empty());
  ASSERT_NE(app_->Engine(), nullptr);
  uint16_t major = 0, minor = 0;
  EngineSlot<VxGetEngineVersionFn>(VxEngineGetEngineVersion)(&major, &minor);
  EXPECT_EQ(major, 1);
  EXPECT_EQ(minor, 11);
  EXPECT_TRUE(Frame().isVisible());
  EXPECT_EQ(Frame().windowTitle(), "Untitled - Vantessel Viewer");
  EXPECT_EQ(Document().Scene(), nullptr);
  EXPECT_TRUE(AcceptsDroppedFiles(app_->View()->Window()));

  ASSERT_TRUE(app_->OpenDocumentFile(root_.Write("box.wrl", SpinningBox())));
  Trigger(viewer::kCommandExit);
  EXPECT_FALSE(Frame().isVisible());
  EXPECT_EQ(Document().Scene(), nullptr) << "the document closes with the frame";
  EXPECT_EQ(app_->ExitInstance(), 0);
  EXPECT_EQ(app_->Engine(), nullptr) << "the scene went first, so the engine let its instance go";
  app_.reset();
  EXPECT_EQ(host::ComponentManager(), nullptr);
  EXPECT_EQ(host::GetDownloadManager(), nullptr);
}

TEST_F(ViewerTest, WithoutTheEngineItAsksAndEndsWhenTheEngineStaysMissing) {
  MessageBoxAnswers boxes({QMessageBox::No, QMessageBox::Ok});
  EXPECT_FALSE(Start());
  EXPECT_EQ(app_->ExitCode(), 1) << "a start that could not start is a failure";
  EXPECT_EQ(app_->Frame(), nullptr) << "no window was shown";
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_EQ(boxes.Shown()[0].caption, "Query");
  EXPECT_EQ(boxes.Shown()[0].text,
            "A required component package is not present in your Components folder. Do you wish to make an internet "
            "connection to download the latest copy?");
  EXPECT_EQ(boxes.Shown()[1].caption, "Notify");
  EXPECT_TRUE(boxes.Shown()[1].text.startsWith("A necessary component is not present and could not be downloaded."));
}

TEST_F(ViewerWithEngineTest, OpensTheCommandLineWorldAndTheWindowEvenWhenItDoesNotLoad) {
  const std::string world = root_.Write("box.wrl", SpinningBox());
  ASSERT_TRUE(Start({world}));
  EXPECT_NE(Document().Scene(), nullptr);
  EXPECT_EQ(Document().Path(), world);
  EXPECT_EQ(Frame().windowTitle(), "box.wrl - Vantessel Viewer");
  app_.reset();

  MessageBoxAnswers boxes;
  const std::string broken = root_.Write("bad.wrl", "#VRML V2.0 utf8\nNoSuchNode {}\n");
  ASSERT_TRUE(Start({broken}));
  EXPECT_TRUE(Frame().isVisible());
  EXPECT_EQ(Frame().windowTitle(), "Untitled - Vantessel Viewer");
  EXPECT_EQ(Document().Scene(), nullptr);
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].caption, "Error!");
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(), broken + "\n\nUnknown node type 'NoSuchNode'.")
      << "the file's name, then the reader's own words";
  EXPECT_EQ(app_->ExitInstance(), 0);
}

TEST_F(ViewerWithEngineTest, TheSampleWorldOpens) {
  MessageBoxAnswers boxes;
  ASSERT_TRUE(Start({VX_WORLDS_DIR "/showcase.wrl"}));
  EXPECT_TRUE(boxes.Shown().empty());
  for (const char* node : {"Overview", "CloseUp", "FromAbove", "AlongThePath", "Lamp", "Spinner", "Ball"})
    EXPECT_TRUE(SceneHasNode(node)) << node;
}

TEST_F(ViewerWithEngineTest, AnOpenedWorldIsDrawnAndAnimated) {
  ASSERT_TRUE(Start({root_.Write("box.wrl", SpinningBox())}));
  ASSERT_NE(app_->View()->View(), nullptr);
  QWidget* widget = backend_.Widget(app_->View()->Window());
  ASSERT_NE(widget, nullptr);
  QImage first;
  ASSERT_TRUE(RunQtUntil([&] {
    first = widget->grab().toImage();
    return PixelsOfColour(first, 0) > 100;
  }, 15000)) << "the red box is drawn";
  QImage later;
  EXPECT_TRUE(RunQtUntil([&] {
    later = widget->grab().toImage();
    return later != first;
  }, 15000)) << "the box turns";
}

TEST_F(ViewerWithEngineTest, AtRestTheProgramSleepsAndWorldsDrawNoFasterThanTheScreen) {
  ASSERT_TRUE(Start());
  int wakeUps = 0;
  QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &Frame(),
                   [&] { ++wakeUps; });
  RunQtUntil([] { return false; }, 200);
  wakeUps = 0;
  RunQtUntil([] { return false; }, 500);
  EXPECT_LE(wakeUps, 10) << "an empty window has nothing to do";

  ASSERT_TRUE(app_->OpenDocumentFile(root_.Write("box.wrl", SpinningBox())));
  QWidget* widget = backend_.Widget(app_->View()->Window());
  int paints = 0;
  PaintCounter counter(widget, paints);
  RunQtUntil([] { return false; }, 200);
  paints = 0;
  QElapsedTimer clock;
  clock.start();
  RunQtUntil([] { return false; }, 1000);
  const double rate = Frame().RefreshRate() >= 1.0 ? Frame().RefreshRate() : viewer::kDefaultRefreshHz;
  EXPECT_GT(paints, 0) << "the box turns";
  EXPECT_LE(paints, static_cast<int>(rate * static_cast<double>(clock.elapsed()) / 1000.0) + 2);
}

// The world's paints over a stretch after the first frames.
int PaintsOver(QWidget* widget, int milliseconds) {
  int paints = 0;
  PaintCounter counter(widget, paints);
  RunQtUntil([] { return false; }, milliseconds);
  return paints;
}

// Sets a field of a node of the document's scene as a host does: the
// engine's answer.
EngineResult SetField(SceneHandle* scene, const char* node, const char* field, const char* value) {
  VxNodeRef* ref = nullptr;
  int32_t type = 0;
  void* block = nullptr;
  EngineResult result = EngineNodeNotFound;
  if (EngineSlot<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene, node, &ref) == EngineOk &&
      EngineSlot<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType)(scene, ref, field, &type) == EngineOk &&
      EngineSlot<VxParseFieldValueFn>(VxEngineParseFieldValue)(scene, nullptr, value, static_cast<FieldType>(type),
                                                               &block) == 0)
    result = EngineSlot<VxSetNodeValueFn>(VxEngineSetNodeField)(scene, ref, field, block);
  std::free(block);
  if (ref) EngineSlot<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(ref);
  return result;
}

TEST_F(ViewerWithEngineTest, AStillWorldIsDrawnAgainOnlyWhenSomethingChanges) {
  const char* still =
      "#VRML V2.0 utf8\n"
      "DEF Box Transform { translation 0 0 -12 children Shape {\n"
      "  appearance Appearance { material Material { diffuseColor 1 0 0 } } geometry Box { size 4 4 4 } } }\n"
      "DEF Later TimeSensor { startTime 1e12 }\n";
  ASSERT_TRUE(Start({root_.Write("still.wrl", still)}));
  QWidget* widget = backend_.Widget(app_->View()->Window());
  RunQtUntil([] { return false; }, 300);
  EXPECT_LE(PaintsOver(widget, 2000), 2) << "nothing moves, so nothing is drawn";

  ASSERT_EQ(SetField(Document().Scene(), "Box", "translation", "1 0 -12"), EngineOk);
  EXPECT_GE(PaintsOver(widget, 300), 1) << "a value set from outside is shown";
  RunQtUntil([] { return false; }, 100);
  EXPECT_LE(PaintsOver(widget, 1000), 2);

  ASSERT_EQ(SetField(Document().Scene(), "Later", "loop", "1"), EngineOk);
  ASSERT_EQ(SetField(Document().Scene(), "Later", "startTime", "0"), EngineOk);
  EXPECT_GT(PaintsOver(widget, 500), 5) << "a running sensor draws every frame";
}

TEST_F(ViewerWithEngineTest, TheWorldsNotesShowInTheStatusLineAndUnderViewMessages) {
  const char* refusing =
      "#VRML V2.0 utf8\n"
      "DEF Outer Group { children DEF Inner Group { } }\n";
  ASSERT_TRUE(Start({root_.Write("refusing.wrl", refusing)}));
  auto* warnings = Frame().findChild<QPushButton*>(viewer::kWarningsButtonName);
  ASSERT_NE(warnings, nullptr);
  RunQtUntil([] { return false; }, 200);
  EXPECT_FALSE(warnings->isVisible()) << "nothing noted yet";

  ASSERT_EQ(SetField(Document().Scene(), "Inner", "children", "1,Outer"), EngineValueRefused);
  ASSERT_TRUE(RunQtUntil([&] { return warnings->isVisible(); }));
  EXPECT_EQ(warnings->text(), "1 warning");
  ASSERT_EQ(SetField(Document().Scene(), "Inner", "children", "1,Inner"), EngineValueRefused);
  ASSERT_TRUE(RunQtUntil([&] { return warnings->text() == "2 warnings"; }));

  MessageBoxAnswers boxes;
  warnings->click();
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(boxes.Shown()[0].caption, "Messages");
  EXPECT_EQ(boxes.Shown()[0].text.toStdString(),
            "Value for 'children' of Group 'Inner' refused: it holds the node or a node above it.\n"
            "Value for 'children' of Group 'Inner' refused: it holds the node or a node above it.\n");
}

TEST_F(ViewerWithEngineTest, TheViewTakesTheKeyboardWhenAWorldOpens) {
  ASSERT_TRUE(Start());
  QWidget* widget = backend_.Widget(app_->View()->Window());
  // Another window has the keyboard, as when the frame was not activated
  // once shown, or the user went elsewhere.
  QWidget elsewhere;
  elsewhere.show();
  elsewhere.activateWindow();
  ASSERT_TRUE(RunQtUntil([&] { return elsewhere.isActiveWindow(); }));

  ASSERT_TRUE(app_->OpenDocumentFile(root_.Write("box.wrl", SpinningBox())));
  EXPECT_TRUE(RunQtUntil([&] { return QApplication::focusWidget() == widget; })) << "keys work without a click";
  EXPECT_TRUE(Frame().isActiveWindow());
  EXPECT_EQ(GetFocus(), app_->View()->Window());
}

TEST_F(ViewerWithEngineTest, DraggingTheMouseTurnsTheCamera) {
  ASSERT_TRUE(Start({root_.Write("box.wrl", SpinningBox())}));
  ViewHandle* view = app_->View()->View();
  ASSERT_NE(view, nullptr);
  QWidget* widget = backend_.Widget(app_->View()->Window());
  auto camera = [view] {
    std::array<float, 3> orientation{};
    EngineSlot<VxGetCameraOrientationFn>(VxEngineGetCameraOrientation)(view, &orientation[0], &orientation[1],
                                                                       &orientation[2]);
    return orientation;
  };
  RunQtUntil([] { return false; }, 300);
  const std::array<float, 3> before = camera();
  RunQtUntil([] { return false; }, 300);
  ASSERT_EQ(camera(), before) << "without input the camera rests";
  const QPoint centre = widget->rect().center();
  QTest::mousePress(widget, Qt::LeftButton, {}, centre);
  for (int step = 1; step <= 6; ++step) {
    const QPoint at = centre - QPoint(0, 10 * step);
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    RunQtUntil([] { return false; }, 50);
  }
  EXPECT_TRUE(RunQtUntil([&] { return camera() != before; }, 5000)) << "an upward drag pitches the camera";
  QTest::mouseRelease(widget, Qt::LeftButton, {}, centre - QPoint(0, 60));
}

TEST_F(ViewerWithEngineTest, TheEnginesViewFollowsTheWindowsSize) {
  ASSERT_TRUE(Start({root_.Write("box.wrl", SpinningBox())}));
  ASSERT_NE(app_->View()->View(), nullptr);
  QWidget* widget = backend_.Widget(app_->View()->Window());
  Frame().resize(640, 480);
  auto viewRect = [this] {
    std::array<uint16_t, 4> rect{};
    EngineSlot<VxGetViewRectFn>(VxEngineGetViewRect)(app_->View()->View(), rect.data());
    return rect;
  };
  ASSERT_TRUE(RunQtUntil([&] {
    return viewRect() == std::array<uint16_t, 4>{0, 0, static_cast<uint16_t>(widget->height()),
                                                  static_cast<uint16_t>(widget->width())};
  })) << "top, left, bottom, right of the view window's client area";
  EXPECT_GT(widget->width(), viewer::kFrameWidth);
}

TEST_F(ViewerWithEngineTest, NewEmptiesTheDocument) {
  ASSERT_TRUE(Start({root_.Write("box.wrl", SpinningBox())}));
  QWidget* widget = backend_.Widget(app_->View()->Window());
  RunQtUntil([] { return false; }, 200);
  Trigger(viewer::kCommandNew);
  EXPECT_EQ(Document().Scene(), nullptr);
  EXPECT_EQ(app_->View()->View(), nullptr);
  EXPECT_EQ(Frame().windowTitle(), "Untitled - Vantessel Viewer");
  EXPECT_TRUE(RunQtUntil([&] {
    const QImage shown = widget->grab().toImage();
    return shown.pixel(shown.width() / 2, shown.height() / 2) == qRgb(255, 255, 255);
  })) << "the window shows nothing more from the engine";
  MessageBoxAnswers boxes;
  Trigger(viewer::kCommandReload);
  EXPECT_EQ(Document().Scene(), nullptr) << "without a kept file, Reload does nothing";
  EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(ViewerWithEngineTest, TheRecentFileListKeepsTheLastFourNewestFirst) {
  ASSERT_TRUE(Start());
  std::vector<std::string> worlds;
  for (const char* name : {"a.wrl", "b.wrl", "c.wrl", "d.wrl", "e.wrl"}) {
    worlds.push_back(root_.Write(name, SpinningBox()));
    ASSERT_TRUE(app_->OpenDocumentFile(worlds.back()));
  }
  const std::vector<std::string> newestFirst = {worlds[4], worlds[3], worlds[2], worlds[1]};
  EXPECT_EQ(app_->RecentFiles().Files(), newestFirst);
  ASSERT_EQ(Frame().RecentFileActions().size(), 4u);
  EXPECT_EQ(Frame().RecentFileActions()[0]->text().toStdString(), "&1 " + worlds[4]);

  viewer::RecentFileList stored;
  stored.Load();
  EXPECT_EQ(stored.Files(), newestFirst) << "the list outlives the program";

  Frame().RecentFileActions()[2]->trigger();
  EXPECT_EQ(Document().Path(), worlds[2]);
  EXPECT_EQ(app_->RecentFiles().Files().front(), worlds[2]);

  std::filesystem::remove(worlds[1]);
  MessageBoxAnswers boxes;
  app_->OpenRecentFile(3);
  EXPECT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(app_->RecentFiles().Files(), (std::vector<std::string>{worlds[2], worlds[4], worlds[3]}))
      << "a file that no longer opens leaves the list";
  EXPECT_EQ(Document().Path(), worlds[2]) << "the open document stays";
}

TEST_F(ViewerWithEngineTest, ADroppedFileIsOpened) {
  ASSERT_TRUE(Start());
  const std::string first = root_.Write("first.wrl", SpinningBox());
  const std::string second = root_.Write("second.wrl", SpinningBox());
  ASSERT_TRUE(DeliverDroppedFiles(app_->View()->Window(), {first, second}, {10, 10}));
  ASSERT_TRUE(RunQtUntil([&] { return Document().Scene() != nullptr; }));
  EXPECT_EQ(Document().Path(), second) << "of several files the last one stays open";
}

}  // namespace
}  // namespace vx::test
