// Three behaviours that do one small thing each: "setVal" sends the value of
// the field val, "setCursor" shows a named cursor, "getTime" reports the
// world time.
#pragma once

namespace vx {

class BehaviourTable;

void RegisterSimpleBehaviours(BehaviourTable& table);

}  // namespace vx
