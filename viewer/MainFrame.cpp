#include "viewer/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

#include "host/EngineCalls.h"
#include "platform/Backend.h"
#include "platform/qt/QtBackend.h"
#include "viewer/ViewerApp.h"
#include "viewer/ViewerResources.h"

namespace vx::viewer {
namespace {

QWidget* WidgetOf(WindowHandle window) {
  auto* backend = dynamic_cast<QtBackend*>(&CurrentBackend());
  return backend ? backend->Widget(window) : nullptr;
}

QString RecentFileText(size_t index, const std::string& path) {
  QString name = QFile::decodeName(path.c_str());
  name.replace('&', "&&");
  return QStringLiteral("&%1 %2").arg(index + 1).arg(name);
}

}  // namespace

CMainFrame::CMainFrame(CViewerApp& app) : app_(app) {
  setWindowTitle(kAppTitle);
  resize(kFrameWidth, kFrameHeight);
  BuildMenus();
  statusBar()->showMessage(kReadyText);
  warnings_ = new QPushButton(statusBar());
  warnings_->setObjectName(kWarningsButtonName);
  warnings_->setFlat(true);
  warnings_->hide();
  connect(warnings_, &QPushButton::clicked, this, [this] { app_.OnCommand(kCommandMessages); });
  statusBar()->addPermanentWidget(warnings_);
}

void CMainFrame::ShowWarningCount(uint32_t count) {
  if (count == warningCount_) return;
  warningCount_ = count;
  warnings_->setText(QString::fromStdString(host::engine::WarningCountText(count)));
  warnings_->setVisible(count > 0);
}

void CMainFrame::BuildMenus() {
  fileMenu_ = menuBar()->addMenu("&File");
  AddCommand(fileMenu_, kCommandOpen, "&Open...", {QKeySequence(Qt::CTRL | Qt::Key_O)});
  fileMenu_->addSeparator();
  AddCommand(fileMenu_, kCommandReload, "&Reload", {QKeySequence(Qt::CTRL | Qt::Key_R)});
  AddCommand(fileMenu_, kCommandSaveAs, "Save &As...", {QKeySequence(Qt::CTRL | Qt::Key_A)});
  AddCommand(fileMenu_, kCommandLoadUrl, "&Load URL...", {})->setStatusTip(kLoadUrlStatusTip);
  AddCommand(fileMenu_, kCommandUpdateComponents, "&Update Components", {});
  fileMenu_->addSeparator();
  recentPlaceholder_ = fileMenu_->addAction("Recent File");
  recentPlaceholder_->setEnabled(false);
  fileMenu_->addSeparator();
  AddCommand(fileMenu_, kCommandExit, "E&xit", {});
  QMenu* view = menuBar()->addMenu("&View");
  AddCommand(view, kCommandMessages, "&Messages...", {});
  QMenu* help = menuBar()->addMenu("&Help");
  AddCommand(help, kCommandAbout, "&About Vantessel Viewer..", {});
  // Accelerators without a menu item.
  AddCommand(this, kCommandNew, "New", {QKeySequence(Qt::CTRL | Qt::Key_N)});
}

QAction* CMainFrame::AddCommand(QWidget* owner, int command, const QString& text, const QList<QKeySequence>& keys) {
  auto* action = new QAction(text, owner);
  action->setData(command);
  action->setShortcuts(keys);
  owner->addAction(action);
  connect(action, &QAction::triggered, this, [this, command] { app_.OnCommand(command); });
  commands_[command] = action;
  return action;
}

QAction* CMainFrame::CommandAction(int command) const {
  auto it = commands_.find(command);
  return it == commands_.end() ? nullptr : it->second;
}

void CMainFrame::SetCommandsEnabled(bool enabled) {
  menuBar()->setEnabled(enabled);
  for (auto& [command, action] : commands_) action->setEnabled(enabled);
}

double CMainFrame::RefreshRate() const {
  const QScreen* shownOn = screen();
  return shownOn ? shownOn->refreshRate() : 0.0;
}

void CMainFrame::SetView(WindowHandle view) {
  if (QWidget* widget = WidgetOf(view)) setCentralWidget(widget);
  ShowWindow(view, true);
}

void CMainFrame::ReleaseView() {
  if (centralWidget()) takeCentralWidget();
}

void CMainFrame::ShowDocumentTitle(const std::string& title) {
  setWindowTitle(QString::fromStdString(title) + " - " + kAppTitle);
}

void CMainFrame::ShowRecentFiles(const std::vector<std::string>& files) {
  for (QAction* action : recentActions_) {
    // Later: the list changes from inside one of its own actions.
    fileMenu_->removeAction(action);
    action->deleteLater();
  }
  recentActions_.clear();
  recentPlaceholder_->setVisible(files.empty());
  for (size_t index = 0; index < files.size(); ++index) {
    auto* action = new QAction(RecentFileText(index, files[index]), fileMenu_);
    fileMenu_->insertAction(recentPlaceholder_, action);
    connect(action, &QAction::triggered, this, [this, index] { app_.OpenRecentFile(index); });
    recentActions_.push_back(action);
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  app_.OnFrameClosing();
  event->accept();
}

}  // namespace vx::viewer
