#include "engine/pano/PanoRendererFactory.h"

#include <array>

namespace vx {
namespace {

using RendererMaker = std::unique_ptr<CPanoImageRenderer> (*)();

// One maker per projection, in the order of PanoProjection from kSphere. No
// projection has a renderer yet: an empty entry makes none, and the context
// treats that like a renderer that could not be allocated.
constexpr std::array<RendererMaker, kPanoProjectionCount> kRendererMakers{
    nullptr,  // sphere
    nullptr,  // cylinder
    nullptr,  // cube
};
static_assert(static_cast<int32_t>(PanoProjection::kCube) == kPanoProjectionCount);

bool IsPanoProjection(int16_t type) {
  return type >= static_cast<int16_t>(PanoProjection::kSphere) && type <= kPanoProjectionCount;
}

}  // namespace

std::unique_ptr<CPanoImageRenderer> MakePanoRenderer(int16_t type) {
  if (!IsPanoProjection(type)) return nullptr;
  const RendererMaker make = kRendererMakers[static_cast<size_t>(type - 1)];
  return make ? make() : nullptr;
}

}  // namespace vx
