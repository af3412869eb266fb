// The engine interface: the component "Vexlin" that the library's builder
// registers with the host, and the functions of its slots.
#pragma once

#include <array>
#include <cstdint>

#include <vantessel/Component.h>
#include <vantessel/Engine.h>

namespace vx {

// The slots in the order the builder sets them; slot 5 is never set.
inline constexpr std::array<int16_t, 58> kEngineSlotRegistrationOrder = {
    1,  0,  2,  3,  4,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
    30, 31, 54, 32, 33, 55, 56, 34, 35, 36, 37, 38, 39, 40, 41, 42, 53, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52, 57, 58};

// The function of each slot; null for slot 5 and for slots whose service the
// engine does not offer yet.
const std::array<VxSlotFunction, VxEngineSlotCount>& EngineSlotFunctions();

// The builder: keeps the host table when none is kept yet, defines "Vexlin"
// with VxEngineSlotCount slots, version 2.2, and sets the slots in registration order.
// Returns the result of the last host call.
int32_t BuildEngineComponent(VxBuilderArgs* args);

}  // namespace vx
