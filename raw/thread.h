// Worker threads, the process-wide crash hook with its dump writer, and the
// abort probe of long waits.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "raw/string.h"
#include "raw/time_stamp.h"

namespace RawLayer {

// The base of every worker thread. A unit runs at most once at a time; it may be
// started again when a run is over. Owners Wait before destroying a unit.
class RawThreadUnit {
 public:
  RawThreadUnit();
  RawThreadUnit(const RawThreadUnit&) = delete;
  RawThreadUnit& operator=(const RawThreadUnit&) = delete;
  virtual ~RawThreadUnit();  // closes the thread handle; never stops a running thread

  // A Win32 thread priority (THREAD_PRIORITY_LOWEST -2 ... HIGHEST 2); 0 leaves the
  // thread as created. Applied when the next run begins. On POSIX a negative
  // priority lowers the thread's nice value by as much; raising needs privileges
  // and is tried only.
  void SetPriority(int32_t priority);
  // False when a run is still busy, or when the thread could not be made; in the
  // second case OnFinish has already been called, so every Start that got past
  // the busy test is followed by exactly one OnFinish.
  [[nodiscard]] bool Start();
  // Returns when the pending run, OnFinish included, is over; at once when none is.
  void Wait();
  bool IsBusy() const;      // from Start until Run has returned
  bool IsFinished() const;  // Run has returned (cleared by Start)

 protected:
  virtual void Run() = 0;
  virtual void OnFinish() {}

 private:
  // The platform's part: makes the thread, whose procedure calls RunThreadUnit;
  // false on failure.
  [[nodiscard]] bool CreateSystemThread();
  void CloseSystemThread();
  static void ApplyPriority(int32_t priority);
  friend void RunThreadUnit(RawThreadUnit* unit);
  void ThreadBody();

  mutable std::mutex state_;
  std::condition_variable changed_;
  bool busy_ = false;
  bool finished_ = false;
  int32_t pending_ = 0;  // runs between a successful start and the end of their OnFinish
  int32_t priority_ = 0;
  void* handle_ = nullptr;  // the thread handle (Windows); POSIX threads run detached
  uint32_t threadId_ = 0;
};

// The thread procedure's portable part, called by the platform's thread procedure.
void RunThreadUnit(RawThreadUnit* unit);

// The priority of the calling thread in Win32 terms (POSIX: relative to the main
// thread's nice value, lower nice = higher priority).
int32_t CurrentThreadPriority();

// The process-wide crash hook.
namespace RawThreadHook {
class Handler {
 public:
  virtual ~Handler() = default;
  // Runs on the failing thread while the exception is being dispatched; must not
  // take locks the failing code may hold. `exceptionPointers` is the system's
  // EXCEPTION_POINTERS on Windows and the signal number (as an intptr_t) on POSIX.
  virtual void OnException(void* exceptionPointers) = 0;
};
}  // namespace RawThreadHook

// Sets the handler (not owned; it lives for the whole process) and installs the
// platform's guard: on Windows a process-wide unhandled-exception filter and a
// terminate handler that turns an uncaught C++ exception into a structured
// exception; on POSIX handlers for the fatal signals. The guard hands the failure
// to the handler and then lets it go on to the system, so the process still ends
// as a crash. Set once, before any worker thread starts.
void SetThreadHook(RawThreadHook::Handler* handler);
// The platform's guard alone (SetThreadHook installs it).
void InstallCrashGuard();
// Calls the handler's OnException when one is set.
void DispatchException(void* exceptionPointers);

// Writes a dump of the process when a thread dies: on Windows a full-memory
// minidump, on POSIX a short text report with the signal and a backtrace.
class RawThreadDump : public RawThreadHook::Handler {
 public:
  RawThreadDump(const RawString& folder, const RawString& name);
  ~RawThreadDump() override;
  void OnException(void* exceptionPointers) override;
  // folder [\] name "_Dump_" stamp ".dmp" for the current time.
  RawString DumpPath() const;

 private:
  void PreparePrefix();

  RawString folder_;
  RawString name_;
  // POSIX: the path's fixed part, prepared so the signal handler need not allocate.
  char prefix_[1024] = {};
};

// Asked by long waits whether they should give up.
class RawAbortChecker {
 public:
  virtual ~RawAbortChecker() = default;
  virtual bool IsAborted() = 0;
};

class RawDummyAbortChecker : public RawAbortChecker {
 public:
  bool IsAborted() override { return false; }
};

}  // namespace RawLayer
