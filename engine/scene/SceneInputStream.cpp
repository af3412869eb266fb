#include "engine/scene/SceneInputStream.h"

#include <sys/mman.h>
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
// Texts from this size on are mapped: a multi-megabyte world then costs a
// few huge-page faults instead of one fault per 4 KiB page.
constexpr size_t kMappedTextSize = 1024 * 1024;
constexpr size_t kHugePageSize = 2 * 1024 * 1024;

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsSeparator(int c) { return IsSpace(c) || c == ','; }
// Brackets and quotes never join a word.
bool IsWordOfItsOwn(int c) { return c == '{' || c == '}' || c == '[' || c == ']' || c == '"'; }
constexpr std::string_view kEndMark = "#EOF";
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

void CSceneInputStream::TextRelease::operator()(char* text) const {
  if (mappedBytes > 0) {
    munmap(text, mappedBytes);
  } else {
    delete[] text;
  }
}

CSceneInputStream::TextBlock CSceneInputStream::AllocateText(size_t capacity) {
  if (capacity >= kMappedTextSize) {
    const size_t mapped = (capacity + kHugePageSize - 1) / kHugePageSize * kHugePageSize;
    void* pages = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages != MAP_FAILED) {
      (void)madvise(pages, mapped, MADV_HUGEPAGE);
      return TextBlock(static_cast<char*>(pages), TextRelease{mapped});
    }
  }
  return TextBlock(new char[capacity], TextRelease{0});
}

CSceneInputStream CSceneInputStream::FromText(std::string_view text) {
  CSceneInputStream stream;
  stream.fileMode_ = false;
  stream.text_ = AllocateText(text.size());
  std::memcpy(stream.text_.get(), text.data(), text.size());
  stream.size_ = text.size();
  return stream;
}

CSceneInputStream::CSceneInputStream(CSceneInputStream&& other) noexcept
    : fileMode_(other.fileMode_),
      file_(std::exchange(other.file_, nullptr)),
      text_(std::move(other.text_)),
      size_(std::exchange(other.size_, 0)),
      position_(other.position_) {}

CSceneInputStream::~CSceneInputStream() { Close(); }

bool CSceneInputStream::IsOpen() const { return fileMode_ ? file_ != nullptr : true; }

// One allocation of the file's size and one read in the common case; the
// buffer is not zeroed first, as every byte kept is read into. A file that
// grew since it was measured still comes whole: the buffer then doubles.
void CSceneInputStream::LoadIntoMemory() {
  if (!fileMode_) return;
  TextBlock text;
  size_t length = 0;
  if (file_) {
    struct stat info {};
    const long at = std::ftell(file_);
    size_t capacity = fstat(fileno(file_), &info) == 0 && info.st_size > 0 && at >= 0 && info.st_size > at
                          ? static_cast<size_t>(info.st_size - at) + 1
                          : kReadBlock;
    text = AllocateText(capacity);
    for (;;) {
      const size_t got = std::fread(text.get() + length, 1, capacity - length, file_);
      length += got;
      if (length < capacity) break;  // the end, or a read error: keep what came
      TextBlock larger = AllocateText(capacity * 2);
      std::memcpy(larger.get(), text.get(), length);
      text = std::move(larger);
      capacity *= 2;
    }
  }
  Close();
  fileMode_ = false;
  text_ = std::move(text);
  size_ = length;
  position_ = 0;
}

void CSceneInputStream::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  if (!fileMode_) {
    text_.reset();
    size_ = 0;
    position_ = 0;
  }
}

int CSceneInputStream::Peek() {
  if (!fileMode_) return position_ < size_ ? static_cast<unsigned char>(text_[position_]) : -1;
  if (!file_) return -1;
  int c = std::getc(file_);
  if (c != EOF) std::ungetc(c, file_);
  return c == EOF ? -1 : c;
}

void CSceneInputStream::Advance() {
  if (!fileMode_) {
    if (position_ < size_) ++position_;
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
    position_ = std::min(position, size_);
  } else if (file_ && position <= static_cast<size_t>(LONG_MAX)) {
    std::fseek(file_, static_cast<long>(position), SEEK_SET);
  }
}

size_t CSceneInputStream::Remaining() const { return fileMode_ ? 0 : size_ - position_; }

size_t CSceneInputStream::Read(void* destination, size_t size, size_t count) {
  if (fileMode_) return file_ ? std::fread(destination, size, count, file_) : 0;
  if (size == 0 || count > Remaining() / size) return 0;
  std::memcpy(destination, text_.get() + position_, size * count);
  position_ += size * count;
  return count;
}

bool CSceneInputStream::AtEndMark() {
  const size_t start = Tell();
  char mark[5] = {};
  const size_t got = Read(mark, 1, 4);
  const int after = Peek();
  Seek(start);
  return got == 4 && std::string_view(mark, 4) == kEndMark && (after <= 0 || IsSeparator(after));
}

