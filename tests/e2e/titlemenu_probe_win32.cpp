// The title menu's probe for end-to-end scenarios: acts on the launcher's window from outside as
// a user's hand would, and stands in for the help viewer.
//
// Hand (each waits up to <ms> for what it needs):
//   choose <class> <title|*> <keys> <ms>
//                     opens the window's title menu from the keyboard (as Alt+Space does) and
//                     walks it with <keys>: D down, U up, R right (into a submenu), E enter,
//                     X escape; after a last E or X the menu must close
//   place <class> <title|*> <left> <top> <ms>
//                     moves the window there, keeping its size
//   centred <class> <title|*> <ms>
//                     the window comes to lie centred on the primary work area, never left of or
//                     above it
//   font <face|-> <ok|cancel> <ms>
//                     the visible font dialog ("#32770" titled "Font"): pick the face ("-": as it
//                     opened) and press the button; the dialog must then close. After OK the
//                     dialog's owner process must end (the restart); after Cancel the owner
//                     must handle its queued messages and still run
//   report <text> <ms>
//                     the visible box "#32770" titled "Kestrel" shows a message (control 0xFFFF)
//                     that holds <text>; OK then closes it, and its owner still runs
// Viewer: run under the file name "Leafnote.exe", the probe appends "viewer <its arguments>" as a
// line to "Leafnote.log" beside itself and ends.
// Files:
//   copy <from> <to>  copies a file (the probe itself as the viewer)
// Exit code 0 means done as asked; 1 says what was found instead; 2 a malformed command.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 20;

int Fail(const std::wstring& text) {
  fwprintf(stdout, L"%ls\n", text.c_str());
  fflush(stdout);
  return 1;
}

struct Search {
  const wchar_t* className;
  const wchar_t* title;  // "*": any
  DWORD thread;          // 0: any
  HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM data) {
  auto& search = *reinterpret_cast<Search*>(data);
  wchar_t name[128] = {};
  wchar_t text[256] = {};
  GetClassNameW(window, name, 128);
  GetWindowTextW(window, text, 256);
  if (!IsWindowVisible(window) || wcscmp(name, search.className) != 0) return TRUE;
  if (wcscmp(search.title, L"*") != 0 && wcscmp(text, search.title) != 0) return TRUE;
  if (search.thread != 0 && GetWindowThreadProcessId(window, nullptr) != search.thread) return TRUE;
  search.found = window;
  return FALSE;
}

HWND FindVisible(const wchar_t* className, const wchar_t* title, DWORD thread = 0) {
  Search search{className, title, thread, nullptr};
  EnumWindows(&Match, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WaitVisible(const wchar_t* className, const wchar_t* title, DWORD ms, DWORD thread = 0) {
  for (DWORD waited = 0;; waited += kPollMs) {
    if (HWND window = FindVisible(className, title, thread)) return window;
    if (waited >= ms) return nullptr;
    Sleep(kPollMs);
  }
}

struct MenuCount {
  DWORD thread;
  int count;
};

BOOL CALLBACK CountMenu(HWND window, LPARAM data) {
  auto& menus = *reinterpret_cast<MenuCount*>(data);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (IsWindowVisible(window) && wcscmp(name, L"#32768") == 0 &&
      GetWindowThreadProcessId(window, nullptr) == menus.thread) {
    ++menus.count;
  }
  return TRUE;
}

// The visible menu windows of a thread.
int CountMenus(DWORD thread) {
  MenuCount menus{thread, 0};
  EnumWindows(&CountMenu, reinterpret_cast<LPARAM>(&menus));
  return menus.count;
}

int Choose(const wchar_t* className, const wchar_t* title, const std::wstring& keys, DWORD ms) {
  HWND window = WaitVisible(className, title, ms);
  if (window == nullptr) return Fail(L"no such window");
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  // The keys walk the menu from its first item: a cursor resting where the menu opens (a click
  // of an earlier scenario) would highlight another item, so it goes to the far corner first.
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
  SetForegroundWindow(window);
  PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, L' ');
  if (WaitVisible(L"#32768", L"*", ms, thread) == nullptr) return Fail(L"the title menu did not open");
  for (wchar_t key : keys) {
    const int menusBefore = CountMenus(thread);
    WPARAM code = 0;
    switch (key) {
      case L'D': code = VK_DOWN; break;
      case L'U': code = VK_UP; break;
      case L'R': code = VK_RIGHT; break;
      case L'E': code = VK_RETURN; break;
      case L'X': code = VK_ESCAPE; break;
      default: return Fail(L"unknown key");
    }
    // The topmost menu window takes the keys; once the menu window has gone (the first Escape),
    // the window itself is still in menu mode and takes them.
    HWND target = FindVisible(L"#32768", L"*", thread);
    if (target == nullptr) target = window;
    PostMessageW(target, WM_KEYDOWN, code, 1);
    PostMessageW(target, WM_KEYUP, code, 0xC0000001);
    if (key == L'X') {
      // Let the Escape take effect before the next key picks its window.
      for (DWORD waited = 0; waited < ms && CountMenus(thread) == menusBefore && menusBefore > 0; waited += kPollMs) {
        Sleep(kPollMs);
      }
    }
    if (key == L'R') {
      // Wait for the submenu, so that the next key goes to it.
      for (DWORD waited = 0; CountMenus(thread) < 2 && waited < ms; waited += kPollMs) Sleep(kPollMs);
    }
  }
  if (keys.empty() || (keys.back() != L'E' && keys.back() != L'X')) return 0;
  for (DWORD waited = 0;; waited += kPollMs) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    const bool inMenu = GetGUIThreadInfo(thread, &info) && (info.flags & GUI_INMENUMODE) != 0;
    if (!inMenu && CountMenus(thread) == 0) return 0;
    if (waited >= ms) return Fail(L"the title menu stayed open");
    Sleep(kPollMs);
  }
}

