// The instances that hand the keyboard focus to each other when clicked.
//
// An instance is entered once, however many streams it receives, and leaves
// only if it was entered; past kMaxInstances instances are not entered.
#pragma once

#include <array>

#include "plugin/PluginLimits.h"

namespace vx::plugin {

struct PluginInstance;

class InstanceTable {
 public:
  // False when the table is full (the instance stays out) or holds it already.
  bool Add(PluginInstance* instance);
  // Nothing happens for an instance the table does not hold.
  void Remove(PluginInstance* instance);
  bool Contains(const PluginInstance* instance) const;
  int Count() const { return count_; }
  void Clear();

  template <typename Fn>
  void ForEach(Fn fn) const {
    for (PluginInstance* instance : entries_)
      if (instance) fn(*instance);
  }

 private:
  std::array<PluginInstance*, kMaxInstances> entries_{};
  int count_ = 0;
};

}  // namespace vx::plugin
