// Drawing into the browser's drawable: a windowless instance's page window
// copied out on the browser's expose events (Xlib).
#pragma once

#include "platform/Window.h"
#include "vantessel/PluginApi.h"

namespace vx::plugin {

// Whether the browser's event (an XEvent) asks the instance to draw.
bool IsExposeEvent(const void* xevent);

// Copies the part of the page window that the expose event names into the
// event's drawable, in the visual and depth that the browser's window info
// gives (the display's default ones without it). False when nothing was
// drawn: an empty part, no display, or a visual other than true colour.
bool CopyToDrawable(WindowHandle pageWindow, const void* xevent, const NPSetWindowCallbackStruct* windowInfo);

}  // namespace vx::plugin
