#include "engine/scene/ReadSession.h"

#include <algorithm>
#include <utility>

#include "engine/scene/ProtoDeclaration.h"
#include "engine/scene/SceneLimits.h"

namespace vx {

std::string CReadSession::RefusalFor(const CProtoDeclaration& declaration) const {
  if (std::find(active_.begin(), active_.end(), &declaration) != active_.end()) {
    return "PROTO '" + declaration.GetName() + "' is used inside its own body.";
  }
  if (active_.size() >= static_cast<size_t>(kMaxProtoNesting)) {
    return "PROTO '" + declaration.GetName() + "' nests more than " + std::to_string(kMaxProtoNesting) +
           " bodies deep.";
  }
  return {};
}

bool CReadSession::TakeFirstBind(NodeTypeId type) {
  if (quiet_ > 0 || std::find(boundTypes_.begin(), boundTypes_.end(), type) != boundTypes_.end()) return false;
  boundTypes_.push_back(type);
  return true;
}

bool CReadSession::Reach(int level) {
  if (level > kMaxNodeNesting) return false;
  deepest_ = std::max(deepest_, level);
  return true;
}

bool CReadSession::IsReadingLibrary(const std::string& path) const {
  return std::find(libraries_.begin(), libraries_.end(), path) != libraries_.end();
}

CReadSession::ActiveLibrary::ActiveLibrary(CReadSession& session, std::string path) : session_(session) {
  session_.libraries_.push_back(std::move(path));
}

CReadSession::ActiveLibrary::~ActiveLibrary() { session_.libraries_.pop_back(); }

CReadSession::ActiveBody::ActiveBody(CReadSession& session, const CProtoDeclaration& declaration)
    : session_(session) {
  session_.active_.push_back(&declaration);
}

CReadSession::ActiveBody::~ActiveBody() { session_.active_.pop_back(); }

}  // namespace vx
