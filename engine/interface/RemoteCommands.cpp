#include "engine/interface/RemoteCommands.h"

#include <new>

#include "engine/scene/PropertyText.h"
#include "engine/interface/EngineInterface.h"
#include "engine/interface/EngineSlotSupport.h"

namespace vx {
namespace {

constexpr std::string_view kSceneNotFound = "Scene not found";
constexpr std::string_view kNodeNotFound = "Node not found";
constexpr std::string_view kNotRecognized = "Error: Command Not Recognized";
constexpr std::string_view kDone = "OK";

// The commands reach the nodes through the engine interface's own slots, so
// that a controller and a host act on a scene alike.
template <typename Fn>
Fn EngineSlot(VxEngineSlot slot) {
  return reinterpret_cast<Fn>(EngineSlotFunctions()[slot]);
}

vx::SceneHandle* FindScene(EngineInstance& instance, std::string_view name) {
  for (const auto& scene : instance.scenes)
    if (scene->name == name) return scene.get();
  return nullptr;
}

// A node of a scene found by DEF name, released when it goes.
class FoundNode {
 public:
  FoundNode(vx::SceneHandle* scene, std::string_view defName) : scene_(ToHandle(scene)) {
    (void)EngineSlot<VxFindNodeByNameFn>(VxEngineFindNodeByName)(scene_, std::string(defName).c_str(), &ref_);
  }
  ~FoundNode() {
    if (ref_) (void)EngineSlot<VxReleaseNodeRefFn>(VxEngineReleaseNodeRef)(ref_);
  }
  FoundNode(const FoundNode&) = delete;
  FoundNode& operator=(const FoundNode&) = delete;

  explicit operator bool() const { return ref_ != nullptr; }
  ::SceneHandle* Scene() const { return scene_; }
  VxNodeRef* Ref() const { return ref_; }

