#include "engine/media/SharedInverseMap.h"

#include <array>

namespace vx {
namespace {

struct InverseMapState {
  std::array<uint8_t, kInverseMap555Size> map{};
  bool built = false;
};

InverseMapState& SharedState() {
  static InverseMapState state;
  return state;
}

}  // namespace

const uint8_t* GetSharedInverseMap(const PaletteTable& palette) {
  InverseMapState& state = SharedState();
  if (!state.built) {
    state.map.fill(0);
    BuildInverseColorMap555(palette, state.map);
    state.built = true;
  }
  return state.map.data();
}

void ResetSharedInverseMap() { SharedState().built = false; }

}  // namespace vx
