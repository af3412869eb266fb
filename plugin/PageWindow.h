// The page window an instance draws into: the plug-in subclasses it, so that
// its messages drive the instance's engine view, its timer ticks the view,
// and it shows the splash picture while no scene is loaded.
#pragma once

#include <cstdint>

#include "platform/Window.h"
#include "plugin/PluginInstance.h"

namespace vx::plugin {

// Installs the plug-in's procedure on the window (the old one kept) and
// stores the instance on it; then the window is redrawn. A window the
// instance has subclassed already is given back first.
void SubclassPageWindow(PluginInstance& instance, WindowHandle window);
// Gives the window its old procedure back and stops the instance's timer.
void RestorePageWindow(PluginInstance& instance);

// Pumps the engine's downloads and ticks the instance's view.
void EngineTick(PluginInstance& instance);

// Asks the browser to open a link of the scene in the named frame
// ("_current" when none).
void OpenLinkUrl(PluginInstance& instance, const char* url, const char* target);

// The instance's ViewCallback: links that are not scenes go to the browser.
void EngineLinkCallback(int32_t code, void* data, void* instance);

// The splash picture's top-left corner in a window of this size.
Point SplashOrigin(int width, int height);

}  // namespace vx::plugin
