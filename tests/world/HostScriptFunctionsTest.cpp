#include <gtest/gtest.h>

#include <string>

#include "engine/world/HostScriptFunctions.h"

namespace vx {
namespace {

void Ignore(int32_t, void*, void*) {}

TEST(HostScriptFunctionsTest, ALongNameIsFoundByTheNameItWasRegisteredUnder) {
  ClearScriptFunctions();
  int first = 0, second = 0;
  const std::string name(40, 'n');
  ASSERT_TRUE(RegisterScriptFunction(name, {&first, &Ignore}));
  const ScriptFunctionCallback* found = FindScriptFunction(name);
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->userData, &first);
  ASSERT_TRUE(RegisterScriptFunction(name, {&second, &Ignore}));
  EXPECT_EQ(FindScriptFunction(name)->userData, &second) << "registered again, not twice";
  EXPECT_EQ(FindScriptFunction(std::string(30, 'n')), nullptr);
  ClearScriptFunctions();
}

}  // namespace
}  // namespace vx
