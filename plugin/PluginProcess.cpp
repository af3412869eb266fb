#include "plugin/PluginProcess.h"

#include "host/BlockingDownload.h"
#include "host/ComponentManager.h"
#include "host/DownloadManager.h"
#include "host/EngineCalls.h"
#include "host/ProductRegistry.h"
#include "host/ProgressWindow.h"
#include "plugin/PluginLimits.h"

namespace vx::plugin {
namespace {

constexpr std::string_view kWebPrefix = "http://";
constexpr const char* kAskForCoreText =
    "The component package Vantesselx_x.dll is not present in your Components folder. The Vantessel Plugin can not "
    "continue without it! Would you like to connect to the internet and download the latest copy?";

PluginProcess gProcess;
host::CProductRegistry* gRegistry = nullptr;

bool CoreLoaded() { return host::ComponentManager() && host::ComponentManager()->CoreLoaded(); }

// The daily check of a page from the web runs on the browser's thread: it
// holds the page at most the budget, and when that runs out the check is
// over until the next day it is due. Only fetching a missing engine, without
// which nothing shows, may take longer.
void CheckForUpdatesWithinBudget() {
  {
    const host::DownloadDeadline deadline(kUpdateCheckBudgetMs);
    static_cast<void>(gRegistry->CheckShellVersion());
    static_cast<void>(host::CreateComponentManager(host::HostKind::Plugin));
    if (CoreLoaded()) static_cast<void>(host::ComponentManager()->EnsureCoreComponent());
    if (deadline.Passed()) host::VxDownloadWriteConfig();
  }
  if (!CoreLoaded()) static_cast<void>(host::ComponentManager()->EnsureCoreComponent());
}

// Starts the host runtime; true when networking is to be on.
bool StartHostRuntime(std::string_view pageUrl) {
  host::AcquireDownloadManager();
  if (!gRegistry) gRegistry = host::AcquireProductRegistry(host::HostKind::Plugin);
  const bool fromWeb = pageUrl.starts_with(kWebPrefix);
  bool network = fromWeb;
  if (fromWeb) {
    CheckForUpdatesWithinBudget();
  } else {
    static_cast<void>(host::CreateComponentManager(host::HostKind::Plugin));
    if (!CoreLoaded() && host::CProgressWindow::Query(kAskForCoreText) == host::kQueryYes) {
      static_cast<void>(host::ComponentManager()->EnsureCoreComponent());
      network = true;
    }
  }
  // The engine instance takes its own hold of the download manager.
  host::ReleaseDownloadManager();
  return network;
}

}  // namespace

PluginProcess& Process() { return gProcess; }

void InitializeProcess() {
  gProcess.instances.Clear();
  gProcess.engineStarted = false;
  gProcess.engine = nullptr;
}

void ShutdownProcess() {
  if (gProcess.engine) static_cast<void>(host::engine::DestroyEngineInstance(gProcess.engine));
  gProcess.engine = nullptr;
  gProcess.engineStarted = false;
  host::DestroyComponentManager();
  if (gRegistry) host::ReleaseProductRegistry();
  gRegistry = nullptr;
  gProcess.instances.Clear();
}

EngineInstance* StartEngine(std::string_view pageUrl) {
  if (gProcess.engineStarted) return gProcess.engine;
  const bool network = StartHostRuntime(pageUrl);
  if (!CoreLoaded() || gProcess.engine) return gProcess.engine;
  gProcess.engineStarted = true;
  gProcess.engine = host::engine::CreateEngineInstance();
  if (gProcess.engine && network) static_cast<void>(host::engine::SetNetworkEnabled(gProcess.engine, 1));
  return gProcess.engine;
}

}  // namespace vx::plugin
