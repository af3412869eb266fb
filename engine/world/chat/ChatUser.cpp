#include "engine/world/chat/ChatUser.h"

#include <charconv>

namespace vx {
namespace {

void AppendFixed(std::string& out, float value) {
  char text[64];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
  out.append(text, result.ec == std::errc() ? result.ptr : text);
}

template <typename T>
T NumberOf(std::string_view text) {
  T value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() ? value : T{};
}

}  // namespace

std::string_view CommaField(std::string_view text) { return text.substr(0, text.find(',')); }

std::vector<std::string_view> CommaFields(std::string_view text, size_t count) {
  std::vector<std::string_view> fields{CommaField(text)};
  while (fields.size() < count && fields.back().size() < text.size()) {
    text.remove_prefix(fields.back().size() + 1);
    fields.push_back(CommaField(text));
  }
  return fields;
}

std::string BoundedChatText(std::string_view text) { return std::string(text.substr(0, kMaxChatTextLength)); }

std::string CChatUser::FormatPosition() const {
  std::string record = avatarText1;
  record += ',';
  record += std::to_string(avatarId);
  for (const float value : position) {
    record += ',';
    AppendFixed(record, value);
  }
  for (const float value : orientation) {
    record += ',';
    AppendFixed(record, value);
  }
  return record;
}

void CChatUser::ParsePosition(std::string_view text) {
  float* const numbers[] = {&position[0], &position[1], &position[2],
                            &orientation[0], &orientation[1], &orientation[2]};
  const std::vector<std::string_view> fields = CommaFields(text, 8);
  avatarText1 = BoundedChatText(fields[0]);
  if (fields.size() > 1) avatarId = NumberOf<int32_t>(fields[1]);
  for (size_t i = 2; i < fields.size(); ++i) *numbers[i - 2] = NumberOf<float>(fields[i]);
}

}  // namespace vx
