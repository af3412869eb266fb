// Every node class the factory knows, measured against a table of the scene
// format written out here: its name, type id and category, a sound field
// table, and defaults that a saved file gives back.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/SceneWriter.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"
#include "tests/scene/AllFieldsNode.h"

namespace vx::test {
namespace {

struct ExpectedClass {
  std::string_view name;
  NodeTypeId typeId;
  NodeCategory category;
};

// Every type name of the format. Collision and Inline answer Group's id, and
// a TextSensor a TouchSensor's.
constexpr ExpectedClass kFormatClasses[] = {
    {"Anchor", NodeTypeAnchor, NodeCategoryGrouping},
    {"Appearance", NodeTypeAppearance, NodeCategoryGeometricProperty},
    {"AudioClip", NodeTypeAudioClip, NodeCategoryOther},
    {"Background", NodeTypeBackground, NodeCategorySceneObject},
    {"Billboard", NodeTypeBillboard, NodeCategoryGrouping},
    {"Box", NodeTypeBox, NodeCategoryGeometry},
    {"Collision", NodeTypeGroup, NodeCategoryGrouping},
    {"Color", NodeTypeColor, NodeCategoryGeometricProperty},
    {"ColorInterpolator", NodeTypeColorInterpolator, NodeCategoryInterpolator},
    {"Cone", NodeTypeCone, NodeCategoryGeometry},
    {"Coordinate", NodeTypeCoordinate, NodeCategoryGeometricProperty},
    {"CoordinateInterpolator", NodeTypeCoordinateInterpolator, NodeCategoryInterpolator},
    {"Cylinder", NodeTypeCylinder, NodeCategoryGeometry},
    {"CylinderSensor", NodeTypeCylinderSensor, NodeCategorySensor},
    {"DirectionalLight", NodeTypeDirectionalLight, NodeCategorySceneObject},
    {"ElevationGrid", NodeTypeElevationGrid, NodeCategoryGeometry},
    {"Extrusion", NodeTypeExtrusion, NodeCategoryGeometry},
    {"Fog", NodeTypeFog, NodeCategorySceneObject},
    {"FontStyle", NodeTypeFontStyle, NodeCategoryGeometricProperty},
    {"Group", NodeTypeGroup, NodeCategoryGrouping},
    {"ImageTexture", NodeTypeImageTexture, NodeCategoryMaterialOrTexture},
    {"IndexedFaceSet", NodeTypeIndexedFaceSet, NodeCategoryGeometry},
    {"IndexedLineSet", NodeTypeIndexedLineSet, NodeCategoryGeometry},
    {"Inline", NodeTypeGroup, NodeCategoryGrouping},
    {"LOD", NodeTypeLOD, NodeCategoryGrouping},
    {"Material", NodeTypeMaterial, NodeCategoryMaterialOrTexture},
    {"MovieTexture", NodeTypeMovieTexture, NodeCategoryMaterialOrTexture},
    {"NavigationInfo", NodeTypeNavigationInfo, NodeCategoryOther},
    {"Normal", NodeTypeNormal, NodeCategoryGeometricProperty},
    {"NormalInterpolator", NodeTypeNormalInterpolator, NodeCategoryInterpolator},
    {"OrientationInterpolator", NodeTypeOrientationInterpolator, NodeCategoryInterpolator},
    {"PixelTexture", NodeTypePixelTexture, NodeCategoryMaterialOrTexture},
    {"PlaneSensor", NodeTypePlaneSensor, NodeCategorySensor},
    {"PointLight", NodeTypePointLight, NodeCategorySceneObject},
    {"PointSet", NodeTypePointSet, NodeCategoryGeometry},
    {"PositionInterpolator", NodeTypePositionInterpolator, NodeCategoryInterpolator},
    {"ProximitySensor", NodeTypeProximitySensor, NodeCategorySensor},
    {"ScalarInterpolator", NodeTypeScalarInterpolator, NodeCategoryInterpolator},
    {"Script", NodeTypeScript, NodeCategoryOther},
    {"Shape", NodeTypeShape, NodeCategorySceneObject},
    {"Sound", NodeTypeSound, NodeCategorySceneObject},
    {"Sphere", NodeTypeSphere, NodeCategoryGeometry},
    {"SphereSensor", NodeTypeSphereSensor, NodeCategorySensor},
    {"SpotLight", NodeTypeSpotLight, NodeCategorySceneObject},
    {"Switch", NodeTypeSwitch, NodeCategoryGrouping},
    {"Text", NodeTypeText, NodeCategoryGeometry},
    {"TextureCoordinate", NodeTypeTextureCoordinate, NodeCategoryGeometricProperty},
    {"TextureTransform", NodeTypeTextureTransform, NodeCategoryMaterialOrTexture},
    {"TimeSensor", NodeTypeTimeSensor, NodeCategorySensor},
    {"TouchSensor", NodeTypeTouchSensor, NodeCategorySensor},
    {"Transform", NodeTypeTransform, NodeCategoryGrouping},
    {"Viewpoint", NodeTypeViewpoint, NodeCategoryOther},
    {"VisibilitySensor", NodeTypeVisibilitySensor, NodeCategorySensor},
    {"WorldInfo", NodeTypeWorldInfo, NodeCategoryOther},
    {"Vista", NodeTypeVista, NodeCategorySceneObject},
    {"ScreenIMob", NodeTypeScreenIMob, NodeCategorySceneObject},
    {"WorldIMob", NodeTypeWorldIMob, NodeCategorySceneObject},
    {"ScreenElement", NodeTypeScreenElement, NodeCategorySceneObject},
    {"SlideShowTexture", NodeTypeSlideShowTexture, NodeCategoryMaterialOrTexture},
    {"TextTexture", NodeTypeTextTexture, NodeCategoryMaterialOrTexture},
    {"IMobSensor", NodeTypeIMobSensor, NodeCategorySensor},
    {"IRC", NodeTypeIRC, NodeCategoryGrouping},
    {"Display", NodeTypeDisplay, NodeCategoryOther},
    {"TextSensor", NodeTypeTouchSensor, NodeCategorySensor},
};

const ExpectedClass* FormatClass(std::string_view name) {
  for (const ExpectedClass& expected : kFormatClasses) {
    if (expected.name == name) return &expected;
  }
  return nullptr;
}

std::span<const NodeClassInfo> Classes() { return StandardNodeClasses().Classes(); }

TEST(NodeClasses, EachNameOnceWithTheTypeIdAndCategoryOfTheFormat) {
  CBrowser world;
  std::set<std::string_view> names;
  std::map<NodeTypeId, std::set<std::string_view>> namesById;
  for (const NodeClassInfo& info : Classes()) {
    EXPECT_TRUE(names.insert(info.typeName).second) << "one class per name: " << info.typeName;
    const ExpectedClass* expected = FormatClass(info.typeName);
    ASSERT_NE(expected, nullptr) << info.typeName << " is no type name of the format";
    CNodeRef node = NodeFactory(info.typeName, NodeCreation{&world.GetScene()});
    ASSERT_TRUE(node) << info.typeName;
    EXPECT_EQ(node->GetTypeId(), expected->typeId) << info.typeName;
    EXPECT_EQ(node->GetCategory(), expected->category) << info.typeName;
    EXPECT_EQ(node->GetTypeName(), info.typeName) << "a saved file makes the same class again";
    namesById[node->GetTypeId()].insert(info.typeName);
  }
  const std::set<NodeTypeId> shared = {NodeTypeGroup, NodeTypeTouchSensor};
  for (const auto& [id, sharing] : namesById) {
    if (!shared.contains(id)) {
      EXPECT_EQ(sharing.size(), 1u) << "type id " << id;
    }
  }
}

TEST(NodeClasses, EveryFieldTableIsSound) {
  for (const NodeClassInfo& info : Classes()) {
    CNodeRef node = NodeFactory(info.typeName, NodeCreation{});
    const FieldTable* table = node->GetFieldTable();
    ASSERT_NE(table, nullptr) << info.typeName;
    std::set<std::string_view> fields;
    for (size_t i = 0; i < table->fields.size(); ++i) {
      const FieldSpec& field = table->fields[i];
      EXPECT_TRUE(IsValidFieldType(field.type)) << info.typeName << "." << field.name;
      EXPECT_TRUE(fields.insert(field.name).second) << info.typeName << "." << field.name;
      EXPECT_NE(node->GetFieldAddress(static_cast<int>(i)), nullptr) << info.typeName << "." << field.name;
    }
  }
}

// Every field is set to its own default so that the writer writes it; the
// file read back gives every node its defaults again.
TEST(NodeClasses, DefaultsSurviveAWriteAndARead) {
  CBrowser written;
  for (const NodeClassInfo& info : Classes()) {
    CNodeRef node = NodeFactory(info.typeName, NodeCreation{&written.GetScene()});
    const FieldTable* table = node->GetFieldTable();
    for (size_t i = 0; i < table->fields.size(); ++i) {
      node->SetField(table->fields[i].name, node->GetFieldAddress(static_cast<int>(i)));
    }
    AddTopLevel(written, node);
  }
  CSceneWriter writer;
  writer.WriteScene(&written.GetScene(), false);

  CBrowser read;
  auto stream = CSceneInputStream::FromText(writer.GetText());
  CSceneReader reader(stream);
  ASSERT_TRUE(reader.ReadScene(&read.GetScene())) << reader.GetMessage() << "\n" << writer.GetText();
  const MFNode& nodes = read.GetRoot()->children;
  ASSERT_EQ(nodes.count, static_cast<int32_t>(Classes().size()));
  for (int32_t n = 0; n < nodes.count; ++n) {
    const std::string_view name = Classes()[static_cast<size_t>(n)].typeName;
    CNodeRef fresh = NodeFactory(name, NodeCreation{});
    CNode& back = *nodes[n].GetNode();
    const FieldTable* table = fresh->GetFieldTable();
    for (size_t i = 0; i < table->fields.size(); ++i) {
      const int index = static_cast<int>(i);
      EXPECT_TRUE(FieldValuesEqual(table->fields[i].type, fresh->GetFieldAddress(index), back.GetFieldAddress(index)))
          << name << "." << table->fields[i].name;
    }
  }
}

}  // namespace
}  // namespace vx::test
