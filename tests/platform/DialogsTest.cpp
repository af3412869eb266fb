#include "platform/Dialogs.h"

#include <gtest/gtest.h>

#include "WindowTestSupport.h"
#include "platform/HeadlessBackend.h"
#include "platform/Input.h"

namespace vx {
namespace {

using test::Log;
using test::RecordingClass;

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override { Headless().Reset(); }
  void TearDown() override { Headless().Reset(); }
};

MessageBoxRequest Query(const char* text) {
  return {WindowHandle::None, text, "Query", MessageBoxButtons::kYesNo, MessageBoxIcon::kQuestion};
}

MessageBoxRequest Notify(const char* text) {
  return {WindowHandle::None, text, "Notify", MessageBoxButtons::kOk, MessageBoxIcon::kWarning};
}

TEST_F(Dialogs, MessageBoxesAnswerFromTheScriptAndAreAllRecorded) {
  Headless().ScriptMessageBoxAnswers({MessageBoxAnswer::kYes, MessageBoxAnswer::kClosed, MessageBoxAnswer::kYes});
  EXPECT_EQ(ShowMessageBox(Query("Download it?")), MessageBoxAnswer::kYes);
  EXPECT_EQ(ShowMessageBox(Query("Continue?")), MessageBoxAnswer::kClosed);
  EXPECT_EQ(ShowMessageBox(Notify("All Components are up to date.")), MessageBoxAnswer::kClosed)
      << "Yes is no answer to an OK box";
  EXPECT_EQ(ShowMessageBox(Query("Again?")), MessageBoxAnswer::kNo) << "an empty script says No";
  EXPECT_EQ(ShowMessageBox(Notify("Done.")), MessageBoxAnswer::kOk);

  const auto& boxes = Headless().MessageBoxes();
  ASSERT_EQ(boxes.size(), 5u);
  EXPECT_EQ(boxes[0].request.text, "Download it?");
  EXPECT_EQ(boxes[0].request.caption, "Query");
  EXPECT_EQ(boxes[2].request.text, "All Components are up to date.");
  EXPECT_EQ(boxes[2].request.icon, MessageBoxIcon::kWarning);
  EXPECT_EQ(boxes[3].answer, MessageBoxAnswer::kNo);
}

TEST_F(Dialogs, TheStopButtonIsSeenAfterItsMessageIsDispatched) {
  ProgressWindow progress;
  ASSERT_TRUE(progress.Open({WindowHandle::None, "Progress", "Downloading the Vantessel Component Package: a.gz"}));
  EXPECT_FALSE(progress.Open({})) << "already open";
  progress.SetPosition(137);
  EXPECT_EQ(progress.Position(), 100);
  progress.SetPosition(-3);
  EXPECT_EQ(progress.Position(), 0);
  progress.SetPosition(42);
  ASSERT_EQ(Headless().ProgressWindows().size(), 1u);
  const ProgressRecord& shown = Headless().ProgressWindows()[0];
  EXPECT_EQ(shown.position, 42);
  EXPECT_EQ(shown.text, "Downloading the Vantessel Component Package: a.gz");
  EXPECT_EQ(shown.desc.stopLabel, "Stop");
  EXPECT_EQ(shown.desc.x, 200);

  ASSERT_TRUE(Headless().PressProgressStop());
  EXPECT_FALSE(progress.StopPressed()) << "nothing happens before the message is dispatched";
  DispatchPendingMessages();
  EXPECT_TRUE(progress.StopPressed());
  EXPECT_FALSE(progress.IsOpen());
  EXPECT_FALSE(Headless().ProgressWindows()[0].open);
  EXPECT_FALSE(Headless().PressProgressStop());
}

TEST_F(Dialogs, FileFiltersAndScriptedChoices) {
  EXPECT_EQ(ParseFileFilters("Vantessel Files (*.tsw)|*.tsw|VRML 2.0 Files (*.wrl)|*.wrl|All Files (*.*)|*.*||"),
            (std::vector<FileFilter>{{"Vantessel Files (*.tsw)", "*.tsw"},
                                     {"VRML 2.0 Files (*.wrl)", "*.wrl"},
                                     {"All Files (*.*)", "*.*"}}));
  EXPECT_EQ(ParseFileFilters("A|*.a|B||"), (std::vector<FileFilter>{{"A", "*.a"}}));

  Headless().ScriptFileChoices({"/tmp/worlds/a.wrl"});
  FileDialogRequest save;
  save.kind = FileDialogKind::kSave;
  save.fileName = "MyVRML.tsw";
  EXPECT_EQ(ChooseFile(save), "/tmp/worlds/a.wrl");
  EXPECT_EQ(ChooseFile({}), std::nullopt) << "an empty script cancels";
  ASSERT_EQ(Headless().FileDialogs().size(), 2u);
  EXPECT_EQ(Headless().FileDialogs()[0].request.fileName, "MyVRML.tsw");
}

TEST_F(Dialogs, DroppedFilesReachOnlyWindowsThatAcceptThem) {
  RecordingClass recording;
  WindowHandle frame = recording.Create();
  EXPECT_FALSE(DeliverDroppedFiles(frame, {"/a.wrl"}, {5, 6}));
  ASSERT_TRUE(AcceptDroppedFiles(frame, true));
  ASSERT_TRUE(DeliverDroppedFiles(frame, {"/a.wrl", "/b.tsw"}, {5, 6}));
  Log().clear();
  DispatchPendingMessages();
  ASSERT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].id, kMsgDropFiles);
  auto drop = static_cast<DropHandle>(Log()[0].wParam);
  EXPECT_EQ(DroppedFileCount(drop), 2);
  EXPECT_EQ(DroppedFile(drop, 1), "/b.tsw");
  EXPECT_EQ(DroppedFile(drop, 2), "");
  EXPECT_EQ(DropPoint(drop), (Point{5, 6}));
  FinishDrop(drop);
  EXPECT_EQ(DroppedFileCount(drop), 0);

  ASSERT_TRUE(DeliverDroppedFiles(frame, {"/c.wrl"}, {}));
  Message message;
  ASSERT_TRUE(PeekMessage(message));
  DestroyWindow(frame);
  EXPECT_EQ(DroppedFileCount(static_cast<DropHandle>(message.wParam)), 0) << "freed with its window";
}

}  // namespace
}  // namespace vx
