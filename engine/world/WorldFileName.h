// Names of world files, as links, hosts and the download cache give them.
//
// A world file is named "x.wrl" or "x.tsw", either of them with ".gz" added
// when it is gzip-compressed, or "x.wrz" (a compressed ".wrl"), in any case.
// A link may name a Viewpoint of the world after its last '#': one that is
// the first or the last character names none and stays part of the name.
#pragma once

#include <string_view>

namespace vx {

struct WorldFileName {
  std::string_view file;       // the name without its Viewpoint part
  std::string_view viewpoint;  // empty when the name gives none
};

[[nodiscard]] WorldFileName SplitViewpoint(std::string_view name);

// The file's name as it reads once unpacked: without a final ".gz" (in any
// case). No Viewpoint part is split off.
[[nodiscard]] std::string_view UnpackedName(std::string_view file);

// Whether the name, with or without a Viewpoint part, is that of a world
// file. Links to anything else go to the host.
[[nodiscard]] bool IsWorldFileName(std::string_view name);

// Whether the file's name ends in the suffix, in any case; suffix is in
// lower case.
[[nodiscard]] bool EndsWithIgnoringCase(std::string_view name, std::string_view suffix);

}  // namespace vx
