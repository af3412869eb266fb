#include "engine/media/panorama/PanoramaImage.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace vx {
namespace {

bool BufferFits(const TileBufferSize& size) {
  return size.width > 0 && size.height > 0 && size.width <= kMaxPictureSide && size.height <= kMaxPictureSide &&
         static_cast<int64_t>(size.width) * size.height <= kMaxPicturePixels;
}

// The rows between the guard rows of a picture image, with the guards
// refreshed from the picture's edge rows (RowTable.h).
PixelMap WithoutGuardRows(const PixelMap& image) {
  const PixelMap picture = PictureBetweenGuards(image);
  RefreshGuardRows(picture);
  return picture;
}

// The share of a picture's extent that the reference view covers.
float ShareOfExtent(float extent) {
  if (!(extent > 0.0f) || !std::isfinite(extent)) return std::numeric_limits<float>::infinity();
  return kTileReferenceAngle / (extent * 0.5f);
}

int32_t TilesFor(int16_t count, float share) {
  if (count <= 0) return 1;
  return static_cast<int32_t>(std::min(std::ceil(count * static_cast<double>(share)), static_cast<double>(count))) +
         1;
}

uint16_t LimitTiles(int32_t tiles, int16_t count) {
  return static_cast<uint16_t>(std::max(1, std::min(tiles, static_cast<int32_t>(count))));
}

}  // namespace

CPanoramaImage::CPanoramaImage(std::unique_ptr<CMediaObject> media, bool gridded)
    : CFrameSetTexture(std::move(media)), gridded_(gridded) {
  if (media_) media_->SetNotify({this, &CPanoramaImage::SupplyPicture});
}

CPanoramaImage::~CPanoramaImage() = default;

void CPanoramaImage::SupplyPicture(int32_t /*message*/, void* data, void* self) {
  auto* request = static_cast<ImageRequest*>(data);
  auto* panorama = static_cast<CPanoramaImage*>(self);
  Placement& placement = *request->placement;
  std::unique_ptr<CDibImage> picture = CDibImage::Create(
      placement.width, GuardedImageHeight(placement.height), request->pixelDepth, &request->palette, false, false);
  // Without a new image the media keeps its old one, so that stays alive.
  if (!picture) return;
  panorama->picture_ = std::move(picture);
  placement.rowOffset = static_cast<int16_t>(placement.rowOffset + kPictureGuardRows);
  *request->image = panorama->picture_.get();
}

int32_t CPanoramaImage::Process() {
  if (!media_) {
    SetLoadState(MediaIdle);
    return MediaIdle;
  }
  if (gridded_ && !tileGrid_ && media_->HasImage() && viewTilesDown_ > 0 && viewTilesAcross_ > 0) MakeTileGrid();
  // A whole picture is shown while it decodes, so it is stepped on every
  // call; a grid's frames are asked for only once it is complete.
  if (!gridded_ || LoadState() != MediaComplete) SetLoadState(media_->Process());
  return LoadState();
}

void CPanoramaImage::MakeTileGrid() {
  FrameGrid grid;
  if (!media_->GetFrameGrid(&grid)) return;
  frameOrder_ = grid.order;
  columnMajor_ = grid.order == kFrameOrderAlongRows;
  const int32_t width = grid.framesAcross * grid.frameWidth;
  const int32_t height = grid.framesDown * grid.frameHeight;
  constexpr int32_t kMaxSide = std::numeric_limits<uint16_t>::max();
  // A picture too large to describe gets a grid that refuses every buffer.
  tileGrid_ = std::make_unique<CTileGrid>(static_cast<uint16_t>(width <= kMaxSide ? width : 0),
                                          static_cast<uint16_t>(height <= kMaxSide ? height : 0));

  const TileBufferSize size =
      TileBufferSizeFor(width, viewTilesAcross_, viewTilesDown_, grid.frameWidth, grid.frameHeight);
  if (viewTilesAcross_ * viewTilesDown_ <= kMaxBufferTiles && BufferFits(size)) {
    PaletteTable palette;
    const int32_t depth = media_->GetPixelDepth();
    if (depth == 8) media_->GetPalette(&palette);
    viewImage_ = CDibImage::Create(size.width, size.height, depth, &palette, false, false);
  }
  bufferMap_ = viewImage_ ? viewImage_->GetPixelMap() : PixelMap{};
  static_cast<void>(
      tileGrid_->Attach(bufferMap_, viewTilesAcross_, viewTilesDown_, grid.frameWidth, grid.frameHeight));
  // Frames draw into the media's own image unless told otherwise.
  static_cast<void>(media_->SetFrameTarget(nullptr));
  rowTable_.Resize(tileGrid_->GetHeight());
}

