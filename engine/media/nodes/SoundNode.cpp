#include "engine/media/nodes/SoundNode.h"

#include <algorithm>

#include "engine/media/nodes/AudioClipNode.h"
#include "engine/media/nodes/SoundReceiver.h"
#include "engine/scene/NodeFactory.h"
#include "engine/world/ViewContext.h"

namespace vx {
namespace {

constexpr FieldSpec kSoundFields[] = {
    Field<&CSoundNode::direction>("direction", DefaultFloats(0, 0, 1)),
    Field<&CSoundNode::intensity>("intensity", DefaultFloats(1)),
    Field<&CSoundNode::location>("location", DefaultFloats(0, 0, 0)),
    Field<&CSoundNode::maxBack>("maxBack", DefaultFloats(10)),
    Field<&CSoundNode::maxFront>("maxFront", DefaultFloats(10)),
    Field<&CSoundNode::minBack>("minBack", DefaultFloats(1)),
    Field<&CSoundNode::minFront>("minFront", DefaultFloats(1)),
    Field<&CSoundNode::priority>("priority", DefaultFloats(0)),
    Field<&CSoundNode::source>("source"),
    Field<&CSoundNode::spatialize>("spatialize", DefaultBool(true)),
};
constexpr FieldTable kSoundTable{Section(kSoundFields), {}, {}};

// How far the two ears' directions turn from the view direction.
constexpr float kEarAngle = 1.4f;
constexpr float kBalanceScale = 0.125f;

CVec3f Of(const SFVec3f& value) { return {value.x, value.y, value.z}; }

// Full intensity inside the inner ellipse, nothing beyond the outer one, a
// straight fall between. Ellipses of one size (or crossed ones) have no
// fall: the sound is heard fully up to them, so nothing divides by zero.
float FallOff(float distance, float inner, float outer, float intensity) {
  if (distance < inner) return intensity;
  if (distance > outer) return 0.0f;
  if (outer <= inner) return intensity;
  return (1.0f - (distance - inner) / (outer - inner)) * intensity;
}

}  // namespace

CSoundNode::CSoundNode() { RegisterFields(kSoundTable); }

SoundHeard CSoundNode::Hear(const SoundPlacement& placement) const {
  const bool elliptic = maxBack != maxFront || minBack != minFront;
  float inner = minFront;
  float outer = maxFront;
  SoundHeard heard;
  CVec3f toListener = placement.listener - placement.location;
  const float distance = toListener.Length();
  toListener.Normalize();
  CVec3f view = placement.viewDirection;
  view.Normalize();
  if (elliptic) {
    if (placement.direction.Dot(toListener) < 0.0f) {
      inner = minBack;
      outer = maxBack;
    }
    if (spatialize) {
      CVec3f leftEar = view;
      CVec3f rightEar = view;
      leftEar.RotateAboutAxis(1, kEarAngle).Normalize();
      rightEar.RotateAboutAxis(1, -kEarAngle).Normalize();
      heard.balance = (leftEar.Dot(toListener) - rightEar.Dot(toListener)) * kBalanceScale;
    }
  }
  float volume = FallOff(distance, inner, outer, intensity);
  if (elliptic) {
    const float facing = (1.0f - view.Dot(toListener)) * 0.5f;
    const float turn = 0.5f * facing + 0.5f;
    volume *= turn * turn;
  }
  heard.volume = std::clamp(volume, 0.0f, 1.0f);
  return heard;
}

void CSoundNode::Traverse(RenderPass pass, CViewContext* view) {
  CNode* node = source.Resolve();
  auto* clip = dynamic_cast<CAudioClipNode*>(node);
  if (pass != RenderPass::Frame) {
    if (clip) clip->Step(pass);
    return;
  }
  auto* receiver = dynamic_cast<ISoundReceiver*>(node);
  if (!receiver || !view) return;
  CVec3f at = Of(location);
  view->TransformPoint(at);
  CVec3f ahead = Of(location) + Of(direction);
  view->TransformPoint(ahead);
  CVec3f facing = ahead - at;
  facing.Normalize();
  const SoundHeard heard = Hear({view->GetPosition(), view->GetViewDirection(), at, facing});
  receiver->ReceiveSound(heard.volume, heard.balance);
  if (clip) clip->Step(RenderPass::Frame);
}

void RegisterSoundNode(NodeClassTable& table) { table.Add<CSoundNode>("Sound"); }

}  // namespace vx
