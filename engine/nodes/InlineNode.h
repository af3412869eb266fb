// Inline: fetches a scene file (through the download service for "http://"
// urls, directly for local files), reads it into a world of its own and
// draws that world's top-level nodes as its children.
//
// The urls are tried one per frame until one loads; a loaded file is final.
// A file of gzip data, by its name or its first bytes, is read as a world's
// file is (UnpackedSceneFile.h).
// The inlined file keeps its own world: its relative URLs resolve against
// its own location, its ROUTEs are wired once by the reader, and its
// Viewpoint, NavigationInfo and the like are not bound by the read, so
// showing an Inline never moves the camera; the view stays on its own world
// (the inlined nodes are traversed directly, never through a frame of the
// inlined world). Its PROTO
// declarations are also handed to the Inline's world (counted, within that
// world's limit of declarations).
//
// A file that is already being inlined further up the chain of Inlines (the
// Inline includes itself, directly or through others), or a chain deeper
// than kMaxInlineNesting, is refused with a message and the next url is
// tried.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/hostlink/DownloadService.h"
#include "engine/scene/Node.h"

namespace vx {

class CScene;
class NodeClassTable;

// Where an Inline stands; the values 1 to 3 follow the download states.
enum class InlineState : int32_t {
  Start = 0,
  Downloading = 1,
  DownloadCancelled = 2,
  DownloadFailed = 3,
  FileReady = 4,
  LoadFailed = 7,
  Loaded = 8,
};

class CInlineNode : public CNode {
 public:
  CInlineNode();

  NodeCategory GetCategory() const override { return NodeCategoryGrouping; }
  NodeTypeId GetTypeId() const override { return NodeTypeGroup; }
  std::string_view GetTypeName() const override { return "Inline"; }
  // Draws what is loaded, then moves the loading on by one step.
  void Traverse(RenderPass pass, CViewContext* view) override;

  InlineState GetState() const { return state_; }
  // The scene of the loaded file; null until one is loaded.
  CScene* GetChildScene() const { return childScene_.get(); }
  // Why the last url failed to load; empty when none did.
  const std::string& GetMessage() const { return message_; }

  SFVec3f bboxCenter{};
  SFVec3f bboxSize{};
  MFString url{};

 protected:
  ~CInlineNode() override;

 private:
  void TryNextUrl();
  void LoadReadyFile(CViewContext* view);
  // Reads the file into a new child scene; false with the reason in
  // message_.
  bool LoadFile();
  // The inlined files this Inline lies in, outermost first.
  std::vector<std::string> InlineChain() const;
  [[nodiscard]] bool RefuseInclusion(const std::string& source);
  void HandProtosToScene();
  void DropChildScene();

  std::unique_ptr<CScene> childScene_;
  CDownload download_;
  bool active_ = false;
  InlineState state_ = InlineState::Start;
  int32_t nextUrl_ = 0;
  // The file to read, and the url it came from (the inlined scene's
  // location).
  std::string localFile_;
  std::string source_;
  std::string message_;
};

void RegisterInlineNode(NodeClassTable& table);

}  // namespace vx
