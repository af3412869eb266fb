// PixelTexture: the picture written into the scene file (SFImage), turned
// into pixels of the view's depth when the node becomes active.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/render/PixelMap.h"
#include "engine/scene/Node.h"
#include "engine/nodes/AppearanceNodes.h"

namespace vx {

class NodeClassTable;

// The 0x00RRGGBB colour of one SFImage word of 1 to 4 components (grey,
// grey and alpha, RGB, RGB and alpha; alpha is ignored).
uint32_t ImageWordToRgb(uint32_t word, int32_t components);

class CPixelTextureNode : public CNode, public ITextureNode {
 public:
  CPixelTextureNode();

  NodeCategory GetCategory() const override { return NodeCategoryMaterialOrTexture; }
  NodeTypeId GetTypeId() const override { return NodeTypePixelTexture; }
  // Pass 1 converts the image, pass 2 frees the pixels.
  void Traverse(RenderPass pass, CViewContext* view) override;
  void FillTextureRecord(MaterialRecord& record) override;
  const PixelMap& Image() const { return converted_; }

  SFImage image{};
  int16_t repeatS = 1;
  int16_t repeatT = 1;
  SFColor chromaKey{};

 protected:
  ~CPixelTextureNode() override;

 private:
  void Convert(CViewContext& view);
  void FreePixels();

  std::vector<uint8_t> pixels_;
  PixelMap converted_;
};

void RegisterPixelTextureNode(NodeClassTable& table);

}  // namespace vx
