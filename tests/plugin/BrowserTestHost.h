// A browser for the plug-in's tests that calls NPVXLN32.so as a browser on
// Linux does: it asks the module for its name and description, hands it a
// browser table of the published layout whose services record every call
// (any other service the plug-in called would be counted as unexpected) and
// an empty plug-in table to fill, embeds instances, streams scene files to
// them as saved files, pumps and clicks. Its product root is a temporary
// folder with the real engine in the Components folder, and the pointer
// starts off every page.
//
// It shows its embeds in one of two ways. Windowed, it refuses windowless
// instances and embeds each in a window of the platform layer, whose
// messages it pumps. Windowless, as the browser engines on Linux show
// plug-ins, each embed is a drawable on a virtual X display, painted through
// expose events when the plug-in asks for them, given X input events in its
// own coordinates, and the plug-in gets its ticks from the browser's GLib
// main loop only: this browser pumps nothing else.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/DynamicLibrary.h"
#include "platform/HeadlessBackend.h"
#include "tests/host/HostTestEnvironment.h"
#include "tests/platform/WindowTestSupport.h"
#include "tests/plugin/XTestDisplay.h"
#include "tests/plugin/XvfbServer.h"
#include "vantessel/PluginApi.h"

namespace vx::test {

// One call of the browser's NPN_GetURL.
struct UrlRequest {
  NPP npp;
  std::string url;
  std::string target;
  friend bool operator==(const UrlRequest&, const UrlRequest&) = default;
};

enum class Drawing { kWindowed, kWindowless };

// One embedded object: the browser's instance record, its page window or
// drawable and the parameters of its tag.
struct Embed {
  NPInstanceRecord npp{};
  NPWindow npWindow{};
  NPSetWindowCallbackStruct windowInfo{};
  WindowHandle window = WindowHandle::None;
  Point origin;
  std::vector<std::string> names;
  std::vector<std::string> values;
  bool created = false;
  // Windowless: the X pixmap drawn into, the plug-in's requests for an
  // expose since the last one, and the exposes it drew.
  unsigned long drawable = 0;
  bool windowless = false;
  bool exposeAsked = false;
  int invalidations = 0;
  int exposes = 0;
};

class BrowserTestHost {
 public:
  // Loads the module, asks for its name and description, and initialises it
  // with a browser of this table version.
  explicit BrowserTestHost(uint16_t browserVersion = VX_NP_INTERFACE_VERSION, Drawing drawing = Drawing::kWindowed);
  explicit BrowserTestHost(Drawing drawing) : BrowserTestHost(VX_NP_INTERFACE_VERSION, drawing) {}
  ~BrowserTestHost() { Close(); }
  // Destroys the instances still embedded and shuts the module down; the
  // plug-in must have called no service but those it uses.
  void Close();
  BrowserTestHost(const BrowserTestHost&) = delete;
  BrowserTestHost& operator=(const BrowserTestHost&) = delete;

  template <typename Fn>
  Fn Export(const char* name) const {
    return reinterpret_cast<Fn>(module_->Symbol(name));
  }
  NPPluginFuncs& Plugin() { return plugin_; }
  NPNetscapeFuncs& BrowserTable() { return browser_; }
  NPError InitializeResult() const { return initialized_; }
  // What NP_GetValue gave before initialisation; empty when it gave nothing.
  const std::string& PluginName() const { return pluginName_; }
  const std::string& PluginDescription() const { return pluginDescription_; }

  // Embeds an object with these tag parameters in a visible page window of
  // this size at this screen position: NPP_New, then NPP_SetWindow.
  Embed& NewEmbed(std::vector<std::pair<std::string, std::string>> parameters = {}, int width = 160, int height = 120,
               Point origin = {40, 40});
  // The browser saved url's data as file and hands it over as a file.
  void Stream(Embed& embed, const std::string& url, const std::string& file);
  void Destroy(Embed& embed);
  // The embed takes a new size (windowless: on a new drawable).
  void Resize(Embed& embed, int width, int height);

  // Windowed: dispatches the messages pending now, `passes` times with a
  // little time between, so that the 1 ms tick timers fire. Windowless: runs
  // the GLib main loop's pending work as often, and exposes each embed whose
  // plug-in asked for it.
  void Pump(int passes = 5);
  // Pumps until done() holds; false when it did not within the time.
  bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
  // Pumps until the embed has shown `frames` more frames, or has shown
  // everything it had to: a world at rest presents no frames.
  bool PumpFrames(const Embed& embed, int frames = 2);
  // Moves the pointer to a client point of the embed and clicks, with time
  // for the views to tick between the steps, as a user's hand gives.
  void Click(Embed& embed, Point client);
  void MovePointer(Embed& embed, Point client);

  // What the embed shows: the frame last presented into its window, or its
  // drawable's pixels.
  std::optional<Frame> LastFrame(const Embed& embed) const;

  // Windowless: the virtual display is there; the events a windowless
  // browser sends, with the plug-in's answer (whether it took the event).
  bool HasDisplay() const { return display_ && display_->Connection(); }
  bool Expose(Embed& embed);
  bool SendButton(Embed& embed, Point client, bool down, unsigned int button = 1);
  bool SendMotion(Embed& embed, Point client);
  bool SendKey(Embed& embed, unsigned long keysym, bool down);
  bool SendFocus(Embed& embed, bool in);

  // Records of the browser's services.
  std::vector<UrlRequest> urlRequests;
  std::vector<std::string> statusTexts;
  int allocations = 0;
  int frees = 0;
  int unknownFrees = 0;
  int unexpectedCalls = 0;
  // Called inside NPN_GetURL, as a browser that navigates at once would.
  std::function<void(const UrlRequest&)> onGetUrl;

  // The product root and the folder the test writes its pages into.
  HostTestRoot root;
  std::string Write(const std::string& name, const std::string& text) const;
  std::string Pages() const { return root.Folder() + "/pages/"; }

 private:
  static NPError GetUrl(NPP npp, const char* url, const char* target);
  static void Status(NPP npp, const char* text);
  static NPError SetValue(NPP npp, NPPVariable variable, void* value);
  static void InvalidateRect(NPP npp, NPRect* rect);
  static void* MemAlloc(uint32_t size);
  static void MemFree(void* pointer);
  static void UnexpectedCall();
  std::string AskValue(NPPVariable variable) const;
  Embed* EmbedOf(NPP npp);
  void GiveDrawable(Embed& embed, int width, int height);
  void FreeDrawable(Embed& embed);
  bool Send(Embed& embed, XEventBytes event);
  void ExposeAsked();

  Drawing drawing_;
  std::unique_ptr<XvfbServer> xServer_;
  std::unique_ptr<XTestDisplay> display_;
  RecordingClass pageWindows_;
  std::unique_ptr<DynamicLibrary> module_;
  NPPluginFuncs plugin_{};
  NPNetscapeFuncs browser_{};
  NPError initialized_ = NPErrorNone;
  std::string pluginName_;
  std::string pluginDescription_;
  bool closed_ = false;
  std::set<void*> live_;
  std::list<Embed> embeds_;
};

}  // namespace vx::test
