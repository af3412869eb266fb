#include "engine/nodes/AnchorNode.h"

#include <string_view>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/ViewServices.h"
#include "engine/scene/GroupNode.h"
#include "engine/world/ViewContext.h"

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

// A url with a scheme ("http:", "file:", "mailto:" ...) or an absolute path
// is followed as it is.
bool IsRelative(std::string_view url) {
  if (url.empty() || url.starts_with('/') || url.starts_with('\\') || url.starts_with('#')) return false;
  const size_t colon = url.find(':');
  return colon == std::string_view::npos || url.find_first_of("/\\#") < colon;
}

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
  AnchorLink link{std::string(TextOf(url[0])), AnchorTarget(parameter)};
  if (std::string resolved; IsRelative(link.url) && ResolveUrl(link.url, resolved) == 0) link.url = std::move(resolved);
  return link;
}

void CAnchorNode::OnPointerClick(CViewContext* view) {
  IViewServices* services = view ? view->GetServices() : nullptr;
  const std::optional<AnchorLink> link = GetLink();
  if (!services || !link) return;
  services->LoadWorld(link->url.c_str(), link->target.empty() ? nullptr : link->target.c_str());
}

void RegisterAnchorNode(NodeClassTable& table) { table.Add<CAnchorNode>("Anchor"); }

}  // namespace vx
