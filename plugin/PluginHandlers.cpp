#include "plugin/PluginHandlers.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "host/EngineCalls.h"
#include "host/ProgressWindow.h"
#include "platform/Numbers.h"
#include "plugin/BoundedText.h"
#include "plugin/Browser.h"
#include "plugin/PageWindow.h"
#include "plugin/PluginInstance.h"
#include "plugin/PluginProcess.h"
#include "plugin/PluginUrls.h"
#include "plugin/Windowless.h"

namespace vx::plugin {
namespace {

namespace engine = host::engine;

// Everything the browser writes into a stream is taken at once.
constexpr int32_t kWriteReadyBytes = 0x0FFFFFFF;
// The view captures the mouse between press and release and draws into its
// own frame.
constexpr ViewFlags kPluginViewFlags = ViewFlagCaptureMouse;

// The plug-in fills its table up to setvalue and calls the browser's
// services up to memfree: tables smaller than that are refused.
constexpr size_t kFilledPluginTableSize = offsetof(NPPluginFuncs, setvalue) + sizeof(NPP_SetValueFn);
constexpr size_t kCalledBrowserTableSize = offsetof(NPNetscapeFuncs, memfree) + sizeof(NPN_MemFreeFn);

// What the status line says when a world's stream brings no world.
constexpr int kFirstHttpFailure = 400;
constexpr char kHttpFailureText[] = "no world: the server answered with HTTP status %d.";
constexpr char kStreamFailureText[] = "no world: it could not be downloaded.";

PluginInstance* InstanceOf(NPP npp) { return npp ? static_cast<PluginInstance*>(npp->pdata) : nullptr; }

// An X window id that does not fit the platform's handles names no window.
WindowHandle PageWindowOf(const NPWindow& window) {
  const uintptr_t id = reinterpret_cast<uintptr_t>(window.window);
  return id <= std::numeric_limits<uint32_t>::max() ? static_cast<WindowHandle>(id) : WindowHandle::None;
}

uint16_t Extent(uint32_t value) { return static_cast<uint16_t>(std::min<uint32_t>(value, 0xFFFF)); }

void CloseScene(PluginInstance& instance) {
  if (instance.view) static_cast<void>(engine::DestroyView(instance.view));
  instance.view = nullptr;
  if (instance.scene) static_cast<void>(engine::DestroyScene(instance.scene));
  instance.scene = nullptr;
}

// The engine's value block comes from malloc in the same process.
void ApplyPropertySetting(PluginInstance& instance, const PropertySetting& setting) {
  VxNodeRef* node = nullptr;
  if (engine::FindNodeByName(instance.scene, setting.nodeName.c_str(), &node) != EngineOk || !node) return;
  const char* field = setting.fieldName.c_str();
  int32_t type = FieldTypeNone;
  void* block = nullptr;
  if (engine::GetNodeFieldType(instance.scene, node, field, &type) == EngineOk &&
      engine::ParseFieldValue(instance.scene, instance.view, setting.value.c_str(), static_cast<FieldType>(type),
                              &block) == 0 &&
      block)
    static_cast<void>(engine::SetNodeField(instance.scene, node, field, block));
  std::free(block);
  static_cast<void>(engine::ReleaseNodeRef(node));
}

void ApplyEmbedParameters(PluginInstance& instance) {
  const EmbedParameters& parameters = instance.parameters;
  for (const PropertySetting& setting : parameters.properties) ApplyPropertySetting(instance, setting);
  if (parameters.borderOn) static_cast<void>(engine::SetViewBorder(instance.view, 1, parameters.borderRgb));
}

// False when the scene did not load (the browser's status line and a box say
// why). The scene is known by its stream's URL, whatever file the browser
// saved it in.
bool LoadScene(PluginInstance& instance, std::string_view url, const std::string& path) {
  instance.scene = engine::CreateScene(instance.engine);
  if (!instance.scene) return false;
  instance.toldMessages = 0;
  static_cast<void>(engine::SetSceneUrl(instance.scene, std::string(url).c_str()));
  char pathBuffer[VX_TEXT_BUFFER_SIZE] = {};
  CopyCut(pathBuffer, path);
  char error[VX_TEXT_BUFFER_SIZE] = {};
  if (engine::LoadSceneFile(instance.scene, pathBuffer, error) == EngineOk) return true;
  error[VX_TEXT_BUFFER_SIZE - 1] = '\0';
  BrowserStatus(instance.npp, error);
  host::CProgressWindow::Notify(error);
  CloseScene(instance);
  return false;
}

// "HTTP/1.1 404 Not Found" on the first line: 404; 0 for anything else.
int HttpStatusOfHeaders(std::string_view headers) {
  if (!headers.starts_with("HTTP/")) return 0;
  const size_t blank = headers.find(' ');
  if (blank == std::string_view::npos) return 0;
  int status = 0;
  const char* digits = headers.data() + blank + 1;
  const std::from_chars_result read = std::from_chars(digits, headers.data() + headers.size(), status);
  return read.ec == std::errc() && read.ptr == digits + 3 ? status : 0;
}

// The splash stays; the status line tells why no world came.
void ReportMissingWorld(NPP npp, const NPStream* stream, const std::string& why) {
  const PluginInstance* instance = InstanceOf(npp);
  if (!instance || instance->scene) return;
  const std::string url = stream && stream->url ? std::string(stream->url) : std::string();
  BrowserStatus(npp, (url.empty() ? why : url + ": " + why).c_str());
}

// The page window's size as the browser gave it; a windowless instance's
// page window may be smaller than its drawable.
Rect ViewRectOf(const PluginInstance& instance) {
  if (instance.windowless) return GetClientRect(instance.window);
  return {0, 0, static_cast<int>(Extent(instance.npWindow.width)), static_cast<int>(Extent(instance.npWindow.height))};
}

void ShowScene(PluginInstance& instance) {
  const Rect client = ViewRectOf(instance);
  const uint16_t rect[4] = {0, 0, static_cast<uint16_t>(client.bottom), static_cast<uint16_t>(client.right)};
  instance.view =
      engine::CreateView(instance.scene, static_cast<VxWindow>(instance.window), rect, kPluginViewFlags);
  instance.viewCallback = {&instance, &EngineLinkCallback};
  static_cast<void>(engine::SetViewCallback(instance.view, &instance.viewCallback));
  ApplyEmbedParameters(instance);
  instance.hasFocus = 0;
  PluginProcess& process = Process();
  process.instances.Add(&instance);
  if (process.instances.Count() == 1 && process.instances.Contains(&instance)) {
    instance.hasFocus = 1;
    static_cast<void>(engine::SetViewFocus(instance.view, 1));
  }
  InvalidateWindow(instance.window, false);
}

void FillPluginTable(NPPluginFuncs& table, uint16_t browserVersion) {
  table.version = VX_NP_PLUGIN_TABLE_VERSION;
  table.newp = &NPP_New;
  table.destroy = &NPP_Destroy;
  table.setwindow = &NPP_SetWindow;
  table.newstream = &NPP_NewStream;
  table.destroystream = &NPP_DestroyStream;
  table.asfile = &NPP_StreamAsFile;
  table.writeready = &NPP_WriteReady;
  table.write = &NPP_Write;
  table.print = &NPP_Print;
  table.event = &NPP_HandleEvent;
  table.getvalue = &NPP_GetValue;
  table.setvalue = &NPP_SetValue;
  // Browsers from this version on tell the plug-in when a URL is done; there
  // is no Java class.
  if ((browserVersion & 0xFF) >= VX_NP_MIN_NOTIFY_VERSION) {
    table.urlnotify = &NPP_URLNotify;
    table.javaClass = nullptr;
  }
}

}  // namespace

NPError GetPluginValue(NPPVariable variable, void* value) {
  if (!value) return NPErrorInvalidParam;
  switch (variable) {
    case NPPVpluginNameString: *static_cast<const char**>(value) = kPluginName; return NPErrorNone;
    case NPPVpluginDescriptionString: *static_cast<const char**>(value) = kPluginDescription; return NPErrorNone;
    default: return NPErrorInvalidParam;
  }
}

NPError Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* plugin) {
  if (!browser || !plugin) return NPErrorInvalidFunctionTable;
  if (browser->version > VX_NP_MAX_BROWSER_VERSION) return NPErrorIncompatibleVersion;
  if (browser->size < kCalledBrowserTableSize || plugin->size < kFilledPluginTableSize)
    return NPErrorInvalidFunctionTable;
  SetBrowserTable(browser);
  FillPluginTable(*plugin, browser->version);
  InitializeProcess();
  return NPErrorNone;
}

