#include "platform/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace vx {
namespace {

// Runs the test body with a locale whose decimal point is ','. The machine's
// own scripts generate de_DE.UTF-8; without it the test cannot prove anything.
class CommaLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  }
  void TearDown() override { std::setlocale(LC_ALL, previous_.c_str()); }

 private:
  std::string previous_;
};

TEST_F(CommaLocale, FormattingUsesAPoint) {
  char buffer[64];
  FormatC(buffer, sizeof buffer, "%f,%f,%f", 0.5, 1.25, -2.0);
  EXPECT_STREQ(buffer, "0.500000,1.250000,-2.000000");
  EXPECT_EQ(FormatString("%g", 0.125), "0.125");
  EXPECT_EQ(FormatFloatExact(0.1f), "0.1");
}

TEST_F(CommaLocale, ParsingReadsAPoint) {
  char* end = nullptr;
  const char* text = "3.25 rest";
  EXPECT_DOUBLE_EQ(ParseDoubleC(text, &end), 3.25);
  EXPECT_STREQ(end, " rest");
  float a = 0, b = 0;
  EXPECT_EQ(ScanC("1.5,2.5", "%f,%f", &a, &b), 2);
  EXPECT_FLOAT_EQ(a, 1.5f);
  EXPECT_FLOAT_EQ(b, 2.5f);
}

TEST_F(CommaLocale, RoundTripOfAwkwardFloats) {
  const float values[] = {0.1f, 1e-7f, 123456.789f, -0.0f, std::numeric_limits<float>::max(),
                          std::numeric_limits<float>::denorm_min(), 1.0f / 3.0f};
  for (float value : values) {
    std::string text = FormatFloatExact(value);
    EXPECT_EQ(text.find(','), std::string::npos) << text;
    float back = static_cast<float>(ParseDoubleC(text.c_str(), nullptr));
    EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
  }
}

TEST(FormatC, TruncatesWithinTheBufferAndReportsTheFullLength) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(FormatC(buffer, 5, "%s", "abcdefgh"), 8);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(buffer[5], 'x');
}

TEST(FormatString, LongTexts) {
  std::string long_word(1000, 'w');
  EXPECT_EQ(FormatString("<%s>", long_word.c_str()), "<" + long_word + ">");
  EXPECT_EQ(FormatString("%s", ""), "");
}

TEST(ParseLongC, BasesAndEnd) {
  char* end = nullptr;
  EXPECT_EQ(ParseLongC("0xFF,", &end, 0), 255);
  EXPECT_EQ(*end, ',');
  EXPECT_EQ(ParseLongC("-42", nullptr, 10), -42);
}

}  // namespace
}  // namespace vx
