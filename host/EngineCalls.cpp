#include "host/EngineCalls.h"

#include "host/ComponentManager.h"

namespace vx::host::engine {
namespace {

// Calls slot `slot` as Fn with the arguments, or answers `missing` when the
// engine has no such slot.
template <typename Fn, typename Result, typename... Args>
Result Call(int slot, Result missing, Args... args) {
  auto fn = reinterpret_cast<Fn>(GetComponentSlot(VX_ENGINE_COMPONENT_NAME, slot));
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

EngineResult GetDownloadStatusText(EngineInstance* instance, char* text) {
  return Call<VxGetDownloadStatusTextFn>(VxEngineGetDownloadStatusText, kNoSlot, instance, text);
}

EngineResult StartEngineDownload(EngineInstance* instance, const char* url, DownloadCallback* callback,
                                 int32_t* outRequest) {
  return Call<VxStartEngineDownloadFn>(VxEngineStartEngineDownload, kNoSlot, instance, url, callback, outRequest);
}

EngineResult PollDownloads(EngineInstance* instance) {
  return Call<VxPollDownloadsFn>(VxEnginePollDownloads, kNoSlot, instance);
}

EngineResult SetNetworkEnabled(EngineInstance* instance, uint16_t on) {
  return Call<VxSetNetworkEnabledFn>(VxEngineSetNetworkEnabled, kNoSlot, instance, on);
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

uint32_t GetViewTickDelay(ViewHandle* view) {
  uint32_t milliseconds = 0;
  if (Call<VxGetViewTickDelayFn>(VxEngineGetViewTickDelay, kNoSlot, view, &milliseconds) != EngineOk) return 0;
  return milliseconds;
}

EngineResult GetSceneMessage(SceneHandle* scene, uint32_t index, char* text, uint32_t* count) {
  return Call<VxGetSceneMessageFn>(VxEngineGetSceneMessage, kNoSlot, scene, index, text, count);
}

std::string WarningCountText(uint32_t count) {
  return count == 1 ? std::string("1 warning") : std::to_string(count) + " warnings";
}

EngineResult SetViewFocus(ViewHandle* view, uint16_t on) {
  return Call<VxSetViewFocusFn>(VxEngineSetViewFocus, kNoSlot, view, on);
}

EngineResult SetViewCallback(ViewHandle* view, const ViewCallback* callback) {
  return Call<VxSetViewCallbackFn>(VxEngineSetViewCallback, kNoSlot, view, callback);
}

EngineResult SetViewBorder(ViewHandle* view, uint16_t on, const float* rgb) {
  return Call<VxSetViewBorderFn>(VxEngineSetViewBorder, kNoSlot, view, on, rgb);
}

EngineResult FindNodeByName(SceneHandle* scene, const char* defName, VxNodeRef** out) {
  return Call<VxFindNodeByNameFn>(VxEngineFindNodeByName, kNoSlot, scene, defName, out);
}

EngineResult ReleaseNodeRef(VxNodeRef* ref) { return Call<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef, kNoSlot, ref); }

EngineResult GetNodeFieldType(SceneHandle* scene, VxNodeRef* ref, const char* name, int32_t* out) {
  return Call<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType, kNoSlot, scene, ref, name, out);
}

EngineResult SetNodeField(SceneHandle* scene, VxNodeRef* ref, const char* name, void* value) {
  return Call<VxSetNodeValueFn>(VxEngineSetNodeField, kNoSlot, scene, ref, name, value);
}

int32_t ParseFieldValue(SceneHandle* scene, ViewHandle* view, const char* text, FieldType type, void** out) {
  return Call<VxParseFieldValueFn>(VxEngineParseFieldValue, static_cast<int32_t>(kNoSlot), scene, view, text, type,
                                   out);
}

}  // namespace vx::host::engine