 private:
  ::SceneHandle* scene_;
  VxNodeRef* ref_ = nullptr;
};

// The words of a request after the command: scene, node, then a member
// name; the rest of the body is the value.
struct Request {
  std::string_view scene;
  std::string_view node;
  std::string member;
  std::string value;
};

Request SplitRequest(std::string_view arguments) {
  Request request;
  CommaSplit split = SplitCommaWord(arguments);
  request.scene = split.word;
  split = SplitCommaWord(split.rest);
  request.node = split.word;
  split = SplitCommaWord(split.rest);
  request.member = split.word;
  const size_t valueStart = split.rest.find_first_not_of(" \t\r\n");
  if (valueStart != std::string_view::npos) request.value = split.rest.substr(valueStart);
  return request;
}

std::string GetSceneList(EngineInstance& instance, std::string_view) {
  std::string names;
  for (const auto& scene : instance.scenes) {
    if (scene != instance.scenes.front()) names += ',';
    names += scene->name;
  }
  return names;
}

std::string GetSceneUrl(EngineInstance& instance, std::string_view arguments) {
  const std::string_view name = SplitCommaWord(arguments).word;
  std::string urls;
  for (const auto& scene : instance.scenes)
    if (scene->name == name) urls += scene->url;
  return urls;
}

std::string GetProperty(EngineInstance& instance, std::string_view arguments) {
  const Request request = SplitRequest(arguments);
  vx::SceneHandle* scene = FindScene(instance, request.scene);
  if (!scene) return std::string(kSceneNotFound);
  FoundNode node(scene, request.node);
  if (!node) return std::string(kNodeNotFound);
  void* value = nullptr;
  int32_t type = FieldTypeNone;
  (void)EngineSlot<VxGetNodeFieldValueFn>(VxEngineGetNodeFieldValue)(node.Scene(), node.Ref(), request.member.c_str(),
                                                                     &value);
  if (value)
    (void)EngineSlot<VxGetNodeMemberTypeFn>(VxEngineGetNodeFieldType)(node.Scene(), node.Ref(), request.member.c_str(),
                                                                      &type);
  return FieldValueToText(value, static_cast<FieldType>(type)).value_or(std::string());
}

// How SetProperty and GenerateEvent hand a value to a node.
struct ValueDelivery {
  VxEngineSlot memberType;
  VxEngineSlot deliver;
  std::string_view refused;  // the reply when no value can be made from the text
};

constexpr ValueDelivery kSetField = {VxEngineGetNodeFieldType, VxEngineSetNodeField, "Error: Value Not Set"};
constexpr ValueDelivery kSendEvent = {VxEngineGetNodeEventInType, VxEngineSendNodeEvent, "Error: Event Not Sent"};

// A text that the member's type does not take (or a member the node lacks)
// sets and sends nothing, and is not answered "OK"; nor is a node value that
// would put the node inside itself.
std::string DeliverValue(EngineInstance& instance, std::string_view arguments, const ValueDelivery& delivery) {
  const Request request = SplitRequest(arguments);
  vx::SceneHandle* scene = FindScene(instance, request.scene);
  if (!scene) return std::string(kSceneNotFound);
  FoundNode node(scene, request.node);
  if (!node) return std::string(kNodeNotFound);
  int32_t type = FieldTypeNone;
  (void)EngineSlot<VxGetNodeMemberTypeFn>(delivery.memberType)(node.Scene(), node.Ref(), request.member.c_str(), &type);
  void* block = nullptr;
  const int32_t parsed = EngineSlot<VxParseFieldValueFn>(VxEngineParseFieldValue)(
      node.Scene(), nullptr, request.value.c_str(), static_cast<FieldType>(type), &block);
  const bool usable = parsed == kPropertyTextOk && block &&
                      EngineSlot<VxSetNodeValueFn>(delivery.deliver)(node.Scene(), node.Ref(), request.member.c_str(),
                                                                     block) == EngineOk;
  FreeValueBlock(static_cast<FieldType>(type), block);
  return std::string(usable ? kDone : delivery.refused);
}

std::string SetProperty(EngineInstance& instance, std::string_view arguments) {
  return DeliverValue(instance, arguments, kSetField);
}

std::string GenerateEvent(EngineInstance& instance, std::string_view arguments) {
  return DeliverValue(instance, arguments, kSendEvent);
}

struct RemoteCommand {
  std::string_view name;
  std::string (*run)(EngineInstance& instance, std::string_view arguments);
};

// Compared in this order; a body that begins with a name is that command.
constexpr RemoteCommand kCommands[] = {
    {"GetSceneList", GetSceneList}, {"GetSceneURL", GetSceneUrl},     {"GetProperty", GetProperty},
    {"SetProperty", SetProperty},   {"GenerateEvent", GenerateEvent},
};

}  // namespace

std::string ExecuteRemoteCommand(EngineInstance& instance, std::string_view body) {
  for (const RemoteCommand& command : kCommands) {
    if (body.starts_with(command.name)) return command.run(instance, SplitCommaWord(body).rest);
  }
  return std::string(kNotRecognized);
}

// Frames wait in the buffer while earlier replies wait for the socket, and
// none is answered once a command has made the host destroy the instance or
// once the controller that sent them has gone.
void AnswerRemoteCommands(EngineInstance& instance) {
  if (!instance.commandLink) return;
  CCommandLink& link = *instance.commandLink;
  CommandBuffer& commands = instance.commands;
  try {
    link.Poll(commands);
    bool answered = false;
    while (link.HasController() && !link.RepliesWaiting() && !instance.IsDestroyRequested()) {
      std::optional<std::string> body = commands.TakeFrame();
      if (!body) break;
      link.Send(FrameReply(ExecuteRemoteCommand(instance, *body)));
      answered = true;
    }
    // What a controller that has gone left behind goes with it.
    if (!link.HasController()) commands.Clear();
    const size_t kept = commands.Text().size();
    link.Read(commands);
    commands.DropJunk();
    link.EndRound(answered || commands.Text().size() > kept);
  } catch (const std::bad_alloc&) {
    // Out of memory: the frame being answered goes unanswered; the link
    // carries on.
  }
}

void TickCommandLink(EngineInstance& instance) {
  if (instance.commandLink) {
    AnswerRemoteCommands(instance);
    return;
  }
  if (!instance.networkEnabled) return;
  try {
    instance.commandLink = std::make_unique<CCommandLink>();
  } catch (const std::bad_alloc&) {
    // Tried again on the next tick.
  }
}

}  // namespace vx
