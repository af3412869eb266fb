// "downloadStatus" publishes the download service's progress text every
// frame it has one; "speechRecognition" is a name that scenes may use and
// does nothing.
#pragma once

namespace vx {

class BehaviourTable;

void RegisterStatusBehaviours(BehaviourTable& table);

}  // namespace vx
