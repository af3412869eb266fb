// The six pictures of a cube background: each face loads its own picture
// (falling over to its next url when one fails), and every picture that has
// arrived is scaled into its square tile of one cube picture, whose tiles
// lie stacked from the top the way the cube renderer reads them. A tile
// whose face has no picture keeps what was painted there before.
#pragma once

#include <array>
#include <cstdint>

#include "engine/media/MediaFactories.h"
#include "engine/media/MediaHandle.h"
#include "engine/media/nodes/TextureLoad.h"
#include "engine/pano/PanoLimits.h"
#include "engine/render/PixelMap.h"
#include "engine/scene/Node.h"

namespace vx {

class CViewContext;

// Faces in the order of the url fields, which is also the order of the
// tiles from the top: the cube renderer shows tile 0 ahead of the camera
// that looks along -z, tile 1 to its right, and the top and bottom tiles
// continue the front one upwards and downwards. Every picture is seen
// upright and unmirrored from inside the cube.
enum class BackgroundFace : int32_t { kFront, kRight, kBack, kLeft, kTop, kBottom };

// Scales a face's picture into its tile of the cube picture. Nothing is
// written outside the tile; a picture of another pixel size, or a cube
// picture that is not six squares high, is left alone (false).
bool PlaceCubeFace(const PixelMap& face, BackgroundFace which, const PixelMap& cube);

class CBackgroundCube {
 public:
  using FaceUrls = std::array<const MFString*, kCubeFaces>;

  // Opens the first url of every face.
  void Start(const CNode& node, const FaceUrls& urls, CViewContext& view);
  // Frees every face's picture.
  void Stop();
  // One loading step of every face.
  void Step(const CNode& node, const FaceUrls& urls, CViewContext& view);

  // Every face has run out of urls without a picture.
  bool AllFailed() const;
  // Every face has its picture or has run out of urls: nothing will change.
  bool AllSettled() const;
  // The side of the tiles: the longest side of the pictures that have
  // arrived, at least kBackgroundBandTileMin when a face has no urls; 0
  // while no picture has arrived.
  int32_t TileSide(const FaceUrls& urls) const;
  // Places the pictures that arrived since the last call.
  void PlaceArrived(const PixelMap& cube);
  // The next placing places every arrived picture again.
  void Unplace();

 private:
  struct Face {
    CTextureLoad<CImageHandle> load{CreateImageHandle};
    bool failed = false;
    bool placed = false;
  };

  std::array<Face, kCubeFaces> faces_;
};

}  // namespace vx
