// A program that opens worlds as a host does, for the tests that need a
// process of their own (a fresh one, or one whose platform library lies in
// another folder): it plays a world without media, then one with a movie
// texture and a sound, and reports after each which media libraries the
// process has loaded; after the second, how many of the movie's frames it
// saw (as the distinct colours of its top band) and how loud the sound was;
// and whether a PICT picture still reads.
//   media_world_probe <still world> <media world> <PICT file>
// Prints two lines, "still ..." and "media ...", of key=value words.
#include <link.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <vantessel/Engine.h>

#include "engine/media/formats/SoundPlayback.h"
#include "engine/media/nodes/AudioClipNode.h"
#include "engine/media/nodes/MovieTextureNode.h"
#include "engine/interface/SceneFile.h"
#include "engine/world/SceneHandle.h"
#include "engine/world/ViewContext.h"
#include "platform/Clock.h"
#include "platform/media/MediaCommands.h"
#include "platform/media/QuickTime.h"

namespace vx {
namespace {

constexpr int kSide = 64;
constexpr uint64_t kStepMs = 100;
constexpr int kSteps = 30;

// The folder of the loaded media library ("-" when none is loaded), and
// whether any FFmpeg or SDL2 library is loaded.
struct LoadedLibraries {
  std::string mediaLibrary = "-";
  bool ffmpeg = false;
  bool sdl = false;
};

LoadedLibraries FindLoadedLibraries() {
  LoadedLibraries found;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto& libraries = *static_cast<LoadedLibraries*>(data);
        const std::string name = info->dlpi_name ? info->dlpi_name : "";
        const std::string file = name.substr(name.rfind('/') + 1);
        if (file == "libvxmedia.so") libraries.mediaLibrary = name.substr(0, name.rfind('/'));
        if (file.starts_with("libavformat.") || file.starts_with("libavcodec.")) libraries.ffmpeg = true;
        if (file.starts_with("libSDL2")) libraries.sdl = true;
        return 0;
      },
      &found);
  return found;
}

std::string Describe(const LoadedLibraries& libraries) {
  return "library=" + libraries.mediaLibrary + " ffmpeg=" + std::to_string(libraries.ffmpeg ? 1 : 0) +
         " sdl=" + std::to_string(libraries.sdl ? 1 : 0);
}

// A world loaded through the hosts' road, activated in a view of its own.
class PlayedWorld {
 public:
  explicit PlayedWorld(const char* file) : pixels_(kSide * kSide) {
    char path[VX_TEXT_BUFFER_SIZE] = {};
    char error[VX_TEXT_BUFFER_SIZE] = {};
    std::snprintf(path, sizeof path, "%s", file);
    if (LoadSceneFile(&scene_, path, error) != EngineOk) {
      std::fprintf(stderr, "media_world_probe: %s: %s\n", file, error);
      std::exit(3);
    }
    PixelMap frame;
    frame.bits = reinterpret_cast<uint8_t*>(pixels_.data());
    frame.width = kSide;
    frame.height = kSide;
    frame.bytesPerPixel = 4;
    frame.rowBytes = kSide * 4;
    view_.SetFrameBuffer(frame);
    scene_.world->RenderView(RenderPass::Activate, &view_);
  }
  void Step(ManualClock& clock) {
    clock.Advance(kStepMs);
    scene_.world->RenderFrame(&view_);
  }
  CNode* Named(const char* name) { return scene_.world->FindNode(name); }

 private:
  SceneHandle scene_;
  CViewContext view_{WindowHandle::None, 0};
  std::vector<uint32_t> pixels_;
};

// The colour of the top band of the frame the texture shows; none before
// the movie has an image.
std::optional<uint32_t> FrameShown(const CNode* node) {
  const auto* texture = dynamic_cast<const CMovieTextureNode*>(node);
  if (!texture) return std::nullopt;
  PixelMap image;
  texture->GetFrameInfo(&image);
  if (!image.bits || image.bytesPerPixel != 4) return std::nullopt;
  uint32_t pixel = 0;
  std::memcpy(&pixel, image.Row(3) + 4 * 5, 4);
  return pixel & 0xFFFFFF;
}

// The loudest sample the clip's sound device was handed; -1 without one.
int32_t Loudest(CNode* node) {
  const auto* clip = dynamic_cast<CAudioClipNode*>(node);
  const CSoundHandle* handle = clip ? clip->Handle() : nullptr;
  const auto* media = handle ? dynamic_cast<const CPlayedMedia*>(handle->Media()) : nullptr;
  MediaDeviceState state;
  if (!media || !GetMediaDeviceState(media->DeviceId(), &state)) return -1;
  return std::max(state.loudestLeft, state.loudestRight);
}

}  // namespace
}  // namespace vx

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  setenv("VANTESSEL_AUDIO", "null", 1);
  vx::ManualClock clock(20000);
  {
    vx::PlayedWorld still(argv[1]);
    for (int i = 0; i < vx::kSteps; ++i) still.Step(clock);
    std::printf("still %s\n", vx::Describe(vx::FindLoadedLibraries()).c_str());
  }
  vx::PlayedWorld media(argv[2]);
  std::set<uint32_t> shown;
  for (int i = 0; i < vx::kSteps; ++i) {
    media.Step(clock);
    if (const std::optional<uint32_t> frame = vx::FrameShown(media.Named("MOVIE"))) shown.insert(*frame);
  }
  std::unique_ptr<vx::QtPicture> picture;
  const bool pictureRead = vx::QuickTime().OpenPicture(argv[3], &picture) == vx::kQuickTimeOk;
  std::printf("media %s frames=%zu loudest=%d picture=%d\n", vx::Describe(vx::FindLoadedLibraries()).c_str(),
              shown.size(), vx::Loudest(media.Named("CLIP")), pictureRead ? 1 : 0);
  return 0;
}
