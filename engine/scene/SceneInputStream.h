// The characters and tokens that the scene reader, the field value parser and
// the PROTO readers read.
//
// A stream opens a file; LoadIntoMemory pulls the whole file into a buffer
// and closes it, and PadBrackets puts blanks round braces and square brackets
// so that every bracket is a word of its own for the token readers, which
// split only at white space. Parsing always runs from memory; the token
// readers also work on an open file (slowly), so a stream can be read
// without loading it.
//
// Token readers skip white space (NUL bytes count as white space), read one
// token and return false, leaving the position after the white space, when
// the token does not fit. Numbers are read without regard to the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vx {

// Where a character of scene text lies: in the statements, inside a string
// (or just after a backslash there), or in a comment. Only brackets in the
// statements count: a string's text stays as written, and in a comment a
// quote does not start a string.
enum class TextPlace { Statement, String, StringEscape, Comment };

// The place of the character that follows c, when c lies at place.
TextPlace PlaceAfter(TextPlace place, char c);

class CSceneInputStream {
 public:
  // Opens a regular file for reading; IsOpen tells whether that worked (a
  // folder or a missing file does not open).
  CSceneInputStream(const std::string& path, const char* mode);
  // A stream in memory over a copy of the text.
  static CSceneInputStream FromText(std::string_view text);
  ~CSceneInputStream();
  CSceneInputStream(CSceneInputStream&& other) noexcept;
  CSceneInputStream& operator=(CSceneInputStream&&) = delete;

  bool IsOpen() const;
  bool IsInMemory() const { return !fileMode_; }
  // File mode only: reads the whole file into memory and closes the file.
  void LoadIntoMemory();
  // Memory mode only: a blank before and after every '{', '}', '[' and ']'
  // (but the first byte) that is not already between white space.
  void PadBrackets();
  void Close();

  // The next byte as 0-255, or -1 at the end.
  int GetChar();
  size_t Tell() const;
  void Seek(size_t position);
  // Copies size x count bytes when that many remain; the number of items read.
  size_t Read(void* destination, size_t size, size_t count);
  // Bytes from the position to the end (memory mode; 0 in file mode).
  size_t Remaining() const;
  // The data in memory, for tests.
  std::string_view Data() const { return {buffer_.data(), buffer_.size()}; }

  // A word of at most maxLength characters; the rest of a longer word is the
  // next word.
  bool ReadWord(std::string& out, size_t maxLength);
  // The next byte, white space included.
  bool ReadChar(char& out);
  // A run of digits, '.', '+', '-', 'e' and 'E'.
  bool ReadFloat(float& out);
  bool ReadDouble(double& out);
  // A run of digits, '+' and '-'; values beyond 32 bits are clamped.
  bool ReadInt32(int32_t& out);
  // Hexadecimal digits with or without "0x" ("255" reads as 0x255); the low
  // 32 bits are kept.
  bool ReadHex(uint32_t& out);

 private:
  CSceneInputStream() = default;
  int Peek();
  void Advance();
  void SkipSpace();
  // Reads the run of characters accepted by accept at the position into run_
  // (false when empty).
  template <typename Accept>
  bool ReadRun(Accept accept);

  bool fileMode_ = true;
  std::FILE* file_ = nullptr;
  std::vector<char> buffer_;
  size_t position_ = 0;
  std::string run_;
};

}  // namespace vx
