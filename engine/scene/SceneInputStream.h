// The characters and tokens that the scene reader, the field value parser and
// the PROTO readers read.
//
// A stream opens a file, and LoadIntoMemory pulls the whole file into a
// buffer and closes it. Parsing always runs from memory; the token readers
// also work on an open file (slowly), so a stream can be read without
// loading it.
//
// The token readers are the one place that knows what separates tokens.
// They skip separators: white space (NUL bytes included), commas, and
// comments from '#' to the end of the line. The end mark "#EOF" ends the
// text for them. A word ends at a separator, a comment, a bracket ('{', '}',
// '[', ']') or a quote; a bracket or a quote where a word starts is a word of
// its own. Strings are read character by character (ReadChar), so nothing
// inside them is ever taken for a token. A token reader reads one token and
// returns false, leaving the position after the separators, when the token
// does not fit. Numbers are read without regard to the locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

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
  std::string_view Data() const { return {text_.get(), size_}; }

  // Moves past separators to the next token (or the end, or the end mark).
  void SkipSeparators();
  // A word of at most maxLength characters; the rest of a longer word is the
  // next word.
  bool ReadWord(std::string& out, size_t maxLength);
  // A run of characters up to white space, comments and commas included
  // (the header line).
  bool ReadRawWord(std::string& out, size_t maxLength);
  // The next byte, white space included.
  bool ReadChar(char& out);
  // A run of digits, '.', '+', '-', 'e' and 'E'.
  bool ReadFloat(float& out);
  bool ReadDouble(double& out);
  // A decimal integer (values beyond 32 bits are clamped) or a hexadecimal
  // one after "0x" (its low 32 bits), either with a sign.
  bool ReadInt32(int32_t& out);
  // An SFImage pixel: decimal, or hexadecimal after "0x"; the low 32 bits.
  bool ReadPixel(uint32_t& out);

 private:
  CSceneInputStream() = default;
  int Peek();
  void Advance();
  // At "#EOF" followed by a separator or the end.
  bool AtEndMark();
  // A signed decimal or "0x" hexadecimal integer, as wide as it was written
  // up to 64 bits; hexadecimal tells which it was.
  bool ReadInteger(long long& out, bool& hexadecimal);
  void SkipSeparatorsInMemory();
  // Reads the run of characters accepted by accept at the position (empty
  // when there is none); the view lasts until the next read.
  template <typename Accept>
  std::string_view ReadRun(Accept accept);

  bool fileMode_ = true;
  std::FILE* file_ = nullptr;
  // Large texts get pages of their own (huge pages where the system gives
  // them), small ones come from the heap.
  struct TextRelease {
    size_t mappedBytes;
    void operator()(char* text) const;
  };
  using TextBlock = std::unique_ptr<char[], TextRelease>;
  static TextBlock AllocateText(size_t capacity);

  TextBlock text_;
  size_t size_ = 0;
  size_t position_ = 0;
  std::string run_;
};

}  // namespace vx
