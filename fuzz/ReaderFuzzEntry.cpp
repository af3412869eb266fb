#include "fuzz/ReaderFuzzEntry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/SceneWriter.h"
#include "engine/world/Browser.h"

namespace vx::fuzz {
namespace {

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
// service, and removes the body files the world's declarations made. With
// written, the world is written into it when the text read.
bool ReadText(std::string_view text, std::string* written = nullptr) {
  SetDownloadService(&Cache());
  auto stream = CSceneInputStream::FromText(text);
  CBrowser world;
  CSceneReader reader(stream);
  const bool read = reader.ReadScene(&world.GetScene());
  if (read && written) {
    CSceneWriter writer;
    writer.WriteScene(&world.GetScene(), false);
    *written = writer.GetText();
  }
  for (int i = 0; i < world.GetScene().GetProtoCount(); ++i) {
    const std::string& body = world.GetScene().GetProto(i)->GetBodyFilePath();
    if (!body.empty()) std::remove(body.c_str());
  }
  SetDownloadService(nullptr);
  return read;
}

}  // namespace

void ReadSceneBytes(const uint8_t* data, size_t size) {
  ReadText(std::string_view(reinterpret_cast<const char*>(data), size));
}

std::string RoundTripSceneBytes(const uint8_t* data, size_t size) {
  std::string first, second;
  if (!ReadText(std::string_view(reinterpret_cast<const char*>(data), size), &first)) return {};
  if (!ReadText(first, &second)) return "the saved text does not read:\n" + first;
  if (second == first) return {};
  return "a second save differs:\n" + first + "\n----\n" + second;
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
