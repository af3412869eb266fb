// What the engine interface's slot functions share: the casts between the
// boundary's opaque handles and the engine's records, and bounded text copies.
#pragma once

#include <array>
#include <cstring>
#include <string>
#include <string_view>

#include <vantessel/Engine.h>

#include "engine/scene/CallerText.h"
#include "engine/scene/Node.h"
#include "engine/interface/EngineInstance.h"
#include "engine/interface/EngineSlotSignatures.h"
#include "engine/world/ViewHandle.h"

namespace vx {

inline vx::EngineInstance* FromHandle(::EngineInstance* instance) {
  return reinterpret_cast<vx::EngineInstance*>(instance);
}
inline ::EngineInstance* ToHandle(vx::EngineInstance* instance) {
  return reinterpret_cast<::EngineInstance*>(instance);
}
inline vx::SceneHandle* FromHandle(::SceneHandle* scene) { return reinterpret_cast<vx::SceneHandle*>(scene); }
inline ::SceneHandle* ToHandle(vx::SceneHandle* scene) { return reinterpret_cast<::SceneHandle*>(scene); }
inline vx::ViewHandle* FromHandle(::ViewHandle* view) { return reinterpret_cast<vx::ViewHandle*>(view); }
inline ::ViewHandle* ToHandle(vx::ViewHandle* view) { return reinterpret_cast<::ViewHandle*>(view); }
inline CNodeRef* FromHandle(VxNodeRef* ref) { return reinterpret_cast<CNodeRef*>(ref); }
inline VxNodeRef* ToHandle(CNodeRef* ref) { return reinterpret_cast<VxNodeRef*>(ref); }


// The context of a view that has ticked; null for a null handle and before
// the view's first tick.
CViewContext* ViewContextOf(::ViewHandle* view);

// Fill the slots of each group into the table.
void AddInstanceSlots(EngineSlotTable& table);
void AddSceneSlots(EngineSlotTable& table);
void AddNodeSlots(EngineSlotTable& table);
void AddViewSlots(EngineSlotTable& table);

}  // namespace vx
