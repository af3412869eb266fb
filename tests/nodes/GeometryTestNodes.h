// Stand-ins for the property nodes that geometry nodes read by field name,
// and helpers that set list fields from vectors.
#pragma once

#include <string>
#include <vector>

#include <memory>

#include "engine/scene/FieldTable.h"
#include "engine/scene/Node.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"

namespace vx::test {

// Carries "point" (MFVec3f), "color" (MFColor) and "vector" (MFVec3f), as a
// Coordinate, Color and Normal node would.
class CPropertyStandIn : public CNode {
 public:
  CPropertyStandIn();
  MFVec3f point{};
  MFColor color{};
  MFVec3f vector{};

 protected:
  ~CPropertyStandIn() override = default;
};

// Carries "point" as texture coordinates (MFVec2f).
class CTexCoordStandIn : public CNode {
 public:
  CTexCoordStandIn();
  MFVec2f point{};

 protected:
  ~CTexCoordStandIn() override = default;
};

// Sends "set_<field>" with the value, as a ROUTE would.
inline void SendSet(const CNodeRef& node, const char* field, const void* value) {
  node->ReceiveEvent(std::string("set_") + field, value);
}

template <typename T>
void SetList(const CNodeRef& node, const char* field, std::vector<T> elements) {
  const MF<T> value{static_cast<int32_t>(elements.size()), elements.data()};
  SendSet(node, field, &value);
}

template <typename T>
void SetValue(const CNodeRef& node, const char* field, T value) {
  SendSet(node, field, &value);
}

inline void SetNodeField(const CNodeRef& node, const char* field, const CNodeRef& value) {
  SendSet(node, field, &value);
}

template <typename T>
T& As(const CNodeRef& ref) {
  return static_cast<T&>(*ref.Get());
}

// An empty world of the convention, for nodes made outside any file.
struct ConventionWorld {
  explicit ConventionWorld(WorldConvention convention) : world(std::make_unique<CBrowser>(convention)) {}
  // A node of the type that belongs to the world.
  CNodeRef Make(const char* type) const { return NodeFactory(type, {.scene = &world->GetScene()}); }
  std::unique_ptr<CBrowser> world;
};

}  // namespace vx::test
