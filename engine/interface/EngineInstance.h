// The engine instance a host makes first: the shared download service, the
// remote command link and the text received on it, the scenes in creation
// order and the network flag.
//
// A host may destroy views, scenes and the instance itself from inside a
// callback (a link it answers by navigating, a press it answers by closing),
// while the engine still runs on them further up the stack. Slots that can
// call the host back run inside a HostCallScope: what the host destroys
// during the call leaves the tables at once, so that the host's next calls
// see it gone, and is deleted when the outermost call returns.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/hostlink/HostComponent.h"
#include "engine/world/CommandBuffer.h"
#include "engine/world/CommandLink.h"
#include "engine/world/SceneHandle.h"
#include "engine/world/ViewHandle.h"

namespace vx {

// An instance holds at most this many scenes.
inline constexpr int kMaxScenes = 32;

struct EngineInstance {
  std::shared_ptr<CHostComponent> download;
  // Made by the first view tick once networking is on.
  std::unique_ptr<CCommandLink> commandLink;
  CommandBuffer commands;
  // Without gaps, in creation order.
  std::vector<std::unique_ptr<SceneHandle>> scenes;
  bool networkEnabled = false;

  // Null when the scene table is full.
  SceneHandle* AddScene();
  // Takes the scene out; the later scenes move up. It is deleted at once, or
  // when the running call returns.
  void RemoveScene(const SceneHandle* scene);
  // The view leaves its scene; deleted at once, or when the running call
  // returns, and silent towards the host from now on.
  void RemoveView(std::unique_ptr<ViewHandle> view);
  // True when the instance is to be deleted: at once, or when the running
  // call returns.
  [[nodiscard]] bool RequestDestroy();
  bool IsDestroyRequested() const { return destroyRequested_; }
  bool InHostCall() const { return callDepth_ > 0; }

 private:
  friend class HostCallScope;

  int32_t callDepth_ = 0;
  bool destroyRequested_ = false;
  // Scenes before views, so that views, which show the scenes' worlds, go
  // first.
  std::vector<std::unique_ptr<SceneHandle>> retiredScenes_;
  std::vector<std::unique_ptr<ViewHandle>> retiredViews_;
};

// Held by a slot for the time of a call that may reach the host's callbacks;
// the outermost one deletes what the host destroyed meanwhile, the instance
// last.
class HostCallScope {
 public:
  explicit HostCallScope(EngineInstance& instance) : instance_(instance) { ++instance_.callDepth_; }
  ~HostCallScope();
  HostCallScope(const HostCallScope&) = delete;
  HostCallScope& operator=(const HostCallScope&) = delete;

 private:
  EngineInstance& instance_;
};

}  // namespace vx
