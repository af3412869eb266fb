#include "engine/media/nodes/AudioClipNode.h"

#include <string>

#include "engine/media/MediaFactories.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/Browser.h"

namespace vx {
namespace {

constexpr FieldSpec kAudioClipFields[] = {
    Field<&CAudioClipNode::description>("description", DefaultText("")),
    Field<&CAudioClipNode::loop>("loop", DefaultBool(false)),
    Field<&CAudioClipNode::pitch>("pitch", DefaultFloats(1)),
    Field<&CAudioClipNode::startTime>("startTime", DefaultTime(0)),
    Field<&CAudioClipNode::stopTime>("stopTime", DefaultTime(0)),
    Field<&CAudioClipNode::url>("url"),
};
constexpr FieldSpec kAudioClipEventOuts[] = {
    Event("duration_changed", FieldTypeSFTime),
    Event("isActive", FieldTypeSFBool),
};
constexpr FieldTable kAudioClipTable{Section(kAudioClipFields), {}, Section(kAudioClipEventOuts)};
constexpr int kStartTimeField = IndexIn(kAudioClipFields, "startTime");

bool LoadFailed(int32_t state) { return state == MediaFailedNoFile || state == MediaUnusable; }

}  // namespace

CAudioClipNode::CAudioClipNode() { RegisterFields(kAudioClipTable); }

CAudioClipNode::~CAudioClipNode() = default;

void CAudioClipNode::ReceiveSound(float volume, float balance) {
  volume_ = volume;
  balance_ = balance;
}

void CAudioClipNode::Step(RenderPass pass) {
  switch (pass) {
    case RenderPass::Deactivate:
      handle_.reset();
      activated_ = false;
      run_.Detach();
      return;
    case RenderPass::Activate:
      if (activated_) return;
      activated_ = true;
      nextUrl_ = 0;
      handle_.reset();
      OpenNextUrl();
      return;
    case RenderPass::Frame:
      Frame(GetWorld() ? GetWorld()->GetWorldTime() : 0.0);
      return;
  }
}

// A url that cannot be resolved or names no sound format leaves no handle,
// which the next frame takes as a failure and moves on.
void CAudioClipNode::OpenNextUrl() {
  if (nextUrl_ >= url.count) return;
  std::string resolved;
  const int result = ResolveUrl(TextOf(url[nextUrl_]), resolved);
  ++nextUrl_;
  if (result == 0) handle_ = CreateSoundHandle(resolved.c_str());
}

void CAudioClipNode::Frame(double now) {
  const int32_t state = handle_ ? handle_->Process() : MediaFailedNoFile;
  if (LoadFailed(state) && nextUrl_ < url.count) {
    handle_.reset();
    OpenNextUrl();
  }
  if (!handle_ || !handle_->HasImage()) return;
  const float rate = handle_->IsPlaying();
  handle_->SetVolume(volume_);
  handle_->SetBalance(balance_);
  run_.Step(*handle_, rate, {now, startTime, stopTime, loop != 0}, [this](bool active) { SendActive(active); });
}

// A new startTime stops the sound and takes it back to the start, so that it
// plays again once that time comes.
int CAudioClipNode::OnEventIn(bool isField, int index, const void* value) {
  const int result = CNode::OnEventIn(isField, index, value);
  if (!isField || index != kStartTimeField || !handle_) return result;
  run_.Restart(*handle_, [this](bool active) { SendActive(active); });
  return result;
}

void CAudioClipNode::SendActive(bool active) {
  const int16_t flag = active ? 1 : 0;
  SendEvent("isActive", &flag);
}

void RegisterAudioClipNode(NodeClassTable& table) { table.Add<CAudioClipNode>("AudioClip"); }

}  // namespace vx
