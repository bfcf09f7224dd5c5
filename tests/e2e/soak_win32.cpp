// The launcher under long use: clicks a button and opens a script menu many times, then reports
// what the launcher holds before and after (private memory, kernel handles, GDI and USER objects
// as the system counts them, windows of its thread) and checks that every run reached the log.
// Where the system does not give a process's handle count directly, the handles are counted in
// the system-wide handle list; GDI and USER objects that the system does not count are reported
// as such.
//
//   e2e_soak <kestrel.exe> <start-up profile> <log folder> <clicks> <menus> [max growth KB]
//
// The profile's first button runs a short script; its second shows a script menu whose first
// item the soak chooses with Down and Enter. A click is sent to the button box itself (a sent message
// returns when the run has ended, so every click is one run); a menu click is posted, and the
// soak waits for the menu window and for it to close. Exit code 0 when every run was logged,
// the windows returned to their number, the objects did not grow, the handles grew by at most
// kHandleSlack and the memory grew less than the bound (default 4096 KB); 1 otherwise.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kButtonBoxId = 100;
// The middle of the first two buttons of a column of icon buttons (24 pixels each).
constexpr int kFirstButtonY = 12;
constexpr int kSecondButtonY = 36;
// Handles the launcher may open for good after the first runs (a log file switched, a thread
// started late); one handle lost per run would exceed it many times over.
constexpr long kHandleSlack = 16;

// The system-wide handle list (information class 16) as the system gives it; only the owner's
// process id is read, in its low 16 bits, where every layout of the entry agrees.
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
struct SystemHandleEntry {
  ULONG owner;
  UCHAR objectType;
  UCHAR flags;
  USHORT value;
  PVOID object;
  ULONG access;
};
struct SystemHandleList {
  ULONG count;
  SystemHandleEntry entries[1];
};
using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

struct Figures {
  SIZE_T privateKb = 0;
  DWORD handles = 0;
  bool objectsCounted = false;
  DWORD gdi = 0;
  DWORD user = 0;
  int windows = 0;
};

// The handles `processId` holds in the system-wide list; 0 when the list cannot be read.
DWORD HandlesInSystemList(DWORD processId) {
  static const auto query = reinterpret_cast<QuerySystemInformation>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  std::vector<BYTE> buffer(1 << 16);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == kInfoLengthMismatch && buffer.size() < (64u << 20)) {
      buffer.resize(std::max<size_t>(buffer.size() * 2, needed));
      continue;
    }
    if (status != 0) return 0;
    break;
  }
  ULONG count = 0;
  std::memcpy(&count, buffer.data(), sizeof count);
  const size_t first = offsetof(SystemHandleList, entries);
  count = static_cast<ULONG>(std::min<size_t>(count, (buffer.size() - first) / sizeof(SystemHandleEntry)));
  DWORD held = 0;
  for (ULONG i = 0; i < count; ++i) {
    SystemHandleEntry entry;
    std::memcpy(&entry, buffer.data() + first + i * sizeof entry, sizeof entry);
    if ((entry.owner & 0xFFFF) == (processId & 0xFFFF)) ++held;
  }
  return held;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

Figures Measure(HANDLE process, DWORD thread) {
  Figures figures;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof(memory);
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory))) {
    figures.privateKb = (memory.PrivateUsage != 0 ? memory.PrivateUsage : memory.PagefileUsage) / 1024;
  }
  if (!GetProcessHandleCount(process, &figures.handles) || figures.handles == 0) {
    figures.handles = HandlesInSystemList(GetProcessId(process));
  }
  // A process with a window always holds GDI objects: none at all means they are not counted.
  figures.gdi = GetGuiResources(process, GR_GDIOBJECTS);
  figures.user = GetGuiResources(process, GR_USEROBJECTS);
  figures.objectsCounted = figures.gdi != 0;
  EnumThreadWindows(thread, &CountWindow, reinterpret_cast<LPARAM>(&figures.windows));
  return figures;
}

void Print(const char* when, const Figures& figures) {
  char objects[96] = "GDI and USER objects not counted by this system";
  if (figures.objectsCounted) {
    std::snprintf(objects, sizeof objects, "GDI objects %lu, USER objects %lu", figures.gdi, figures.user);
  }
  std::printf("%s: private %lu KB, handles %lu, %s, windows %d\n", when,
              static_cast<unsigned long>(figures.privateKb), figures.handles, objects, figures.windows);
  std::fflush(stdout);
}

struct Found {
  DWORD processId;
  const wchar_t* className;
  HWND window;
};

BOOL CALLBACK FindOfProcess(HWND window, LPARAM parameter) {
  auto* found = reinterpret_cast<Found*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (owner != found->processId || !IsWindowVisible(window) || std::wcscmp(name, found->className) != 0) return TRUE;
  found->window = window;
  return FALSE;
}

HWND WaitFor(DWORD processId, const wchar_t* className, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  for (;;) {
    Found found{processId, className, nullptr};
    EnumWindows(&FindOfProcess, reinterpret_cast<LPARAM>(&found));
    if (found.window != nullptr || GetTickCount64() > deadline) return found.window;
    Sleep(5);
  }
}

bool WaitGone(HWND window, DWORD milliseconds) {
  const ULONGLONG deadline = GetTickCount64() + milliseconds;
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount64() > deadline) return false;
    Sleep(2);
  }
  return true;
}

