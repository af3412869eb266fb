#include "engine/pano/nodes/PanoNodes.h"

#include "engine/pano/nodes/BackgroundNode.h"
#include "engine/pano/nodes/VistaNode.h"
#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr NodeRegistration kRegistrations[] = {
    RegisterBackgroundNode,
    RegisterVistaNodes,
};

}  // namespace

void RegisterPanoNodes(NodeClassTable& table) { table.Register(kRegistrations); }

}  // namespace vx
