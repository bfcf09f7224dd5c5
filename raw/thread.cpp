#include "raw/thread.h"

#include <atomic>

namespace RawLayer {

namespace {

std::atomic<RawThreadHook::Handler*> g_handler{nullptr};

}  // namespace

RawThreadUnit::RawThreadUnit() = default;

RawThreadUnit::~RawThreadUnit() { CloseSystemThread(); }

void RawThreadUnit::SetPriority(int32_t priority) {
  std::lock_guard<std::mutex> lock(state_);
  priority_ = priority;
}

bool RawThreadUnit::Start() {
  {
    std::lock_guard<std::mutex> lock(state_);
    if (busy_) return false;
    busy_ = true;
    finished_ = false;
    ++pending_;
  }
  CloseSystemThread();
  if (CreateSystemThread()) return true;
  {
    std::lock_guard<std::mutex> lock(state_);
    busy_ = false;
  }
  OnFinish();
  std::lock_guard<std::mutex> lock(state_);
  --pending_;
  changed_.notify_all();
  return false;
}

void RawThreadUnit::Wait() {
  std::unique_lock<std::mutex> lock(state_);
  changed_.wait(lock, [this] { return pending_ == 0; });
}

bool RawThreadUnit::IsBusy() const {
  std::lock_guard<std::mutex> lock(state_);
  return busy_;
}

bool RawThreadUnit::IsFinished() const {
  std::lock_guard<std::mutex> lock(state_);
  return finished_;
}

void RawThreadUnit::ThreadBody() {
  int32_t priority;
  {
    std::lock_guard<std::mutex> lock(state_);
    priority = priority_;
  }
  if (priority != 0) ApplyPriority(priority);
  Run();
  {
    std::lock_guard<std::mutex> lock(state_);
    busy_ = false;
    finished_ = true;
  }
  OnFinish();
  // The last touch of the unit: once the lock is released a waiter may destroy it.
  std::lock_guard<std::mutex> lock(state_);
  --pending_;
  changed_.notify_all();
}

void RunThreadUnit(RawThreadUnit* unit) { unit->ThreadBody(); }

void SetThreadHook(RawThreadHook::Handler* handler) {
  g_handler.store(handler);
  InstallCrashGuard();
}

void DispatchException(void* exceptionPointers) {
  if (RawThreadHook::Handler* handler = g_handler.load()) handler->OnException(exceptionPointers);
}

RawThreadDump::RawThreadDump(const RawString& folder, const RawString& name) : folder_(folder), name_(name) {
  PreparePrefix();
}

RawThreadDump::~RawThreadDump() = default;

RawString RawThreadDump::DumpPath() const {
  RawString path(folder_);
  if (!path.IsEmpty() && path.FindLastSeparator() != path.Length() - 1) path.AppendChar('\\');
  path.AppendAll(name_, "_Dump_", StampText(CurrentTime()), ".dmp");
  return path;
}

}  // namespace RawLayer
