#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/scene/SceneInputStream.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

std::vector<std::string> Words(CSceneInputStream& stream, size_t maxLength = 255) {
  std::vector<std::string> words;
  std::string word;
  while (stream.ReadWord(word, maxLength)) words.push_back(word);
  return words;
}

const test::TemporaryFolder& Folder() {
  static const test::TemporaryFolder folder("vx-scene-stream-");
  return folder;
}

std::string WriteFile(const std::string& name, const std::string& text) { return Folder().Write(name, text); }

TEST(SceneInputStream, BracketsAndQuotesAreWordsOfTheirOwn) {
  auto stream = CSceneInputStream::FromText("Group{children[Shape{}]}");
  EXPECT_EQ(Words(stream), (std::vector<std::string>{"Group", "{", "children", "[", "Shape", "{", "}", "]", "}"}));
  auto quoted = CSceneInputStream::FromText("info\"a\"");
  EXPECT_EQ(Words(quoted), (std::vector<std::string>{"info", "\"", "a", "\""}));
}

TEST(SceneInputStream, CommasAndCommentsSeparateLikeWhiteSpaceAndTheEndMarkEndsTheText) {
  auto stream = CSceneInputStream::FromText(std::string_view("a,b # c { d\n,e#f\r g\0h #EOF i", 28));
  EXPECT_EQ(Words(stream), (std::vector<std::string>{"a", "b", "e", "g", "h"}));
  auto mark = CSceneInputStream::FromText("#EOFx\ny #EOF,z");
  EXPECT_EQ(Words(mark), (std::vector<std::string>{"y"})) << "\"#EOFx\" is a comment";
  auto header = CSceneInputStream::FromText("#VRML V2.0 utf8 # made by hand");
  std::string word;
  ASSERT_TRUE(header.ReadRawWord(word, 15));
  EXPECT_EQ(word, "#VRML") << "the header is read as it stands";
}

TEST(SceneInputStream, AFileReadWithoutLoadingSplitsTheSameWay) {
  CSceneInputStream stream(WriteFile("unpadded.wrl", "Group{children[Shape{}]}"), "r");
  ASSERT_TRUE(stream.IsOpen());
  EXPECT_FALSE(stream.IsInMemory());
  EXPECT_EQ(Words(stream), (std::vector<std::string>{"Group", "{", "children", "[", "Shape", "{", "}", "]", "}"}));
}

TEST(SceneInputStream, LoadingReadsTheWholeFileAndFoldersDoNotOpen) {
  const std::string text(70000, 'x');
  CSceneInputStream stream(WriteFile("large.wrl", text), "r");
  stream.LoadIntoMemory();
  EXPECT_TRUE(stream.IsInMemory());
  EXPECT_EQ(stream.Data().size(), text.size());

  // Megabytes of text, with every byte value, come back byte for byte.
  std::string huge(3 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < huge.size(); ++i) huge[i] = static_cast<char>((i * 131) >> 3);
  CSceneInputStream big(WriteFile("huge.wrl", huge), "r");
  big.LoadIntoMemory();
  EXPECT_TRUE(big.Data() == huge);
  auto copied = CSceneInputStream::FromText(huge);
  EXPECT_TRUE(copied.Data() == huge);

  CSceneInputStream folder(Folder().Path(), "r");
  EXPECT_FALSE(folder.IsOpen());
  folder.LoadIntoMemory();  // nothing to read, and no endless loop
  EXPECT_EQ(folder.GetChar(), -1);

  CSceneInputStream missing(Folder().Path() + "/no such file.wrl", "r");
  EXPECT_FALSE(missing.IsOpen());
}

