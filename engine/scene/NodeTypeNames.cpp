#include "engine/scene/NodeTypeNames.h"

#include <iterator>

namespace vx {
namespace {

// Ids 2 to 55, in id order.
constexpr std::string_view kStandardNames[] = {
    "Anchor", "Appearance", "AudioClip", "Background", "Billboard", "Box", "Collision", "Color",
    "ColorInterpolator", "Cone", "Coordinate", "CoordinateInterpolator", "Cylinder", "CylinderSensor",
    "DirectionalLight", "ElevationGrid", "Extrusion", "Fog", "FontStyle", "Group", "ImageTexture",
    "IndexedFaceSet", "IndexedLineSet", "Inline", "LOD", "Material", "MovieTexture", "NavigationInfo", "Normal",
    "NormalInterpolator", "OrientationInterpolator", "PixelTexture", "PlaneSensor", "PointLight", "PointSet",
    "PositionInterpolator", "ProximitySensor", "ScalarInterpolator", "Script", "Shape", "Sound", "Sphere",
    "SphereSensor", "SpotLight", "Switch", "Text", "TextureCoordinate", "TextureTransform", "TimeSensor",
    "TouchSensor", "Transform", "Viewpoint", "VisibilitySensor", "WorldInfo",
};
static_assert(std::size(kStandardNames) == NodeTypeWorldInfo - NodeTypeAnchor + 1, "one name per standard id");

struct ExtensionName {
  NodeTypeId id;
  std::string_view name;
};

constexpr ExtensionName kExtensionNames[] = {
    {NodeTypeVista, "Vista"},
    {NodeTypeScreenIMob, "ScreenIMob"},
    {NodeTypeWorldIMob, "WorldIMob"},
    {NodeTypeScreenElement, "ScreenElement"},
    {NodeTypeSlideShowTexture, "SlideShowTexture"},
    {NodeTypeTextTexture, "TextTexture"},
    {NodeTypeIMobSensor, "IMobSensor"},
    {NodeTypeIRC, "IRC"},
    {NodeTypeDisplay, "Display"},
};

}  // namespace

std::string_view NodeTypeName(NodeTypeId id) {
  if (id >= NodeTypeAnchor && id <= NodeTypeWorldInfo) return kStandardNames[id - NodeTypeAnchor];
  for (const ExtensionName& entry : kExtensionNames) {
    if (entry.id == id) return entry.name;
  }
  return "Unsupported";
}

}  // namespace vx
