// The remote command link over loopback: a controller connects, sends
// request frames and reads the exact replies.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/interface/EngineInstance.h"
#include "engine/world/NetworkSettings.h"
#include "engine/interface/RemoteCommands.h"
#include "engine/world/WorldLimits.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "tests/world/LinkController.h"

namespace vx {
namespace {

using test::LinkController;

constexpr const char* kWorldA =
    "#VRML V2.0 utf8\n"
    "DEF Box Transform { translation 1 2 3 }\n"
    "DEF Group Group { children DEF Inner Group { } }\n";
constexpr const char* kWorldB =
    "#VRML V2.0 utf8\n"
    "DEF Box Transform { }\n";

class CommandLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(RegisterChannelWindowClasses());
    AddWorld("a.wrl", "http://example.test/w/a.wrl", kWorldA);
    AddWorld("b.wrl", "http://example.test/w/b.wrl", kWorldB);
  }
  void TearDown() override {
    instance_.commandLink.reset();
    UnregisterChannelWindowClasses();
  }

  void AddWorld(const std::string& name, const std::string& url, const char* text) {
    SceneHandle* scene = instance_.AddScene();
    scene->world = std::make_unique<CBrowser>();
    auto stream = CSceneInputStream::FromText(text);
    CSceneReader reader(stream);
    ASSERT_TRUE(reader.ReadScene(&scene->world->GetScene()));
    scene->name = name;
    scene->url = url;
  }

  void StartLink(int32_t idleSeconds = kCommandLinkIdleSeconds) {
    instance_.commandLink = std::make_unique<CCommandLink>(CommandLinkSettings{"127.0.0.1", 0, idleSeconds});
    port_ = instance_.commandLink->Port();
    ASSERT_NE(port_, 0);
  }

  void ConnectController(LinkController& controller) { ASSERT_TRUE(controller.Connect(port_)); }

  // Pumps until the controller holds `replies` complete replies; returns
  // them and forgets them.
  std::string AwaitReplies(LinkController& controller, size_t replies = 1) {
    EXPECT_TRUE(test::PumpUntil([&] { AnswerRemoteCommands(instance_); controller.Read(); },
                                [&] { return controller.Replies() >= replies; }));
    return controller.TakeReceived();
  }

  std::string Exchange(LinkController& controller, const std::string& request, size_t replies = 1) {
    controller.Send(request);
    return AwaitReplies(controller, replies);
  }

  // Pumps until the link holds the text in its buffer.
  void AwaitBuffered(std::string_view text) {
    EXPECT_TRUE(test::PumpUntil([&] { AnswerRemoteCommands(instance_); },
                                [&] { return instance_.commands.Text().find(text) != std::string_view::npos; }));
  }

  EngineInstance instance_;
  uint16_t port_ = 0;
};

TEST_F(CommandLinkTest, AnswersTheFiveCommandsWithTheirExactReplies) {
  StartLink();
  LinkController controller;
  ConnectController(controller);

  EXPECT_EQ(Exchange(controller, "RBOM  GetSceneList \t REOM"), "RBOMa.wrl,b.wrlREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOMGetSceneURL,b.wrlREOM"), "RBOMhttp://example.test/w/b.wrlREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty a.wrl Box translation REOM"), "RBOM1.00,2.00,3.00REOM\r\n");

  EXPECT_EQ(Exchange(controller, "RBOM SetProperty a.wrl Box translation 4, 5.5, 6 REOM"), "RBOMOKREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty,a.wrl,Box,translation REOM"), "RBOM4.00,5.50,6.00REOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty b.wrl Box translation REOM"), "RBOM0.00,0.00,0.00REOM\r\n")
      << "the other scene's Box is untouched";

  EXPECT_EQ(Exchange(controller, "RBOM GenerateEvent a.wrl Box set_translation 7 8 9 REOM"), "RBOMOKREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty a.wrl Box translation REOM"), "RBOM7.00,8.00,9.00REOM\r\n");

  EXPECT_EQ(Exchange(controller, "RBOM Hello REOM"), "RBOMError: Command Not RecognizedREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOMREOM"), "RBOMError: Command Not RecognizedREOM\r\n");
}

