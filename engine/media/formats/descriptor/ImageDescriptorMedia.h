// ".txt" tile descriptors as media objects: a grid of tiles, each a picture
// file and a mask file named by the descriptor. Loading makes the frame
// image at once; the tiles' files are then fetched one request at a time,
// lowest order first, and a frame is drawn from the requested tile when it
// has arrived, else from the arrived tile nearest the grid's origin. The
// tile's picture decodes into the object's image; the mask colour is
// painted where the tile's mask is set.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/media/MediaHandle.h"
#include "engine/media/MediaObject.h"
#include "engine/media/formats/FrameTarget.h"

namespace vx {

enum class TilePiece : int16_t { None = 0, Mask = 1, Image = 2 };

struct DescriptorTileEntry {
  std::string imageUrl;
  std::string maskUrl;
  std::string imageLocalName;
  std::string maskLocalName;
  int32_t imageState = MediaIdle;  // a MediaLoadState; 4 once the file is local
  int32_t maskState = MediaIdle;
  int16_t order = 0;
  int32_t requestId = -1;
  TilePiece pending = TilePiece::None;
};

class CImageDescriptorMedia final : public CFrameTargetMedia {
 public:
  CImageDescriptorMedia();
  // Cancels a tile download that still runs; its report is never taken.
  ~CImageDescriptorMedia() override;

  int16_t GetFrameGrid(FrameGrid* out) override;
  void SetFrameGrid(const FrameGrid& grid) override { grid_ = grid; }
  MediaType GetTypeCode() const override { return MediaType::Descriptor; }
  // 8 with the frame image made and the first tile requested; 7 for a
  // descriptor that cannot be read or used.
  int32_t Load() override;
  // Asks again for a tile the download service turned away.
  void Update() override { RequestNextPiece(); }

  // The tile at (row, column) of the grid; null outside the tile array.
  std::unique_ptr<FrameRef> GetFrameRef(const FramePosition& position) override;
  // 2 without a frame target, frame reference or image; else 0.
  int32_t DrawFrame(FrameRef* frame, const PixelMap* destination) override;

  int32_t TileCount() const { return static_cast<int32_t>(tiles_.size()); }
  const DescriptorTileEntry& Tile(int32_t index) const { return tiles_.at(static_cast<size_t>(index)); }
  // The tile one of whose files is being fetched; -1 when none.
  int32_t DownloadingTile() const { return downloading_; }
  // The tile the last DrawFrame opened; -1 when none.
  int32_t OpenTile() const { return openTile_; }

 private:
  static void TileCompletion(int32_t message, DownloadRequest* request, void* self);
  static void HandOverImage(int32_t message, void* data, void* self);
  void RequestNextPiece();
  // False when the service turned the request away.
  bool StartPiece(int32_t tile, TilePiece piece);
  void EndPiece(int32_t state, const std::string& localPath);
  void CancelPiece();
  // Cancels a request this object no longer follows.
  void GiveBack(int32_t request) const;
  bool IsDrawable(int32_t tile) const;
  int32_t TileToDraw(int32_t referenced) const;
  bool OpenTileHandles(int32_t tile, int32_t maskBytesPerPixel);

  std::shared_ptr<CHostComponent> service_;
  FrameGrid grid_;
  int16_t gridValid_ = 0;
  std::vector<DescriptorTileEntry> tiles_;
  std::unique_ptr<CImageHandle> tileImage_;
  std::unique_ptr<CImageHandle> tileMask_;
  int32_t openTile_ = -1;
  int32_t downloading_ = -1;
  int32_t request_ = -1;
  bool starting_ = false;  // inside the service's start call
};

}  // namespace vx
