#include "engine/scene/SceneReader.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <optional>
#include <utility>

#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/Scene.h"
#include "engine/scene/GroupNode.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

// Word lengths of the reader's token reads.
constexpr size_t kStatementWord = 255;
constexpr size_t kNodeWord = 63;
constexpr size_t kTypeWord = 127;
constexpr size_t kHeaderWord = 15;

constexpr char kOutOfMemoryMessage[] = "Out of memory reading this file.";
constexpr char kTooDeepMessage[] = "Nodes are nested too deeply in this file.";

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Room the DEF table starts with; it doubles from there up to the per-file
// node limit.
constexpr size_t kInitialDefTableSize = 256;

// PROTO names that declare nothing: their node classes are built in, and the
// statement only tells which prototype version the file was made for.
constexpr std::string_view kExtensionProtoNames[] = {"Vista", "SlideShowTexture", "TextTexture", "ScreenElement",
                                                     "IMobSensor"};

// The kind of member a declaration keyword declares.
std::optional<FieldKind> DeclarationKind(std::string_view keyword) {
  if (keyword == "field" || keyword == "exposedField") return FieldKind::Field;
  if (keyword == "eventIn") return FieldKind::EventIn;
  if (keyword == "eventOut") return FieldKind::EventOut;
  return std::nullopt;
}

// A bracket or a quote read as a word.
bool IsWordOfItsOwn(std::string_view word) {
  return word.size() == 1 && (word[0] == '{' || word[0] == '}' || word[0] == '[' || word[0] == ']' || word[0] == '"');
}

}  // namespace

// Marks a node whose body is being read: it cannot be USEd inside itself,
// which would make it its own descendant.
class CSceneReader::OpenNode {
 public:
  OpenNode(CSceneReader& reader, CNode* node) : reader_(reader) { reader_.openNodes_.push_back(node); }
  ~OpenNode() { reader_.openNodes_.pop_back(); }
  OpenNode(const OpenNode&) = delete;
  OpenNode& operator=(const OpenNode&) = delete;

 private:
  CSceneReader& reader_;
};

CSceneReader::CSceneReader(CSceneInputStream& stream, const NodeClassTable& classes)
    : stream_(stream), classes_(classes) {}

CSceneReader::~CSceneReader() = default;

bool CSceneReader::Fail(const char* format, ...) {
  char text[kMaxMessageLength + 1];
  va_list args;
  va_start(args, format);
  FormatCv(text, sizeof text, format, args);
  va_end(args);
  return error_.Raise(text, stream_.Tell());
}

int CSceneReader::GetErrorLine() const {
  if (!error_.IsRaised()) return 0;
  const std::string_view read = stream_.Data().substr(0, error_.GetOffset());
  return 1 + static_cast<int>(std::count(read.begin(), read.end(), '\n'));
}

// ---- Statements ----

bool CSceneReader::ReadScene(CScene* scene) {
  error_.Clear();
  refused_ = false;
  scene_ = scene;
  if (!scene) return Fail("No scene object.");

  const size_t start = stream_.Tell();
  std::string bom(kUtf8ByteOrderMark.size(), '\0');
  if (stream_.Read(bom.data(), 1, bom.size()) != bom.size() || bom != kUtf8ByteOrderMark) stream_.Seek(start);
  std::string first, second, third;
  if (!stream_.ReadRawWord(first, kHeaderWord) || !stream_.ReadRawWord(second, kHeaderWord) ||
      !stream_.ReadRawWord(third, kHeaderWord) || first != "#VRML" || second != "V2.0" || third != "utf8") {
    return Fail("This is not a VRML 2.0 file.");
  }
  SkipComment();

  defTable_.clear();
  earlierDef_.clear();
  lastDef_.clear();
  defHeights_.clear();
  placed_.clear();
  defTable_.reserve(kInitialDefTableSize);
  earlierDef_.reserve(kInitialDefTableSize);

  if (!ReadStatementsGuarded()) return false;
  if (std::string problem = scene_->ResolvePendingRoutes(); !problem.empty()) session_->NoteProblem(std::move(problem));
  return true;
}

bool CSceneReader::ReadStatementsGuarded() {
  // A file may ask for more than the machine has (lists of millions of
  // strings); what was read before stays, as after any other failure.
  try {
    for (;;) {
      const size_t statement = stream_.Tell();
      if (!stream_.ReadWord(word_, kStatementWord)) return true;
      if (!ReadStatement(word_, statement)) return Fail("Unknown error.");
    }
  } catch (const std::bad_alloc&) {
    return Fail(kOutOfMemoryMessage);
  }
}

