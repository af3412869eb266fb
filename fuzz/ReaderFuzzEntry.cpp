#include "fuzz/ReaderFuzzEntry.h"

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/SceneReader.h"
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

 private:
  std::string folder_;
};

}  // namespace

void ReadSceneBytes(const uint8_t* data, size_t size) {
  static ScratchCache cache;
  SetDownloadService(&cache);
  auto stream = CSceneInputStream::FromText(std::string_view(reinterpret_cast<const char*>(data), size));
  stream.PadBrackets();
  CBrowser world;
  CSceneReader reader(stream);
  (void)reader.ReadScene(&world.GetScene());
  for (int i = 0; i < world.GetScene().GetProtoCount(); ++i) {
    const std::string& body = world.GetScene().GetProto(i)->GetBodyFilePath();
    if (!body.empty()) std::remove(body.c_str());
  }
  SetDownloadService(nullptr);
}

}  // namespace vx::fuzz
