// The engine interface's handle of one scene: its world (null until a scene
// file is loaded), the instance it belongs to, the URL and directory that
// relative names resolve against, its views and its name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/world/Browser.h"

namespace vx {

struct EngineInstance;

struct SceneHandle {
  std::unique_ptr<CBrowser> world;
  EngineInstance* instance = nullptr;
  // At most 255 characters each; empty at creation.
  std::string url;
  std::string directory;
  uint32_t viewCount = 0;
  // What follows the last '/', '\' or ':' of the URL; the remote commands find
  // scenes by it.
  std::string name;
  // Worlds that a later load replaced while views still showed them; they
  // stay until the handle goes, so that no view is left on a deleted world.
  std::vector<std::unique_ptr<CBrowser>> replacedWorlds;
};

}  // namespace vx
