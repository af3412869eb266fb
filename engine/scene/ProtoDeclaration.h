// One PROTO or EXTERNPROTO declaration of a world: its name, its interface
// (declared fields with their defaults, eventIns, eventOuts) and where its
// body is. The body is never kept as nodes: the reader copies a PROTO's body
// text into a file, which every instance reads again into a scene of its own.
// An EXTERNPROTO keeps its URL list; fetching it is done on demand.
#pragma once

#include <string>
#include <string_view>

#include "engine/scene/RuntimeFieldNode.h"

namespace vx {

class CProtoDeclaration : public CRuntimeFieldNode {
 public:
  explicit CProtoDeclaration(bool isExtern);

  const std::string& GetName() const { return name_; }
  void SetName(std::string_view name) { name_.assign(name.substr(0, kMaxPathLength)); }
  bool IsExtern() const { return isExtern_; }

  // Path of the file that holds the body text; empty until known.
  const std::string& GetBodyFilePath() const { return bodyFile_; }
  void SetBodyFilePath(std::string path) { bodyFile_ = std::move(path); }

  // An EXTERNPROTO's URLs.
  const MFString& GetUrls() const { return urls_; }
  void SetUrls(const MFString& urls) { CopyFieldValue(FieldTypeMFString, &urls_, &urls); }

  int OnEventIn(bool, int, const void*) override { return 0; }

  // Three placeholder fields precede the interface, which starts at field 3.
  SFString dummy0{};
  SFString dummy1{};
  SFString dummy2{};

 protected:
  ~CProtoDeclaration() override;

 private:
  std::string name_;
  std::string bodyFile_;
  MFString urls_{};
  bool isExtern_;
};

}  // namespace vx
