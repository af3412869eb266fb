// What one read of a scene carries down into every PROTO body it reads: the
// declarations whose bodies are being read, outermost first, and the first
// problem that did not stop the read. A body that instantiates a declaration
// already being read would never end, and bodies nested beyond
// kMaxProtoNesting are refused too.
//
// A read that starts from a file makes a session; the reader of each PROTO
// body read meanwhile shares it. An instance read later (an EXTERNPROTO whose
// file arrived) starts a session of its own.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vx {

class CProtoDeclaration;

class CReadSession {
 public:
  CReadSession() = default;
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
};

}  // namespace vx