int Place(const wchar_t* className, const wchar_t* title, int left, int top, DWORD ms) {
  HWND window = WaitVisible(className, title, ms);
  if (window == nullptr) return Fail(L"no such window");
  SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (DWORD waited = 0;; waited += kPollMs) {
    RECT rect{};
    GetWindowRect(window, &rect);
    if (rect.left == left && rect.top == top) return 0;
    if (waited >= ms) return Fail(L"the window did not move");
    Sleep(kPollMs);
  }
}

int Centred(const wchar_t* className, const wchar_t* title, DWORD ms) {
  HWND window = WaitVisible(className, title, ms);
  if (window == nullptr) return Fail(L"no such window");
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  RECT rect{};
  for (DWORD waited = 0;; waited += kPollMs) {
    GetWindowRect(window, &rect);
    const LONG width = rect.right - rect.left;
    const LONG height = rect.bottom - rect.top;
    const LONG left = std::max(work.left, work.left + (work.right - work.left - width) / 2);
    const LONG top = std::max(work.top, work.top + (work.bottom - work.top - height) / 2);
    if (rect.left == left && rect.top == top) return 0;
    if (waited >= ms) break;
    Sleep(kPollMs);
  }
  wchar_t text[160];
  swprintf(text, 160, L"the window lies at %ld %ld %ld %ld, the work area is %ld %ld %ld %ld", rect.left, rect.top,
           rect.right, rect.bottom, work.left, work.top, work.right, work.bottom);
  return Fail(text);
}

int Font(const std::wstring& face, const std::wstring& button, DWORD ms) {
  HWND dialog = WaitVisible(L"#32770", L"Font", ms);
  if (dialog == nullptr) return Fail(L"no font dialog");
  HWND owner = GetWindow(dialog, GW_OWNER);
  DWORD ownerId = 0;
  GetWindowThreadProcessId(owner, &ownerId);
  HANDLE ownerProcess = OpenProcess(SYNCHRONIZE, FALSE, ownerId);
  if (owner == nullptr || ownerProcess == nullptr) return Fail(L"the font dialog has no owner");

  if (face != L"-") {
    HWND faceBox = GetDlgItem(dialog, 0x470);
    if (SendMessageW(faceBox, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(face.c_str())) ==
        CB_ERR) {
      return Fail(L"the dialog has no such face");
    }
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(0x470, CBN_SELCHANGE), reinterpret_cast<LPARAM>(faceBox));
  }
  const bool ok = button == L"ok";
  const int id = ok ? IDOK : IDCANCEL;
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
  for (DWORD waited = 0; IsWindow(dialog); waited += kPollMs) {
    if (waited >= ms) return Fail(L"the font dialog stayed open");
    Sleep(kPollMs);
  }

  if (!ok) {
    // Twice through the owner's queue: whatever the choice posted to it has been handled since.
    DWORD_PTR answer = 0;
    for (int round = 0; round < 2; ++round) {
      if (!SendMessageTimeoutW(owner, WM_NULL, 0, 0, SMTO_NORMAL, ms, &answer)) {
        return Fail(L"the owner no longer answers");
      }
    }
    const bool running = WaitForSingleObject(ownerProcess, 0) == WAIT_TIMEOUT;
    CloseHandle(ownerProcess);
    return running ? 0 : Fail(L"the owner ended");
  }
  // The restart ends this instance (the new one ends the old).
  const bool ended = WaitForSingleObject(ownerProcess, ms) == WAIT_OBJECT_0;
  CloseHandle(ownerProcess);
  return ended ? 0 : Fail(L"the owner did not end");
}

