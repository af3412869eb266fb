// Slots that reach the nodes of a scene's world by DEF name and their fields
// by name, and that turn field values into text and back.
#include <new>
#include "engine/scene/PropertyText.h"
#include "engine/interface/EngineSlotSupport.h"

namespace vx {
namespace {

// The node that find picks from the world into a new reference at *out (null
// first). An empty world gives 0 and no reference.
template <typename Find>
EngineResult HandOutNode(vx::SceneHandle* scene, Find find, VxNodeRef** out) {
  *out = nullptr;
  if (!scene->world) return EngineOk;
  CNode* node = find(*scene->world);
  if (!node) return EngineNodeNotFound;
  *out = ToHandle(new CNodeRef(node));
  return EngineOk;
}

EngineResult FindNodeByName(::SceneHandle* scene, const char* defName, VxNodeRef** out) {
  if (!scene || !defName || !out) return EngineNullArgument;
  std::string name = BoundedText(defName);
  return HandOutNode(FromHandle(scene), [&name](CBrowser& world) { return world.FindNode(name); }, out);
}

EngineResult GetBoundNodeRef(::SceneHandle* scene, int32_t typeId, VxNodeRef** out) {
  if (!scene || !out) return EngineNullArgument;
  return HandOutNode(FromHandle(scene), [typeId](CBrowser& world) { return world.GetBoundNode(static_cast<NodeTypeId>(typeId)); }, out);
}

EngineResult ReleaseNodeRef(VxNodeRef* ref) {
  if (!ref) return EngineNullArgument;
  delete FromHandle(ref);
  return EngineOk;
}

// The checks every node slot makes: a scene, a reference and (when the slot
// takes one) a name are given, and the reference holds a node. The node
// acted on is the one held, a PROTO instance itself rather than its body.
EngineResult CheckNodeArguments(::SceneHandle* scene, VxNodeRef* ref, bool hasName, const char* name) {
  if (!scene || !ref || (hasName && !name)) return EngineNullArgument;
  return FromHandle(ref)->Resolve() ? EngineOk : EngineNodeNotFound;
}

// The type of the node as held: a PROTO instance is one even while it has no
// body to stand for it (an EXTERNPROTO whose file could not be fetched).
EngineResult GetNodeTypeId(::SceneHandle* scene, VxNodeRef* ref, int32_t* out) {
  if (!scene || !ref) return EngineNullArgument;
  const CNode* node = FromHandle(ref)->Get();
  if (!node) return EngineNodeNotFound;
  if (out) *out = node->GetTypeId();
  return EngineOk;
}

EngineResult GetNodeFieldType(::SceneHandle* scene, VxNodeRef* ref, const char* name, int32_t* out) {
  EngineResult result = CheckNodeArguments(scene, ref, true, name);
  if (result == EngineOk && out) *out = FromHandle(ref)->Get()->GetFieldType(BoundedText(name));
  return result;
}

EngineResult GetNodeEventInType(::SceneHandle* scene, VxNodeRef* ref, const char* name, int32_t* out) {
  EngineResult result = CheckNodeArguments(scene, ref, true, name);
  if (result == EngineOk && out) *out = FromHandle(ref)->Get()->GetEventInType(BoundedText(name));
  return result;
}

EngineResult GetNodeFieldValue(::SceneHandle* scene, VxNodeRef* ref, const char* name, void** out) {
  EngineResult result = CheckNodeArguments(scene, ref, true, name);
  if (result == EngineOk && out) *out = FromHandle(ref)->Get()->GetFieldByName(BoundedText(name));
  return result;
}

// The field takes a copy of the value; what the value holds is then given up,
// since a host frees the block itself with free: the elements of a list (the
// block keeps no array, and a count of 0 so that nothing reads elements that
// are gone) and the node of an SFNode value (the block keeps a null node).
// The node then hears of the change as of a field set by an event, so that
// what it derives from the field (a mesh, a camera) follows; a Script may
// pass it on to a host function. A field the node lacks sets nothing; a
// value the node refuses (see Node.h) is answered so.
EngineResult SetNodeField(::SceneHandle* scene, VxNodeRef* ref, const char* name, void* value) {
  EngineResult result = CheckNodeArguments(scene, ref, true, name);
  if (result != EngineOk || !value) return result;
  HostCallScope call(*FromHandle(scene)->instance);
  CNodeRef node(FromHandle(ref)->Get());
  std::string field = BoundedText(name);
  const int index = node->FindField(field);
  const FieldType type = node->GetFieldType(field);
  const bool stored = node->TrySetField(field, value);
  if (stored) (void)node->OnEventIn(true, index, value);
  if (IsMultiValued(type) || type == FieldTypeSFNode) FreeFieldValue(type, value);
  return stored || index < 0 ? EngineOk : EngineValueRefused;
}

EngineResult SendNodeEvent(::SceneHandle* scene, VxNodeRef* ref, const char* name, void* value) {
  EngineResult result = CheckNodeArguments(scene, ref, true, name);
  if (result != EngineOk || !value) return result;
  // A Script may pass the event on to a host function.
  HostCallScope call(*FromHandle(scene)->instance);
  const CNodeRef node(FromHandle(ref)->Get());
  return node->ReceiveEvent(BoundedText(name), value) == kEventRefused ? EngineValueRefused : EngineOk;
}

// Nodes made from text are activated with the view's context when the view
// has one.
int32_t ParseFieldValue(::SceneHandle* scene, ::ViewHandle* view, const char* text, FieldType type, void** out) {
  if (!text || !out) return kPropertyTextRefused;
  CBrowser* world = scene ? FromHandle(scene)->world.get() : nullptr;
  CScene* fileScene = world ? &world->GetScene() : nullptr;
  // A list value allocates its elements; running out of memory refuses the
  // text instead of letting the exception reach the host.
  try {
    return SetFieldValueFromText(text, type, out, fileScene, ViewContextOf(view));
  } catch (const std::bad_alloc&) {
    *out = nullptr;
    return kPropertyTextRefused;
  }
}

// A text cut to the caller's buffer would read back as another value; the
// caller hears of the cut.
EngineResult FormatFieldValue(const void* value, FieldType type, char* out) {
  if (!value || !out) return EngineNullArgument;
  return FieldValueToText(value, type, out, VX_TEXT_BUFFER_SIZE) ? EngineOk : EngineTextCut;
}

}  // namespace

void AddNodeSlots(EngineSlotTable& table) {
  SetEngineSlot<VxEngineFindNodeByName>(table, &FindNodeByName);
  SetEngineSlot<VxEngineReleaseNodeRef>(table, &ReleaseNodeRef);
  SetEngineSlot<VxEngineGetNodeTypeId>(table, &GetNodeTypeId);
  SetEngineSlot<VxEngineGetNodeFieldType>(table, &GetNodeFieldType);
  SetEngineSlot<VxEngineGetNodeEventInType>(table, &GetNodeEventInType);
  SetEngineSlot<VxEngineGetNodeFieldValue>(table, &GetNodeFieldValue);
  SetEngineSlot<VxEngineSetNodeField>(table, &SetNodeField);
  SetEngineSlot<VxEngineSendNodeEvent>(table, &SendNodeEvent);
  SetEngineSlot<VxEngineParseFieldValue>(table, &ParseFieldValue);
  SetEngineSlot<VxEngineFormatFieldValue>(table, &FormatFieldValue);
  SetEngineSlot<VxEngineGetBoundNodeRef>(table, &GetBoundNodeRef);
}

}  // namespace vx
