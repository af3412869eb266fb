#include "engine/scene/nodes/InlineNode.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "engine/scene/NodeFactory.h"
#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/SceneInputStream.h"
#include "engine/scene/SceneReader.h"
#include "engine/scene/nodes/GroupNode.h"
#include "engine/world/Browser.h"

namespace vx {
namespace {

constexpr FieldSpec kInlineFields[] = {
    Field<&CInlineNode::bboxCenter>("bboxCenter", DefaultFloats(0, 0, 0)),
    Field<&CInlineNode::bboxSize>("bboxSize", DefaultFloats(-1, -1, -1)),
    Field<&CInlineNode::url>("url"),
};
constexpr FieldTable kInlineTable{Section(kInlineFields), Section(kGroupingEventIns), {}};

constexpr std::string_view kHttpPrefix = "http://";

// A world that holds an inlined file: the world of the Inline that loaded
// it, and what the file is (its URL, or its canonical path for a local
// file). The chain of these entries from an Inline's world upward is the
// chain of files being inlined.
struct InlinedWorld {
  const CBrowser* world = nullptr;
  const CBrowser* parent = nullptr;
  std::string source;
};
thread_local std::vector<InlinedWorld> gInlinedWorlds;

std::string SourceKeyOf(const std::string& resolved) {
  if (resolved.starts_with(kHttpPrefix)) return resolved;
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(resolved, error);
  return error ? resolved : canonical.string();
}

const InlinedWorld* FindInlinedWorld(const CBrowser* world) {
  const auto found = std::find_if(gInlinedWorlds.begin(), gInlinedWorlds.end(),
                                  [world](const InlinedWorld& entry) { return entry.world == world; });
  return found == gInlinedWorlds.end() ? nullptr : &*found;
}

void ForgetInlinedWorld(const CBrowser* world) {
  std::erase_if(gInlinedWorlds, [world](const InlinedWorld& entry) { return entry.world == world; });
}

bool WorldHoldsProto(const CBrowser& world, const CProtoDeclaration* declaration) {
  for (int i = 0; i < world.GetProtoCount(); ++i) {
    if (world.GetProto(i) == declaration) return true;
  }
  return false;
}

}  // namespace

CInlineNode::CInlineNode() { RegisterFields(kInlineTable); }

CInlineNode::~CInlineNode() { DropChildWorld(); }

void CInlineNode::Traverse(RenderPass pass, CViewContext* view) {
  if (pass == RenderPass::Activate) active_ = true;
  if (pass == RenderPass::Deactivate) active_ = false;
  if (childWorld_) childWorld_->GetRoot()->Traverse(pass, view);
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

bool CInlineNode::RefuseInclusion(const std::string& source) {
  const std::string key = SourceKeyOf(source);
  int depth = 0;
  for (const InlinedWorld* entry = FindInlinedWorld(GetWorld()); entry; entry = FindInlinedWorld(entry->parent)) {
    if (entry->source == key) {
      message_ = "Inline '" + source + "' includes itself.";
      return true;
    }
    ++depth;
  }
  if (depth < kMaxInlineNesting) return false;
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
  if (active_) childWorld_->GetRoot()->Traverse(RenderPass::Activate, view);
}

bool CInlineNode::LoadFile() {
  if (localFile_.empty()) {
    message_ = "Inline '" + source_ + "' names no file.";
    return false;
  }
  CSceneInputStream stream(localFile_, "rb");
  if (!stream.IsOpen()) {
    message_ = "Inline '" + source_ + "' could not be opened.";
    return false;
  }
  stream.LoadIntoMemory();
  stream.PadBrackets();
  auto world = std::make_unique<CBrowser>();
  // Relative URLs inside the file resolve against where the file came from;
  // a downloaded file's own folder is the cache, which says nothing.
  world->SetWorldUrl(source_);
  if (!source_.starts_with(kHttpPrefix)) world->SetWorldDirectory(source_);
  CSceneReader reader(stream);
  // An inlined Viewpoint, NavigationInfo, Fog or panorama must not take over
  // the view of the world that shows it; they wait for a set_bind.
  reader.SetBindsFirstNodes(false);
  // The reader wires the file's ROUTEs itself once the file is read.
  if (!reader.ReadScene(world.get())) {
    message_ = "Inline '" + source_ + "': " + reader.GetMessage();
    return false;
  }
  DropChildWorld();
  childWorld_ = std::move(world);
  gInlinedWorlds.push_back({childWorld_.get(), GetWorld(), SourceKeyOf(source_)});
  HandProtosToWorld();
  return true;
}

// Counted references: the declarations are freed by whichever world lets go
// of them last. A full list keeps the rest in the inlined world only.
void CInlineNode::HandProtosToWorld() {
  CBrowser* world = GetWorld();
  if (!world) return;
  for (int i = 0; CProtoDeclaration* declaration = childWorld_->GetProto(i); ++i) {
    if (WorldHoldsProto(*world, declaration)) continue;
    if (!world->AddProto(declaration)) break;
  }
}

// Declarations handed on outlive the inlined world; they must not keep
// pointing at it.
void CInlineNode::DropChildWorld() {
  if (!childWorld_) return;
  for (int i = 0; CProtoDeclaration* declaration = childWorld_->GetProto(i); ++i) {
    if (declaration->GetWorld() == childWorld_.get()) declaration->SetWorld(nullptr);
  }
  ForgetInlinedWorld(childWorld_.get());
  childWorld_.reset();
}

void RegisterInlineNode(NodeClassTable& table) { table.Add<CInlineNode>("Inline"); }

}  // namespace vx
