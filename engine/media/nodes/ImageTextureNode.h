// ImageTexture: a picture file (JPEG, GIF, BMP) loaded through a media
// handle, trying its urls in turn until one gives a picture. A first url
// that names a tiled image is not loaded here: the Shape hands it to its
// geometry.
#pragma once

#include "engine/media/MediaFactories.h"
#include "engine/media/nodes/TextureLoad.h"
#include "engine/nodes/AppearanceNodes.h"

namespace vx {

class NodeClassTable;

class CImageTextureNode : public CNode, public ITextureNode {
 public:
  CImageTextureNode();

  NodeCategory GetCategory() const override { return NodeCategoryMaterialOrTexture; }
  NodeTypeId GetTypeId() const override { return NodeTypeImageTexture; }
  // Pass 1 opens the first url, frames let the load progress and take the
  // picture as soon as there is one, pass 2 frees the handle.
  void Traverse(RenderPass pass, CViewContext* view) override;
  void FillTextureRecord(MaterialRecord& record) override;
  const MFString* TiledImageUrls() override { return IsTiledImage() ? &url : nullptr; }

  // Whether the first url names a tiled image (".fpx"); asked once until
  // the node is released.
  bool IsTiledImage();
  const CTextureLoad<CImageHandle>& Load() const { return load_; }

  MFString url{};
  int16_t repeatS = 1;
  int16_t repeatT = 1;
  SFColor chromaKey{};

 protected:
  ~CImageTextureNode() override = default;

 private:
  CTextureLoad<CImageHandle> load_{CreateImageHandle};
  bool tiledTested_ = false;
  bool tiled_ = false;
};

void RegisterImageTextureNode(NodeClassTable& table);

}  // namespace vx
