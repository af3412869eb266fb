// Reads the text of a VRML 2.0 file into the nodes of a scene.
//
// ReadScene checks the header, reads statements to the end (nodes, DEF/USE,
// ROUTE, PROTO and EXTERNPROTO), makes each node through the node factory,
// reads its field values, adds every top-level node to the scene's root and
// wires the ROUTEs once the whole file is read. PROTO and EXTERNPROTO
// statements may also stand inside a node's body. It binds the first
// NavigationInfo, Display, Viewpoint, Fog, Vista and Background of the read
// (ReadSession.h). On
// failure it returns false and GetMessage says why, in the words of the
// innermost step that failed, and GetErrorLine where; the nodes read before
// the failure stay in the scene.
//
// The same reader serves scene files, Inline bodies, PROTO bodies (with an
// IS handler installed by the PROTO instance) and external PROTO interfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/scene/InputError.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/ReadSession.h"
#include "engine/scene/SceneInputStream.h"

namespace vx {

class CProtoDeclaration;
class CScene;

// What a PROTO body's reader hands to the instance for each "member IS name".
struct IsRecord {
  std::string interfaceName;
  std::string memberName;
  CNode* node = nullptr;
};

// Connects the record; what is wrong with it (an interface name the PROTO
// does not declare), or empty. A connection that is wrong is left out and the
// read goes on.
using IsHandler = std::string (*)(const IsRecord& record, void* context);

// The Vista prototype versions: before 1.5 the factory makes the legacy Vista
// class, from 1.5 on the current one.
inline constexpr float kVistaVersionLegacy = 1.0f;
inline constexpr float kVistaVersionCurrent = 1.5f;

// The maker's version-1.5 Vista prototype; an EXTERNPROTO Vista must name it.
inline constexpr std::string_view kVistaPrototypeUrl = "http://www.orvanta.example/proto/vistaproto15.wrl#Vista";

// What a PROTO body's text is read behind, as a file of its own.
inline constexpr std::string_view kProtoBodyHeader = "#VRML V2.0 utf8\n\n";

class CSceneReader {
 public:
  explicit CSceneReader(CSceneInputStream& stream, const NodeClassTable& classes = StandardNodeClasses());
  ~CSceneReader();
  CSceneReader(const CSceneReader&) = delete;
  CSceneReader& operator=(const CSceneReader&) = delete;

  [[nodiscard]] bool ReadScene(CScene* scene);
  const std::string& GetMessage() const { return error_.GetMessage(); }
  // The line (from 1) where the read failed; 0 while it did not.
  int GetErrorLine() const;
  // Whether the read failed because a PROTO instance's body may never be read.
  bool WasRefused() const { return refused_; }
  // The first problem of a read that succeeded: a PROTO instance whose body
  // did not read, or a ROUTE that could not be wired; empty when there was
  // none. Problems of the PROTO bodies read meanwhile count too.
  const std::string& GetProblem() const { return session_->GetProblem(); }

  // The PROTO bodies read by this reader join the session of an enclosing
  // read (not owned; outlives the reader) instead of the reader's own.
  void SetSession(CReadSession* session) { session_ = session ? session : &ownSession_; }

  // The read starts this many node levels deep (an Inline's file, read
  // below the nodes above the Inline): deeper nesting in all is refused.
  void StartAtLevel(int level) { session_->StartAtLevel(level); }

  // Nodes are made for this scene instead of the reader's (a PROTO instance
  // makes its body's nodes for its own scene).
  void SetFactoryScene(CScene* scene) { factoryScene_ = scene; }
  // Whether this read binds (on by default): off, nothing it reads binds,
  // nor anything in the PROTO bodies it reads (an Inline's file binds none,
  // its bindable nodes wait for a set_bind).
  void SetBindsFirstNodes(bool binds) { bindsFirstNodes_ = binds; }
  void SetIsHandler(IsHandler handler, void* context) {
    isHandler_ = handler;
    isContext_ = context;
  }
  // The Vista prototype version of this read; every reader starts at 1.0.
  float GetVistaVersion() const { return vistaVersion_; }

