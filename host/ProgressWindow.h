// The host runtime's progress window and its two message boxes.
//
// Every question and warning of the host runtime reaches the user through
// Query (a yes/no box captioned "Query") and Notify (a warning box captioned
// "Notify"); component downloads show a progress window with a Stop button.
// All three are the platform layer's dialogs.
#pragma once

#include <cstdint>
#include <string>

#include "host/HostKind.h"
#include "platform/Dialogs.h"

namespace vx::host {

// Answers of Query.
inline constexpr int32_t kQueryNo = 1;
inline constexpr int32_t kQueryYes = 2;

class CProgressWindow {
 public:
  // Shows the window with this text, its bar empty: the viewer's window has
  // a "Stop" button, the plug-in's a "Cancel" button.
  void Create(const std::string& text, HostKind kind = HostKind::Viewer);

  // Stores the fraction done (0..1) for the next PumpMessages.
  void SetProgress(float fraction);

  // 1 at once when Stop was pressed. Otherwise dispatches the pending window
  // messages, moves the bar to the fraction (full at 1 and above), returns 0.
  int32_t PumpMessages();

  // kQueryYes when the user answers Yes; kQueryNo for No or a closed box.
  static int32_t Query(const std::string& text);
  // Always 1.
  static int32_t Notify(const std::string& text);

 private:
  ProgressWindow window_;
  float fraction_ = 0.0f;
  bool cancelled_ = false;
};

}  // namespace vx::host
