#include "NodeTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/GroupNode.h"

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

std::unique_ptr<CBrowser> ReadWorld(const std::string& body, WorldConvention convention) {
  auto world = std::make_unique<CBrowser>(convention);
  auto stream = CSceneInputStream::FromText("#VRML V2.0 utf8\n" + body);
  CSceneReader reader(stream);
  EXPECT_TRUE(reader.ReadScene(&world->GetScene())) << reader.GetMessage();
  return world;
}

DepthFrame::DepthFrame(int width, int height, int bitsPerPixel) {
  const int bytesPerPixel = bitsPerPixel / 8;
  const int rowBytes = (width * bytesPerPixel + 3) & ~3;
  pixels.assign(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), 0);
  map.bits = pixels.data();
  map.width = width;
  map.height = height;
  map.bytesPerPixel = static_cast<uint16_t>(bytesPerPixel);
  map.rowBytes = rowBytes;
}

std::vector<uint32_t> AsXrgb(const PixelMap& frame, const PaletteTable& palette) {
  std::vector<uint32_t> out;
  for (int y = 0; y < frame.height; ++y) {
    const uint8_t* row = frame.Row(y);
    for (int x = 0; x < frame.width; ++x) {
      if (frame.bytesPerPixel == 1) {
        out.push_back(palette.entries[row[x]] & 0xFFFFFF);
      } else if (frame.bytesPerPixel == 2) {
        uint16_t p;
        std::memcpy(&p, row + 2 * x, sizeof p);
        auto channel = [&](int shift) { return static_cast<uint32_t>((p >> shift & 31) * 255 / 31); };
        out.push_back(channel(10) << 16 | channel(5) << 8 | channel(0));
      } else {
        uint32_t p;
        std::memcpy(&p, row + 4 * x, sizeof p);
        out.push_back(p & 0xFFFFFF);
      }
    }
  }
  return out;
}

}  // namespace vx::test
