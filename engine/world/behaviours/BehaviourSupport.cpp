#include "engine/world/behaviours/BehaviourSupport.h"

#include <cmath>

#include "engine/scene/ViewServices.h"
#include "engine/world/Browser.h"
#include "engine/world/ViewContext.h"
#include "engine/world/behaviours/BehaviourLimits.h"

namespace vx {
namespace {

constexpr size_t kChangedSuffixLength = std::string_view("_changed").size();

}  // namespace

FieldType SentEventType(const CNode& node, std::string_view eventOut) {
  // The same lookup order as SendEvent: the eventOut first, then the field.
  if (const int index = node.FindEventOut(eventOut); index >= 0) {
    return node.GetFieldTable()->eventOuts[static_cast<size_t>(index)].type;
  }
  if (eventOut.size() <= kChangedSuffixLength) return FieldTypeNone;
  return node.GetFieldType(eventOut.substr(0, eventOut.size() - kChangedSuffixLength));
}

bool SendFieldValue(CNode& node, std::string_view field, std::string_view eventOut) {
  const FieldType type = node.GetFieldType(field);
  const void* value = type == FieldTypeNone ? nullptr : node.GetFieldByName(field);
  if (!value) return false;
  if (SentEventType(node, eventOut) == type) node.SendEvent(eventOut, value);
  return true;
}

bool ShowNamedCursor(CViewContext& view, std::string_view name) {
  int32_t cursor;
  if (name == "ARROW") {
    cursor = 0;
  } else if (name == "PAN") {
    cursor = 1;
  } else if (name == "LINK") {
    cursor = 2;
  } else {
    return false;
  }
  if (IViewServices* services = view.GetServices()) services->SetCursor(cursor);
  return true;
}

float WrapAngleOnce(float difference) {
  if (difference > kAngleWrapLimit) return difference - kAngleWrapTurn;
  if (difference < -kAngleWrapLimit) return difference + kAngleWrapTurn;
  return difference;
}

float WrapAngle(float difference) {
  // A far angle is cut by a remainder first, so that one more turn at most
  // brings it into range.
  if (std::fabs(difference) > kAngleWrapTurn) difference = std::fmod(difference, kAngleWrapTurn);
  return WrapAngleOnce(difference);
}

int32_t FramesForDuration(double frameRate, double seconds) {
  const double frames = std::trunc(frameRate * seconds);
  if (!(frames >= 1.0)) return 0;  // also NaN
  return frames >= kMaxMoveFrames ? kMaxMoveFrames : static_cast<int32_t>(frames);
}

bool IsTrueEvent(const ScriptEvent& event) {
  const int16_t* on = event.As<int16_t>();
  return on && *on;
}

void SendStrings(CNode& node, std::string_view eventOut, std::span<const std::string> lines) {
  if (SentEventType(node, eventOut) != FieldTypeMFString) return;
  CFieldValue value(FieldTypeMFString);
  MFString& strings = value.As<MFString>();
  const auto count = static_cast<int32_t>(lines.size());
  strings.elements = static_cast<SFString*>(AllocFieldArray(FieldTypeMFString, count));
  if (count > 0 && !strings.elements) return;
  strings.count = count;
  for (int32_t i = 0; i < count; ++i) SetStringValue(strings.elements[i], lines[static_cast<size_t>(i)].c_str());
  node.SendEvent(eventOut, &strings);
}

void LoadLinkedWorld(CViewContext& view, const std::string& url, std::string_view viewpoint) {
  IViewServices* services = view.GetServices();
  if (!services) return;
  std::string target = url;
  if (!viewpoint.empty()) {
    // The view takes the text after the last '#' as the Viewpoint's name.
    if (const size_t mark = target.rfind('#'); mark != std::string::npos && mark > 0) target.resize(mark);
    target.append("#").append(viewpoint);
  }
  services->LoadWorld(target.c_str(), nullptr);
}

}  // namespace vx
