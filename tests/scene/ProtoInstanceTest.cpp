#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/ReadSession.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/SceneWriter.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"
#include "tests/scene/TestNodes.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::CProbeNode;

constexpr int kPoke = 0;  // the probe's eventIn "poke"

class CacheFolderService : public IDownloadService {
 public:
  explicit CacheFolderService(std::string folder) : folder_(std::move(folder)) {}
  std::string GetCacheDirectory() override { return folder_; }

 private:
  std::string folder_;
};

class ProtoInstanceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cache_folder_ = std::make_unique<test::TemporaryFolder>("vx-proto-cache-");
    cache_ = cache_folder_->Path();
    service_ = std::make_unique<CacheFolderService>(cache_.string() + "/");
    SetDownloadService(service_.get());
  }
  void TearDown() override {
    world_.reset();
    SetDownloadService(nullptr);
  }

  bool Read(const std::string& body) { return ReadText("#VRML V2.0 utf8\n" + body); }
  bool ReadText(const std::string& text) {
    world_ = std::make_unique<CBrowser>();
    auto stream = CSceneInputStream::FromText(text);
    CSceneReader reader(stream, classes_);
    const bool ok = reader.ReadScene(&world_->GetScene());
    message_ = reader.GetMessage();
    problem_ = reader.GetProblem();
    return ok;
  }

  CProtoInstanceNode& Instance(const char* defName) {
    CNode* node = world_->FindNode(defName);
    EXPECT_NE(node, nullptr) << defName;
    EXPECT_EQ(node->GetTypeId(), NodeTypeProtoInstance);
    return static_cast<CProtoInstanceNode&>(*node);
  }
  std::string Written() const {
    CSceneWriter writer;
    writer.WriteScene(&world_->GetScene(), false);
    return writer.GetText();
  }
  static CProbeNode* Resolved(CNode& instance) { return static_cast<CProbeNode*>(CNodeRef(&instance).Resolve()); }
  static CProbeNode* BodyNode(CProtoInstanceNode& instance, const char* defName) {
    return static_cast<CProbeNode*>(instance.GetBody()->FindNode(defName));
  }

  static constexpr NodeRegistration kTestClasses[] = {test::RegisterTestNodes};
  NodeClassTable classes_ = MakeNodeClassTable(kTestClasses);
  std::unique_ptr<test::TemporaryFolder> cache_folder_;
  fs::path cache_;
  std::unique_ptr<CacheFolderService> service_;
  std::unique_ptr<CBrowser> world_;
  std::string message_;
  std::string problem_;
};

