#include "engine/media/text/PointerSet.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace vx {

CPointerSet::CPointerSet(int32_t capacity, int32_t step)
    : entries_(static_cast<size_t>(std::max(capacity, 0)), nullptr), step_(step) {
  assert(step >= 1);
}

CPointerSet::~CPointerSet() {
  event_ = kPointerSetGoingAway;
  NotifyAll();
}

void CPointerSet::NotifyAll() {
  // By index: a listener may leave the set while it is told.
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i]) entries_[i]->Notify(*this);
  }
}

void CPointerSet::Add(CNotifySink* sink) {
  if (!sink || Contains(sink)) return;
  auto empty = std::find(entries_.begin(), entries_.end(), nullptr);
  if (empty == entries_.end()) {
    const size_t at = entries_.size();
    entries_.resize(at + static_cast<size_t>(step_), nullptr);
    empty = entries_.begin() + static_cast<ptrdiff_t>(at);
  }
  *empty = sink;
  ++count_;
}

int32_t CPointerSet::Remove(CNotifySink* sink) {
  const auto entry = std::find(entries_.begin(), entries_.end(), sink);
  if (!sink || entry == entries_.end()) return Capacity();
  *entry = nullptr;
  --count_;
  return static_cast<int32_t>(entry - entries_.begin());
}

bool CPointerSet::Contains(const CNotifySink* sink) const {
  return sink && std::find(entries_.begin(), entries_.end(), sink) != entries_.end();
}

}  // namespace vx
