#include <gtest/gtest.h>

#include <string>

#include "engine/world/HostScriptFunctions.h"

namespace vx {
namespace {

void Ignore(int32_t, void*, void*) {}

TEST(HostScriptFunctionsTest, ANameRegisteredAgainKeepsOneEntryWithTheNewCallback) {
  ClearScriptFunctions();
  int first = 0, second = 0;
  const std::string name(40, 'n');
  ASSERT_TRUE(RegisterScriptFunction(name, {&first, &Ignore}));
  ASSERT_TRUE(RegisterScriptFunction(name, {&second, &Ignore}));
  EXPECT_EQ(FindScriptFunction(name)->userData, &second);
  EXPECT_EQ(FindScriptFunction(name.substr(0, 31))->userData, &second) << "names are kept cut to 31 characters";
  EXPECT_EQ(FindScriptFunction(std::string(30, 'n')), nullptr);
  ClearScriptFunctions();
}

TEST(HostScriptFunctionsTest, TheRegistryHolds64NamesAndStillReplacesWhenFull) {
  ClearScriptFunctions();
  int data[66] = {};
  for (int i = 0; i < 64; ++i) ASSERT_TRUE(RegisterScriptFunction("f" + std::to_string(i), {&data[i], &Ignore}));
  EXPECT_FALSE(RegisterScriptFunction("f64", {&data[64], &Ignore})) << "a 65th name is refused";
  EXPECT_EQ(FindScriptFunction("f64"), nullptr);
  EXPECT_TRUE(RegisterScriptFunction("f0", {&data[65], &Ignore}));
  EXPECT_EQ(FindScriptFunction("f0")->userData, &data[65]);
  EXPECT_EQ(FindScriptFunction("f63")->userData, &data[63]);
  ClearScriptFunctions();
}

}  // namespace
}  // namespace vx
