#include "plugin/Browser.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace vx::plugin {
namespace {

std::optional<NPNetscapeFuncs> gBrowser;

}  // namespace

void SetBrowserTable(const NPNetscapeFuncs* table) {
  if (!table) {
    gBrowser.reset();
    return;
  }
  gBrowser.emplace();
  std::memcpy(&*gBrowser, table, std::min<size_t>(table->size, sizeof(NPNetscapeFuncs)));
}

bool HaveBrowserTable() { return gBrowser.has_value(); }

NPError BrowserGetUrl(NPP npp, const char* url, const char* target) {
  return gBrowser && gBrowser->geturl ? gBrowser->geturl(npp, url, target) : NPError{NPErrorInvalidFunctionTable};
}

void BrowserStatus(NPP npp, const char* text) {
  if (gBrowser && gBrowser->status) gBrowser->status(npp, text);
}

NPError BrowserSetValue(NPP npp, NPPVariable variable, void* value) {
  return gBrowser && gBrowser->setvalue ? gBrowser->setvalue(npp, variable, value)
                                        : NPError{NPErrorInvalidFunctionTable};
}

void BrowserInvalidateRect(NPP npp, NPRect rect) {
  if (gBrowser && gBrowser->invalidaterect) gBrowser->invalidaterect(npp, &rect);
}

void* BrowserAlloc(uint32_t size) { return gBrowser && gBrowser->memalloc ? gBrowser->memalloc(size) : nullptr; }

void BrowserFree(void* pointer) {
  if (gBrowser && gBrowser->memfree && pointer) gBrowser->memfree(pointer);
}

}  // namespace vx::plugin