TEST_F(CommandLinkTest, NamesThatMatchNothingAreAnsweredAndTheConnectionStays) {
  StartLink();
  LinkController controller;
  ConnectController(controller);
  for (const char* command : {"GetProperty", "SetProperty", "GenerateEvent"}) {
    SCOPED_TRACE(command);
    const std::string name(command);
    EXPECT_EQ(Exchange(controller, "RBOM " + name + " c.wrl Box translation 1 1 1 REOM"),
              "RBOMScene not foundREOM\r\n");
    EXPECT_EQ(Exchange(controller, "RBOM " + name + " a.wrl Nobody translation 1 1 1 REOM"),
              "RBOMNode not foundREOM\r\n");
  }
  EXPECT_EQ(Exchange(controller, "RBOM GetSceneURL c.wrl REOM"), "RBOMREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty a.wrl Box nothing REOM"),
            "RBOMError - Can't get that propertyREOM\r\n");
  EXPECT_FALSE(controller.Closed());
}

// A text the field's type does not take sets nothing and is not answered
// "OK"; neither is a value for a field or eventIn that the node lacks.
TEST_F(CommandLinkTest, AValueThatDoesNotParseIsNeitherSetNorAnsweredOk) {
  StartLink();
  LinkController controller;
  ConnectController(controller);
  EXPECT_EQ(Exchange(controller, "RBOM SetProperty a.wrl Box translation 1 1e999 1 REOM"),
            "RBOMError: Value Not SetREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM SetProperty a.wrl Box nothing 1 REOM"), "RBOMError: Value Not SetREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM SetProperty a.wrl Group children 1,Nobody REOM"),
            "RBOMError: Value Not SetREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GenerateEvent a.wrl Box set_translation 1 1e999 1 REOM"),
            "RBOMError: Event Not SentREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GenerateEvent a.wrl Box set_nothing 1 REOM"),
            "RBOMError: Event Not SentREOM\r\n");

  EXPECT_EQ(Exchange(controller, "RBOM GetProperty a.wrl Box translation REOM"), "RBOM1.00,2.00,3.00REOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty a.wrl Group children REOM"), "RBOM1,InnerREOM\r\n");
}

// A node inside itself would send every later walk through the scene (a
// search by name, a frame) round for ever.
TEST_F(CommandLinkTest, ANodeValueThatWouldPutANodeInsideItselfIsRefused) {
  StartLink();
  LinkController controller;
  ConnectController(controller);
  EXPECT_EQ(Exchange(controller, "RBOM SetProperty a.wrl Group children 1,Group REOM"),
            "RBOMError: Value Not SetREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM SetProperty a.wrl Inner children 2,Box,Group REOM"),
            "RBOMError: Value Not SetREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GenerateEvent a.wrl Inner addChildren 1,Group REOM"),
            "RBOMError: Event Not SentREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty a.wrl Inner children REOM"), "RBOM0REOM\r\n");

  EXPECT_EQ(Exchange(controller, "RBOM SetProperty a.wrl Inner children 1,Box REOM"), "RBOMOKREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty a.wrl Nobody translation REOM"), "RBOMNode not foundREOM\r\n")
      << "a search through the whole scene still ends";
}

// The nested groups of a hostile world with the ROUTE that would hand the
// outer group's children to the inner one.
constexpr const char* kRoutedWorld =
    "#VRML V2.0 utf8\n"
    "DEF Outer Group { children [\n"
    "  DEF Inner Group { children [ DEF Body Shape { geometry Box { } } ] }\n"
    "  DEF Keeper Script { field MFNode held [ ] }\n"
    "] }\n"
    "ROUTE Outer.children_changed TO Inner.set_children\n";

