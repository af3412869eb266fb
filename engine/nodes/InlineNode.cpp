#include "engine/nodes/InlineNode.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/scene/ChildWalk.h"
#include "engine/scene/GroupNode.h"
#include "engine/scene/NodeFactory.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/UnpackedSceneFile.h"

namespace vx {
namespace {

constexpr FieldSpec kInlineFields[] = {
    Field<&CInlineNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
    Field<&CInlineNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
    Field<&CInlineNode::url>("url"),
};
constexpr FieldTable kInlineTable{Section(kInlineFields), Section(kGroupingEventIns), {}};

constexpr std::string_view kHttpPrefix = "http://";

std::string SourceKeyOf(const std::string& resolved) {
  if (resolved.starts_with(kHttpPrefix)) return resolved;
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(resolved, error);
  return error ? resolved : canonical.string();
}

}  // namespace

CInlineNode::CInlineNode() { RegisterFields(kInlineTable); }

CInlineNode::~CInlineNode() { DropChildScene(); }

void CInlineNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass == RenderPass::Activate) active_ = true;
  if (pass == RenderPass::Deactivate) active_ = false;
  if (childScene_) childScene_->GetRoot()->Traverse(pass, view);
  switch (state_) {
    case InlineState::Start:
    case InlineState::DownloadCancelled:
    case InlineState::DownloadFailed:
    case InlineState::LoadFailed:
      TryNextUrl();
      break;
    case InlineState::Downloading:
      // The completion sets the state; a download that ended without one
      // (the service dropped it) counts as failed.
      if (!download_.IsRunning()) state_ = InlineState::DownloadFailed;
      break;
    case InlineState::FileReady:
      LoadReadyFile(view);
      break;
    case InlineState::Loaded:
      break;
  }
}

// An "http://" url is downloaded (a refused start is tried again on the next
// frame); any other url is read as a local file on the next frame.
void CInlineNode::TryNextUrl() {
  if (nextUrl_ >= url.count) return;
  std::string resolved;
  (void)ResolveUrl(TextOf(url[nextUrl_]), resolved);
  if (RefuseInclusion(resolved)) {
    ++nextUrl_;
    state_ = InlineState::LoadFailed;
    return;
  }
  if (resolved.starts_with(kHttpPrefix)) {
    const bool started = download_.Start(resolved, [this](int32_t state, const std::string& localPath) {
      localFile_ = localPath;
      state_ = state == DownloadDone        ? InlineState::FileReady
               : state == DownloadCancelled ? InlineState::DownloadCancelled
                                            : InlineState::DownloadFailed;
    });
    if (!started) return;
    state_ = InlineState::Downloading;
  } else {
    localFile_ = resolved;
    state_ = InlineState::FileReady;
  }
  source_ = resolved;
  ++nextUrl_;
}

std::vector<std::string> CInlineNode::InlineChain() const {
  const CScene* scene = GetScene();
  return scene ? scene->GetInlineChain() : std::vector<std::string>();
}

bool CInlineNode::RefuseInclusion(const std::string& source) {
  const std::string key = SourceKeyOf(source);
  const std::vector<std::string> chain = InlineChain();
  if (std::find(chain.begin(), chain.end(), key) != chain.end()) {
    message_ = "Inline '" + source + "' includes itself.";
    return true;
  }
  if (chain.size() < static_cast<size_t>(kMaxInlineNesting)) return false;
  message_ = "Inline '" + source + "' nests more than " + std::to_string(kMaxInlineNesting) + " files deep.";
  return true;
}

// A newly loaded scene is activated at once when the Inline is active. Its
// nodes are traversed directly: the view stays attached to the world it
// shows, and the inlined file's bound Viewpoint never reaches the camera.
void CInlineNode::LoadReadyFile(CViewContext* view) {
  if (!LoadFile()) {
    state_ = InlineState::LoadFailed;
    return;
  }
  state_ = InlineState::Loaded;
  message_.clear();
  if (active_) childScene_->GetRoot()->Traverse(RenderPass::Activate, view);
}

bool CInlineNode::LoadFile() {
  if (localFile_.empty()) {
    message_ = "Inline '" + source_ + "' names no file.";
    return false;
  }
  const CUnpackedSceneFile unpacked(localFile_);
  if (unpacked.Path().empty()) {
    message_ = "Inline '" + source_ + "' could not be decompressed.";
    return false;
  }
  CSceneInputStream stream(unpacked.Path(), "rb");
  if (!stream.IsOpen()) {
    message_ = "Inline '" + source_ + "' could not be opened.";
    return false;
  }
  stream.LoadIntoMemory();
  // The file runs on the world of the Inline, on its clock.
  auto scene = std::make_unique<CScene>(WorldLinkOf(GetScene()));
  // Relative URLs inside the file resolve against where the file came from;
  // a downloaded file's own folder is the cache, which says nothing.
  scene->SetWorldUrl(source_);
  if (!source_.starts_with(kHttpPrefix)) scene->SetWorldDirectory(source_);
  CSceneReader reader(stream);
  // An inlined Viewpoint, NavigationInfo, Fog or panorama must not take over
  // the view of the world that shows it; they wait for a set_bind.
  reader.SetBindsFirstNodes(false);
  reader.StartAtLevel(GetWalkDepth());
  // The reader wires the file's ROUTEs itself once the file is read.
  if (!reader.ReadScene(scene.get())) {
    message_ = "Inline '" + source_ + "': " + reader.GetMessage();
    return false;
  }
  DropChildScene();
  childScene_ = std::move(scene);
  std::vector<std::string> chain = InlineChain();
  chain.push_back(SourceKeyOf(source_));
  childScene_->SetInlineChain(std::move(chain));
  HandProtosToScene();
  return true;
}

// Counted references: the declarations are freed by whichever scene lets go
// of them last. A full list keeps the rest in the inlined scene only.
void CInlineNode::HandProtosToScene() {
  CScene* scene = GetScene();
  if (!scene) return;
  for (int i = 0; CProtoDeclaration* declaration = childScene_->GetProto(i); ++i) {
    if (scene->HoldsProto(declaration)) continue;
    if (!scene->AddProto(declaration)) break;
  }
}

// Declarations handed on outlive the inlined scene; they must not keep
// pointing at it.
void CInlineNode::DropChildScene() {
  if (!childScene_) return;
  for (int i = 0; CProtoDeclaration* declaration = childScene_->GetProto(i); ++i) {
    if (declaration->GetScene() == childScene_.get()) declaration->SetScene(nullptr);
  }
  childScene_.reset();
}

void RegisterInlineNode(NodeClassTable& table) { table.Add<CInlineNode>("Inline"); }

}  // namespace vx
