// "slide": moves a Transform by a displacement and back, in steps over a
// duration, and reports which side it is on.
#pragma once

namespace vx {

class BehaviourTable;

void RegisterSlideBehaviour(BehaviourTable& table);

}  // namespace vx
