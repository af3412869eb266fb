#include "viewer/ViewerDialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/qt/ModalDialog.h"
#include "viewer/ViewerResources.h"

namespace vx::viewer {

void ShowError(WindowHandle owner, const std::string& text) {
  ShowMessageBox({owner, text, kErrorCaption, MessageBoxButtons::kOk, MessageBoxIcon::kWarning});
}

std::string ErrorAbout(const std::string& subject, const std::string& reason) { return subject + "\n\n" + reason; }

void ShowAboutDialog(QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle(kAboutTitle);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(kAboutText, &dialog));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  ExecModal(dialog);
}

std::optional<std::string> AskForUrl(QWidget* parent, const std::string& proposed) {
  QDialog dialog(parent);
  dialog.setWindowTitle(kLoadUrlTitle);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(kLoadUrlLabel, &dialog));
  auto* location = new QLineEdit(QString::fromStdString(proposed), &dialog);
  location->setMinimumWidth(400);
  location->setSelection(0, std::min<int>(kLoadUrlSelection, static_cast<int>(location->text().size())));
  layout->addWidget(location);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (ExecModal(dialog) != QDialog::Accepted) return std::nullopt;
  return location->text().trimmed().toStdString();
}

}  // namespace vx::viewer
