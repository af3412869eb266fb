#include "engine/media/formats/descriptor/ImageDescriptorMedia.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#include "engine/hostlink/HostComponent.h"
#include "engine/media/MediaFactories.h"
#include "engine/media/SharedInverseMap.h"
#include "engine/media/formats/IndexedPixels.h"
#include "engine/media/formats/descriptor/ImageDescriptor.h"
#include "engine/render/DibImage.h"
#include "engine/scene/PropertyText.h"

namespace vx {
namespace {

constexpr std::string_view kHttpPrefix = "http://";

bool IsHttpName(std::string_view name) {
  return name.size() >= kHttpPrefix.size() && StrEqualNoCase(name.substr(0, kHttpPrefix.size()), kHttpPrefix);
}

// The descriptor's text; false when the file cannot be read or is larger
// than any descriptor may be.
bool ReadDescriptorText(const std::string& path, std::string* text) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  text->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return !file.bad() && text->size() <= static_cast<size_t>(kMaxDescriptorBytes);
}

int32_t& PieceState(DescriptorTileEntry& tile, TilePiece piece) {
  return piece == TilePiece::Mask ? tile.maskState : tile.imageState;
}

// The pixel at column x of the row, in the map's own pixel size (the fourth
// byte of 32-bit pixels left out).
uint32_t PixelValueAt(const PixelMap& map, int32_t y, int32_t x) {
  const uint8_t* at = map.Row(y) + static_cast<ptrdiff_t>(x) * map.bytesPerPixel;
  if (map.bytesPerPixel == 1) return *at;
  if (map.bytesPerPixel == 2) {
    uint16_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
  }
  uint32_t xrgb = 0;
  std::memcpy(&xrgb, at, sizeof xrgb);
  return xrgb & 0x00FFFFFF;
}

bool IsPixelSize(int32_t bytesPerPixel) { return bytesPerPixel == 1 || bytesPerPixel == 2 || bytesPerPixel == 4; }

// Paints the colour wherever the mask is not black. The mask is read at its
// own pixel size and the colour written at the destination's: the two need
// not be the same.
void PaintThroughMask(const PixelMap& mask, const PixelMap& destination, const FloatColor& color,
                      const uint8_t* inverseMap555) {
  if (!mask.bits || !destination.bits || !IsPixelSize(mask.bytesPerPixel) || !IsPixelSize(destination.bytesPerPixel))
    return;
  const uint32_t off = PixelValueOf(FloatColor{}, mask.bytesPerPixel, inverseMap555);
  const uint32_t fill = PixelValueOf(color, destination.bytesPerPixel, inverseMap555);
  const int32_t width = std::min(mask.width, destination.width);
  const int32_t height = std::min(mask.height, destination.height);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = destination.Row(y);
    for (int32_t x = 0; x < width; ++x)
      if (PixelValueAt(mask, y, x) != off) StorePixelValue(out, x, destination.bytesPerPixel, fill);
  }
}

}  // namespace

CImageDescriptorMedia::CImageDescriptorMedia() : service_(GetDownloadComponent()) {}

CImageDescriptorMedia::~CImageDescriptorMedia() { CancelPiece(); }

int16_t CImageDescriptorMedia::GetFrameGrid(FrameGrid* out) {
  if (out) *out = grid_;
  return gridValid_;
}

int32_t CImageDescriptorMedia::Load() {
  std::string text;
  char url[kMediaNameBufferSize] = {};
  GetUrl(url);
  ImageDescriptor descriptor;
  if (!ReadDescriptorText(LocalPath(), &text) || !ParseImageDescriptor(text, DescriptorBase(url), &descriptor))
    return MediaUnusable;
  int32_t failure = 0;
  if (!RequestImage(descriptor.grid.frameWidth, descriptor.grid.frameHeight, &failure)) return MediaUnusable;
  grid_ = descriptor.grid;
  gridValid_ = 1;
  tiles_.clear();
  for (DescriptorTile& parsed : descriptor.tiles) {
    DescriptorTileEntry& tile = tiles_.emplace_back();
    tile.imageUrl = std::move(parsed.imageUrl);
    tile.maskUrl = std::move(parsed.maskUrl);
    tile.order = parsed.order;
    // Local files are at hand already.
    if (!IsHttpName(tile.imageUrl)) {
      tile.imageLocalName = tile.imageUrl;
      tile.imageState = MediaFileReady;
    }
    if (!IsHttpName(tile.maskUrl)) {
      tile.maskLocalName = tile.maskUrl;
      tile.maskState = MediaFileReady;
    }
  }
  RequestNextPiece();
  return MediaComplete;
}