TEST_F(CommandLinkTest, AValuePassedAlongARouteIntoANodeAboveItsTargetIsDroppedAndNoted) {
  AddWorld("c.wrl", "c.wrl", kRoutedWorld);
  StartLink();
  LinkController controller;
  ConnectController(controller);
  const std::string& errors = instance_.scenes.back()->world->GetScene().GetEventErrorText();
  // The outer group takes the list; the inner one refuses it from the ROUTE.
  EXPECT_EQ(Exchange(controller, "RBOM SetProperty c.wrl Outer children 2,Inner,Keeper REOM"), "RBOMOKREOM\r\n");
  EXPECT_NE(errors.find("'children' of Group 'Inner'"), std::string::npos) << errors;
  EXPECT_EQ(Exchange(controller, "RBOM GenerateEvent c.wrl Outer set_children 1,Inner REOM"), "RBOMOKREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty c.wrl Inner children REOM"), "RBOM1,BodyREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty c.wrl Outer children REOM"), "RBOM1,InnerREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty c.wrl Nobody translation REOM"), "RBOMNode not foundREOM\r\n")
      << "a search through the whole scene still ends";
  instance_.scenes.back()->world->GetRootRef()->Traverse(RenderPass::Frame, nullptr);
}

// A value whose text does not parse sets nothing, whatever the field's type.
TEST_F(CommandLinkTest, ATextThatDoesNotParseSetsNoFieldOfAnyType) {
  AddWorld("c.wrl", "c.wrl",
           "#VRML V2.0 utf8\n"
           "DEF Every Script {\n"
           "  field SFBool b TRUE field SFColor c 1 0 0 field SFFloat f 0.5 field SFInt32 i 7\n"
           "  field SFNode n NULL field SFRotation r 0 1 0 1 field SFTime t 2 field SFVec2f v 1 2\n"
           "  field SFVec3f p 1 2 3 field MFColor mc [ 1 0 0 ] field MFFloat mf [ 1 2 ] field MFInt32 mi [ 1 2 ]\n"
           "  field MFNode mn [ ] field MFRotation mr [ 0 1 0 1 ] field MFString ms [ \"a\" \"b\" ]\n"
           "  field MFTime mt [ 1 ] field MFVec2f mv [ 1 2 ] field MFVec3f mp [ 1 2 3 ]\n"
           "}\n");
  const struct {
    const char* field;
    std::vector<std::string> texts;
  } refused[] = {
      {"b", {"", "TRUE"}},           {"c", {"", "1,0"}},         {"f", {"", "abc"}},
      {"i", {"", "1.5"}},            {"n", {"", "NoSuchType"}},  {"r", {"0 1 0"}},
      {"t", {"soon"}},               {"v", {"1"}},               {"p", {"", "abc def ghi", "1 ,2 3"}},
      {"mc", {"2,1,0,0"}},           {"mf", {"65536,1", "3,1,2"}}, {"mi", {"2,1,x"}},
      {"mn", {"2,Every", "1,"}},     {"mr", {"1,0,1,0"}},        {"ms", {"2,one", "3"}},
      {"mt", {"2,1"}},               {"mv", {"1,1"}},            {"mp", {"1,1,2"}},
  };
  for (const auto& entry : refused) {
    const std::string field(entry.field);
    const std::string before = ExecuteRemoteCommand(instance_, "GetProperty c.wrl Every " + field);
    for (const std::string& text : entry.texts) {
      EXPECT_EQ(ExecuteRemoteCommand(instance_, "SetProperty c.wrl Every " + field + " " + text),
                "Error: Value Not Set")
          << field << " \"" << text << '"';
    }
    EXPECT_EQ(ExecuteRemoteCommand(instance_, "GetProperty c.wrl Every " + field), before) << field;
  }
  EXPECT_EQ(ExecuteRemoteCommand(instance_, "SetProperty a.wrl Box translation"), "Error: Value Not Set");
  EXPECT_EQ(ExecuteRemoteCommand(instance_, "GenerateEvent a.wrl Box set_translation abc def ghi"),
            "Error: Event Not Sent");
  EXPECT_EQ(ExecuteRemoteCommand(instance_, "GetProperty a.wrl Box translation"), "1.00,2.00,3.00");
}

