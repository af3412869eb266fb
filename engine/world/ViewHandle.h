// The engine interface's handle of one view: the view, the scene it shows,
// the host's callback as last given, and the flags it was made with.
#pragma once

#include <cstdint>
#include <memory>

#include <vantessel/Engine.h>

#include "engine/world/SceneView.h"

namespace vx {

struct SceneHandle;

struct ViewHandle {
  std::unique_ptr<CSceneView> view;  // never null while the handle lives
  SceneHandle* scene = nullptr;
  ViewCallback callback{};
  uint16_t flags = 0;
};

}  // namespace vx
