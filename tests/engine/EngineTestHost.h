// A host for the engine module: loads Vantessel2_2.so through the platform
// loader, hands its builder a 7-slot host table of its own, records what the
// builder registers, and serves "Vx_Download" and "Compression" doubles.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <vantessel/Component.h>
#include <vantessel/Engine.h>

#include "platform/DynamicLibrary.h"

namespace vx::test {

struct DownloadDouble {
  int acquired = 0;
  int released = 0;
  int polls = 0;
  int cacheCleared = 0;
  int configWritten = 0;
  int32_t cacheLimit = 5000000;
  int32_t nextRequest = 3;
  std::string lastUrl;
  std::string lastLocalPath;
  std::string progressText = "Downloading";
};

class EngineTestHost {
 public:
  // Loads the module and runs its builder; the host is process-wide, since
  // the module keeps the first table it is given.
  static EngineTestHost& Get();

  const std::string& DefinedName() const { return definedName_; }
  int32_t DefinedValue() const { return definedValue_; }
  std::array<int32_t, 4> SlotCountCall() const { return slotCountCall_; }
  const std::vector<int16_t>& SetOrder() const { return setOrder_; }
  int32_t BuilderResult() const { return builderResult_; }

  // The registered function of an engine slot; null when it was not set.
  VxSlotFunction Slot(int slot) const { return slots_.at(slot); }
  template <typename Fn>
  Fn Engine(int slot) const {
    return reinterpret_cast<Fn>(Slot(slot));
  }

  DownloadDouble& Download() { return download_; }
  // What "Compression" slot 1 answers, and the paths it was given.
  int32_t decompressResult = 0;
  std::vector<std::string> decompressed;

 private:
  EngineTestHost();
  friend struct HostTableCalls;

  std::unique_ptr<DynamicLibrary> library_;
  std::array<VxSlotFunction, VxHostSlotCount> table_{};
  std::string definedName_;
  int32_t definedValue_ = -1;
  std::array<int32_t, 4> slotCountCall_{};
  std::vector<int16_t> setOrder_;
  std::array<VxSlotFunction, VxEngineSlotCount> slots_{};
  int32_t builderResult_ = -1;
  DownloadDouble download_;
};

// A slot's function of the module that the test host loaded.
template <typename Fn>
Fn Slot(VxEngineSlot slot) {
  return EngineTestHost::Get().Engine<Fn>(slot);
}

}  // namespace vx::test
