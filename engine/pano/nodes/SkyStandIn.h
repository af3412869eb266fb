// Draws a panorama node's sky picture in place of a frame its panorama
// could not draw: through a panorama context of its own, looking where the
// node's context looks, into the same output. Its context is made on the
// first frame it stands in for, and its table is kept from then on.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/pano/PanoContext.h"

namespace vx {

class CSkyStandIn {
 public:
  // The sky picture (without guard rows) seen as `panorama` sees its own,
  // over `extent`; false when that cannot be drawn either.
  [[nodiscard]] bool Draw(const PanoContext& panorama, int16_t projection, const AngleRangeF& extent,
                          const MediaImageInfo& sky);

 private:
  [[nodiscard]] bool Follow(const PanoContext& panorama, int16_t projection, const AngleRangeF& extent,
                            const MediaImageInfo& sky);

  std::unique_ptr<PanoContext> context_;
  int16_t projection_ = 0;
};

}  // namespace vx
