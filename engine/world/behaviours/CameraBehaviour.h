// "setCamera" (also "camera"): moves the view's camera to an orientation, a
// position or a field of view over a duration, holding the user's navigation
// of what it moves meanwhile, and reports the camera whenever it changes.
#pragma once

namespace vx {

class BehaviourTable;

void RegisterCameraBehaviour(BehaviourTable& table);

}  // namespace vx