// Strings are cut at commas only and must match their count; a node reads
// as its DEF name, its type when it has none, or NULL.
TEST_F(CommandLinkTest, StringListsAndNodesTravelWhole) {
  AddWorld("w.wrl", "w.wrl",
           "#VRML V2.0 utf8\n"
           "DEF W WorldInfo { info [ \"x\" ] }\n"
           "DEF Holder Script { field SFNode unnamed Sphere { } field SFNode named DEF Ball Sphere { }\n"
           "  field SFNode none NULL }\n");
  StartLink();
  LinkController controller;
  ConnectController(controller);
  const struct {
    const char* value;
    const char* reply;
    const char* stored;
  } cases[] = {
      {"2,p q,r", "OK", "2,p q,r"},
      {"2, \"p, q\" , r", "OK", "2,\"p, q\",r"},
      {"1,two  blanks", "OK", "1,two  blanks"},
      {"2,p,q,r", "Error: Value Not Set", "1,two  blanks"},
      {"3,p,q", "Error: Value Not Set", "1,two  blanks"},
      {"1,\"p, q", "Error: Value Not Set", "1,two  blanks"},
  };
  for (const auto& entry : cases) {
    SCOPED_TRACE(entry.value);
    EXPECT_EQ(Exchange(controller, std::string("RBOM SetProperty w.wrl W info ") + entry.value + " REOM"),
              std::string("RBOM") + entry.reply + "REOM\r\n");
    EXPECT_EQ(Exchange(controller, "RBOM GetProperty w.wrl W info REOM"),
              std::string("RBOM") + entry.stored + "REOM\r\n");
  }
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty w.wrl Holder unnamed REOM"), "RBOM[Sphere]REOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty w.wrl Holder named REOM"), "RBOMBallREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty w.wrl Holder none REOM"), "RBOMNULLREOM\r\n");
}

// A controller that sends a frame and hangs up at once gets no answer, so
// its frame must not run either.
TEST_F(CommandLinkTest, TheFramesOfAControllerThatHasGoneDoNotRun) {
  StartLink();
  {
    LinkController gone;
    ConnectController(gone);
    gone.Send("RBOM SetProperty a.wrl Box translation 9 9 9 REOM");
    AwaitBuffered("9 9 9 REOM");
  }
  LinkController next;
  EXPECT_TRUE(test::PumpUntil([&] { AnswerRemoteCommands(instance_); }, [&] { return next.Connect(port_); }));
  EXPECT_EQ(Exchange(next, "RBOM GetProperty a.wrl Box translation REOM"), "RBOM1.00,2.00,3.00REOM\r\n");
}

// A value longer than a reply may be is cut, so that the framed reply fills
// the buffer's size exactly and no more.
TEST_F(CommandLinkTest, ALongValueIsCutToTheReplysSize) {
  std::string keys;
  for (int i = 0; i < 3000; ++i) keys += "0.5 ";
  AddWorld("c.wrl", "c.wrl", ("#VRML V2.0 utf8\nDEF Curve ScalarInterpolator { key [ " + keys + "] }\n").c_str());
  StartLink();
  LinkController controller;
  ConnectController(controller);
  const std::string reply = Exchange(controller, "RBOM GetProperty c.wrl Curve key REOM");
  EXPECT_EQ(reply.size(), kCommandBufferSize);
  EXPECT_EQ(reply.substr(0, 15), "RBOM3000,0.500,");
  EXPECT_EQ(reply.substr(reply.size() - 6), "REOM\r\n");
}

