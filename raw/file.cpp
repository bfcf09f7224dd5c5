// The fault counter shared by both platform sources of the file layer. Atomics
// keep it sound when a test drives file operations from more than one thread.
#include "raw/file.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace RawLayer {
namespace RawFileFaults {
namespace {
std::atomic<int64_t> remaining{0};  // operations until the one that fails; 0 = off
std::atomic<bool> counting{false};
std::atomic<int64_t> counted{0};
std::atomic<bool> sticky{false};  // the failing operation is followed by all later ones
std::atomic<bool> stopped{false};
}  // namespace

void FailOperation(int64_t n) {
  sticky.store(false);
  remaining.store(n < 0 ? 0 : n);
}

void FailFrom(int64_t n) {
  stopped.store(false);
  sticky.store(true);
  remaining.store(n < 0 ? 0 : n);
}

void StartCounting() {
  counted.store(0);
  counting.store(true);
}

int64_t OperationCount() { return counted.load(); }

void Reset() {
  remaining.store(0);
  counting.store(false);
  counted.store(0);
  sticky.store(false);
  stopped.store(false);
}

bool ShouldFail() {
  if (counting.load()) counted.fetch_add(1);
  if (stopped.load()) return true;
  int64_t left = remaining.load();
  // Only one caller may take the count from 1 to 0, so exactly one operation fails.
  while (left > 0) {
    if (remaining.compare_exchange_weak(left, left - 1)) {
      if (left != 1) return false;
      if (sticky.load()) stopped.store(true);
      return true;
    }
  }
  return false;
}

}  // namespace RawFileFaults

namespace {
std::atomic<RawRewriteObserver*> rewriteObserver{nullptr};
}  // namespace

void SetRewriteObserver(RawRewriteObserver* observer) { rewriteObserver.store(observer); }

void NoteRewritten(const RawString& path) {
  if (RawRewriteObserver* observer = rewriteObserver.load()) observer->Rewritten(path);
}

bool RetryWhileHeld(const std::function<RawAttempt()>& attempt, int32_t tries, int32_t waitMs) {
  for (int32_t tried = 1;; ++tried) {
    const RawAttempt result = attempt();
    if (result != RawAttempt::Held) return result == RawAttempt::Done;
    if (tried >= tries) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
  }
}

}  // namespace RawLayer
