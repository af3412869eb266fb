#include "engine/scene/SceneReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <utility>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/Scene.h"
#include "engine/scene/nodes/GroupNode.h"
#include "platform/Numbers.h"

namespace vx {
namespace {

// Word lengths of the reader's token reads.
constexpr size_t kStatementWord = 255;
constexpr size_t kNodeWord = 63;
constexpr size_t kTypeWord = 127;
constexpr size_t kHeaderWord = 15;

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

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

bool IsSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A file name made from a PROTO name that stays inside the cache folder: only
// letters, digits, '-' and '_' are kept, and a number makes it unique.
std::string SafeProtoFileStem(std::string_view name) {
  std::string stem = "proto_";
  for (char c : name.substr(0, 64)) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    stem.push_back(keep ? c : '_');
  }
  return stem;
}

// Creates a new file in the folder whose name starts with stem; never opens
// an existing file.
std::FILE* CreateUniqueFile(const std::string& folder, const std::string& stem, std::string& path) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    path = FormatString("%s%s_%d_%u.wrl", folder.c_str(), stem.c_str(), static_cast<int>(getpid()), ++counter);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd >= 0) return fdopen(fd, "wb");
    if (errno != EEXIST) break;
  }
  path.clear();
  return nullptr;
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

void CSceneReader::SetMessage(const char* format, ...) {
  char text[kMaxMessageLength + 1];
  va_list args;
  va_start(args, format);
  FormatCv(text, sizeof text, format, args);
  va_end(args);
  message_ = text;
}

// ---- Statements ----

bool CSceneReader::ReadScene(CScene* scene) {
  SetMessage("No scene object.");
  scene_ = scene;
  if (!scene) return false;

  SetMessage("This is not a VRML 2.0 file.");
  const size_t start = stream_.Tell();
  std::string bom(kUtf8ByteOrderMark.size(), '\0');
  if (stream_.Read(bom.data(), 1, bom.size()) != bom.size() || bom != kUtf8ByteOrderMark) stream_.Seek(start);
  std::string first, second, third;
  if (!stream_.ReadWord(first, kHeaderWord) || !stream_.ReadWord(second, kHeaderWord) ||
      !stream_.ReadWord(third, kHeaderWord) || first != "#VRML" || second != "V2.0" || third != "utf8") {
    return false;
  }
  SkipComment();

  boundTypes_.clear();
  defTable_.clear();
  firstDef_.clear();
  SetMessage("Unknown error.");

  for (;;) {
    const size_t statement = stream_.Tell();
    if (!stream_.ReadWord(word_, kStatementWord) || word_ == "#EOF") break;
    if (!ReadStatement(word_, statement)) return false;
  }
  scene_->ResolvePendingRoutes();
  return true;
}

bool CSceneReader::ReadStatement(const std::string& word, size_t start) {
  if (word.starts_with('#')) {
    SkipComment();
    return true;
  }
  stream_.Seek(start);
  if (word == "ROUTE") return RouteParser();
  if (word == "PROTO" || word == "EXTERNPROTO") return ProtoParser(word == "EXTERNPROTO");
  CNodeRef node;
  if (!ParseNode(node)) return false;
  MFNode added{1, &node};
  scene_->GetRoot()->ReceiveEvent("addChildren", &added);
  return true;
}

CNode* CSceneReader::FindDef(std::string_view name) const {
  if (name.empty()) return nullptr;
  auto first = firstDef_.find(std::string(name));
  if (first == firstDef_.end()) return nullptr;
  for (size_t i = first->second; i < defTable_.size(); ++i) {
    CNode* node = defTable_[i].GetNode();
    if (node->GetDefName() != name) continue;
    if (std::find(openNodes_.begin(), openNodes_.end(), node) == openNodes_.end()) return node;
  }
  return nullptr;
}

bool CSceneReader::ParseNode(CNodeRef& out) {
  if (openNodes_.size() >= static_cast<size_t>(kMaxNodeNesting)) {
    SetMessage("Nodes are nested too deeply in this file.");
    return false;
  }
  std::string word;
  size_t start = 0;
  // ROUTE statements may come before the node; they are read in a loop, so
  // that a long run of them takes no stack.
  for (;;) {
    start = stream_.Tell();
    SetMessage("EOF while parsing node.");
    if (!stream_.ReadWord(word, kNodeWord)) return false;
    SetMessage("Expected DEF, USE, or node type. Got: %s", word.c_str());
    if (word != "ROUTE") break;
    stream_.Seek(start);
    if (!RouteParser()) return false;
  }

  if (word == "USE") {
    std::string name;
    if (!ReadName(name)) return false;
    CNode* node = FindDef(name);
    if (!node) {
      SetMessage("Tried to USE unknown node: %s", name.c_str());
      return false;
    }
    out.SetNode(node);
    return true;
  }
  if (word == "DEF") {
    std::string name;
    if (!ReadName(name)) return false;
    return ParseNodeOfType(out, name);
  }
  if (word == "NULL") {
    out.SetNode(nullptr);
    return true;
  }
  stream_.Seek(start);
  return ParseNodeOfType(out, {});
}

