// A link to an object that may go first and that the holder does not keep
// alive: the object keeps a LinkAnchor, which empties the shared cell when
// the object goes, and every LiveLink taken from the anchor reads null from
// then on. A node links so to its scene, a scene to its world: a host may
// hold a node long after the world it was read into was reloaded or
// destroyed.
#pragma once

#include <memory>
#include <utility>

namespace vx {

template <typename T>
class LinkAnchor;

template <typename T>
class LiveLink {
 public:
  LiveLink() = default;

  // Null once the object is gone, and for a link to nothing.
  T* Get() const { return cell_ ? *cell_ : nullptr; }

 private:
  friend class LinkAnchor<T>;
  explicit LiveLink(std::shared_ptr<T* const> cell) : cell_(std::move(cell)) {}

  std::shared_ptr<T* const> cell_;
};

template <typename T>
class LinkAnchor {
 public:
  explicit LinkAnchor(T* object) : cell_(std::make_shared<T*>(object)) {}
  ~LinkAnchor() { *cell_ = nullptr; }
  LinkAnchor(const LinkAnchor&) = delete;
  LinkAnchor& operator=(const LinkAnchor&) = delete;

  LiveLink<T> Link() const { return LiveLink<T>(cell_); }

 private:
  std::shared_ptr<T*> cell_;
};

}  // namespace vx
