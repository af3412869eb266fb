// Node classes for the world tests: stand-ins of the bindable nodes that
// record their isBound and bindTime events and the pointer reaching them, and
// a node that draws one flat square through the geometry stage.
#pragma once

#include <string>
#include <vector>

#include "engine/render/MeshBuffer.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"

namespace vx::test {

// One isBound or bindTime event seen by a CBindable.
struct BindEvent {
  std::string node;
  bool isBound = false;  // for isBound events
  bool isTime = false;
  double time = 0.0;
};

// A node of any type id with the fields the world and the view read
// ("type", "speed", "avatarSize", "headlight", "disparity"), eventOuts isBound and
// bindTime routed back into itself, so that what it is sent lands in `log`.
class CBindable : public CNode {
 public:
  CBindable(NodeTypeId type, std::vector<BindEvent>* log);

  NodeTypeId GetTypeId() const override { return type_; }
  int OnEventIn(bool isField, int index, const void* value) override;
  void OnPointerOver() override { ++overCount; }
  void Traverse(RenderPass pass, CViewContext* view) override;

  MFString navigationType{};
  float speed = 1.0f;
  MFFloat avatarSize{};
  int16_t headlight = 1;
  float disparity = 0.0f;
  int overCount = 0;
  int frameCount = 0;  // pass-0 traversals
  // Called on each pass-0 traversal, to act in the middle of a frame.
  void (*onFrame)(CBindable& node, CViewContext* view) = nullptr;

 protected:
  ~CBindable() override = default;

 private:
  NodeTypeId type_;
  std::vector<BindEvent>* log_;
};

CNodeRef MakeBindable(NodeTypeId type, const char* name, std::vector<BindEvent>* log = nullptr);
CBindable& Bindable(const CNodeRef& ref);

// A pointing-device sensor of any sensor type id that counts what the view
// sends it.
class CSensorNode : public CNode {
 public:
  explicit CSensorNode(NodeTypeId type) : type_(type) {}
  NodeTypeId GetTypeId() const override { return type_; }
  void OnPointerPress() override { ++presses; }
  void OnPointerRelease() override { ++releases; }
  void OnPointerClick(CViewContext* view) override;
  void OnPointerDrag(int32_t, float dx, float dy) override {
    ++drags;
    dragX += dx;
    dragY += dy;
  }

  int presses = 0, releases = 0, clicks = 0, drags = 0;
  float dragX = 0.0f, dragY = 0.0f;
  // Called on a click, to act as a node would (follow a link, ...).
  void (*onClick)(CSensorNode& node, CViewContext* view) = nullptr;

 protected:
  ~CSensorNode() override = default;

 private:
  NodeTypeId type_;
};

// A Group holding the sensor and, beside it, a square it watches.
CNodeRef MakeSensedSquare(const CNodeRef& sensor, float halfSize, float z);

// A square from (x0, y0) to (x1, y1) at depth z facing +z, drawn flat in one
// colour under the model matrix of the view's stack.
class CSquareNode : public CNode {
 public:
  CSquareNode(float x0, float y0, float x1, float y1, float z, FloatColor color);
  void Traverse(RenderPass pass, CViewContext* view) override;

 protected:
  ~CSquareNode() override = default;

 private:
  CMeshBuffer mesh_;
  MaterialRecord material_;
};

// Adds a node to the world's root.
void AddToScene(CBrowser& world, const CNodeRef& node);

// A frame of 32-bit pixels for a headless view context.
struct TestFrame {
  TestFrame(int width, int height, int bytesPerPixel, uint8_t fill = 0);
  uint32_t Xrgb(int x, int y) const;
  std::vector<uint8_t> pixels;
  PixelMap map;
};

// A headless view context drawing into its own frame.
struct HeadlessView {
  HeadlessView(int width, int height, int bytesPerPixel = 4, uint8_t fill = 0)
      : frame(width, height, bytesPerPixel, fill) {
    view.SetFrameBuffer(frame.map);
  }
  TestFrame frame;
  CViewContext view{WindowHandle::None, 0};
};

}  // namespace vx::test
