/* Node type ids and categories, as answered by every scene node.
 *
 * The 54 standard VRML 2.0 node types take 2 to 55 in alphabetical order.
 * Collision and Inline nodes answer NodeTypeGroup (no node answers the ids
 * NodeTypeCollision or NodeTypeInline); a TextSensor answers
 * NodeTypeTouchSensor. */
#ifndef VANTESSEL_NODE_TYPES_H
#define VANTESSEL_NODE_TYPES_H

#ifdef __cplusplus
extern "C" {
#endif

typedef enum NodeTypeId {
  NodeTypeBase = 1,
  NodeTypeAnchor = 2,
  NodeTypeAppearance = 3,
  NodeTypeAudioClip = 4,
  NodeTypeBackground = 5,
  NodeTypeBillboard = 6,
  NodeTypeBox = 7,
  NodeTypeCollision = 8,
  NodeTypeColor = 9,
  NodeTypeColorInterpolator = 10,
  NodeTypeCone = 11,
  NodeTypeCoordinate = 12,
  NodeTypeCoordinateInterpolator = 13,
  NodeTypeCylinder = 14,
  NodeTypeCylinderSensor = 15,
  NodeTypeDirectionalLight = 16,
  NodeTypeElevationGrid = 17,
  NodeTypeExtrusion = 18,
  NodeTypeFog = 19,
  NodeTypeFontStyle = 20,
  NodeTypeGroup = 21,
  NodeTypeImageTexture = 22,
  NodeTypeIndexedFaceSet = 23,
  NodeTypeIndexedLineSet = 24,
  NodeTypeInline = 25,
  NodeTypeLOD = 26,
  NodeTypeMaterial = 27,
  NodeTypeMovieTexture = 28,
  NodeTypeNavigationInfo = 29,
  NodeTypeNormal = 30,
  NodeTypeNormalInterpolator = 31,
  NodeTypeOrientationInterpolator = 32,
  NodeTypePixelTexture = 33,
  NodeTypePlaneSensor = 34,
  NodeTypePointLight = 35,
  NodeTypePointSet = 36,
  NodeTypePositionInterpolator = 37,
  NodeTypeProximitySensor = 38,
  NodeTypeScalarInterpolator = 39,
  NodeTypeScript = 40,
  NodeTypeShape = 41,
  NodeTypeSound = 42,
  NodeTypeSphere = 43,
  NodeTypeSphereSensor = 44,
  NodeTypeSpotLight = 45,
  NodeTypeSwitch = 46,
  NodeTypeText = 47,
  NodeTypeTextureCoordinate = 48,
  NodeTypeTextureTransform = 49,
  NodeTypeTimeSensor = 50,
  NodeTypeTouchSensor = 51,
  NodeTypeTransform = 52,
  NodeTypeViewpoint = 53,
  NodeTypeVisibilitySensor = 54,
  NodeTypeWorldInfo = 55,
  NodeTypeProtoInstance = 56,
  NodeTypeVista = 1000,
  NodeTypeScreenIMob = 1002,
  NodeTypeWorldIMob = 1003,
  NodeTypeScreenElement = 1004,
  NodeTypeSlideShowTexture = 1005,
  NodeTypeTextTexture = 1006,
  NodeTypeIMobSensor = 1007,
  NodeTypeIRC = 1008,
  NodeTypeDisplay = 1009
} NodeTypeId;

typedef enum NodeCategory {
  NodeCategoryNone = 0,
  NodeCategoryGrouping = 1,
  NodeCategorySceneObject = 2,
  NodeCategoryGeometry = 3,
  NodeCategoryGeometricProperty = 4,
  NodeCategoryMaterialOrTexture = 5,
  NodeCategorySensor = 6,
  NodeCategoryInterpolator = 7,
  NodeCategoryOther = 8
} NodeCategory;

#ifdef __cplusplus
}
#endif

#endif
