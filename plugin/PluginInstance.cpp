#include "plugin/PluginInstance.h"

#include <new>

#include "plugin/Browser.h"

namespace vx::plugin {
namespace {

void FreeNow(PluginInstance* instance) {
  instance->~PluginInstance();
  BrowserFree(instance);
}

}  // namespace

InstanceCall::~InstanceCall() {
  if (--instance_.callDepth == 0 && instance_.destroyed) FreeNow(&instance_);
}

PluginInstance* NewPluginInstance() {
  void* memory = BrowserAlloc(sizeof(PluginInstance));
  return memory ? new (memory) PluginInstance() : nullptr;
}

void ReleasePluginInstance(PluginInstance* instance) {
  instance->destroyed = true;
  if (instance->callDepth == 0) FreeNow(instance);
}

}  // namespace vx::plugin
