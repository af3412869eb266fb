#include "engine/world/behaviours/SlideBehaviour.h"

#include <algorithm>

#include "engine/world/Browser.h"
#include "engine/world/nodes/ScriptNode.h"
#include "engine/world/ViewContext.h"
#include "engine/world/behaviours/BehaviourLimits.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"

namespace vx {
namespace {

constexpr int32_t kIdle = -1;

// Frames a move of that many seconds takes at the frame rate: at least one.
int32_t StepsFor(double frameRate, double duration) { return std::max(1, FramesForDuration(frameRate, duration)); }

// The translation the slide moves: the Transform's own value, found by its
// declared type.
SFVec3f* TranslationOf(CNode* transform) { return FieldOf<SFVec3f>(transform, "translation"); }

class CSlideBehaviour : public CBehaviour {
 public:
  void OnEventIn(const ScriptEvent& event, CScriptNode& node) override;
  void Tick(CViewContext& view, CScriptNode& node, RenderPass pass) override;

 private:
  // The direction an eventIn asks for; false when it asks for no move.
  bool ReadDirection(std::string_view name, CScriptNode& node);
  void Start(CScriptNode& node);

  int32_t step_ = kIdle;
  int32_t steps_ = 1;
  float direction_ = 0.0f;
  // Weak: the Transform may leave the scene while it moves.
  CNodeWeakRef transform_;
  SFVec3f delta_{};
  // The frame rate of the view that ran the slide last, which times a move.
  double frameRate_ = kDefaultFrameRate;
  FrameGate frames_;
};

bool CSlideBehaviour::ReadDirection(std::string_view name, CScriptNode& node) {
  const int16_t* state = FieldOf<int16_t>(&node, "state");
  if (name == "toggle") {
    if (state) direction_ = *state ? -1.0f : 1.0f;
  } else if (name == "on") {
    if (state && *state) return false;
    if (state) direction_ = 1.0f;
  } else if (name == "off") {
    if (state && !*state) return false;
    if (state) direction_ = -1.0f;
  } else {
    return false;
  }
  return true;
}

void CSlideBehaviour::OnEventIn(const ScriptEvent& event, CScriptNode& node) {
  // Every event first cuts a running move short at the next frame.
  steps_ = 1;
  direction_ = 0.0f;
  if (ReadDirection(event.name, node)) Start(node);
}

void CSlideBehaviour::Start(CScriptNode& node) {
  const CNodeRef* reference = FieldOf<CNodeRef>(&node, "transform");
  CNode* transform = reference ? reference->GetNode() : nullptr;
  const SFVec3f* displacement = FieldOf<SFVec3f>(&node, "translation");
  if (!transform || transform->GetTypeId() != NodeTypeTransform || !displacement) return;
  SFVec3f* translation = TranslationOf(transform);
  if (!translation) return;
  // A Transform places its children by the translation only once it was set;
  // setting it to its own value makes the move show.
  if (!transform->IsFieldSet(transform->FindField("translation"))) {
    const SFVec3f unchanged = *translation;
    transform->SetField("translation", &unchanged);
  }
  step_ = 0;
  transform_ = CNodeWeakRef(transform);
  if (const double* duration = FieldOf<double>(&node, "duration")) steps_ = StepsFor(frameRate_, *duration);
  const float scale = direction_ / static_cast<float>(steps_);
  delta_ = {displacement->x * scale, displacement->y * scale, displacement->z * scale};
}

void CSlideBehaviour::Tick(CViewContext& view, CScriptNode& node, RenderPass pass) {
  if (!frames_.IsNewFrame(view, pass)) return;
  if (const CBrowser* world = view.GetWorld()) frameRate_ = world->GetFrameRate();
  if (step_ < 0) return;
  if (step_ >= steps_) {
    step_ = kIdle;
    if (direction_ > 0.5f) SetTyped(node, "state", int16_t{1});
    if (direction_ < -0.5f) SetTyped(node, "state", int16_t{0});
    return;
  }
  SFVec3f* translation = TranslationOf(transform_.Get());
  if (!translation) {
    step_ = kIdle;  // the Transform is gone: the move ends where it was
    return;
  }
  translation->x += delta_.x;
  translation->y += delta_.y;
  translation->z += delta_.z;
  ++step_;
}

}  // namespace

void RegisterSlideBehaviour(BehaviourTable& table) { table.Add<CSlideBehaviour>("slide", BehaviourStart::kFirstFrame); }

}  // namespace vx
