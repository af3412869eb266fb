#include "NodeTestSupport.h"

#include <gtest/gtest.h>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/nodes/GroupNode.h"

namespace vx::test {
namespace {

constexpr FieldSpec kProbeFields[] = {
    Field<&CProbeNode::nodes>("nodes"),
    Field<&CProbeNode::time>("time"),
};
constexpr FieldTable kProbeTable{Section(kProbeFields), {}, {}};

}  // namespace

CProbeNode::CProbeNode() { RegisterFields(kProbeTable); }

void CProbeNode::Traverse(RenderPass pass, CViewContext*) {
  if (onTraverse) onTraverse(pass);
}

int CProbeNode::OnEventIn(bool, int, const void*) {
  ++eventsReceived;
  return 0;
}

CNodeRef LoggingProbe(std::vector<std::string>& log, const std::string& name) {
  CNodeRef node = MakeNode<CProbeNode>();
  As<CProbeNode>(node).onTraverse = [&log, name](RenderPass pass) {
    log.push_back(name + ":" + std::to_string(static_cast<int>(pass)));
  };
  return node;
}

PixelMap FrameOver(std::vector<uint32_t>& pixels, int width, int height) {
  PixelMap map;
  map.bits = reinterpret_cast<uint8_t*>(pixels.data());
  map.width = static_cast<uint16_t>(width);
  map.height = static_cast<uint16_t>(height);
  map.bytesPerPixel = 4;
  map.rowBytes = width * 4;
  return map;
}

std::unique_ptr<CBrowser> ReadWorld(const std::string& body) {
  auto world = std::make_unique<CBrowser>();
  auto stream = CSceneInputStream::FromText("#VRML V2.0 utf8\n" + body);
  CSceneReader reader(stream);
  EXPECT_TRUE(reader.ReadScene(&world->GetScene())) << reader.GetMessage();
  return world;
}

}  // namespace vx::test