bool CSceneReader::ReadValueOfType(FieldType type, void* value) {
  try {
    return ReadValue(type, value);
  } catch (const std::bad_alloc&) {
    return Fail(kOutOfMemoryMessage);
  }
}

bool CSceneReader::ReadStatement(const std::string& word, size_t start) {
  stream_.Seek(start);
  if (word == "ROUTE") return RouteParser();
  if (word == "PROTO" || word == "EXTERNPROTO") return ProtoParser(word == "EXTERNPROTO");
  CNodeRef node;
  if (!ParseNode(node)) return false;
  MFNode added{1, &node};
  scene_->GetRoot()->ReceiveEvent("addChildren", &added);
  return true;
}

// The closest DEF of the name before this point; a node whose body is being
// read is passed over, as it cannot be inside itself.
CNode* CSceneReader::FindDef(std::string_view name) const {
  const auto last = lastDef_.find(name);
  if (last == lastDef_.end()) return nullptr;
  for (int32_t index = last->second; index >= 0; index = earlierDef_[static_cast<size_t>(index)]) {
    CNode* node = defTable_[static_cast<size_t>(index)].GetNode();
    if (node->GetDefName() != name) continue;
    if (std::find(openNodes_.begin(), openNodes_.end(), node) == openNodes_.end()) return node;
  }
  return nullptr;
}

bool CSceneReader::ParseNode(CNodeRef& out) {
  std::string word;
  size_t start = 0;
  // ROUTE statements may come before the node; they are read in a loop, so
  // that a long run of them takes no stack.
  for (;;) {
    start = stream_.Tell();
    if (!stream_.ReadWord(word, kNodeWord)) return Fail("EOF while parsing node.");
    if (word != "ROUTE") break;
    stream_.Seek(start);
    if (!RouteParser()) return false;
  }

  if (word == "USE" || word == "DEF") {
    std::string name;
    if (!ReadName(name)) return Fail("Expected DEF, USE, or node type. Got: %s", word.c_str());
    return word == "DEF" ? ParseNodeOfType(out, name) : ParseUse(out, name);
  }
  if (word == "NULL") {
    out.SetNode(nullptr);
    return true;
  }
  stream_.Seek(start);
  return ParseNodeOfType(out, {});
}

bool CSceneReader::ParseUse(CNodeRef& out, const std::string& name) {
  CNode* node = FindDef(name);
  if (!node) return Fail("Tried to USE unknown node: %s", name.c_str());
  const auto height = defHeights_.find(node);
  if (!session_->Reach(session_->GetLevel() + (height == defHeights_.end() ? 1 : height->second))) {
    return Fail(kTooDeepMessage);
  }
  placed_.insert(node);
  out.SetNode(node);
  return true;
}

bool CSceneReader::ParseNodeOfType(CNodeRef& out, const std::string& defName) {
  // The level covers the node's making too: a PROTO instance reads its body
  // then, one level below it.
  const CReadSession::OpenLevel level(*session_);
  if (!level.Fits()) return Fail(kTooDeepMessage);
  std::string typeName;
  char brace = 0;
  if (!stream_.ReadWord(typeName, kTypeWord) || !ReadNonSpace(brace)) {
    return Fail("EOF while parsing node.");
  }
  if (brace != '{') return Fail("Expected '{' in %s node.", typeName.c_str());

  const NodeCreation creation{factoryScene_ ? factoryScene_ : scene_, vistaVersion_, scene_, session_};
  // A PROTO instance reads its body here; what this read must not bind, the
  // body must not either.
  MadeNode made = [&] {
    const CReadSession::Quiet quiet(*session_, !bindsFirstNodes_);
    return MakeNodeOfType(typeName, creation, classes_);
  }();
  if (!made.node) return Fail("Unknown node type '%s'.", typeName.c_str());
  if (made.refused) {
    refused_ = true;
    return Fail("%s", made.message.c_str());
  }
  if (!made.message.empty()) {
    session_->NoteProblem("PROTO '" + typeName + "' could not be instantiated: " + made.message);
  }
  CNodeRef node = std::move(made.node);
  if (defTable_.size() >= static_cast<size_t>(kMaxNodesPerFile)) return Fail("Too many nodes in this file.");
  defTable_.push_back(node);
  earlierDef_.push_back(-1);
  if (!defName.empty()) {
    node->SetDefName(defName);
    const int32_t entry = static_cast<int32_t>(defTable_.size() - 1);
    const auto [last, added] = lastDef_.try_emplace(defName, entry);
    if (!added) earlierDef_.back() = std::exchange(last->second, entry);
  }
  {
    OpenNode open(*this, node.GetNode());
    if (!ReadNodeBody(node.GetNode(), typeName)) return false;
  }
  if (!defName.empty()) defHeights_[node.GetNode()] = level.Height();
  out = node;
  if (CNode* resolved = out.Resolve()) BindIfFirst(resolved);
  return true;
}

