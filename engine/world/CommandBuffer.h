// Text received from a controller of the command link, cut into request
// frames: "RBOM", the body, "REOM". White space after "RBOM" and before
// "REOM" is not part of the body, and text before "RBOM" is ignored.
//
// The buffer holds at most kCommandBufferSize characters. A controller must
// not be able to jam it, so what can never become part of a frame is dropped:
// text before the first "RBOM" (but for what may begin one), and a frame
// start that fills the whole buffer without its "REOM".
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vx {

class CommandBuffer {
 public:
  CommandBuffer();

  std::string_view Text() const { return text_; }
  size_t Room() const;
  // Appends what fits; the count taken.
  size_t Append(std::string_view bytes);
  void Clear() { text_.clear(); }

  // The body of the first complete frame, which leaves the buffer together
  // with everything before it; nullopt while no frame is complete.
  std::optional<std::string> TakeFrame();

  // Drops what can never become part of a frame; afterwards there is room.
  void DropJunk();

 private:
  std::string text_;
};

// The reply frame for a command's result: "RBOM", the result, "REOM" and
// "\r\n". A result too long for the buffer is cut so that the frame fits it;
// one holding "REOM", a CR or a LF, which would make the controller read the
// reply as another, is answered "Error: Value Not Representable".
std::string FrameReply(std::string_view result);

}  // namespace vx
