// The headless backend: windows are memory surfaces, nothing is shown.
//
// It is the backend until another is installed. Tests reach it through
// Headless() to read what the layer did: the last frame presented into each
// window (as 32-bit xRGB pixels, or written as a PNG file for a person to look
// at), every message box, file dialog and progress window, beeps; and to set
// up the pretend display and the answers of the dialogs.
//
// Dialog answers come from scripts, used in order; when a script runs out, a
// message box answers No (yes/no boxes) or OK, and a file dialog is
// cancelled, so nothing a test did not ask for happens.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Backend.h"
#include "platform/PlatformExport.h"

namespace vx {

// A copy of a window's surface as it was presented.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // xRGB, rows of `width` pixels, top row first

  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

struct MessageBoxRecord {
  MessageBoxRequest request;
  MessageBoxAnswer answer;
};

struct FileDialogRecord {
  FileDialogRequest request;
  std::optional<std::string> answer;
};

struct ProgressRecord {
  WindowHandle dialog = WindowHandle::None;
  ProgressDesc desc;
  std::string text;  // as last shown
  int position = 0;
  bool open = true;
};

class VX_PLATFORM_API HeadlessBackend final : public Backend {
 public:
  void WindowCreated(WindowHandle window, const WindowDesc& desc) override;
  void WindowDestroyed(WindowHandle window) override;
  void WindowShown(WindowHandle window, bool visible) override;
  void WindowMoved(WindowHandle window, const Rect& screenRect) override;
  void WindowTextChanged(WindowHandle window, const std::string& text) override;
  void Present(WindowHandle window, const FrameView& surface, const Rect& changed) override;
  int ScreenDepth() const override { return screenDepth_; }
  bool Screen565() const override { return screen565_; }
  void Beep() override;
  void ShowCursorShape(CursorHandle cursor) override { shownCursor_ = cursor; }
  void WarpPointer(Point) override {}
  void FocusChanged(WindowHandle) override {}
  void CaptureChanged(WindowHandle) override {}
  MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request) override;
  std::optional<std::string> ChooseFile(const FileDialogRequest& request) override;
  void ProgressOpened(WindowHandle dialog, const ProgressDesc& desc) override;
  void ProgressChanged(WindowHandle dialog, std::string_view text, int position) override;
  void ProgressClosed(WindowHandle dialog) override;

  // Answers for the next message boxes and file dialogs (appended to what is
  // left of the script; nothing in a file answer means Cancel).
  void ScriptMessageBoxAnswers(const std::vector<MessageBoxAnswer>& answers);
  void ScriptFileChoices(const std::vector<std::optional<std::string>>& answers);
  const std::vector<MessageBoxRecord>& MessageBoxes() const { return messageBoxes_; }
  const std::vector<FileDialogRecord>& FileDialogs() const { return fileDialogs_; }

  // Every progress window opened since the last Reset, in order.
  const std::vector<ProgressRecord>& ProgressWindows() const { return progress_; }
  // Presses the stop button of the progress window opened last that is still
  // open (posts its stop command); false when none is open.
  bool PressProgressStop();

  // The pretend display: 32 bits per pixel until set otherwise.
  void SetScreenDepth(int bitsPerPixel, bool is565 = false);

  // A copy of the last frame presented into the window, if any (kept after
  // the window is destroyed, until Reset). Presenting copies nothing: the
  // copy is made here.
  std::optional<Frame> LastFrame(WindowHandle window) const;
  // How many times something was presented into the window.
  int PresentCount(WindowHandle window) const;
  // Writes the last frame of the window as a PNG file; false when there is
  // none or the file cannot be written.
  [[nodiscard]] bool WriteLastFrameAsPng(WindowHandle window, const std::string& path) const;

  // The cursor shape last shown (None before any).
  CursorHandle ShownCursor() const { return shownCursor_; }

  int BeepCount() const { return beeps_; }
  // Forgets everything recorded and restores the 32-bit display.
  void Reset();

 private:
  struct Presented {
    FrameView surface;
    int count = 0;
  };
  ProgressRecord* FindProgress(WindowHandle dialog);

  std::map<WindowHandle, Presented> presented_;
  std::deque<MessageBoxAnswer> messageBoxScript_;
  std::deque<std::optional<std::string>> fileScript_;
  std::vector<MessageBoxRecord> messageBoxes_;
  std::vector<FileDialogRecord> fileDialogs_;
  std::vector<ProgressRecord> progress_;
  int screenDepth_ = 32;
  bool screen565_ = false;
  CursorHandle shownCursor_ = CursorHandle::None;
  int beeps_ = 0;
};

// The process's headless backend (whether or not it is the current one).
VX_PLATFORM_API HeadlessBackend& Headless();

}  // namespace vx
