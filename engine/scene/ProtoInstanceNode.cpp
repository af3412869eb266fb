#include "engine/scene/ProtoInstanceNode.h"

#include <algorithm>
#include <vector>

#include "engine/scene/ChildWalk.h"
#include "engine/scene/GroupNode.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/ReadSession.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneReader.h"

namespace vx {
namespace {

constexpr FieldSpec kInstanceFields[] = {
    Field<&CProtoInstanceNode::dummy0>("dummy"),
    Field<&CProtoInstanceNode::dummy1>("dummy"),
    Field<&CProtoInstanceNode::dummy2>("dummy"),
};

constexpr std::string_view kProtoInPrefix = "proto_in_";
constexpr std::string_view kProtoOutPrefix = "proto_out_";
// Interface names keep the declared-name limit; the events that carry them
// across the instance are longer by their prefix.
constexpr size_t kMaxForwardingNameLength = kMaxDeclaredNameLength + kProtoOutPrefix.size();

FieldType TypeOf(std::span<const FieldSpec> section, int index) {
  return index >= 0 ? section[static_cast<size_t>(index)].type : FieldTypeNone;
}

}  // namespace

CProtoInstanceNode::CProtoInstanceNode(CProtoDeclaration& declaration, const NodeClassTable* classes)
    : CRuntimeFieldNode(Section(kInstanceFields), kMaxForwardingNameLength),
      declaration_(&declaration),
      classes_(classes) {
  RegisterFixedFields();
  const FieldTable& interface = *declaration.GetFieldTable();
  for (size_t i = static_cast<size_t>(declaration.GetFixedFieldCount()); i < interface.fields.size(); ++i) {
    (void)AddFieldByTypeCode(FieldKind::Field, interface.fields[i].name, interface.fields[i].type);
  }
  TakeDeclaredDefaults();
  for (const FieldSpec& event : interface.eventIns) (void)AddFieldByTypeCode(FieldKind::EventIn, event.name, event.type);
  for (const FieldSpec& event : interface.eventOuts) (void)AddFieldByTypeCode(FieldKind::EventOut, event.name, event.type);
}

CProtoInstanceNode::~CProtoInstanceNode() = default;

void CProtoInstanceNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!body_ && !refused_ && !bodyFailed_) {
    CReadSession session(CReadSession::Binding::kNone);
    session.StartAtLevel(GetWalkDepth());
    std::string message;
    (void)Instantiate(session, message);
  }
  if (!view || !body_) return;
  MFNode& roots = body_->GetRoot()->children;
  if (roots.count == 0) return;
  const MFNode first{1, &roots[0]};
  PickChildSensors(pass, view, first);
  // The other top-level nodes are no part of the scene: nothing of them is
  // drawn, lit or picked, but their clocks run, for the ROUTEs they feed.
  if (pass != RenderPass::Frame) return;
  for (int32_t i = 1; i < roots.count; ++i) {
    if (roots[i]) roots[i]->Traverse(RenderPass::Frame, nullptr);
  }
}

CProtoInstanceNode::InstantiateResult CProtoInstanceNode::Instantiate(CReadSession& session, std::string& message) {
  if (body_) return InstantiateResult::Done;
  CProtoDeclaration& declaration = *GetDeclaration();
  InstantiateResult result = InstantiateResult::Refused;
  if (refused_) {
    message = message_;
    return result;
  }
  // Asked before anything is fetched: an instance inside its declaration's
  // own defaults is made before the body is known.
  message = session.RefusalFor(declaration);
  if (message.empty() && !declaration.FetchBody(session)) {
    result = InstantiateResult::NoBody;
    declaration.AwaitBody(*this);
  } else if (message.empty()) {
    CReadSession::ActiveBody active(session, declaration);
    TakeDeclaredDefaults();
    MakeOwnDefaultNodes(session);
    result = ReadBody(session, message);
  }
  refused_ = result == InstantiateResult::Refused;
  bodyFailed_ = result == InstantiateResult::BadBody;
  message_ = message;
  return result;
}

void CProtoInstanceNode::TakeDeclaredDefaults() {
  CProtoDeclaration& declaration = *GetDeclaration();
  const FieldTable& interface = *declaration.GetFieldTable();
  for (size_t i = static_cast<size_t>(declaration.GetFixedFieldCount()); i < interface.fields.size(); ++i) {
    const FieldSpec& field = interface.fields[i];
    const int index = FindField(field.name);
    if (index < 0 || IsFieldSet(index) || GetFieldType(field.name) != field.type) continue;
    CopyFieldValue(field.type, GetFieldAddress(index), declaration.GetFieldAddress(static_cast<int>(i)));
  }
}

