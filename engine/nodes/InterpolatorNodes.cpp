#include "engine/nodes/InterpolatorNodes.h"

#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

float Lerp(float a, float b, float t) { return a + t * (b - a); }
SFVec3f Lerp(const SFVec3f& a, const SFVec3f& b, float t) {
  return {Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t)};
}
SFColor Lerp(const SFColor& a, const SFColor& b, float t) {
  return {Lerp(a.r, b.r, t), Lerp(a.g, b.g, t), Lerp(a.b, b.b, t)};
}
// Axis and angle each move linearly; the axis is not renormalised.
SFRotation Lerp(const SFRotation& a, const SFRotation& b, float t) {
  return {Lerp(a.x, b.x, t), Lerp(a.y, b.y, t), Lerp(a.z, b.z, t), Lerp(a.angle, b.angle, t)};
}

template <typename Node>
constexpr FieldSpec kInterpolatorFields[] = {
    Field<&Node::key>("key"),
    Field<&Node::keyValue>("keyValue"),
};
constexpr FieldSpec kSetFractionEvent[] = {Event("set_fraction", FieldTypeSFFloat)};
constexpr int kSetFraction = IndexIn(kSetFractionEvent, "set_fraction");
template <FieldType kOutput>
constexpr FieldSpec kValueChangedEvent[] = {Event("value_changed", kOutput)};

template <typename Node, FieldType kOutput>
constexpr FieldTable kInterpolatorTable{Section(kInterpolatorFields<Node>), Section(kSetFractionEvent),
                                        Section(kValueChangedEvent<kOutput>)};

// Setting key or keyValue only stores it (the dirty flag stays: an
// interpolator draws nothing).
bool IsFraction(bool isField, int index) { return !isField && index == kSetFraction; }

}  // namespace

KeySelection SelectKeys(std::span<const float> keys, float fraction) {
  const auto last = static_cast<int32_t>(keys.size()) - 1;
  if (last == 0 || fraction <= keys.front()) return {0, 0, 0.0f};
  if (fraction >= keys.back()) return {last, last, 0.0f};
  // The last key below the fraction, over the whole list: with unsorted keys
  // an earlier match is not the interval the fraction lies in. The key after
  // it is then at or above the fraction, so the interval has positive width.
  int32_t below = -1;
  for (int32_t i = 0; i <= last; ++i) {
    if (keys[i] < fraction) below = i;
  }
  if (below < 0) return {0, 0, 0.0f};
  if (below == last) return {last, last, 0.0f};
  const float t = (fraction - keys[below]) / (keys[below + 1] - keys[below]);
  return {below, below + 1, t};
}

template <typename Value, NodeTypeId kTypeId>
CInterpolatorNode<Value, kTypeId>::CInterpolatorNode() {
  RegisterFields(kInterpolatorTable<CInterpolatorNode, FieldTypeOf<Value>::value>);
}

template <typename Value, NodeTypeId kTypeId>
int CInterpolatorNode<Value, kTypeId>::OnEventIn(bool isField, int index, const void* value) {
  if (!IsFraction(isField, index)) return 0;
  if (key.count <= 0 || keyValue.count != key.count) return 0;
  const KeySelection at = SelectKeys(key.Span(), *static_cast<const float*>(value));
  const Value result = Lerp(keyValue[at.from], keyValue[at.to], at.t);
  SendEvent("value_changed", &result);
  return 0;
}

template class CInterpolatorNode<SFVec3f, NodeTypePositionInterpolator>;
template class CInterpolatorNode<SFRotation, NodeTypeOrientationInterpolator>;
template class CInterpolatorNode<SFColor, NodeTypeColorInterpolator>;
template class CInterpolatorNode<float, NodeTypeScalarInterpolator>;
template class CInterpolatorNode<SFVec3f, NodeTypeNormalInterpolator>;

CCoordinateInterpolatorNode::CCoordinateInterpolatorNode() {
  RegisterFields(kInterpolatorTable<CCoordinateInterpolatorNode, FieldTypeMFVec3f>);
}

int CCoordinateInterpolatorNode::OnEventIn(bool isField, int index, const void* value) {
  if (!IsFraction(isField, index)) return 0;
  if (key.count <= 0 || keyValue.count < key.count || keyValue.count % key.count != 0) return 0;
  const int32_t blockSize = keyValue.count / key.count;
  const KeySelection at = SelectKeys(key.Span(), *static_cast<const float*>(value));
  auto* vectors = static_cast<SFVec3f*>(AllocFieldArray(FieldTypeMFVec3f, blockSize));
  if (!vectors) return 0;
  MFVec3f result{blockSize, vectors};
  for (int32_t i = 0; i < blockSize; ++i) {
    result[i] = Lerp(keyValue[at.from * blockSize + i], keyValue[at.to * blockSize + i], at.t);
  }
  SendEvent("value_changed", &result);
  FreeFieldValue(FieldTypeMFVec3f, &result);
  return 0;
}

void RegisterInterpolatorNodes(NodeClassTable& table) {
  table.Add<CPositionInterpolatorNode>("PositionInterpolator");
  table.Add<COrientationInterpolatorNode>("OrientationInterpolator");
  table.Add<CColorInterpolatorNode>("ColorInterpolator");
  table.Add<CScalarInterpolatorNode>("ScalarInterpolator");
  table.Add<CNormalInterpolatorNode>("NormalInterpolator");
  table.Add<CCoordinateInterpolatorNode>("CoordinateInterpolator");
}

}  // namespace vx
