// Slots of the scenes: their creation and destruction, their files, URL and
// directory.
#include <new>

#include "engine/interface/EngineSlotSupport.h"
#include "engine/interface/SceneFile.h"
#include "engine/scene/SceneLimits.h"

namespace vx {
namespace {

::SceneHandle* CreateScene(::EngineInstance* handle) {
  vx::EngineInstance* instance = FromHandle(handle);
  if (!instance) return nullptr;
  try {
    return ToHandle(instance->AddScene());
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

EngineResult DestroyScene(::SceneHandle* handle) {
  vx::SceneHandle* scene = FromHandle(handle);
  if (!scene) return EngineNullArgument;
  if (scene->viewCount != 0) return EngineSceneHasViews;
  scene->instance->RemoveScene(scene);
  return EngineOk;
}

EngineResult LoadScene(::SceneHandle* scene, char* path, char* error) {
  return LoadSceneFile(FromHandle(scene), path, error);
}

EngineResult SaveScene(::SceneHandle* scene, const char* path, uint16_t flag) {
  return SaveSceneFile(FromHandle(scene), path, flag);
}

EngineResult SetSceneUrl(::SceneHandle* handle, const char* url) {
  vx::SceneHandle* scene = FromHandle(handle);
  if (!scene || !url) return EngineNullArgument;
  scene->url = BoundedText(url);
  if (scene->world) scene->world->SetWorldUrl(scene->url);
  return EngineOk;
}

EngineResult GetSceneUrl(::SceneHandle* handle, char* out) {
  vx::SceneHandle* scene = FromHandle(handle);
  if (!scene || !out) return EngineNullArgument;
  CopyToCaller(scene->url, out);
  return EngineOk;
}

EngineResult SetSceneDirectory(::SceneHandle* handle, const char* path) {
  vx::SceneHandle* scene = FromHandle(handle);
  if (!scene || !path) return EngineNullArgument;
  scene->directory = BoundedText(path);
  if (scene->world) scene->world->SetWorldDirectory(scene->directory);
  return EngineOk;
}

EngineResult GetSceneDirectory(::SceneHandle* handle, char* out) {
  vx::SceneHandle* scene = FromHandle(handle);
  if (!scene || !out) return EngineNullArgument;
  CopyToCaller(scene->directory, out);
  return EngineOk;
}

EngineResult GetSceneMessage(::SceneHandle* handle, uint32_t index, char* text, uint32_t* count) {
  vx::SceneHandle* scene = FromHandle(handle);
  if (!scene || !count) return EngineNullArgument;
  static_assert(VX_SCENE_MESSAGES_KEPT == kMaxKeptSceneMessages, "the boundary says how many are kept");
  const CScene* notes = scene->world ? &scene->world->GetScene() : nullptr;
  *count = notes ? notes->GetMessageCount() : 0;
  if (!text) return EngineOk;
  const bool kept = notes && index < notes->GetKeptMessages().size();
  CopyToCaller(kept ? std::string_view(notes->GetKeptMessages()[index]) : std::string_view(""), text);
  return EngineOk;
}

}  // namespace

void AddSceneSlots(EngineSlotTable& table) {
  SetEngineSlot<VxEngineCreateScene>(table, &CreateScene);
  SetEngineSlot<VxEngineDestroyScene>(table, &DestroyScene);
  SetEngineSlot<VxEngineLoadSceneFile>(table, &LoadScene);
  SetEngineSlot<VxEngineSaveSceneFile>(table, &SaveScene);
  SetEngineSlot<VxEngineSetSceneUrl>(table, &SetSceneUrl);
  SetEngineSlot<VxEngineGetSceneUrl>(table, &GetSceneUrl);
  SetEngineSlot<VxEngineSetSceneDirectory>(table, &SetSceneDirectory);
  SetEngineSlot<VxEngineGetSceneDirectory>(table, &GetSceneDirectory);
  SetEngineSlot<VxEngineGetSceneMessage>(table, &GetSceneMessage);
}

}  // namespace vx
