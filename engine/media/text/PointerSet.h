// The listener list through which a FontStyle tells the text nodes that use
// it that it changed, or that it is going away.
#pragma once

#include <cstdint>
#include <vector>

namespace vx {

class CPointerSet;

// What a set calls: one operation, embedded in a listening node.
class CNotifySink {
 public:
  virtual int32_t Notify(CPointerSet& set) = 0;

 protected:
  ~CNotifySink() = default;
};

// Events a set announces with NotifyAll.
inline constexpr int32_t kPointerSetChanged = 1;
inline constexpr int32_t kPointerSetGoingAway = 2;

class CPointerSet {
 public:
  // step: how many entries the set grows by when full (at least 1).
  CPointerSet(int32_t capacity, int32_t step);
  // Tells every listener that the set is going away.
  ~CPointerSet();
  CPointerSet(const CPointerSet&) = delete;
  CPointerSet& operator=(const CPointerSet&) = delete;

  // Calls Notify(this set) of every listener.
  void NotifyAll();
  // Keeps one entry per sink: a sink already present is not added again.
  void Add(CNotifySink* sink);
  // Clears the sink's entry and returns its index; Capacity() when absent.
  int32_t Remove(CNotifySink* sink);
  void SetEvent(int32_t event) { event_ = event; }
  int32_t GetEvent() const { return event_; }

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return static_cast<int32_t>(entries_.size()); }
  bool Contains(const CNotifySink* sink) const;

 private:
  std::vector<CNotifySink*> entries_;  // empty entries are null
  int32_t count_ = 0;
  int32_t step_;
  int32_t event_ = 0;
};

}  // namespace vx
