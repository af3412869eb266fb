#include "engine/interface/SceneFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "engine/scene/CallerText.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneLimits.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/SceneWriter.h"
#include "engine/scene/UnpackedSceneFile.h"
#include "engine/interface/EngineInstance.h"
#include "platform/Faults.h"
#include "platform/Numbers.h"
#include "platform/Path.h"

namespace vx {
namespace {

bool CanOpenForReading(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::fclose(file);
  return true;
}

// What follows the last '/', '\' or ':' of the URL; the whole URL without one.
std::string SceneNameOf(std::string_view url) {
  const size_t cut = url.find_last_of("/\\:");
  return std::string(cut == std::string_view::npos ? url : url.substr(cut + 1));
}

// A world that views show, or that a call of the host's (reloading from a
// callback) still runs on, stays until the handle goes.
void ReplaceWorld(SceneHandle& scene, std::unique_ptr<CBrowser> world) {
  const bool inUse = scene.viewCount > 0 || (scene.instance && scene.instance->InHostCall());
  if (scene.world && inUse) scene.replacedWorlds.push_back(std::move(scene.world));
  scene.world = std::move(world);
}

// A new file in the folder of path, for the text that is to replace path.
int CreateSaveFile(const std::string& path, std::string& temporary) {
  static unsigned counter = 0;
  if (ShouldFail(FaultKind::kOpen)) return -1;
  const std::string folder = path::DirectoryOf(path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = FormatString("%s.vxsave-%d-%u.tmp", folder.c_str(), static_cast<int>(getpid()), ++counter);
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    text.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// The text goes into a new file that replaces path only once it is complete
// on disk; on any failure the new file is removed and path is untouched.
bool ReplaceFileWith(const std::string& path, std::string_view text) {
  std::string temporary;
  const int fd = CreateSaveFile(path, temporary);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, text) && fsync(fd) == 0;
  const bool closed = close(fd) == 0;
  if (written && closed && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  std::remove(temporary.c_str());
  return false;
}

}  // namespace

EngineResult LoadSceneFile(SceneHandle* scene, char* path, char* error) {
  if (!scene || !path || path[0] == '\0') return EngineNullArgument;
  std::string local(path, strnlen(path, VX_TEXT_BUFFER_SIZE - 1));
  if (path::IsFileUrl(local)) {
    local = path::LocalPathFromUrl(local);
    CopyToCaller(local, path);
  }

  // Named by the host: the URL it gave the scene (the stream a plug-in was
  // handed, not the browser's copy of it), else the path.
  const WorldConvention convention = ConventionOfWorldName(scene->url.empty() ? local : scene->url);

  const CUnpackedSceneFile unpacked(local);
  if (unpacked.IsGzip()) {
    if (unpacked.Path().empty()) {
      CopyToCaller(kDecompressFailedMessage, error);
      return EngineLoadFailed;
    }
    // A ".gz" name stands for the world without it; a gzip file of another
    // name is the world under its own name.
    if (local.ends_with(kGzipSuffix)) {
      local.resize(local.size() - kGzipSuffix.size());
      CopyToCaller(local, path);
    }
  } else if (!CanOpenForReading(local)) {
    CopyToCaller(kCannotOpenMessage, error);
    return EngineLoadFailed;
  }

  CSceneInputStream stream(unpacked.Path(), "rb");
  if (!stream.IsOpen()) return EngineOpenFailed;
  stream.LoadIntoMemory();
  CSceneReader reader(stream);

  ReplaceWorld(*scene, std::make_unique<CBrowser>(convention));
  if (scene->url.empty()) scene->url = local.substr(0, kMaxPathLength);
  if (scene->directory.empty()) scene->directory = local.substr(0, kMaxPathLength);
  scene->world->SetWorldUrl(scene->url);
  scene->world->SetWorldDirectory(scene->directory);
  scene->name = SceneNameOf(scene->url);

  if (!reader.ReadScene(&scene->world->GetScene())) {
    scene->world.reset();
    CopyToCaller(reader.GetMessage(), error);
    return EngineLoadFailed;
  }
  // A load that went on without something the file asks for still
  // succeeds; the first such problem is left for the caller to show.
  if (!reader.GetProblem().empty()) CopyToCaller(reader.GetProblem(), error);
  scene->world->ResetClock();
  return EngineOk;
}

EngineResult SaveSceneFile(SceneHandle* scene, const char* path, uint16_t flag) {
  if (!scene || !path || path[0] == '\0' || !scene->world) return EngineNullArgument;
  CSceneWriter writer;
  // What lies beside or below the saved file stays named relative to it.
  std::error_code error;
  const std::filesystem::path saved = std::filesystem::absolute(path, error);
  if (!error) writer.SetTargetFolder(saved.parent_path().string());
  writer.WriteScene(&scene->world->GetScene(), flag != 0);
  return ReplaceFileWith(path, writer.GetText()) ? EngineOk : EngineOpenFailed;
}

}  // namespace vx
