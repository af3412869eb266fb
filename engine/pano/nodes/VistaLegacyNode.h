// Vista (version 1.0), for worlds written before the version-1.5 node: it
// binds when its world is activated in a view and unbinds when the world is
// left, tries the pictures of its own `filename` list in turn, may put the
// camera at its `position`, and walks its own children. While loading it
// shows the grey placeholder; it has no sky, stereo or still frame.
#pragma once

#include <cstdint>

#include "engine/pano/nodes/VistaBase.h"

namespace vx {

class CVistaLegacyNode : public CVistaBase {
 public:
  CVistaLegacyNode();

  void Traverse(RenderPass pass, CViewContext* view) override;

  // The picture's frame callback: the placeholder, whatever the message.
  static void PaintBackground(int32_t message, void* image, void* node);

  MFString filename{};
  SFVec2f vFov{};
  SFVec2f hFov{};
  SFString description{};
  SFString copyright{};
  MFNode children{};
  SFColor backColor{};
  SFVec3f position{};
  int16_t stereo = 0;

 protected:
  ~CVistaLegacyNode() override;

  SFVec2f VerticalExtent() const override { return vFov; }
  SFVec2f HorizontalExtent() const override { return hFov; }
  void StoreVerticalExtent(const SFVec2f& extent) override { vFov = extent; }
  MediaCallback PictureCallback() override { return {this, &PaintBackground}; }

 private:
  void Activate(CViewContext& view);
  void Deactivate(CViewContext& view);
  void PlaceCamera(CViewContext& view);
  void DrawFrame(CViewContext& view);
  void StepPicture(CViewContext& view);
};

}  // namespace vx
