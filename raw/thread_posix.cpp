// Threads and the crash report on POSIX. The report is written from a signal
// handler, so it uses only calls that are safe there: no allocation, no locks,
// only open, write, mkdir and the clock.
#include <errno.h>
#include <execinfo.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "raw/thread.h"

namespace RawLayer {

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

void* ThreadProcedure(void* unit) {
  RunThreadUnit(static_cast<RawThreadUnit*>(unit));
  return nullptr;
}

int ThreadNice(pid_t tid) {
  errno = 0;
  const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  return errno == 0 ? nice : 0;
}

pid_t CurrentTid() { return static_cast<pid_t>(syscall(SYS_gettid)); }

void OnFatalSignal(int signalNumber) {
  DispatchException(reinterpret_cast<void*>(static_cast<intptr_t>(signalNumber)));
  // Let the signal take its ordinary course: the process ends as a crash.
  signal(signalNumber, SIG_DFL);
  raise(signalNumber);
}

// A small writer into a fixed buffer.
struct Text {
  char data[1200];
  size_t length = 0;
  void Add(const char* text) {
    while (*text != '\0' && length + 1 < sizeof(data)) data[length++] = *text++;
    data[length] = '\0';
  }
  void AddNumber(uint64_t value, int width) {
    char digits[24];
    int count = 0;
    do {
      digits[count++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0 && count < 20);
    while (count < width && count < 20) digits[count++] = '0';
    while (count > 0 && length + 1 < sizeof(data)) data[length++] = digits[--count];
    data[length] = '\0';
  }
};

// Makes every folder of the path's folder part.
void MakeFolders(const char* path) {
  char folder[1200];
  const size_t length = strnlen(path, sizeof(folder) - 1);
  memcpy(folder, path, length);
  folder[length] = '\0';
  char* last = strrchr(folder, '/');
  if (last == nullptr || last == folder) return;
  *last = '\0';
  for (char* at = folder + 1; *at != '\0'; ++at) {
    if (*at != '/') continue;
    *at = '\0';
    mkdir(folder, 0777);
    *at = '/';
  }
  mkdir(folder, 0777);
}

}  // namespace

bool RawThreadUnit::CreateSystemThread() {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  pthread_t thread;
  const bool made = pthread_create(&thread, &attributes, ThreadProcedure, this) == 0;
  pthread_attr_destroy(&attributes);
  return made;
}

// Detached threads leave nothing to close.
void RawThreadUnit::CloseSystemThread() {}

void RawThreadUnit::ApplyPriority(int32_t priority) {
  const pid_t tid = CurrentTid();
  // Failure (raising without privileges) leaves the thread as it was.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(tid), ThreadNice(tid) - priority);
}

int32_t CurrentThreadPriority() { return ThreadNice(getpid()) - ThreadNice(CurrentTid()); }

void InstallCrashGuard() {
  // backtrace loads its unwinder on first use; do that now, not in the handler.
  void* frames[2];
  (void)backtrace(frames, 2);
  struct sigaction action {};
  action.sa_handler = OnFatalSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  for (int signalNumber : kFatalSignals) sigaction(signalNumber, &action, nullptr);
}

void RawThreadDump::PreparePrefix() {
  RawString path(folder_);
  if (!path.IsEmpty() && path.FindLastSeparator() != path.Length() - 1) path.AppendChar('/');
  path.AppendAll(name_, "_Dump_");
  const std::string bytes = path.ToUtf8();
  const size_t length = bytes.size() < sizeof(prefix_) - 1 ? bytes.size() : 0;
  for (size_t i = 0; i < length; ++i) prefix_[i] = bytes[i] == '\\' ? '/' : bytes[i];
  prefix_[length] = '\0';
}

void RawThreadDump::OnException(void* exceptionPointers) {
  if (prefix_[0] == '\0') return;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  // The stamp without the calendar library, which is not safe in a handler.
  const RawTime time = TimeOfUnixMilliseconds(static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
  Text path;
  path.Add(prefix_);
  path.AddNumber(time.year, 4);
  path.AddNumber(time.month, 2);
  path.AddNumber(time.day, 2);
  path.Add("_");
  path.AddNumber(time.hour, 2);
  path.AddNumber(time.minute, 2);
  path.AddNumber(time.second, 2);
  path.Add("_");
  path.AddNumber(time.milliseconds, 3);
  path.Add(".dmp");
  MakeFolders(path.data);
  const int fd = open(path.data, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  Text report;
  report.Add("Signal ");
  report.AddNumber(static_cast<uint64_t>(reinterpret_cast<intptr_t>(exceptionPointers)), 1);
  report.Add(" in thread ");
  report.AddNumber(static_cast<uint64_t>(CurrentTid()), 1);
  report.Add("\nBacktrace:\n");
  (void)!write(fd, report.data, report.length);
  void* frames[64];
  const int count = backtrace(frames, 64);
  backtrace_symbols_fd(frames, count, fd);
  close(fd);
}

}  // namespace RawLayer
