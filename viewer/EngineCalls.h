// The engine slots the viewer calls.
//
// Each call fetches its slot of the component "Vexlin" at that moment: a
// component update may replace the engine library while the viewer runs, so
// no slot is kept. A slot that the loaded engine does not fill answers as
// the engine answers a null handle (result 2, or no handle), so the viewer
// goes on without what it offers.
#pragma once

#include <cstdint>

#include "vantessel/Engine.h"

namespace vx::viewer::engine {

EngineInstance* CreateEngineInstance();
EngineResult DestroyEngineInstance(EngineInstance* instance);
EngineResult StartEngineDownload(EngineInstance* instance, const char* url, DownloadCallback* callback,
                                 int32_t* outRequest);
EngineResult PollDownloads(EngineInstance* instance);

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
EngineResult SetViewFocus(ViewHandle* view, uint16_t on);

}  // namespace vx::viewer::engine
