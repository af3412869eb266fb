#include "engine/scene/nodes/AnchorNode.h"

#include <string_view>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/nodes/GroupNode.h"

namespace vx {
namespace {

constexpr FieldSpec kAnchorFields[] = {
    Field<&CAnchorNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
    Field<&CAnchorNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
    Field<&CAnchorNode::children>("children"),
    Field<&CAnchorNode::description>("description", DefaultText("")),
    Field<&CAnchorNode::parameter>("parameter"),
    Field<&CAnchorNode::url>("url"),
};
constexpr FieldTable kAnchorTable{Section(kAnchorFields), Section(kGroupingEventIns), {}};

constexpr std::string_view kTargetWord = "target";
// The word and the character after it (normally '=') come before the name.
constexpr size_t kTargetNameStart = kTargetWord.size() + 1;

}  // namespace

std::string AnchorTarget(const MFString& parameter) {
  for (const SFString& entry : parameter.Span()) {
    const std::string_view text = TextOf(entry);
    if (!text.starts_with(kTargetWord)) continue;
    return text.size() > kTargetNameStart ? std::string(text.substr(kTargetNameStart)) : std::string();
  }
  return {};
}

CAnchorNode::CAnchorNode() { RegisterFields(kAnchorTable); }

void CAnchorNode::Traverse(RenderPass pass, CViewContext* view) { PickChildSensors(pass, view, children); }

int CAnchorNode::OnEventIn(bool isField, int index, const void* value) {
  return OnGroupingEventIn(*this, children, isField, index, value);
}

std::optional<AnchorLink> CAnchorNode::GetLink() const {
  if (url.count <= 0) return std::nullopt;
  return AnchorLink{std::string(TextOf(url[0])), AnchorTarget(parameter)};
}

void RegisterAnchorNode(NodeClassTable& table) { table.Add<CAnchorNode>("Anchor"); }

}  // namespace vx
