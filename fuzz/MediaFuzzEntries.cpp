#include "fuzz/MediaFuzzEntries.h"

#include <algorithm>
#include <span>
#include <string_view>
#include <vector>

#include "engine/media/MediaLimits.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/media/formats/bmp/BmpDecoder.h"
#include "engine/media/formats/descriptor/ImageDescriptor.h"
#include "engine/media/formats/gif/GifFile.h"
#include "engine/render/Palette.h"
#include "platform/media/MediaPlatformLimits.h"
#include "platform/media/MovieAtoms.h"

namespace vx::fuzz {
namespace {

// Pictures are drawn into a corner of at most this many pixels a side, so a
// huge stated size costs no memory.
constexpr int32_t kCanvasSide = 64;

// A canvas of w x h pixels of that size.
struct Canvas {
  Canvas(int32_t width, int32_t height, int32_t bytesPerPixel)
      : pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(bytesPerPixel)) {
    map.bits = pixels.data();
    map.width = static_cast<uint16_t>(width);
    map.height = static_cast<uint16_t>(height);
    map.bytesPerPixel = static_cast<uint16_t>(bytesPerPixel);
    map.rowBytes = width * bytesPerPixel;
  }
  std::vector<uint8_t> pixels;
  PixelMap map;
};

const uint8_t* InverseMap() {
  static const std::vector<uint8_t> map = [] {
    std::vector<uint8_t> filled(kInverseMap555Size);
    BuildInverseColorMap555(BuiltInPaletteTable(),
                            std::span<uint8_t, kInverseMap555Size>(filled.data(), filled.size()));
    return filled;
  }();
  return map.data();
}

constexpr int32_t kPixelSizes[] = {1, 2, 4};
constexpr int32_t kMaxFramesDrawn = 16;

}  // namespace

bool DecodeGifBytes(const uint8_t* data, size_t size) {
  GifFile file;
  if (ReadGif(std::span<const uint8_t>(data, size), &file) != DecodeStatus::Complete) return true;
  if (file.images.empty() || file.images.size() > static_cast<size_t>(kMaxGifFrames)) return false;
  if (CheckPictureSize(file.screen.width, file.screen.height) != DecodeStatus::Complete) return false;
  const int32_t width = std::min(file.screen.width, kCanvasSide);
  const int32_t height = std::min(file.screen.height, kCanvasSide);
  const auto frames = static_cast<int32_t>(std::min<size_t>(file.images.size(), kMaxFramesDrawn));
  for (const int32_t bytesPerPixel : kPixelSizes) {
    Canvas canvas(width, height, bytesPerPixel);
    for (int32_t frame = 0; frame < frames; ++frame)
      DrawGifFrame(file, frame, GifCanvas{canvas.map, file.screen.height - height, 0, InverseMap()});
  }
  return true;
}

bool DecodeBmpBytes(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  CBmpDecoder decoder;
  if (decoder.ReadHeader(bytes, true) != DecodeStatus::Complete) return true;
  const PictureSize picture = decoder.Size();
  if (CheckPictureSize(picture.width, picture.height) != DecodeStatus::Complete) return false;
  decoder.SetInverseMap(InverseMap());
  for (const int32_t bytesPerPixel : kPixelSizes) {
    Canvas canvas(std::min(picture.width, kCanvasSide), std::min(picture.height, kCanvasSide), bytesPerPixel);
    // The picture's far corner, so the last rows and columns are read.
    const Placement placement{static_cast<int16_t>(canvas.map.height - std::min(picture.height, 0x7FFF)),
                              static_cast<int16_t>(canvas.map.width - std::min(picture.width, 0x7FFF)),
                              static_cast<int16_t>(std::min(picture.height, 0x7FFF)),
                              static_cast<int16_t>(std::min(picture.width, 0x7FFF))};
    if (decoder.Decode(bytes, true, WindowForPlacement(canvas.map, placement, picture)) != DecodeStatus::Complete)
      return false;
  }
  return true;
}

bool ParseDescriptorBytes(const uint8_t* data, size_t size) {
  ImageDescriptor descriptor;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!ParseImageDescriptor(text, "http://host/tiles/", &descriptor)) return true;
  const size_t cells = size_t{descriptor.grid.framesDown} * descriptor.grid.framesAcross;
  if (cells == 0 || cells > static_cast<size_t>(kMaxDescriptorTiles) || descriptor.tiles.size() != cells) return false;
  return std::all_of(descriptor.tiles.begin(), descriptor.tiles.end(), [](const DescriptorTile& tile) {
    return tile.imageUrl.size() <= static_cast<size_t>(kMaxMediaNameLength) &&
           tile.maskUrl.size() <= static_cast<size_t>(kMaxMediaNameLength);
  });
}

bool ParseMovieAtomBytes(const uint8_t* data, size_t size) {
  MovieAtoms atoms;
  if (!ParseMovieAtoms({data, size}, &atoms)) return atoms.tracks.empty() && atoms.userData.empty();
  size_t itemBytes = 0;
  for (const MovieUserDataItem& item : atoms.userData) itemBytes += item.bytes.size();
  return atoms.tracks.size() <= static_cast<size_t>(kMaxMovieTracks) &&
         atoms.userData.size() <= static_cast<size_t>(kMaxMovieUserDataItems) && itemBytes <= size;
}

}  // namespace vx::fuzz
