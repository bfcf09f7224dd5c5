#include "raw/list.h"

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

void RawListBody::Sort(const RawListSort& sort, bool descending) {
  SortRange(sentinel_.next, &sentinel_, sort, descending);
}

// Quicksort on the chain within [first, end). The first node is the pivot; every
// later node that belongs in front of it is unlinked and re-inserted just before
// the node moved last (at first: before the pivot), so moved nodes end up in
// front of the pivot in reverse order of meeting. Equal keys stay behind it.
//
// Of the two parts, the smaller one is sorted by recursion and the larger one by
// the loop, so a reverse-sorted list of any length cannot exhaust the stack; the
// parts are disjoint, so the order of working on them does not change the result.
void RawListBody::SortRange(RawListNode* first, RawListNode* end, const RawListSort& sort, bool descending) {
  while (first != end && first->next != end) {
    RawListNode* pivot = first;
    RawListNode* front = pivot;  // first node of the moved part
    int64_t moved = 0, stayed = 0;
    for (RawListNode* node = pivot->next; node != end;) {
      RawListNode* next = node->next;
      int c = sort.CompareRaw(pivot->unit, node->unit);
      if (descending ? c < 0 : c > 0) {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        node->next = front;
        node->prev = front->prev;
        front->prev->next = node;
        front->prev = node;
        front = node;
        ++moved;
      } else {
        ++stayed;
      }
      node = next;
    }
    // Before part: [front, pivot); after part: [pivot->next, end).
    if (moved <= stayed) {
      SortRange(front, pivot, sort, descending);
      first = pivot->next;
    } else {
      SortRange(pivot->next, end, sort, descending);
      end = pivot;
      first = front;
    }
  }
}

}  // namespace RawLayer
