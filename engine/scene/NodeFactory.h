// The node factory: the one place where a type name becomes a node class.
//
// Every node class file ends in one registration function that adds its type
// name(s) to a NodeClassTable:
//
//   void RegisterGroupNode(NodeClassTable& table) { table.Add<CGroupNode>("Group"); }
//
// Each subsystem's node folder ends in one function that calls those of its
// classes (RegisterSceneNodes, RegisterWorldNodes, ...), and the node table
// above every subsystem (engine/interface/NodeTable.cpp) calls those, in the factory's
// lookup order. A class with a choice to
// make at creation (Vista by the reader's prototype version) registers a
// creation function of its own instead. Nothing registers itself at start-up.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scene/Node.h"

namespace vx {

class CReadSession;
class CScene;

// What a creation function may consult.
struct NodeCreation {
  CScene* scene = nullptr;
  // The Vista prototype version in force for the file being read (1.0, or
  // 1.5 once the file declared the version-1.5 prototype).
  float vistaVersion = 1.0f;
  // Where PROTO names are looked up (the file being read); scene when null.
  const CScene* declarations = nullptr;
  // The read the node is made for, in which a PROTO instance reads its body
  // (not owned); when null, a session of its own that binds nothing.
  CReadSession* session = nullptr;
};

using NodeCreateFn = CNodeRef (*)(const NodeCreation& creation);

struct NodeClassInfo {
  std::string_view typeName;
  NodeCreateFn create = nullptr;
};

class NodeClassTable;
using NodeRegistration = void (*)(NodeClassTable& table);

class NodeClassTable {
 public:
  template <typename T>
  void Add(std::string_view typeName) {
    Add(typeName, [](const NodeCreation&) { return MakeNode<T>(); });
  }
  void Add(std::string_view typeName, NodeCreateFn create);
  // Calls each registration with this table, in order.
  void Register(std::span<const NodeRegistration> registrations);

  // The first class of that exact (case-sensitive) name, or null.
  const NodeClassInfo* Find(std::string_view typeName) const;
  std::span<const NodeClassInfo> Classes() const { return classes_; }

 private:
  std::vector<NodeClassInfo> classes_;
};

// The next two are defined by the node table (engine/interface/NodeTable.cpp), which
// lies above every subsystem that has node classes.

// Every built-in node class, in lookup order; built on first use.
const NodeClassTable& StandardNodeClasses();
// A table with the built-in classes followed by those of extra (tests and
// benchmarks add stand-in classes this way).
NodeClassTable MakeNodeClassTable(std::span<const NodeRegistration> extra);

// A node made for a type name, and whether it is whole: a PROTO instance
// whose body did not read says why in message; refused says that it never
// will, and the read that made it must fail.
struct MadeNode {
  CNodeRef node;
  std::string message;
  bool refused = false;
};

// A new node of the type, belonging to the scene; a name that is no class is
// looked up among the PROTO declarations, and the instance is instantiated at
// once, reading its body with the same classes. No node for an unknown name.
[[nodiscard]] MadeNode MakeNodeOfType(std::string_view typeName, const NodeCreation& creation,
                                      const NodeClassTable& classes = StandardNodeClasses());
// The node alone, for callers that take an instance whatever became of its
// body.
CNodeRef NodeFactory(std::string_view typeName, const NodeCreation& creation,
                     const NodeClassTable& classes = StandardNodeClasses());

}  // namespace vx
