#include "engine/scene/ProtoInstanceNode.h"

#include <algorithm>
#include <vector>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/ReadSession.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/nodes/GroupNode.h"

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
    CReadSession session;
    std::string message;
    (void)Instantiate(session, message);
  }
  if (view && body_) PickChildSensors(pass, view, body_->GetRoot()->children);
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
  return children.count == 1 ? children[0].Resolve() : nullptr;
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

void CProtoInstanceNode::ConnectIs(const IsRecord& record, void* instance) {
  auto& self = *static_cast<CProtoInstanceNode*>(instance);
  if (record.interfaceName.size() > kMaxDeclaredNameLength) return;
  CNode& node = *record.node;
  if (FieldType type = node.GetFieldType(record.memberName)) {
    self.ConnectField(record, type);
  } else if ((type = node.GetEventOutType(record.memberName))) {
    self.ConnectEventOut(record, type);
  } else if ((type = node.GetEventInType(record.memberName))) {
    self.ConnectEventIn(record, type);
  }
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

void CProtoInstanceNode::ConnectField(const IsRecord& record, FieldType type) {
  const std::string& name = record.interfaceName;
  const bool declaredHere = FindField(name) < 0;
  // A field of another type is never copied: its value has another layout.
  if (!HasOrDeclares(FieldKind::Field, name, type)) return;
  CProtoDeclaration& declaration = *GetDeclaration();
  if (record.node->IsHierarchyEventIn(record.memberName)) hierarchyFields_ |= uint64_t{1} << FindField(name);
  if (declaredHere && declaration.GetFieldType(name) == type) SetField(name, declaration.GetFieldByName(name));
  record.node->SetField(record.memberName, GetFieldByName(name));
  (void)AddRouteToNode(name + "_changed", "set_" + record.memberName, record.node);
  // An exposedField also reports what the body changes: the instance takes
  // the value and sends it on as "<name>_changed". Delivery stops where an
  // event would come round again.
  if (declaration.IsExposed(name)) (void)record.node->AddRouteToNode(record.memberName + "_changed", "set_" + name, this);
}

void CProtoInstanceNode::ConnectEventOut(const IsRecord& record, FieldType type) {
  const std::string in = std::string(kProtoInPrefix) + record.interfaceName;
  if (!HasOrDeclares(FieldKind::EventOut, record.interfaceName, type)) return;
  if (!HasOrDeclares(FieldKind::EventIn, in, type)) return;
  (void)record.node->AddRouteToNode(record.memberName, in, this);
}

void CProtoInstanceNode::ConnectEventIn(const IsRecord& record, FieldType type) {
  const std::string out = std::string(kProtoOutPrefix) + record.interfaceName;
  if (!HasOrDeclares(FieldKind::EventIn, record.interfaceName, type)) return;
  if (!HasOrDeclares(FieldKind::EventOut, out, type)) return;
  if (record.node->IsHierarchyEventIn(record.memberName))
    hierarchyEventIns_ |= uint64_t{1} << FindEventIn(record.interfaceName);
  (void)AddRouteToNode(out, record.memberName, record.node);
}

}  // namespace vx
