// The type name a node is written under in a scene file, by type id.
#pragma once

#include <string_view>

#include <vantessel/NodeTypes.h>

namespace vx {

// The standard and extension type names ("Anchor" for 2 ... "WorldInfo" for
// 55, "Vista" for 1000, ...); "Unsupported" for a node of the base kind and
// for any id without a name of its own (a PROTO instance answers its
// declaration's name instead).
std::string_view NodeTypeName(NodeTypeId id);

}  // namespace vx
