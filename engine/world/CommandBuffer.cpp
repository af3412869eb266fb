#include "engine/world/CommandBuffer.h"

#include <algorithm>

#include "engine/world/WorldLimits.h"

namespace vx {
namespace {

constexpr std::string_view kFrameStart = "RBOM";
constexpr std::string_view kFrameEnd = "REOM";
constexpr std::string_view kReplyEnd = "REOM\r\n";
constexpr std::string_view kWhiteSpace = " \t\r\n\f\v";
constexpr std::string_view kNotRepresentable = "Error: Value Not Representable";

// A start marker may arrive split over two reads: the longest end of the text
// that begins it.
size_t MarkerStartAtEnd(std::string_view text) {
  for (size_t length = std::min(text.size(), kFrameStart.size() - 1); length > 0; --length) {
    if (kFrameStart.starts_with(text.substr(text.size() - length))) return length;
  }
  return 0;
}

// A result that a controller would read as something else: the end marker
// would end the reply early, a line break would end it for a reader of lines.
bool IsRepresentable(std::string_view result) {
  return result.find(kFrameEnd) == std::string_view::npos && result.find_first_of("\r\n") == std::string_view::npos;
}

std::string_view TrimWhiteSpace(std::string_view text) {
  const size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kWhiteSpace) - first + 1);
}

}  // namespace

CommandBuffer::CommandBuffer() { text_.reserve(kCommandBufferSize); }

size_t CommandBuffer::Room() const { return kCommandBufferSize - text_.size(); }

size_t CommandBuffer::Append(std::string_view bytes) {
  const size_t count = std::min(bytes.size(), Room());
  text_.append(bytes.substr(0, count));
  return count;
}

std::optional<std::string> CommandBuffer::TakeFrame() {
  const size_t start = text_.find(kFrameStart);
  if (start == std::string::npos) return std::nullopt;
  const size_t bodyStart = start + kFrameStart.size();
  const size_t end = text_.find(kFrameEnd, bodyStart);
  if (end == std::string::npos) return std::nullopt;
  std::string body(TrimWhiteSpace(std::string_view(text_).substr(bodyStart, end - bodyStart)));
  text_.erase(0, end + kFrameEnd.size());
  return body;
}

void CommandBuffer::DropJunk() {
  size_t keepFrom = text_.find(kFrameStart);
  if (keepFrom == std::string::npos) keepFrom = text_.size() - MarkerStartAtEnd(text_);
  text_.erase(0, keepFrom);
  // A frame start that fills the buffer without its end can never be
  // completed; complete frames that wait for their turn stay.
  if (text_.size() == kCommandBufferSize && text_.find(kFrameEnd, kFrameStart.size()) == std::string::npos)
    text_.erase(0, text_.size() - MarkerStartAtEnd(text_));
}

std::string FrameReply(std::string_view result) {
  const size_t room = kCommandBufferSize - kFrameStart.size() - kReplyEnd.size();
  std::string reply(kFrameStart);
  reply.append(IsRepresentable(result) ? result.substr(0, room) : kNotRepresentable);
  reply.append(kReplyEnd);
  return reply;
}

}  // namespace vx
