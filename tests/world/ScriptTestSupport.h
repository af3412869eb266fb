// Worlds of Script nodes for the behaviour tests: a world read from text,
// drawn frame by frame into a headless view, and a host function that
// records every call a Script makes to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "WorldTestNodes.h"
#include "engine/world/Browser.h"

namespace vx::test {

// One call of the recording host function.
struct ScriptCall {
  std::string defName;
  std::string url;
  std::string eventIn;
  int32_t valType = 0;
  FieldType type = FieldTypeNone;  // the eventIn's declared type
  double number = 0.0;             // the value of a number or SFBool; x of a vector
  const void* value = nullptr;
};

// A world read from a scene body, with a headless view that draws it and
// the host function "record" (registered while the world lives; Scripts
// with the url "record:" call it).
class ScriptWorld {
 public:
  explicit ScriptWorld(const std::string& body);
  ~ScriptWorld();

  // One frame of the world in the view.
  void Frame();
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  CNode& Node(const char* defName);
  template <typename T>
  void Send(const char* defName, const char* eventIn, const T& value) {
    (void)Node(defName).ReceiveEvent(eventIn, &value);
  }
  // Calls of the recording function for that eventIn, in order.
  std::vector<ScriptCall> CallsTo(const std::string& eventIn) const;

  std::unique_ptr<CBrowser> world;
  HeadlessView view{32, 24};
  std::vector<ScriptCall> calls;
  // Called from inside the recording function, once per call.
  void (*onCall)(ScriptWorld& self, const ScriptCall& call) = nullptr;

 private:
  static void Record(int32_t code, void* data, void* self);
};

}  // namespace vx::test