TEST_F(ProtoInstanceTest, FieldsTakeDefaultsOrFileValuesAndFollowLaterChanges) {
  ASSERT_TRUE(Read(R"(
    PROTO P [ field SFVec3f pos 4 5 6  field SFFloat f 0.5  field SFString s "text" ] {
      Probe { position IS pos  fraction IS f  label IS s }
    }
    PROTO Mismatch [ field SFString s "x" ] { Probe { fraction IS s } }
    DEF SET P { f 0.75 }
    DEF UNSET P { }
    DEF BAD Mismatch { }
  )")) << message_;

  CProbeNode* set = Resolved(Instance("SET"));
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(set->fraction, 0.75f) << "the file's value reaches the body";
  EXPECT_EQ(set->position.y, 5.0f) << "an unset field takes the declared default";
  EXPECT_STREQ(set->label.text, "text");
  CProbeNode* unset = Resolved(Instance("UNSET"));
  ASSERT_NE(unset, nullptr);
  EXPECT_EQ(unset->fraction, 0.5f);
  EXPECT_EQ(*static_cast<float*>(Instance("UNSET").GetFieldByName("f")), 0.5f);

  const SFVec3f moved{7, 8, 9};
  Instance("UNSET").SetField("pos", &moved);
  EXPECT_EQ(unset->position.z, 9.0f);
  EXPECT_EQ(set->position.z, 6.0f) << "instances do not share their bodies";

  EXPECT_EQ(Resolved(Instance("BAD"))->fraction, 0.25f) << "a field of another type is not connected";
  EXPECT_EQ(problem_, "PROTO 'Mismatch': fraction IS s: the two differ in type or direction.");
}

TEST_F(ProtoInstanceTest, AFieldMayBeJoinedToAnEventAndAnUndeclaredNameIsLeftOut) {
  ASSERT_TRUE(Read(R"(
    PROTO K [ eventIn SFFloat setF  eventOut SFVec3f moved ] {
      DEF IN Probe { label IS nothing  fraction IS setF  position IS moved }
    }
    DEF I K { }
    DEF OUT Probe { }
    ROUTE I.moved TO OUT.set_position
  )")) << message_;
  EXPECT_EQ(problem_, "PROTO 'K': label IS nothing: the interface declares no such field or event.");
  CProtoInstanceNode& instance = Instance("I");
  CProbeNode* inner = BodyNode(instance, "IN");
  ASSERT_NE(inner, nullptr);
  EXPECT_STREQ(inner->label.text, "probe") << "the node keeps its own value";
  EXPECT_LT(instance.FindField("nothing"), 0) << "and the instance declares nothing";

  const float set = 0.75f;
  ASSERT_EQ(instance.ReceiveEvent("setF", &set), 0);
  EXPECT_EQ(inner->fraction, 0.75f) << "an eventIn sets the field";
  const SFVec3f moved{7, 8, 9};
  inner->SetField("position", &moved);
  EXPECT_EQ(static_cast<CProbeNode*>(world_->FindNode("OUT"))->position.y, 8.0f) << "its changes leave by an eventOut";
}

TEST_F(ProtoInstanceTest, EventsCrossTheInstanceInBothDirectionsAndRoutesReachIt) {
  ASSERT_TRUE(Read(R"(
    PROTO E [ eventIn SFFloat kick  eventOut SFFloat kicked ] { DEF INNER Probe { poke IS kick  poked IS kicked } }
    DEF INST E { }
    DEF OUT Probe { }
    DEF IN Probe { }
    ROUTE INST.kicked TO OUT.poke
    ROUTE IN.poked TO INST.kick
  )")) << message_;
  CProtoInstanceNode& instance = Instance("INST");
  CProbeNode* inner = BodyNode(instance, "INNER");
  auto* out = static_cast<CProbeNode*>(world_->FindNode("OUT"));
  auto* in = static_cast<CProbeNode*>(world_->FindNode("IN"));
  ASSERT_NE(inner, nullptr);

  const float value = 0.5f;
  ASSERT_EQ(instance.ReceiveEvent("kick", &value), 0);
  ASSERT_EQ(inner->received.size(), 1u) << "an event to the instance enters the body";
  EXPECT_EQ(inner->received[0].index, kPoke);

  in->SendEvent("poked", &value);
  EXPECT_EQ(inner->received.size(), 2u) << "a ROUTE to the instance reaches it, and through it the body";

  inner->SendEvent("poked", &value);
  ASSERT_EQ(out->received.size(), 1u) << "an event of the body leaves the instance";
  EXPECT_EQ(out->received[0].index, kPoke);
}

TEST_F(ProtoInstanceTest, BodyRoutesFireOnceAndTheFirstTopNodeStandsForTheInstance) {
  ASSERT_TRUE(Read(R"(
    PROTO Two [ ] { DEF A Probe { } DEF B Probe { } ROUTE A.poked TO B.poke }
    DEF TWO Two { }
  )")) << message_;
  CProtoInstanceNode& instance = Instance("TWO");
  EXPECT_EQ(instance.GetPrimaryNode(), BodyNode(instance, "A"));
  EXPECT_EQ(CNodeRef(&instance).Resolve(), BodyNode(instance, "A"));
  const float value = 1.0f;
  BodyNode(instance, "A")->SendEvent("poked", &value);
  EXPECT_EQ(BodyNode(instance, "B")->received.size(), 1u);
}

TEST_F(ProtoInstanceTest, NestedDeclarationsStayInTheirBodyAndOuterOnesAreSeen) {
  std::string scene = R"(
    PROTO Leaf [ field SFFloat g 0.25 ] { Probe { fraction IS g } }
    PROTO Outer [ field SFFloat f 0.5 ] {
      PROTO Inner [ field SFFloat g 0.1 ] { Leaf { g IS g } }
      Inner { g IS f }
    }
  )";
  // More instances than a world holds declarations.
  for (int i = 0; i < kMaxProtoDeclarations + 20; ++i) scene += "Outer { f 0.75 }\n";
  scene += "DEF LAST Outer { }\n";
  ASSERT_TRUE(Read(scene)) << message_;
  EXPECT_EQ(world_->GetScene().GetProtoCount(), 2);

  CProbeNode* leaf = Resolved(Instance("LAST"));
  ASSERT_NE(leaf, nullptr) << "nested instances unwrap to the innermost node";
  EXPECT_EQ(leaf->fraction, 0.5f);
  auto* first = static_cast<CProtoInstanceNode*>(world_->GetRoot()->children[0].GetNode());
  EXPECT_EQ(Resolved(*first)->fraction, 0.75f);
  EXPECT_EQ(first->GetBody()->GetProtoCount(), 1) << "Inner belongs to the body alone";
}

TEST_F(ProtoInstanceTest, RecursiveUseIsRefusedWithAClearError) {
  EXPECT_FALSE(Read("PROTO Loop [ ] { Group { children [ Loop { } ] } } Loop { }"));
  EXPECT_EQ(message_, "PROTO 'Loop' is used inside its own body.");

  EXPECT_FALSE(Read("PROTO A [ ] { B { } } PROTO B [ ] { A { } } A { }"));
  EXPECT_EQ(message_, "PROTO 'A' is used inside its own body.");

  ASSERT_TRUE(Read("PROTO Fine [ ] { Probe { } } Fine { } Fine { }")) << "the refusal leaves nothing behind";

  EXPECT_FALSE(Read("PROTO Own [ field SFNode n Own { } ] { Group { } }")) << "nor inside its own defaults";
  EXPECT_EQ(message_, "PROTO 'Own' is used inside its own body.");
}

TEST_F(ProtoInstanceTest, InstancesReadTheBodyTheDeclarationKeepsAndNoFileIsWritten) {
  ASSERT_TRUE(Read("PROTO P [ field SFFloat f 0.5 ] { Probe { fraction IS f } } DEF A P { }")) << message_;
  EXPECT_EQ(world_->GetScene().GetProto(0)->GetBodyText(), " Probe { fraction IS f } ");
  CNodeRef later = NodeFactory("P", {.scene = &world_->GetScene()}, classes_);
  ASSERT_NE(Resolved(*later.GetNode()), nullptr);
  EXPECT_EQ(Resolved(*later.GetNode())->fraction, 0.5f);
  EXPECT_TRUE(fs::is_empty(cache_)) << "nothing in the cache folder";
}

TEST_F(ProtoInstanceTest, TheFactoryTellsABadBodyFromARefusedOne) {
  ASSERT_TRUE(Read("PROTO Bad [ ] { Nothing { } } PROTO Loop [ ] { Loop { } } DEF B Bad { }")) << message_;
  EXPECT_FALSE(Instance("B").IsInstantiated());
  const MadeNode bad = MakeNodeOfType("Bad", {.scene = &world_->GetScene()}, classes_);
  ASSERT_TRUE(bad.node);
  EXPECT_FALSE(bad.refused);
  EXPECT_EQ(bad.message, "Unknown node type 'Nothing'.");
  const MadeNode loop = MakeNodeOfType("Loop", {.scene = &world_->GetScene()}, classes_);
  EXPECT_TRUE(loop.refused);
  EXPECT_EQ(loop.message, "PROTO 'Loop' is used inside its own body.");
}

TEST_F(ProtoInstanceTest, AnExposedFieldCarriesChangesInsideTheBodyOut) {
  ASSERT_TRUE(Read(R"(
    PROTO P [ exposedField SFFloat f 0.5  field SFFloat g 0.25 ] { DEF IN Probe { fraction IS f  keys IS g } }
    DEF I P { }
    DEF OUT Probe { }
    ROUTE I.f_changed TO OUT.set_fraction
  )")) << message_;
  CProtoInstanceNode& instance = Instance("I");
  CProbeNode* inner = BodyNode(instance, "IN");
  ASSERT_NE(inner, nullptr);
  const float changed = 0.75f;
  inner->SetField("fraction", &changed);
  EXPECT_EQ(*static_cast<float*>(instance.GetFieldByName("f")), 0.75f) << "the instance takes the body's change";
  EXPECT_EQ(static_cast<CProbeNode*>(world_->FindNode("OUT"))->fraction, 0.75f) << "and sends it on";
  const float inward = 0.125f;
  instance.SetField("f", &inward);
  EXPECT_EQ(inner->fraction, 0.125f) << "inward still works, and nothing loops";
  const std::string written = Written();
  EXPECT_NE(written.find("\texposedField SFFloat f 0.5\n"), std::string::npos) << written;
  EXPECT_NE(written.find("\tfield SFFloat g 0.25\n"), std::string::npos) << written;
}

TEST_F(ProtoInstanceTest, NodeDefaultsAreCopiedForEachInstance) {
  ASSERT_TRUE(Read(R"(
    PROTO P [ field SFNode n Probe { fraction 0.5 }  field MFNode m [ Probe { } Probe { } ] ] { Group { children IS m } }
    DEF A P { }
    DEF B P { }
  )")) << message_;
  auto* a = static_cast<CNodeRef*>(Instance("A").GetFieldByName("n"));
  auto* b = static_cast<CNodeRef*>(Instance("B").GetFieldByName("n"));
  ASSERT_TRUE(a->GetNode() && b->GetNode());
  EXPECT_NE(a->GetNode(), b->GetNode()) << "each instance has a node of its own";
  EXPECT_EQ(static_cast<CProbeNode*>(a->GetNode())->fraction, 0.5f);
  const auto* listA = static_cast<MFNode*>(Instance("A").GetFieldByName("m"));
  const auto* listB = static_cast<MFNode*>(Instance("B").GetFieldByName("m"));
  ASSERT_EQ(listA->count, 2);
  EXPECT_NE((*listA)[0].GetNode(), (*listB)[0].GetNode());
  EXPECT_FALSE(Instance("A").IsFieldSet(Instance("A").FindField("n"))) << "still the default, for the writer";
}

TEST_F(ProtoInstanceTest, AScriptInABodyDeclaresEventsOfItsOwnAndABadBodyIsAProblem) {
  ASSERT_TRUE(Read(R"(
    PROTO S [ field SFFloat f 0.5 ] { Script { eventIn SFFloat tick  eventOut SFFloat tock  field SFFloat x IS f } }
    DEF I S { }
  )")) << message_;
  EXPECT_TRUE(Instance("I").IsInstantiated()) << Instance("I").GetMessage();

  ASSERT_TRUE(Read("PROTO Bad [ ] { Nothing { } } DEF B Bad { } DEF C Bad { }")) << message_;
  EXPECT_EQ(problem_, "PROTO 'Bad' could not be instantiated: Unknown node type 'Nothing'.");
  ASSERT_TRUE(Read("DEF M Probe { } PROTO Outside [ ] { Group { children USE M } } Outside { }")) << message_;
  EXPECT_EQ(problem_, "PROTO 'Outside' could not be instantiated: Tried to USE unknown node: M")
      << "a body sees only its own names";
}

TEST_F(ProtoInstanceTest, AnExternProtoTakesTheNamedPrototypeNotAMentionInACommentOrString) {
  const fs::path library = cache_ / "mentions.wrl";
  std::ofstream(library) << "#VRML V2.0 utf8\n"
                            "# PROTO Ball [ field SFFloat f 0.1 ] { Probe { } }\n"
                            "WorldInfo { info \"PROTO Ball [ field SFFloat f 0.2 ]\" }\n"
                            "PROTO Ball [ field SFFloat f 0.5 ] { Probe { fraction IS f } }\n";
  ASSERT_TRUE(Read("EXTERNPROTO Ball [ field SFFloat f ] \"" + library.string() + "#Ball\"\nDEF B Ball { }")) << message_;
  ASSERT_NE(Resolved(Instance("B")), nullptr) << Instance("B").GetMessage();
  EXPECT_EQ(Resolved(Instance("B"))->fraction, 0.5f);
}

TEST_F(ProtoInstanceTest, ExternProtoReadsTheNamedPrototypeOfALocalFile) {
  const fs::path library = cache_ / "library.wrl";
  std::ofstream(library) << "#VRML V2.0 utf8\n"
                            "# [First] and Second are the two prototypes\n"
                            "PROTO First [ field SFFloat x 0.1 ] { Group { } }\n"
                            "PROTO Second [ field SFFloat f 0.5 eventIn SFFloat kick field SFVec3f extra 1 1 1 ] {\n"
                            "  Probe { fraction IS f poke IS kick position IS extra }\n"
                            "}\n";
  ASSERT_TRUE(Read("EXTERNPROTO Second [ field SFFloat f eventIn SFFloat kick ] [ \"" + (cache_ / "missing.wrl").string() +
                   "#Second\" \"" + library.string() + "#Second\" ]\nDEF S Second { }\n"
                   "EXTERNPROTO Any [ ] \"" + library.string() + "\"\nDEF ANY Any { }"))
      << message_;
  EXPECT_EQ(CNodeRef(&Instance("ANY")).Resolve()->GetTypeId(), NodeTypeGroup) << "the file's first PROTO";
  EXPECT_EQ(Instance("ANY").GetDeclaration()->GetFieldType("x"), FieldTypeSFFloat);
  CProtoInstanceNode& instance = Instance("S");
  ASSERT_TRUE(instance.IsInstantiated()) << "the missing first URL gives way to the second at once";

  CProbeNode* probe = Resolved(instance);
  EXPECT_EQ(probe->fraction, 0.5f) << "the fetched default reaches the instance";
  EXPECT_EQ(probe->position.x, 1.0f);
  CProtoDeclaration& declaration = *instance.GetDeclaration();
  EXPECT_EQ(declaration.GetFieldTable()->eventIns.size(), 1u) << "a member already declared is not declared again";
  const std::string first = declaration.GetBodyText();
  fs::remove(library);
  CReadSession session;
  ASSERT_TRUE(declaration.FetchBody(session)) << "a body fetched is not fetched again";
  EXPECT_EQ(declaration.GetBodyText(), first);
}

TEST_F(ProtoInstanceTest, ALibraryDefaultWithARouteInsideReadsInAScopeOfItsOwn) {
  const fs::path library = cache_ / "routes.wrl";
  std::ofstream(library) << "#VRML V2.0 utf8\n"
                            "PROTO Ball [ field SFNode inside Group { children [ DEF T Transform { } ]\n"
                            "  ROUTE T.translation_changed TO T.set_translation } field SFFloat f 0.5 ]\n"
                            "{ Probe { fraction IS f } }\n";
  ASSERT_TRUE(Read("EXTERNPROTO Ball [ field SFNode inside field SFFloat f ] \"" + library.string() +
                   "#Ball\"\nDEF B Ball { }"))
      << message_;
  ASSERT_TRUE(Instance("B").IsInstantiated()) << Instance("B").GetMessage();
  EXPECT_EQ(Resolved(Instance("B"))->fraction, 0.5f);
  EXPECT_TRUE(world_->GetScene().GetPendingRoutes().empty()) << "the library's ROUTE stays in the library";
}

TEST_F(ProtoInstanceTest, ALibraryDefaultMayUseANodeTheLibraryDefines) {
  const fs::path library = cache_ / "defs.wrl";
  std::ofstream(library) << "#VRML V2.0 utf8\n"
                            "DEF P Transform { translation 1 2 3 }\n"
                            "EXTERNPROTO Self [ ] \"" + library.string() + "#Ball\"\n"
                            "Self { }\n"
                            "PROTO Ball [ field MFNode inner [ USE P ] ] { Group { children IS inner } }\n";
  ASSERT_TRUE(Read("EXTERNPROTO Ball [ field MFNode inner ] \"" + library.string() + "#Ball\"\nDEF B Ball { }"))
      << message_;
  EXPECT_EQ(problem_, "");
  ASSERT_TRUE(Instance("B").IsInstantiated()) << Instance("B").GetMessage();
  const auto& inner = *static_cast<MFNode*>(Instance("B").GetFieldByName("inner"));
  ASSERT_EQ(inner.count, 1) << "the library's own Transform";
  EXPECT_EQ(static_cast<SFVec3f*>(inner[0]->GetFieldByName("translation"))->y, 2.0f);
}

TEST_F(ProtoInstanceTest, ExternProtoWithoutAUsableUrlStaysEmpty) {
  ASSERT_TRUE(Read("EXTERNPROTO Gone [ field SFFloat f ] [ \"" + (cache_ / "none.wrl").string() +
                   "\" \"#Gone\" ]\nDEF G Gone { }"))
      << message_;
  CProtoInstanceNode& instance = Instance("G");
  for (int i = 0; i < 4; ++i) instance.Traverse(RenderPass::Frame, nullptr);
  EXPECT_FALSE(instance.IsInstantiated());
  EXPECT_EQ(CNodeRef(&instance).Resolve(), nullptr);
  CReadSession session;
  EXPECT_FALSE(instance.GetDeclaration()->FetchBody(session));
  EXPECT_FALSE(instance.GetDeclaration()->HasBody());
}

TEST_F(ProtoInstanceTest, LongInterfaceNamesCarryEventsBothWays) {
  const std::string in(kMaxDeclaredNameLength, 'i');
  const std::string out(kMaxDeclaredNameLength, 'o');
  ASSERT_TRUE(Read("PROTO L [ eventIn SFFloat " + in + " eventOut SFFloat " + out + " ] {\n"
                   "  DEF INNER Probe { poke IS " + in + " poked IS " + out + " }\n"
                   "}\n"
                   "DEF INST L { }  DEF OUT Probe { }  ROUTE INST." + out + " TO OUT.poke"))
      << message_;
  CProtoInstanceNode& instance = Instance("INST");
  const float value = 0.5f;
  ASSERT_EQ(instance.ReceiveEvent(in, &value), 0);
  EXPECT_EQ(BodyNode(instance, "INNER")->received.size(), 1u);
  BodyNode(instance, "INNER")->SendEvent("poked", &value);
  EXPECT_EQ(static_cast<CProbeNode*>(world_->FindNode("OUT"))->received.size(), 1u);
}

TEST_F(ProtoInstanceTest, ClearingWrittenMarksReachesTheInstanceItself) {
  ASSERT_TRUE(Read("PROTO P [ ] { Probe { } } DEF G Group { children [ DEF I P { } ] }")) << message_;
  CProtoInstanceNode& instance = Instance("I");
  instance.SetWrittenMark(true);
  world_->GetRoot()->ClearWrittenMarks();
  EXPECT_FALSE(instance.GetWrittenMark());
}

// The declarations a scene uses are written before their first use, so that
// the saved scene reloads to the same structure, and saves to the same text.
TEST_F(ProtoInstanceTest, ASavedSceneWithDeclarationsReloadsToTheSameScene) {
  const fs::path library = cache_ / "library.wrl";
  std::ofstream(library) << "#VRML V2.0 utf8\n"
                            "PROTO Far [ field SFFloat f 0.5 eventIn SFFloat kick ] { Probe { fraction IS f poke IS kick } }\n";
  ASSERT_TRUE(Read(R"(
    PROTO Leaf [ field SFFloat g 0.25 ] { Probe { fraction IS g } }
    PROTO Unused [ ] { Probe { } }
    PROTO Outer [ field SFFloat f 0.5  field SFString s "a } \" {"  eventIn SFFloat kick  eventOut SFFloat kicked ] {
      # a comment { with a brace
      PROTO Inner [ field SFFloat g 0.1 ] { Leaf { g IS g } }
      DEF IN Probe { label IS s  names [ "{" "}" ]  poke IS kick  poked IS kicked  children Inner { g IS f } }
    }
    EXTERNPROTO Far [ field SFFloat f ] ")" + library.string() + R"(#Far"
    DEF A Outer { f 0.75 }
    DEF B Group { children [ DEF F Far { } Outer { } ] }
    DEF P Probe { }
    ROUTE P.poked TO A.kick
    ROUTE A.kicked TO P.poke
  )")) << message_;

  const std::string first = Written();
  const size_t leaf = first.find("\nPROTO Leaf [\n\tfield SFFloat g 0.25\n] {");
  const size_t outer = first.find("\nPROTO Outer [\n\tfield SFFloat f 0.5\n\tfield SFString s \"a } \\\" {\"\n"
                                  "\teventIn SFFloat kick\n\teventOut SFFloat kicked\n] {");
  const size_t far = first.find("\nEXTERNPROTO Far [\n\tfield SFFloat f\n\teventIn SFFloat kick\n] \"" +
                                library.string() + "#Far\"\nDEF B Group {");
  ASSERT_NE(leaf, std::string::npos) << first;
  ASSERT_NE(outer, std::string::npos) << first;
  ASSERT_NE(far, std::string::npos) << first;
  EXPECT_LT(leaf, outer) << "a declaration that a body uses comes first";
  EXPECT_LT(outer, first.find("\nDEF A Outer {"));
  EXPECT_EQ(first.find("PROTO Unused"), std::string::npos) << "unused declarations are not written";
  EXPECT_EQ(first.find("PROTO Outer", outer + 2), std::string::npos) << "each declaration once";
  EXPECT_NE(first.find("PROTO Inner [ field SFFloat g 0.1 ] { Leaf { g IS g } }", outer), std::string::npos)
      << "a nested declaration stays inside its body";

  ASSERT_TRUE(ReadText(first)) << message_ << "\n" << first;
  EXPECT_EQ(Written(), first);
  EXPECT_EQ(world_->GetScene().GetProtoCount(), 3);
  CProtoInstanceNode& a = Instance("A");
  CProbeNode* body = Resolved(a);
  ASSERT_NE(body, nullptr) << a.GetMessage();
  EXPECT_STREQ(body->label.text, "a } \" {");
  ASSERT_EQ(body->names.count, 2);
  EXPECT_STREQ(body->names[1].text, "}");
  ASSERT_EQ(body->children.count, 1);
  EXPECT_EQ(static_cast<CProbeNode*>(body->children[0].Resolve())->fraction, 0.75f) << "through Inner and Leaf";
  EXPECT_EQ(Resolved(Instance("F"))->fraction, 0.5f) << "the EXTERNPROTO is fetched again";

  auto* probe = static_cast<CProbeNode*>(world_->FindNode("P"));
  const float value = 1.0f;
  probe->SendEvent("poked", &value);
  EXPECT_EQ(BodyNode(a, "IN")->received.size(), 1u) << "ROUTEs to and from instances are written";
  BodyNode(a, "IN")->SendEvent("poked", &value);
  EXPECT_EQ(probe->received.size(), 1u);
}

}  // namespace
}  // namespace vx
