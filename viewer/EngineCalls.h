// The viewer reaches the engine through the host runtime's engine calls.
#pragma once

#include "host/EngineCalls.h"

namespace vx::viewer {
namespace engine = host::engine;
}