// The next piece is the lowest order's, the earlier tile on a tie, a mask
// before its picture.
void CImageDescriptorMedia::RequestNextPiece() {
  while (downloading_ < 0) {
    int32_t best = -1;
    TilePiece bestPiece = TilePiece::None;
    for (int32_t index = 0; index < TileCount(); ++index) {
      DescriptorTileEntry& tile = tiles_[static_cast<size_t>(index)];
      for (const TilePiece piece : {TilePiece::Mask, TilePiece::Image}) {
        if (PieceState(tile, piece) != MediaIdle) continue;
        if (best < 0 || tile.order < tiles_[static_cast<size_t>(best)].order) {
          best = index;
          bestPiece = piece;
        }
      }
    }
    if (best < 0 || !StartPiece(best, bestPiece)) return;
  }
}

bool CImageDescriptorMedia::StartPiece(int32_t index, TilePiece piece) {
  auto start = service_ ? service_->Slot<VxDownloadStartFn>(VxDownloadStartSlot) : nullptr;
  if (!start) return false;
  DescriptorTileEntry& tile = tiles_[static_cast<size_t>(index)];
  tile.pending = piece;
  downloading_ = index;
  const DownloadCallback completion{this, &CImageDescriptorMedia::TileCompletion};
  char cachedPath[VX_DOWNLOAD_TEXT_SIZE] = {};
  const std::string& url = piece == TilePiece::Mask ? tile.maskUrl : tile.imageUrl;
  starting_ = true;
  const int32_t request = start(url.c_str(), &completion, 0, cachedPath);
  starting_ = false;
  if (request < 0) {
    tile.pending = TilePiece::None;
    downloading_ = -1;
    return false;
  }
  // A report that came inside the start call has settled the piece.
  if (downloading_ < 0) return true;
  request_ = request;
  tile.requestId = request;
  cachedPath[VX_DOWNLOAD_TEXT_SIZE - 1] = '\0';
  if (cachedPath[0] != '\0') {
    // A cache hit: the file is at hand, and the request is given back.
    EndPiece(DownloadDone, cachedPath);
    GiveBack(request);
  }
  return true;
}

void CImageDescriptorMedia::TileCompletion(int32_t message, DownloadRequest* request, void* self) {
  auto* media = static_cast<CImageDescriptorMedia*>(self);
  if (message != VX_DOWNLOAD_EVENT || !request || media->downloading_ < 0) return;
  // Reports of requests given up are not this object's business any more.
  if (!media->starting_ && request->slot != media->request_) return;
  media->EndPiece(request->state,
                  std::string(request->localPath, strnlen(request->localPath, sizeof request->localPath)));
  if (!media->starting_) media->RequestNextPiece();
}

// The tile's own record takes the outcome; the descriptor's load state is
// not touched.
void CImageDescriptorMedia::EndPiece(int32_t state, const std::string& localPath) {
  DescriptorTileEntry& tile = tiles_[static_cast<size_t>(downloading_)];
  const bool arrived = state == DownloadDone && !localPath.empty();
  PieceState(tile, tile.pending) =
      arrived ? MediaFileReady : (state == DownloadCancelled ? MediaCancelled : MediaFailedNoFile);
  if (arrived) (tile.pending == TilePiece::Mask ? tile.maskLocalName : tile.imageLocalName) = localPath;
  tile.pending = TilePiece::None;
  tile.requestId = -1;
  request_ = -1;
  downloading_ = -1;
}

// Forgets the request first, so that the cancel report is not taken for its
// end.
void CImageDescriptorMedia::CancelPiece() {
  if (request_ < 0) return;
  const int32_t request = request_;
  request_ = -1;
  downloading_ = -1;
  GiveBack(request);
}

void CImageDescriptorMedia::GiveBack(int32_t request) const {
  auto cancel = service_ ? service_->Slot<VxDownloadCancelFn>(VxDownloadCancelSlot) : nullptr;
  if (cancel) cancel(request);
}

