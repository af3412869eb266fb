// One PROTO or EXTERNPROTO declaration of a world: its name, its interface
// (declared fields with their defaults, eventIns, eventOuts) and its body.
// The body is never kept as nodes: the declaration keeps the body's text,
// which every instance reads again into a scene of its own.
//
// An EXTERNPROTO tries its URLs in order when an instance first asks for the
// body, until one gives it: a local file is read at once, an "http://" URL
// through the download service. A URL that fails at once (a "urn:", a file
// that is missing or holds no such PROTO, a download the service refuses)
// gives way to the next within the same call; a download that fails moves on
// to the next URL when it ends. The fetched file's PROTO (the one named after
// "#" in the URL, else the first) gives the interface's defaults and the
// body. Instances that asked while the body was on its way are instantiated
// when it arrives. A declaration that goes away stops its download, which
// then never reports back.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/RuntimeFieldNode.h"

namespace vx {

class CProtoInstanceNode;
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

  // True once the body is known. For an EXTERNPROTO a call tries the URLs
  // in turn until one gives the body or a download starts (a running
  // download answers false); after the last URL has failed it stays false.
  // A library file is read within the session.
  [[nodiscard]] bool FetchBody(CReadSession& session);
  // The instance is instantiated when the body arrives (not owned; one that
  // has gone by then is passed over).
  void AwaitBody(CProtoInstanceNode& instance);
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
  // A download ended: the fetch goes on, and a body it gives reaches the
  // instances that wait for it.
  void OnDownloadEnded(int32_t state, const std::string& localPath);

  std::string name_;
  std::unordered_set<std::string> exposed_;
  std::unordered_map<std::string, std::string> nodeDefaultTexts_;
  std::string bodyText_;
  bool hasBody_ = false;
  std::vector<CNodeWeakRef> awaiting_;
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
