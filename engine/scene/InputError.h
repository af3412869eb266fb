// The one path of a read's input errors: the first step that fails raises
// its message where it stands, and every enclosing step that gives up after
// it keeps that innermost message instead of its own.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vx {

class CInputError {
 public:
  // Keeps the message and the place unless an error is already held; always
  // false, so that a failing step can return it.
  bool Raise(std::string_view message, size_t offset) {
    if (!raised_) {
      message_.assign(message);
      offset_ = offset;
      raised_ = true;
    }
    return false;
  }
  void Clear() {
    message_.clear();
    offset_ = 0;
    raised_ = false;
  }

  bool IsRaised() const { return raised_; }
  const std::string& GetMessage() const { return message_; }
  // Where in the text the error was raised, in bytes from its start.
  size_t GetOffset() const { return offset_; }

 private:
  std::string message_;
  size_t offset_ = 0;
  bool raised_ = false;
};

}  // namespace vx
