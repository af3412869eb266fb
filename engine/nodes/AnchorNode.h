// Anchor: a grouping node whose children, when clicked, send the view to the
// Anchor's first url, in the target frame named by a "target=" entry of its
// `parameter` list. A relative url names a file beside the world the Anchor
// was read from (an inlined file's own folder for an Anchor inside an
// Inline); urls with a scheme and absolute paths go to the view as they are.
#pragma once

#include <optional>
#include <string>

#include "engine/scene/Node.h"

namespace vx {

class NodeClassTable;

// Where a click on an Anchor leads: copies of the url and the target, so
// that loading the link may change the Anchor's fields (or free the Anchor)
// without touching the text being followed.
struct AnchorLink {
  std::string url;
  std::string target;
};

// The target frame of a parameter list: the first entry that begins with
// "target" gives the text after its first 7 characters ("target=" and then
// the name); empty when no entry does or the entry ends early.
std::string AnchorTarget(const MFString& parameter);

class CAnchorNode : public CNode {
 public:
  CAnchorNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeAnchor; }
  void Traverse(RenderPass pass, CViewContext* view) override;
  int OnEventIn(bool isField, int index, const void* value) override;
  // Follows the link through the view that owns the context.
  void OnPointerClick(CViewContext* view) override;

  // The link of the first url, resolved when it is relative; none while
  // `url` is empty.
  std::optional<AnchorLink> GetLink() const;

  SFVec3f bboxCenter{};
  SFVec3f bboxSize{};
  MFNode children{};
  SFString description{};
  MFString parameter{};
  MFString url{};

 protected:
  ~CAnchorNode() override = default;
};

void RegisterAnchorNode(NodeClassTable& table);

}  // namespace vx
