// The host runtime's progress window and its two message boxes.
//
// Every question and warning of the host runtime reaches the user through
// Query (a yes/no box captioned "Query") and Notify (a warning box captioned
// "Notify"); blocking downloads show a progress window with a Stop button.
#pragma once

#include <cstdint>
#include <string>

namespace vx::host {

// Answers of Query.
inline constexpr int32_t kQueryNo = 1;
inline constexpr int32_t kQueryYes = 2;

class CProgressWindow {
 public:
  CProgressWindow() = default;
  ~CProgressWindow();
  CProgressWindow(const CProgressWindow&) = delete;
  CProgressWindow& operator=(const CProgressWindow&) = delete;

  // Shows the window with this text, its bar empty.
  void Create(const std::string& text);

  // Stores the fraction done (0..1) for the next PumpMessages.
  void SetProgress(float fraction);

  // 1 at once when Stop was pressed. Otherwise dispatches the pending window
  // messages, moves the bar to the fraction (full at 1 and above), returns 0.
  int32_t PumpMessages();

  bool Cancelled() const { return cancelled_; }

  // kQueryYes when the user answers Yes; kQueryNo for No or a closed box.
  static int32_t Query(const std::string& text);
  // Always 1.
  static int32_t Notify(const std::string& text);

 private:
  float fraction_ = 0.0f;
  bool fractionSet_ = false;
  bool cancelled_ = false;
};

}  // namespace vx::host
