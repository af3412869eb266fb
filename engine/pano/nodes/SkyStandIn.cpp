#include "engine/pano/nodes/SkyStandIn.h"

namespace vx {

bool CSkyStandIn::Follow(const PanoContext& panorama, int16_t projection, const AngleRangeF& extent,
                         const MediaImageInfo& sky) {
  if (!context_) context_ = PanoCreate();
  if (!context_) return false;
  PanoContext* own = context_.get();
  own->fillColour = panorama.fillColour;
  own->fillIndex = panorama.fillIndex;
  PanoSetImageExtent(own, extent);
  if (!own->renderer || projection != projection_) {
    if (PanoCreateRenderer(own, sky, projection) != kPanoOk) return false;
    projection_ = projection;
  }
  PanoSetViewLimits(own, panorama.viewLimits);
  PanoSetSourceImage(own, sky);
  const CPanoView& view = *panorama.view;
  PanoSetOutputRect(own, view.GetOutputImage());
  PanoSetFieldOfView(own, static_cast<float>(view.GetFieldOfView().vertical));
  PanoAngles angles;
  PanoGetViewAngles(&panorama, &angles);
  PanoSetViewAngles(own, angles);
  PanoSetResolution(own, static_cast<int16_t>(view.GetResolution()));
  PanoSetViewFlag(own, static_cast<uint32_t>(view.GetInterlace()));
  PanoSetFrameWord(own, panorama.frameWord);
  return true;
}

bool CSkyStandIn::Draw(const PanoContext& panorama, int16_t projection, const AngleRangeF& extent,
                       const MediaImageInfo& sky) {
  if (!panorama.view || !sky.bits) return false;
  if (!Follow(panorama, projection, extent, sky)) return false;
  return PanoPrepareRender(context_.get()) == kPanoOk && PanoDrawFrame(context_.get()) == kPanoOk;
}

}  // namespace vx
