#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <fstream>
#include <sstream>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"
#include "engine/world/nodes/ScriptNode.h"
#include "tests/scene/TestNodes.h"
#include "tests/platform/TestEnvironment.h"

namespace vx {
namespace {

namespace fs = std::filesystem;
using test::CProbeNode;
using test::Probe;

const std::string kHeader = "#VRML V2.0 utf8\n";

class FakeDownloadService : public IDownloadService {
 public:
  explicit FakeDownloadService(std::string folder) : folder_(std::move(folder)) {}
  std::string GetCacheDirectory() override { return folder_; }

 private:
  std::string folder_;
};

class SceneReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cache_folder_ = std::make_unique<test::TemporaryFolder>("vx-reader-cache-");
    cache_ = cache_folder_->Path();
    service_ = std::make_unique<FakeDownloadService>(cache_.string() + "/");
    SetDownloadService(service_.get());
  }
  void TearDown() override { SetDownloadService(nullptr); }

  // Every read goes into a new world.
  bool Read(const std::string& text) {
    NewWorld();
    auto stream = CSceneInputStream::FromText(text);
    CSceneReader reader(stream, classes_);
    const bool ok = reader.ReadScene(&world_->GetScene());
    message_ = reader.GetMessage();
    errorLine_ = reader.GetErrorLine();
    problem_ = reader.GetProblem();
    vistaVersion_ = reader.GetVistaVersion();
    return ok;
  }
  bool ReadBody(const std::string& body) { return Read(kHeader + body); }
  bool ReadDataFile(const std::string& name) {
    std::ifstream file(std::string(VX_TEST_DATA_DIR) + "/scene/" + name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return Read(text.str());
  }

  MFNode& RootChildren() { return world_->GetRoot()->children; }
  CNode* Top(int index) { return RootChildren()[index].GetNode(); }
  template <typename T>
  T& Field(CNode* node, const char* name) {
    void* value = node->GetFieldByName(name);
    EXPECT_NE(value, nullptr) << name;
    return *static_cast<T*>(value);
  }

  static constexpr NodeRegistration kTestClasses[] = {test::RegisterTestNodes};
  NodeClassTable classes_ = MakeNodeClassTable(kTestClasses);
  void NewWorld() { world_ = std::make_unique<CBrowser>(); }
  std::unique_ptr<CBrowser> world_ = std::make_unique<CBrowser>();
  std::string message_;
  int errorLine_ = 0;
  std::string problem_;
  float vistaVersion_ = 0;
  std::unique_ptr<test::TemporaryFolder> cache_folder_;
  fs::path cache_;
  std::unique_ptr<FakeDownloadService> service_;
};

TEST_F(SceneReaderTest, EveryFailureGivesItsMessage) {
  const std::pair<const char*, const char*> cases[] = {
      {"not_vrml2.wrl", "This is not a VRML 2.0 file."},
      {"unknown_type.wrl", "Unknown node type 'Foo'."},
      {"missing_brace.wrl", "Expected '{' in Group node."},
      {"unknown_field.wrl", "Error on field 'foo' in Group node."},
      {"use_unknown.wrl", "Tried to USE unknown node: B"},
      {"eof_in_node.wrl", "EOF while parsing node."},
      {"def_without_name.wrl", "Expected DEF, USE, or node type. Got: DEF"},
      {"bad_route.wrl", "Error parsing a ROUTE."},
      {"bad_proto.wrl", "Bad Proto node."},
      {"bad_script_field.wrl", "Invalid Script field specification."},
      {"bad_script_eventin.wrl", "Invalid Script eventIn specification."},
      {"bad_script_eventout.wrl", "Invalid Script eventOut specification."},
      {"bad_proto_field.wrl", "Invalid Proto field specification."},
      {"bad_proto_eventin.wrl", "Invalid Proto eventIn specification."},
      {"bad_proto_eventout.wrl", "Invalid Proto eventOut specification."},
      {"use_inside_own_body.wrl", "Tried to USE unknown node: A"},
      {"vista_wrong_url.wrl", "Bad Proto node."},
  };
  for (const auto& [file, message] : cases) {
    NewWorld();
    EXPECT_FALSE(ReadDataFile(file)) << file;
    EXPECT_EQ(message_, message) << file;
  }
  EXPECT_FALSE(Read(""));
  EXPECT_EQ(message_, "This is not a VRML 2.0 file.");
  CSceneInputStream stream = CSceneInputStream::FromText(kHeader);
  CSceneReader reader(stream);
  EXPECT_FALSE(reader.ReadScene(nullptr));
  EXPECT_EQ(reader.GetMessage(), "No scene object.");
}

TEST_F(SceneReaderTest, TheInnermostFailureGivesTheMessageAndItsLine) {
  EXPECT_FALSE(ReadBody("Group {\n children [\n  Transform { translation 1 2 x }\n ]\n}\n"));
  EXPECT_EQ(message_, "Error on field 'translation' in Transform node.");
  EXPECT_EQ(errorLine_, 4) << "the header is line 1";
  EXPECT_FALSE(ReadBody("Group { children [ Group { children Nothing { } } ] }"));
  EXPECT_EQ(message_, "Unknown node type 'Nothing'.") << "not the fields that hold it";
  EXPECT_TRUE(ReadBody("Group { }"));
  EXPECT_EQ(message_, "") << "a read that succeeds leaves no message";
  EXPECT_EQ(errorLine_, 0);
}

TEST_F(SceneReaderTest, MessagesWithLongNamesAreCut) {
  const std::string longName(300, 'f');
  EXPECT_FALSE(ReadBody("Group { " + longName + " 1 }"));
  EXPECT_EQ(message_.size(), kMaxMessageLength);
  EXPECT_TRUE(message_.starts_with("Error on field 'fff"));
}

TEST_F(SceneReaderTest, HeaderEmptySceneCommentsAndEndMark) {
  EXPECT_TRUE(ReadBody(""));
  EXPECT_EQ(RootChildren().count, 0);
  EXPECT_TRUE(Read("#VRML V2.0 utf8 made by hand\n# comment\nGroup { } #EOF\nFoo { }\n"));
  EXPECT_EQ(RootChildren().count, 1) << "nothing after #EOF is read";
  EXPECT_TRUE(Read("\xEF\xBB\xBF#VRML V2.0 utf8\nGroup { }\n")) << "a UTF-8 byte-order mark is accepted";
  EXPECT_FALSE(Read("#VRML V2.0 UTF8\n"));
}

TEST_F(SceneReaderTest, DefAndUseShareNodesAndUseTakesTheClosestDefinitionBefore) {
  ASSERT_TRUE(ReadDataFile("def_use.wrl")) << message_;
  ASSERT_EQ(RootChildren().count, 4);
  CNode* second = Top(1);
  EXPECT_EQ(Top(3), second) << "USE at the top level adds the same node again";
  auto& inner = static_cast<CGroupNode&>(*Top(2)).children;
  ASSERT_EQ(inner.count, 2);
  EXPECT_EQ(inner[0].GetNode(), second);
  EXPECT_EQ(Field<SFVec3f>(second, "bboxSize").x, 2.0f);

  ASSERT_TRUE(ReadBody("DEF A Group { } Group { children [ USE A DEF A Group { } USE A ] }")) << message_;
  auto& mixed = static_cast<CGroupNode&>(*Top(1)).children;
  EXPECT_EQ(mixed[0].GetNode(), Top(0)) << "a DEF after the USE does not count";
  EXPECT_EQ(mixed[2].GetNode(), mixed[1].GetNode());
}

TEST_F(SceneReaderTest, RoutesNameExposedFieldsByTheirBareNamesAndAnUnwiredOneIsAProblem) {
  ASSERT_TRUE(ReadBody("DEF T Transform { } DEF U Transform { } DEF V Transform { } DEF W Transform { }\n"
                       "ROUTE T.translation TO U.translation\n"
                       "ROUTE T.translation TO V.set_translation\n"
                       "ROUTE T.translation_changed TO W.translation\n"))
      << message_;
  EXPECT_EQ(problem_, "");
  const SFVec3f moved{4, 5, 6};
  world_->FindNode("T")->SetField("translation", &moved);
  for (const char* name : {"U", "V", "W"}) EXPECT_EQ(Field<SFVec3f>(world_->FindNode(name), "translation").y, 5.0f) << name;

  ASSERT_TRUE(ReadBody("DEF T Transform { } DEF U Transform { }\n"
                       "ROUTE T.translation TO U.scale\nROUTE T.rotation TO U.translation\nROUTE T.nothing TO X.y\n"))
      << message_;
  EXPECT_EQ(problem_, "ROUTE T.rotation TO U.translation: the events do not exist, or their types differ.")
      << "the first ROUTE that could not be wired";
  ASSERT_TRUE(ReadBody("DEF T Transform { } ROUTE T.translation TO X.translation"));
  EXPECT_EQ(problem_, "ROUTE T.translation TO X.translation: no node is named 'X'.");
}

TEST_F(SceneReaderTest, ANodeUsedInsideItsOwnBodyIsRefusedWithoutACycle) {
  CNodeWeakRef watch;
  {
    NewWorld();
    EXPECT_FALSE(ReadDataFile("use_inside_own_body.wrl"));
    EXPECT_FALSE(ReadBody("DEF A Group { children [ Group { children USE A } ] }"));
    // An earlier node of the same name is not the open one.
    EXPECT_TRUE(ReadBody("DEF A Group { } DEF A Group { children USE A }"));
    watch = CNodeWeakRef(Top(1));
    NewWorld();
  }
  EXPECT_EQ(watch.Get(), nullptr) << "every node went with its world";
}

TEST_F(SceneReaderTest, ForwardRoutesAreWiredAfterTheRead) {
  ASSERT_TRUE(ReadDataFile("forward_route.wrl")) << message_;
  CNode* first = world_->FindNode("FIRST");
  CNode* second = world_->FindNode("SECOND");
  ASSERT_TRUE(first && second);
  const SFVec3f moved{4, 5, 6};
  first->SetField("bboxCenter", &moved);
  EXPECT_EQ(Field<SFVec3f>(second, "bboxCenter").z, 6.0f);
}

TEST_F(SceneReaderTest, AFileHoldsAtMost4096Nodes) {
  std::string body;
  for (int i = 0; i < kMaxNodesPerFile; ++i) body += "Group { }\n";
  EXPECT_TRUE(ReadBody(body)) << message_;
  EXPECT_FALSE(ReadBody(body + "Group { }\n"));
  EXPECT_EQ(message_, "Too many nodes in this file.");
  EXPECT_FALSE(ReadBody("DEF A Group { children [" + body + "] }"));
  EXPECT_EQ(message_, "Too many nodes in this file.") << "named or not, nested or not";
}

TEST_F(SceneReaderTest, DeepNestingFailsCleanlyAndLongRunsOfRoutesTakeNoStack) {
  std::string body;
  for (int i = 0; i < 5000; ++i) body += "Group { children [ ";
  EXPECT_FALSE(ReadBody(body));
  EXPECT_EQ(message_, "Nodes are nested too deeply in this file.");

  std::string routes = "DEF G Group { children [ ";
  for (int i = 0; i < 200000; ++i) routes += "ROUTE G.bboxCenter_changed TO G.set_bboxSize\n";
  EXPECT_TRUE(ReadBody(routes + "Group { } ] }")) << message_;
  EXPECT_EQ(world_->GetScene().GetPendingRoutes().size(), 200000u);
}

TEST_F(SceneReaderTest, ScriptDeclarationsTakeEveryFieldType) {
  ASSERT_TRUE(ReadDataFile("script_fields.wrl")) << message_;
  CNode* script = world_->FindNode("S");
  ASSERT_NE(script, nullptr);
  EXPECT_EQ(script->GetTypeId(), NodeTypeScript);
  EXPECT_STREQ(static_cast<CScriptNode*>(script)->url[0].text, "vxn:math");
  EXPECT_EQ(script->FindEventIn("set_x"), 0);
  EXPECT_EQ(script->GetEventOutType("done"), FieldTypeSFTime);
  EXPECT_EQ(Field<int32_t>(script, "n"), 3);
  EXPECT_TRUE(script->IsFieldSet(script->FindField("n")));
  EXPECT_EQ(Field<int16_t>(script, "b"), 0);
  EXPECT_EQ(Field<SFColor>(script, "c").g, 0.5f);
  EXPECT_EQ(Field<float>(script, "f"), -150.0f);
  const SFImage& image = Field<SFImage>(script, "i");
  ASSERT_EQ(image.width * image.height, 4);
  EXPECT_EQ(image.pixels[0], 0x22u) << "the file's first row is the image's bottom row";
  EXPECT_EQ(image.pixels[3], 0x11u);
  EXPECT_EQ(Field<CNodeRef>(script, "node")->GetTypeId(), NodeTypeGroup);
  EXPECT_EQ(Field<SFRotation>(script, "r").angle, 1.57f);
  EXPECT_STREQ(Field<SFString>(script, "s").text, "say \"hi\"");
  EXPECT_EQ(Field<double>(script, "t"), 1.25);
  EXPECT_EQ(Field<SFVec2f>(script, "v2").y, 2.0f);
  EXPECT_EQ(Field<SFVec3f>(script, "v3").z, 3.0f);
  EXPECT_EQ(Field<MFColor>(script, "mc").count, 2);
  EXPECT_EQ(Field<MFFloat>(script, "mf").count, 3) << "a trailing comma is accepted";
  ASSERT_EQ(Field<MFInt32>(script, "mi").count, 3);
  EXPECT_EQ(Field<MFInt32>(script, "mi")[1], -2);
  ASSERT_EQ(Field<MFNode>(script, "mn").count, 2);
  EXPECT_FALSE(Field<MFNode>(script, "mn")[1]) << "NULL";
  EXPECT_EQ(Field<MFRotation>(script, "mr").count, 1) << "without brackets";
  EXPECT_STREQ(Field<MFString>(script, "ms")[0].text, "one");
  EXPECT_EQ(Field<MFTime>(script, "mt").count, 0);
  EXPECT_EQ(Field<MFTime>(script, "mt").elements, nullptr);
  EXPECT_EQ(Field<MFVec2f>(script, "m2").count, 2);
  EXPECT_EQ(Field<MFVec3f>(script, "m3").count, 1);
}

TEST_F(SceneReaderTest, ListValuesFollowTheBracketRulesAndCommasAreWhiteSpace) {
  auto keys = [this](const std::string& value) -> int {
    if (!ReadBody("DEF P Probe { keys " + value + " }")) return -1;
    return Field<MFFloat>(world_->FindNode("P"), "keys").count;
  };
  EXPECT_EQ(keys("[ ]"), 0);
  EXPECT_EQ(keys("5"), 1);
  EXPECT_EQ(keys("[ 1, 2, 3 ]"), 3);
  EXPECT_EQ(keys("[ # comment\n 1, # comment\n 2 ]"), 2);
  EXPECT_EQ(keys("[ 1 2 3 4 5 6 7 8 9 ]"), 9);
  EXPECT_EQ(keys("[ 1,, 2 ]"), 2) << "two commas in a row";
  EXPECT_EQ(keys("[ , 1 ]"), 1);
  EXPECT_EQ(keys("[ 1 2"), -1);
  EXPECT_EQ(keys("[ 1 2 #EOF\n ]"), -1) << "the end mark ends the text";
}

TEST_F(SceneReaderTest, LongListsKeepEveryElementInOrder) {
  constexpr int kCount = 300000;  // megabytes of text, many times the first room of a list
  std::string list = "DEF P Probe { keys [";
  for (int i = 0; i < kCount; ++i) list += " " + std::to_string(i);
  ASSERT_TRUE(ReadBody(list + " ] }")) << message_;
  const MFFloat& keys = Field<MFFloat>(world_->FindNode("P"), "keys");
  ASSERT_EQ(keys.count, kCount);
  for (int i : {0, 1, 255, 256, 65537, kCount - 1}) EXPECT_EQ(keys[i], static_cast<float>(i)) << i;
}

TEST_F(SceneReaderTest, CommasAndCommentsSeparateTokensWhereverWhiteSpaceDoes) {
  ASSERT_TRUE(ReadBody("DEF T, # a comment\n Transform # before the brace\n{ translation 1, 2,3#c\n"
                       "  rotation 0 1 0,1.5 children# before the bracket\n[DEF S Switch{whichChoice 1}] }\n"
                       "DEF C Coordinate { point [ 0,0,0, 1,0,0, ] }\n"
                       "DEF U Transform { }\n"
                       "ROUTE,T.translation_changed # why\n TO,U.set_translation#\n"))
      << message_;
  const auto& translation = Field<SFVec3f>(world_->FindNode("T"), "translation");
  EXPECT_EQ(translation.x, 1.0f);
  EXPECT_EQ(translation.z, 3.0f);
  EXPECT_EQ(Field<SFRotation>(world_->FindNode("T"), "rotation").angle, 1.5f);
  EXPECT_EQ(Field<int32_t>(world_->FindNode("S"), "whichChoice"), 1);
  EXPECT_EQ(Field<MFVec3f>(world_->FindNode("C"), "point").count, 2);
  const SFVec3f moved{4, 5, 6};
  world_->FindNode("T")->SetField("translation", &moved);
  EXPECT_EQ(Field<SFVec3f>(world_->FindNode("U"), "translation").y, 5.0f) << "the ROUTE was read and wired";
}

TEST_F(SceneReaderTest, IntegersAndPixelsAreDecimalUnlessWrittenInHexadecimal) {
  ASSERT_TRUE(ReadBody("DEF S Switch { whichChoice 0x1 } DEF N Switch { whichChoice -0x2 }\n"
                       "DEF P Probe { image 3 1 1 255 0xFF 0x10 }"))
      << message_;
  EXPECT_EQ(Field<int32_t>(world_->FindNode("S"), "whichChoice"), 1);
  EXPECT_EQ(Field<int32_t>(world_->FindNode("N"), "whichChoice"), -2);
  const SFImage& image = Field<SFImage>(world_->FindNode("P"), "image");
  ASSERT_EQ(image.width, 3);
  EXPECT_EQ(image.pixels[0], 255u) << "a decimal pixel";
  EXPECT_EQ(image.pixels[1], 255u);
  EXPECT_EQ(image.pixels[2], 16u);
}

TEST_F(SceneReaderTest, AStringCutAtItsLimitEndsOnACharacterBoundary) {
  const std::string text = std::string(254, 'x') + "\xC3\xA9" + "tail";
  ASSERT_TRUE(ReadBody("DEF P Probe { label \"" + text + "\" }")) << message_;
  EXPECT_EQ(std::string(Field<SFString>(world_->FindNode("P"), "label").text), std::string(254, 'x'));
  const std::string fits = std::string(253, 'x') + "\xC3\xA9" + "tail";
  ASSERT_TRUE(ReadBody("DEF P Probe { label \"" + fits + "\" }")) << message_;
  EXPECT_EQ(std::string(Field<SFString>(world_->FindNode("P"), "label").text), fits.substr(0, 255));
}

TEST_F(SceneReaderTest, AWordThePrototypeInterfaceCannotPlaceIsRefused) {
  EXPECT_FALSE(ReadBody("PROTO P [ \" ] { Group {} }\nDEF W WorldInfo { info \"a{b\" }"));
  EXPECT_EQ(message_, "Error parsing Proto node.");
  EXPECT_FALSE(ReadBody("PROTO P [ field SFFloat f 1 junk ] { Group {} }"));
  ASSERT_TRUE(ReadBody("PROTO P [ field MFString s [ \"]\" \"[\" ] ] { Group {} }\nDEF W WorldInfo { info \"a{b\" }"))
      << message_;
  EXPECT_STREQ(Field<MFString>(world_->FindNode("W"), "info")[0].text, "a{b");
}

TEST_F(SceneReaderTest, SingleValuesReadAsWrittenAndFailuresLeaveTheFieldAlone) {
  ASSERT_TRUE(ReadBody("DEF P Probe { enabled FALSE label \"" + std::string(300, 'x') + "\" fraction 0.5 }"));
  CNode* probe = world_->FindNode("P");
  EXPECT_EQ(Probe(world_->GetRoot()->children[0]).enabled, 0);
  EXPECT_EQ(std::string(Field<SFString>(probe, "label").text).size(), 255u) << "cut, and reading goes on";
  EXPECT_EQ(Field<float>(probe, "fraction"), 0.5f);

  ASSERT_TRUE(Read(kHeader + "DEF Q Probe { enabled FALSE}\nDEF R Probe { enabled TRUE label \"C:\\\\dir\\\\\" }\n"
                             "DEF P Probe { label \"C:\\dir\\a{1}.jpg\" }"));
  EXPECT_EQ(Field<int16_t>(world_->FindNode("Q"), "enabled"), 0);
  EXPECT_EQ(Field<int16_t>(world_->FindNode("R"), "enabled"), 1);
  EXPECT_STREQ(Field<SFString>(world_->FindNode("R"), "label").text, "C:\\dir\\");
  EXPECT_STREQ(Field<SFString>(world_->FindNode("P"), "label").text, "C:\\dir\\a{1}.jpg")
      << "a backslash before another character is kept";

  EXPECT_FALSE(ReadBody("DEF F Probe { enabled true }")) << "upper case only";

  CNodeRef fresh = MakeNode<CProbeNode>();
  const float fraction = 0.75f;
  fresh->SetField("fraction", &fraction);
  auto stream = CSceneInputStream::FromText("[ 1 2 x ] 0.5x");
  CSceneReader reader(stream, classes_);
  EXPECT_FALSE(reader.ReadFieldValueOnNode(fresh.GetNode(), "keys", "Probe"));
  EXPECT_EQ(reader.GetMessage(), "Error on field 'keys' in Probe node.");
  EXPECT_EQ(Probe(fresh).keys.count, 3) << "the default list, unchanged";
  EXPECT_FALSE(fresh->IsFieldSet(fresh->FindField("keys")));
  stream.Seek(stream.Data().find("0.5"));
  EXPECT_TRUE(reader.ReadFieldValueOnNode(fresh.GetNode(), "fraction", "Probe"));
  EXPECT_EQ(Probe(fresh).fraction, 0.5f);
}

TEST_F(SceneReaderTest, ImageSizesMustMatchThePixelsThatFollow) {
  EXPECT_TRUE(ReadBody("DEF P Probe { image 2 1 3 0xFF0000 0x00FF00 }"));
  EXPECT_EQ(Field<SFImage>(world_->FindNode("P"), "image").components, 3);
  EXPECT_FALSE(ReadBody("Probe { image 2 2 1 0x00 0x11 0x22 }"));
  EXPECT_FALSE(ReadBody("Probe { image 100000 100000 4 0 }")) << "refused before anything is allocated";
  EXPECT_FALSE(ReadBody("Probe { image -1 4 1 }"));
  EXPECT_TRUE(ReadBody("DEF E Probe { image 0 0 0 }"));
  EXPECT_EQ(Field<SFImage>(world_->FindNode("E"), "image").pixels, nullptr);

  // A side of 0 makes an empty image at once, however long the other side.
  ASSERT_TRUE(ReadBody("DEF Z Probe { image 0 2147483647 1 } DEF Y Probe { image 2147483647 0 3 }"));
  for (const char* name : {"Z", "Y"}) {
    const SFImage& empty = Field<SFImage>(world_->FindNode(name), "image");
    EXPECT_EQ(empty.width, 0) << name;
    EXPECT_EQ(empty.height, 0) << name;
    EXPECT_EQ(empty.pixels, nullptr) << name;
  }
  // A side beyond the picture limit is refused, though the pixels are there.
  std::string pixels;
  for (int32_t i = 0; i < kMaxImageSide; ++i) pixels += " 7";
  const std::string atLimit = std::to_string(kMaxImageSide);
  const std::string beyond = std::to_string(kMaxImageSide + 1);
  ASSERT_TRUE(ReadBody("DEF W Probe { image " + atLimit + " 1 1" + pixels + " }"));
  EXPECT_EQ(Field<SFImage>(world_->FindNode("W"), "image").width, kMaxImageSide);
  EXPECT_FALSE(ReadBody("Probe { image " + beyond + " 1 1" + pixels + " 7 }"));
  EXPECT_FALSE(ReadBody("Probe { image 1 " + beyond + " 1" + pixels + " 7 }"));
}

TEST_F(SceneReaderTest, TheFirstBindableNodeOfEachKindIsBound) {
  ASSERT_TRUE(ReadBody("DEF V1 TestViewpoint { } DEF V2 TestViewpoint { } DEF N TestNavigationInfo { }"
                       "DEF F TestFog { } DEF D TestDisplay { } DEF B1 TestBackground { } DEF B2 TestBackground { }"));
  EXPECT_EQ(world_->GetViewpoint(), world_->FindNode("V1"));
  EXPECT_EQ(world_->GetNavigationInfo(), world_->FindNode("N"));
  EXPECT_EQ(world_->GetFog(), world_->FindNode("F"));
  EXPECT_EQ(world_->GetDisplay(), world_->FindNode("D"));
  auto bindEvents = [](CNode* node) {
    int count = 0;
    for (const auto& event : Probe(CNodeRef(node)).received) count += !event.isField && event.index == 1;
    return count;
  };
  EXPECT_EQ(bindEvents(world_->FindNode("V2")), 0);
  EXPECT_EQ(bindEvents(world_->FindNode("B1")), 1);
  EXPECT_EQ(bindEvents(world_->FindNode("B2")), 0);
}

// A PROTO body's nodes count at the place of their instance; a default
// value and a node made after the read are no part of the file's scene.
TEST_F(SceneReaderTest, TheFirstBindableNodeInFileOrderIsBoundBodiesIncluded) {
  const std::string protos = "PROTO Cam [ ] { Group { children TestViewpoint { } } }"
                             "PROTO Holder [ field SFNode n TestViewpoint { } ] { Group { } }";
  ASSERT_TRUE(ReadBody(protos + "Holder { } DEF FIRST TestViewpoint { } DEF LATER Cam { }")) << message_;
  EXPECT_EQ(world_->GetViewpoint(), world_->FindNode("FIRST"));

  ASSERT_TRUE(ReadBody(protos + "DEF EARLY Cam { } DEF SECOND TestViewpoint { }")) << message_;
  CNode* inBody = Field<MFNode>(CNodeRef(world_->FindNode("EARLY")).Resolve(), "children")[0].GetNode();
  EXPECT_EQ(world_->GetViewpoint(), inBody);
  world_->BindViewpoint(inBody, false);
  CNodeRef later = NodeFactory("Cam", {.scene = &world_->GetScene()}, classes_);
  ASSERT_TRUE(later);
  EXPECT_EQ(world_->GetViewpoint(), nullptr) << "a body read after the load binds nothing";
}

TEST_F(SceneReaderTest, PrototypesMayBeDeclaredInsideANodeBody) {
  ASSERT_TRUE(ReadBody("DEF T Group {\n"
                       "  PROTO Half [ field SFFloat f 0.5 ] { Probe { fraction IS f } }\n"
                       "  EXTERNPROTO Far [ ] \"far.wrl\"\n"
                       "  children DEF H Half { }\n"
                       "  PROTO Later [ ] { Probe { } }\n"
                       "}\n"
                       "DEF L Later { }"))
      << message_;
  EXPECT_EQ(world_->GetScene().GetProtoCount(), 3);
  EXPECT_EQ(static_cast<CProbeNode*>(CNodeRef(world_->FindNode("H")).Resolve())->fraction, 0.5f);
  EXPECT_EQ(world_->FindNode("L")->GetTypeId(), NodeTypeProtoInstance) << "declared for the rest of the file";
  EXPECT_FALSE(ReadBody("Group { PROTO Broken [ field SFFoo f ] { } }"));
  EXPECT_EQ(message_, "Invalid Proto field specification.");
}

TEST_F(SceneReaderTest, VistaVersionComesFromTheFileAndDoesNotLeakIntoTheNextRead) {
  ASSERT_TRUE(ReadBody("EXTERNPROTO Vista [ field SFFloat fov ] \"" + std::string(kVistaPrototypeUrl) + "\""));
  EXPECT_EQ(vistaVersion_, kVistaVersionCurrent);
  EXPECT_EQ(world_->GetScene().GetProtoCount(), 0) << "built-in classes declare nothing";
  ASSERT_TRUE(ReadBody("Group { }"));
  EXPECT_EQ(vistaVersion_, kVistaVersionLegacy);
  ASSERT_TRUE(ReadBody("PROTO TextTexture [ ] [ \"anything.wrl\" ]"));
  EXPECT_EQ(vistaVersion_, kVistaVersionCurrent);
  EXPECT_FALSE(ReadBody("EXTERNPROTO IMobSensor [ ] [ ]"));
}

TEST_F(SceneReaderTest, ProtoBodiesAreKeptAsTextWithNoFileWritten) {
  ASSERT_TRUE(ReadDataFile("proto.wrl")) << message_;
  ASSERT_EQ(world_->GetScene().GetProtoCount(), 2);
  CProtoDeclaration* proto = world_->GetScene().GetProto(0);
  EXPECT_EQ(proto->GetName(), "../../Escape");
  EXPECT_EQ(proto->GetBodyText(), "\n  Group { children [ Group { bboxSize IS size } ] }\n");
  EXPECT_EQ(proto->GetFieldType("size"), FieldTypeSFVec3f);
  EXPECT_EQ(proto->FindEventIn("set_fraction"), 0);
  EXPECT_EQ(Field<MFString>(proto, "names").count, 2);

  CProtoDeclaration* remote = world_->GetScene().GetProto(1);
  EXPECT_TRUE(remote->IsExtern());
  ASSERT_EQ(remote->GetUrls().count, 2);
  EXPECT_STREQ(remote->GetUrls()[0].text, "remote.wrl#Remote");

  CNode* instance = world_->FindNode("INSTANCE");
  ASSERT_EQ(RootChildren().count, 2);
  instance = Top(0);
  EXPECT_EQ(instance->GetTypeId(), NodeTypeProtoInstance);
  EXPECT_EQ(Field<SFVec3f>(instance, "size").x, 3.0f);
  EXPECT_EQ(Field<MFString>(instance, "names").count, 2) << "the declaration's default";
  EXPECT_TRUE(fs::is_empty(cache_)) << "nothing in the cache folder";
}

TEST_F(SceneReaderTest, AStandardNameAlwaysMakesTheStandardClass) {
  ASSERT_TRUE(ReadBody("PROTO Group [ field SFInt32 x 1 ] { Probe { } } DEF G Group { }"));
  EXPECT_EQ(world_->FindNode("G")->GetTypeId(), NodeTypeGroup);
}

TEST(NodeFactory, TypeNamesAreExact) {
  CScene scene;
  const NodeCreation creation{&scene, kVistaVersionLegacy};
  EXPECT_EQ(NodeFactory("Group", creation)->GetTypeId(), NodeTypeGroup);
  EXPECT_EQ(NodeFactory("Group", creation)->GetScene(), &scene);
  EXPECT_FALSE(NodeFactory("group", creation));
  EXPECT_FALSE(NodeFactory("", creation));
}

}  // namespace
}  // namespace vx
