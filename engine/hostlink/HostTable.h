// The host's component table ("ComponentManager"), which the engine keeps
// from its builder call and through which it reaches every host component
// ("Vx_Download", "Compression") by name and slot number at each call.
#pragma once

#include <cstdint>

#include <vantessel/Component.h>

namespace vx {

// Keeps the table (VxHostSlotCount entries, owned by the host and alive while
// the engine is loaded); null forgets it. The builder keeps the first table
// it is given.
void SetHostTable(const VxSlotFunction* table);
const VxSlotFunction* GetHostTable();

// Slot number slot of the host component of that name; null when no table is
// kept, the table has no lookup, or the host has no such slot.
VxSlotFunction GetComponentSlot(const char* name, int32_t slot);

}  // namespace vx