void Click(HWND box, int y, bool sent) {
  RECT client{};
  GetClientRect(box, &client);
  const LPARAM point = MAKELPARAM(client.right / 2, y);
  if (sent) {
    SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageW(box, WM_LBUTTONUP, 0, point);
  } else {
    PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(box, WM_LBUTTONUP, 0, point);
  }
}

// A menu opens with no item highlighted: Down highlights the first, Enter chooses it.
void ChooseFirst(HWND menu) {
  PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
}

// Lines of the log folder's files that hold `text`.
long CountLogLines(const std::wstring& folder, const std::string& text) {
  long count = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      if (line.find(text) != std::string::npos) ++count;
    }
  }
  return count;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 6) {
    std::fwprintf(stderr, L"usage: e2e_soak <kestrel.exe> <profile> <log folder> <clicks> <menus> [max growth KB]\n");
    return 2;
  }
  const std::wstring logFolder = argv[3];
  const long clicks = _wtol(argv[4]);
  const long menus = _wtol(argv[5]);
  const long maxGrowthKb = argc > 6 ? _wtol(argv[6]) : 4096;

  // The log folder holds only this soak's files.
  std::error_code cleared;
  std::filesystem::remove_all(logFolder, cleared);

  std::wstring commandLine = L"\"" + std::wstring(argv[1]) + L"\" -p \"" + argv[2] + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fprintf(stderr, "cannot start the launcher (error %lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  bool passed = true;
  HWND main = WaitFor(process.dwProcessId, L"KestrelView", 30000);
  HWND box = main != nullptr ? GetDlgItem(main, kButtonBoxId) : nullptr;
  if (box == nullptr) {
    std::fprintf(stderr, "the launcher showed no button box\n");
    TerminateProcess(process.hProcess, 1);
    return 1;
  }
  const DWORD thread = GetWindowThreadProcessId(main, nullptr);

  // One run of each kind first: the figures start after the first use has set everything up.
  Click(box, kFirstButtonY, true);
  const long perClick = CountLogLines(logFolder, "|(Button)One");
  Click(box, kSecondButtonY, false);
  if (HWND menu = WaitFor(process.dwProcessId, L"#32768", 10000)) {
    ChooseFirst(menu);
    WaitGone(menu, 10000);
  }
  SendMessageW(main, WM_NULL, 0, 0);
  const Figures before = Measure(process.hProcess, thread);
  Print("before", before);

  for (long i = 0; i < clicks; ++i) {
    Click(box, kFirstButtonY, true);
    if ((i + 1) % 2000 == 0) Print(("after " + std::to_string(i + 1) + " clicks").c_str(), Measure(process.hProcess, thread));
  }
  long menusShown = 0;
  for (long i = 0; i < menus; ++i) {
    Click(box, kSecondButtonY, false);
    HWND menu = WaitFor(process.dwProcessId, L"#32768", 10000);
    if (menu == nullptr) break;
    ++menusShown;
    ChooseFirst(menu);
    if (!WaitGone(menu, 10000)) break;
    SendMessageW(main, WM_NULL, 0, 0);
  }
  const Figures after = Measure(process.hProcess, thread);
  Print("after", after);

  PostMessageW(main, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
    std::fprintf(stderr, "the launcher did not end after WM_CLOSE\n");
    TerminateProcess(process.hProcess, 1);
    passed = false;
  }
  CloseHandle(process.hProcess);

  // The log is complete once the launcher has ended (its worker drains the queue at stop).
  const long clickLines = CountLogLines(logFolder, "|(Button)One");
  const long menuItemLines = CountLogLines(logFolder, "|(Button)Two");
  std::printf("log: %ld lines per click run, %ld click-run lines for %ld clicks, %ld menu-run lines for %ld menus\n",
              perClick, clickLines, clicks + 1, menuItemLines, menusShown + 1);
  if (menusShown != menus) {
    std::printf("FAILED: only %ld of %ld menus opened\n", menusShown, menus);
    passed = false;
  }
  if (perClick <= 0 || clickLines != perClick * (clicks + 1)) {
    std::printf("FAILED: click runs missing from the log\n");
    passed = false;
  }
  if (menuItemLines % (menusShown + 1) != 0 || menuItemLines == 0) {
    std::printf("FAILED: menu runs missing from the log\n");
    passed = false;
  }
  if (after.windows != before.windows || after.user > before.user || after.gdi > before.gdi) {
    std::printf("FAILED: windows or objects were not given back\n");
    passed = false;
  }
  if (before.handles == 0 || after.handles == 0) {
    std::printf("handles: not counted by this system\n");
  } else if (static_cast<long>(after.handles) - static_cast<long>(before.handles) > kHandleSlack) {
    std::printf("FAILED: handles grew from %lu to %lu\n", before.handles, after.handles);
    passed = false;
  }
  const long growth = static_cast<long>(after.privateKb) - static_cast<long>(before.privateKb);
  std::printf("private memory grew by %ld KB (bound %ld KB)\n", growth, maxGrowthKb);
  if (growth > maxGrowthKb) passed = false;
  std::printf("%s\n", passed ? "soak passed" : "soak FAILED");
  return passed ? 0 : 1;
}
