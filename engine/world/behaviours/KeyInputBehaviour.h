// "keyInput": the characters typed into the view become a small multi-line
// text, written from the top down or from the bottom up, that scrolls when it
// is full and goes out whole after every change.
#pragma once

namespace vx {

class BehaviourTable;

void RegisterKeyInputBehaviour(BehaviourTable& table);

}  // namespace vx
