#include "engine/media/MediaFactories.h"

#include <algorithm>
#include <initializer_list>

#include "engine/media/MediaFormats.h"

namespace vx {
namespace {

template <typename Handle, typename... Extra>
std::unique_ptr<Handle> MakeHandle(const char* name, std::initializer_list<MediaType> accepted, bool withVideo,
                                   Extra... extra) {
  const MediaType type = DetectMediaTypeOf(name);
  if (std::find(accepted.begin(), accepted.end(), type) == accepted.end()) return nullptr;
  std::unique_ptr<CMediaObject> media = OpenMediaOfType(type, withVideo);
  if (!media) return nullptr;
  auto handle = std::make_unique<Handle>(std::move(media), extra...);
  static_cast<void>(handle->SetUrl(name));
  return handle;
}

}  // namespace

std::unique_ptr<CImageHandle> CreateImageHandle(const char* name) {
  return MakeHandle<CImageHandle>(
      name, {MediaType::Jpeg, MediaType::Gif, MediaType::Bmp, MediaType::Pict, MediaType::Png}, true);
}

std::unique_ptr<CMovieHandle> CreateMovieHandle(const char* name) {
  return MakeHandle<CMovieHandle>(
      name, {MediaType::Gif, MediaType::QuickTime, MediaType::Avi, MediaType::Mpeg, MediaType::Lvd}, true);
}

std::unique_ptr<CSoundHandle> CreateSoundHandle(const char* name) {
  return MakeHandle<CSoundHandle>(
      name, {MediaType::QuickTime, MediaType::Avi, MediaType::Mpeg, MediaType::Wave, MediaType::Lvd, MediaType::Tts},
      false);
}

std::unique_ptr<CFrameSetTexture> CreateFrameSetTexture(const char* name) {
  return MakeHandle<CFrameSetTexture>(name,
                                      {MediaType::Codebook, MediaType::Gif, MediaType::QuickTime, MediaType::Avi,
                                       MediaType::Mpeg, MediaType::Descriptor},
                                      true);
}

std::unique_ptr<CPanoramaImage> CreatePanoramaImage(const char* name) {
  const MediaType type = DetectMediaTypeOf(name);
  const bool gridded = type == MediaType::Codebook || type == MediaType::QuickTime;
  return MakeHandle<CPanoramaImage>(name,
                                    {MediaType::Jpeg, MediaType::Codebook, MediaType::Gif, MediaType::Bmp,
                                     MediaType::Pict, MediaType::Png, MediaType::QuickTime},
                                    true, gridded);
}

std::unique_ptr<CMultiResImage> CreateMultiResImage(const char* name) {
  return MakeHandle<CMultiResImage>(name, {MediaType::Fpx}, true, uint16_t{0}, uint16_t{0});
}

}  // namespace vx
