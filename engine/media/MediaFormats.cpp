#include "engine/media/MediaFormats.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <span>
#include <string_view>

#include "engine/media/formats/PlaceholderMedia.h"
#include "engine/media/formats/avi/AviMovie.h"
#include "engine/media/formats/bmp/BmpMedia.h"
#include "engine/media/formats/descriptor/ImageDescriptorMedia.h"
#include "engine/media/formats/gif/GifMedia.h"
#include "engine/media/formats/jpeg/JpegMedia.h"
#include "engine/media/formats/pict/PictMedia.h"
#include "engine/media/formats/png/PngDecoder.h"
#include "engine/media/formats/png/PngMedia.h"
#include "engine/media/formats/quicktime/QuickTimeMovie.h"
#include "engine/media/formats/ric/CodebookMedia.h"
#include "engine/media/formats/wave/WaveSound.h"
#include "engine/scene/PropertyText.h"

namespace vx {
namespace {

struct Suffix {
  std::string_view text;
  MediaType type;
};

// Tested in this order; the first match wins.
constexpr std::array kSuffixes = {
    Suffix{".jpg", MediaType::Jpeg},       Suffix{"jpeg", MediaType::Jpeg}, Suffix{"jfif", MediaType::Jpeg},
    Suffix{".ric", MediaType::Codebook},   Suffix{".mpg", MediaType::Mpeg}, Suffix{"mpeg", MediaType::Mpeg},
    Suffix{".gif", MediaType::Gif},        Suffix{".bmp", MediaType::Bmp},  Suffix{".pic", MediaType::Pict},
    Suffix{"pict", MediaType::Pict},       Suffix{".pct", MediaType::Pict}, Suffix{".mov", MediaType::QuickTime},
    Suffix{".snm", MediaType::QuickTime},  Suffix{".avi", MediaType::Avi},  Suffix{".aif", MediaType::Aiff},
    Suffix{"aiff", MediaType::Aiff},       Suffix{".wav", MediaType::Wave}, Suffix{".lvd", MediaType::Lvd},
    Suffix{".txt", MediaType::Descriptor}, Suffix{".fpx", MediaType::Fpx},  Suffix{".tts", MediaType::Tts},
    Suffix{".png", MediaType::Png},
};

constexpr std::string_view kRemotePrefix = "http://";
// MPEG-1 system streams open with a pack header, video streams with a
// sequence header.
constexpr std::array<uint8_t, 4> kMpegPackStart = {0x00, 0x00, 0x01, 0xBA};
constexpr std::array<uint8_t, 4> kMpegSequenceStart = {0x00, 0x00, 0x01, 0xB3};
constexpr size_t kSniffedBytes = 8;

bool StartsWith(std::span<const uint8_t> bytes, std::span<const uint8_t> prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

MediaType TypeOfContent(std::span<const uint8_t> head) {
  if (HasPngSignature(head)) return MediaType::Png;
  if (StartsWith(head, kMpegPackStart) || StartsWith(head, kMpegSequenceStart)) return MediaType::Mpeg;
  return MediaType::None;
}

MediaType TypeOfLocalFile(std::string_view name) {
  if (name.size() >= kRemotePrefix.size() && StrEqualNoCase(name.substr(0, kRemotePrefix.size()), kRemotePrefix))
    return MediaType::None;
  std::ifstream file(std::string(name), std::ios::binary);
  std::array<uint8_t, kSniffedBytes> head{};
  if (!file.read(reinterpret_cast<char*>(head.data()), head.size())) return MediaType::None;
  return TypeOfContent(head);
}

using MediaOpener = std::unique_ptr<CMediaObject> (*)(bool withVideo);

template <typename Media>
std::unique_ptr<CMediaObject> Open(bool /*withVideo*/) {
  return std::make_unique<Media>();
}

template <typename Movie>
std::unique_ptr<CMediaObject> OpenMovie(bool withVideo) {
  return std::make_unique<Movie>(withVideo);
}

// MPEG-1 movies are read and played as the AVI movies are.
std::unique_ptr<CMediaObject> OpenMpeg(bool withVideo) {
  return std::make_unique<CAviMovie>(withVideo, MediaType::Mpeg);
}

// One row per type code; a format that is not decoded yet has no opener.
constexpr int32_t kMediaTypeCodes = static_cast<int32_t>(MediaType::Png) + 1;
constexpr std::array<MediaOpener, kMediaTypeCodes> kOpeners = {
    nullptr,                      // 0 none
    Open<CJpegMedia>,             // 1 JPEG
    Open<CCodebookMedia>,         // 2 block codebook
    Open<CGifMedia>,              // 3 GIF
    Open<CBmpMedia>,              // 4 BMP
    Open<CPictMedia>,             // 5 PICT
    OpenMovie<CQuickTimeMovie>,   // 6 QuickTime movie
    Open<CFpxMedia>,              // 7 ".fpx"
    OpenMovie<CAviMovie>,         // 8 AVI movie
    Open<CWaveSound>,             // 9 wave sound
    Open<CLvdMedia>,              // 10 ".lvd"
    nullptr,                      // 11 never produced
    OpenMpeg,                     // 12 MPEG-1 movie
    Open<CImageDescriptorMedia>,  // 13 ".txt" tile descriptor
    nullptr,                      // 14 never produced
    Open<CTtsMedia>,              // 15 ".tts"
    nullptr,                      // 16 AIFF, recognised only
    Open<CPngMedia>,              // 17 PNG
};

}  // namespace

MediaType DetectMediaType(const char* name) {
  if (!name) return MediaType::None;
  const std::string_view text(name);
  if (text.size() < 4) return MediaType::None;
  const std::string_view last = text.substr(text.size() - 4);
  for (const Suffix& suffix : kSuffixes)
    if (StrEqualNoCase(last, suffix.text)) return suffix.type;
  return MediaType::None;
}

MediaType DetectMediaTypeOf(const char* name) {
  if (!name) return MediaType::None;
  const MediaType content = TypeOfLocalFile(name);
  return content != MediaType::None ? content : DetectMediaType(name);
}

std::unique_ptr<CMediaObject> OpenMediaOfType(MediaType type, bool withVideo) {
  const MediaOpener open = kOpeners[static_cast<size_t>(type)];
  return open ? open(withVideo) : nullptr;
}

std::unique_ptr<CMediaObject> OpenMedia(const char* name, bool withVideo) {
  return OpenMediaOfType(DetectMediaTypeOf(name), withVideo);
}

}  // namespace vx