NPError Shutdown() {
  ShutdownProcess();
  SetBrowserTable(nullptr);
  return NPErrorNone;
}

NPError NPP_New(NPMIMEType, NPP npp, uint16_t mode, int16_t argc, char* argn[], char* argv[], NPSavedData*) {
  if (!npp) return NPErrorInvalidInstance;
  PluginInstance* instance = NewPluginInstance();
  if (!instance) return NPErrorOutOfMemory;
  npp->pdata = instance;
  instance->engine = Process().engine;
  instance->mode = static_cast<int16_t>(mode);
  instance->npp = npp;
  for (int16_t i = 0; argn && argv && i < argc; ++i) TakeEmbedParameter(argn[i], argv[i], instance->parameters);
  // Browsers on Linux draw plug-ins into drawables of their own; one that
  // cannot gives a window instead.
  static_cast<void>(BrowserSetValue(npp, NPPVpluginWindowBool, nullptr));
  return NPErrorNone;
}

NPError NPP_Destroy(NPP npp, NPSavedData**) {
  if (!npp) return NPErrorInvalidInstance;
  PluginInstance* instance = InstanceOf(npp);
  if (!instance) return NPErrorNone;
  CloseScene(*instance);
  RestorePageWindow(*instance);
  DropDrawable(*instance);
  npp->pdata = nullptr;
  Process().instances.Remove(instance);
  ReleasePluginInstance(instance);
  return NPErrorNone;
}

