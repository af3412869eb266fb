#include "engine/world/behaviours/KeyInputBehaviour.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/scene/ViewServices.h"
#include "engine/world/ViewContext.h"
#include "engine/world/WorldLimits.h"
#include "engine/world/behaviours/BehaviourLimits.h"
#include "engine/world/behaviours/BehaviourSupport.h"
#include "engine/world/behaviours/BehaviourTable.h"
#include "engine/world/nodes/ScriptNode.h"

namespace vx {
namespace {

constexpr uint8_t kBackspace = 8;
constexpr uint8_t kFirstPrintable = 32;
constexpr uint8_t kLastPrintable = 127;

class CKeyInputBehaviour : public CBehaviour {
 public:
  void Tick(CViewContext& view, CScriptNode& node, RenderPass pass) override;

 private:
  void Initialise(CScriptNode& node);
  void Type(uint8_t key);
  // A new last line holding the key; the first line scrolls away when the
  // text may not grow.
  void StartLine(char key);

  bool initialised_ = false;
  bool changed_ = false;
  bool bottomToTop_ = false;
  size_t maxLength_ = kDefaultKeyInputLineLength;
  size_t maxHeight_ = kDefaultKeyInputLines;
  std::vector<std::string> lines_;
  uint32_t lastSerial_ = 0;
};

// The scene's sizes are kept within what the text can hold.
size_t Bounded(const int32_t* value, int32_t fallback, int32_t limit) {
  return static_cast<size_t>(std::clamp(value ? *value : fallback, 1, limit));
}

void CKeyInputBehaviour::Initialise(CScriptNode& node) {
  initialised_ = true;
  if (const int16_t* bottomToTop = FieldOf<int16_t>(&node, "bottomToTop")) bottomToTop_ = *bottomToTop;
  maxLength_ = Bounded(FieldOf<int32_t>(&node, "maxLength"), kDefaultKeyInputLineLength, kMaxKeyInputLineLength);
  maxHeight_ = Bounded(FieldOf<int32_t>(&node, "maxHeight"), kDefaultKeyInputLines, kMaxKeyInputLines);
  const MFString* start = FieldOf<MFString>(&node, "startString");
  if (!start) return;
  const std::span<SFString> strings = start->Span();
  const size_t count = std::min(strings.size(), maxHeight_);
  lines_.assign(bottomToTop_ ? maxHeight_ - count : 0, std::string());
  for (size_t i = 0; i < count; ++i) lines_.emplace_back(TextOf(strings[i]));
  changed_ = true;
}

void CKeyInputBehaviour::StartLine(char key) {
  if (!bottomToTop_ && lines_.size() < maxHeight_) {
    lines_.emplace_back(1, key);
    return;
  }
  std::rotate(lines_.begin(), lines_.begin() + 1, lines_.end());
  lines_.back().assign(1, key);
}

void CKeyInputBehaviour::Type(uint8_t key) {
  if (key == kBackspace) {
    if (!lines_.empty() && !lines_.back().empty()) lines_.back().pop_back();
    changed_ = true;
    return;
  }
  if (key < kFirstPrintable || key > kLastPrintable) return;
  const char character = static_cast<char>(key);
  if (lines_.empty()) {
    lines_.emplace_back(1, character);
  } else if (lines_.back().size() < maxLength_) {
    lines_.back().push_back(character);
  } else {
    StartLine(character);
  }
  changed_ = true;
}

void CKeyInputBehaviour::Tick(CViewContext& view, CScriptNode& node, RenderPass) {
  if (!initialised_) Initialise(node);
  // A key stays pending for the whole of the view's tick, which may traverse
  // the Script more than once: each key is taken once.
  const IViewServices* services = view.GetServices();
  const TypedKey key = services ? services->GetTypedKey() : TypedKey();
  const int16_t* inFocus = FieldOf<int16_t>(&node, "inFocus");
  if (key.character != kNoTypedCharacter && key.serial != lastSerial_ && (!inFocus || *inFocus)) Type(key.character);
  lastSerial_ = key.serial;
  if (!changed_) return;
  changed_ = false;
  SendStrings(node, "keyPressed", lines_);
}

}  // namespace

void RegisterKeyInputBehaviour(BehaviourTable& table) {
  table.Add<CKeyInputBehaviour>("keyInput", BehaviourStart::kFirstFrame);
}

}  // namespace vx
