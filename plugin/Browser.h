// The browser's services, from the table it handed over at initialisation.
// Every call goes through the table the browser gave; a service the browser
// left out does nothing (memory: none to be had).
#pragma once

#include <cstdint>

#include "vantessel/PluginApi.h"

namespace vx::plugin {

// Keeps a copy of the browser's table as far as its size reaches: a browser's
// table may be shorter or longer than ours, and the services past its size
// are none. Null forgets it.
void SetBrowserTable(const NPNetscapeFuncs* table);
bool HaveBrowserTable();

NPError BrowserGetUrl(NPP npp, const char* url, const char* target);
void BrowserStatus(NPP npp, const char* text);
NPError BrowserSetValue(NPP npp, NPPVariable variable, void* value);
void BrowserInvalidateRect(NPP npp, NPRect rect);
void* BrowserAlloc(uint32_t size);
void BrowserFree(void* pointer);

}  // namespace vx::plugin