NPError NPP_SetWindow(NPP npp, NPWindow* window) {
  if (!npp) return NPErrorInvalidInstance;
  PluginInstance* instance = InstanceOf(npp);
  if (!instance) return NPErrorInvalidInstance;
  if (window && window->type == NPWindowTypeDrawable) {
    instance->npWindow = *window;
    TakeDrawable(*instance, *window);
    return NPErrorNone;
  }
  // A windowless instance keeps its drawing while the browser has no
  // drawable for it.
  if (!window && instance->windowless) return NPErrorNone;
  DropDrawable(*instance);
  SubclassPageWindow(*instance, window ? PageWindowOf(*window) : WindowHandle::None);
  instance->npWindow = window ? *window : NPWindow{};
  return NPErrorNone;
}

// A server's refusal (a 404 page, say) is no world: the status line says so,
// and the browser drops the stream.
NPError NPP_NewStream(NPP npp, NPMIMEType, NPStream* stream, NPBool, uint16_t* streamType) {
  if (!npp) return NPErrorInvalidInstance;
  if (streamType) *streamType = NPStreamAsFileOnly;
  const int status = stream && stream->headers ? HttpStatusOfHeaders(stream->headers) : 0;
  if (status < kFirstHttpFailure) return NPErrorNone;
  ReportMissingWorld(npp, stream, FormatString(kHttpFailureText, status));
  return NPErrorGeneric;
}

NPError NPP_DestroyStream(NPP npp, NPStream* stream, NPReason reason) {
  if (!npp) return NPErrorInvalidInstance;
  if (reason != NPReasonDone) ReportMissingWorld(npp, stream, kStreamFailureText);
  return NPErrorNone;
}

void NPP_StreamAsFile(NPP npp, NPStream* stream, const char* fileName) {
  PluginInstance* instance = InstanceOf(npp);
  if (!instance || !stream || !stream->url) return;
  const std::string_view url(stream->url);
  instance->engine = StartEngine(url);
  if (!instance->windowless) instance->window = PageWindowOf(instance->npWindow);
  const std::optional<std::string> path = StreamPath(url, fileName);
  if (!instance->engine || !IsSceneFileName(url) || !path) return;
  CloseScene(*instance);
  if (LoadScene(*instance, url, *path)) ShowScene(*instance);
}

int32_t NPP_WriteReady(NPP, NPStream*) { return kWriteReadyBytes; }

int32_t NPP_Write(NPP, NPStream*, int32_t, int32_t length, void*) { return length; }

void NPP_Print(NPP npp, NPPrint* print) {
  if (npp && print && print->mode == NPModeFullPage) print->print.fullPrint.pluginPrinted = 0;
}

void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

// An instance in a window takes its input from the window, not from the
// browser.
int16_t NPP_HandleEvent(NPP npp, void* event) {
  PluginInstance* instance = InstanceOf(npp);
  return instance && HandleWindowlessEvent(*instance, event) ? 1 : 0;
}

NPError NPP_GetValue(NPP, NPPVariable variable, void* value) { return GetPluginValue(variable, value); }

// Nothing a browser tells the plug-in changes what it does.
NPError NPP_SetValue(NPP, NPNVariable, void*) { return NPErrorGeneric; }

}  // namespace vx::plugin
