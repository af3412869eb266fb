#include "engine/scene/PropertyText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/Random.h"
#include "tests/scene/AllFieldsNode.h"

namespace vx::test {
namespace {

std::string Text(const void* value, FieldType type) { return FieldValueToText(value, type).value_or("<none>"); }

// A value read from text, freed when the test ends.
struct ReadValue {
  ReadValue(const std::string& text, FieldType type, CBrowser* world = nullptr) : type(type) {
    static const NodeClassTable classes = [] {
      const NodeRegistration extra[] = {RegisterAllFieldsNode};
      return MakeNodeClassTable(extra);
    }();
    result = SetFieldValueFromText(text.c_str(), type, &block, world ? &world->GetScene() : nullptr, nullptr, classes);
  }
  ~ReadValue() { FreeValueBlock(type, block); }
  template <typename T>
  const T& As() const {
    return *static_cast<const T*>(block);
  }

  FieldType type;
  void* block = nullptr;
  int16_t result = -1;
};

TEST(PropertyText, WritesSingleValuesInTheirFormats) {
  const SFVec3f vec3{1, 2.5f, -3};
  const SFRotation rotation{0, 1, 0, 1.5708f};
  const int16_t on = 1;
  const double time = 2.0;
  const int32_t integer = -12;
  SFString text{};
  SetStringValue(text, "a, \"b\"");
  EXPECT_EQ(Text(&vec3, FieldTypeSFVec3f), "1.00,2.50,-3.00");
  EXPECT_EQ(Text(&vec3, FieldTypeSFColor), "1.00,2.50,-3.00");
  EXPECT_EQ(Text(&vec3, FieldTypeSFVec2f), "1.00,2.50");
  EXPECT_EQ(Text(&vec3.y, FieldTypeSFFloat), "2.500");
  EXPECT_EQ(Text(&rotation, FieldTypeSFRotation), "0.00,1.00,0.00,1.571");
  EXPECT_EQ(Text(&on, FieldTypeSFBool), "1");
  EXPECT_EQ(Text(&time, FieldTypeSFTime), "2.00");
  EXPECT_EQ(Text(&integer, FieldTypeSFInt32), "-12");
  EXPECT_EQ(Text(&text, FieldTypeSFString), "a, \"b\"");

  CNodeRef lamp = MakeNode<CAllFieldsNode>();
  lamp->SetDefName("Lamp");
  const CNodeRef empty;
  EXPECT_EQ(Text(&lamp, FieldTypeSFNode), "Lamp");
  EXPECT_EQ(Text(&empty, FieldTypeSFNode), "NULL");
  EXPECT_EQ(Text(&on, FieldTypeNone), "Error - Can't get that property");
  EXPECT_EQ(Text(&on, static_cast<FieldType>(15)), "<none>");
  EXPECT_EQ(Text(&on, static_cast<FieldType>(29)), "<none>");
}

TEST(PropertyText, WritesListsAfterTheirCount) {
  float floats[] = {0.5f, 1.0f};
  const MFFloat list{2, floats};
  const MFFloat empty{};
  SFColor colors[] = {{1, 0, 0}};
  CNodeRef nodes[] = {MakeNode<CAllFieldsNode>(), CNodeRef()};
  nodes[0]->SetDefName("Ball");
  EXPECT_EQ(Text(&list, FieldTypeMFFloat), "2,0.500,1.000");
  EXPECT_EQ(Text(&empty, FieldTypeMFFloat), "0");
  EXPECT_EQ(Text(&empty, FieldTypeMFNode), "0");
  const MFColor colorList{1, colors};
  EXPECT_EQ(Text(&colorList, FieldTypeMFColor), "1,1.00,0.00,0.00");
  const MFNode nodeList{2, nodes};
  EXPECT_EQ(Text(&nodeList, FieldTypeMFNode), "2,Ball,");
}

// A cut text still reads back as what it shows: whole elements after their
// count, or nothing for a single value.
TEST(PropertyText, CutsTextToTheCallersBufferBetweenWholeElements) {
  float floats[64];
  for (float& f : floats) f = 123456.0f;
  const MFFloat list{64, floats};
  char out[16];
  std::memset(out, 'x', sizeof out);
  EXPECT_FALSE(FieldValueToText(&list, FieldTypeMFFloat, out, sizeof out));
  EXPECT_STREQ(out, "1,123456.000");
  const MFFloat nine{9, floats};
  // ",123456.000" is 11 characters: ten elements after "10" need 112.
  char wide[128];
  EXPECT_FALSE(FieldValueToText(&list, FieldTypeMFFloat, wide, 111 + 1));
  EXPECT_EQ(std::string(wide).substr(0, 2), "9,") << "ten elements need a wider count";
  EXPECT_EQ(std::string(wide).size(), 100u);
  EXPECT_TRUE(FieldValueToText(&nine, FieldTypeMFFloat, wide, 100 + 1));
  EXPECT_FALSE(FieldValueToText(&list, FieldTypeMFFloat, out, 1));
  EXPECT_STREQ(out, "");
  const double time = 123456789.0;
  EXPECT_FALSE(FieldValueToText(&time, FieldTypeSFTime, out, 12));
  EXPECT_STREQ(out, "");
  const int32_t small = 7;
  EXPECT_TRUE(FieldValueToText(&small, FieldTypeSFInt32, out, sizeof out));
  EXPECT_STREQ(out, "7");
  EXPECT_TRUE(FieldValueToText(&small, static_cast<FieldType>(12), out, sizeof out));
  EXPECT_STREQ(out, "7") << "a code without text leaves the buffer as it was";
}

TEST(PropertyText, ReadsNumbersSeparatedByCommasOrBlanks) {
  ReadValue vec3("1, 2.5, -3", FieldTypeSFVec3f);
  ASSERT_EQ(vec3.result, kPropertyTextOk);
  EXPECT_EQ(vec3.As<SFVec3f>().x, 1.0f);
  EXPECT_EQ(vec3.As<SFVec3f>().y, 2.5f);
  EXPECT_EQ(vec3.As<SFVec3f>().z, -3.0f);

  ReadValue floats("2,0.5,1", FieldTypeMFFloat);
  ASSERT_EQ(floats.As<MFFloat>().count, 2);
  EXPECT_EQ(floats.As<MFFloat>()[0], 0.5f);
  EXPECT_EQ(floats.As<MFFloat>()[1], 1.0f);

  ReadValue blanks("3 7\t-2.5e1", FieldTypeSFVec3f);
  ASSERT_EQ(blanks.result, kPropertyTextOk);
  EXPECT_EQ(blanks.As<SFVec3f>().z, -25.0f);

  EXPECT_EQ(ReadValue("5", FieldTypeSFBool).As<int16_t>(), 1) << "booleans are numbers";
  EXPECT_EQ(ReadValue("99999999999", FieldTypeSFInt32).As<int32_t>(), INT32_MAX);
  EXPECT_EQ(ReadValue("0", FieldTypeMFVec2f).As<MFVec2f>().elements, nullptr);
}

TEST(PropertyText, ReadsStringsAndNodes) {
  const std::string longText(300, 'a');
  ReadValue string(longText, FieldTypeSFString);
  EXPECT_EQ(std::string(string.As<SFString>().text), longText.substr(0, 255));

  ReadValue strings("2,one,two", FieldTypeMFString);
  ASSERT_EQ(strings.As<MFString>().count, 2);
  EXPECT_STREQ(strings.As<MFString>()[1].text, "two");

  CBrowser world;
  CNodeRef lamp = MakeNode<CAllFieldsNode>();
  lamp->SetDefName("Lamp");
  AddTopLevel(world, lamp);
  ReadValue nodes("2,Lamp,Ball:AllFields", FieldTypeMFNode, &world);
  ASSERT_EQ(nodes.result, kPropertyTextOk);
  EXPECT_EQ(nodes.As<MFNode>()[0].GetNode(), lamp.GetNode());
  EXPECT_EQ(nodes.As<MFNode>()[1]->GetDefName(), "Ball");
  EXPECT_EQ(nodes.As<MFNode>()[1]->GetTypeName(), "AllFields");

  ReadValue missing("2,Nowhere,Lamp", FieldTypeMFNode, &world);
  EXPECT_EQ(missing.result, kPropertyTextNodeNotFound);
  ASSERT_NE(missing.block, nullptr) << "what was made so far stays";
  EXPECT_FALSE(missing.As<MFNode>()[1]);

  ReadValue node("AllFields", FieldTypeSFNode);
  EXPECT_EQ(node.As<CNodeRef>()->GetTypeName(), "AllFields");
  EXPECT_EQ(ReadValue("2 2 1 0x0", FieldTypeSFImage).block, nullptr);
}

// Every number word the engine writes reads back, the longest included.
TEST(PropertyText, ReadsBackNumbersOfEveryLengthItWrites) {
  for (const double time : {1e61, -1e61, 1e300, std::numeric_limits<double>::max(),
                            -std::numeric_limits<double>::max()}) {
    const std::string text = Text(&time, FieldTypeSFTime);
    ReadValue value(text, FieldTypeSFTime);
    ASSERT_EQ(value.result, kPropertyTextOk) << text.size();
    EXPECT_EQ(value.As<double>(), time);
    double times[] = {time, 1.0};
    const MFTime list{2, times};
    ReadValue listValue(Text(&list, FieldTypeMFTime), FieldTypeMFTime);
    ASSERT_EQ(listValue.result, kPropertyTextOk);
    EXPECT_EQ(listValue.As<MFTime>()[0], time);
  }
  const float largest = -std::numeric_limits<float>::max();
  ReadValue value(Text(&largest, FieldTypeSFFloat), FieldTypeSFFloat);
  ASSERT_EQ(value.result, kPropertyTextOk);
  EXPECT_EQ(value.As<float>(), largest);
}

// Text from the remote command link is hostile: nothing is allocated for an
// absurd count and nothing is written past a slot.
TEST(PropertyText, RefusesBadCountsWordsAndNumbers) {
  const std::string tooLongNumber(kMaxPropertyNumberLength + 1, '1');
  const std::string tooLongString(kMaxStringLength + 1, 's');
  const std::string tooLongName(kMaxDefNameLength + 1, 'n');
  const struct {
    std::string text;
    FieldType type;
  } refused[] = {
      {"-1,5", FieldTypeMFFloat},
      {"2147483647,1", FieldTypeMFString},
      {std::to_string(kMaxPropertyListCount + 1), FieldTypeMFInt32},
      {tooLongNumber, FieldTypeSFFloat},
      {"1," + tooLongNumber, FieldTypeMFTime},
      {"2,ok," + tooLongString, FieldTypeMFString},
      {"1," + tooLongName + ":AllFields", FieldTypeMFNode},
      {"nan", FieldTypeSFFloat},
      {"1,2,inf", FieldTypeSFVec3f},
      {"1e39", FieldTypeSFFloat},
      {"1e309", FieldTypeSFTime},
  };
  for (const auto& entry : refused) {
    ReadValue value(entry.text, entry.type);
    EXPECT_EQ(value.result, kPropertyTextRefused) << entry.text.substr(0, 40);
    EXPECT_EQ(value.block, nullptr);
  }
  std::string longest = std::to_string(kMaxPropertyListCount);
  for (int32_t i = 0; i < kMaxPropertyListCount; ++i) longest += ",7";
  EXPECT_EQ(ReadValue(longest, FieldTypeMFInt32).As<MFInt32>().count, kMaxPropertyListCount);
  EXPECT_EQ(ReadValue("1e38", FieldTypeSFFloat).As<float>(), 1e38f);
}

// A text that runs out, or a word that is not wholly a number, makes no value
// of any type: nothing is read as 0, nor an empty word as a node without a
// name.
TEST(PropertyText, AValueThatDoesNotParseMakesNoValueOfAnyType) {
  CBrowser world;
  CNodeRef lamp = MakeNode<CAllFieldsNode>();
  lamp->SetDefName("Lamp");
  AddTopLevel(world, lamp);
  AddTopLevel(world, MakeNode<CAllFieldsNode>());  // a node without a name
  const struct {
    FieldType type;
    std::vector<std::string> texts;
  } refused[] = {
      {FieldTypeSFBool, {"", "TRUE", "1x"}},
      {FieldTypeSFColor, {"", "1,0", "1,a,0"}},
      {FieldTypeSFFloat, {"", "abc", "0.5.5"}},
      {FieldTypeSFInt32, {"", "1.5", "0x10"}},
      {FieldTypeSFNode, {"", "NoSuchType"}},
      {FieldTypeSFRotation, {"0,1,0", "0,1,0,x"}},
      {FieldTypeSFTime, {"", "soon"}},
      {FieldTypeSFVec2f, {"1", "1,b"}},
      {FieldTypeSFVec3f, {"", "abc def ghi", "1,2", "1 ,2,3"}},
      {FieldTypeMFColor, {"2,1,0,0", "1,1,0,x"}},
      {FieldTypeMFFloat, {"", "x", "65536,1", "3,1,2", "2,1,abc"}},
      {FieldTypeMFInt32, {"2,1 ,2", "2,1,2.5"}},
      {FieldTypeMFNode, {"2,Lamp", "2,Lamp,"}},
      {FieldTypeMFRotation, {"1,0,1,0"}},
      {FieldTypeMFString, {"2,one", "1", "1,a,b", "1,\"a", "1,\"a\" b", "0,a"}},
      {FieldTypeMFTime, {"3,7"}},
      {FieldTypeMFVec2f, {"2,1,2,3"}},
      {FieldTypeMFVec3f, {"1,1,2"}},
  };
  for (const auto& entry : refused) {
    for (const std::string& text : entry.texts) {
      ReadValue value(text, entry.type, &world);
      EXPECT_NE(value.result, kPropertyTextOk) << entry.type << " \"" << text << '"';
      EXPECT_EQ(value.block, nullptr) << entry.type << " \"" << text << '"';
    }
  }

  // A separator at the end leaves one more, empty, word: a list written with
  // an empty last string reads back as it was.
  ReadValue strings("2,one,", FieldTypeMFString);
  ASSERT_EQ(strings.result, kPropertyTextOk);
  EXPECT_STREQ(strings.As<MFString>()[0].text, "one");
  EXPECT_STREQ(strings.As<MFString>()[1].text, "");
  EXPECT_EQ(ReadValue("", FieldTypeSFString).result, kPropertyTextOk) << "any text is a string";

  // Strings end at commas only, and a quoted one may hold commas.
  ReadValue spaced(" 3, p q ,\"r, s\" , \"\"", FieldTypeMFString);
  ASSERT_EQ(spaced.result, kPropertyTextOk);
  EXPECT_STREQ(spaced.As<MFString>()[0].text, "p q");
  EXPECT_STREQ(spaced.As<MFString>()[1].text, "r, s");
  EXPECT_STREQ(spaced.As<MFString>()[2].text, "");
  EXPECT_EQ(Text(spaced.block, FieldTypeMFString), "3,p q,\"r, s\",") << "reads back as it was";
}

// Random text of the characters that matter to the splitters, read as every
// type and written back; under ASan any overrun fails the test.
TEST(PropertyText, RandomTextIsReadSafely) {
  constexpr std::string_view kAlphabet = "0123456789,.:- eE+nNAllFields";
  constexpr FieldType kTypes[] = {FieldTypeSFBool,  FieldTypeSFColor, FieldTypeSFFloat, FieldTypeSFInt32,
                                  FieldTypeSFNode,  FieldTypeSFTime,  FieldTypeMFColor, FieldTypeMFFloat,
                                  FieldTypeMFInt32, FieldTypeMFNode,  FieldTypeMFString, FieldTypeMFVec2f};
  CBrowser world;
  Random15 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string text(static_cast<size_t>(random.Next() % 80), ' ');
    for (char& c : text) c = kAlphabet[static_cast<size_t>(random.Next()) % kAlphabet.size()];
    const FieldType type = kTypes[random.Next() % std::size(kTypes)];
    ReadValue value(text, type, &world);
    if (value.block) {
      char out[32];
      (void)FieldValueToText(value.block, type, out, sizeof out);
    }
  }
}

TEST(PropertyText, NumbersDoNotDependOnTheLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
  const SFVec3f vec3{1, 2.5f, -3};
  const std::string text = Text(&vec3, FieldTypeSFVec3f);
  const float read = ReadValue("0.5", FieldTypeSFFloat).As<float>();
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(text, "1.00,2.50,-3.00");
  EXPECT_EQ(read, 0.5f);
}

TEST(PropertyText, SplitsWordsAndNames) {
  CommaSplit split = SplitCommaWord("  1.5, 2");
  EXPECT_EQ(split.word, "1.5");
  EXPECT_EQ(split.rest, " 2");
  split = SplitCommaWord("last");
  EXPECT_EQ(split.word, "last");
  EXPECT_TRUE(split.rest.empty());

  NodeFieldSplit node = SplitNodeField("Lamp.on");
  EXPECT_TRUE(node.separated);
  EXPECT_EQ(node.name, "Lamp");
  EXPECT_EQ(node.rest, "on");
  node = SplitNodeField(":on");
  EXPECT_TRUE(node.separated);
  EXPECT_TRUE(node.name.empty());
  node = SplitNodeField("Lamp");
  EXPECT_FALSE(node.separated);
  EXPECT_EQ(node.name, "Lamp");

  EXPECT_TRUE(StrEqualNoCase("Image.JPG", "image.jpg"));
  EXPECT_TRUE(StrEqualNoCase("a1", "A1"));
  EXPECT_FALSE(StrEqualNoCase("abc", "abcd"));
  EXPECT_FALSE(StrEqualNoCase("\xC4", "\xE4")) << "only A-Z fold";
}

}  // namespace
}  // namespace vx::test
