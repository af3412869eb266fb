#include "engine/pano/nodes/PanoNodes.h"

#include "engine/pano/nodes/BackgroundNode.h"
#include "engine/pano/nodes/ScreenIMobNode.h"
#include "engine/pano/nodes/VistaNode.h"
#include "engine/pano/nodes/WorldIMobNode.h"
#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr NodeRegistration kRegistrations[] = {
    RegisterBackgroundNode,
    RegisterVistaNodes,
    RegisterWorldIMobNode,
    RegisterScreenIMobNode,
};

}  // namespace

void RegisterPanoNodes(NodeClassTable& table) { table.Register(kRegistrations); }

}  // namespace vx
