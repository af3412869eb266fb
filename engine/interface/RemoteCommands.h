// The interpreter of the remote command link: request bodies executed
// against the scenes of an engine instance.
//
//   "GetSceneList"                          the scene names, joined by ","
//   "GetSceneURL" scene                     the URL of every scene of that name
//   "GetProperty" scene node field          the field's value as text
//   "SetProperty" scene node field value    "OK" once the field is set
//   "GenerateEvent" scene node eventIn value  "OK" once the event is sent
//
// Words are separated by blanks or commas; a value is the rest of the body
// and may hold both. Scenes are named by their scene name, nodes by their
// DEF name.
#pragma once

#include <string>
#include <string_view>

namespace vx {

struct EngineInstance;

// The result text of one request body (without the reply's framing).
std::string ExecuteRemoteCommand(EngineInstance& instance, std::string_view body);

// Receives from the instance's command link and answers every complete
// frame in order. Nothing without a link.
void AnswerRemoteCommands(EngineInstance& instance);

// What every view tick does for the instance: serves the command link, or,
// while there is none and networking is on, makes it (tried again on the next
// tick when it cannot be made).
void TickCommandLink(EngineInstance& instance);

}  // namespace vx