bool CSceneReader::ParseNodeOfType(CNodeRef& out, const std::string& defName) {
  SetMessage("EOF while parsing node.");
  std::string typeName;
  if (!stream_.ReadWord(typeName, kTypeWord)) return false;
  char brace = 0;
  if (!ReadNonSpaceSkippingComments(brace)) return false;
  SetMessage("Expected '{' in %s node.", typeName.c_str());
  if (brace != '{') return false;

  const NodeCreation creation{factoryScene_ ? factoryScene_ : scene_, vistaVersion_, scene_};
  CNodeRef node = NodeFactory(typeName, creation, classes_);
  if (!node) {
    SetMessage("Unknown node type '%s'.", typeName.c_str());
    return false;
  }
  if (node->GetTypeId() == NodeTypeProtoInstance) {
    const auto& instance = static_cast<const CProtoInstanceNode&>(*node.GetNode());
    if (instance.IsRefused()) {
      message_ = instance.GetMessage();
      return false;
    }
  }
  if (defTable_.size() >= static_cast<size_t>(kMaxNodesPerFile)) {
    SetMessage("Too many nodes in this file.");
    return false;
  }
  defTable_.push_back(node);
  if (!defName.empty()) {
    node->SetDefName(defName);
    firstDef_.try_emplace(defName, defTable_.size() - 1);
  }
  {
    OpenNode open(*this, node.GetNode());
    if (!ReadNodeBody(node.GetNode(), typeName)) return false;
  }
  out = node;
  if (CNode* resolved = out.Resolve()) BindIfFirst(resolved);
  return true;
}

bool CSceneReader::ReadNodeBody(CNode* node, const std::string& typeName) {
  for (;;) {
    const size_t start = stream_.Tell();
    SetMessage("EOF while parsing node.");
    std::string word;
    if (!stream_.ReadWord(word, kStatementWord)) return false;
    if (word == "}") return true;
    if (word == "ROUTE") {
      stream_.Seek(start);
      if (!RouteParser()) return false;
      continue;
    }
    if (word.starts_with('#')) {
      SkipComment();
      continue;
    }
    const size_t afterWord = stream_.Tell();
    if (ReadFieldValue(node, word, typeName)) continue;
    if (node->GetTypeId() == NodeTypeScript) {
      if (!ReadScriptDeclaration(node, word, afterWord)) return false;
    } else if (!isHandler_ || !ApplyIsRule(node, word, afterWord, true)) {
      return false;
    }
  }
}

bool CSceneReader::ReadScriptDeclaration(CNode* node, const std::string& word, size_t afterWord) {
  SetMessage("Error parsing Script node.");
  stream_.Seek(afterWord);
  const std::optional<FieldKind> kind = DeclarationKind(word);
  if (!kind) return isHandler_ && ApplyIsRule(node, word, afterWord, true);
  std::string name;
  if (!ReadDeclaration(node, *kind, "Script", name)) return false;
  const size_t afterName = stream_.Tell();
  if (kind == FieldKind::Field) {
    if (ReadFieldValue(node, name, "Script")) return true;
    return isHandler_ && ApplyIsRule(node, name, afterName, false);
  }
  return !isHandler_ || ApplyIsRule(node, name, afterName, true);
}

bool CSceneReader::ReadDeclaration(CNode* node, FieldKind kind, const char* owner, std::string& name) {
  std::string type;
  if (stream_.ReadWord(type, kTypeWord) && stream_.ReadWord(name, kStatementWord) &&
      node->AddFieldByTypeName(kind, name, type.c_str())) {
    return true;
  }
  const char* what = kind == FieldKind::Field ? "field" : kind == FieldKind::EventIn ? "eventIn" : "eventOut";
  SetMessage("Invalid %s %s specification.", owner, what);
  return false;
}

bool CSceneReader::ApplyIsRule(CNode* node, const std::string& member, size_t afterMember, bool goBack) {
  SetMessage("Error parsing Proto node.");
  if (goBack) stream_.Seek(afterMember);
  std::string is, interfaceName;
  if (!stream_.ReadWord(is, kTypeWord) || is != "IS" || !stream_.ReadWord(interfaceName, kTypeWord)) return false;
  isHandler_(IsRecord{interfaceName, member, node}, isContext_);
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
      if (std::find(boundTypes_.begin(), boundTypes_.end(), type) != boundTypes_.end()) return;
      boundTypes_.push_back(type);
      break;
    default:
      return;
  }
  const int16_t on = 1;
  node->ReceiveEvent("set_bind", &on);
}

