#include "platform/qt/ModalDialog.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>

namespace vx {

int ExecModal(QDialog& dialog) {
  const QPointer<QWidget> active = QApplication::activeWindow();
  const int result = dialog.exec();
  if (active && active->isVisible() && !active->isActiveWindow()) active->activateWindow();
  return result;
}

}  // namespace vx
