// The engine slots the hosts call.
//
// Each call fetches its slot of the component "Vexlin" at that moment: a
// component update may replace the engine library while a host runs, so no
// slot is kept. A slot that the loaded engine does not fill answers as the
// engine answers a null handle (result 2, or no handle), so the host goes on
// without what it offers.
#pragma once

#include <cstdint>
#include <string>

#include "vantessel/Engine.h"

namespace vx::host::engine {

EngineInstance* CreateEngineInstance();
EngineResult DestroyEngineInstance(EngineInstance* instance);
// text: a VX_TEXT_BUFFER_SIZE buffer.
EngineResult GetDownloadStatusText(EngineInstance* instance, char* text);
EngineResult StartEngineDownload(EngineInstance* instance, const char* url, DownloadCallback* callback,
                                 int32_t* outRequest);
EngineResult PollDownloads(EngineInstance* instance);
EngineResult SetNetworkEnabled(EngineInstance* instance, uint16_t on);

SceneHandle* CreateScene(EngineInstance* instance);
EngineResult DestroyScene(SceneHandle* scene);
// path: a VX_TEXT_BUFFER_SIZE buffer; error: one of the same size.
EngineResult LoadSceneFile(SceneHandle* scene, char* path, char* error);
EngineResult SaveSceneFile(SceneHandle* scene, const char* path, uint16_t flag);
EngineResult SetSceneUrl(SceneHandle* scene, const char* url);

// rect: top, left, bottom, right.
ViewHandle* CreateView(SceneHandle* scene, VxWindow window, const uint16_t* rect, ViewFlags flags);
EngineResult DestroyView(ViewHandle* view);
EngineResult SetViewRect(ViewHandle* view, const uint16_t* rect);
EngineResult ViewMouseDown(ViewHandle* view);
EngineResult ViewMouseUp(ViewHandle* view);
EngineResult TickView(ViewHandle* view);
EngineResult SetViewCallback(ViewHandle* view, const ViewCallback* callback);
EngineResult SetViewFocus(ViewHandle* view, uint16_t on);
EngineResult SetViewBorder(ViewHandle* view, uint16_t on, const float* rgb);
// Milliseconds the host may wait before the next TickView; 0 also when the
// engine cannot say.
uint32_t GetViewTickDelay(ViewHandle* view);
// text: VX_TEXT_BUFFER_SIZE characters or null; *count the notes in all.
EngineResult GetSceneMessage(SceneHandle* scene, uint32_t index, char* text, uint32_t* count);
// "1 warning", "2 warnings", ...: how hosts tell of a world's notes.
std::string WarningCountText(uint32_t count);

EngineResult FindNodeByName(SceneHandle* scene, const char* defName, VxNodeRef** out);
EngineResult ReleaseNodeRef(VxNodeRef* ref);
EngineResult GetNodeFieldType(SceneHandle* scene, VxNodeRef* ref, const char* name, int32_t* out);
EngineResult SetNodeField(SceneHandle* scene, VxNodeRef* ref, const char* name, void* value);
// The conversion's result (0: parsed); *out gets a value block from malloc,
// which the caller frees with free.
int32_t ParseFieldValue(SceneHandle* scene, ViewHandle* view, const char* text, FieldType type, void** out);

}  // namespace vx::host::engine
