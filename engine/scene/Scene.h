// The scene of one file: its root, the base URL and directory that relative
// URLs resolve against, the ROUTEs that wait for their nodes while the file is
// read, the DEF lookup and the PROTO declarations.
//
// The main file of a world, the body of every PROTO instance and every inlined
// file each have a scene of their own. A scene links to the scene that encloses
// it (where a PROTO was declared, while its body is read) and to the world
// that runs it. The world lies above this layer: a scene
// only hands the link on to its nodes and never follows it. Both links, and
// the link of each node to its scene, read null once what they name is gone.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/scene/LiveLink.h"
#include "engine/scene/Node.h"
#include "engine/scene/SceneLimits.h"

namespace vx {

class CBrowser;
class CGroupNode;
class CProtoDeclaration;

// A ROUTE read from a file, kept until the whole file is read: each side is
// "node.event" (DEF name, '.', event name), at most 63 characters.
struct PendingRoute {
  std::array<char, kMaxRouteTextLength + 1> source{};
  std::array<char, kMaxRouteTextLength + 1> target{};

  // Texts longer than a slot are cut.
  static PendingRoute Make(std::string_view source, std::string_view target);
};

class CScene {
 public:
  // world: the world that runs the scene (may link to nothing).
  explicit CScene(LiveLink<CBrowser> world = {});
  ~CScene();
  CScene(const CScene&) = delete;
  CScene& operator=(const CScene&) = delete;

  CBrowser* GetWorld() const { return world_.Get(); }
  const LiveLink<CBrowser>& GetWorldLink() const { return world_; }
  // What the scene's nodes hold.
  LiveLink<CScene> Link() const { return anchor_.Link(); }

  // The scene this one sits in (not owned); null for a world's main file.
  const CScene* GetEnclosingScene() const { return enclosing_; }
  void SetEnclosingScene(const CScene* scene) { enclosing_ = scene; }

  // The inlined files this scene lies in, outermost first and its own file
  // last (each its URL, or its canonical local path); empty for a scene that
  // is no inlined file. A copy, not links: an Inline may outlive the scene it
  // was read in.
  const std::vector<std::string>& GetInlineChain() const { return inlineChain_; }
  void SetInlineChain(std::vector<std::string> chain) { inlineChain_ = std::move(chain); }

  // The base URL: the text up to and including its last '/' or '\'; empty
  // when there is none.
  void SetWorldUrl(std::string_view url);
  const std::string& GetWorldUrl() const { return worldUrl_; }
  // The base directory: the text up to and including its last '/' or '\'.
  void SetWorldDirectory(std::string_view path);
  const std::string& GetWorldDirectory() const { return worldDirectory_; }

  // The scene root, a Group named "Vexlin_Scene_Root".
  CGroupNode* GetRoot() const;
  const CNodeRef& GetRootRef() const { return root_; }

  void AddPendingRoute(const PendingRoute& route);
  std::span<const PendingRoute> GetPendingRoutes() const { return pendingRoutes_; }
  // Wires every deferred ROUTE whose two nodes and events exist (either side
  // may name an exposedField by its bare name); the others add nothing. The
  // records stay. Says what kept the first of the others from being wired;
  // empty when every ROUTE was.
  std::string ResolvePendingRoutes();

  // The node of the scene with that DEF name (the last hit is tried first).
  CNode* FindNode(std::string_view defName);

  // The notes of the scene: values its nodes refused (see Node.h), lines a
  // Text does not draw, and the like. The first ones are kept, every one is
  // counted; the world's messages are those of its main file's scene.
  void NoteEventError(std::string text);
  // The latest note; empty while there is none.
  const std::string& GetEventErrorText() const { return eventError_; }
  const std::vector<std::string>& GetKeptMessages() const { return keptMessages_; }
  uint32_t GetMessageCount() const { return messageCount_; }

  // A new declaration appended to the scene's list; null when the scene
  // already holds 100.
  CProtoDeclaration* CreateProto(std::string_view name, bool isExtern);
  // Appends a declaration made elsewhere; false (nothing kept) at 100.
  [[nodiscard]] bool AddProto(CProtoDeclaration* declaration);
  bool HoldsProto(const CProtoDeclaration* declaration) const;
  // This scene's latest declaration of the name, else the enclosing scene's.
  CProtoDeclaration* FindProto(std::string_view name) const;
  CProtoDeclaration* GetProto(int index) const;
  int GetProtoCount() const { return static_cast<int>(protos_.size()); }

  // Empties the scene for another file: a new root, no routes, no
  // declarations, no base URL. The base directory stays.
  void Reset();
  // Lets go of the root and the declarations; nothing reaches back into the
  // scene afterwards.
  void Drop();

 private:
  void MakeRoot();
  // Wires one deferred ROUTE; why it could not be, or empty.
  std::string WireRoute(const PendingRoute& route);

  // First, so that nodes freed while the scene goes still find it.
  LinkAnchor<CScene> anchor_{this};
  LiveLink<CBrowser> world_;
  const CScene* enclosing_ = nullptr;
  std::vector<std::string> inlineChain_;
  std::string worldUrl_;
  std::string worldDirectory_;
  CNodeRef root_;
  std::vector<PendingRoute> pendingRoutes_;
  CNodeWeakRef lookupCache_;
  std::vector<CNodeRef> protos_;
  std::string eventError_;
  std::vector<std::string> keptMessages_;
  uint32_t messageCount_ = 0;
};

// The world that runs scene, for a scene read inside it; a link to nothing
// for no scene.
inline LiveLink<CBrowser> WorldLinkOf(const CScene* scene) {
  return scene ? scene->GetWorldLink() : LiveLink<CBrowser>();
}

}  // namespace vx
