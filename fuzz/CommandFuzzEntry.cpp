#include "fuzz/CommandFuzzEntry.h"

#include <algorithm>
#include <memory>
#include <string_view>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/world/EngineInstance.h"
#include "engine/world/RemoteCommands.h"
#include "engine/world/WorldLimits.h"

namespace vx::fuzz {
namespace {

constexpr std::string_view kWorld =
    "#VRML V2.0 utf8\n"
    "DEF Box Transform { translation 1 2 3 children [\n"
    "  DEF Shape Shape { appearance Appearance { material DEF Paint Material { } } geometry Box { } }\n"
    "] }\n"
    "DEF Clock TimeSensor { }\n"
    "DEF Curve ScalarInterpolator { key [ 0 1 ] keyValue [ 0 1 ] }\n"
    "DEF Words WorldInfo { info [ \"a\" \"b\" ] }\n";

void AddScene(EngineInstance& instance) {
  SceneHandle* scene = instance.AddScene();
  scene->world = std::make_unique<CBrowser>();
  auto stream = CSceneInputStream::FromText(kWorld);
  CSceneReader reader(stream);
  (void)reader.ReadScene(&scene->world->GetScene());
  scene->name = "fuzz.wrl";
  scene->url = "http://example.test/fuzz.wrl";
}

}  // namespace

bool RunCommandBytes(const uint8_t* data, size_t size) {
  if (size == 0) return true;
  const size_t readSize = static_cast<size_t>(data[0]) * 37 + 1;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  EngineInstance instance;
  AddScene(instance);
  CommandBuffer& buffer = instance.commands;
  while (!bytes.empty()) {
    bytes.remove_prefix(buffer.Append(bytes.substr(0, std::min(readSize, bytes.size()))));
    while (std::optional<std::string> body = buffer.TakeFrame()) {
      if (FrameReply(ExecuteRemoteCommand(instance, *body)).size() > kCommandBufferSize) return false;
    }
    buffer.DropJunk();
    if (buffer.Room() == 0) return false;
  }
  return true;
}

}  // namespace vx::fuzz
