// Start to first paint of a Windows program, measured from outside as a user sees it: the time
// from starting the process until it shows a visible top-level window with nothing left to
// paint (an empty update region), and the private memory the process holds at that moment.
//
//   bench_start_paint <runs> <program> [arguments...]
//
// Each run starts the program, times it, reads its memory, closes its window (WM_CLOSE) and
// waits for it to end. Prints one line per run, then "median-ms <ms>" and "private-kb <kb>" (of
// the last run) for scripts to read.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Search {
  DWORD processId;
  HWND window;
};

BOOL CALLBACK FindShown(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  RECT rect{};
  if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) return TRUE;
  search->window = window;
  return FALSE;
}

std::wstring Quote(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
  return L"\"" + argument + L"\"";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: bench_start_paint <runs> <program> [arguments...]\n");
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  std::wstring commandLine = Quote(argv[2]);
  for (int i = 3; i < argc; ++i) commandLine += L" " + Quote(argv[i]);

  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  std::vector<double> times;
  SIZE_T privateBytes = 0;
  for (int run = 0; run < runs; ++run) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    LARGE_INTEGER start{};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
      std::fwprintf(stderr, L"cannot start the program (error %lu)\n", GetLastError());
      return 1;
    }
    CloseHandle(process.hThread);
    Search search{process.dwProcessId, nullptr};
    const ULONGLONG deadline = GetTickCount64() + 60000;
    for (;;) {
      search.window = nullptr;
      EnumWindows(&FindShown, reinterpret_cast<LPARAM>(&search));
      if (search.window != nullptr && !GetUpdateRect(search.window, nullptr, FALSE)) break;
      if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0 || GetTickCount64() > deadline) {
        std::fwprintf(stderr, L"the program showed no painted window\n");
        TerminateProcess(process.hProcess, 1);
        CloseHandle(process.hProcess);
        return 1;
      }
      Sleep(1);
    }
    LARGE_INTEGER end{};
    QueryPerformanceCounter(&end);
    const double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    times.push_back(ms);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
      // Wine leaves PrivateUsage at 0; the committed private bytes are PagefileUsage there, and
      // Windows reports the same value under both names.
      privateBytes = memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage;
    }
    std::wprintf(L"run %d: %.1f ms, private %zu KB, working set %zu KB\n", run + 1, ms, privateBytes / 1024,
                 memory.WorkingSetSize / 1024);
    PostMessageW(search.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
  }
  std::sort(times.begin(), times.end());
  std::wprintf(L"median-ms %.1f\nprivate-kb %zu\n", times[times.size() / 2], privateBytes / 1024);
  return 0;
}