int Report(const std::wstring& text, DWORD ms) {
  HWND box = WaitVisible(L"#32770", L"Kestrel", ms);
  if (box == nullptr) return Fail(L"no report box");
  HWND message = GetDlgItem(box, 0xFFFF);
  // Another process's control: its text comes only by message (GetWindowText reads captions).
  const auto length = static_cast<size_t>(SendMessageW(message, WM_GETTEXTLENGTH, 0, 0));
  std::wstring shown(length + 1, L'\0');
  shown.resize(static_cast<size_t>(
      SendMessageW(message, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(shown.data()))));
  if (shown.find(text) == std::wstring::npos) return Fail(L"the report shows: " + shown);
  HWND owner = GetWindow(box, GW_OWNER);
  if (owner == nullptr) return Fail(L"the report box has no owner");
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
  for (DWORD waited = 0; IsWindow(box); waited += kPollMs) {
    if (waited >= ms) return Fail(L"the report box stayed open");
    Sleep(kPollMs);
  }
  DWORD_PTR answer = 0;
  return SendMessageTimeoutW(owner, WM_NULL, 0, 0, SMTO_NORMAL, ms, &answer) ? 0 : Fail(L"the owner no longer answers");
}

// The help viewer's stand-in: one line per start.
int Viewer(const std::wstring& ownPath) {
  const std::wstring log = ownPath.substr(0, ownPath.find_last_of(L"\\/") + 1) + L"Leafnote.log";
  // The arguments as the launcher wrote them: the command line after the program's name.
  const wchar_t* line = GetCommandLineW();
  bool quoted = false;
  while (*line != L'\0' && (quoted || (*line != L' ' && *line != L'\t'))) {
    if (*line == L'"') quoted = !quoted;
    ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  const std::wstring text = L"viewer " + std::wstring(line) + L"\r\n";
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  HANDLE file = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  wchar_t own[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, own, MAX_PATH);
  std::wstring ownPath = own;
  std::wstring ownName = ownPath.substr(ownPath.find_last_of(L"\\/") + 1);
  if (_wcsicmp(ownName.c_str(), L"Leafnote.exe") == 0) return Viewer(ownPath);

  const std::vector<std::wstring> args(argv + 1, argv + argc);
  const auto ms = [&](size_t i) { return static_cast<DWORD>(_wtoi(args[i].c_str())); };
  if (args.size() == 5 && args[0] == L"choose") return Choose(args[1].c_str(), args[2].c_str(), args[3], ms(4));
  if (args.size() == 6 && args[0] == L"place") {
    return Place(args[1].c_str(), args[2].c_str(), _wtoi(args[3].c_str()), _wtoi(args[4].c_str()), ms(5));
  }
  if (args.size() == 4 && args[0] == L"centred") return Centred(args[1].c_str(), args[2].c_str(), ms(3));
  if (args.size() == 4 && args[0] == L"font") return Font(args[1], args[2], ms(3));
  if (args.size() == 3 && args[0] == L"report") return Report(args[1], ms(2));
  if (args.size() == 3 && args[0] == L"copy") return CopyFileW(args[1].c_str(), args[2].c_str(), FALSE) ? 0 : 1;
  fwprintf(stdout, L"usage: choose|place|centred|font|report|copy ...\n");
  return 2;
}
