// Loading a scene file into a scene handle's world and saving a world as a
// scene file: what the engine interface offers the hosts for a scene.
//
// Loading takes a plain path or a "file:" URL (made a local path in the
// caller's buffer), lets the host's "Compression" component unpack a ".gz"
// file first, and reads the file into a new world. Saving writes the scene
// text into a new file beside the target and renames it over the target
// once it is complete, so a failed save leaves an existing file untouched.
#pragma once

#include <cstdint>

#include <vantessel/EngineResult.h>

#include "engine/world/SceneHandle.h"

namespace vx {

// Messages of a failed load.
inline constexpr const char* kDecompressFailedMessage = "Error Decompressing GZip File!!!";
inline constexpr const char* kCannotOpenMessage = "Error:  Could not open VRML file!!!";

// path and error are caller buffers of VX_TEXT_BUFFER_SIZE characters; path
// is rewritten in place (a "file:" URL becomes its local path, a ".gz" name
// loses its ".gz"). Results: 0; 2 for a null scene or an empty path; 5 with
// the reason in error (when error is not null); 6 when the file does not
// open as a stream. A failed read leaves the scene without a world. The new
// world's convention (ConventionOfWorldName) comes from the scene's URL when
// it has one: the one the host set before the load (a plug-in sets the URL of
// its stream, whose local copy has a name of the browser's), or the path of
// the scene's first load. Else it comes from the path.
[[nodiscard]] EngineResult LoadSceneFile(SceneHandle* scene, char* path, char* error);

// Writes the scene's world; flag nonzero writes the strings of "url" fields
// as completed URLs. Results: 0; 2 for a null scene or path, or a scene
// without a world (nothing is written); 6 when the file cannot be written.
[[nodiscard]] EngineResult SaveSceneFile(SceneHandle* scene, const char* path, uint16_t flag);

}  // namespace vx
