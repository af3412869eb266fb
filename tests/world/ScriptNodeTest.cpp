#include <gtest/gtest.h>

#include <string>

#include "ScriptTestSupport.h"
#include "engine/world/HostScriptFunctions.h"
#include "engine/world/nodes/ScriptNode.h"

namespace vx::test {
namespace {

CScriptNode& Script(ScriptWorld& w, const char* name) { return static_cast<CScriptNode&>(w.Node(name)); }

void SetUrl(CNode& script, const char* text) {
  SFString value{};
  SetStringValue(value, text);
  const MFString url{1, &value};
  script.SetField("url", &url);
}

TEST(ScriptUrl, ThePrefixEndsAtTheFirstColonAndTheNameAtTheNext) {
  EXPECT_EQ(SplitScriptUrl("vxn:link").prefix, "vxn");
  EXPECT_EQ(SplitScriptUrl("vxn:link").name, "link");
  EXPECT_EQ(SplitScriptUrl("vxn:link:whatever:else").name, "link");
  EXPECT_EQ(SplitScriptUrl("link").prefix, "link");
  EXPECT_EQ(SplitScriptUrl("link").name, "");
  EXPECT_EQ(SplitScriptUrl("vxn:").name, "");
  EXPECT_EQ(SplitScriptUrl(":x").prefix, "");
  EXPECT_EQ(SplitScriptUrl(":x").name, "x");
  const std::string longWord(70, 'w');
  EXPECT_EQ(SplitScriptUrl(longWord + ":" + longWord).prefix, std::string(62, 'w'));
  EXPECT_EQ(SplitScriptUrl(longWord + ":" + longWord).name, std::string(62, 'w'));
}

// A host function is called once per eventIn, with the Script's DEF name,
// whole url, the eventIn's name, the value and the type of its field "val";
// never per frame and never for a declared field.
TEST(ScriptNode, AHostFunctionGetsEveryEventInWithItsCallData) {
  ScriptWorld w(R"(DEF Caller Script { url [ "record:first" "other:" ] eventIn SFFloat set_level
                                       field SFInt32 val 3 field SFBool flag FALSE }
                   DEF Plain Script { url "record:" eventIn SFBool ping })");
  w.Frames(2);
  EXPECT_TRUE(w.calls.empty()) << "no calls per frame";

  w.Send("Caller", "set_level", 0.75f);
  ASSERT_EQ(w.calls.size(), 1u);
  const ScriptCall& call = w.calls[0];
  EXPECT_EQ(call.defName, "Caller");
  EXPECT_EQ(call.url, "record:first");
  EXPECT_EQ(call.eventIn, "set_level");
  EXPECT_EQ(call.valType, FieldTypeSFInt32);
  EXPECT_FLOAT_EQ(static_cast<float>(call.number), 0.75f);

  w.Send("Caller", "set_flag", int16_t{1});
  w.Send("Caller", "val", int32_t{4});
  EXPECT_EQ(w.calls.size(), 1u) << "changes of declared fields reach no host function";
  w.Send("Plain", "ping", int16_t{1});
  ASSERT_EQ(w.calls.size(), 2u);
  EXPECT_EQ(w.calls[1].valType, 0) << "no field val";
  EXPECT_EQ(Script(w, "Plain").GetBehaviour(), nullptr);
}

TEST(ScriptNode, AUrlWithoutARegisteredFunctionOrKnownBehaviourIsInert) {
  ScriptWorld w(R"(DEF Bare Script { url "link" eventIn SFVec2f clickPt }
                   DEF Unknown Script { url "vxn:nothing" eventIn SFVec2f clickPt }
                   DEF Empty Script { eventIn SFVec2f clickPt })");
  w.Frame();
  w.Send("Bare", "clickPt", SFVec2f{1, 1});
  w.Send("Unknown", "clickPt", SFVec2f{1, 1});
  w.Send("Empty", "clickPt", SFVec2f{1, 1});
  EXPECT_EQ(Script(w, "Bare").GetBehaviour(), nullptr) << "\"link\" alone names a host function";
  EXPECT_EQ(Script(w, "Unknown").GetBehaviour(), nullptr);
  EXPECT_TRUE(w.calls.empty());

  int calls = 0;
  ASSERT_TRUE(RegisterScriptFunction("link", {&calls, [](int32_t, void*, void* n) { ++*static_cast<int*>(n); }}));
  w.Send("Bare", "clickPt", SFVec2f{1, 1});
  EXPECT_EQ(calls, 1);
}

// Events that a handler sends back to its own Script are dropped, whichever
// eventIn they name; the next event from outside is handled again.
TEST(ScriptNode, EventsCausedWhileAScriptHandlesOneAreDropped) {
  ScriptWorld w(R"(DEF Loop Script { url "record:" eventIn SFBool first eventIn SFBool second }
                   DEF Echo Script { url "vxn:setVal" eventIn SFBool on
                                     field SFBool val TRUE eventOut SFBool val_changed }
                   DEF Watch Script { url "record:" eventIn SFBool seen }
                   ROUTE Echo.val_changed TO Echo.on
                   ROUTE Echo.val_changed TO Watch.seen)");
  w.onCall = [](ScriptWorld& self, const ScriptCall& call) {
    if (call.eventIn == "first") self.Send("Loop", "second", int16_t{1});
  };
  w.Send("Loop", "first", int16_t{1});
  EXPECT_EQ(w.CallsTo("first").size(), 1u);
  EXPECT_TRUE(w.CallsTo("second").empty());
  w.Send("Loop", "second", int16_t{1});
  EXPECT_EQ(w.CallsTo("second").size(), 1u) << "the guard is cleared after the event";

  w.Send("Echo", "on", int16_t{1});
  EXPECT_EQ(w.CallsTo("seen").size(), 1u) << "the routed echo ends at the Script itself";
}

// A Script whose url comes to name another behaviour drops the first one's
// state: a click the link took is not finished by a later link, and the
// other behaviour never runs on the link's state.
TEST(ScriptNode, ANewBehaviourInTheUrlStartsFromNewState) {
  ScriptWorld w(R"(DEF S Script { url "vxn:link" eventIn SFVec2f clickPt eventIn SFBool on
                                  field SFString cursor "ARROW" eventOut SFBool goodClick }
                   DEF Watch Script { url "record:" eventIn SFBool clicked }
                   ROUTE S.goodClick TO Watch.clicked)");
  w.Frame();
  w.Send("S", "clickPt", SFVec2f{0, 0});
  SetUrl(w.Node("S"), "vxn:setCursor");
  w.Send("S", "on", int16_t{1});
  w.Frame();
  EXPECT_TRUE(w.services.cursors.empty()) << "setCursor made afresh at its first frame took no event before it";
  w.Send("S", "on", int16_t{1});
  w.Frame();
  ASSERT_EQ(w.services.cursors.size(), 1u);
  EXPECT_EQ(w.services.cursors[0].cursor, 0);

