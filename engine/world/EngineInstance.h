// The engine instance a host makes first: the shared download service, the
// remote command link and the text received on it, the scenes in creation
// order and the network flag.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/hostlink/HostComponent.h"
#include "engine/world/CommandBuffer.h"
#include "engine/world/CommandLink.h"
#include "engine/world/SceneHandle.h"

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
  // Deletes the scene; the later scenes move up.
  void RemoveScene(const SceneHandle* scene);
};

}  // namespace vx
