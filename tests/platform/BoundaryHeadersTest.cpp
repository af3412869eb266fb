#include <gtest/gtest.h>

#include "vantessel/Component.h"
#include "vantessel/EngineResult.h"
#include "vantessel/FieldValues.h"
#include "vantessel/NodeTypes.h"

extern "C" int VxBoundaryHeadersCompileAsC(void);

namespace {

TEST(BoundaryHeaders, CAndCppAgreeOnLayouts) {
  EXPECT_EQ(VxBoundaryHeadersCompileAsC(), static_cast<int>(sizeof(MFValue)) + 55);
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
