// What one read of a scene carries down into every PROTO body it reads: the
// declarations whose bodies are being read, outermost first, the first
// problem that did not stop the read, and the kinds of bindable node already
// bound. A body that instantiates a declaration already being read would
// never end, and bodies nested beyond kMaxProtoNesting are refused too.
//
// A read that starts from a file makes a session; the reader of each PROTO
// body read meanwhile shares it, so that the first bindable node of each kind
// in the file's order is bound, an instance's body counting at the
// instance's place. An instance read later (an EXTERNPROTO whose file
// arrived) starts a session of its own, which binds nothing: the world was
// loaded without it.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <vantessel/NodeTypes.h>

namespace vx {

class CProtoDeclaration;

class CReadSession {
 public:
  enum class Binding {
    // The first node of each bindable kind read is bound (a world's file).
    kFirstOfEachKind,
    // Nothing read is bound (a body read after the world's load).
    kNone,
  };

  explicit CReadSession(Binding binding = Binding::kFirstOfEachKind) : quiet_(binding == Binding::kNone ? 1 : 0) {}
  CReadSession(const CReadSession&) = delete;
  CReadSession& operator=(const CReadSession&) = delete;

  // Why the declaration's body must not be read now; empty when it may.
  std::string RefusalFor(const CProtoDeclaration& declaration) const;

  // Keeps the text when it is the read's first problem: something the file
  // asks for that the read went on without (a PROTO body that does not
  // read, a ROUTE that cannot be wired).
  void NoteProblem(std::string text) {
    if (problem_.empty()) problem_ = std::move(text);
  }
  const std::string& GetProblem() const { return problem_; }

  // True, once for each kind, when a node of that bindable kind is to be
  // bound: the first one the session reads while it binds.
  [[nodiscard]] bool TakeFirstBind(NodeTypeId type);

  // Nothing read binds while a Quiet lives (an Inline's file, a PROTO's
  // default values, a library's nodes), the PROTO bodies read meanwhile
  // included. A Quiet made with on false does nothing.
  class Quiet {
   public:
    explicit Quiet(CReadSession& session, bool on = true) : session_(session), on_(on) {
      if (on_) ++session_.quiet_;
    }
    ~Quiet() {
      if (on_) --session_.quiet_;
    }
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

   private:
    CReadSession& session_;
    bool on_;
  };

  // Node levels count across every reader of the session (PROTO bodies,
  // EXTERNPROTO libraries), from the level the read starts at: an Inline's
  // file is read inside the traversal that reached the Inline, on top of the
  // levels above it. The deepest level reached counts too, so that a node
  // shared by USE adds its own levels below the place it is used at.
  void StartAtLevel(int level) { level_ = deepest_ = level; }
  int GetLevel() const { return level_; }
  // Whether nodes reaching down to the level stay within kMaxNodeNesting;
  // when they do, the level counts as reached.
  [[nodiscard]] bool Reach(int level);

  // One node level open for its lifetime; Height is that of the levels
  // reached below it so far, the node's own included.
  class OpenLevel {
   public:
    explicit OpenLevel(CReadSession& session)
        : session_(session), deepestBefore_(session.deepest_), fits_(session.Reach(session.level_ + 1)) {
      session_.deepest_ = ++session_.level_;
    }
    ~OpenLevel() {
      --session_.level_;
      session_.deepest_ = std::max(session_.deepest_, deepestBefore_);
    }
    OpenLevel(const OpenLevel&) = delete;
    OpenLevel& operator=(const OpenLevel&) = delete;
    bool Fits() const { return fits_; }
    int Height() const { return session_.deepest_ - session_.level_ + 1; }

   private:
    CReadSession& session_;
    int deepestBefore_;
    bool fits_;
  };

  // Whether the EXTERNPROTO library file at the path is being read (one
  // that names itself is not read again).
  bool IsReadingLibrary(const std::string& path) const;

  // Marks a library file as being read for its lifetime.
  class ActiveLibrary {
   public:
    ActiveLibrary(CReadSession& session, std::string path);
    ~ActiveLibrary();
    ActiveLibrary(const ActiveLibrary&) = delete;
    ActiveLibrary& operator=(const ActiveLibrary&) = delete;

   private:
    CReadSession& session_;
  };

  // Marks a declaration's body as being read for its lifetime.
  class ActiveBody {
   public:
    ActiveBody(CReadSession& session, const CProtoDeclaration& declaration);
    ~ActiveBody();
    ActiveBody(const ActiveBody&) = delete;
    ActiveBody& operator=(const ActiveBody&) = delete;

   private:
    CReadSession& session_;
  };

 private:
  std::vector<const CProtoDeclaration*> active_;
  std::vector<std::string> libraries_;
  std::string problem_;
  std::vector<NodeTypeId> boundTypes_;
  int quiet_;
  int level_ = 0;
  int deepest_ = 0;
};

}  // namespace vx