bool CSceneReader::RouteParser() {
  SetMessage("Error parsing a ROUTE.");
  std::string route, source, to, target;
  if (!stream_.ReadWord(route, kNodeWord) || route != "ROUTE" || !stream_.ReadWord(source, kNodeWord) ||
      !stream_.ReadWord(to, kNodeWord) || to != "TO" || !stream_.ReadWord(target, kNodeWord)) {
    return false;
  }
  scene_->AddPendingRoute(PendingRoute::Make(source, target));
  return true;
}

// ---- PROTO and EXTERNPROTO statements ----

bool CSceneReader::ProtoParser(bool isExtern) {
  SetMessage("Bad Proto node.");
  std::string keyword, name, bracket;
  if (!stream_.ReadWord(keyword, kNodeWord) || (keyword != "PROTO" && keyword != "EXTERNPROTO") ||
      !stream_.ReadWord(name, kNodeWord) || !stream_.ReadWord(bracket, kNodeWord) || bracket != "[") {
    return false;
  }
  if (std::find(std::begin(kExtensionProtoNames), std::end(kExtensionProtoNames), name) !=
      std::end(kExtensionProtoNames)) {
    return ReadExtensionProto(name);
  }
  CProtoDeclaration* declaration = scene_->CreateProto(name, isExtern);
  SetMessage("Error parsing Proto node.");
  if (!declaration) return false;
  if (!ReadProtoInterface(declaration, !isExtern)) return false;
  if (!isExtern) return CopyProtoBody(declaration, name);

  CFieldValue urls(FieldTypeMFString);
  if (!ReadValue(FieldTypeMFString, urls.Data())) return false;
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

bool CSceneReader::ReadProtoInterface(CNode* declaration, bool readDefaults) {
  std::string word, name;
  while (stream_.ReadWord(word, kStatementWord) && word != "]") {
    const std::optional<FieldKind> kind = DeclarationKind(word);
    if (!kind) continue;
    if (!ReadDeclaration(declaration, *kind, "Proto", name)) return false;
    if (kind == FieldKind::Field && readDefaults && !ReadFieldValue(declaration, name, "Proto")) return false;
  }
  return true;
}

bool CSceneReader::CopyProtoBody(CNode* declaration, const std::string& name) {
  SetMessage("Error parsing Proto node.");
  if (!SkipPast('{')) return false;
  std::string path;
  std::FILE* file = CreateUniqueFile(DownloadCacheDirectory(), SafeProtoFileStem(name), path);
  if (file) std::fwrite(kProtoBodyHeader.data(), 1, kProtoBodyHeader.size(), file);
  // The body is read to its end even when it cannot be kept, so that the
  // rest of the file still reads; the declaration then has no body.
  // Braces count only in the statements, not inside strings or comments.
  int depth = 1;
  TextPlace place = TextPlace::Statement;
  for (int c = stream_.GetChar(); c >= 0; c = stream_.GetChar()) {
    if (place == TextPlace::Statement) {
      if (c == '{') ++depth;
      if (c == '}' && --depth == 0) break;
    }
    place = PlaceAfter(place, static_cast<char>(c));
    if (file) std::fputc(c, file);
  }
  const bool written = file && std::fclose(file) == 0;
  if (depth != 0) {
    if (!path.empty()) std::remove(path.c_str());
    return false;
  }
  if (written) static_cast<CProtoDeclaration*>(declaration)->SetBodyFilePath(path);
  return true;
}

// ---- Characters ----

bool CSceneReader::ReadName(std::string& out) {
  out.clear();
  int c = stream_.GetChar();
  while (c >= 0 && IsSpace(c)) c = stream_.GetChar();
  if (c < 0) return false;
  for (;;) {
    out.push_back(static_cast<char>(c));
    if (out.size() > kMaxReadNameLength) return false;
    const size_t before = stream_.Tell();
    c = stream_.GetChar();
    if (c < 0) return true;
    if (IsSpace(c) || c == ',' || c == ']' || c == '}') {
      stream_.Seek(before);
      return true;
    }
  }
}

void CSceneReader::SkipComment() {
  for (int c = stream_.GetChar(); c >= 0 && c != '\n' && c != '\r'; c = stream_.GetChar()) {
  }
}

bool CSceneReader::ReadNonSpace(char& out) {
  int c = stream_.GetChar();
  while (c >= 0 && IsSpace(c)) c = stream_.GetChar();
  if (c < 0) return false;
  out = static_cast<char>(c);
  return true;
}

bool CSceneReader::ReadNonSpaceSkippingComments(char& out, size_t* at) {
  if (!ReadNonSpace(out)) return false;
  while (out == '#') {
    SkipComment();
    if (!ReadNonSpace(out)) return false;
  }
  if (at) *at = stream_.Tell() - 1;
  return true;
}

bool CSceneReader::SkipPast(char wanted) {
  for (int c = stream_.GetChar(); c >= 0; c = stream_.GetChar()) {
    if (c == wanted) return true;
  }
  return false;
}

}  // namespace vx
