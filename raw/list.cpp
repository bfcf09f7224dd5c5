#include "raw/list.h"

#include <initializer_list>

namespace RawLayer {

namespace {
std::atomic<int64_t> g_live_nodes{0};
}

int64_t RawListBody::LiveNodes() { return g_live_nodes.load(); }

void RawListBody::LinkBefore(RawListNode* position, void* unit) {
  RawListNode* node = new RawListNode{position->prev, position, unit};
  position->prev->next = node;
  position->prev = node;
  ++count_;
  g_live_nodes.fetch_add(1, std::memory_order_relaxed);
}

void RawListBody::Unlink(RawListNode* node) {
  node->prev->next = node->next;
  node->next->prev = node->prev;
  delete node;
  --count_;
  g_live_nodes.fetch_sub(1, std::memory_order_relaxed);
}

void RawListBody::FreeAll(RawListProperty::Allocator& allocator) {
  while (sentinel_.next != &sentinel_) {
    RawListNode* node = sentinel_.next;
    void* unit = node->unit;
    Unlink(node);
    allocator.FreeUnit(unit);
  }
}

namespace {
// The node whose key lies between the other two; which direction the sort runs
// does not matter for the median.
RawListNode* MedianOfThree(RawListNode* a, RawListNode* b, RawListNode* c, const RawListSort& sort) {
  if (sort.CompareRaw(a->unit, b->unit) > 0) std::swap(a, b);
  if (sort.CompareRaw(b->unit, c->unit) <= 0) return b;
  return sort.CompareRaw(a->unit, c->unit) > 0 ? a : c;
}
}  // namespace

void RawListBody::Sort(const RawListSort& sort, bool descending) {
  SortRange(sentinel_.next, &sentinel_, count_, sort, descending);
}

// Quicksort on the chain within [first, end), which holds count nodes. The pivot
// is the median of the nodes at a quarter, half and three quarters of the range,
// so sorted, reverse-sorted and rising-then-falling chains split near the middle.
// Each pass deals the nodes, in the order met, into three runs (before the pivot,
// equal to it, after it) and links the runs back in that order: a run of equal
// keys is finished in one pass, and since no pass reorders nodes within a run,
// the sort is stable (a sorted chain moves nothing).
//
// Of the two outer runs, the smaller one is sorted by recursion and the larger
// one by the loop, so the stack holds at most log2(count) levels.
void RawListBody::SortRange(RawListNode* first, RawListNode* end, int32_t count, const RawListSort& sort,
                            bool descending) {
  struct Run {
    RawListNode* head = nullptr;
    RawListNode* tail = nullptr;
    int32_t count = 0;
    void Append(RawListNode* node) {
      if (head == nullptr) {
        head = node;
      } else {
        tail->next = node;
        node->prev = tail;
      }
      tail = node;
      ++count;
    }
  };
  while (count > 1) {
    RawListNode* pivot = first;
    if (count > 2) {
      RawListNode* quarter = first;
      for (int32_t i = 0; i < count / 4; ++i) quarter = quarter->next;
      RawListNode* half = quarter;
      for (int32_t i = count / 4; i < count / 2; ++i) half = half->next;
      RawListNode* three_quarters = half;
      for (int32_t i = count / 2; i < count - 1 - count / 4; ++i) three_quarters = three_quarters->next;
      pivot = MedianOfThree(quarter, half, three_quarters, sort);
    }
    Run before, equal, after;
    RawListNode* outside = first->prev;
    for (RawListNode* node = first; node != end;) {
      RawListNode* next = node->next;
      const int c = node == pivot ? 0 : sort.CompareRaw(pivot->unit, node->unit);
      if (c == 0) {
        equal.Append(node);
      } else if (descending ? c < 0 : c > 0) {
        before.Append(node);
      } else {
        after.Append(node);
      }
      node = next;
    }
    // Link outside, before, equal, after, end.
    RawListNode* tail = outside;
    for (Run* run : {&before, &equal, &after}) {
      if (run->head == nullptr) continue;
      tail->next = run->head;
      run->head->prev = tail;
      tail = run->tail;
    }
    tail->next = end;
    end->prev = tail;
    // The equal run is never empty, so it bounds the run before it.
    RawListNode* after_first = equal.tail->next;
    if (before.count <= after.count) {
      SortRange(before.head, equal.head, before.count, sort, descending);
      first = after_first;
      count = after.count;
    } else {
      SortRange(after_first, end, after.count, sort, descending);
      first = before.head;
      end = equal.head;
      count = before.count;
    }
  }
}

}  // namespace RawLayer
