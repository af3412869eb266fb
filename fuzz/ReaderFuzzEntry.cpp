#include "fuzz/ReaderFuzzEntry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
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
constexpr float kLookingAround[] = {0.0f, -1.5707f, 1.5707f};

void DrawFrames(CBrowser& world, int bitsPerPixel, std::span<const float> pitches = kLookingAround) {
  Headless().SetScreenDepth(bitsPerPixel);
  OwnFrame frame(kFrameWidth, kFrameHeight, bitsPerPixel);
  {  // the view ends before the pretend display is reset
    CSceneView view(WindowHandle::None);
    view.SetFlags(kViewHostFedInput);
    view.SetRect({0, 0, kFrameHeight, kFrameWidth});
    view.SetTargetBuffer(frame.map);
    view.AttachBrowser(&world);
    view.Tick();
    for (const float pitch : pitches) {
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

namespace {

// The bytes one at a time; past their end every read gives 0.
class ByteParameters {
 public:
  ByteParameters(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  // A value from 0 to limit - 1.
  int Next(int limit) { return next_ < size_ ? data_[next_++] % limit : 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t next_ = 0;
};

std::string Repeated(std::string_view text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string MeshText(ByteParameters& bytes) {
  const int a = 2 + bytes.Next(32) * bytes.Next(32);
  const int b = 2 + bytes.Next(32) * bytes.Next(32);
  switch (bytes.Next(4)) {
    case 0:
      return "Extrusion { spine [0 0 0, 0 1 0] crossSection [1 1, 1 -1, -1 -1, -1 1, 1 1] scale [" +
             Repeated("1 1 ", a) + "] }";
    case 1:
      return "ElevationGrid { xDimension " + std::to_string(a) + " zDimension " + std::to_string(b) + " height [" +
             Repeated("0 ", a * b) + "] }";
    case 2:
      return "IndexedFaceSet { coord Coordinate { point [0 0 0, 1 0 0, 1 1 0] } coordIndex [" +
             Repeated("0 1 2 -1 ", a) + "] }";
    default: return "Box { }";
  }
}

}  // namespace

std::string SharedWorldText(const uint8_t* data, size_t size) {
  ByteParameters bytes(data, size);
  const int bodies = bytes.Next(16);
  const int bodyLevels = bytes.Next(256) * 3;
  const int chain = bytes.Next(20);
  const int fan = 1 + bytes.Next(3);
  const int uses = bytes.Next(256) * 20;
  const bool hidden = bytes.Next(2) == 1;
  std::string text = "#VRML V2.0 utf8\nPROTO P0 [] { Shape { geometry " + MeshText(bytes) + " } }\n";
  for (int i = 1; i <= bodies; ++i) {
    text += "PROTO P" + std::to_string(i) + " [] { " + Repeated("Group { children [ ", bodyLevels) + "P" +
            std::to_string(i - 1) + " { }" + Repeated(" ] }", bodyLevels) + " }\n";
  }
  text += hidden ? "Switch { whichChoice -1 choice [\n" : "Group { children [\n";
  text += "DEF G0 Transform { children P" + std::to_string(bodies) + " { } }\n";
  for (int i = 1; i <= chain; ++i) {
    text += "DEF G" + std::to_string(i) + " Transform { translation 0.01 0 0 children [ " +
            Repeated("USE G" + std::to_string(i - 1) + " ", fan) + "] }\n";
  }
  text += "] }\nViewpoint { position 0 0 10 }\n";
  const std::string last = "USE G" + std::to_string(chain);
  for (int i = 0; i < uses; ++i)
    text += "Transform { translation " + std::to_string(i % 7) + " 0 0 children " + last + " }\n";
  return text;
}

void DrawSharedWorldBytes(const uint8_t* data, size_t size) {
  ReadText(SharedWorldText(data, size), [](CBrowser& world) {
    // The first frame only: a frame of such a world may take a whole pass
    // budget.
    DrawFrames(world, 32, {});
    (void)SceneText(world);
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
