#include "engine/world/behaviours/StatusBehaviours.h"

#include <string>

#include "engine/hostlink/HostComponent.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"
#include "engine/world/nodes/ScriptNode.h"

namespace vx {
namespace {

class CDownloadStatusBehaviour : public CBehaviour {
 public:
  void Tick(CViewContext&, CScriptNode& node, RenderPass) override {
    const std::string text = DownloadProgressText();
    if (!text.empty()) SendStrings(node, "status", std::span<const std::string>(&text, 1));
  }
};

}  // namespace

void RegisterStatusBehaviours(BehaviourTable& table) {
  table.Add<CDownloadStatusBehaviour>("downloadStatus", BehaviourStart::kAtOnce);
  table.Add<CBehaviour>("speechRecognition", BehaviourStart::kAtOnce);
}

}  // namespace vx
