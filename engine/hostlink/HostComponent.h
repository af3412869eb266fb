// The engine's hold on one component of the host, reached through the host
// table kept from the builder call: the handle taken at construction is given
// back at destruction, and each slot is fetched through it at every call.
#pragma once

#include <memory>
#include <string>

#include <vantessel/Component.h>

namespace vx {

class CHostComponent {
 public:
  explicit CHostComponent(const char* name);
  ~CHostComponent();
  CHostComponent(const CHostComponent&) = delete;
  CHostComponent& operator=(const CHostComponent&) = delete;

  // False when the host has no such component (or no table is kept).
  bool IsAvailable() const { return handle_ != nullptr; }
  const std::string& GetName() const { return name_; }

  // Slot number slot of the component, cast to its signature; null when the
  // component or the slot is missing.
  template <typename Fn>
  Fn Slot(int32_t slot) const {
    return reinterpret_cast<Fn>(SlotFunction(slot));
  }

 private:
  VxSlotFunction SlotFunction(int32_t slot) const;

  ComponentHandle* handle_ = nullptr;
  std::string name_;
};

// The engine's one "Vx_Download" component, shared by every user and given
// back with its last user.
std::shared_ptr<CHostComponent> AcquireDownloadComponent();
// That component while someone holds it; null otherwise.
std::shared_ptr<CHostComponent> GetDownloadComponent();
// The shared download component's progress text; empty while nobody holds
// the component or the host does not offer the text.
std::string DownloadProgressText();

}  // namespace vx