bool CSceneReader::ReadNodeBody(CNode* node, const std::string& typeName) {
  for (;;) {
    const size_t start = stream_.Tell();
    std::string word;
    if (!stream_.ReadWord(word, kStatementWord)) return Fail("EOF while parsing node.");
    if (word == "}") return true;
    if (word == "ROUTE") {
      stream_.Seek(start);
      if (!RouteParser()) return false;
    } else if (word == "PROTO" || word == "EXTERNPROTO") {
      stream_.Seek(start);
      if (!ProtoParser(word == "EXTERNPROTO")) return false;
    } else if (!ReadMember(node, word, typeName)) {
      return false;
    }
  }
}

bool CSceneReader::ReadMember(CNode* node, const std::string& name, const std::string& typeName) {
  if (NextWordIsIs()) return ReadIsTarget(node, name);
  if (node->GetTypeId() == NodeTypeScript && !IsValidFieldType(node->GetFieldType(name))) {
    const std::optional<FieldKind> kind = DeclarationKind(name);
    return kind ? ReadScriptDeclaration(node, *kind) : Fail("Error parsing Script node.");
  }
  return ReadFieldValue(node, name, typeName);
}

bool CSceneReader::ReadScriptDeclaration(CNode* node, FieldKind kind) {
  std::string name;
  if (!ReadDeclaration(node, kind, "Script", name)) return false;
  if (NextWordIsIs()) return ReadIsTarget(node, name);
  // An event without IS is the Script's own, inside a PROTO body too.
  return kind != FieldKind::Field || ReadFieldValue(node, name, "Script");
}

bool CSceneReader::ReadDeclaration(CNode* node, FieldKind kind, const char* owner, std::string& name) {
  std::string type;
  if (stream_.ReadWord(type, kTypeWord) && stream_.ReadWord(name, kStatementWord) &&
      node->AddFieldByTypeName(kind, name, type.c_str())) {
    return true;
  }
  const char* what = kind == FieldKind::Field ? "field" : kind == FieldKind::EventIn ? "eventIn" : "eventOut";
  return Fail("Invalid %s %s specification.", owner, what);
}

bool CSceneReader::NextWordIsIs() {
  if (!isHandler_) return false;
  const size_t start = stream_.Tell();
  std::string word;
  if (stream_.ReadWord(word, kTypeWord) && word == "IS") return true;
  stream_.Seek(start);
  return false;
}

bool CSceneReader::ReadIsTarget(CNode* node, const std::string& member) {
  std::string interfaceName;
  if (!stream_.ReadWord(interfaceName, kTypeWord)) return Fail("Error parsing Proto node.");
  if (std::string problem = isHandler_(IsRecord{interfaceName, member, node}, isContext_); !problem.empty()) {
    session_->NoteProblem(std::move(problem));
  }
  return true;
}

void CSceneReader::BindIfFirst(CNode* node) {
  // Field values read outside a scene (an external PROTO's defaults) bind
  // nothing.
  if (!scene_ || !bindsFirstNodes_) return;
  switch (const NodeTypeId type = node->GetTypeId()) {
    case NodeTypeNavigationInfo:
    case NodeTypeDisplay:
    case NodeTypeViewpoint:
    case NodeTypeFog:
    case NodeTypeVista:
    case NodeTypeBackground:
      if (!session_->TakeFirstBind(type)) return;
      break;
    default:
      return;
  }
  const int16_t on = 1;
  node->ReceiveEvent("set_bind", &on);
}

bool CSceneReader::RouteParser() {
  std::string route, source, to, target;
  if (!stream_.ReadWord(route, kNodeWord) || route != "ROUTE" || !stream_.ReadWord(source, kNodeWord) ||
      !stream_.ReadWord(to, kNodeWord) || to != "TO" || !stream_.ReadWord(target, kNodeWord)) {
    return Fail("Error parsing a ROUTE.");
  }
  scene_->AddPendingRoute(PendingRoute::Make(source, target));
  return true;
}

// ---- PROTO and EXTERNPROTO statements ----

