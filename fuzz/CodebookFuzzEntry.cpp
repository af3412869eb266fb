#include "fuzz/CodebookFuzzEntry.h"

#include <algorithm>
#include <climits>
#include <vector>

#include "common/DataStream.h"
#include "engine/media/formats/ric/CodebookFrame.h"

namespace vx::fuzz {
namespace {

constexpr size_t kFramesTried = 4;
// Destinations are clipped to this side, so that a large frame costs only
// the blocks its data hold.
constexpr int32_t kDestinationSide = 40;

}  // namespace

int DecodeCodebookBytes(const uint8_t* data, size_t size) {
  if (size > INT32_MAX) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  DataStream stream;
  DataStreamOpen(&stream, nullptr, nullptr, bytes.data(), static_cast<int32_t>(size));
  StreamHeader header;
  if (ReadStreamHeader(&stream, &header) != StreamHeaderResult::Ok) return 0;

  static const CodebookPalette palette = MakeCodebookPalette(BuiltInPaletteTable());
  const int32_t width = std::min<int32_t>(header.frameWidth, kDestinationSide);
  const int32_t height = std::min<int32_t>(header.frameHeight, kDestinationSide);
  int drawn = 0;
  for (size_t i = 0; i < std::min(kFramesTried, header.offsets.size()); ++i) {
    const uint32_t offset = header.offsets[i];
    if (offset >= size || DataStreamSeek(&stream, static_cast<int32_t>(offset), SeekFrom::Start) != 0) continue;
    const auto frame =
        CCodebookFrame::Read(&stream, static_cast<int64_t>(size), header.frameWidth, header.frameHeight);
    if (!frame) continue;
    for (uint16_t bytesPerPixel = 1; bytesPerPixel <= 4; ++bytesPerPixel) {
      std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * bytesPerPixel);
      const PixelMap destination{pixels.data(), static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                                 bytesPerPixel, width * bytesPerPixel};
      if (frame->Draw(destination, header.frameWidth, header.frameHeight, &palette)) ++drawn;
    }
  }
  return drawn;
}

}  // namespace vx::fuzz
