#include "plugin/InstanceTable.h"

#include <algorithm>

namespace vx::plugin {

bool InstanceTable::Add(PluginInstance* instance) {
  if (!instance || Contains(instance)) return false;
  auto free = std::find(entries_.begin(), entries_.end(), nullptr);
  if (free == entries_.end()) return false;
  *free = instance;
  ++count_;
  return true;
}

void InstanceTable::Remove(PluginInstance* instance) {
  auto entry = std::find(entries_.begin(), entries_.end(), instance);
  if (!instance || entry == entries_.end()) return;
  *entry = nullptr;
  --count_;
}

bool InstanceTable::Contains(const PluginInstance* instance) const {
  return std::find(entries_.begin(), entries_.end(), instance) != entries_.end();
}

void InstanceTable::Clear() {
  entries_.fill(nullptr);
  count_ = 0;
}

}  // namespace vx::plugin
