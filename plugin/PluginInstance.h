// One embedded scene on a page: its engine scene and view, the page window
// it draws into, and what the page's parameters asked for.
#pragma once

#include <cstdint>

#include "platform/Window.h"
#include "plugin/BrowserTimer.h"
#include "plugin/EmbedParameters.h"
#include "plugin/PluginLimits.h"
#include "vantessel/Engine.h"
#include "vantessel/PluginApi.h"

namespace vx::plugin {

struct PluginInstance {
  EngineInstance* engine = nullptr;  // the process's
  SceneHandle* scene = nullptr;
  ViewHandle* view = nullptr;
  // The page window at the time of the stream; a windowless instance's own
  // off-screen one from its first drawable on.
  WindowHandle window = WindowHandle::None;
  ViewCallback viewCallback{};
  EmbedParameters parameters{};
  int16_t hasFocus = 0;
  NPWindow npWindow{};
  int16_t mode = 0;
  NPP npp = nullptr;
  char linkTarget[kLinkTextSize] = {};
  char linkUrl[kLinkTextSize] = {};
  WindowHandle subclassedWindow = WindowHandle::None;
  WindowProc previousProcedure = nullptr;
  // How many notes of the world the status line has told of.
  uint32_t toldMessages = 0;

  // The browser draws it into a drawable of its own (Windowless.h), ticked
  // from the browser's main loop.
  bool windowless = false;
  BrowserTimer ticker;

  // The browser may destroy the instance from inside a call that reaches it
  // (it navigates when asked to open a link): while calls are under way the
  // memory stays, and the last of them gives it back.
  int callDepth = 0;
  bool destroyed = false;
};

// Keeps an instance's memory while a call that may reach the browser runs.
class InstanceCall {
 public:
  explicit InstanceCall(PluginInstance& instance) : instance_(instance) { ++instance_.callDepth; }
  ~InstanceCall();
  InstanceCall(const InstanceCall&) = delete;
  InstanceCall& operator=(const InstanceCall&) = delete;

  // False once the browser has destroyed the instance during the call.
  bool Alive() const { return !instance_.destroyed; }

 private:
  PluginInstance& instance_;
};

// Made with the browser's allocator; null when it has no memory.
PluginInstance* NewPluginInstance();
// Gives the memory back to the browser now, or when the last call under way
// on the instance ends.
void ReleasePluginInstance(PluginInstance* instance);

}  // namespace vx::plugin
