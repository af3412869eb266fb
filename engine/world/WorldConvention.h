// The conventions a world is drawn by, fixed when the world is loaded.
//
// Worlds made for this system (".tsw") were written for its own conventions:
// the camera starts at the origin, a Viewpoint's position is taken as it
// stands and only its direction counts, a shape without a material is drawn
// in the default tan, and a Background's last ground colour reaches the
// horizon. Worlds from every other tool were written for VRML 2.0 as
// ISO/IEC 14772-1 defines it, where the same files mean something else. The
// world object keeps the one it was loaded with (CBrowser::GetConvention);
// the bodies of its PROTO instances, its Inlines and its EXTERNPROTO
// libraries run on the same world and so share it.
#pragma once

#include <cstdint>
#include <string_view>

namespace vx {

class CBrowser;

enum class WorldConvention : uint8_t {
  kStandard,  // VRML 2.0: ".wrl" and every other name, and worlds read without one
  kSystem,    // this system's own: ".tsw"
};

// The convention of a world loaded under this name: the path or URL that the
// host or a link gave, before any copy in the download cache (whose names
// keep only the last three characters). A "#viewpoint" part and a final ".gz"
// are not part of the name (WorldFileName.h); a name that then ends in
// ".tsw", in any case, gives the system's convention.
[[nodiscard]] WorldConvention ConventionOfWorldName(std::string_view name);

// The world's convention; the standard's for no world (a node made outside
// any world, a view that draws none).
[[nodiscard]] WorldConvention ConventionOf(const CBrowser* world);

}  // namespace vx
