#include "host/ProgressWindow.h"

#include <gtest/gtest.h>

#include "platform/HeadlessBackend.h"
#include "platform/InputState.h"
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
  EXPECT_EQ(dialogs.Queries().size(), 3u);
  EXPECT_EQ(dialogs.Notices(), std::vector<std::string>{"Careful."});
}

intptr_t PlainWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProc(window, message, wParam, lParam);
}

TEST(MessageBoxes, StandOverTheFocusWindow) {
  test::DialogScript dialogs;
  ASSERT_TRUE(RegisterWindowClass({"HostDialogOwner", &PlainWindowProc}));
  WindowDesc desc;
  desc.className = "HostDialogOwner";
  desc.style = kWindowVisible;
  WindowHandle window = CreateWindow(desc);
  SetFocus(window);
  CProgressWindow::Notify("Careful.");
  ASSERT_EQ(Headless().MessageBoxes().size(), 1u);
  EXPECT_EQ(Headless().MessageBoxes()[0].request.owner, window);
  DestroyWindow(window);
  UnregisterWindowClass("HostDialogOwner");
}

TEST(ProgressWindow, BarFollowsTheFractionAndStopCancels) {
  test::DialogScript dialogs;
  CProgressWindow progress;
  progress.Create("Downloading the Vantessel Component Package: Vantessel2_3.so.gz");
  ASSERT_EQ(Headless().ProgressWindows().size(), 1u);

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

}  // namespace
}  // namespace vx::host