  // Field values read without ReadScene (an external PROTO's defaults) wait
  // with their ROUTEs in scope, and bind nothing.
  void SetValueScope(CScene* scope) {
    scene_ = scope;
    bindsFirstNodes_ = false;
  }
  // Reads one value of the type into value, outside ReadScene (a PROTO
  // default's text read again for an instance).
  [[nodiscard]] bool ReadValueOfType(FieldType type, void* value);
  // Reads the value of the named field of the node from the stream and sets
  // it; a value that fails leaves the field as it was.
  [[nodiscard]] bool ReadFieldValueOnNode(CNode* node, std::string_view name, std::string_view typeName) {
    return ReadFieldValue(node, name, typeName);
  }
  // Reads the default value of the declaration's field from the stream and
  // sets it; a node value's text is kept for the instances.
  [[nodiscard]] bool ReadProtoDefault(CProtoDeclaration& declaration, std::string_view name);
  // Takes the body text that follows (from the next '{' to its matching
  // '}') into the declaration; false when the input ends first.
  [[nodiscard]] bool TakeProtoBody(CProtoDeclaration& declaration);

 private:
  class OpenNode;

  bool ReadStatementsGuarded();
  bool ReadStatement(const std::string& word, size_t start);
  bool ParseNode(CNodeRef& out);
  bool ParseNodeOfType(CNodeRef& out, const std::string& defName);
  bool ParseUse(CNodeRef& out, const std::string& name);
  // Stores a value read for the node's field, testing only the nodes that
  // were placed before.
  [[nodiscard]] bool StoreReadValue(CNode* node, std::string_view name, FieldType type, void* value);
  bool ReadNodeBody(CNode* node, const std::string& typeName);
  // One line of a node's body that is no ROUTE: a field value, a Script
  // declaration, or inside a PROTO body "member IS name".
  bool ReadMember(CNode* node, const std::string& name, const std::string& typeName);
  bool ReadScriptDeclaration(CNode* node, FieldKind kind);
  // Reads "type name" after a declaration keyword and declares the member;
  // a refusal raises "Invalid <owner> <kind> specification.".
  bool ReadDeclaration(CNode* node, FieldKind kind, const char* owner, std::string& name);
  // Inside a PROTO body: true, having read it, when the next word is "IS".
  bool NextWordIsIs();
  // The interface name after "member IS", handed to the IS handler.
  bool ReadIsTarget(CNode* node, const std::string& member);
  void BindIfFirst(CNode* node);
  CNode* FindDef(std::string_view name) const;
  bool RouteParser();
  bool ProtoParser(bool isExtern);
  bool ReadExtensionProto(const std::string& name);
  bool ReadProtoInterface(CProtoDeclaration& declaration, bool readDefaults);

  // Field values.
  bool ReadFieldValue(CNode* node, std::string_view name, std::string_view typeName);
  bool ReadValue(FieldType type, void* value);
  bool ReadElement(FieldType type, void* value);
  bool ReadMultipleValue(FieldType type, void* value);
  bool ReadFloats(float* out, int count);
  bool ReadSFBool(int16_t& out);
  bool ReadString(SFString& out);
  bool ReadImage(SFImage& out);

  // Characters.
  bool ReadName(std::string& out);
  void SkipComment();
  // The next character that is no separator; at receives its position, to
  // go back to it.
  bool ReadNonSpace(char& out, size_t* at = nullptr);
  bool SkipPast(char wanted);
  // Raises an input error at the stream's position (kept only when no step
  // inside has raised one); always false.
  bool Fail(const char* format, ...) __attribute__((format(printf, 2, 3)));

  CSceneInputStream& stream_;
  const NodeClassTable& classes_;
  CScene* scene_ = nullptr;
  CScene* factoryScene_ = nullptr;
  CInputError error_;
  bool refused_ = false;
  CReadSession ownSession_;
  CReadSession* session_ = &ownSession_;
  // Names are looked up by view, without a string made for each USE.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  std::vector<CNodeRef> defTable_;
  // For each entry of the DEF table, the entry of the DEF of the same name
  // before it (-1: none); with the last entry of each name, the chain of
  // every DEF of a name, newest first.
  std::vector<int32_t> earlierDef_;
  std::unordered_map<std::string, int32_t, NameHash, std::equal_to<>> lastDef_;
  // The node levels each named node reaches, its own included, for a USE
  // to count them at its place.
  std::unordered_map<const CNode*, int32_t> defHeights_;
  // Nodes stored into a field already: only those can hold a node above the
  // one they are stored into, which the hierarchy test then has to rule out.
  std::unordered_set<const CNode*> placed_;
  std::vector<CNode*> openNodes_;
  std::string word_;
  std::vector<unsigned char> scratch_;
  float vistaVersion_ = kVistaVersionLegacy;
  bool bindsFirstNodes_ = true;
  IsHandler isHandler_ = nullptr;
  void* isContext_ = nullptr;
};

}  // namespace vx
