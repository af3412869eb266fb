// What the image, movie and slide-show textures share: the handle of the url
// in use, which gives way to the next url when its load fails; the image
// record the handle fills; the colour handed to the decoder; and the
// material part they all write.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/media/MediaHandle.h"
#include "engine/render/GeometryStage.h"
#include "engine/scene/Node.h"
#include "engine/world/OverlayMaterial.h"
#include "engine/world/ViewContext.h"

namespace vx {

inline constexpr FloatColor kTextureStartColor{0.5f, 0.5f, 0.5f};

// A load that ended without a picture: the next url is tried.
constexpr bool TextureLoadFailed(int32_t state) { return state == MediaFailedNoFile || state == MediaUnusable; }

// The picture (when the image has pixels) and the chroma key (when its red
// component is 0 or more: keyed texels are transparent and the texture is
// drawn unlit) go into the record.
void FillTextureImage(MaterialRecord& record, const PixelMap& image, const SFColor& chromaKey);

// The repeat fields of a texture node into the record. FALSE clamps the
// coordinates to the picture's edge in worlds of the standard's convention;
// worlds made for this system were composed with textures that always tile,
// and keep tiling.
void FillTextureRepeat(MaterialRecord& record, const CNode& node, int16_t repeatS, int16_t repeatT);

// Seconds on the clock of the view's world; 0 without one.
double WorldTimeOf(const CViewContext& view);

template <typename Handle>
class CTextureLoad {
 public:
  using Maker = std::unique_ptr<Handle> (*)(const char* name);

  explicit CTextureLoad(Maker make) : make_(make) {}
  ~CTextureLoad() { Release(); }
  CTextureLoad(const CTextureLoad&) = delete;
  CTextureLoad& operator=(const CTextureLoad&) = delete;

  // Opens the first url, unless the load is active already; true when it
  // started.
  bool Activate(const CNode& node, const MFString& urls, CViewContext& view) {
    if (active_) return false;
    active_ = true;
    Release();
    next_ = 0;
    OpenNext(node, urls, view);
    return true;
  }
  void Deactivate() {
    Release();
    active_ = false;
  }
  bool IsActive() const { return active_; }

  // One loading step. A url whose load failed, or that made no handle (no
  // such format, or a name that does not resolve), gives way to the next
  // one; true when that happened.
  bool Step(const CNode& node, const MFString& urls, CViewContext& view) {
    if (handle_) state_ = ProcessAt(view);
    if (!TextureLoadFailed(state_) || next_ >= urls.count) return false;
    Release();
    OpenNext(node, urls, view);
    return true;
  }

  // The handle's current picture into the record; an empty record when it
  // has none.
  void TakeImage() {
    PixelMap taken;
    if (!handle_ || handle_->GetImageInfo(&taken) != 0) taken = {};
    if (taken.bits != image_.bits) ForgetOverlayTexture(image_.bits);
    image_ = taken;
  }

  // Frees the handle and with it the pixels of the record; the load stays
  // active.
  void Release() {
    ForgetOverlayTexture(image_.bits);
    image_ = {};
    handle_.reset();
    state_ = MediaFailedNoFile;
  }

  // The material colour the decoder fills and keys with.
  void HandColor(const FloatColor& color) {
    color_ = color;
    if (handle_) handle_->SetFillColor(color_);
  }
  // The colour that tile masks show through, for the handles opened from
  // now on.
  void SetMaskColor(const FloatColor& color) { mask_ = color; }

  Handle* Get() const { return handle_.get(); }
  const PixelMap& Image() const { return image_; }
  // The opacity of the picture in Image(), texel for texel (AlphaPlane,
  // MediaTypes.h); null while there is no picture or its file has none, so
  // opaque pictures draw as they always have.
  const AlphaPlane* Alpha() const { return image_.bits && handle_ ? handle_->GetAlpha() : nullptr; }
  int32_t State() const { return state_; }

 private:
  void OpenNext(const CNode& node, const MFString& urls, CViewContext& view) {
    if (next_ >= urls.count) return;
    std::string resolved;
    const int result = node.ResolveUrl(TextOf(urls[next_]), resolved);
    ++next_;
    if (result != 0) return;
    handle_ = make_(resolved.c_str());
    if (!handle_) return;
    handle_->SetPalette(&view.GetColorTable());
    if (mask_) handle_->SetMaskColor(*mask_);
    handle_->SetPixelDepth(view.GetColorDepth());
    handle_->SetFillColor(color_);
    state_ = ProcessAt(view);
  }

  // One step of the handle on the clock of the world the view shows.
  int32_t ProcessAt(const CViewContext& view) {
    handle_->SetWorldTime(WorldTimeOf(view));
    return handle_->Process();
  }

  Maker make_;
  std::unique_ptr<Handle> handle_;
  PixelMap image_;
  FloatColor color_ = kTextureStartColor;
  std::optional<FloatColor> mask_;
  int32_t next_ = 0;
  int32_t state_ = MediaFailedNoFile;
  bool active_ = false;
};

}  // namespace vx
