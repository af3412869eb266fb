// What tells a view that its next frame may show something new.
//
// A view draws only when something it shows may have changed. What the view
// sees itself (the camera, the pointer, its size) it checks itself; the rest
// is noted here by the code that knows: a value stored into a node, an event
// delivered, an engine download ended (the change serial), and a node that
// changes by itself with time, such as a running sensor, a movie, an
// animated picture or a picture still loading (the frame requests, made
// while a frame is drawn). Everything runs on the window thread.
#pragma once

#include <cstdint>
#include <limits>

namespace vx {

// The due time of no frame at all.
inline constexpr double kNoFrameDue = std::numeric_limits<double>::infinity();

// Something a frame may show has changed.
void NoteWorldChange();
// Moves on with every NoteWorldChange.
uint64_t WorldChangeSerial();

// A frame is wanted at once (from a node that changes without a clock of
// its own, such as a movie or a picture still arriving), or at a world time.
void RequestFrameNow();
void RequestFrameAt(double worldTime);
// The requests of one frame: cleared before it is drawn, read after.
void ClearFrameRequests();
// The earliest world time asked for since the last clear (minus infinity
// for "at once"), kNoFrameDue when none.
double EarliestFrameRequest();

}  // namespace vx
