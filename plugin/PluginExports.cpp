// The symbols a browser on Linux looks up in NPVXLN32.so.
#include <type_traits>

#include "plugin/PluginHandlers.h"
#include "vantessel/Export.h"
#include "vantessel/PluginApi.h"

VX_EXTERN_C VX_EXPORT NPError NP_GetValue(void*, NPPVariable variable, void* value) {
  return vx::plugin::GetPluginValue(variable, value);
}

VX_EXTERN_C VX_EXPORT const char* NP_GetMIMEDescription() { return vx::plugin::kMimeDescription; }

VX_EXTERN_C VX_EXPORT NPError NP_Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* plugin) {
  return vx::plugin::Initialize(browser, plugin);
}

VX_EXTERN_C VX_EXPORT NPError NP_Shutdown() { return vx::plugin::Shutdown(); }

static_assert(std::is_same_v<decltype(&NP_GetValue), NP_GetValueFn>);
static_assert(std::is_same_v<decltype(&NP_GetMIMEDescription), NP_GetMIMEDescriptionFn>);
static_assert(std::is_same_v<decltype(&NP_Initialize), NP_InitializeFn>);
static_assert(std::is_same_v<decltype(&NP_Shutdown), NP_ShutdownFn>);