TEST(SceneInputStream, NumbersAndWordsReadTheSameFromAFileAndFromMemory) {
  const std::string text = "12 -0x1F +7 3.5e2 word{ -.25 0x7fffffffff 99999999999 ";
  CSceneInputStream file(WriteFile("numbers.wrl", text), "r");
  auto memory = CSceneInputStream::FromText(text);
  for (CSceneInputStream* stream : {&file, &memory}) {
    int32_t i = 0;
    float f = 0;
    std::string word;
    ASSERT_TRUE(stream->ReadInt32(i));
    EXPECT_EQ(i, 12);
    ASSERT_TRUE(stream->ReadInt32(i));
    EXPECT_EQ(i, -31);
    ASSERT_TRUE(stream->ReadInt32(i));
    EXPECT_EQ(i, 7);
    ASSERT_TRUE(stream->ReadFloat(f));
    EXPECT_EQ(f, 350.0f);
    EXPECT_FALSE(stream->ReadFloat(f)) << "a word is no number, and stays to be read";
    ASSERT_TRUE(stream->ReadWord(word, 255));
    EXPECT_EQ(word, "word");
    ASSERT_TRUE(stream->ReadWord(word, 255));
    EXPECT_EQ(word, "{");
    ASSERT_TRUE(stream->ReadFloat(f));
    EXPECT_EQ(f, -0.25f);
    ASSERT_TRUE(stream->ReadInt32(i));
    EXPECT_EQ(i, -1) << "hexadecimal keeps its low 32 bits";
    ASSERT_TRUE(stream->ReadInt32(i));
    EXPECT_EQ(i, INT32_MAX) << "decimal saturates";
    EXPECT_FALSE(stream->ReadInt32(i));
  }
}

TEST(SceneInputStream, WordsLongerThanTheWidthContinueAsTheNextWord) {
  auto stream = CSceneInputStream::FromText(std::string(70, 'a'));
  std::string word;
  ASSERT_TRUE(stream.ReadWord(word, 63));
  EXPECT_EQ(word.size(), 63u);
  ASSERT_TRUE(stream.ReadWord(word, 63));
  EXPECT_EQ(word.size(), 7u);
  EXPECT_FALSE(stream.ReadWord(word, 63));
  EXPECT_EQ(stream.GetChar(), -1);
  EXPECT_EQ(stream.GetChar(), -1);
}

TEST(SceneInputStream, NumbersStopAtTheirRunAndFailWithoutMoving) {
  auto stream = CSceneInputStream::FromText(" 1.5e3, 2E2 +7 -3 x 255 0xFF ");
  float f = 0;
  ASSERT_TRUE(stream.ReadFloat(f));
  EXPECT_EQ(f, 1500.0f);
  char c = 0;
  ASSERT_TRUE(stream.ReadFloat(f));
  EXPECT_EQ(f, 200.0f) << "an upper-case exponent belongs to the number";
  int32_t i = 0;
  ASSERT_TRUE(stream.ReadInt32(i));
  EXPECT_EQ(i, 7);
  ASSERT_TRUE(stream.ReadInt32(i));
  EXPECT_EQ(i, -3);
  EXPECT_FALSE(stream.ReadInt32(i));
  ASSERT_TRUE(stream.ReadChar(c));
  EXPECT_EQ(c, 'x') << "a failed read stops after the white space";
  uint32_t pixel = 0;
  ASSERT_TRUE(stream.ReadPixel(pixel));
  EXPECT_EQ(pixel, 255u) << "pixels are decimal unless written with 0x";
  ASSERT_TRUE(stream.ReadPixel(pixel));
  EXPECT_EQ(pixel, 0xFFu);
  ASSERT_TRUE(stream.ReadChar(c));
  EXPECT_EQ(c, ' ') << "%c does not skip white space";

  auto huge = CSceneInputStream::FromText("99999999999 -99999999999 1e999");
  ASSERT_TRUE(huge.ReadInt32(i));
  EXPECT_EQ(i, INT32_MAX);
  ASSERT_TRUE(huge.ReadInt32(i));
  EXPECT_EQ(i, INT32_MIN);
  ASSERT_TRUE(huge.ReadFloat(f));
  EXPECT_TRUE(std::isinf(f));
}

TEST(SceneInputStream, NumbersIgnoreTheLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
  auto stream = CSceneInputStream::FromText("1.25 2,5");
  float a = 0, b = 0;
  const bool read = stream.ReadFloat(a) && stream.ReadFloat(b);
  std::setlocale(LC_ALL, previous.c_str());
  ASSERT_TRUE(read);
  EXPECT_EQ(a, 1.25f);
  EXPECT_EQ(b, 2.0f);
}

}  // namespace
}  // namespace vx
