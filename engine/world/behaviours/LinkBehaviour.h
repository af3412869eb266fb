// "link": a rectangular hot area of a 2-D surface (a panorama's image, say)
// that shows a cursor when the pointer is over it and, when clicked, loads
// another world or sends values inside the scene, after an optional animated
// turn and zoom of the camera.
#pragma once

namespace vx {

class BehaviourTable;

void RegisterLinkBehaviour(BehaviourTable& table);

}  // namespace vx
