#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "engine/scene/nodes/AnchorNode.h"

namespace vx::test {
namespace {

MFString Strings(std::vector<SFString>& storage, std::initializer_list<const char*> texts) {
  storage.clear();
  for (const char* text : texts) {
    SFString value{};
    SetStringValue(value, text);
    storage.push_back(value);
  }
  return MFString{static_cast<int32_t>(storage.size()), storage.data()};
}

TEST(AnchorTarget, TheFirstTargetEntryNamesTheFrame) {
  std::vector<SFString> storage;
  EXPECT_EQ(AnchorTarget(Strings(storage, {"target=_blank"})), "_blank");
  EXPECT_EQ(AnchorTarget(Strings(storage, {"description=x", "target=main", "target=other"})), "main");
  EXPECT_EQ(AnchorTarget(Strings(storage, {"Target=main"})), "") << "compared case-sensitively";
  EXPECT_EQ(AnchorTarget(Strings(storage, {"target", "target=late"})), "") << "a bare word names no frame";
  EXPECT_EQ(AnchorTarget(Strings(storage, {})), "");
}

TEST(AnchorNode, TheLinkIsACopyOfTheFirstUrlWithTheTarget) {
  auto world = ReadWorld(R"(DEF A Anchor { url [ "next.wrl#Door" "later.wrl" ] parameter "target=_blank"
                                           children Group {} })");
  auto& anchor = static_cast<CAnchorNode&>(*world->FindNode("A"));
  const std::optional<AnchorLink> link = anchor.GetLink();
  ASSERT_TRUE(link);
  std::vector<SFString> storage;
  const MFString other = Strings(storage, {"elsewhere.wrl"});
  anchor.SetField("url", &other);
  EXPECT_EQ(link->url, "next.wrl#Door");
  EXPECT_EQ(link->target, "_blank");

  const MFString none{};
  anchor.SetField("url", &none);
  EXPECT_FALSE(anchor.GetLink()) << "an empty url leads nowhere";
}

}  // namespace
}  // namespace vx::test
