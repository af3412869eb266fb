// The host's message boxes in a test: answers scripted through the headless
// backend, and the texts shown read back by caption.
#pragma once

#include <string>
#include <vector>

#include "platform/HeadlessBackend.h"

namespace vx::test {

class DialogScript {
 public:
  DialogScript() { Headless().Reset(); }
  ~DialogScript() { Headless().Reset(); }
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  // Every following "Query" box is answered Yes (or No).
  void AnswerQueries(bool yes) { answerYes_ = yes; Refill(); }

  std::vector<std::string> Queries() const { return Texts("Query"); }
  std::vector<std::string> Notices() const { return Texts("Notify"); }

 private:
  void Refill() {
    Headless().ScriptMessageBoxAnswers(
        std::vector<MessageBoxAnswer>(kScriptLength, answerYes_ ? MessageBoxAnswer::kYes : MessageBoxAnswer::kNo));
  }

  static std::vector<std::string> Texts(const std::string& caption) {
    std::vector<std::string> texts;
    for (const MessageBoxRecord& box : Headless().MessageBoxes())
      if (box.request.caption == caption) texts.push_back(box.request.text);
    return texts;
  }

  static constexpr size_t kScriptLength = 16;
  bool answerYes_ = false;
};

}  // namespace vx::test
