// The node table: every subsystem's node classes, composed above all of them.
// The scene core declares the table (engine/scene/NodeFactory.h) and this file
// defines it, so no subsystem includes one above it.
#include "engine/media/nodes/MediaNodes.h"
#include "engine/pano/nodes/PanoNodes.h"
#include "engine/scene/NodeFactory.h"
#include "engine/nodes/SceneNodes.h"
#include "engine/world/nodes/WorldNodes.h"

namespace vx {
namespace {

// Each subsystem's registration, in the factory's lookup order.
constexpr NodeRegistration kRegistrations[] = {
    RegisterWorldNodes,
    RegisterSceneNodes,
    RegisterMediaNodes,
    RegisterPanoNodes,
};

}  // namespace

NodeClassTable MakeNodeClassTable(std::span<const NodeRegistration> extra) {
  NodeClassTable table;
  table.Register(kRegistrations);
  table.Register(extra);
  return table;
}

const NodeClassTable& StandardNodeClasses() {
  static const NodeClassTable table = MakeNodeClassTable({});
  return table;
}

}  // namespace vx
