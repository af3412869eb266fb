#include "engine/scene/nodes/SceneNodes.h"

#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/AnchorNode.h"
#include "engine/scene/nodes/AppearanceNodes.h"
#include "engine/scene/nodes/BillboardNode.h"
#include "engine/scene/nodes/CollisionNode.h"
#include "engine/scene/nodes/ElevationGridNode.h"
#include "engine/scene/nodes/ExtrusionNode.h"
#include "engine/scene/nodes/FogNode.h"
#include "engine/scene/nodes/GeometricPropertyNodes.h"
#include "engine/scene/nodes/GroupNode.h"
#include "engine/scene/nodes/IndexedFaceSetNode.h"
#include "engine/scene/nodes/InlineNode.h"
#include "engine/scene/nodes/InterpolatorNodes.h"
#include "engine/scene/nodes/LODNode.h"
#include "engine/scene/nodes/LightNodes.h"
#include "engine/scene/nodes/LineSetNodes.h"
#include "engine/scene/nodes/NavigationInfoNode.h"
#include "engine/scene/nodes/PointingSensorNodes.h"
#include "engine/scene/nodes/PrimitiveNodes.h"
#include "engine/scene/nodes/ShapeNode.h"
#include "engine/scene/nodes/SwitchNode.h"
#include "engine/scene/nodes/TimeSensorNode.h"
#include "engine/scene/nodes/TransformNode.h"
#include "engine/scene/nodes/ViewerSensorNodes.h"
#include "engine/scene/nodes/ViewpointNode.h"

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
