#include "engine/interface/EngineInterface.h"

#include "engine/hostlink/HostTable.h"
#include "engine/interface/EngineSlotSupport.h"

namespace vx {
namespace {

// The host table's slots 2 to 4 as the builder calls them.
int32_t HostDefineComponent(const VxBuilderArgs& args, const char* name, int32_t value) {
  if (!GetHostTable()) SetHostTable(args.table);
  auto define = reinterpret_cast<VxDefineComponentFn>(args.table[VxHostDefineComponent]);
  return define(args.record, name, value);
}

int32_t HostSetSlotCount(const VxBuilderArgs& args, int16_t count, int32_t extra, int16_t major, int16_t minor) {
  auto setCount = reinterpret_cast<VxSetSlotCountFn>(args.table[VxHostSetSlotCount]);
  return setCount(args.record, count, extra, major, minor);
}

int32_t HostSetSlot(const VxBuilderArgs& args, int16_t slot, VxSlotFunction fn) {
  auto setSlot = reinterpret_cast<VxSetSlotFn>(args.table[VxHostSetSlot]);
  return setSlot(args.record, slot, fn);
}

EngineSlotTable MakeSlotTable() {
  EngineSlotTable table{};
  AddInstanceSlots(table);
  AddSceneSlots(table);
  AddNodeSlots(table);
  AddViewSlots(table);
  return table;
}

}  // namespace

const EngineSlotTable& EngineSlotFunctions() {
  static const EngineSlotTable table = MakeSlotTable();
  return table;
}

int32_t BuildEngineComponent(VxBuilderArgs* args) {
  if (!args || !args->table) return 1;
  HostDefineComponent(*args, VX_ENGINE_COMPONENT_NAME, 0);
  int32_t result = HostSetSlotCount(*args, VxEngineSlotCount, 0, VX_ENGINE_COMPONENT_MAJOR,
                                    VX_ENGINE_COMPONENT_MINOR);
  for (int16_t slot : kEngineSlotRegistrationOrder) {
    if (VxSlotFunction fn = EngineSlotFunctions()[slot]) result = HostSetSlot(*args, slot, fn);
  }
  return result;
}

}  // namespace vx
