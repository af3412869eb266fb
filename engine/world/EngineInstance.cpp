#include "engine/world/EngineInstance.h"

namespace vx {

SceneHandle* EngineInstance::AddScene() {
  if (scenes.size() >= kMaxScenes) return nullptr;
  auto& scene = scenes.emplace_back(std::make_unique<SceneHandle>());
  scene->instance = this;
  return scene.get();
}

void EngineInstance::RemoveScene(const SceneHandle* scene) {
  std::erase_if(scenes, [scene](const std::unique_ptr<SceneHandle>& held) { return held.get() == scene; });
}

}  // namespace vx
