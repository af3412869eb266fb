#include "host/ProgressWindow.h"

#include <gtest/gtest.h>

#include "platform/HeadlessBackend.h"
#include "tests/host/DialogScript.h"

namespace vx::host {
namespace {

TEST(MessageBoxes, QueryIsYesOnlyForYes) {
  test::DialogScript dialogs;
  Headless().ScriptMessageBoxAnswers({MessageBoxAnswer::kYes, MessageBoxAnswer::kNo, MessageBoxAnswer::kClosed});
  EXPECT_EQ(CProgressWindow::Query("Go on?"), kQueryYes);
  EXPECT_EQ(CProgressWindow::Query("Go on?"), kQueryNo);
  EXPECT_EQ(CProgressWindow::Query("Go on?"), kQueryNo);
  EXPECT_EQ(CProgressWindow::Notify("Careful."), 1);

  const auto& boxes = Headless().MessageBoxes();
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0].request.buttons, MessageBoxButtons::kYesNo);
  EXPECT_EQ(boxes[0].request.icon, MessageBoxIcon::kQuestion);
  EXPECT_EQ(boxes[3].request.caption, "Notify");
  EXPECT_EQ(boxes[3].request.buttons, MessageBoxButtons::kOk);
  EXPECT_EQ(boxes[3].request.icon, MessageBoxIcon::kWarning);
}

TEST(ProgressWindow, BarFollowsTheFractionAndStopCancels) {
  test::DialogScript dialogs;
  CProgressWindow progress;
  progress.Create("Downloading the Vantessel Component Package: Vantessel2_3.so.gz");
  ASSERT_EQ(Headless().ProgressWindows().size(), 1u);
  const ProgressRecord& shown = Headless().ProgressWindows()[0];
  EXPECT_EQ(shown.desc.stopLabel, "Stop");
  EXPECT_EQ(shown.desc.x, 200);

  progress.SetProgress(0.456f);
  EXPECT_EQ(progress.PumpMessages(), 0);
  EXPECT_EQ(Headless().ProgressWindows()[0].position, 45);
  progress.SetProgress(1.37f);
  EXPECT_EQ(progress.PumpMessages(), 0);
  EXPECT_EQ(Headless().ProgressWindows()[0].position, 100);

  ASSERT_TRUE(Headless().PressProgressStop());
  progress.PumpMessages();  // delivers the press
  EXPECT_EQ(progress.PumpMessages(), 1);
  EXPECT_EQ(progress.PumpMessages(), 1);
}

TEST(ProgressWindow, ThePluginsWindowHasACancelButton) {
  test::DialogScript dialogs;
  CProgressWindow progress;
  progress.Create("x", HostKind::Plugin);
  ASSERT_EQ(Headless().ProgressWindows().size(), 1u);
  EXPECT_EQ(Headless().ProgressWindows()[0].desc.stopLabel, "Cancel");
}

}  // namespace
}  // namespace vx::host
