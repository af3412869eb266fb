// A still picture whose format is read by a decoder (StillImageDecoder.h):
// the loader reads the local file, asks the decoder for the picture's size,
// gets the image through the base and lets the decoder fill it in one step.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/MediaObject.h"
#include "engine/media/StillImageDecoder.h"

namespace vx {

// The whole file, or Missing when it cannot be read or is empty, Corrupt
// when it is larger than any picture file may be.
[[nodiscard]] DecodeStatus ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

class CStillImageMedia : public CMediaObject {
 public:
  CStillImageMedia(MediaType type, std::unique_ptr<CStillImageDecoder> decoder);

  MediaType GetTypeCode() const override { return type_; }
  int32_t Load() override;
  int32_t DecodeStep() override;

 protected:
  CStillImageDecoder& Decoder() const { return *decoder_; }

 private:
  MediaType type_;
  std::unique_ptr<CStillImageDecoder> decoder_;
  std::vector<uint8_t> bytes_;
};

}  // namespace vx