std::unique_ptr<FrameRef> CImageDescriptorMedia::GetFrameRef(const FramePosition& position) {
  if (!gridValid_) return nullptr;
  int64_t index = -1;
  if (grid_.order == kFrameOrderAlongRows) index = int64_t{position.row} * grid_.framesAcross + position.column;
  if (grid_.order == kFrameOrderDownColumns) index = int64_t{position.column} * grid_.framesDown + position.row;
  if (index < 0 || index >= TileCount()) return nullptr;
  return std::make_unique<CFrameIndexRef>(static_cast<int32_t>(index));
}

bool CImageDescriptorMedia::IsDrawable(int32_t index) const {
  if (index < 0 || index >= TileCount()) return false;
  const DescriptorTileEntry& tile = tiles_[static_cast<size_t>(index)];
  return tile.imageState == MediaFileReady && tile.maskState == MediaFileReady;
}

// Without the tile asked for, the arrived tile nearest the origin stands in:
// tile k counts as lying at (k div frames down, k mod frames down).
int32_t CImageDescriptorMedia::TileToDraw(int32_t referenced) const {
  if (IsDrawable(referenced)) return referenced;
  const int32_t down = std::max<int32_t>(grid_.framesDown, 1);
  int32_t best = -1;
  double bestDistance = kNearestTileRange;
  for (int32_t index = 0; index < TileCount(); ++index) {
    if (!IsDrawable(index)) continue;
    const double distance = std::hypot(static_cast<double>(index / down), static_cast<double>(index % down));
    if (distance < bestDistance) {
      best = index;
      bestDistance = distance;
    }
  }
  return best;
}

void CImageDescriptorMedia::HandOverImage(int32_t message, void* data, void* self) {
  if (message != kMediaMessage || !data) return;
  auto* request = static_cast<ImageRequest*>(data);
  *request->image = static_cast<CImageDescriptorMedia*>(self)->Image();
}

// The tile's picture decodes straight into this object's image; its mask
// into an image of its own at the destination's pixel size, so that its
// colours are not first matched to the palette.
bool CImageDescriptorMedia::OpenTileHandles(int32_t index, int32_t maskBytesPerPixel) {
  tileImage_.reset();
  tileMask_.reset();
  openTile_ = -1;
  const DescriptorTileEntry& tile = tiles_[static_cast<size_t>(index)];
  std::unique_ptr<CImageHandle> picture = CreateImageHandle(tile.imageLocalName.c_str());
  std::unique_ptr<CImageHandle> mask = CreateImageHandle(tile.maskLocalName.c_str());
  if (!picture || !mask) return false;
  PaletteTable palette;
  GetPalette(&palette);
  picture->SetPalette(&palette);
  picture->SetPixelDepth(Image()->GetBitsPerPixel());
  picture->SetFillColor(FillColor());
  picture->SetNotify(MediaCallback{this, &CImageDescriptorMedia::HandOverImage});
  mask->SetPalette(&palette);
  mask->SetPixelDepth(maskBytesPerPixel * 8);
  mask->SetFillColor(FillColor());
  tileImage_ = std::move(picture);
  tileMask_ = std::move(mask);
  openTile_ = index;
  return true;
}

int32_t CImageDescriptorMedia::DrawFrame(FrameRef* frame, const PixelMap* destination) {
  RequestNextPiece();
  const auto* tileRef = dynamic_cast<const CFrameIndexRef*>(frame);
  CDibImage* own = Image();
  if (!FrameTarget().IsSet() || !tileRef || !own) return 2;
  CDibImage* target = FrameTarget().Image() ? FrameTarget().Image() : own;
  const PixelMap out = destination ? *destination : target->GetPixelMap();
  const int32_t tile = TileToDraw(tileRef->Index());
  int32_t pictureState = MediaIdle;
  int32_t maskState = MediaIdle;
  if (tile >= 0 && (tile == openTile_ || OpenTileHandles(tile, out.bytesPerPixel))) {
    pictureState = tileImage_->Process();
    maskState = tileMask_->Process();
  }
  if (destination || target != own) CopyPixelMap(own->GetPixelMap(), out);
  MediaImageInfo mask;
  if (pictureState == MediaComplete && maskState == MediaComplete && tileMask_->GetImageInfo(&mask) == 0) {
    PaletteTable palette;
    GetPalette(&palette);
    PaintThroughMask(mask, out, MaskColor(), GetSharedInverseMap(palette));
  }
  return 0;
}

}  // namespace vx
