#include "engine/world/behaviours/StatusBehaviours.h"

#include <string>

#include <vantessel/Download.h>

#include "engine/hostlink/HostComponent.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"
#include "engine/world/nodes/ScriptNode.h"

namespace vx {
namespace {

// The service's progress text; empty without a service.
std::string DownloadProgressText() {
  const std::shared_ptr<CHostComponent> service = GetDownloadComponent();
  auto text = service ? service->Slot<VxDownloadGetProgressTextFn>(VxDownloadGetProgressTextSlot) : nullptr;
  if (!text) return {};
  char buffer[VX_DOWNLOAD_TEXT_SIZE] = {};
  text(buffer);
  buffer[VX_DOWNLOAD_TEXT_SIZE - 1] = '\0';
  return buffer;
}

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