int32_t CPanoramaImage::GetImageInfo(MediaImageInfo* out) const {
  if (!media_ || !out) return kMediaNoAnswer;
  if (!gridded_) {
    const int32_t result = media_->GetImageInfo(out);
    if (result == 0 && picture_ && out->bits == picture_->GetBits()) *out = WithoutGuardRows(*out);
    return result;
  }
  if (!tileGrid_ || tileGrid_->GetViewMap(out, rowTable_) != 0) {
    out->bits = nullptr;
    out->rows = nullptr;
    return kMediaNoAnswer;
  }
  return 0;
}

CPanoramaImage::Size CPanoramaImage::Measure() const {
  constexpr Size kNothingToMeasure{65535, 65535};
  if (gridded_) return tileGrid_ ? Size{tileGrid_->GetWidth(), tileGrid_->GetHeight()} : kNothingToMeasure;
  MediaImageInfo info;
  return GetImageInfo(&info) == 0 ? Size{info.width, info.height} : kNothingToMeasure;
}

int32_t CPanoramaImage::UpdateView(const TileWindow& window) {
  if (!gridded_) return 0;
  if (!tileGrid_) return kMediaNoAnswer;
  PixelMap place;
  TilePosition tile;
  std::vector<TilePosition> missed;
  while (tileGrid_->Update(window, &place, &tile, columnMajor_) == TileStep::FetchTile) {
    prefetch_ = tile;
    FrameRef* frame = GetFrame({tile.row, tile.column, 1});
    if (frame && DrawFrame(frame, &place) == 0)
      tileGrid_->MirrorTile(place);
    else
      missed.push_back(tile);
  }
  // A tile that could not be drawn (the frames are not there yet) is asked
  // for again at the next update rather than shown as it was.
  for (const TilePosition& lost : missed) tileGrid_->ForgetTile(lost);

  static_cast<void>(GetFrame({prefetch_.row, prefetch_.column, 1}));
  AdvancePrefetch();
  return 0;
}

void CPanoramaImage::AdvancePrefetch() {
  const int16_t across = tileGrid_->GetTilesAcross();
  const int16_t down = tileGrid_->GetTilesDown();
  if (across <= 0 || down <= 0) return;
  auto step = [](int16_t& inner, int16_t innerCount, int16_t& outer, int16_t outerCount) {
    if (++inner < innerCount) return;
    inner = 0;
    if (++outer >= outerCount) outer = 0;
  };
  if (frameOrder_ == kFrameOrderDownColumns)
    step(prefetch_.column, across, prefetch_.row, down);
  else
    step(prefetch_.row, down, prefetch_.column, across);
}

void TilesForFieldOfView(uint16_t mode, float extentA, float extentB, int16_t countA, int16_t countB,
                         uint16_t* outA, uint16_t* outB) {
  const float shareA = std::clamp(ShareOfExtent(extentA), 0.5f, 1.0f);
  int32_t down = TilesFor(countA, shareA);
  int32_t across = std::max(TilesFor(countB, ShareOfExtent(extentB)), countB / 2 + 1);
  if (extentA >= kTileFullWidthExtent) across = countB;
  if (mode == kTileWholeGridMode) {
    down = countA;
    across = countB;
  }
  *outA = LimitTiles(down, countA);
  *outB = LimitTiles(across, countB);
}

}  // namespace vx
