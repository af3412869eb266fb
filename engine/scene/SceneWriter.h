// Writes a world back as VRML 2.0 text that the scene reader reads again.
//
// The text: the header, an optional comment line, the root's children with
// DEF and USE, every field that was set (all declared fields of a Script,
// with their "field" lines, then its eventIn and eventOut lines), and the
// world's ROUTE statements as they were read. Each node is written under its
// own type name, a PROTO instance under its declaration's. Every PROTO and
// EXTERNPROTO declaration that the written nodes use, directly or through
// another declaration, is written once, before the top-level node that first
// uses it. Nesting is shown with one tab per level; a list of exactly one
// element is written without brackets.
//
// Values keep what the reader needs to give them back exactly: floats and
// times are written in the shortest form that reads back as the same number,
// strings escape '"' and '\', an empty node is NULL. A node reached more than
// once is written the first time and USEd afterwards. Every node is written
// under its own DEF name, a name given twice included, unless another node of
// that name written between its DEF and a USE would take the USE: such a
// node, and a shared node without a name, is written under a generated one
// ("Shared_1", ...) that no node uses. The last DEF of a name always keeps
// it. A field whose default depends on the convention a world is read under
// (a Viewpoint's position) is always written. With resolved URLs, "url"
// fields and EXTERNPROTO URLs are completed against where their node or
// declaration was read; a URL with a scheme of its own stays as it is. A
// completed local path that lies below the folder the text is written for
// is written relative to that folder, so that the file and what it names
// can move together.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/scene/Node.h"

namespace vx {

class CProtoDeclaration;
class CScene;

class CSceneWriter {
 public:
  // The whole scene into the writer's text (which it replaces); nothing at
  // all for a null scene. With resolveUrls, the strings of every field named
  // "url" (a Script's excepted) are written as completed URLs.
  void WriteScene(CScene* scene, bool resolveUrls, const char* comment = nullptr);
  // The folder the text goes to (its path, without the file name); empty:
  // completed URLs stay as completed.
  void SetTargetFolder(std::string folder) { targetFolder_ = std::move(folder); }
  // One node and the nodes under it, at the current nesting.
  void WriteNode(const CNodeRef& node, bool onNewLine);

  const std::string& GetText() const { return text_; }

 private:
  void FindSharedNodes(CNode* node);
  // Appends to out the declarations that the PROTO instances under node
  // (written fields only) use and that are not yet planned, each after the
  // declarations it uses itself.
  void PlanDeclarations(CNode* node, std::vector<CProtoDeclaration*>& out);
  void PlanDeclaration(CProtoDeclaration* declaration, std::vector<CProtoDeclaration*>& out);
  void WriteDeclaration(CProtoDeclaration& declaration);
  void NameSharedNodes();
  const std::string& NameOf(const CNode& node) const;
  void WriteNodeHeader(CNode& node);
  void WriteFields(CNode& node, const std::string& fieldIndent);
  void WriteEventDeclarations(const CNode& node, const std::string& fieldIndent);
  void WriteValue(FieldType type, const void* value, const CNode* urlOwner);
  void WriteMFValue(FieldType type, const MFValue& value, const CNode* urlOwner);
  void WriteElement(FieldType type, const void* value, const CNode* urlOwner);
  void WriteString(std::string_view text);
  // A completed URL as the target folder names it.
  std::string FromTargetFolder(std::string completed) const;

  std::string text_;
  int depth_ = 0;
  bool resolveUrls_ = true;
  std::string targetFolder_;
  // Where each node is reached in the order of writing: how often, the
  // first time (its DEF) and the last.
  struct Reach {
    int count = 0;
    int first = 0;
    int last = 0;
  };
  std::unordered_map<const CNode*, Reach> reached_;
  int visitCount_ = 0;
  // Nodes reached more than once, in the order of their first USE.
  std::vector<const CNode*> sharedOrder_;
  // The written nodes of each DEF name, in the order of their DEFs.
  std::unordered_map<std::string, std::vector<const CNode*>> namedInOrder_;
  // The names that nodes are written under instead of their own.
  std::unordered_map<const CNode*, std::string> sharedNames_;
  std::unordered_set<const CNode*> written_;
  // The PROTO and EXTERNPROTO declarations written before each top-level
  // node, and what the search for them has seen.
  std::vector<std::vector<CProtoDeclaration*>> declarationsBefore_;
  std::unordered_set<const CNode*> searched_;
  std::unordered_set<const CProtoDeclaration*> planned_;
};

// The text of an SFImage value, shared with the property text: width, height
// and components, then " 0x%x" per pixel, the last stored row first.
void AppendImageText(std::string& out, const SFImage& image);

// The shortest text that reads back as exactly the same double.
std::string FormatDoubleExact(double value);

}  // namespace vx
