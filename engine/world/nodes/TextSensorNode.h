// TextSensor: a pointing-device sensor tied to a Text or TextTexture node.
// While the pointer is on its `string` in that node it shows its cursor;
// a click there follows its url. It answers the TouchSensor's type id, so
// that picking treats it as one, and is written under its own name.
//
// Whether the pointer is on the text is the target node's to say; a click
// counts only when a frame was drawn between press and release.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

class CTextSensorNode : public CNode {
 public:
  CTextSensorNode();

  NodeCategory GetCategory() const override { return NodeCategorySensor; }
  NodeTypeId GetTypeId() const override { return NodeTypeTouchSensor; }
  std::string_view GetTypeName() const override { return "TextSensor"; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  void OnPointerClick(CViewContext* view) override;
  void OnPointerOver() override;
  void OnPointerPress() override;

  int16_t enabled = 1;
  SFString string{};
  SFColor color{};
  SFString url{};
  SFString cursor{};
  SFString frame{};
  CNodeRef node;

 protected:
  ~CTextSensorNode() override = default;

 private:
  bool TargetHit();
  // The view context of the frame the world is drawing now, else null.
  CViewContext* CurrentView() const;

  bool seen_ = false;
  bool active_ = false;
  // Kept with the world's frame number, and followed only within that
  // frame: a view may be gone by the next one.
  CViewContext* lastView_ = nullptr;
  uint64_t lastViewFrame_ = 0;
};

void RegisterTextSensorNode(NodeClassTable& table);

}  // namespace vx
