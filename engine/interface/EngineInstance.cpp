#include "engine/interface/EngineInstance.h"

#include <algorithm>

namespace vx {

SceneHandle* EngineInstance::AddScene() {
  if (scenes.size() >= kMaxScenes) return nullptr;
  auto& scene = scenes.emplace_back(std::make_unique<SceneHandle>());
  scene->instance = this;
  return scene.get();
}

void EngineInstance::RemoveScene(const SceneHandle* scene) {
  const auto found = std::find_if(scenes.begin(), scenes.end(),
                                  [scene](const std::unique_ptr<SceneHandle>& held) { return held.get() == scene; });
  if (found == scenes.end()) return;
  std::unique_ptr<SceneHandle> removed = std::move(*found);
  scenes.erase(found);
  if (InHostCall()) retiredScenes_.push_back(std::move(removed));
}

void EngineInstance::RemoveView(std::unique_ptr<ViewHandle> view) {
  --view->scene->viewCount;
  if (!InHostCall()) return;
  view->view->SetCallback({});
  retiredViews_.push_back(std::move(view));
}

bool EngineInstance::RequestDestroy() {
  destroyRequested_ = true;
  return !InHostCall();
}

HostCallScope::~HostCallScope() {
  if (--instance_.callDepth_ > 0) return;
  instance_.retiredViews_.clear();
  instance_.retiredScenes_.clear();
  if (instance_.destroyRequested_) delete &instance_;
}

}  // namespace vx
