#include "viewer/EngineCalls.h"

#include "host/ComponentManager.h"

namespace vx::viewer::engine {
namespace {

// Calls slot `slot` as Fn with the arguments, or answers `missing` when the
// engine has no such slot.
template <typename Fn, typename Result, typename... Args>
Result Call(int slot, Result missing, Args... args) {
  auto fn = reinterpret_cast<Fn>(host::GetComponentSlot(VX_ENGINE_COMPONENT_NAME, slot));
  return fn ? fn(args...) : missing;
}

constexpr EngineResult kNoSlot = EngineNullArgument;

}  // namespace

EngineInstance* CreateEngineInstance() {
  return Call<VxCreateEngineInstanceFn, EngineInstance*>(VxEngineCreateEngineInstance, nullptr);
}

EngineResult DestroyEngineInstance(EngineInstance* instance) {
  return Call<VxDestroyEngineInstanceFn>(VxEngineDestroyEngineInstance, kNoSlot, instance);
}

EngineResult StartEngineDownload(EngineInstance* instance, const char* url, DownloadCallback* callback,
                                 int32_t* outRequest) {
  return Call<VxStartEngineDownloadFn>(VxEngineStartEngineDownload, kNoSlot, instance, url, callback, outRequest);
}

EngineResult PollDownloads(EngineInstance* instance) {
  return Call<VxPollDownloadsFn>(VxEnginePollDownloads, kNoSlot, instance);
}

SceneHandle* CreateScene(EngineInstance* instance) {
  return Call<VxCreateSceneFn, SceneHandle*>(VxEngineCreateScene, nullptr, instance);
}

EngineResult DestroyScene(SceneHandle* scene) {
  return Call<VxDestroySceneFn>(VxEngineDestroyScene, kNoSlot, scene);
}

EngineResult LoadSceneFile(SceneHandle* scene, char* path, char* error) {
  return Call<VxLoadSceneFileFn>(VxEngineLoadSceneFile, kNoSlot, scene, path, error);
}

EngineResult SaveSceneFile(SceneHandle* scene, const char* path, uint16_t flag) {
  return Call<VxSaveSceneFileFn>(VxEngineSaveSceneFile, kNoSlot, scene, path, flag);
}

EngineResult SetSceneUrl(SceneHandle* scene, const char* url) {
  return Call<VxSetSceneTextFn>(VxEngineSetSceneUrl, kNoSlot, scene, url);
}

ViewHandle* CreateView(SceneHandle* scene, VxWindow window, const uint16_t* rect, ViewFlags flags) {
  return Call<VxCreateViewFn, ViewHandle*>(VxEngineCreateView, nullptr, scene, window, rect, flags);
}

EngineResult DestroyView(ViewHandle* view) { return Call<VxDestroyViewFn>(VxEngineDestroyView, kNoSlot, view); }

EngineResult SetViewRect(ViewHandle* view, const uint16_t* rect) {
  return Call<VxSetViewRectFn>(VxEngineSetViewRect, kNoSlot, view, rect);
}

EngineResult ViewMouseDown(ViewHandle* view) { return Call<VxViewActionFn>(VxEngineViewMouseDown, kNoSlot, view); }

EngineResult ViewMouseUp(ViewHandle* view) { return Call<VxViewActionFn>(VxEngineViewMouseUp, kNoSlot, view); }

EngineResult TickView(ViewHandle* view) { return Call<VxViewActionFn>(VxEngineTickView, kNoSlot, view); }

EngineResult SetViewFocus(ViewHandle* view, uint16_t on) {
  return Call<VxSetViewFocusFn>(VxEngineSetViewFocus, kNoSlot, view, on);
}

}  // namespace vx::viewer::engine
