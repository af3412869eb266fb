#include <gtest/gtest.h>

#include <cstddef>
#include <span>
#include <string_view>

#include "BoundaryLayoutFacts.h"
#include "vantessel/Component.h"
#include "vantessel/Download.h"
#include "vantessel/Engine.h"
#include "vantessel/EngineResult.h"
#include "vantessel/FieldValues.h"
#include "vantessel/MediaLayer.h"
#include "vantessel/NodeTypes.h"

namespace {

#define LAYOUT_SIZE(type) {"sizeof(" #type ")", sizeof(type)},
#define LAYOUT_OFFSET(type, member) {"offsetof(" #type ", " #member ")", offsetof(type, member)},
constexpr VxLayoutFact kLayoutsSeenFromCpp[] = {
#include "BoundaryLayouts.h"
};
#undef LAYOUT_SIZE
#undef LAYOUT_OFFSET

TEST(BoundaryHeaders, CAndCppAgreeOnEveryLayout) {
  size_t count = 0;
  const VxLayoutFact* facts = VxLayoutsSeenFromC(&count);
  const std::span<const VxLayoutFact> seenFromC(facts, count);
  ASSERT_EQ(seenFromC.size(), std::size(kLayoutsSeenFromCpp));
  for (size_t i = 0; i < seenFromC.size(); ++i) {
    ASSERT_EQ(std::string_view(seenFromC[i].what), kLayoutsSeenFromCpp[i].what);
    EXPECT_EQ(seenFromC[i].value, kLayoutsSeenFromCpp[i].value) << kLayoutsSeenFromCpp[i].what;
  }
}

TEST(BoundaryHeaders, NodeTypeIdsFollowTheAlphabet) {
  EXPECT_EQ(NodeTypeAnchor, 2);
  EXPECT_EQ(NodeTypeGroup, 21);
  EXPECT_EQ(NodeTypeScript, 40);
  EXPECT_EQ(NodeTypeTransform, 52);
  EXPECT_EQ(NodeTypeWorldInfo, 55);
  EXPECT_EQ(NodeTypeProtoInstance, 56);
  EXPECT_EQ(NodeTypeScreenIMob, 1002);
}

TEST(BoundaryHeaders, FieldTypeCodes) {
  EXPECT_EQ(FieldTypeSFVec3f, 11);
  EXPECT_EQ(FieldTypeMFColor, VX_FIRST_MF_TYPE);
  EXPECT_EQ(FieldTypeMFVec3f, 28);
  EXPECT_EQ(VxHostSlotCount, 7);
  EXPECT_EQ(EngineSceneHasViews, 8u);
}

}  // namespace
