// TextSensor: over and click count only on its text in its target node, and
// a click only after a frame was drawn since the press.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptTestSupport.h"
#include "WorldTestNodes.h"
#include "engine/media/nodes/TextNode.h"
#include "engine/world/nodes/TextSensorNode.h"
#include "tests/nodes/EventRecorder.h"
#include "tests/nodes/NodeTestSupport.h"

namespace vx {
namespace {

// A Text node that says whether the pointer is on the text it is asked
// about.
class CHittableText : public CTextNode {
 public:
  bool HandleTextInput(const PickRecord&, std::string_view text) override {
    asked.emplace_back(text);
    return hits;
  }
  bool hits = true;
  std::vector<std::string> asked;

 protected:
  ~CHittableText() override = default;
};

// View services that keep the worlds asked for.
class CLinkServices : public test::CCursorServices {
 public:
  using CCursorServices::CCursorServices;
  void LoadWorld(const char* url, const char* target) override { loads.emplace_back(url, target ? target : "-"); }
  std::vector<std::pair<std::string, std::string>> loads;
};

struct SensorWorld {
  SensorWorld()
      : world(test::ReadWorld("DEF T TextSensor { string \"Next\" url \"http://example.test/next.wrl\" "
                              "cursor \"LINK\" frame \"Far\" }\n")),
        sensor(static_cast<CTextSensorNode&>(*world->FindNode("T"))) {
    h.view.SetServices(&services);
    sensor.node = text;
    world->RenderView(RenderPass::Activate, &h.view);
  }
  CHittableText& Text() { return test::As<CHittableText>(text); }
  void Frame() { world->RenderFrame(&h.view); }
  void Click() { sensor.OnPointerClick(&h.view); }

  test::HeadlessView h{32, 24};
  std::unique_ptr<CBrowser> world;
  CLinkServices services{*world};
  CTextSensorNode& sensor;
  CNodeRef text = MakeNode<CHittableText>();
};

TEST(TextSensor, AClickOnTheTextAfterAFrameFollowsTheLinkWithTheViewpointName) {
  SensorWorld w;
  CNodeRef active = test::RecordInto(w.sensor, "isActive", "flag");
  w.sensor.OnPointerPress();
  w.Click();
  EXPECT_TRUE(w.services.loads.empty()) << "no frame between press and release";

  w.sensor.OnPointerPress();
  w.Frame();
  w.Click();
  ASSERT_EQ(w.services.loads.size(), 1u);
  EXPECT_EQ(w.services.loads[0].first, "http://example.test/next.wrl");
  EXPECT_EQ(w.services.loads[0].second, "Far");
  EXPECT_EQ(test::As<test::CEventRecorder>(active).log.size(), 1u);
  EXPECT_EQ(test::As<test::CEventRecorder>(active).flag, 1);
  EXPECT_EQ(w.Text().asked.back(), "Next") << "the target is asked about the sensor's string";

  w.Click();
  EXPECT_EQ(test::As<test::CEventRecorder>(active).flag, 0) << "a second click without a press is not active";

  w.Text().hits = false;
  w.sensor.OnPointerPress();
  w.Frame();
  w.Click();
  EXPECT_EQ(w.services.loads.size(), 2u) << "off the text nothing is followed";
}

TEST(TextSensor, OverTheTextShowsItsCursorDuringTheFrame) {
  SensorWorld w;
  CNodeRef over = test::RecordInto(w.sensor, "isOver", "flag");
  w.Frame();
  w.sensor.OnPointerOver();
  EXPECT_EQ(w.services.cursors, (std::vector<test::CCursorServices::Cursor>{{1, 2}})) << "LINK is the view's cursor 2";
  EXPECT_EQ(test::As<test::CEventRecorder>(over).flag, 1);

  w.Text().hits = false;
  w.sensor.OnPointerOver();
  EXPECT_EQ(w.services.cursors.size(), 1u);
  EXPECT_EQ(test::As<test::CEventRecorder>(over).log.size(), 1u);
}

TEST(TextSensor, OnlyTextAndTextTextureNodesAreAskedAndNeitherAnswersYet) {
  for (const char* target : {"Text { string \"Next\" }", "TextTexture { string \"Next\" }", "Group { }", ""}) {
    SCOPED_TRACE(target);
    auto world = test::ReadWorld(std::string("DEF T TextSensor { string \"Next\" url \"next.wrl\" ") +
                                 (*target ? std::string("node ") + target : std::string()) + " }\n");
    test::HeadlessView h{32, 24};
    CLinkServices services{*world};
    h.view.SetServices(&services);
    world->RenderView(RenderPass::Activate, &h.view);
    CNode& sensor = *world->FindNode("T");
    EXPECT_EQ(sensor.GetTypeId(), NodeTypeTouchSensor);
    EXPECT_EQ(sensor.GetTypeName(), "TextSensor");
    sensor.OnPointerPress();
    world->RenderFrame(&h.view);
    sensor.OnPointerOver();
    sensor.OnPointerClick(&h.view);
    EXPECT_TRUE(services.loads.empty());
    EXPECT_TRUE(services.cursors.empty());
  }
}

}  // namespace
}  // namespace vx
