#include "engine/nodes/SceneNodes.h"

#include "engine/scene/NodeFactory.h"
#include "engine/nodes/AnchorNode.h"
#include "engine/nodes/AppearanceNodes.h"
#include "engine/nodes/BillboardNode.h"
#include "engine/nodes/CollisionNode.h"
#include "engine/nodes/ElevationGridNode.h"
#include "engine/nodes/ExtrusionNode.h"
#include "engine/nodes/FogNode.h"
#include "engine/nodes/GeometricPropertyNodes.h"
#include "engine/scene/GroupNode.h"
#include "engine/nodes/IndexedFaceSetNode.h"
#include "engine/nodes/InlineNode.h"
#include "engine/nodes/InterpolatorNodes.h"
#include "engine/nodes/LODNode.h"
#include "engine/nodes/LightNodes.h"
#include "engine/nodes/LineSetNodes.h"
#include "engine/nodes/NavigationInfoNode.h"
#include "engine/nodes/PointingSensorNodes.h"
#include "engine/nodes/PrimitiveNodes.h"
#include "engine/nodes/ShapeNode.h"
#include "engine/nodes/SwitchNode.h"
#include "engine/nodes/TimeSensorNode.h"
#include "engine/nodes/TransformNode.h"
#include "engine/nodes/ViewerSensorNodes.h"
#include "engine/nodes/ViewpointNode.h"

namespace vx {
namespace {

constexpr NodeRegistration kRegistrations[] = {
    RegisterGroupNode,
    RegisterTransformNode,
    RegisterShapeNode,
    RegisterSphereNode,
    RegisterAppearanceNodes,
    RegisterIndexedFaceSetNode,
    RegisterGeometricPropertyNodes,
    RegisterSwitchNode,
    RegisterLODNode,
    RegisterBillboardNode,
    RegisterCollisionNode,
    RegisterTimeSensorNode,
    RegisterInterpolatorNodes,
    RegisterBoxNode,
    RegisterConeNode,
    RegisterCylinderNode,
    RegisterElevationGridNode,
    RegisterExtrusionNode,
    RegisterIndexedLineSetNode,
    RegisterPointSetNode,
    RegisterPointingSensorNodes,
    RegisterViewerSensorNodes,
    RegisterAnchorNode,
    RegisterInlineNode,
    RegisterLightNodes,
    RegisterWorldInfoNode,
    RegisterNavigationInfoNode,
    RegisterViewpointNode,
    RegisterFogNode,
};

}  // namespace

void RegisterSceneNodes(NodeClassTable& table) {
  table.Register(kRegistrations);
}

}  // namespace vx
