#include "engine/pano/nodes/BackgroundCube.h"

#include <algorithm>
#include <cstring>

namespace vx {
namespace {

bool Usable(const PixelMap& map) {
  const bool knownSize = map.bytesPerPixel == 1 || map.bytesPerPixel == 2 || map.bytesPerPixel == 4;
  return map.bits && map.width > 0 && map.height > 0 && knownSize && map.rowBytes >= map.width * map.bytesPerPixel;
}

}  // namespace

bool PlaceCubeFace(const PixelMap& face, BackgroundFace which, const PixelMap& cube) {
  if (!Usable(face) || !Usable(cube) || face.bytesPerPixel != cube.bytesPerPixel) return false;
  const int32_t side = cube.width;
  if (cube.height != side * kCubeFaces) return false;
  const int32_t tile = static_cast<int32_t>(which);
  const size_t pixelBytes = cube.bytesPerPixel;
  for (int32_t y = 0; y < side; ++y) {
    const auto sourceRow = static_cast<int32_t>(int64_t{y} * face.height / side);
    const uint8_t* in = face.Row(sourceRow);
    uint8_t* out = cube.Row(tile * side + y);
    for (int32_t x = 0; x < side; ++x) {
      const auto sourceColumn = static_cast<int32_t>(int64_t{x} * face.width / side);
      std::memcpy(out + static_cast<size_t>(x) * pixelBytes, in + static_cast<size_t>(sourceColumn) * pixelBytes,
                  pixelBytes);
    }
  }
  return true;
}

void CBackgroundCube::Start(const CNode& node, const FaceUrls& urls, CViewContext& view) {
  for (size_t i = 0; i < faces_.size(); ++i) {
    Face& face = faces_[i];
    face.load.Deactivate();
    face.placed = false;
    static_cast<void>(face.load.Activate(node, *urls[i], view));
    face.failed = false;
  }
}

void CBackgroundCube::Stop() {
  for (Face& face : faces_) {
    face.load.Deactivate();
    face.failed = false;
    face.placed = false;
  }
}

void CBackgroundCube::Step(const CNode& node, const FaceUrls& urls, CViewContext& view) {
  for (size_t i = 0; i < faces_.size(); ++i) {
    Face& face = faces_[i];
    if (!face.load.IsActive() || face.failed) continue;
    const bool movedOn = face.load.Step(node, *urls[i], view);
    face.failed = !movedOn && TextureLoadFailed(face.load.State());
    if (face.load.State() == MediaComplete && !face.load.Image().bits) face.load.TakeImage();
  }
}

bool CBackgroundCube::AllFailed() const {
  return std::all_of(faces_.begin(), faces_.end(), [](const Face& face) { return face.failed; });
}

bool CBackgroundCube::AllLoaded() const {
  return std::all_of(faces_.begin(), faces_.end(),
                     [](const Face& face) { return face.load.State() == MediaComplete; });
}

int32_t CBackgroundCube::TileSide() const {
  int32_t longest = 0;
  for (const Face& face : faces_) {
    const PixelMap& picture = face.load.Image();
    if (picture.bits) longest = std::max<int32_t>({longest, picture.width, picture.height});
  }
  return longest > 0 ? std::clamp(longest, kBackgroundTileMin, kBackgroundTileMax) : 0;
}

bool CBackgroundCube::PlaceArrived(const PixelMap& cube) {
  bool placedOne = false;
  for (size_t i = 0; i < faces_.size(); ++i) {
    Face& face = faces_[i];
    if (face.placed || !face.load.Image().bits) continue;
    face.placed = true;
    placedOne |= PlaceCubeFace(face.load.Image(), static_cast<BackgroundFace>(i), cube);
  }
  return placedOne;
}

void CBackgroundCube::Unplace() {
  for (Face& face : faces_) face.placed = false;
}

}  // namespace vx
