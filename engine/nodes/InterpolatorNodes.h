// The six interpolators: each turns a fraction arriving at set_fraction into
// a value by piecewise-linear interpolation over its key list and sends it
// out of value_changed. They do nothing when traversed.
#pragma once

#include <span>

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

// Which value blocks a fraction falls between: the output is
// block `from` + t x (block `to` - block `from`). Works on keys in any order.
struct KeySelection {
  int32_t from = 0;
  int32_t to = 0;
  float t = 0.0f;
};
// keys must not be empty.
KeySelection SelectKeys(std::span<const float> keys, float fraction);

// A single-value interpolator: one keyValue entry of type Value per key, and
// value_changed of that type.
template <typename Value, NodeTypeId kTypeId>
class CInterpolatorNode : public CNode {
 public:
  CInterpolatorNode();

  NodeCategory GetCategory() const override { return NodeCategoryInterpolator; }
  NodeTypeId GetTypeId() const override { return kTypeId; }
  int OnEventIn(bool isField, int index, const void* value) override;

  MFFloat key{};
  MF<Value> keyValue{};

 protected:
  ~CInterpolatorNode() override = default;
};

using CPositionInterpolatorNode = CInterpolatorNode<SFVec3f, NodeTypePositionInterpolator>;
using COrientationInterpolatorNode = CInterpolatorNode<SFRotation, NodeTypeOrientationInterpolator>;
using CColorInterpolatorNode = CInterpolatorNode<SFColor, NodeTypeColorInterpolator>;
using CScalarInterpolatorNode = CInterpolatorNode<float, NodeTypeScalarInterpolator>;
// Exactly like PositionInterpolator: its output is not normalised.
using CNormalInterpolatorNode = CInterpolatorNode<SFVec3f, NodeTypeNormalInterpolator>;

// Key values come in blocks of keyValue count / key count vectors, and the
// output is a whole block.
class CCoordinateInterpolatorNode : public CNode {
 public:
  CCoordinateInterpolatorNode();

  NodeCategory GetCategory() const override { return NodeCategoryInterpolator; }
  NodeTypeId GetTypeId() const override { return NodeTypeCoordinateInterpolator; }
  int OnEventIn(bool isField, int index, const void* value) override;

  MFFloat key{};
  MFVec3f keyValue{};

 protected:
  ~CCoordinateInterpolatorNode() override = default;
};

void RegisterInterpolatorNodes(NodeClassTable& table);

}  // namespace vx
