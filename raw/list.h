// The one container of the system: owned heap units in a shared, circular,
// doubly linked chain with a sentinel and a count. Copying a list object shares
// its body; the last holder to let go frees every unit through the allocator.
#pragma once

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace RawLayer {

namespace RawListProperty {
// Makes and destroys the units of a list. Each concrete list has its own
// allocator class; the list object derives from it.
class Allocator {
 public:
  virtual ~Allocator() = default;
  virtual void FreeUnit(void* unit) = 0;
};
}  // namespace RawListProperty

template <class Unit>
class RawListAllocator : public RawListProperty::Allocator {
 public:
  void FreeUnit(void* unit) override { DeleteUnit(static_cast<Unit*>(unit)); }
  virtual void DeleteUnit(Unit* unit) { delete unit; }
};

// A comparison for Sort: negative, zero or positive.
class RawListSort {
 public:
  virtual ~RawListSort() = default;
  virtual int CompareRaw(const void* a, const void* b) const = 0;
};

template <class Unit>
class RawListSortR : public RawListSort {
 public:
  virtual int Compare(const Unit& a, const Unit& b) const = 0;
  int CompareRaw(const void* a, const void* b) const final {
    return Compare(*static_cast<const Unit*>(a), *static_cast<const Unit*>(b));
  }
};

struct RawListNode {
  RawListNode* prev;
  RawListNode* next;
  void* unit;  // the sentinel's unit points at the sentinel itself
};

// The untyped shared body: reference count, chain and count. The chain
// operations live here so every list instance shares one copy of them.
class RawListBody {
 public:
  RawListBody() {
    sentinel_.prev = sentinel_.next = &sentinel_;
    sentinel_.unit = &sentinel_;
  }
  RawListBody(const RawListBody&) = delete;
  RawListBody& operator=(const RawListBody&) = delete;

  RawListNode* Sentinel() { return &sentinel_; }
  int32_t Count() const { return count_; }
  bool IsShared() const { return extra_.load(std::memory_order_acquire) > 0; }
  void AddRef() { extra_.fetch_add(1, std::memory_order_relaxed); }
  // True when the caller held the last reference and must free the body.
  bool Release() { return extra_.fetch_sub(1, std::memory_order_acq_rel) == 0; }

  void LinkBefore(RawListNode* position, void* unit);
  void Unlink(RawListNode* node);
  void FreeAll(RawListProperty::Allocator& allocator);
  // In-place quicksort on the chain; stable, O(n log n) on sorted, reversed and
  // equal keys (see list.cpp).
  void Sort(const RawListSort& sort, bool descending);
  static int64_t LiveNodes();

 private:
  void SortRange(RawListNode* first, RawListNode* end, int32_t count, const RawListSort& sort,
                 bool descending);
  RawListNode sentinel_;
  int32_t count_ = 0;
  std::atomic<int32_t> extra_{0};  // 0 means one holder
};

template <class Unit>
class RawListBodyR {
 public:
  class Iterator {
   public:
    explicit Iterator(RawListNode* node) : node_(node) {}
    Unit& operator*() const { return *static_cast<Unit*>(node_->unit); }
    Unit* operator->() const { return static_cast<Unit*>(node_->unit); }
    Iterator& operator++() {
      node_ = node_->next;
      return *this;
    }
    bool operator==(const Iterator& other) const { return node_ == other.node_; }
    bool operator!=(const Iterator& other) const { return node_ != other.node_; }
    RawListNode* Node() const { return node_; }

   private:
    RawListNode* node_;
  };
};

// A list that owns its units. Allocator must derive from RawListAllocator<Unit>.
template <class Allocator, class Unit>
class RawListR : public Allocator, public RawListBodyR<Unit> {
 public:
  using Iterator = typename RawListBodyR<Unit>::Iterator;

  RawListR() : body_(new RawListBody) {}
  RawListR(const RawListR& other) : Allocator(other), body_(other.body_) { body_->AddRef(); }
  RawListR& operator=(const RawListR& other) {
    if (body_ != other.body_) {
      other.body_->AddRef();
      ReleaseBody();
      body_ = other.body_;
    }
    return *this;
  }
  ~RawListR() override { ReleaseBody(); }

  int32_t Count() const { return body_->Count(); }
  bool IsEmpty() const { return Count() == 0; }
  bool SharesBodyWith(const RawListR& other) const { return body_ == other.body_; }

  Iterator begin() const { return Iterator(body_->Sentinel()->next); }
  Iterator end() const { return Iterator(body_->Sentinel()); }
  Unit* First() const { return IsEmpty() ? nullptr : &*begin(); }
  Unit* Last() const { return IsEmpty() ? nullptr : static_cast<Unit*>(body_->Sentinel()->prev->unit); }

  // Makes a unit and appends it at the end.
  template <class... Args>
  Unit& Add(Args&&... args) {
    return Insert(end(), std::forward<Args>(args)...);
  }
  // Makes a unit and links it before `position`.
  template <class... Args>
  Unit& Insert(Iterator position, Args&&... args) {
    Unit* unit = new Unit(std::forward<Args>(args)...);
    body_->LinkBefore(position.Node(), unit);
    return *unit;
  }
  // Unlinks and frees the unit at `position`; returns the position after it.
  Iterator Remove(Iterator position) {
    RawListNode* next = position.Node()->next;
    void* unit = position.Node()->unit;
    body_->Unlink(position.Node());
    this->FreeUnit(unit);
    return Iterator(next);
  }
  // Unlinks and frees `unit` if it is in the list.
  bool Remove(const Unit* unit) {
    for (Iterator it = begin(); it != end(); ++it) {
      if (&*it == unit) {
        Remove(it);
        return true;
      }
    }
    return false;
  }
  bool Contains(const Unit* unit) const {
    for (Iterator it = begin(); it != end(); ++it) {
      if (&*it == unit) return true;
    }
    return false;
  }
  void Clear() { body_->FreeAll(*this); }
  void Sort(const RawListSortR<Unit>& sort, bool descending) { body_->Sort(sort, descending); }

  // Gives this holder a private deep copy when the body is shared.
  void Detach() {
    static_assert(std::is_copy_constructible_v<Unit>, "Detach needs copyable units");
    if (!body_->IsShared()) return;
    RawListBody* copy = new RawListBody;
    for (const Unit& unit : *this) copy->LinkBefore(copy->Sentinel(), new Unit(unit));
    ReleaseBody();
    body_ = copy;
  }

 private:
  void ReleaseBody() {
    if (body_->Release()) {
      body_->FreeAll(*this);
      delete body_;
    }
  }
  RawListBody* body_;
};

}  // namespace RawLayer
