// What the plug-in keeps once per process: the instances that share the
// focus and the engine, which starts with the first stream.
#pragma once

#include <string_view>

#include "plugin/InstanceTable.h"
#include "vantessel/Engine.h"

namespace vx::plugin {

struct PluginProcess {
  InstanceTable instances;
  bool engineStarted = false;
  EngineInstance* engine = nullptr;
};

PluginProcess& Process();

// A process with no instances and no engine.
void InitializeProcess();
// Destroys the engine and takes the host runtime down.
void ShutdownProcess();

// On the first stream: starts the host runtime, which loads the engine
// component and, for pages from the web, checks for updates when they are
// due; then makes the engine instance, networking on for pages from the web.
// When the engine component is missing and the user declines to fetch it,
// nothing starts and a later stream tries again. The engine instance, null
// when there is none.
EngineInstance* StartEngine(std::string_view pageUrl);

}  // namespace vx::plugin
