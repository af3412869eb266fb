#include "fuzz/MediaFuzzEntries.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "engine/media/MediaLimits.h"
#include "engine/media/StillImageDecoder.h"
#include "engine/media/formats/bmp/BmpDecoder.h"
#include "engine/media/formats/descriptor/ImageDescriptor.h"
#include "engine/media/formats/gif/GifFile.h"
#include "engine/media/formats/jpeg/JpegDecoder.h"
#include "engine/media/formats/png/PngDecoder.h"
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

// The placement that puts the picture's far corner into the canvas's, so
// that its last rows and columns are the ones written.
Placement FarCornerPlacement(const PixelMap& canvas, PictureSize picture) {
  const int32_t height = std::min(picture.height, 0x7FFF);
  const int32_t width = std::min(picture.width, 0x7FFF);
  return Placement{static_cast<int16_t>(canvas.height - height), static_cast<int16_t>(canvas.width - width),
                   static_cast<int16_t>(height), static_cast<int16_t>(width)};
}

constexpr int32_t kPixelSizes[] = {1, 2, 4};
constexpr int32_t kMaxFramesDrawn = 16;
// Larger JPEG pictures cost libjpeg time and memory and find nothing more.
constexpr int64_t kMaxJpegPixels = 512 * 512;
constexpr int32_t kJpegNoise[] = {0, 3, 7, 1, 5};
// PNG pictures past this many pixels are only checked up to their header.
constexpr int64_t kMaxPngPixels = 1024 * 1024;

struct JpegResult {
  DecodeStatus status = DecodeStatus::Pending;
  std::vector<uint8_t> pixels;
};

// Decodes the picture from the first `ends` bytes in turn, the last end
// being the whole file, 32 rows a call as the media object does.
JpegResult DecodeJpegInPieces(std::span<const uint8_t> bytes, std::span<const size_t> ends, int32_t bytesPerPixel) {
  JpegResult result;
  CJpegDecoder decoder;
  std::optional<Canvas> canvas;
  const JpegOutput output{BuiltInPaletteTable(), InverseMap(), kJpegNoise};
  for (const size_t end : ends) {
    const bool allArrived = end == bytes.size();
    const std::span<const uint8_t> arrived = bytes.first(end);
    if (!canvas) {
      result.status = decoder.ReadHeader(arrived, allArrived);
      if (result.status != DecodeStatus::Complete) {
        if (result.status == DecodeStatus::Pending) continue;
        return result;
      }
      const PictureSize size = decoder.Size();
      if (int64_t{size.width} * size.height > kMaxJpegPixels) return result;
      canvas.emplace(std::min(size.width, kCanvasSide), std::min(size.height, kCanvasSide), bytesPerPixel);
    }
    const PictureWindow window =
        WindowForPlacement(canvas->map, FarCornerPlacement(canvas->map, decoder.Size()), decoder.Size());
    // Each call decodes rows or waits for bytes; a whole file never waits.
    for (int32_t call = 0; call <= decoder.Size().height / kJpegRowsPerStep + 1; ++call) {
      result.status = decoder.DecodeRows(arrived, allArrived, window, output, kJpegRowsPerStep);
      if (result.status != DecodeStatus::Pending) break;
    }
  }
  if (canvas) result.pixels = canvas->pixels;
  return result;
}

}  // namespace

bool DecodeJpegBytes(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const size_t whole[] = {size};
  const size_t pieces[] = {size / 3, size * 2 / 3, size};
  for (const int32_t bytesPerPixel : kPixelSizes) {
    const JpegResult atOnce = DecodeJpegInPieces(bytes, whole, bytesPerPixel);
    if (atOnce.status == DecodeStatus::Pending) return false;
    // A picture that fails may fail after more or fewer rows were written.
    const JpegResult inPieces = DecodeJpegInPieces(bytes, pieces, bytesPerPixel);
    if (inPieces.status != atOnce.status) return false;
    if (atOnce.status == DecodeStatus::Complete && inPieces.pixels != atOnce.pixels) return false;
  }
  return true;
}

bool DecodeGifBytes(const uint8_t* data, size_t size) {
  GifFile file;
  if (ReadGif(std::span<const uint8_t>(data, size), &file) != DecodeStatus::Complete) return true;
  if (file.images.empty() || file.images.size() > static_cast<size_t>(kMaxGifFrames)) return false;
  if (CheckPictureSize(file.screen.width, file.screen.height) != DecodeStatus::Complete) return false;
  const int32_t width = std::min(file.screen.width, kCanvasSide);
  const int32_t height = std::min(file.screen.height, kCanvasSide);
  const auto frames = static_cast<int32_t>(std::min<size_t>(file.images.size(), kMaxFramesDrawn));
  // An opacity plane smaller than the screen: frames must keep within it.
  AlphaPlane alpha{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height)};
  for (const int32_t bytesPerPixel : kPixelSizes) {
    Canvas canvas(width, height, bytesPerPixel);
    for (int32_t frame = 0; frame < frames; ++frame)
      DrawGifFrame(file, frame, GifCanvas{canvas.map, file.screen.height - height, 0, InverseMap(), &alpha});
  }
  return true;
}

bool DecodePngBytes(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  std::optional<DecodeStatus> first;
  for (const int32_t bytesPerPixel : kPixelSizes) {
    CPngDecoder decoder;
    if (decoder.ReadHeader(bytes.first(size / 2), false) == DecodeStatus::Complete) return false;
    const DecodeStatus header = decoder.ReadHeader(bytes, true);
    if (header == DecodeStatus::Pending) return false;
    if (header != DecodeStatus::Complete) return true;
    const PictureSize picture = decoder.Size();
    if (CheckPictureSize(picture.width, picture.height) != DecodeStatus::Complete) return false;
    if (int64_t{picture.width} * picture.height > kMaxPngPixels) return true;
    decoder.SetInverseMap(InverseMap());
    Canvas canvas(std::min(picture.width, kCanvasSide), std::min(picture.height, kCanvasSide), bytesPerPixel);
    const Placement placement = FarCornerPlacement(canvas.map, picture);
    const DecodeStatus status = decoder.Decode(bytes, true, WindowForPlacement(canvas.map, placement, picture));
    // A damaged file fails the same way at every pixel size, and any
    // opacity it gives covers the picture.
    if (status == DecodeStatus::Pending || first.value_or(status) != status) return false;
    first = status;
    const AlphaPlane& alpha = decoder.Alpha();
    if (!alpha.Empty() &&
        (status != DecodeStatus::Complete || alpha.width != picture.width || alpha.height != picture.height ||
         alpha.values.size() != static_cast<size_t>(picture.width) * picture.height))
      return false;
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
    const Placement placement = FarCornerPlacement(canvas.map, picture);
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
