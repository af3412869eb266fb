#include "engine/pano/nodes/BackgroundCube.h"

#include <algorithm>

namespace vx {
namespace {

bool Usable(const PixelMap& map) {
  const bool knownSize = map.bytesPerPixel == 1 || map.bytesPerPixel == 2 || map.bytesPerPixel == 4;
  return map.bits && map.width > 0 && map.height > 0 && knownSize;
}

}  // namespace

bool PlaceCubeFace(const PixelMap& face, BackgroundFace which, const PixelMap& cube) {
  if (!Usable(face) || !Usable(cube) || face.bytesPerPixel != cube.bytesPerPixel) return false;
  const int32_t side = cube.width;
  if (cube.height != side * kCubeFaces) return false;
  PixelMap tile = cube;
  tile.bits = cube.Row(static_cast<int32_t>(which) * side);
  tile.height = static_cast<uint16_t>(side);
  StretchPixelMap(face, tile, nullptr, nullptr);
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

bool CBackgroundCube::AllSettled() const {
  return std::all_of(faces_.begin(), faces_.end(),
                     [](const Face& face) { return face.failed || face.load.State() == MediaComplete; });
}

int32_t CBackgroundCube::TileSide(const FaceUrls& urls) const {
  int32_t longest = 0;
  for (const Face& face : faces_) {
    const PixelMap& picture = face.load.Image();
    if (picture.bits) longest = std::max<int32_t>({longest, picture.width, picture.height});
  }
  const bool showsBands = std::any_of(urls.begin(), urls.end(), [](const MFString* list) { return list->count == 0; });
  const int32_t least = showsBands ? kBackgroundBandTileMin : kBackgroundTileMin;
  return longest > 0 ? std::clamp(longest, least, kBackgroundTileMax) : 0;
}

void CBackgroundCube::PlaceArrived(const PixelMap& cube) {
  for (size_t i = 0; i < faces_.size(); ++i) {
    Face& face = faces_[i];
    if (face.placed || !face.load.Image().bits) continue;
    face.placed = true;
    static_cast<void>(PlaceCubeFace(face.load.Image(), static_cast<BackgroundFace>(i), cube));
  }
}

void CBackgroundCube::Unplace() {
  for (Face& face : faces_) face.placed = false;
}

}  // namespace vx
