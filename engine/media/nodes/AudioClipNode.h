// AudioClip: a sound file played from startTime on, stopped at stopTime or
// when it runs out, started again while it loops. It opens its urls in turn
// until one loads, and plays at the volume and balance the Sound that names
// it computed. Only that Sound steps it: a clip found anywhere else in the
// scene stays silent.
//
// A clip that has ended without looping stays quiet until its startTime is
// set again.
#pragma once

#include <memory>

#include "engine/media/nodes/PlaybackRun.h"
#include "engine/media/nodes/SoundReceiver.h"
#include "engine/scene/Node.h"

namespace vx {

class CSoundHandle;
class NodeClassTable;

class CAudioClipNode : public CNode, public ISoundReceiver {
 public:
  CAudioClipNode();

  NodeCategory GetCategory() const override { return NodeCategoryOther; }
  NodeTypeId GetTypeId() const override { return NodeTypeAudioClip; }
  // The scene's own traversal does nothing: see Step.
  void Traverse(RenderPass, CViewContext*) override {}
  int OnEventIn(bool isField, int index, const void* value) override;
  void ReceiveSound(float volume, float balance) override;

  // One pass, as the Sound that names the clip hands it on.
  void Step(RenderPass pass);

  float Volume() const { return volume_; }
  float Balance() const { return balance_; }
  bool IsPlaying() const { return run_.IsPlaying(); }
  CSoundHandle* Handle() const { return handle_.get(); }

  SFString description{};
  int16_t loop = 0;
  float pitch = 0.0f;
  double startTime = 0.0;
  double stopTime = 0.0;
  MFString url{};

 protected:
  ~CAudioClipNode() override;

 private:
  void OpenNextUrl();
  void Frame(double now);
  void SendActive(bool active);

  bool activated_ = false;
  int32_t nextUrl_ = 0;
  float volume_ = 0.0f;
  float balance_ = 0.0f;
  CPlaybackRun run_;
  std::unique_ptr<CSoundHandle> handle_;
};

void RegisterAudioClipNode(NodeClassTable& table);

}  // namespace vx