// A controller that pipelines thousands of requests before it reads, and
// then reads slowly, gets every reply, whole and in order: what the socket
// does not take waits, and so do the requests behind it.
TEST_F(CommandLinkTest, APipeliningControllerThatReadsSlowlyGetsEveryReplyWholeAndInOrder) {
  std::string keys;
  for (int i = 0; i < 1000; ++i) keys += "0.5 ";
  AddWorld("c.wrl", "c.wrl", ("#VRML V2.0 utf8\nDEF Curve ScalarInterpolator { key [ " + keys + "] }\n").c_str());
  StartLink();
  LinkController controller;
  ASSERT_TRUE(controller.Connect(port_, 4096));
  const std::string curve = FrameReply(ExecuteRemoteCommand(instance_, "GetProperty c.wrl Curve key"));
  std::string requests, expected;
  for (int i = 0; i < 2000; ++i) {
    const std::string x = std::to_string(i);
    requests += "RBOM SetProperty a.wrl Box translation " + x + " 0 0 REOM";
    requests += "RBOM GetProperty a.wrl Box translation REOM RBOM GetProperty c.wrl Curve key REOM";
    expected += "RBOMOKREOM\r\nRBOM" + x + ".00,0.00,0.00REOM\r\n" + curve;
  }
  ASSERT_GT(expected.size(), size_t{8} << 20) << "more than the sockets hold";

  size_t sent = 0;
  auto step = [&](size_t readLimit) {
    sent += controller.SendSome(std::string_view(requests).substr(sent));
    AnswerRemoteCommands(instance_);
    controller.Read(readLimit);
  };
  // Everything the sockets take is sent before anything is read.
  for (int stalled = 0; sent < requests.size() && stalled < 200;) {
    const size_t before = sent;
    step(0);
    stalled = sent == before ? stalled + 1 : 0;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (controller.Received().size() < expected.size() && !controller.Closed() &&
         std::chrono::steady_clock::now() < deadline) {
    DispatchPendingMessages();
    step(64 * 1024);
  }
  EXPECT_EQ(sent, requests.size());
  ASSERT_EQ(controller.Received().size(), expected.size());
  EXPECT_TRUE(controller.Received() == expected) << "a reply was lost, cut or out of order";
}

// A reply never holds what would make the controller read it as two: the
// end marker, a CR or a LF, which a world's strings may hold.
TEST_F(CommandLinkTest, AResultThatWouldReadAsAnotherReplyIsAnsweredNotRepresentable) {
  AddWorld("c.wrl", "c.wrl",
           "#VRML V2.0 utf8\nDEF Words WorldInfo { title \"one REOM\r\nRBOM two\" info [ \"a\" \"b\nc\" ] }\n"
           "DEF Plain WorldInfo { title \"RBOM and REO M\" }\n");
  StartLink();
  LinkController controller;
  ConnectController(controller);
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty c.wrl Words title REOM RBOM GetSceneList REOM", 2),
            "RBOMError: Value Not RepresentableREOM\r\nRBOMa.wrl,b.wrl,c.wrlREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty c.wrl Words info REOM"),
            "RBOMError: Value Not RepresentableREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM GetProperty c.wrl Plain title REOM"), "RBOMRBOM and REO MREOM\r\n");
}

TEST_F(CommandLinkTest, FramesAreCutFromTheStreamWhereverItsReadsEnd) {
  StartLink();
  LinkController controller;
  ConnectController(controller);

  EXPECT_EQ(Exchange(controller, "noise RBOM GetSceneList REOM RBOM GetSceneURL a.wrl REOM", 2),
            "RBOMa.wrl,b.wrlREOM\r\nRBOMhttp://example.test/w/a.wrlREOM\r\n");

  controller.Send("RBOM GetSceneURL b.w");
  AwaitBuffered("b.w");
  controller.Read();
  EXPECT_EQ(controller.Received(), "") << "no reply before the frame is complete";
  controller.Send("rl RE");
  AwaitBuffered("rl RE");
  controller.Read();
  EXPECT_EQ(controller.Received(), "");
  controller.Send("OM");
  EXPECT_EQ(AwaitReplies(controller), "RBOMhttp://example.test/w/b.wrlREOM\r\n");
}

