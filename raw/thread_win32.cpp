// Threads and the crash dump on Windows. The guard is the process's
// unhandled-exception filter, which the system calls on the failing thread,
// whichever thread it is; an uncaught C++ exception reaches it through the
// terminate handler, which raises a structured exception.
//
// dbghelp.dll is not one of the system's known DLLs: imported, it would be looked
// for in the program's folder first, where any DLL of that name would run inside
// the program. So it is loaded from the system folder only, when the guard is
// installed (a crashed process is no place to load a library), and the dump
// writer is found by name.
#include <windows.h>

#include <dbghelp.h>

#include <atomic>
#include <exception>

#include "raw/file.h"
#include "raw/path.h"
#include "raw/system_library_win32.h"
#include "raw/thread.h"

namespace RawLayer {

namespace {

// The exception code of an uncaught C++ exception ("msc" with a leading 0xE0, as
// compilers on this platform use for their own exceptions).
constexpr DWORD kUncaughtCppException = 0xE06D7363;

// The stacks, the threads and the data segments of the modules. A full-memory dump of a
// 32-bit process under Wine never ends (it was seen growing past 130 MB for minutes), and a
// crashed launcher must end.
constexpr MINIDUMP_TYPE kDumpType =
    static_cast<MINIDUMP_TYPE>(MiniDumpWithDataSegs | MiniDumpWithHandleData | MiniDumpWithThreadInfo);

LPTOP_LEVEL_EXCEPTION_FILTER g_previousFilter = nullptr;

using MiniDumpWriteDumpEntry = decltype(&MiniDumpWriteDump);
// Null when the system's dbghelp.dll could not be loaded: then no dump is written.
MiniDumpWriteDumpEntry g_writeDump = nullptr;

// The DLL stays loaded for the life of the process.
void LoadDumpWriter() { g_writeDump = SystemFunction<MiniDumpWriteDumpEntry>(L"dbghelp.dll", "MiniDumpWriteDump"); }

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) {
  // One crash, one dump: on x86_64 an uncaught C++ exception reaches the filter twice (the
  // terminate handler's exception, then the runtime's own), and the process ends anyway.
  static std::atomic<bool> dumped{false};
  if (!dumped.exchange(true)) DispatchException(pointers);
  // The search goes on: the runtime's own filter, then the system's crash handling.
  if (g_previousFilter != nullptr) return g_previousFilter(pointers);
  return EXCEPTION_CONTINUE_SEARCH;
}

[[noreturn]] void OnTerminate() {
  RaiseException(kUncaughtCppException, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  std::abort();
}

DWORD WINAPI ThreadProcedure(LPVOID unit) {
  RunThreadUnit(static_cast<RawThreadUnit*>(unit));
  return 0;
}

}  // namespace

bool RawThreadUnit::CreateSystemThread() {
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, ThreadProcedure, this, 0, &id);
  if (thread == nullptr) return false;
  std::lock_guard<std::mutex> lock(state_);
  handle_ = thread;
  threadId_ = id;
  return true;
}

void RawThreadUnit::CloseSystemThread() {
  std::lock_guard<std::mutex> lock(state_);
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
  handle_ = nullptr;
  threadId_ = 0;
}

void RawThreadUnit::ApplyPriority(int32_t priority) { SetThreadPriority(GetCurrentThread(), priority); }

int32_t CurrentThreadPriority() { return GetThreadPriority(GetCurrentThread()); }

void InstallCrashGuard() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  LoadDumpWriter();
  g_previousFilter = SetUnhandledExceptionFilter(CrashFilter);
  std::set_terminate(OnTerminate);
}

void RawThreadDump::PreparePrefix() {}

void RawThreadDump::OnException(void* exceptionPointers) {
  const RawString path = DumpPath();
  if (path.IsEmpty() || g_writeDump == nullptr) return;
  const int32_t separator = path.FindLastSeparator();
  if (separator < path.Length()) (void)EnsureFolder(path.Sub({0, separator}));
  const std::wstring widePath = path.ToWideString();
  HANDLE file = CreateFileW(widePath.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  MINIDUMP_EXCEPTION_INFORMATION information{};
  information.ThreadId = GetCurrentThreadId();
  information.ExceptionPointers = static_cast<EXCEPTION_POINTERS*>(exceptionPointers);
  information.ClientPointers = TRUE;
  (void)g_writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, kDumpType,
                          exceptionPointers != nullptr ? &information : nullptr, nullptr, nullptr);
  CloseHandle(file);
}

}  // namespace RawLayer
