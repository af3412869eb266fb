// Helpers of the node tests: a probe node that reports its traversals and
// events, and scenes read from text.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/render/Palette.h"
#include "engine/render/PixelMap.h"
#include "engine/scene/Node.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/Browser.h"

namespace vx::test {

// Calls onTraverse on every traversal and counts the values that arrive
// at its fields "nodes" (MFNode) and "time" (SFTime).
class CProbeNode : public CNode {
 public:
  CProbeNode();
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;

  std::function<void(RenderPass)> onTraverse;
  int eventsReceived = 0;
  MFNode nodes{};
  double time = 0.0;

 protected:
  ~CProbeNode() override = default;
};

// Stores a copy of the value into the node's field, as an event would.
template <typename T>
void SetValue(CNode& node, const char* field, const T& value) {
  node.SetField(field, &value);
}

// A probe that appends "<name>:<pass>" to the log on every traversal.
CNodeRef LoggingProbe(std::vector<std::string>& log, const std::string& name);

// A 32-bit frame of width x height over pixels, which must hold that many
// and stay with the caller.
PixelMap FrameOver(std::vector<uint32_t>& pixels, int width, int height);

// A frame of 8, 16 or 32 bits per pixel with rows rounded to 4 bytes, over
// pixels of its own.
struct DepthFrame {
  DepthFrame(int width, int height, int bitsPerPixel);
  std::vector<uint8_t> pixels;
  PixelMap map;
};

// The frame's pixels as xRGB, whatever their depth.
std::vector<uint32_t> AsXrgb(const PixelMap& frame, const PaletteTable& palette);

// A world read from the body of a scene file under the convention; the read
// must succeed.
std::unique_ptr<CBrowser> ReadWorld(const std::string& body,
                                    WorldConvention convention = WorldConvention::kStandard);

// The node a reference holds, as its class.
template <typename T>
T& As(const CNodeRef& ref) {
  return static_cast<T&>(*ref.Get());
}

// A top-level node of the world, the first by default.
template <typename T>
T& TopNode(const CBrowser& world, int32_t index = 0) {
  return As<T>(world.GetRoot()->children[index]);
}

}  // namespace vx::test
