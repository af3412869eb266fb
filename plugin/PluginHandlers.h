// The plug-in's side of the browser interface: the module's entry points and
// the handlers the browser calls for each instance.
#pragma once

#include "vantessel/PluginApi.h"

namespace vx::plugin {

// The MIME types the module shows, with their extensions and description.
inline constexpr char kMimeDescription[] = "x-vantessel/x-tsw:tsw:Vantessel Files (*.tsw)";
// What the browser lists the module as.
inline constexpr char kPluginName[] = "Vantessel Plugin";
inline constexpr char kPluginDescription[] = "Shows Vantessel worlds and panoramas embedded in web pages (2.0).";

// The plug-in's values a browser may ask for before any instance exists.
NPError GetPluginValue(NPPVariable variable, void* value);
// Keeps the browser's table and fills the plug-in's, which the browser sized.
NPError Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* plugin);
NPError Shutdown();

NPError NPP_New(NPMIMEType type, NPP npp, uint16_t mode, int16_t argc, char* argn[], char* argv[], NPSavedData* saved);
NPError NPP_Destroy(NPP npp, NPSavedData** save);
NPError NPP_SetWindow(NPP npp, NPWindow* window);
NPError NPP_NewStream(NPP npp, NPMIMEType type, NPStream* stream, NPBool seekable, uint16_t* streamType);
NPError NPP_DestroyStream(NPP npp, NPStream* stream, NPReason reason);
void NPP_StreamAsFile(NPP npp, NPStream* stream, const char* fileName);
int32_t NPP_WriteReady(NPP npp, NPStream* stream);
int32_t NPP_Write(NPP npp, NPStream* stream, int32_t offset, int32_t length, void* buffer);
void NPP_Print(NPP npp, NPPrint* print);
void NPP_URLNotify(NPP npp, const char* url, NPReason reason, void* notifyData);
int16_t NPP_HandleEvent(NPP npp, void* event);
NPError NPP_GetValue(NPP npp, NPPVariable variable, void* value);
NPError NPP_SetValue(NPP npp, NPNVariable variable, void* value);

}  // namespace vx::plugin
