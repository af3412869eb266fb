// The picture of a panorama node. It is either one whole picture (any still
// format) or a grid of equal frames (block-codebook pictures, movies), of
// which only the tiles in view are kept in a tile buffer that the renderers
// see as the whole picture through a row table (RowTable.h).
//
// The panorama image supplies the image every picture is decoded into,
// with guard rows above and below (RowTable.h), so that renderers reading a
// row past an edge stay inside it. The owner's frame callback paints that
// image before the picture arrives (a sky, a placeholder), and the decoded
// picture overwrites it as it comes.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/media/FrameSetTexture.h"
#include "engine/media/panorama/RowTable.h"
#include "engine/media/panorama/TileGrid.h"
#include "engine/render/DibImage.h"

namespace vx {

class CPanoramaImage final : public CFrameSetTexture {
 public:
  // gridded: the picture is a grid of frames kept as tiles.
  CPanoramaImage(std::unique_ptr<CMediaObject> media, bool gridded);
  ~CPanoramaImage() override;

  // Whole picture: the media's state, stepped on every call. Gridded: once
  // the media has an image and the view tile counts are set, the first call
  // makes the tile grid, its buffer and row table; the state is stepped
  // until it is complete.
  int32_t Process() override;
  HandleKind GetKind() const override { return HandleKind::Panorama; }
  // Whole picture: the picture without its guard rows. Gridded: the view map
  // of the tile buffer (RowTable.h). 9 without a media object, picture or
  // tile grid that places tiles.
  int32_t GetImageInfo(MediaImageInfo* out) const override;
  // The picture's size; 65535 while there is nothing to measure.
  uint16_t GetWidth() const { return Measure().width; }
  uint16_t GetHeight() const { return Measure().height; }
  // Draws the tiles the window needs that the buffer does not hold, then
  // fetches one more frame ahead into the frame cache. 0; 9 for a gridded
  // picture without a tile grid.
  int32_t UpdateView(const TileWindow& window);

  // Size of the tile buffer in tiles, from TilesForFieldOfView; set by the
  // owning node before the tile grid is made.
  void SetViewTiles(int16_t down, int16_t across) {
    viewTilesDown_ = down;
    viewTilesAcross_ = across;
  }
  bool IsGridded() const { return gridded_; }
  const CTileGrid* TileGrid() const { return tileGrid_.get(); }

 private:
  struct Size {
    uint16_t width;
    uint16_t height;
  };
  Size Measure() const;
  static void SupplyPicture(int32_t message, void* data, void* self);
  void MakeTileGrid();
  void AdvancePrefetch();

  bool gridded_ = false;
  std::unique_ptr<CDibImage> picture_;
  std::unique_ptr<CDibImage> viewImage_;
  PixelMap bufferMap_;
  mutable CRowTable rowTable_;
  std::unique_ptr<CTileGrid> tileGrid_;
  uint16_t frameOrder_ = 0;
  bool columnMajor_ = false;
  int16_t viewTilesDown_ = 0;
  int16_t viewTilesAcross_ = 0;
  TilePosition prefetch_{0, 0};
};

// Tiles down (outA) and across (outB) a buffer needs for a grid of countA x
// countB frames whose picture spans extentA x extentB radians: the share of
// the picture that a 60-degree view covers, plus one tile, and at least half
// the columns plus one; every column for a picture that reaches from pole to
// pole, and the whole grid at the colour depth kTileWholeGridMode.
void TilesForFieldOfView(uint16_t mode, float extentA, float extentB, int16_t countA, int16_t countB,
                         uint16_t* outA, uint16_t* outB);

}  // namespace vx
