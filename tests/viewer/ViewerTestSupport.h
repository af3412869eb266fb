// Helpers of the viewer program's tests: a product root of its own with the
// real engine in its Components folder, worlds written on the spot, and the
// modal boxes and dialogs answered as a user would.
#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "QtTestSupport.h"
#include "host/ComponentManager.h"
#include "platform/Path.h"
#include "tests/host/HostTestEnvironment.h"
#include "viewer/MainFrame.h"
#include "viewer/ViewerApp.h"
#include "viewer/ViewerDoc.h"
#include "viewer/ViewerResources.h"
#include "viewer/ViewerView.h"

namespace vx::test {

// A product root of the test's own (VANTESSEL_ROOT on a new temporary
// folder, removed afterwards) with a folder of worlds.
class ViewerTestRoot : public HostTestRoot {
 public:
  ViewerTestRoot() { std::filesystem::create_directories(Worlds()); }

  // Puts the engine module into the Components folder, as scripts/run does.
  static void InstallEngine() {
    std::filesystem::copy_file(VX_ENGINE_MODULE, Components() + "Vantessel2_2.so",
                               std::filesystem::copy_options::overwrite_existing);
  }

  std::string Worlds() const { return Folder() + "/worlds/"; }

  // Writes a file under the worlds folder; its path.
  std::string Write(const std::string& name, const std::string& text) const {
    WriteFile(Worlds() + name, text);
    return Worlds() + name;
  }
};

// A message box as the user saw it.
struct ShownBox {
  QString caption;
  QString text;
};

// Answers every message box that comes up with the next of the given
// buttons (when they run out: No, else OK) and records it.
class MessageBoxAnswers {
 public:
  explicit MessageBoxAnswers(std::deque<QMessageBox::StandardButton> answers = {}) : answers_(std::move(answers)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] { AnswerOpenBox(); });
    poll_.start(5);
  }

  const std::vector<ShownBox>& Shown() const { return shown_; }

 private:
  void AnswerOpenBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    shown_.push_back({box->windowTitle(), box->text()});
    QMessageBox::StandardButton answer = box->button(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
    box->button(answer)->click();
  }

  std::deque<QMessageBox::StandardButton> answers_;
  std::vector<ShownBox> shown_;
  QTimer poll_;
};

// The next modal dialog of type Dialog, handed to `act` once it shows.
template <typename Dialog>
class OnNextDialog {
 public:
  explicit OnNextDialog(std::function<void(Dialog*)> act) : act_(std::move(act)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
        poll_.stop();
        seen_ = true;
        act_(dialog);
      }
    });
    poll_.start(5);
  }
  bool Seen() const { return seen_; }

 private:
  std::function<void(Dialog*)> act_;
  QTimer poll_;
  bool seen_ = false;
};

// A file dialog that chooses `path`, as typing it and pressing OK does.
inline std::function<void(QFileDialog*)> ChooseFile(const std::string& path) {
  return [path](QFileDialog* dialog) {
    dialog->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(dialog)->accept();
  };
}

// Slot n of the engine, as the viewer reaches it.
template <typename Fn>
Fn EngineSlot(int slot) {
  return reinterpret_cast<Fn>(host::GetComponentSlot(VX_ENGINE_COMPONENT_NAME, slot));
}

// Pixels of the image whose colour is strongly red (channel 0), green (1) or
// blue (2) and weak in the other two.
inline int PixelsOfColour(const QImage& image, int channel) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb pixel = image.pixel(x, y);
      const int values[] = {qRed(pixel), qGreen(pixel), qBlue(pixel)};
      bool matches = values[channel] > 128;
      for (int other = 0; other < 3; ++other)
        if (other != channel) matches = matches && values[other] < 64;
      if (matches) ++count;
    }
  return count;
}

// A red box turning once every two seconds in front of the camera, which
// stands at the origin looking down -z when the world has no Viewpoint.
inline std::string SpinningBox(const std::string& defName = "Spinner") {
  return "#VRML V2.0 utf8\n"
         "DEF " + defName + " Transform { translation 0 0 -12\n"
         "  children Shape {\n"
         "    appearance Appearance { material Material { diffuseColor 1 0 0 emissiveColor 1 0 0 } }\n"
         "    geometry Box { size 4 4 4 }\n"
         "  }\n"
         "}\n"
         "DEF Clock TimeSensor { cycleInterval 2 loop TRUE }\n"
         "DEF Turn OrientationInterpolator { key [0 0.5 1] keyValue [0 1 0 0, 0 1 0 3.14159, 0 1 0 6.28318] }\n"
         "ROUTE Clock.fraction_changed TO Turn.set_fraction\n"
         "ROUTE Turn.value_changed TO " + defName + ".set_rotation\n";
}

class ViewerTest : public ::testing::Test {
 protected:
  bool Start(const std::vector<std::string>& arguments = {}) {
    app_ = std::make_unique<viewer::CViewerApp>();
    return app_->InitInstance(arguments);
  }

  viewer::CViewerDoc& Document() const { return *app_->Document(); }
  viewer::CMainFrame& Frame() const { return *app_->Frame(); }
  void Trigger(int command) const { Frame().CommandAction(command)->trigger(); }

  // Whether the document's scene has a node of that DEF name.
  bool SceneHasNode(const std::string& defName) const {
    VxNodeRef* node = nullptr;
    auto find = EngineSlot<VxFindNodeByNameFn>(VxEngineFindNodeByName);
    if (!Document().Scene() || find(Document().Scene(), defName.c_str(), &node) != EngineOk || !node) return false;
    EngineSlot<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(node);
    return true;
  }

  QtBackend backend_;
  ViewerTestRoot root_;
  std::unique_ptr<viewer::CViewerApp> app_;  // goes first, while the root and the backend are still there
};

class ViewerWithEngineTest : public ViewerTest {
 protected:
  ViewerWithEngineTest() { ViewerTestRoot::InstallEngine(); }
};

}  // namespace vx::test
