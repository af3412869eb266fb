#include <gtest/gtest.h>

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include "QtTestSupport.h"
#include "platform/Dialogs.h"
#include "platform/InputState.h"

namespace vx::test {
namespace {

int TimerMessages() {
  return static_cast<int>(std::count_if(Log().begin(), Log().end(), [](const Received& r) { return r.id == kMsgTimer; }));
}

TEST_F(QtBackendTest, MessageBoxesAreAnsweredInQtAndHoldThePump) {
  WindowHandle window = windows_.Create(kWindowMessageOnly);
  ASSERT_EQ(SetTimer(window, 1, 1), 1u);
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  OnNextModal yes([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    text = box->text();
    title = box->windowTitle();
    icon = box->icon();
    QTimer::singleShot(30, box->button(QMessageBox::Yes), &QPushButton::click);
  });
  MessageBoxRequest query{window, "Download the engine?", "Query", MessageBoxButtons::kYesNo, MessageBoxIcon::kQuestion};
  EXPECT_EQ(ShowMessageBox(query), MessageBoxAnswer::kYes);
  EXPECT_EQ(text, "Download the engine?");
  EXPECT_EQ(title, "Query");
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_EQ(TimerMessages(), 0) << "the layer's timers wait while the box is open";

  OnNextModal close([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(ShowMessageBox(query), MessageBoxAnswer::kNo) << "closing a Query says No";

  Qt::TextFormat format = Qt::AutoText;
  OnNextModal ok([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    format = box->textFormat();
    box->button(QMessageBox::Ok)->click();
  });
  MessageBoxRequest notify{window, "Unknown node type '<b>'.", "Notify", MessageBoxButtons::kOk, MessageBoxIcon::kWarning};
  EXPECT_EQ(ShowMessageBox(notify), MessageBoxAnswer::kOk);
  EXPECT_EQ(format, Qt::PlainText);
  KillTimer(window, 1);
}

TEST_F(QtBackendTest, AfterABoxTheWindowThatWasActiveTakesTheKeysAgain) {
  WindowHandle window = CreateShown(0, 0, 200, 100);
  QWidget* widget = backend_.Widget(window);
  SetFocus(window);
  ASSERT_TRUE(RunQtUntil([&] { return widget->isActiveWindow(); }));
  OnNextModal ok([](QWidget* modal) { qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Ok)->click(); });
  ShowMessageBox({window, "Unknown node type 'Bux'.", "Error!", MessageBoxButtons::kOk, MessageBoxIcon::kWarning});
  EXPECT_TRUE(RunQtUntil([&] { return widget->isActiveWindow() && QApplication::focusWidget() == widget; }));
  EXPECT_EQ(GetFocus(), window);
}

// Types the name into the dialog's name field, as a user does. selectFile
// would leave the field alone once it has the focus, which it takes at a
// moment of its own, and would find a file only once the folder is read.
void TypeFileName(QFileDialog* dialog, const QString& path) {
  auto* nameField = dialog->findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(nameField, nullptr);
  nameField->setText(path);
}

TEST_F(QtBackendTest, FileDialogsOfferTheFiltersAndReturnTheChoice) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  QString world = folder.filePath("world.wrl");
  QFile file(world);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();

  FileDialogRequest open;
  open.filters = ParseFileFilters(
      "Vantessel Files (*.tsw)|*.tsw;*.wrl|VRML 2.0 Files (*.wrl)|*.wrl|All Files (*.*)|*.*||");
  open.selectedFilter = 1;
  open.defaultExtension = "tsw";
  QStringList filters;
  QString selected;
  OnNextModal choose([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters();
    selected = dialog->selectedNameFilter();
    TypeFileName(dialog, world);
    static_cast<QDialog*>(dialog)->accept();  // as the OK button does
  });
  EXPECT_EQ(ChooseFile(open), world.toStdString());
  EXPECT_EQ(filters, QStringList({"Vantessel Files (*.tsw *.wrl)", "VRML 2.0 Files (*.wrl)", "All Files (*)"}));
  EXPECT_EQ(selected, "VRML 2.0 Files (*.wrl)");

  FileDialogRequest save;
  save.kind = FileDialogKind::kSave;
  save.filters = ParseFileFilters("Vantessel World Files (*.tsw)|*.tsw||");
  save.defaultExtension = ".tsw";
  save.fileName = "MyVRML.tsw";
  OnNextModal name([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    TypeFileName(dialog, folder.filePath("saved"));
    static_cast<QDialog*>(dialog)->accept();  // as the OK button does
  });
  EXPECT_EQ(ChooseFile(save), folder.filePath("saved.tsw").toStdString()) << "the default extension is added";

  OnNextModal cancel([](QWidget* modal) { qobject_cast<QFileDialog*>(modal)->reject(); });
  EXPECT_FALSE(ChooseFile(save));
}

TEST_F(QtBackendTest, TheStopButtonAnswersWhileTheProgramPumpsByHand) {
  ProgressWindow progress;
  ASSERT_TRUE(progress.Open({WindowHandle::None, "Progress", "Downloading the Vantessel Component Package"}));
  QPointer<QWidget> dialog;
  for (QWidget* widget : QApplication::topLevelWidgets())
    if (widget->isVisible() && widget->findChild<QProgressBar*>()) dialog = widget;
  ASSERT_TRUE(dialog);
  EXPECT_EQ(dialog->windowTitle(), "Progress");
  EXPECT_EQ(dialog->pos(), QPoint(200, 200));
  auto* bar = dialog->findChild<QProgressBar*>();
  auto* text = dialog->findChild<QLabel*>();
  auto* stop = dialog->findChild<QPushButton*>();
  EXPECT_EQ(text->text(), "Downloading the Vantessel Component Package");
  EXPECT_EQ(stop->text(), "Stop");

  progress.SetPosition(137);
  progress.SetText("Half way");
  EXPECT_EQ(bar->value(), 100);
  EXPECT_EQ(text->text(), "Half way");

  // The click waits in Qt's queue; no Qt loop runs, only the program's own
  // pumping of the layer, as in a blocking download.
  QMetaObject::invokeMethod(stop, &QPushButton::click, Qt::QueuedConnection);
  for (int pass = 0; pass < 100 && !progress.StopPressed(); ++pass) DispatchPendingMessages();
  EXPECT_TRUE(progress.StopPressed());
  EXPECT_FALSE(progress.IsOpen());
  EXPECT_TRUE(dialog.isNull());
}

}  // namespace
}  // namespace vx::test
