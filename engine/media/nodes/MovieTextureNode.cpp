#include "engine/media/nodes/MovieTextureNode.h"

#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"

namespace vx {
namespace {

constexpr FieldSpec kMovieTextureFields[] = {
    Field<&CMovieTextureNode::url>("url"),
    Field<&CMovieTextureNode::repeatS>("repeatS", DefaultBool(true)),
    Field<&CMovieTextureNode::repeatT>("repeatT", DefaultBool(true)),
    Field<&CMovieTextureNode::loop>("loop", DefaultBool(false)),
    Field<&CMovieTextureNode::speed>("speed", DefaultFloats(1)),
    Field<&CMovieTextureNode::startTime>("startTime", DefaultTime(0)),
    Field<&CMovieTextureNode::stopTime>("stopTime", DefaultTime(0)),
    Field<&CMovieTextureNode::chromaKey>("chromaKey", DefaultFloats(-1, -1, -1)),
};
constexpr FieldSpec kMovieTextureEventOuts[] = {
    Event("duration_changed", FieldTypeSFFloat),
    Event("isActive", FieldTypeSFBool),
};
constexpr FieldTable kMovieTextureTable{Section(kMovieTextureFields), {}, Section(kMovieTextureEventOuts)};
constexpr int kLoopField = IndexIn(kMovieTextureFields, "loop");
constexpr int kStartTimeField = IndexIn(kMovieTextureFields, "startTime");

// A movie texture is silent.
constexpr float kMovieVolume = 0.0f;
constexpr float kMovieBalance = 0.0f;

}  // namespace

CMovieTextureNode::CMovieTextureNode() { RegisterFields(kMovieTextureTable); }

void CMovieTextureNode::Traverse(RenderPass pass, CViewContext* view) {
  if (!view) return;
  switch (pass) {
    case RenderPass::Deactivate:
      load_.Deactivate();
      run_.Detach();
      return;
    case RenderPass::Activate:
      static_cast<void>(load_.Activate(*this, url, *view));
      return;
    case RenderPass::Frame:
      if (load_.IsActive()) Frame(*view);
      return;
  }
}

void CMovieTextureNode::Frame(CViewContext& view) {
  if (load_.Step(*this, url, view)) run_.Detach();
  CMovieHandle* handle = load_.Get();
  if (!handle || !handle->HasImage()) return;
  // Taken every frame: a movie may make its picture again (a new size).
  load_.TakeImage();
  Play(GetWorld() ? GetWorld()->GetWorldTime() : 0.0);
}

void CMovieTextureNode::Play(double now) {
  CMovieHandle& handle = *load_.Get();
  const float rate = handle.IsPlaying();
  handle.SetVolume(kMovieVolume);
  handle.SetBalance(kMovieBalance);
  run_.Step(handle, rate, {now, startTime, stopTime, loop != 0}, [this](bool active) { SendActive(active); });
}

int CMovieTextureNode::OnEventIn(bool isField, int index, const void* value) {
  const int result = CNode::OnEventIn(isField, index, value);
  if (!isField || (index != kLoopField && index != kStartTimeField) || !load_.Get()) return result;
  run_.Restart(*load_.Get(), [this](bool active) { SendActive(active); });
  return result;
}

void CMovieTextureNode::FillTextureRecord(MaterialRecord& record) {
  load_.HandColor(record.diffuse);
  FillTextureImage(record, load_.Image(), chromaKey);
  FillTextureRepeat(record, *this, repeatS, repeatT);
}

int32_t CMovieTextureNode::GetFrameInfo(PixelMap* out) const {
  *out = load_.Image();
  return load_.State();
}

void CMovieTextureNode::SendActive(bool active) {
  const int16_t flag = active ? 1 : 0;
  SendEvent("isActive", &flag);
}

void RegisterMovieTextureNode(NodeClassTable& table) { table.Add<CMovieTextureNode>("MovieTexture"); }

}  // namespace vx
