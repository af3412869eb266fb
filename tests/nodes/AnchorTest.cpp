#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NodeTestSupport.h"
#include "engine/nodes/AnchorNode.h"
#include "engine/world/SceneView.h"

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

// A click goes to the view that owns the context: a scene file beside the
// world is loaded there, anything else goes to the host as a link.
TEST(AnchorNode, AClickSendsTheViewToTheLink) {
  auto world = ReadWorld(R"(DEF Near Anchor { url "next.wrl#Door" parameter "target=main" }
                            DEF Page Anchor { url "http://example.test/page.html" parameter "target=_blank" }
                            DEF Nowhere Anchor {})");
  world->SetWorldUrl("/worlds/here/main.wrl");
  CSceneView sceneView(WindowHandle::None);
  std::vector<LinkRequest> links;
  sceneView.SetCallback({&links, [](int32_t code, void* data, void* self) {
                           if (code == ViewEventOpenLink) {
                             static_cast<std::vector<LinkRequest>*>(self)->push_back(*static_cast<LinkRequest*>(data));
                           }
                         }});
  CViewContext context(WindowHandle::None, 0);
  context.SetServices(&sceneView);

  world->FindNode("Near")->OnPointerClick(&context);
  EXPECT_EQ(sceneView.GetPendingFile(), "/worlds/here/next.wrl");
  EXPECT_EQ(sceneView.GetViewpointName(), "Door");
  EXPECT_EQ(sceneView.GetLinkTarget(), "main");
  EXPECT_EQ(TextOf(static_cast<CAnchorNode*>(world->FindNode("Near"))->url[0]), "next.wrl#Door") << "the field is not cut";

  world->FindNode("Page")->OnPointerClick(&context);
  ASSERT_EQ(links.size(), 1u);
  EXPECT_STREQ(links[0].url, "http://example.test/page.html");
  EXPECT_STREQ(links[0].target, "_blank");

  world->FindNode("Nowhere")->OnPointerClick(&context);
  world->FindNode("Near")->OnPointerClick(nullptr);
  EXPECT_EQ(links.size(), 1u);
}

}  // namespace
}  // namespace vx::test
