// What the built-in behaviours share: typed outputs through the Script's
// declared eventOuts, the cursors they name, angle wrapping, and following a
// link in the view that runs them.
//
// Parameters are the Script's declared fields, read through FieldOf (which
// checks the declared type first); a parameter declared with another type
// counts as not declared.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/scene/Node.h"
#include "engine/world/behaviours/BehaviourTable.h"
#include "engine/world/behaviours/FrameGate.h"
#include "engine/world/NavigationSettings.h"

namespace vx {

class CViewContext;

// The type of what CNode::SendEvent(eventOut) delivers: the eventOut's
// declared type, else that of the field the name without "_changed" names;
// FieldTypeNone when neither exists.
FieldType SentEventType(const CNode& node, std::string_view eventOut);

// Sends value through the eventOut only when it carries values of type T, so
// that no ROUTE target reads the value as another type.
template <typename T>
void SendTyped(CNode& node, std::string_view eventOut, const T& value) {
  if (SentEventType(node, eventOut) == FieldTypeOf<T>::value) node.SendEvent(eventOut, &value);
}

// Sends the declared field's value through the eventOut when the eventOut
// carries values of the field's type. False when the field is not declared.
bool SendFieldValue(CNode& node, std::string_view field, std::string_view eventOut);

// Sets the node's field, with its "_changed" event, only when it is declared
// with the type T.
template <typename T>
void SetTyped(CNode& node, std::string_view field, const T& value) {
  if (FieldOf<T>(&node, field)) node.SetField(field, &value);
}

// "ARROW" shows cursor 0, "PAN" cursor 1 and "LINK" cursor 2 in the view
// that runs the behaviour; false for any other name, which shows nothing.
bool ShowNamedCursor(CViewContext& view, std::string_view name);

// An angle difference brought into range by at most one turn.
float WrapAngleOnce(float difference);
// An angle difference brought into range by as many turns as it takes.
float WrapAngle(float difference);

// Whole frames that many seconds take at the frame rate: 0 for a duration
// of less than one frame (or not a number), at most kMaxMoveFrames.
int32_t FramesForDuration(double frameRate, double seconds);

// The event's value is an SFBool that is TRUE.
bool IsTrueEvent(const ScriptEvent& event);

// Sends the lines as one MFString through the eventOut (when it carries
// MFString values); each line is cut to a string value's 255 characters.
void SendStrings(CNode& node, std::string_view eventOut, std::span<const std::string> lines);

// Follows a link from a behaviour: the view that runs it loads the url
// (resolved) and binds the Viewpoint of that DEF name in the new world. A
// viewpoint name replaces a '#' name in the url. Nothing without a view.
void LoadLinkedWorld(CViewContext& view, const std::string& url, std::string_view viewpoint);

}  // namespace vx
