// A windowless instance: the browser gives it no window but a drawable,
// and sends expose and input events (NPP_HandleEvent). The instance draws
// into an off-screen page window of its own, which its handling treats as
// any page window; each expose copies that window out, and a timer on the
// browser's main loop ticks the engine and asks the browser for the expose.
#pragma once

#include "plugin/PluginInstance.h"
#include "vantessel/PluginApi.h"

namespace vx::plugin {

// The browser's drawable of this size: the page window is made, with the
// ticks, or sized to it.
void TakeDrawable(PluginInstance& instance, const NPWindow& window);
// The instance goes, or draws into a window after all: ticks and page window
// go.
void DropDrawable(PluginInstance& instance);

// Whether the event was taken: an expose drawn, or input delivered.
bool HandleWindowlessEvent(PluginInstance& instance, const void* xevent);

}  // namespace vx::plugin
