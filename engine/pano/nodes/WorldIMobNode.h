// WorldIMob: an image object on a quad in the world that always turns to
// face the viewer, upright. An object movie on it shows the frame for the
// direction the viewer looks at the object from (plus drags and the
// automatic rate); the pointer reaches it through the geometry stage's pick.
#pragma once

#include <memory>

#include "engine/pano/nodes/ImageObjectNode.h"
#include "engine/render/MeshBuffer.h"

namespace vx {

class NodeClassTable;

class CWorldIMobNode final : public CImageObjectNode {
 public:
  CWorldIMobNode();

  NodeTypeId GetTypeId() const override { return NodeTypeWorldIMob; }
  void OnPointerClick(CViewContext* view) override;
  void OnPointerOver() override;

  // Null while unloaded.
  const CMeshBuffer* GetMesh() const { return mesh_.get(); }
  // What vertical drags of a "DISK" add up to; kept across loads.
  float GetDiskDrag() const { return diskDrag_; }

  float width = 4.0f;
  float height = 3.0f;

 protected:
  ~CWorldIMobNode() override = default;

 private:
  // The quad's centre, the vector from it to the viewer, and the object's
  // own z axis, in the world.
  struct Placement {
    CVec3f centre;
    CVec3f towardsViewer;
    CVec3f axis;
  };

  void Load(CViewContext& view) override;
  void Frame(CViewContext& view) override;
  void Unload(CViewContext& view) override;
  void DragFirstAxis(float rangeWidth, float dy) override;

  Placement PlaceInWorld(CViewContext& view) const;
  // False when the quad has no finite corners to draw.
  bool FaceViewer(const Placement& placement);
  void AddViewerAngles(const Placement& placement);
  void Draw(CViewContext& view);
  void Pick(CViewContext& view);

  std::unique_ptr<CMeshBuffer> mesh_;
  MaterialRecord material_;
  float diskDrag_ = 0.0f;
};

void RegisterWorldIMobNode(NodeClassTable& table);

}  // namespace vx