  SetUrl(w.Node("S"), "vxn:link");
  w.Frames(3);
  EXPECT_TRUE(w.CallsTo("clicked").empty()) << "the earlier click went with the first link";
  w.Send("S", "clickPt", SFVec2f{0, 0});
  w.Frames(2);
  EXPECT_EQ(w.CallsTo("clicked").size(), 1u);

  SetUrl(w.Node("S"), "record:");
  w.Frame();
  EXPECT_EQ(Script(w, "S").GetBehaviour(), nullptr) << "a host function's Script keeps no behaviour";
}

// A behaviour whose events take its own Script out of the scene, in the middle
// of the walk through that scene, finishes its frame on a node that stays alive
// until it returns, and the walk goes on over the group's new children.
TEST(ScriptNode, ABehaviourThatRemovesItsOwnScriptFinishesSafely) {
  ScriptWorld w(R"(DEF Holder Group { children [
                     DEF S Script { url "vxn:link" eventIn SFVec2f clickPt field MFNode switchTo []
                                    eventOut MFNode switchIt eventOut SFBool goodClick } ] }
                   DEF Watch Script { url "record:" eventIn SFBool clicked }
                   ROUTE S.switchIt TO Holder.set_children
                   ROUTE S.goodClick TO Watch.clicked)");
  CNodeRef script(&w.Node("S"));
  w.Frame();
  w.Send("S", "clickPt", SFVec2f{0, 0});
  w.Frame();
  CNode* node = script.Get();
  script = CNodeRef();
  ASSERT_EQ(node->GetRefCount(), 1) << "only the Holder keeps the Script";
  w.Frame();
  EXPECT_EQ(w.CallsTo("clicked").size(), 1u) << "goodClick went out after the Script left the scene";
  EXPECT_EQ(w.world->FindNode("S"), nullptr);
}

TEST(ScriptNode, TwoScriptsOfOneBehaviourKeepStatesOfTheirOwn) {
  ScriptWorld w(R"(DEF A Script { url "vxn:link" eventIn SFVec2f clickPt eventOut SFBool goodClick }
                   DEF B Script { url "vxn:link" eventIn SFVec2f clickPt eventOut SFBool goodClick }
                   DEF Watch Script { url "record:" eventIn SFBool fromA eventIn SFBool fromB }
                   ROUTE A.goodClick TO Watch.fromA
                   ROUTE B.goodClick TO Watch.fromB)");
  w.Frame();
  EXPECT_NE(Script(w, "A").GetBehaviour(), Script(w, "B").GetBehaviour());
  w.Send("A", "clickPt", SFVec2f{0, 0});
  w.Frames(2);
  EXPECT_EQ(w.CallsTo("fromA").size(), 1u);
  EXPECT_TRUE(w.CallsTo("fromB").empty());
}

}  // namespace
}  // namespace vx::test
