// MovieTexture: a movie (GIF, AVI, QuickTime) whose current picture is the
// texture. It plays from startTime, silently, stops at stopTime or when it
// runs out, and runs again while it loops.
#pragma once

#include "engine/media/MediaFactories.h"
#include "engine/media/nodes/PlaybackRun.h"
#include "engine/media/nodes/TextureLoad.h"
#include "engine/nodes/AppearanceNodes.h"

namespace vx {

class NodeClassTable;

class CMovieTextureNode : public CNode, public ITextureNode {
 public:
  CMovieTextureNode();

  NodeCategory GetCategory() const override { return NodeCategoryMaterialOrTexture; }
  NodeTypeId GetTypeId() const override { return NodeTypeMovieTexture; }
  // Pass 1 opens the first url, frames load and play the movie, pass 2
  // frees it.
  void Traverse(RenderPass pass, CViewContext* view) override;
  // Setting loop or startTime stops the movie and takes it back to its
  // start; the start rule runs it again.
  int OnEventIn(bool isField, int index, const void* value) override;
  void FillTextureRecord(MaterialRecord& record) override;

  // The current picture's record and the last load state.
  int32_t GetFrameInfo(PixelMap* out) const;
  bool IsPlaying() const { return run_.IsPlaying(); }
  const CTextureLoad<CMovieHandle>& Load() const { return load_; }

  MFString url{};
  int16_t repeatS = 1;
  int16_t repeatT = 1;
  int16_t loop = 0;
  float speed = 0.0f;
  double startTime = 0.0;
  double stopTime = 0.0;
  SFColor chromaKey{};

 protected:
  ~CMovieTextureNode() override = default;

 private:
  void Frame(CViewContext& view);
  void Play(double now);
  void SendActive(bool active);

  CTextureLoad<CMovieHandle> load_{CreateMovieHandle};
  CPlaybackRun run_;
};

void RegisterMovieTextureNode(NodeClassTable& table);

}  // namespace vx
