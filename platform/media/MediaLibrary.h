// The media library, libvxmedia.so, as the front of the movie and sound
// layer reaches it: loaded from the folder of libvxplatform.so itself (so
// that a build, an installation and a plug-in inside a browser each find
// their own) the first time a movie or a sound needs it, and kept until the
// process ends. One attempt per process: where the library cannot be loaded
// (it is missing, FFmpeg or SDL2 is missing, or it is of another version)
// that is said once on the standard error stream, and from then on no movie
// or sound opens.
#pragma once

#include <vantessel/MediaLayer.h>

namespace vx {

// The library's table; null when it cannot be loaded.
const VxMediaLayer* MediaLibrary();

// The table only when an earlier call loaded the library: for what must not
// load it (asking which output sound goes to).
const VxMediaLayer* LoadedMediaLibrary();

}  // namespace vx