// A controller cannot jam the link: text that can never be part of a frame
// is dropped, however much of it comes.
TEST_F(CommandLinkTest, JunkBeyondTheBufferIsDroppedAndLaterFramesAreAnswered) {
  StartLink();
  LinkController controller;
  ConnectController(controller);
  EXPECT_EQ(Exchange(controller, std::string(kCommandBufferSize + 1000, 'x') + "RBOM GetSceneList REOM"),
            "RBOMa.wrl,b.wrlREOM\r\n");
  EXPECT_EQ(Exchange(controller, "RBOM" + std::string(3 * kCommandBufferSize, 'y') + " RBOM GetSceneList REOM"),
            "RBOMa.wrl,b.wrlREOM\r\n")
      << "a frame too long for the buffer is given up";
  // A start marker split between two reads still opens a frame; the junk
  // before it goes.
  controller.Send(std::string(100, 'z') + "RB");
  AwaitBuffered("RB");
  EXPECT_EQ(instance_.commands.Text(), "RB");
  EXPECT_EQ(Exchange(controller, "OM GetSceneList REOM"), "RBOMa.wrl,b.wrlREOM\r\n");
}

// One controller at a time: the next one gets in once the first has been
// silent for the idle time, and starts with an empty buffer, although both
// come from the same address.
TEST_F(CommandLinkTest, ASecondControllerIsServedOnceTheFirstHasGoneIdle) {
  ManualClock clock;
  constexpr int32_t kIdleSeconds = 5;
  StartLink(kIdleSeconds);
  LinkController first;
  ConnectController(first);
  EXPECT_EQ(Exchange(first, "RBOM GetSceneList REOM"), "RBOMa.wrl,b.wrlREOM\r\n");
  first.Send("RBOM GetSce");
  AwaitBuffered("GetSce");

  LinkController second;
  EXPECT_FALSE(second.Connect(port_)) << "the link serves one controller at a time";

  clock.Advance(kIdleSeconds * 1000 - 1);
  AnswerRemoteCommands(instance_);
  EXPECT_FALSE(second.Connect(port_));
  clock.Advance(1);
  EXPECT_TRUE(test::PumpUntil([&] { AnswerRemoteCommands(instance_); }, [&] { return second.Connect(port_); }));
  EXPECT_TRUE(test::PumpUntil([&] { first.Read(); }, [&] { return first.Closed(); }));

  EXPECT_EQ(Exchange(second, "RBOM GetSceneURL a.wrl REOM"), "RBOMhttp://example.test/w/a.wrlREOM\r\n");
}

// Only a completed frame, or text the buffer keeps, shows that a controller
// is there: one junk byte now and then does not hold the link.
TEST_F(CommandLinkTest, AControllerThatSendsOnlyJunkIsDroppedOnceIdle) {
  ManualClock clock;
  constexpr int32_t kIdleSeconds = 5;
  StartLink(kIdleSeconds);
  LinkController first;
  ConnectController(first);
  constexpr uint64_t kWithinIdle = kIdleSeconds * 1000 - 1000;
  // A frame sent a piece at a time, each within the idle time, is life.
  clock.Advance(kWithinIdle);
  first.Send("RBOM Get");
  AwaitBuffered("RBOM Get");
  clock.Advance(kWithinIdle);
  first.Send("Scene");
  AwaitBuffered("GetScene");
  clock.Advance(kWithinIdle);
  EXPECT_EQ(Exchange(first, "List REOM"), "RBOMa.wrl,b.wrlREOM\r\n");
  for (int i = 0; i < 3 && !first.Closed(); ++i) {
    clock.Advance(kWithinIdle);
    first.Send("x");
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while (std::chrono::steady_clock::now() < end) {
      DispatchPendingMessages();
      AnswerRemoteCommands(instance_);
    }
    first.Read();
  }
  EXPECT_TRUE(first.Closed()) << "junk is no sign of life";
  LinkController second;
  EXPECT_TRUE(test::PumpUntil([&] { AnswerRemoteCommands(instance_); }, [&] { return second.Connect(port_); }));
  EXPECT_EQ(Exchange(second, "RBOM GetSceneURL a.wrl REOM"), "RBOMhttp://example.test/w/a.wrlREOM\r\n");
}

