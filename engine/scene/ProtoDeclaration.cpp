#include "engine/scene/ProtoDeclaration.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/scene/ProtoInstanceNode.h"
#include "engine/scene/ReadSession.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneReader.h"

namespace vx {
namespace {

constexpr FieldSpec kDeclarationFields[] = {
    Field<&CProtoDeclaration::dummy0>("dummy"),
    Field<&CProtoDeclaration::dummy1>("dummy"),
    Field<&CProtoDeclaration::dummy2>("dummy"),
};

// Word lengths of an external interface: names searched, types, the rest.
constexpr size_t kProtoNameWord = 63;
constexpr size_t kTypeWord = 127;
constexpr size_t kInterfaceWord = 255;

std::optional<FieldKind> InterfaceKind(std::string_view word) {
  if (word == "field" || word == "exposedField") return FieldKind::Field;
  if (word == "eventIn") return FieldKind::EventIn;
  if (word == "eventOut") return FieldKind::EventOut;
  return std::nullopt;
}

// Moves the stream past the string whose opening quote it has read.
void SkipRestOfString(CSceneInputStream& stream) {
  TextPlace place = TextPlace::String;
  for (int c = stream.GetChar(); c >= 0; c = stream.GetChar()) {
    place = PlaceAfter(place, static_cast<char>(c));
    if (place == TextPlace::Statement) return;
  }
}

// Moves the stream just past the "[" that opens the interface of the
// statement "PROTO <protoName> [" (the first "[" of the file outside comments
// and strings when the name is empty). Other mentions of the name, in
// comments, strings or as a DEF name, are passed over.
bool FindInterface(CSceneInputStream& stream, std::string_view protoName) {
  if (protoName.empty()) {
    TextPlace place = TextPlace::Statement;
    for (int c = stream.GetChar(); c >= 0; c = stream.GetChar()) {
      if (place == TextPlace::Statement && c == '[') return true;
      place = PlaceAfter(place, static_cast<char>(c));
    }
    return false;
  }
  std::string word, name, bracket;
  while (stream.ReadWord(word, kProtoNameWord)) {
    if (word == "\"") SkipRestOfString(stream);
    if (word != "PROTO") continue;
    const size_t afterKeyword = stream.Tell();
    if (stream.ReadWord(name, kProtoNameWord) && name == protoName && stream.ReadWord(bracket, kProtoNameWord) &&
        bracket == "[") {
      return true;
    }
    stream.Seek(afterKeyword);
  }
  return false;
}

}  // namespace

CProtoDeclaration::CProtoDeclaration(bool isExtern)
    : CRuntimeFieldNode(Section(kDeclarationFields)), isExtern_(isExtern) {
  RegisterFixedFields();
}

CProtoDeclaration::~CProtoDeclaration() { FreeFieldValue(FieldTypeMFString, &urls_); }

bool CProtoDeclaration::FetchBody(CReadSession& session) {
  if (hasBody_) return true;
  if (!isExtern_ || download_.IsRunning()) return false;
  if (!downloadedFile_.empty() && ReadExternalInterface(std::exchange(downloadedFile_, {}), fragment_, session)) {
    return true;
  }
  while (attempt_ < urls_.count) {
    if (StartAttempt(session)) return true;
    if (download_.IsRunning()) return false;
  }
  return false;
}

void CProtoDeclaration::AwaitBody(CProtoInstanceNode& instance) {
  const bool known = std::any_of(awaiting_.begin(), awaiting_.end(),
                                 [&](const CNodeWeakRef& waiting) { return waiting.Get() == &instance; });
  if (!known) awaiting_.emplace_back(&instance);
}

// Runs from the download service's poll, outside every read and frame. The
// instances read their bodies each in a session of its own.
void CProtoDeclaration::OnDownloadEnded(int32_t state, const std::string& localPath) {
  if (state == DownloadDone) downloadedFile_ = localPath;
  const CNodeRef keep(this);
  CReadSession fetch(CReadSession::Binding::kNone);
  if (!FetchBody(fetch)) return;
  for (const CNodeWeakRef& waiting : std::exchange(awaiting_, {})) {
    auto* instance = static_cast<CProtoInstanceNode*>(waiting.Get());
    if (!instance) continue;
    CReadSession session(CReadSession::Binding::kNone);
    std::string message;
    (void)instance->Instantiate(session, message);
  }
}

const std::string& CProtoDeclaration::GetNodeDefaultText(std::string_view fieldName) const {
  static const std::string kNone;
  const auto text = nodeDefaultTexts_.find(std::string(fieldName));
  return text != nodeDefaultTexts_.end() ? text->second : kNone;
}

void CProtoDeclaration::SetNodeDefaultText(std::string_view fieldName, std::string text) {
  nodeDefaultTexts_[std::string(fieldName)] = std::move(text);
}

void CProtoDeclaration::SetBody(std::string text) {
  bodyText_ = std::move(text);
  hasBody_ = true;
}

bool CProtoDeclaration::StartAttempt(CReadSession& session) {
  if (attempt_ >= urls_.count) return false;
  std::string url;
  const int resolved = ResolveUrl(urls_[attempt_++].text, url);
  fragment_.clear();
  if (resolved != 0) return false;
  // A "#" in the first character is part of the name, not a separator.
  const size_t hash = url.rfind('#');
  if (hash != std::string::npos && hash > 0) {
    fragment_ = url.substr(hash + 1);
    url.resize(hash);
  }
  if (url.starts_with("http://")) {
    // A refusal counts as a failure of this URL.
    (void)download_.Start(url, [this](int32_t state, const std::string& localPath) { OnDownloadEnded(state, localPath); });
    return false;
  }
  return ReadExternalInterface(url, fragment_, session);
}

bool CProtoDeclaration::ReadExternalInterface(const std::string& path, std::string_view protoName,
                                              CReadSession& session) {
  CSceneInputStream stream(path, "r");
  if (!stream.IsOpen()) return false;
  stream.LoadIntoMemory();

  // The library file is a scope of its own: its nodes are read for the
  // defaults to USE, and what the defaults hold waits there with its ROUTEs.
  // The nodes belong where this declaration was made.
  CScene library(WorldLinkOf(GetScene()));
  CSceneReader reader(stream);
  reader.SetFactoryScene(GetScene());
  reader.SetBindsFirstNodes(false);
  reader.SetSession(&session);
  if (!session.IsReadingLibrary(path)) {
    CReadSession::ActiveLibrary active(session, path);
    // A library that does not read to its end still gives what it read.
    (void)reader.ReadScene(&library);
  }
  stream.Seek(0);
  if (!FindInterface(stream, protoName)) return false;
  reader.SetValueScope(&library);
  std::string word, type, name;
  bool closed = false;
  while (stream.ReadWord(word, kInterfaceWord)) {
    if (word == "]") {
      closed = true;
      break;
    }
    const std::optional<FieldKind> kind = InterfaceKind(word);
    // A word that the interface cannot place means the text is not what it
    // seems; nothing after it is taken.
    if (!kind || !stream.ReadWord(type, kTypeWord) || !stream.ReadWord(name, kInterfaceWord)) break;
    if (word == "exposedField") MarkExposed(name);
    const int known = *kind == FieldKind::Field     ? FindField(name)
                      : *kind == FieldKind::EventIn ? FindEventIn(name)
                                                    : FindEventOut(name);
    if (known < 0 && !AddFieldByTypeName(*kind, name, type.c_str())) break;
    if (*kind == FieldKind::Field && !reader.ReadProtoDefault(*this, name)) break;
  }
  return closed && reader.TakeProtoBody(*this);
}

}  // namespace vx
