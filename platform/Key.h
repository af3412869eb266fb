// Keys of the keyboard, as the layer names them.
//
// Letters and digits have the numbers of their upper-case ASCII characters;
// the rest are numbered from 0x100 on. Left and right modifier keys are not
// told apart.
#pragma once

#include <cstdint>

namespace vx {

enum class Key : uint16_t {
  kNone = 0,
  k0 = '0', k1, k2, k3, k4, k5, k6, k7, k8, k9,
  kA = 'A', kB, kC, kD, kE, kF, kG, kH, kI, kJ, kK, kL, kM,
  kN, kO, kP, kQ, kR, kS, kT, kU, kV, kW, kX, kY, kZ,
  kSpace = 0x100, kEnter, kTab, kBackspace, kEscape,
  kShift, kControl, kAlt, kCapsLock, kClear,
  kLeft, kRight, kUp, kDown,
  kInsert, kDelete, kHome, kEnd, kPageUp, kPageDown,
  kF1, kF2, kF3, kF4, kF5, kF6, kF7, kF8, kF9, kF10, kF11, kF12, kF13, kF14, kF15,
  kKeypad0, kKeypad1, kKeypad2, kKeypad3, kKeypad4, kKeypad5, kKeypad6, kKeypad7, kKeypad8, kKeypad9,
  kKeypadPlus, kKeypadMinus, kKeypadMultiply, kKeypadDivide, kKeypadDecimal,
  kCount  // one past the last key
};

}  // namespace vx
