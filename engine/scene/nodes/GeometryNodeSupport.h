// Helpers shared by the geometry nodes: reading the value lists of their
// property nodes (coordinates, colours, normals, texture coordinates) and the
// drawing step that sets the culling before a mesh is drawn.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/render/MeshBuffer.h"
#include "engine/scene/Node.h"

namespace vx {

// The list value of the named field of the node held by ref (through a PROTO
// instance to its body node), or null when there is no node, no such field,
// or the field has another type.
template <typename T>
const MF<T>* PropertyList(const CNodeRef& ref, std::string_view name) {
  CNode* node = ref.Resolve();
  if (!node || node->GetFieldType(name) != FieldTypeOf<MF<T>>::value) return nullptr;
  return static_cast<const MF<T>*>(node->GetFieldByName(name));
}

// The number of entries of a list that may be absent.
template <typename T>
int32_t ListCount(const MF<T>* list) {
  return list ? list->count : 0;
}

// The geometry stage to draw with: the view's, on the frame pass only.
CGeometryStage* FrameStage(RenderPass pass, CViewContext* view);

// Sets the culling of the stage's render target and draws every polygon of
// the mesh.
void DrawMeshCulled(CMeshBuffer& mesh, CGeometryStage& stage, uint32_t cullWinding, uint32_t cullMode);

}  // namespace vx
