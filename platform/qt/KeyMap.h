// The layer's name of a key Qt reports.
#pragma once

#include <Qt>

#include "platform/Key.h"

namespace vx {

// kNone for keys the layer does not name (punctuation, media keys).
Key KeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers);

}  // namespace vx
