// The world object of one loaded scene: its root, the base URL and directory
// that relative URLs resolve against, the ROUTEs that wait for their nodes
// while a file is read, the DEF lookup, the PROTO declarations, the bind
// stacks of the bindable nodes and the world clock.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scene/Node.h"
#include "engine/scene/SceneLimits.h"

namespace vx {

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

// A bind stack of up to 8 nodes, bottom first.
inline constexpr int kBindStackDepth = 8;

class CBrowser {
 public:
  CBrowser();
  ~CBrowser();
  CBrowser(const CBrowser&) = delete;
  CBrowser& operator=(const CBrowser&) = delete;

  // The base URL: the text up to and including its last '\', or for an
  // "http://" URL its last '/' or '\'; empty when there is none.
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
  // Wires every deferred ROUTE whose two nodes and events exist; the others
  // add nothing. The records stay.
  void ResolvePendingRoutes();

  // The node of the world with that DEF name (the last hit is tried first).
  CNode* FindNode(std::string_view defName);

  // A new declaration appended to the world's list; null when the world
  // already holds 100.
  CProtoDeclaration* CreateProto(std::string_view name, bool isExtern);
  // Appends a declaration made elsewhere; false (nothing kept) at 100.
  [[nodiscard]] bool AddProto(CProtoDeclaration* declaration);
  // This world's declaration of the name, else the enclosing world's.
  CProtoDeclaration* FindProto(std::string_view name) const;
  // The world whose declarations a PROTO body sees besides its own (not
  // owned; set only while the body is read).
  void SetEnclosingWorld(const CBrowser* world) { enclosing_ = world; }
  CProtoDeclaration* GetProto(int index) const;
  int GetProtoCount() const { return static_cast<int>(protos_.size()); }

  // Tops of the bind stacks (looked through a PROTO instance for the counted
  // stacks), null when empty.
  CNode* GetNavigationInfo() const { return TopOf(navigationInfos_); }
  CNode* GetDisplay() const { return TopOf(displays_); }
  CNode* GetFog() const { return TopOf(fogs_); }
  CNode* GetViewpoint() const;

  // on: the node goes on top (the oldest drops out of a full stack); off: it
  // is popped when it is on top. No events.
  void BindNavigationInfo(CNode* node, bool on) { BindSimple(navigationInfos_, node, on); }
  void BindDisplay(CNode* node, bool on) { BindSimple(displays_, node, on); }
  void BindFog(CNode* node, bool on) { BindSimple(fogs_, node, on); }
  // Moves the node to the top (on) or takes it out (off), sending isBound and
  // bindTime to the nodes whose binding changes.
  void BindViewpoint(CNode* node, bool on);

  // Restarts the world clock.
  void ResetClock();
  // Seconds since the last ResetClock.
  double GetWorldTime() const;

 private:
  static CNode* TopOf(const std::vector<CNodeRef>& stack);
  static void BindSimple(std::vector<CNodeRef>& stack, CNode* node, bool on);
  void SendBinding(CNode* node, bool bound, double time);

  std::string worldUrl_;
  std::string worldDirectory_;
  CNodeRef root_;
  std::vector<PendingRoute> pendingRoutes_;
  CNodeWeakRef lookupCache_;
  std::vector<CNodeRef> navigationInfos_;
  std::vector<CNodeRef> displays_;
  std::vector<CNodeRef> fogs_;
  std::vector<CNodeWeakRef> viewpoints_;
  std::vector<CNodeRef> protos_;
  const CBrowser* enclosing_ = nullptr;
  int64_t clockStartMs_ = -1;
};

}  // namespace vx
