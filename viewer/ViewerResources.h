// The viewer's resources: command numbers, texts, sizes and the options it
// gives the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "vantessel/Engine.h"

namespace vx::viewer {

// Command numbers of the menu items and accelerators.
enum Command : int {
  kCommandLoadUrl = 32771,
  kCommandUpdateComponents = 32772,
  kCommandReload = 32773,
  kCommandSaveAs = 32774,
  kCommandMessages = 32775,
  kCommandNew = 57600,
  kCommandOpen = 57601,
  kCommandAbout = 57664,
  kCommandExit = 57665,
};

inline constexpr char kAppTitle[] = "Vantessel Viewer";
inline constexpr char kUntitled[] = "Untitled";
inline constexpr char kReadyText[] = "Ready";

// The frame's size before it is first shown.
inline constexpr int kFrameWidth = 412;
inline constexpr int kFrameHeight = 350;

// The recent-file list: its length and where its entries are kept.
inline constexpr size_t kRecentFileCount = 4;
inline constexpr char kSettingsFileName[] = "Vantessel Viewer.conf";
inline constexpr char kRecentFileGroup[] = "Recent File List";

// The engine is driven by this timer of the view window, once a frame: no
// faster than the screen shows frames (this rate where it does not say).
// While the view has nothing to draw the timer waits for its next due frame,
// and input to the view wakes it; at rest it still ticks this often, so
// that a controller's commands and chat lines are taken in.
inline constexpr uintptr_t kTickTimerId = 1;
inline constexpr double kDefaultRefreshHz = 60.0;
inline constexpr uint32_t kRestingTickMs = 100;
// Each poll moves at most one network buffer a transfer, so while downloads
// run they are polled this often between frames as well.
inline constexpr uintptr_t kDownloadTimerId = 2;
inline constexpr uint32_t kDownloadPollMs = 1;

// The view makes its own palette and captures the mouse between press and
// release.
inline constexpr ViewFlags kViewFlags = ViewFlagOwnPalette | ViewFlagCaptureMouse;

// File dialogs.
inline constexpr char kOpenFilter[] = "Vantessel Files (*.tsw)|*.tsw|VRML 2.0 Files (*.wrl)|*.wrl|All Files (*.*)|*.*||";
inline constexpr char kOpenDefaultExtension[] = "tsw";
inline constexpr char kSaveFilter[] =
    "Vantessel World Files (*.tsw)|*.tsw|VRML Files (*.wrl)|*.wrl|All Files (*.*)|*.*||";
// What Save As proposes for a world whose name says nothing of its kind.
inline constexpr char kSaveDefaultName[] = "MyVRML.tsw";
// Each kind of world the save filter offers: its filter's place and the
// extension a typed name without one is given. The first stands for
// every other name.
struct SaveKind {
  int filter;
  const char* extension;
};
inline constexpr SaveKind kSaveKinds[] = {{0, "tsw"}, {1, "wrl"}};
inline constexpr std::string_view kGzipSuffix = ".gz";
// Where a world to be gzip-compressed is written first, beside the chosen
// file.
inline constexpr char kGzipStagingSuffix[] = ".saving";
// The writer's flag for a saved scene.
inline constexpr uint16_t kSaveFlag = 1;

// Message boxes.
inline constexpr char kErrorCaption[] = "Error!";
inline constexpr char kDownloadFailedText[] = "Couldn't download requested file!";
// Under it, why.
inline constexpr char kNoAnswerText[] = "The server did not answer.";
inline constexpr char kHttpStatusText[] = "HTTP status %d.";
inline constexpr char kIncompleteBodyText[] = "HTTP status 200, but the file did not arrive whole.";
inline constexpr char kCannotOpenText[] = "Error:  Could not open VRML file!!!";
inline constexpr char kSaveFailedText[] = "Could not save the scene as %s.";
inline constexpr char kUpdateUnloadsQuery[] =
    "Updating your components requires the current scene(s) to be unloaded.  Do you wish to continue?";
inline constexpr char kUpdateFailedText[] = "The Vantessel Viewer could not successfully update your components.";

// The world's notes: the status line's count and View > Messages.
inline constexpr char kMessagesTitle[] = "Messages";
inline constexpr char kNoMessagesText[] = "The world has noted nothing.";
inline constexpr char kMoreMessagesText[] = "... and %u more.";
inline constexpr char kWarningsButtonName[] = "warnings";

// Dialogs.
inline constexpr char kAboutTitle[] = "About Vantessel Viewer";
inline constexpr char kAboutText[] = "Vantessel Viewer v2.0";
inline constexpr char kLoadUrlTitle[] = "Load URL";
inline constexpr char kLoadUrlLabel[] = "Open Location:";
inline constexpr char kLoadUrlStatusTip[] = "Load a remote Vantessel file.";
// The Load URL box selects this many characters of its proposed URL.
inline constexpr int kLoadUrlSelection = 128;

}  // namespace vx::viewer
