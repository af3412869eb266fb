// A node made from a PROTO or EXTERNPROTO declaration of the world: it
// carries a copy of the declaration's interface, with the declaration's
// default values, and once instantiated a scene of its own read from the
// declaration's body text.
//
// Every IS line of the body becomes a ROUTE between the instance and the body
// node: a field of the instance reaches the node through "<name>_changed"; an
// event the instance receives leaves through its eventOut "proto_out_<name>"
// into the body; an event of the body enters the instance's eventIn
// "proto_in_<name>" and leaves the instance through its eventOut <name>. An
// IS that names nothing the interface declares is left out, and said so.
//
// The first top-level node of the body is the instance's part of the scene:
// it is drawn, and where a reference is resolved it stands for the instance.
// The others are read and live (their ROUTEs work and their clocks run), but
// are never drawn.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/scene/ProtoDeclaration.h"

namespace vx {

class CReadSession;
class CScene;
class NodeClassTable;
struct IsRecord;

class CProtoInstanceNode : public CRuntimeFieldNode {
 public:
  enum class InstantiateResult {
    Done,
    // An EXTERNPROTO whose body has not arrived (yet).
    NoBody,
    BadBody,
    // The body instantiates its own declaration, directly or through others,
    // or declarations nest too deeply; never tried again.
    Refused,
  };

  // classes: the node classes the body is read with (not owned; outlives the
  // instance); the standard classes when null.
  explicit CProtoInstanceNode(CProtoDeclaration& declaration, const NodeClassTable* classes = nullptr);

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeProtoInstance; }
  // An instance is written under the name of its declaration.
  std::string_view GetTypeName() const override { return GetDeclaration()->GetName(); }
  CNode* ResolveInstance() override { return GetPrimaryNode(); }
  CNode* GetInnerRoot() const override;
  // An interface member that IS passes on to a member of the hierarchy in
  // the body is one itself.
  bool IsHierarchyMember(FieldKind kind, int index) const override;
  // Instantiates on the first traversal when the factory could not (retried
  // while an EXTERNPROTO's body has not arrived; a body that failed to read
  // is not read again), then traverses the body's first top-level node as
  // this node's child.
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  // Reads the body into a scene of its own, within the read session (whose
  // PROTO bodies being read it must not read again); message gets the reason
  // of a failure. An instance already instantiated is done; one whose
  // EXTERNPROTO body is on its way is instantiated when it arrives.
  [[nodiscard]] InstantiateResult Instantiate(CReadSession& session, std::string& message);
  // The body's first top-level node, resolved again so that nested instances
  // unwrap; null before instantiation.
  CNode* GetPrimaryNode() const;

  bool IsInstantiated() const { return body_ != nullptr; }
  bool IsRefused() const { return refused_; }
  // Why instantiation last failed; empty when it did not.
  const std::string& GetMessage() const { return message_; }
  CScene* GetBody() const { return body_.get(); }
  CProtoDeclaration* GetDeclaration() const { return static_cast<CProtoDeclaration*>(declaration_.GetNode()); }

  // Three placeholder fields precede the interface, which starts at field 3.
  SFVec3f dummy0{};
  SFVec3f dummy1{};
  SFVec3f dummy2{};

 protected:
  ~CProtoInstanceNode() override;

 private:
  static std::string ConnectIs(const IsRecord& record, void* instance);
  std::string Connect(const IsRecord& record);
  bool ConnectField(const IsRecord& record, FieldType type);
  // The body node's eventOut (or "<field>_changed") leaves the instance by
  // the interface's eventOut.
  bool ConnectEventOut(const IsRecord& record, const std::string& eventOut, FieldType type);
  // The interface's eventIn reaches the body node's eventIn (or "set_<field>").
  bool ConnectEventIn(const IsRecord& record, const std::string& eventIn, FieldType type);
  // Unset fields take the declaration's defaults (an EXTERNPROTO learns them
  // only when its file has been fetched).
  void TakeDeclaredDefaults();
  // Unset node fields whose default the declaration has as text take nodes
  // of their own, read from it within the session.
  void MakeOwnDefaultNodes(CReadSession& session);
  bool HasOrDeclares(FieldKind kind, const std::string& name, FieldType type);
  InstantiateResult ReadBody(CReadSession& session, std::string& message);

  CNodeRef declaration_;
  const NodeClassTable* classes_;
  std::unique_ptr<CScene> body_;
  std::string message_;
  bool refused_ = false;
  bool bodyFailed_ = false;
  // Bits by field and by eventIn index.
  uint64_t hierarchyFields_ = 0;
  uint64_t hierarchyEventIns_ = 0;
};

}  // namespace vx
