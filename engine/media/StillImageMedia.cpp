#include "engine/media/StillImageMedia.h"

#include <fstream>

#include "engine/media/MediaLimits.h"
#include "engine/media/SharedInverseMap.h"

namespace vx {

DecodeStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return DecodeStatus::Missing;
  const std::streamoff size = file.tellg();
  if (size <= 0) return DecodeStatus::Missing;
  if (size > kMaxMediaFileBytes) return DecodeStatus::Corrupt;
  bytes->resize(static_cast<size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes->data()), size)) return DecodeStatus::Missing;
  return DecodeStatus::Complete;
}

CStillImageMedia::CStillImageMedia(MediaType type, std::unique_ptr<CStillImageDecoder> decoder)
    : type_(type), decoder_(std::move(decoder)) {}

int32_t CStillImageMedia::Load() {
  DecodeStatus status = ReadWholeFile(LocalPath(), &bytes_);
  if (status == DecodeStatus::Complete) status = decoder_->ReadHeader(bytes_, true);
  if (status != DecodeStatus::Complete) {
    bytes_ = {};
    return LoadStateAfterDecode(status, IsReady());
  }
  const PictureSize size = decoder_->Size();
  int32_t failure = 0;
  if (!RequestImage(size.width, size.height, &failure)) {
    bytes_ = {};
    return failure;
  }
  // Palette images take their indices through the shared inverse map, built
  // from this object's palette when it is the first to ask.
  if (ImageInfo().bytesPerPixel == 1 && decoder_->TakesInverseMap()) {
    PaletteTable palette;
    GetPalette(&palette);
    decoder_->SetInverseMap(GetSharedInverseMap(palette));
  }
  return MediaDecoding;
}

int32_t CStillImageMedia::DecodeStep() {
  const DecodeStatus status = decoder_->Decode(bytes_, true, WindowForPlacement(ImageInfo(), GetPlacement(), decoder_->Size()));
  bytes_ = {};
  return LoadStateAfterDecode(status == DecodeStatus::Pending ? DecodeStatus::Corrupt : status, IsReady());
}

}  // namespace vx
