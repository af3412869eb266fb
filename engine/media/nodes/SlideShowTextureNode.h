// SlideShowTexture: one frame of a multi-frame source (an animated GIF, a
// movie, a block-codebook picture or a tile descriptor) as the texture; the
// scene picks the frame with currentFrame or steps it with advanceFrame.
#pragma once

#include <optional>

#include "engine/media/MediaFactories.h"
#include "engine/media/nodes/TextureLoad.h"
#include "engine/nodes/AppearanceNodes.h"

namespace vx {

class NodeClassTable;

// The position of frame `frame` (0 <= frame < across x down) in a grid, in
// the grid's own numbering of its frames.
FramePosition FramePositionInGrid(const FrameGrid& grid, int32_t frame);

// Which frame of a frame set shows: the grid's frame count once it is known
// and the frame shown last (none before the first).
class CFrameChoice {
 public:
  // Makes `frame` the frame set's picture unless it was shown last. A frame
  // outside the grid is wrapped into it (and written back: -1 is the last
  // frame); a grid without frames selects nothing. True when a frame was
  // selected.
  bool Show(CFrameSetTexture& frames, int32_t& frame);
  void Reset() {
    count_ = 0;
    shown_.reset();
  }
  int32_t Count() const { return count_; }
  std::optional<int32_t> Shown() const { return shown_; }

 private:
  int32_t count_ = 0;
  std::optional<int32_t> shown_;
};

class CSlideShowTextureNode : public CNode, public ITextureNode {
 public:
  CSlideShowTextureNode();

  NodeCategory GetCategory() const override { return NodeCategoryMaterialOrTexture; }
  NodeTypeId GetTypeId() const override { return NodeTypeSlideShowTexture; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  // advanceFrame moves currentFrame on (without an event) once there is a
  // source to show.
  int OnEventIn(bool isField, int index, const void* value) override;
  void FillTextureRecord(MaterialRecord& record) override;

  const CFrameChoice& Choice() const { return choice_; }
  const CTextureLoad<CFrameSetTexture>& Load() const { return load_; }

  MFString url{};
  int16_t repeatS = 1;
  int16_t repeatT = 1;
  int32_t currentFrame = 0;
  SFColor chromaKey{};

 protected:
  ~CSlideShowTextureNode() override = default;

 private:
  void Frame(CViewContext& view);

  CTextureLoad<CFrameSetTexture> load_{CreateFrameSetTexture};
  CFrameChoice choice_;
};

void RegisterSlideShowTextureNode(NodeClassTable& table);

}  // namespace vx
