#include "fuzz/CommandFuzzEntry.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/SceneWriter.h"
#include "engine/interface/EngineInstance.h"
#include "engine/interface/RemoteCommands.h"
#include "engine/world/WorldLimits.h"

namespace vx::fuzz {
namespace {

constexpr std::string_view kWorld =
    "#VRML V2.0 utf8\n"
    "DEF Box Transform { translation 1 2 3 children [\n"
    "  DEF Shape Shape { appearance Appearance { material DEF Paint Material { } } geometry Box { } }\n"
    "] }\n"
    "DEF Clock TimeSensor { }\n"
    "DEF Curve ScalarInterpolator { key [ 0 1 ] keyValue [ 0 1 ] }\n"
    "DEF Words WorldInfo { info [ \"a\" \"b\" ] }\n";

// Every kind of child list, each handing what it is given on to the next
// along a ROUTE, and a Script that may hold any node and send it on.
constexpr std::string_view kRoutedWorld =
    "#VRML V2.0 utf8\n"
    "PROTO Holder [ exposedField MFNode kids [ ] eventIn MFNode addKids ]\n"
    "  { Group { children IS kids addChildren IS addKids } }\n"
    "DEF Outer Transform { children [\n"
    "  DEF Inner Group { children [ DEF Body Shape { appearance Appearance { material Material { } }"
    " geometry Box { } } ] }\n"
    "  DEF Choice Switch { whichChoice 0 choice [ DEF InChoice Transform { } ] }\n"
    "  DEF Levels LOD { range [ 10 ] level [ DEF Near Group { } DEF Far Group { } ] }\n"
    "  DEF Holding Holder { }\n"
    "  DEF Keeper Script { url \"vxn:setVal\" field MFNode val [ ] eventIn SFBool on }\n"
    "  DEF Hit Collision { }\n"
    "] }\n"
    "DEF Words WorldInfo { title \"one REOM\r\nRBOM two\" }\n"
    "ROUTE Outer.children_changed TO Inner.set_children\n"
    "ROUTE Inner.children_changed TO InChoice.addChildren\n"
    "ROUTE InChoice.children_changed TO Near.set_children\n"
    "ROUTE Near.children_changed TO Holding.addKids\n"
    "ROUTE Holding.kids_changed TO Far.set_children\n"
    "ROUTE Far.children_changed TO Keeper.set_val\n"
    "ROUTE Keeper.val_changed TO Hit.set_children\n";

void AddScene(EngineInstance& instance, std::string_view text) {
  SceneHandle* scene = instance.AddScene();
  scene->world = std::make_unique<CBrowser>();
  auto stream = CSceneInputStream::FromText(text);
  CSceneReader reader(stream);
  (void)reader.ReadScene(&scene->world->GetScene());
  scene->name = "fuzz.wrl";
  scene->url = "http://example.test/fuzz.wrl";
}

// Whether a walk down the hierarchy from node comes back to a node it is
// still below: every node-valued field of a class table, and a PROTO
// instance's body. Each node is left once, however many ways lead to it.
bool HoldsCycle(CNode& root) {
  enum class Mark { Below, Done };
  std::unordered_map<const CNode*, Mark> marks;
  struct Step {
    CNode* node;
    std::vector<CNode*> next;
    size_t taken = 0;
  };
  auto below = [](CNode& node) {
    std::vector<CNode*> next;
    const FieldTable* table = node.GetFieldTable();
    for (size_t i = 0; table && i < table->fields.size(); ++i) {
      const FieldSpec& field = table->fields[i];
      void* value = node.GetFieldAddress(static_cast<int>(i));
      if (!field.address || !value) continue;
      if (field.type == FieldTypeSFNode) next.push_back(static_cast<CNodeRef*>(value)->GetNode());
      if (field.type == FieldTypeMFNode)
        for (const CNodeRef& ref : static_cast<MFNode*>(value)->Span()) next.push_back(ref.GetNode());
    }
    next.push_back(node.GetInnerRoot());
    return next;
  };
  std::vector<Step> path{{&root, below(root)}};
  marks[&root] = Mark::Below;
  while (!path.empty()) {
    Step& step = path.back();
    if (step.taken == step.next.size()) {
      marks[step.node] = Mark::Done;
      path.pop_back();
      continue;
    }
    CNode* next = step.next[step.taken++];
    if (!next) continue;
    const auto mark = marks.find(next);
    if (mark != marks.end()) {
      if (mark->second == Mark::Below) return true;
      continue;
    }
    marks[next] = Mark::Below;
    path.push_back({next, below(*next)});
  }
  return false;
}

// Whether the hierarchy of every scene of the instance is still free of
// cycles.
bool ScenesAreAcyclic(EngineInstance& instance) {
  return std::ranges::none_of(instance.scenes, [](const auto& scene) {
    return HoldsCycle(*scene->world->GetRootRef().GetNode());
  });
}

// The walks that also follow a Script's fields, which may name any node: a
// search and a save of every scene.
void WalkScenes(EngineInstance& instance) {
  for (const auto& scene : instance.scenes) {
    (void)scene->world->FindNode("Nobody");
    CSceneWriter writer;
    writer.WriteScene(&scene->world->GetScene(), false);
  }
}

// Feeds the bytes in reads whose sizes the first byte chooses and answers
// every frame; after each frame the scenes must pass check, and once all is
// read they are walked.
template <typename Check>
bool RunCommands(std::string_view world, const uint8_t* data, size_t size, Check check) {
  if (size == 0) return true;
  const size_t readSize = static_cast<size_t>(data[0]) * 37 + 1;
  std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  EngineInstance instance;
  AddScene(instance, world);
  CommandBuffer& buffer = instance.commands;
  while (!bytes.empty()) {
    bytes.remove_prefix(buffer.Append(bytes.substr(0, std::min(readSize, bytes.size()))));
    while (std::optional<std::string> body = buffer.TakeFrame()) {
      if (FrameReply(ExecuteRemoteCommand(instance, *body)).size() > kCommandBufferSize) return false;
      if (!check(instance)) return false;
    }
    buffer.DropJunk();
    if (buffer.Room() == 0) return false;
  }
  WalkScenes(instance);
  return true;
}

}  // namespace

bool RunCommandBytes(const uint8_t* data, size_t size) {
  return RunCommands(kWorld, data, size, [](EngineInstance&) { return true; });
}

bool RunCommandWorldBytes(const uint8_t* data, size_t size) {
  return RunCommands(kRoutedWorld, data, size, ScenesAreAcyclic);
}

}  // namespace vx::fuzz
