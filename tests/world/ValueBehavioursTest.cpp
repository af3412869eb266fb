// math, logic and compare: results by operand type, the type checks that
// send nothing, and the arithmetic that has no result.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ReceivedValues.h"
#include "platform/Random.h"

namespace vx::test {
namespace {

// Script B running the behaviour, its eventOut result (of resultType)
// routed to the recorder's eventIn got.
std::string BehaviourWorld(const std::string& behaviour, const std::string& declarations,
                           const std::string& resultType) {
  return "DEF B Script { url \"vxn:" + behaviour + "\" " + declarations + " eventOut " + resultType +
         " result }\nDEF Watch Script { url \"record:\" eventIn " + resultType +
         " got }\nROUTE B.result TO Watch.got";
}

// What one evaluate TRUE of a math Script on in1 and in2 of the type sends.
std::vector<ReceivedValue> Math(const std::string& type, const std::string& operation, const std::string& in1,
                           const std::string& in2, const std::string& resultType = "") {
  ScriptWorld w(BehaviourWorld("math",
                               "eventIn SFBool evaluate field SFString operation \"" + operation + "\" field " + type +
                                   " in1 " + in1 + " field " + type + " in2 " + in2,
                               resultType.empty() ? type : resultType));
  ReceivedValues values(w);
  w.Send("B", "evaluate", int16_t{1});
  return values.To("got");
}

// The one number math sends, or NaN when it sends nothing.
double MathNumber(const std::string& type, const std::string& operation, const std::string& in1,
                  const std::string& in2) {
  const std::vector<ReceivedValue> sent = Math(type, operation, in1, in2);
  return sent.size() == 1 && sent[0].numbers.size() == 1 ? sent[0].numbers[0] : std::nan("");
}

TEST(MathBehaviour, NumbersOfEachTypeComputeByTheOperation) {
  const struct {
    const char* type;
    const char* in1;
    const char* in2;
    double add, subtract, multiply, divide;
  } cases[] = {
      {"SFFloat", "1.5", "0.5", 2.0, 1.0, 0.75, 3.0},
      {"SFTime", "10", "4", 14.0, 6.0, 40.0, 2.5},
      {"SFInt32", "-7", "2", -5.0, -9.0, -14.0, -3.0},  // division truncates toward zero
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.type);
    EXPECT_DOUBLE_EQ(MathNumber(c.type, "ADD", c.in1, c.in2), c.add);
    EXPECT_DOUBLE_EQ(MathNumber(c.type, "SUBTRACT", c.in1, c.in2), c.subtract);
    EXPECT_DOUBLE_EQ(MathNumber(c.type, "MULTIPLY", c.in1, c.in2), c.multiply);
    EXPECT_DOUBLE_EQ(MathNumber(c.type, "DIVIDE", c.in1, c.in2), c.divide);
  }
  EXPECT_TRUE(std::isinf(MathNumber("SFFloat", "DIVIDE", "1", "0")));
}

TEST(MathBehaviour, IntegerArithmeticWithoutAResultSendsNothing) {
  EXPECT_TRUE(Math("SFInt32", "DIVIDE", "5", "0").empty());
  EXPECT_TRUE(Math("SFInt32", "DIVIDE", "-2147483648", "-1").empty());
  // Sums past 32 bits wrap as the machine's arithmetic does.
  EXPECT_DOUBLE_EQ(MathNumber("SFInt32", "ADD", "2147483647", "1"), -2147483648.0);
  EXPECT_DOUBLE_EQ(MathNumber("SFInt32", "MULTIPLY", "65536", "65536"), 0.0);
}

TEST(MathBehaviour, RandomIntegersComeFromTheSeededGenerator) {
  SeedRandom(77);
  Random15 expected(77);
  ScriptWorld w(BehaviourWorld("math",
                               "eventIn SFBool evaluate field SFString operation \"RAND\" field SFInt32 in1 1 "
                               "field SFInt32 in2 6",
                               "SFInt32"));
  ReceivedValues values(w);
  for (int i = 0; i < 200; ++i) w.Send("B", "evaluate", int16_t{1});
  const std::vector<ReceivedValue> sent = values.To("got");
  ASSERT_EQ(sent.size(), 200u);
  for (const ReceivedValue& value : sent) {
    const int32_t r = expected.Next();
    // 1 + trunc(r / 32767 x 6): 7 only for r = 32767.
    EXPECT_EQ(value.numbers[0], 1 + std::trunc(r * 3.051850947599719e-5 * 6)) << r;
    EXPECT_GE(value.numbers[0], 1.0);
    EXPECT_LE(value.numbers[0], r == 32767 ? 7.0 : 6.0);
  }
}

TEST(MathBehaviour, RandomVectorsTakeOneNumberAndColoursOneAChannel) {
  SeedRandom(5);
  Random15 expected(5);
  const std::vector<ReceivedValue> vector = Math("SFVec3f", "RAND", "0 0 0", "1 2 4");
  ASSERT_EQ(vector.size(), 1u);
  const double r = expected.Next() * 3.051850947599719e-5;
  EXPECT_NEAR(vector[0].numbers[0], r, 1e-6);
  EXPECT_NEAR(vector[0].numbers[1], 2 * r, 1e-6);
  EXPECT_NEAR(vector[0].numbers[2], 4 * r, 1e-6);

  const std::vector<ReceivedValue> colour = Math("SFColor", "RAND", "0 0 0", "1 1 1");
  ASSERT_EQ(colour.size(), 1u);
  for (int channel = 0; channel < 3; ++channel)
    EXPECT_NEAR(colour[0].numbers[channel], expected.Next() * 3.051850947599719e-5, 1e-6);
}

TEST(MathBehaviour, RotationsAboutOneAxisCombineTheirAngles) {
  const std::vector<ReceivedValue> sum = Math("SFRotation", "ADD", "0 1 0 0.5", "0 1 0 0.25");
  ASSERT_EQ(sum.size(), 1u);
  EXPECT_EQ(sum[0].numbers, (std::vector<double>{0.0, 1.0, 0.0, 0.75}));
  EXPECT_TRUE(Math("SFRotation", "ADD", "0 1 0 0.5", "1 0 0 0.25").empty());
}

TEST(MathBehaviour, TypeChecksAndUnknownWordsSendNothing) {
  EXPECT_TRUE(Math("SFVec2f", "MULTIPLY", "1 2", "3 4").empty());
  EXPECT_TRUE(Math("SFVec3f", "DIVIDE", "1 2 3", "3 4 5").empty());
  EXPECT_EQ(Math("SFVec2f", "SUBTRACT", "1 2", "3 5")[0].numbers, (std::vector<double>{-2.0, -3.0}));
  EXPECT_TRUE(Math("SFFloat", "POWER", "1", "2").empty());
  EXPECT_TRUE(Math("SFFloat", "", "1", "2").empty());
  EXPECT_TRUE(Math("SFFloat", "add", "1", "2").empty()) << "words are case-sensitive";
  EXPECT_TRUE(Math("SFFloat", "ADD", "1", "2", "SFInt32").empty()) << "result of another type";
  EXPECT_TRUE(Math("SFString", "ADD", "\"a\"", "\"b\"").empty());

  ScriptWorld mixed(BehaviourWorld(
      "math", "eventIn SFBool evaluate field SFString operation \"ADD\" field SFFloat in1 1 field SFInt32 in2 2",
      "SFFloat"));
  ReceivedValues values(mixed);
  mixed.Send("B", "evaluate", int16_t{1});
  mixed.Send("B", "evaluate", int16_t{0});
  EXPECT_TRUE(values.all.empty());
}

// What one in2 event of a logic or compare Script sends.
template <typename T>
std::vector<ReceivedValue> OneEvent(const std::string& behaviour, const std::string& declarations, const T& in2,
                               const std::string& resultType = "SFBool") {
  ScriptWorld w(BehaviourWorld(behaviour, declarations, resultType));
  ReceivedValues values(w);
  w.Send("B", "in2", in2);
  return values.To("got");
}

// 1 TRUE, 0 FALSE, -1 nothing sent.
int Logic(const std::string& gate, bool in1, bool in2) {
  const std::vector<ReceivedValue> sent =
      OneEvent("logic",
               "eventIn SFBool in2 field SFBool in1 " + std::string(in1 ? "TRUE" : "FALSE") +
                   " field SFString gate \"" + gate + "\"",
               int16_t{in2});
  return sent.empty() ? -1 : static_cast<int>(sent[0].numbers[0]);
}

TEST(LogicBehaviour, GatesOfIn1AndEachEvent) {
  EXPECT_EQ(Logic("AND", true, true), 1);
  EXPECT_EQ(Logic("AND", true, false), 0);
  EXPECT_EQ(Logic("OR", false, true), 1);
  EXPECT_EQ(Logic("OR", false, false), 0);
  EXPECT_EQ(Logic("XOR", true, true), 0);
  EXPECT_EQ(Logic("XOR", false, true), 1);
  EXPECT_EQ(Logic("NOT", true, false), 0);
  EXPECT_EQ(Logic("NOT", false, true), 1) << "NOT ignores in2";
  EXPECT_EQ(Logic("NAND", true, true), -1);
  EXPECT_EQ(Logic("", true, true), -1);
  EXPECT_TRUE(OneEvent("logic", "eventIn SFBool in2 field SFInt32 in1 1 field SFString gate \"OR\"", int16_t{1}).empty());
}

// 1 TRUE, 0 FALSE, -1 nothing sent.
template <typename T>
int Compare(const std::string& type, const std::string& in1, const std::string& comparison, const T& in2,
            const std::string& component = "") {
  const std::vector<ReceivedValue> sent =
      OneEvent("compare",
               "eventIn " + type + " in2 field " + type + " in1 " + in1 + " field SFString comparison \"" + comparison +
                   "\" field SFString component \"" + component + "\"",
               in2);
  return sent.empty() ? -1 : static_cast<int>(sent[0].numbers[0]);
}

TEST(CompareBehaviour, FloatsAreEqualWithinTheTolerance) {
  EXPECT_EQ(Compare("SFFloat", "1.0", "EQUAL_TO", 1.0004f), 1);
  EXPECT_EQ(Compare("SFFloat", "1.0", "NOT_EQUAL_TO", 1.0004f), 0);
  EXPECT_EQ(Compare("SFFloat", "1.0", "EQUAL_TO", 1.001f), 0);
  EXPECT_EQ(Compare("SFFloat", "1.0", "NOT_EQUAL_TO", 1.001f), 1);
  EXPECT_EQ(Compare("SFTime", "2.0", "EQUAL_TO", 2.0004), 1);
  EXPECT_EQ(Compare("SFRotation", "0 1 0 1.0", "EQUAL_TO", SFRotation{1, 0, 0, 1.0004f}), 1);
  // Orderings read in2 against in1 and are exact.
  EXPECT_EQ(Compare("SFFloat", "1.0", "GREATER_THAN", 1.0001f), 1);
  EXPECT_EQ(Compare("SFFloat", "1.0", "LESS_THAN", 1.0001f), 0);
  EXPECT_EQ(Compare("SFFloat", "1.0", "LESS_THAN_EQUAL_TO", 1.0f), 1);
  EXPECT_EQ(Compare("SFFloat", "1.0", "SAME", 1.0f), 0) << "unknown words send FALSE";
}

TEST(CompareBehaviour, IntegersAndBooleansCompareExactly) {
  EXPECT_EQ(Compare("SFInt32", "3", "GREATER_THAN_EQUAL_TO", int32_t{3}), 1);
  EXPECT_EQ(Compare("SFInt32", "3", "GREATER_THAN", int32_t{3}), 0);
  EXPECT_EQ(Compare("SFInt32", "3", "NOT_EQUAL_TO", int32_t{4}), 1);
  EXPECT_EQ(Compare("SFBool", "TRUE", "EQUAL_TO", int16_t{1}), 1);
  EXPECT_EQ(Compare("SFBool", "TRUE", "NOT_EQUAL_TO", int16_t{1}), 0);
  EXPECT_EQ(Compare("SFBool", "FALSE", "GREATER_THAN", int16_t{1}), 0);
}

TEST(CompareBehaviour, VectorsCompareAComponentOrAnyComponent) {
  const SFVec3f in2{1, 5, 9};
  EXPECT_EQ(Compare("SFVec3f", "1 2 3", "EQUAL_TO", in2), 1) << "x matches";
  EXPECT_EQ(Compare("SFVec3f", "1 2 3", "NOT_EQUAL_TO", in2), 1) << "y and z differ";
  EXPECT_EQ(Compare("SFVec3f", "1 2 3", "GREATER_THAN", in2), 0);
  EXPECT_EQ(Compare("SFVec3f", "1 2 3", "GREATER_THAN", in2, "Z"), 1);
  EXPECT_EQ(Compare("SFVec3f", "1 2 3", "EQUAL_TO", in2, "X"), 1);
  EXPECT_EQ(Compare("SFVec2f", "1 2", "EQUAL_TO", SFVec2f{1, 2}, "Z"), 0) << "a component the type lacks";
  EXPECT_EQ(Compare("SFVec2f", "1 2", "LESS_THAN", SFVec2f{1, 1}, "Y"), 1);
}

TEST(CompareBehaviour, TypesThatDoNotCompareAndMismatchesSendNothing) {
  SFString text{};
  EXPECT_EQ(Compare("SFString", "\"a\"", "EQUAL_TO", text), -1);
  EXPECT_EQ(Compare("SFFloat", "1.0", "", 1.0f), -1);
  EXPECT_TRUE(OneEvent("compare", "eventIn SFFloat in2 field SFInt32 in1 1 field SFString comparison \"EQUAL_TO\"",
                       1.0f)
                  .empty());
  EXPECT_TRUE(OneEvent("compare", "eventIn SFFloat in2 field SFFloat in1 1 field SFString comparison \"EQUAL_TO\"",
                       1.0f, "SFFloat")
                  .empty());
}

}  // namespace
}  // namespace vx::test
