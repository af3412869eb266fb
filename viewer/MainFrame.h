// CMainFrame: the viewer's main window, with its menu, accelerators and
// status line, around the view.
//
// Every menu item and accelerator is a QAction carrying its command number;
// triggering one hands the number to the application, which routes it to
// the application, the document or the view.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/Window.h"

class QAction;
class QMenu;
class QPushButton;

namespace vx::viewer {

class CViewerApp;

class CMainFrame final : public QMainWindow {
 public:
  explicit CMainFrame(CViewerApp& app);

  // The view window's widget fills the frame below the menu.
  void SetView(WindowHandle view);
  // Gives the view's widget back before the view goes.
  void ReleaseView();

  // The title bar shows "<document title> - Vantessel Viewer".
  void ShowDocumentTitle(const std::string& title);
  // The recent-file entries of the File menu.
  void ShowRecentFiles(const std::vector<std::string>& files);

  // While off, no command can be given (a component update is running).
  void SetCommandsEnabled(bool enabled);

  // The status line's count of the world's notes; nothing while there are
  // none. A click on it lists them.
  void ShowWarningCount(uint32_t count);

  // Frames a second of the screen the frame is on; 0 when it does not say.
  double RefreshRate() const;

  // The action of a command number; null when there is none.
  QAction* CommandAction(int command) const;
  const std::vector<QAction*>& RecentFileActions() const { return recentActions_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QAction* AddCommand(QWidget* owner, int command, const QString& text, const QList<QKeySequence>& keys);
  void BuildMenus();

  CViewerApp& app_;
  QMenu* fileMenu_ = nullptr;
  QPushButton* warnings_ = nullptr;
  uint32_t warningCount_ = 0;
  QAction* recentPlaceholder_ = nullptr;
  std::vector<QAction*> recentActions_;
  std::map<int, QAction*> commands_;
};

}  // namespace vx::viewer