bool CSceneReader::ProtoParser(bool isExtern) {
  std::string keyword, name, bracket;
  if (!stream_.ReadWord(keyword, kNodeWord) || (keyword != "PROTO" && keyword != "EXTERNPROTO") ||
      !stream_.ReadWord(name, kNodeWord) || !stream_.ReadWord(bracket, kNodeWord) || bracket != "[") {
    return Fail("Bad Proto node.");
  }
  if (std::find(std::begin(kExtensionProtoNames), std::end(kExtensionProtoNames), name) !=
      std::end(kExtensionProtoNames)) {
    return ReadExtensionProto(name) || Fail("Bad Proto node.");
  }
  CProtoDeclaration* declaration = scene_->CreateProto(name, isExtern);
  if (!declaration || !ReadProtoInterface(*declaration, !isExtern)) return Fail("Error parsing Proto node.");
  if (!isExtern) return TakeProtoBody(*declaration);

  CFieldValue urls(FieldTypeMFString);
  if (!ReadValue(FieldTypeMFString, urls.Data())) return Fail("Error parsing Proto node.");
  declaration->SetUrls(urls.As<MFString>());
  return true;
}

bool CSceneReader::ReadExtensionProto(const std::string& name) {
  if (!SkipPast(']')) return false;
  CFieldValue urls(FieldTypeMFString);
  if (!ReadValue(FieldTypeMFString, urls.Data()) || urls.As<MFString>().count == 0) return false;
  if (name == "Vista" && urls.As<MFString>()[0].text != kVistaPrototypeUrl) return false;
  vistaVersion_ = kVistaVersionCurrent;
  return true;
}

bool CSceneReader::ReadProtoInterface(CProtoDeclaration& declaration, bool readDefaults) {
  // An instance of the declaration inside its own defaults would hold the
  // declaration that holds it, and neither would ever go: while they are
  // read, the declaration counts as being read, which refuses such an
  // instance.
  CReadSession::ActiveBody active(*session_, declaration);
  // The defaults are no part of the scene.
  const CReadSession::Quiet quiet(*session_);
  std::string word, name;
  while (stream_.ReadWord(word, kStatementWord) && word != "]") {
    // A word the interface cannot place (a quote among them) means the text
    // is not what it seems.
    const std::optional<FieldKind> kind = DeclarationKind(word);
    if (!kind || !ReadDeclaration(&declaration, *kind, "Proto", name)) return false;
    if (word == "exposedField") declaration.MarkExposed(name);
    if (kind == FieldKind::Field && readDefaults && !ReadProtoDefault(declaration, name)) return false;
  }
  return true;
}

bool CSceneReader::ReadProtoDefault(CProtoDeclaration& declaration, std::string_view name) {
  const size_t from = stream_.Tell();
  if (!ReadFieldValue(&declaration, name, "Proto")) return false;
  const FieldType type = declaration.GetFieldType(name);
  if (type == FieldTypeSFNode || type == FieldTypeMFNode) {
    declaration.SetNodeDefaultText(name, std::string(stream_.Data().substr(from, stream_.Tell() - from)));
  }
  return true;
}

bool CSceneReader::TakeProtoBody(CProtoDeclaration& declaration) {
  char brace = 0;
  if (!ReadNonSpace(brace) || brace != '{') return Fail("Error parsing Proto node.");
  // Braces count only in the statements, not inside strings or comments.
  std::string body;
  int depth = 1;
  TextPlace place = TextPlace::Statement;
  for (int c = stream_.GetChar(); c >= 0; c = stream_.GetChar()) {
    if (place == TextPlace::Statement) {
      if (c == '{') ++depth;
      if (c == '}' && --depth == 0) break;
    }
    place = PlaceAfter(place, static_cast<char>(c));
    body.push_back(static_cast<char>(c));
  }
  if (depth != 0) return Fail("Error parsing Proto node.");
  declaration.SetBody(std::move(body));
  return true;
}

// ---- Characters ----

bool CSceneReader::ReadName(std::string& out) {
  // A name as long as the limit allows, and one character more to tell a
  // longer one.
  return stream_.ReadWord(out, kMaxReadNameLength + 1) && out.size() <= kMaxReadNameLength &&
         !IsWordOfItsOwn(out);
}

void CSceneReader::SkipComment() {
  for (int c = stream_.GetChar(); c >= 0 && c != '\n' && c != '\r'; c = stream_.GetChar()) {
  }
}

bool CSceneReader::ReadNonSpace(char& out, size_t* at) {
  stream_.SkipSeparators();
  if (at) *at = stream_.Tell();
  return stream_.ReadChar(out);
}

bool CSceneReader::SkipPast(char wanted) {
  for (int c = stream_.GetChar(); c >= 0; c = stream_.GetChar()) {
    if (c == wanted) return true;
  }
  return false;
}

}  // namespace vx