// Replies wait for a controller that does not read only up to their bound;
// beyond it the controller is dropped, and the link listens for the next.
TEST_F(CommandLinkTest, AControllerWhoseRepliesPassTheBoundIsDropped) {
  StartLink();
  LinkController first;
  ASSERT_TRUE(first.Connect(port_, 4096));
  EXPECT_EQ(Exchange(first, "RBOM GetSceneList REOM"), "RBOMa.wrl,b.wrlREOM\r\n");
  const std::string reply = FrameReply(std::string(kCommandBufferSize, 'r'));
  LinkController second;
  bool dropped = false;
  for (int sends = 0; sends < 10000 && !dropped; ++sends) {
    instance_.commandLink->Send(reply);
    DispatchPendingMessages();
    instance_.commandLink->Receive(instance_.commands);
    dropped = second.Connect(port_);
  }
  EXPECT_TRUE(dropped);
  EXPECT_EQ(Exchange(second, "RBOM GetSceneURL b.wrl REOM"), "RBOMhttp://example.test/w/b.wrlREOM\r\n");
}

TEST_F(CommandLinkTest, AControllerThatHangsUpIsFollowedByTheNextOnTheSamePort) {
  StartLink();
  {
    LinkController first;
    ConnectController(first);
    first.Send("RBOM GetSceneURL a");
    AwaitBuffered("GetSceneURL a");
  }
  LinkController second;
  EXPECT_TRUE(test::PumpUntil([&] { AnswerRemoteCommands(instance_); }, [&] { return second.Connect(port_); }));
  EXPECT_EQ(Exchange(second, ".wrl REOM RBOM GetSceneURL b.wrl REOM"), "RBOMhttp://example.test/w/b.wrlREOM\r\n")
      << "nothing of the first controller's text is left";
}

TEST_F(CommandLinkTest, ListensOnTheLoopbackAddressByDefault) {
  CommandLinkSettings settings = DefaultCommandLinkSettings();
  EXPECT_EQ(settings.listenAddress, kDefaultListenAddress);
  settings.port = 0;
  CCommandLink link(settings);
  ASSERT_NE(link.Port(), 0);
  const std::vector<test::ListeningSocket> sockets = test::ListeningSockets();
  EXPECT_NE(std::find(sockets.begin(), sockets.end(), test::ListeningSocket{"127.0.0.1", link.Port()}), sockets.end());
  EXPECT_TRUE(IsWindowClassRegistered(kListenWindowClass));
}

TEST(CommandLinkDefaults, EnvironmentMovesTheServicesAndBadValuesKeepTheProductDefaults) {
  const NetworkSettings product = NetworkSettingsFrom([](const char*) -> const char* { return nullptr; });
  EXPECT_EQ(product.listenAddress, "127.0.0.1");
  EXPECT_EQ(product.commandPort, 7325);
  EXPECT_EQ(product.chatPort, 6667);

  const NetworkSettings moved = NetworkSettingsFrom([](const char* name) -> const char* {
    const std::string_view variable(name);
    if (variable == "VANTESSEL_LISTEN_ADDRESS") return "127.0.0.2";
    if (variable == "VANTESSEL_COMMAND_PORT") return "0";
    return "16667";
  });
  EXPECT_EQ(moved.listenAddress, "127.0.0.2");
  EXPECT_EQ(moved.commandPort, 0);
  EXPECT_EQ(moved.chatPort, 16667);

  for (const char* bad : {"", "70000", "12ab", "-1", " 80"}) {
    static const char* current = nullptr;
    current = bad;
    const NetworkSettings settings = NetworkSettingsFrom([](const char* name) -> const char* {
      return std::string_view(name) == "VANTESSEL_LISTEN_ADDRESS" ? "" : current;
    });
    EXPECT_EQ(settings.commandPort, 7325) << '"' << bad << '"';
    EXPECT_EQ(settings.listenAddress, "127.0.0.1");
  }
}

}  // namespace
}  // namespace vx
