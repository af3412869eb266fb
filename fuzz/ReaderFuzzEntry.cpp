#include "fuzz/ReaderFuzzEntry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/SceneWriter.h"
#include "engine/world/Browser.h"
#include "engine/world/SceneView.h"
#include "engine/world/ViewContext.h"
#include "platform/HeadlessBackend.h"

namespace vx::fuzz {
namespace {

// Small, so that a corpus replays in moments; the odd height tries the
// halves that stereo and alignment round.
constexpr int16_t kFrameWidth = 48;
constexpr int16_t kFrameHeight = 33;

class ScratchCache : public IDownloadService {
 public:
  ScratchCache() {
    folder_ = (std::filesystem::temp_directory_path() / "vx_fuzz_reader").string() + "/";
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
  }
  std::string GetCacheDirectory() override { return folder_; }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
};

ScratchCache& Cache() {
  static ScratchCache cache;
  return cache;
}

// Reads the text into a new world with the scratch cache as the download
// service, and hands a world that read to `use`.
bool ReadText(std::string_view text, const std::function<void(CBrowser&)>& use = {}) {
  SetDownloadService(&Cache());
  auto stream = CSceneInputStream::FromText(text);
  CBrowser world;
  CSceneReader reader(stream);
  const bool read = reader.ReadScene(&world.GetScene());
  if (read && use) use(world);
  SetDownloadService(nullptr);
  return read;
}

std::string SceneText(CBrowser& world) {
  CSceneWriter writer;
  writer.WriteScene(&world.GetScene(), false);
  return writer.GetText();
}

// A frame of the depth over memory of its own, for a view to draw in.
struct OwnFrame {
  OwnFrame(int width, int height, int bitsPerPixel)
      : pixels(static_cast<size_t>(width) * height * (bitsPerPixel / 8)) {
    map.bits = pixels.data();
    map.width = static_cast<uint16_t>(width);
    map.height = static_cast<uint16_t>(height);
    map.bytesPerPixel = static_cast<uint16_t>(bitsPerPixel / 8);
    map.rowBytes = width * map.bytesPerPixel;
  }
  std::vector<uint8_t> pixels;
  PixelMap map;
};

// Draws a few frames of the world at the depth through a view of its own
// (panoramas draw only where a view serves them): level, straight down and
// straight up, where panoramas read their pictures' edge rows.
void DrawFrames(CBrowser& world, int bitsPerPixel) {
  constexpr float kPitches[] = {0.0f, -1.5707f, 1.5707f};
  Headless().SetScreenDepth(bitsPerPixel);
  OwnFrame frame(kFrameWidth, kFrameHeight, bitsPerPixel);
  {  // the view ends before the pretend display is reset
    CSceneView view(WindowHandle::None);
    view.SetFlags(kViewHostFedInput);
    view.SetRect({0, 0, kFrameHeight, kFrameWidth});
    view.SetTargetBuffer(frame.map);
    view.AttachBrowser(&world);
    view.Tick();
    for (const float pitch : kPitches) {
      if (CViewContext* context = view.GetContext()) context->SetOrientation(pitch, 0.5f, 0, true);
      view.Tick();
    }
  }
  Headless().Reset();
}

}  // namespace

void ReadSceneBytes(const uint8_t* data, size_t size) {
  ReadText(std::string_view(reinterpret_cast<const char*>(data), size));
}

std::string RoundTripSceneBytes(const uint8_t* data, size_t size) {
  std::string first, second;
  if (!ReadText(std::string_view(reinterpret_cast<const char*>(data), size),
                [&](CBrowser& world) { first = SceneText(world); })) {
    return {};
  }
  if (!ReadText(first, [&](CBrowser& world) { second = SceneText(world); })) {
    return "the saved text does not read:\n" + first;
  }
  if (second == first) return {};
  return "a second save differs:\n" + first + "\n----\n" + second;
}

void DrawSceneBytes(const uint8_t* data, size_t size) {
  ReadText(std::string_view(reinterpret_cast<const char*>(data), size), [](CBrowser& world) {
    for (const int bitsPerPixel : {8, 16, 32}) DrawFrames(world, bitsPerPixel);
  });
}

void ReadProtoLibraryBytes(const uint8_t* data, size_t size) {
  const std::string library = Cache().Folder() + "library.wrl";
  std::ofstream(library, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                    static_cast<std::streamsize>(size));
  ReadText("#VRML V2.0 utf8\n"
           "EXTERNPROTO Ball [ field SFFloat f field SFNode n eventIn SFFloat kick ] \"" + library + "#Ball\"\n"
           "EXTERNPROTO First [ ] \"" + library + "\"\n"
           "Ball { } First { }\n");
  std::remove(library.c_str());
}

}  // namespace vx::fuzz
