#include "engine/scene/SceneInputStream.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <limits>
#include <utility>

#include "platform/Numbers.h"

namespace vx {
namespace {

constexpr size_t kReadBlock = 64 * 1024;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsBracket(char c) { return c == '{' || c == '}' || c == '[' || c == ']'; }
bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(int c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A leading '+' is accepted as scanf accepts it.
std::string_view WithoutPlus(std::string_view run) {
  if (run.size() > 1 && run[0] == '+' && run[1] != '-' && run[1] != '+') run.remove_prefix(1);
  return run;
}

}  // namespace

TextPlace PlaceAfter(TextPlace place, char c) {
  switch (place) {
    case TextPlace::Statement: return c == '"' ? TextPlace::String : c == '#' ? TextPlace::Comment : place;
    case TextPlace::String: return c == '\\' ? TextPlace::StringEscape : c == '"' ? TextPlace::Statement : place;
    case TextPlace::StringEscape: return TextPlace::String;
    case TextPlace::Comment: return c == '\n' || c == '\r' ? TextPlace::Statement : place;
  }
  return place;
}

CSceneInputStream::CSceneInputStream(const std::string& path, const char* mode) {
  file_ = std::fopen(path.c_str(), mode);
  struct stat info {};
  if (file_ && (fstat(fileno(file_), &info) != 0 || !S_ISREG(info.st_mode))) Close();
}

CSceneInputStream CSceneInputStream::FromText(std::string_view text) {
  CSceneInputStream stream;
  stream.fileMode_ = false;
  stream.buffer_.assign(text.begin(), text.end());
  return stream;
}

CSceneInputStream::CSceneInputStream(CSceneInputStream&& other) noexcept
    : fileMode_(other.fileMode_),
      file_(std::exchange(other.file_, nullptr)),
      buffer_(std::move(other.buffer_)),
      position_(other.position_) {}

CSceneInputStream::~CSceneInputStream() { Close(); }

bool CSceneInputStream::IsOpen() const { return fileMode_ ? file_ != nullptr : true; }

void CSceneInputStream::LoadIntoMemory() {
  if (!fileMode_) return;
  buffer_.clear();
  if (file_) {
    size_t length = 0;
    for (;;) {
      buffer_.resize(length + kReadBlock);
      size_t got = std::fread(buffer_.data() + length, 1, kReadBlock, file_);
      length += got;
      if (got < kReadBlock) break;  // the end, or a read error: keep what came
    }
    buffer_.resize(length);
  }
  Close();
  fileMode_ = false;
  position_ = 0;
}

void CSceneInputStream::PadBrackets() {
  if (fileMode_ || buffer_.size() < 2) return;
  std::vector<char> padded;
  padded.reserve(buffer_.size() + buffer_.size() / 8);
  padded.push_back(buffer_[0]);
  TextPlace place = PlaceAfter(TextPlace::Statement, buffer_[0]);
  for (size_t i = 1; i < buffer_.size(); ++i) {
    const char c = buffer_[i];
    const bool spaceBefore = IsSpace(static_cast<unsigned char>(padded.back()));
    const bool spaceAfter = i + 1 >= buffer_.size() || IsSpace(static_cast<unsigned char>(buffer_[i + 1]));
    const bool inStatement = place == TextPlace::Statement;
    place = PlaceAfter(place, c);
    if (inStatement && IsBracket(c) && !(spaceBefore && spaceAfter)) {
      padded.push_back(' ');
      padded.push_back(c);
      padded.push_back(' ');
    } else {
      padded.push_back(c);
    }
  }
  buffer_ = std::move(padded);
  position_ = std::min(position_, buffer_.size());
}

void CSceneInputStream::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!fileMode_) {
    buffer_.clear();
    buffer_.shrink_to_fit();
    position_ = 0;
  }
}

int CSceneInputStream::Peek() {
  if (!fileMode_) return position_ < buffer_.size() ? static_cast<unsigned char>(buffer_[position_]) : -1;
  if (!file_) return -1;
  int c = std::getc(file_);
  if (c != EOF) std::ungetc(c, file_);
  return c == EOF ? -1 : c;
}

void CSceneInputStream::Advance() {
  if (!fileMode_) {
    if (position_ < buffer_.size()) ++position_;
  } else if (file_) {
    std::getc(file_);
  }
}

int CSceneInputStream::GetChar() {
  int c = Peek();
  Advance();
  return c;
}