void CProtoInstanceNode::MakeOwnDefaultNodes(CReadSession& session) {
  CProtoDeclaration& declaration = *GetDeclaration();
  const FieldTable& interface = *declaration.GetFieldTable();
  for (size_t i = static_cast<size_t>(declaration.GetFixedFieldCount()); i < interface.fields.size(); ++i) {
    const std::string_view name = interface.fields[i].name;
    const std::string& text = declaration.GetNodeDefaultText(name);
    const int index = FindField(name);
    if (text.empty() || index < 0 || IsFieldSet(index)) continue;
    // Nodes that ROUTEs inside the default name stay among themselves.
    CScene scope(WorldLinkOf(GetScene()));
    auto stream = CSceneInputStream::FromText(text);
    CSceneReader reader(stream, classes_ ? *classes_ : StandardNodeClasses());
    reader.SetValueScope(&scope);
    reader.SetFactoryScene(GetScene());
    reader.SetSession(&session);
    // A default that does not read alone (it USEs a node named outside it)
    // stays shared with the declaration.
    CFieldValue value(interface.fields[i].type);
    if (reader.ReadValueOfType(interface.fields[i].type, value.Data())) CopyFieldValue(interface.fields[i].type, GetFieldAddress(index), value.Data());
  }
}

CProtoInstanceNode::InstantiateResult CProtoInstanceNode::ReadBody(CReadSession& session, std::string& message) {
  auto stream = CSceneInputStream::FromText(std::string(kProtoBodyHeader) + GetDeclaration()->GetBodyText());

  // The body runs on the world of the instance.
  auto body = std::make_unique<CScene>(WorldLinkOf(GetScene()));
  if (const CScene* scene = GetScene()) {
    body->SetWorldUrl(scene->GetWorldUrl());
    body->SetWorldDirectory(scene->GetWorldDirectory());
  }
  // Declarations visible where this one was declared are visible in its body;
  // the link lasts only for the read, as the declaring scene may go first.
  body->SetEnclosingScene(GetDeclaration()->GetScene());
  CSceneReader reader(stream, classes_ ? *classes_ : StandardNodeClasses());
  reader.SetFactoryScene(GetScene());
  reader.SetIsHandler(&CProtoInstanceNode::ConnectIs, this);
  reader.SetSession(&session);
  const bool read = reader.ReadScene(body.get());
  body->SetEnclosingScene(nullptr);
  if (!read) {
    // An instance refused inside the body refuses this one, for its reason.
    message = reader.GetMessage();
    return reader.WasRefused() ? InstantiateResult::Refused : InstantiateResult::BadBody;
  }
  // The reader has wired the body's own ROUTEs; ROUTEs of the enclosing scene
  // reach this node itself, whose interface exists from construction.
  body_ = std::move(body);
  return InstantiateResult::Done;
}

CNode* CProtoInstanceNode::GetInnerRoot() const { return body_ ? body_->GetRoot() : nullptr; }

bool CProtoInstanceNode::IsHierarchyMember(FieldKind kind, int index) const {
  const uint64_t members = kind == FieldKind::Field ? hierarchyFields_ : kind == FieldKind::EventIn ? hierarchyEventIns_ : 0;
  if (index >= 0 && index < kMaxFieldsPerSection && (members >> index & 1) != 0) return true;
  return CRuntimeFieldNode::IsHierarchyMember(kind, index);
}

CNode* CProtoInstanceNode::GetPrimaryNode() const {
  if (!body_) return nullptr;
  const MFNode& children = body_->GetRoot()->children;
  return children.count > 0 ? children[0].Resolve() : nullptr;
}

int CProtoInstanceNode::OnEventIn(bool isField, int index, const void* value) {
  if (isField) return CRuntimeFieldNode::OnEventIn(isField, index, value);
  const FieldTable* table = GetFieldTable();
  if (index < 0 || static_cast<size_t>(index) >= table->eventIns.size()) return 0;
  const std::string_view name = table->eventIns[static_cast<size_t>(index)].name;
  if (name.starts_with(kProtoInPrefix)) {
    SendEvent(name.substr(kProtoInPrefix.size()), value);
    return 0;
  }
  const std::string into = std::string(kProtoOutPrefix) + std::string(name);
  if (FindEventOut(into) >= 0) SendEvent(into, value);
  return 0;
}

std::string CProtoInstanceNode::ConnectIs(const IsRecord& record, void* instance) {
  return static_cast<CProtoInstanceNode*>(instance)->Connect(record);
}

