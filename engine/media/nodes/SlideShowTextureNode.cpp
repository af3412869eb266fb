#include "engine/media/nodes/SlideShowTextureNode.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr FieldSpec kSlideShowFields[] = {
    Field<&CSlideShowTextureNode::url>("url"),
    Field<&CSlideShowTextureNode::repeatS>("repeatS", DefaultBool(true)),
    Field<&CSlideShowTextureNode::repeatT>("repeatT", DefaultBool(true)),
    Field<&CSlideShowTextureNode::currentFrame>("currentFrame", DefaultInt(0)),
    Field<&CSlideShowTextureNode::chromaKey>("chromaKey", DefaultFloats(-1, -1, -1)),
};
constexpr FieldSpec kSlideShowEventIns[] = {
    Event("advanceFrame", FieldTypeSFInt32),
};
constexpr FieldTable kSlideShowTable{Section(kSlideShowFields), Section(kSlideShowEventIns), {}};
constexpr int kAdvanceFrameEventIn = IndexIn(kSlideShowEventIns, "advanceFrame");

// frame mod count in 0..count-1, also for negative frames.
int32_t WrapFrame(int32_t frame, int32_t count) {
  const int32_t rest = frame % count;
  return rest < 0 ? rest + count : rest;
}

// The counts come from the file, and 65,535 by 65,535 frames is more than an
// int32_t holds: the count stops at its largest value.
int32_t FrameCountOfGrid(const FrameGrid& grid) {
  const int64_t frames = static_cast<int64_t>(grid.framesAcross) * grid.framesDown;
  return static_cast<int32_t>(std::min<int64_t>(frames, std::numeric_limits<int32_t>::max()));
}

}  // namespace

FramePosition FramePositionInGrid(const FrameGrid& grid, int32_t frame) {
  FramePosition position;
  if (grid.order == kFrameOrderAlongRows) {
    position.row = static_cast<int16_t>(frame / grid.framesAcross);
    position.column = static_cast<int16_t>(frame % grid.framesAcross);
  } else {
    position.row = static_cast<int16_t>(frame % grid.framesDown);
    position.column = static_cast<int16_t>(frame / grid.framesDown);
  }
  position.extra = 1;
  return position;
}

bool CFrameChoice::Show(CFrameSetTexture& frames, int32_t& frame) {
  if (frame == shown_) return false;
  FrameGrid grid;
  bool selected = false;
  if (frames.GetFrameGrid(&grid) != 0) {
    if (count_ == 0) count_ = FrameCountOfGrid(grid);
    if (count_ > 0) {
      frame = WrapFrame(frame, count_);
      static_cast<void>(frames.DrawFrameAt(FramePositionInGrid(grid, frame), nullptr));
      selected = true;
    }
  }
  shown_ = frame;
  return selected;
}

CSlideShowTextureNode::CSlideShowTextureNode() { RegisterFields(kSlideShowTable); }

void CSlideShowTextureNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  switch (pass) {
    case RenderPass::Deactivate:
      load_.Deactivate();
      return;
    case RenderPass::Activate:
      if (load_.Activate(*this, url, *view)) choice_.Reset();
      return;
    case RenderPass::Frame:
      if (load_.IsActive()) Frame(*view);
      return;
  }
}

// A source taken over from a failed url has a grid of its own.
void CSlideShowTextureNode::Frame(CViewContext& view) {
  if (load_.Step(*this, url, view)) choice_.Reset();
  CFrameSetTexture* frames = load_.Get();
  if (!frames || !frames->HasImage()) return;
  static_cast<void>(choice_.Show(*frames, currentFrame));
  load_.TakeImage();
}

int CSlideShowTextureNode::OnEventIn(bool isField, int index, const void* value) {
  const int result = CNode::OnEventIn(isField, index, value);
  if (isField || index != kAdvanceFrameEventIn || !value || !load_.Get()) return result;
  const int64_t advanced = static_cast<int64_t>(currentFrame) + *static_cast<const int32_t*>(value);
  const int32_t count = choice_.Count();
  currentFrame = count > 0 ? static_cast<int32_t>(advanced % count)
                           : static_cast<int32_t>(std::clamp<int64_t>(advanced, INT32_MIN, INT32_MAX));
  return result;
}

void CSlideShowTextureNode::FillTextureRecord(MaterialRecord& record) {
  load_.HandColor(record.diffuse);
  FillTextureImage(record, load_.Image(), chromaKey);
}

void RegisterSlideShowTextureNode(NodeClassTable& table) { table.Add<CSlideShowTextureNode>("SlideShowTexture"); }

}  // namespace vx
