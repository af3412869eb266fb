// Worlds of Script nodes for the behaviour tests: a world read from text,
// drawn frame by frame into a headless view, and a host function that
// records every call a Script makes to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "WorldTestNodes.h"
#include "engine/render/PixelMap.h"
#include "engine/scene/ViewServices.h"
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

// The view services of a headless view: they keep the cursors asked for,
// each with the number of the world's frame it was asked in.
class CCursorServices : public IViewServices {
 public:
  explicit CCursorServices(const CBrowser& world) : world_(world) {}
  void LoadWorld(const char*, const char*) override {}
  PixelMap GetBackImage() const override { return {}; }
  void CopyBackImageToFrame() override {}
  bool IsKeyDown(int32_t) const override { return false; }
  void SetCursor(int32_t cursor) override { cursors.push_back({world_.GetFrameCount(), cursor}); }
  void BindPanorama(CNode*, PanoramaStack) override {}
  double GetWorldTime() const override { return world_.GetWorldTime(); }

  struct Cursor {
    int32_t frame;
    int32_t cursor;
    bool operator==(const Cursor&) const = default;
  };
  std::vector<Cursor> cursors;

 private:
  const CBrowser& world_;
};

// A world read from a scene body, with a headless view that draws it, view
// services that keep the cursors, and the host function "record"
// (registered while the world lives; Scripts with the url "record:" call
// it).
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
  CCursorServices services{*world};
  std::vector<ScriptCall> calls;
  // Called from inside the recording function, once per call.
  void (*onCall)(ScriptWorld& self, const ScriptCall& call) = nullptr;

 private:
  static void Record(int32_t code, void* data, void* self);
};

}  // namespace vx::test