// An IS joins a member of a body node to an interface member of the same
// type: a field to a field; a field (every field of a node here is exposed)
// also to an eventIn, which sets it, or to an eventOut, which its changes
// leave by; an event to an event of its direction, or to an exposedField.
std::string CProtoInstanceNode::Connect(const IsRecord& record) {
  const CProtoDeclaration& declaration = *GetDeclaration();
  const std::string& name = record.interfaceName;
  const std::string& member = record.memberName;
  const CNode& node = *record.node;
  auto problem = [&](const char* what) {
    return "PROTO '" + declaration.GetName() + "': " + member + " IS " + name + ": " + what;
  };
  if (name.size() > kMaxDeclaredNameLength) return problem("the interface name is too long.");
  const FieldTable& interface = *declaration.GetFieldTable();
  const FieldType field = declaration.GetFieldType(name);
  const FieldType eventIn = TypeOf(interface.eventIns, declaration.FindEventIn(name));
  const FieldType eventOut = TypeOf(interface.eventOuts, declaration.FindEventOut(name));
  if (!field && !eventIn && !eventOut) return problem("the interface declares no such field or event.");
  const bool exposed = field && declaration.IsExposed(name);

  bool connected = false;
  if (const FieldType type = node.GetFieldType(member)) {
    if (type == field) {
      connected = ConnectField(record, type);
    } else if (type == eventIn) {
      connected = ConnectEventIn(record, "set_" + member, type);
    } else if (type == eventOut) {
      connected = ConnectEventOut(record, member + "_changed", type);
    }
  } else if (const FieldType out = node.GetEventOutType(member)) {
    if (out == eventOut) {
      connected = ConnectEventOut(record, member, out);
    } else if (out == field && exposed) {
      connected = record.node->AddRouteToNode(member, "set_" + name, this);
    }
  } else if (const FieldType in = node.GetEventInType(member)) {
    if (in == eventIn) {
      connected = ConnectEventIn(record, member, in);
    } else if (in == field && exposed) {
      connected = AddRouteToNode(name + "_changed", member, record.node);
      if (connected && node.IsHierarchyEventIn(member)) hierarchyFields_ |= uint64_t{1} << FindField(name);
    }
  } else {
    return problem("the node has no such field or event.");
  }
  return connected ? std::string() : problem("the two differ in type or direction.");
}

bool CProtoInstanceNode::HasOrDeclares(FieldKind kind, const std::string& name, FieldType type) {
  const FieldTable& table = *GetFieldTable();
  std::span<const FieldSpec> section = kind == FieldKind::Field     ? table.fields
                                       : kind == FieldKind::EventIn ? table.eventIns
                                                                    : table.eventOuts;
  const auto found = std::find_if(section.begin(), section.end(), [&](const FieldSpec& spec) { return name == spec.name; });
  if (found != section.end()) return found->type == type;
  return AddFieldByTypeCode(kind, name, type);
}

bool CProtoInstanceNode::ConnectField(const IsRecord& record, FieldType type) {
  const std::string& name = record.interfaceName;
  // An EXTERNPROTO's instance made before the file was fetched lacks what
  // the file's interface added.
  const bool declaredHere = FindField(name) < 0;
  if (!HasOrDeclares(FieldKind::Field, name, type)) return false;
  CProtoDeclaration& declaration = *GetDeclaration();
  if (record.node->IsHierarchyEventIn(record.memberName)) hierarchyFields_ |= uint64_t{1} << FindField(name);
  if (declaredHere) SetField(name, declaration.GetFieldByName(name));
  record.node->SetField(record.memberName, GetFieldByName(name));
  (void)AddRouteToNode(name + "_changed", "set_" + record.memberName, record.node);
  // An exposedField also reports what the body changes: the instance takes
  // the value and sends it on as "<name>_changed". Delivery stops where an
  // event would come round again.
  if (declaration.IsExposed(name)) (void)record.node->AddRouteToNode(record.memberName + "_changed", "set_" + name, this);
  return true;
}

bool CProtoInstanceNode::ConnectEventOut(const IsRecord& record, const std::string& eventOut, FieldType type) {
  const std::string in = std::string(kProtoInPrefix) + record.interfaceName;
  return HasOrDeclares(FieldKind::EventOut, record.interfaceName, type) && HasOrDeclares(FieldKind::EventIn, in, type) &&
         record.node->AddRouteToNode(eventOut, in, this);
}

bool CProtoInstanceNode::ConnectEventIn(const IsRecord& record, const std::string& eventIn, FieldType type) {
  const std::string out = std::string(kProtoOutPrefix) + record.interfaceName;
  if (!HasOrDeclares(FieldKind::EventIn, record.interfaceName, type) || !HasOrDeclares(FieldKind::EventOut, out, type)) {
    return false;
  }
  if (record.node->IsHierarchyEventIn(eventIn)) hierarchyEventIns_ |= uint64_t{1} << FindEventIn(record.interfaceName);
  return AddRouteToNode(out, eventIn, record.node);
}

}  // namespace vx
