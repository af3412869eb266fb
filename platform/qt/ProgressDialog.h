// The progress window: a text, a bar from 0 to 100 and a stop button, kept
// on top at its screen position. Stop, Escape and the close button all ask
// to stop; the layer closes the window once its stop command is dispatched.
#pragma once

#include <QDialog>
#include <functional>

#include "platform/Dialogs.h"

class QLabel;
class QProgressBar;

namespace vx {

class ProgressDialog final : public QDialog {
 public:
  ProgressDialog(const ProgressDesc& desc, QWidget* owner, std::function<void()> onStop);

  void Show(std::string_view text, int position);

 private:
  QLabel* text_;
  QProgressBar* bar_;
};

}  // namespace vx