size_t CSceneInputStream::Tell() const {
  if (!fileMode_) return position_;
  long at = file_ ? std::ftell(file_) : 0;
  return at < 0 ? 0 : static_cast<size_t>(at);
}

void CSceneInputStream::Seek(size_t position) {
  if (!fileMode_) {
    position_ = std::min(position, buffer_.size());
  } else if (file_ && position <= static_cast<size_t>(LONG_MAX)) {
    std::fseek(file_, static_cast<long>(position), SEEK_SET);
  }
}

size_t CSceneInputStream::Remaining() const { return fileMode_ ? 0 : buffer_.size() - position_; }

size_t CSceneInputStream::Read(void* destination, size_t size, size_t count) {
  if (fileMode_) return file_ ? std::fread(destination, size, count, file_) : 0;
  if (size == 0 || count > Remaining() / size) return 0;
  std::memcpy(destination, buffer_.data() + position_, size * count);
  position_ += size * count;
  return count;
}

void CSceneInputStream::SkipSpace() {
  for (int c = Peek(); c == 0 || IsSpace(c); c = Peek()) Advance();
}

bool CSceneInputStream::ReadWord(std::string& out, size_t maxLength) {
  SkipSpace();
  out.clear();
  for (int c = Peek(); c > 0 && !IsSpace(c) && out.size() < maxLength; c = Peek()) {
    out.push_back(static_cast<char>(c));
    Advance();
  }
  return !out.empty();
}

bool CSceneInputStream::ReadChar(char& out) {
  int c = GetChar();
  if (c < 0) return false;
  out = static_cast<char>(c);
  return true;
}

template <typename Accept>
bool CSceneInputStream::ReadRun(Accept accept) {
  run_.clear();
  for (int c = Peek(); c >= 0 && accept(c); c = Peek()) {
    run_.push_back(static_cast<char>(c));
    Advance();
  }
  return !run_.empty();
}

bool CSceneInputStream::ReadDouble(double& out) {
  SkipSpace();
  const size_t start = Tell();
  if (!ReadRun([](int c) { return IsDigit(c) || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'; })) return false;
  std::string_view run = WithoutPlus(run_);
  double value = 0.0;
  auto [end, error] = std::from_chars(run.data(), run.data() + run.size(), value);
  if (end == run.data()) {
    Seek(start);
    return false;
  }
  // Beyond the range of a double: what the C library makes of it (an
  // infinity, or zero for an underflow).
  if (error == std::errc::result_out_of_range) value = ParseDoubleC(std::string(run).c_str(), nullptr);
  out = value;
  return true;
}

bool CSceneInputStream::ReadFloat(float& out) {
  double value = 0.0;
  if (!ReadDouble(value)) return false;
  constexpr double kMax = std::numeric_limits<float>::max();
  out = value > kMax ? std::numeric_limits<float>::infinity()
        : value < -kMax ? -std::numeric_limits<float>::infinity()
                        : static_cast<float>(value);
  return true;
}

bool CSceneInputStream::ReadInt32(int32_t& out) {
  SkipSpace();
  const size_t start = Tell();
  if (!ReadRun([](int c) { return IsDigit(c) || c == '+' || c == '-'; })) return false;
  std::string_view run = WithoutPlus(run_);
  long long value = 0;
  auto [end, error] = std::from_chars(run.data(), run.data() + run.size(), value);
  if (end == run.data() || (error != std::errc() && error != std::errc::result_out_of_range)) {
    Seek(start);
    return false;
  }
  if (error == std::errc::result_out_of_range) value = run[0] == '-' ? LLONG_MIN : LLONG_MAX;
  out = static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
  return true;
}

bool CSceneInputStream::ReadHex(uint32_t& out) {
  SkipSpace();
  const size_t start = Tell();
  if (!ReadRun([](int c) { return IsHexDigit(c) || c == 'x' || c == 'X'; })) return false;
  std::string_view run = run_;
  if (run.size() > 2 && run[0] == '0' && (run[1] == 'x' || run[1] == 'X')) run.remove_prefix(2);
  uint32_t value = 0;
  size_t digits = 0;
  for (char c : run) {
    if (!IsHexDigit(static_cast<unsigned char>(c))) break;
    const int digit = IsDigit(c) ? c - '0' : (c | 0x20) - 'a' + 10;
    value = (value << 4) | static_cast<uint32_t>(digit);
    ++digits;
  }
  if (digits == 0) {
    Seek(start);
    return false;
  }
  out = value;
  return true;
}

}  // namespace vx
