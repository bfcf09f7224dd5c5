#include "job/abort.h"

#include <atomic>

namespace JobLayer {

namespace {

// Lock-free, so the signal handler may touch it.
std::atomic<int> g_abortRequested{0};
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

void RequestAbort() { g_abortRequested.store(1); }

bool TakeAbortRequest() { return g_abortRequested.exchange(0) != 0; }

bool IsAbortRequested() { return g_abortRequested.load() != 0; }

}  // namespace JobLayer