void CSceneInputStream::SkipSeparators() {
  if (!fileMode_) {
    SkipSeparatorsInMemory();
    return;
  }
  for (int c = Peek(); c >= 0; c = Peek()) {
    if (c == '#') {
      if (AtEndMark()) return;
      while (c >= 0 && c != '\n' && c != '\r') {
        Advance();
        c = Peek();
      }
    } else if (c == 0 || IsSeparator(c)) {
      Advance();
    } else {
      return;
    }
  }
}

// The same walk as in file mode, straight over the text.
void CSceneInputStream::SkipSeparatorsInMemory() {
  const char* text = text_.get();
  while (position_ < size_) {
    const int c = static_cast<unsigned char>(text[position_]);
    if (c == '#') {
      if (AtEndMark()) return;
      while (position_ < size_ && text[position_] != '\n' && text[position_] != '\r') ++position_;
    } else if (c == 0 || IsSeparator(c)) {
      ++position_;
    } else {
      return;
    }
  }
}

bool CSceneInputStream::ReadWord(std::string& out, size_t maxLength) {
  SkipSeparators();
  out.clear();
  if (AtEndMark()) return false;
  int c = Peek();
  if (c > 0 && IsWordOfItsOwn(c)) {
    out.push_back(static_cast<char>(c));
    Advance();
    return maxLength > 0;
  }
  auto inWord = [](int c) { return c > 0 && !IsSeparator(c) && !IsWordOfItsOwn(c) && c != '#'; };
  if (!fileMode_) {
    const size_t start = position_;
    while (position_ < size_ && position_ - start < maxLength && inWord(static_cast<unsigned char>(text_[position_])))
      ++position_;
    out.assign(text_.get() + start, position_ - start);
    return !out.empty();
  }
  for (; inWord(c) && out.size() < maxLength; c = Peek()) {
    out.push_back(static_cast<char>(c));
    Advance();
  }
  return !out.empty();
}

bool CSceneInputStream::ReadRawWord(std::string& out, size_t maxLength) {
  for (int c = Peek(); c == 0 || IsSpace(c); c = Peek()) Advance();
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

// In memory the run is a view of the text itself; in file mode it is copied.
template <typename Accept>
std::string_view CSceneInputStream::ReadRun(Accept accept) {
  if (!fileMode_) {
    const size_t start = position_;
    while (position_ < size_ && accept(static_cast<unsigned char>(text_[position_]))) ++position_;
    return {text_.get() + start, position_ - start};
  }
  run_.clear();
  for (int c = Peek(); c >= 0 && accept(c); c = Peek()) {
    run_.push_back(static_cast<char>(c));
    Advance();
  }
  return run_;
}

bool CSceneInputStream::ReadDouble(double& out) {
  SkipSeparators();
  const size_t start = Tell();
  const std::string_view whole =
      ReadRun([](int c) { return IsDigit(c) || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E'; });
  if (whole.empty()) return false;
  std::string_view run = WithoutPlus(whole);
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

bool CSceneInputStream::ReadInteger(long long& out, bool& hexadecimal) {
  SkipSeparators();
  const size_t start = Tell();
  const std::string_view whole =
      ReadRun([](int c) { return IsHexDigit(c) || c == 'x' || c == 'X' || c == '+' || c == '-'; });
  if (whole.empty()) return false;
  std::string_view run = WithoutPlus(whole);
  const bool negative = run.starts_with('-');
  std::string_view digits = negative ? run.substr(1) : run;
  hexadecimal = digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  if (hexadecimal) digits.remove_prefix(2);
  unsigned long long magnitude = 0;
  auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, hexadecimal ? 16 : 10);
  if (end == digits.data() || (error != std::errc() && error != std::errc::result_out_of_range)) {
    Seek(start);
    return false;
  }
  // The number ends where its digits do; what follows is the next token.
  Seek(start + static_cast<size_t>(end - whole.data()));
  if (error == std::errc::result_out_of_range) magnitude = ULLONG_MAX;
  const unsigned long long limit = hexadecimal ? 0xFFFFFFFFull : static_cast<unsigned long long>(LLONG_MAX);
  magnitude = std::min(magnitude, limit);
  out = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  return true;
}

bool CSceneInputStream::ReadInt32(int32_t& out) {
  long long value = 0;
  bool hexadecimal = false;
  if (!ReadInteger(value, hexadecimal)) return false;
  // Hexadecimal gives the 32 bits as written ("0xFFFFFFFF" is -1).
  out = hexadecimal ? static_cast<int32_t>(static_cast<uint32_t>(value))
                    : static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
  return true;
}

bool CSceneInputStream::ReadPixel(uint32_t& out) {
  long long value = 0;
  bool hexadecimal = false;
  if (!ReadInteger(value, hexadecimal)) return false;
  out = static_cast<uint32_t>(value);
  return true;
}

}  // namespace vx
