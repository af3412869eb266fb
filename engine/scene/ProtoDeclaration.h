// One PROTO or EXTERNPROTO declaration of a world: its name, its interface
// (declared fields with their defaults, eventIns, eventOuts) and its body.
// The body is never kept as nodes: the declaration keeps the body's text,
// which every instance reads again into a scene of its own.
//
// An EXTERNPROTO fetches its URLs one after another when an instance first
// asks for the body: a local file is read at once, an "http://" URL through
// the download service. The fetched file's PROTO (the one named after "#" in
// the URL, else the first) gives the interface's defaults and the body. A
// download that fails, or that the service refuses, moves on to the next
// URL; a declaration that goes away stops its download, which then never
// reports back.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/RuntimeFieldNode.h"

namespace vx {

class CReadSession;

class CProtoDeclaration : public CRuntimeFieldNode {
 public:
  explicit CProtoDeclaration(bool isExtern);

  const std::string& GetName() const { return name_; }
  void SetName(std::string_view name) { name_.assign(name.substr(0, kMaxPathLength)); }
  bool IsExtern() const { return isExtern_; }

  // The body text, from after its '{' to before its matching '}'.
  bool HasBody() const { return hasBody_; }
  const std::string& GetBodyText() const { return bodyText_; }
  void SetBody(std::string text);

  // Whether the interface declared the field as an exposedField (a field
  // that events may also set and that reports its changes).
  bool IsExposed(std::string_view fieldName) const { return exposed_.contains(std::string(fieldName)); }
  void MarkExposed(std::string_view fieldName) { exposed_.insert(std::string(fieldName)); }

  // The text of an SFNode or MFNode field's default value, from which every
  // instance makes nodes of its own; empty when there is none.
  const std::string& GetNodeDefaultText(std::string_view fieldName) const;
  void SetNodeDefaultText(std::string_view fieldName, std::string text);

  // An EXTERNPROTO's URLs.
  const MFString& GetUrls() const { return urls_; }
  void SetUrls(const MFString& urls) { CopyFieldValue(FieldTypeMFString, &urls_, &urls); }

  // True once the body is known. For an EXTERNPROTO each call advances the
  // fetch by one step (one URL tried, or the read of a downloaded file; a
  // running download answers false), so callers simply ask again later;
  // after the last URL has failed it stays false. A library file is read
  // within the session.
  [[nodiscard]] bool FetchBody(CReadSession& session);
  // Reads the interface of the PROTO named protoName (the first one when
  // empty) from the library file at path into this declaration, and takes
  // its body. The library's own nodes are read first, so that the defaults
  // may USE them. What was declared before a failure stays declared.
  [[nodiscard]] bool ReadExternalInterface(const std::string& path, std::string_view protoName,
                                           CReadSession& session);

  int OnEventIn(bool, int, const void*) override { return 0; }

  // Three placeholder fields precede the interface, which starts at field 3.
  SFString dummy0{};
  SFString dummy1{};
  SFString dummy2{};

 protected:
  ~CProtoDeclaration() override;

 private:
  // Tries the next URL; true when it was a local file that gave the body.
  bool StartAttempt(CReadSession& session);

  std::string name_;
  std::unordered_set<std::string> exposed_;
  std::unordered_map<std::string, std::string> nodeDefaultTexts_;
  std::string bodyText_;
  bool hasBody_ = false;
  MFString urls_{};
  // The PROTO's name inside the file being fetched; empty for the first.
  std::string fragment_;
  int32_t attempt_ = 0;
  // The download of the URL being tried, and the file it gave; empty while
  // none did.
  CDownload download_;
  std::string downloadedFile_;
  bool isExtern_;
};

}  // namespace vx
