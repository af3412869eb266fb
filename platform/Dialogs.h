// What needs the user: message boxes, the progress window, file choice and
// files dropped onto a window.
//
// Each service asks the current backend (Backend.h). The headless backend
// answers from a script that tests set up, and records every request
// (HeadlessBackend.h); the Qt backend shows real dialogs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/PlatformExport.h"
#include "platform/Window.h"

namespace vx {

// ---- Message boxes ---------------------------------------------------------

// The default beep (a failed window class registration, a failed lookup).
VX_PLATFORM_API void Beep();

enum class MessageBoxButtons { kOk, kYesNo };
enum class MessageBoxIcon { kNone, kQuestion, kWarning };
// kClosed: the box was closed without choosing (the window's close button).
enum class MessageBoxAnswer { kOk, kYes, kNo, kClosed };

struct MessageBoxRequest {
  WindowHandle owner = WindowHandle::None;  // the window it stands over (None: the desktop)
  std::string text;
  std::string caption;  // the title, e.g. "Query", "Notify", "Error!"
  MessageBoxButtons buttons = MessageBoxButtons::kOk;
  MessageBoxIcon icon = MessageBoxIcon::kNone;
};

// Shows a modal message box and returns the answer. An answer that the
// buttons do not offer (a backend's mistake, a wrong test script) comes back
// as kClosed.
VX_PLATFORM_API MessageBoxAnswer ShowMessageBox(const MessageBoxRequest& request);

// ---- File choice -----------------------------------------------------------

struct FileFilter {
  std::string label;    // "Vantessel Files (*.tsw)"
  std::string pattern;  // "*.tsw" (several separated by ';')
  friend bool operator==(const FileFilter&, const FileFilter&) = default;
};

// Splits a filter text of label|pattern pairs ending in "||" (the form the
// hosts' resources hold, e.g. "VRML 2.0 Files (*.wrl)|*.wrl|All Files
// (*.*)|*.*||"). A label without a pattern is dropped.
VX_PLATFORM_API std::vector<FileFilter> ParseFileFilters(std::string_view text);

enum class FileDialogKind { kOpen, kSave };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::kOpen;
  WindowHandle owner = WindowHandle::None;
  std::vector<FileFilter> filters;
  int selectedFilter = 0;
  std::string defaultExtension;  // added to a typed name without one, e.g. "tsw"
  std::string fileName;          // proposed name, e.g. "MyVRML.tsw"
  bool promptToOverwrite = false;
  bool promptToCreate = false;
  bool hideReadOnly = false;
};

// The chosen path (folder and file name), or nothing when cancelled.
VX_PLATFORM_API std::optional<std::string> ChooseFile(const FileDialogRequest& request);

// ---- Progress window -------------------------------------------------------

inline constexpr uint32_t kProgressStopCommand = 2;  // kMsgCommand id of the Stop button

struct ProgressDesc {
  WindowHandle owner = WindowHandle::None;  // None: no parent
  std::string title = "Progress";
  std::string text;
  std::string stopLabel = "Stop";
  int x = 200;  // screen position of its top-left corner; it stays on top
  int y = 200;
};

// A modeless progress window with a bar from 0 to 100 and a stop button. It
// is a window of this layer: pressing the button posts kMsgCommand with
// kProgressStopCommand to it, and once that message has been dispatched
// StopPressed() is true and the window is gone. So a loop that dispatches its
// pending messages and then asks StopPressed() sees the press. Destroying the
// object closes the window.
class VX_PLATFORM_API ProgressWindow {
 public:
  ProgressWindow() = default;
  ~ProgressWindow();
  ProgressWindow(const ProgressWindow&) = delete;
  ProgressWindow& operator=(const ProgressWindow&) = delete;

  // Opens the window; false when it is open already or cannot be made.
  [[nodiscard]] bool Open(const ProgressDesc& desc);
  void Close();
  bool IsOpen() const;

  void SetText(std::string_view text);
  // The bar's position, limited to 0..100.
  void SetPosition(int position);
  int Position() const { return position_; }
  const std::string& Text() const { return text_; }
  bool StopPressed() const { return stopPressed_; }
  WindowHandle Window() const { return window_; }

 private:
  static intptr_t Procedure(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

  WindowHandle window_ = WindowHandle::None;
  std::string text_;
  int position_ = 0;
  bool stopPressed_ = false;
};

// ---- Dropped files ---------------------------------------------------------

enum class DropHandle : uint32_t { None = 0 };

// Lets files be dropped onto the window (off: drops are refused). A drop
// posts kMsgDropFiles with wParam = the DropHandle; the receiver reads the
// paths and then finishes the drop, which frees it. Drops not finished when
// their window is destroyed are freed with it.
VX_PLATFORM_API bool AcceptDroppedFiles(WindowHandle window, bool accept);
VX_PLATFORM_API bool AcceptsDroppedFiles(WindowHandle window);
VX_PLATFORM_API int DroppedFileCount(DropHandle drop);
// The path of dropped file `index`; empty when there is none.
VX_PLATFORM_API std::string DroppedFile(DropHandle drop, int index);
// The client point where the files were dropped.
VX_PLATFORM_API Point DropPoint(DropHandle drop);
VX_PLATFORM_API void FinishDrop(DropHandle drop);

}  // namespace vx
