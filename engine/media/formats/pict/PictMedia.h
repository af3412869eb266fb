// PICT pictures (".pic", "pict"), read and drawn by the QuickTime layer:
// the file is read in the load and drawn whole in the one decode step that
// follows. Where the layer cannot read PICT files the load fails (7).
#pragma once

#include <memory>

#include "engine/media/MediaObject.h"
#include "platform/media/QuickTime.h"

namespace vx {

class CPictMedia final : public CMediaObject {
 public:
  MediaType GetTypeCode() const override { return MediaType::Pict; }
  int32_t Load() override;
  int32_t DecodeStep() override;

 private:
  std::unique_ptr<QtPicture> picture_;
};

}  // namespace vx
