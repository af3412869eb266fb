#include "engine/hostlink/HostTable.h"

namespace vx {
namespace {

const VxSlotFunction*& KeptTable() {
  static const VxSlotFunction* table = nullptr;
  return table;
}

}  // namespace

void SetHostTable(const VxSlotFunction* table) { KeptTable() = table; }

const VxSlotFunction* GetHostTable() { return KeptTable(); }

VxSlotFunction GetComponentSlot(const char* name, int32_t slot) {
  const VxSlotFunction* table = KeptTable();
  if (!table || !table[VxHostGetSlotByName]) return nullptr;
  auto lookup = reinterpret_cast<VxGetSlotByNameFn>(table[VxHostGetSlotByName]);
  return lookup(name, slot);
}

}  // namespace vx
