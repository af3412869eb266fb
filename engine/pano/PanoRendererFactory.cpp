#include "engine/pano/PanoRendererFactory.h"

#include <array>
#include <new>

#include "engine/pano/CubeWarper.h"
#include "engine/pano/SphereWarper.h"

namespace vx {
namespace {

using RendererMaker = std::unique_ptr<CPanoImageRenderer> (*)();

template <class Renderer>
std::unique_ptr<CPanoImageRenderer> Make() {
  return std::unique_ptr<CPanoImageRenderer>(new (std::nothrow) Renderer);
}

// One maker per projection, in the order of PanoProjection from kSphere. An
// empty entry makes none, and the context treats that like a renderer that
// could not be allocated.
constexpr std::array<RendererMaker, kPanoProjectionCount> kRendererMakers{
    Make<CSphereWarper>,
    Make<CCylinderWarper>,
    Make<CCubeWarper>,
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
