// The symbols the browser looks up in NPVXLN32.so.
#include "plugin/PluginHandlers.h"
#include "vantessel/Export.h"
#include "vantessel/PluginApi.h"

VX_EXTERN_C VX_EXPORT NPError NP_GetEntryPoints(NPPluginFuncs* table) { return vx::plugin::GetEntryPoints(table); }

VX_EXTERN_C VX_EXPORT NPError NP_Initialize(NPNetscapeFuncs* browser) { return vx::plugin::Initialize(browser); }

VX_EXTERN_C VX_EXPORT NPError NP_Shutdown() { return vx::plugin::Shutdown(); }

VX_EXTERN_C VX_EXPORT const char* NP_GetMIMEDescription() { return vx::plugin::kMimeDescription; }
