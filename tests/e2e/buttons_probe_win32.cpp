// The button box's probe for end-to-end scenarios: the user's hand on Kestrel's button box. It
// finds the launcher's main window (a visible top-level window titled "Kestrel" with the button
// box as its child 100), and acts at points given relative to the box's top-left corner.
//
//   host <profile> [tip] [row]              the launcher's main window holding the button box of
//                                           the profile's buttons, run until it is closed; "tip"
//                                           turns tips on, "row" puts the buttons in a row
//   click <dx> <dy> <left|right> <ms>       click there with SendInput
//   drag <dx1> <dy1> <dx2> <dy2> <left|right> <ms>
//                                           press at the first point, move to the second while
//                                           holding the button, release there
//   cursor <dx> <dy> <ms>                   move the mouse there (relative to the box)
//   hover <dx> <dy> <text> <ms>             rest the mouse there until a visible window titled
//                                           with the text (the tip) shows, nudging it by a pixel
//                                           now and then as a hand would
//   away                                    move the mouse to the screen's bottom-right corner
//   foreground <ms>                         the launcher's window is the foreground window with
//                                           the box focused (clicked at its top-left corner with
//                                           Alt held, which selects without running), so that
//                                           typed keys reach the box
//   drop <dx> <dy> <alt|plain> <ms> <path>...
//                                           drop the files on the box at that point, as the shell
//                                           does: a DROPFILES block written into Kestrel's
//                                           memory, and WM_DROPFILES sent with its address; with
//                                           "alt" the Alt key is held meanwhile
//   absent <path>                           no such file exists
//   in-order <path> <text>...               the file holds the UTF-8 texts, each after the one
//                                           before
// <ms> bounds the wait for the window. Exit code 0 means done; 1 names what failed.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/button_box.h"
#include "app/job_screen.h"
#include "app/main_dialog.h"
#include "app/settings.h"
#include "job/profile_model.h"
#include "job/screen.h"

namespace {

constexpr int kButtonBoxId = 100;
constexpr DWORD kPollMs = 20;

struct Found {
  HWND main = nullptr;
  HWND box = nullptr;
};

BOOL CALLBACK FindMain(HWND window, LPARAM data) {
  auto& found = *reinterpret_cast<Found*>(data);
  wchar_t title[64] = {};
  GetWindowTextW(window, title, 64);
  if (!IsWindowVisible(window) || std::wcscmp(title, L"Kestrel") != 0) return TRUE;
  HWND box = GetDlgItem(window, kButtonBoxId);
  if (box == nullptr || !IsWindowVisible(box)) return TRUE;
  found.main = window;
  found.box = box;
  return FALSE;
}

Found WaitBox(DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    Found found;
    EnumWindows(&FindMain, reinterpret_cast<LPARAM>(&found));
    if (found.box != nullptr) return found;
    if (GetTickCount64() >= end) {
      std::printf("no Kestrel window with a button box after %lu ms\n", ms);
      return {};
    }
    Sleep(kPollMs);
  }
}

POINT BoxPoint(HWND box, int dx, int dy) {
  RECT rect;
  GetWindowRect(box, &rect);
  return {rect.left + dx, rect.top + dy};
}

// SendInput's 0..65535 range, rounded up so the system maps it back to the same pixel.
INPUT MouseInput(POINT point, DWORD flags) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((static_cast<long long>(point.x) * 65536 + width - 1) / width);
  input.mi.dy = static_cast<LONG>((static_cast<long long>(point.y) * 65536 + height - 1) / height);
  input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE | flags;
  return input;
}

INPUT KeyInput(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

bool Send(std::vector<INPUT> inputs) {
  const UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) std::printf("SendInput took %u of %zu events\n", sent, inputs.size());
  return sent == inputs.size();
}

int Click(const Found& found, POINT at, bool left) {
  SetForegroundWindow(found.main);
  return Send({MouseInput(at, 0), MouseInput(at, left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN),
               MouseInput(at, left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP)})
             ? 0
             : 1;
}

int Drag(const Found& found, POINT from, POINT to, bool left) {
  SetForegroundWindow(found.main);
  std::vector<INPUT> inputs{MouseInput(from, 0), MouseInput(from, left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN)};
  constexpr int kSteps = 6;
  for (int i = 1; i <= kSteps; ++i) {
    inputs.push_back(MouseInput({from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps}, 0));
  }
  inputs.push_back(MouseInput(to, left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP));
  return Send(inputs) ? 0 : 1;
}

// A DROPFILES block with wide paths, built here and copied into the target process, where the
// box reads it as its drop handle.
int Drop(const Found& found, POINT client, bool alt, const std::vector<std::wstring>& paths) {
  std::vector<char> block(sizeof(DROPFILES));
  for (const std::wstring& path : paths) {
    const char* bytes = reinterpret_cast<const char*>(path.c_str());
    block.insert(block.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
  }
  block.insert(block.end(), sizeof(wchar_t), 0);
  auto* files = reinterpret_cast<DROPFILES*>(block.data());
  files->pFiles = sizeof(DROPFILES);
  files->pt = client;
  files->fNC = FALSE;
  files->fWide = TRUE;

  DWORD processId = 0;
  GetWindowThreadProcessId(found.box, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
  if (process == nullptr) {
    std::printf("cannot open process %lu\n", processId);
    return 1;
  }
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  const bool written =
      remote != nullptr && WriteProcessMemory(process, remote, block.data(), block.size(), nullptr) != FALSE;
  CloseHandle(process);
  if (!written) {
    std::printf("cannot write the drop block into process %lu\n", processId);
    return 1;
  }
  // Another key between Alt's press and release, so that the lone Alt does not open the
  // window's menu when it comes up.
  if (alt && !Send({KeyInput(VK_MENU, false)})) return 1;
  DWORD_PTR result = 0;
  const bool sent = SendMessageTimeoutW(found.box, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0,
                                        SMTO_NORMAL, 30000, &result) != 0;
  if (alt && !Send({KeyInput(VK_SHIFT, false), KeyInput(VK_SHIFT, true), KeyInput(VK_MENU, true)})) return 1;
  if (!sent) {
    std::printf("the box did not take the drop\n");
    return 1;
  }
  return 0;
}

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

int InOrder(const wchar_t* path, const std::vector<std::wstring>& texts) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  size_t at = 0;
  for (const std::wstring& text : texts) {
    const std::string narrow = Utf8(text.c_str());
    const size_t found = bytes.find(narrow, at);
    if (found == std::string::npos) {
      std::printf("\"%s\" is not in the file after offset %zu; the file holds:\n%s\n", narrow.c_str(), at,
                  bytes.c_str());
      return 1;
    }
    at = found + narrow.size();
  }
  return 0;
}

class ButtonPane : public AppLayer::GuiMainPane {
 public:
  bool CreatePane(HWND parent) override { return box_.CreateIn(parent); }
  AppLayer::GuiSize MeasurePane() override { return box_.MeasureLayout(); }
  HWND PaneWindow() const override { return box_.Handle(); }
  void ApplyStyle() override { box_.ApplyStyle(); }

 private:
  AppLayer::GuiButtonBox box_;
};

// The host has no icons to load or store and is never restarted.
class QuietActions : public AppLayer::GuiMainActions {
 public:
  void StartInstance(const RawLayer::RawString&) override {}
  void StartIcons(HWND) override {}
  void StopIcons() override {}
  void StoreIcons(bool) override {}
  void ResizeIcons(int32_t) override {}
};

int Host(const wchar_t* profile, bool tip, bool row) {
  JobLayer::SetScreen(&AppLayer::GuiJobScreen());
  AppLayer::GuiSettings::Instance().viewTip = tip;
  AppLayer::GuiSettings::Instance().horizontal = row;
  const RawLayer::RawString path = RawLayer::RawString::FromWide(reinterpret_cast<const char16_t*>(profile),
                                                                 static_cast<int32_t>(std::wcslen(profile)));
  if (!JobLayer::JobProfileModel::Instance().Load(path)) {
    std::printf("cannot read the profile\n");
    return 1;
  }
  ButtonPane pane;
  AppLayer::GuiMainParts parts;
  parts.buttons = &pane;
  QuietActions actions;
  AppLayer::GuiMainDialog dialog(parts, actions);
  return dialog.Run() < 0 ? 1 : 0;
}

// Keys typed by the driver go to the foreground window: a window that came up meanwhile (the
// desktop's own, at a cold start) would take them.
int Foreground(const Found& found, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  const POINT corner = BoxPoint(found.box, 1, 1);
  for (;;) {
    SetForegroundWindow(found.main);
    // An Alt-click focuses the box without running a button; Shift between keeps the lone Alt
    // from opening the window's menu.
    if (!Send({KeyInput(VK_MENU, false), MouseInput(corner, 0), MouseInput(corner, MOUSEEVENTF_LEFTDOWN),
               MouseInput(corner, MOUSEEVENTF_LEFTUP), KeyInput(VK_SHIFT, false), KeyInput(VK_SHIFT, true),
               KeyInput(VK_MENU, true)})) {
      return 1;
    }
    for (int i = 0; i < 10; ++i) {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      if (GetForegroundWindow() == found.main && GetGUIThreadInfo(GetWindowThreadProcessId(found.main, nullptr), &info) &&
          info.hwndFocus == found.box) {
        return 0;
      }
      Sleep(kPollMs);
    }
    if (GetTickCount64() >= end) {
      std::printf("the launcher's window did not come to the foreground with the box focused\n");
      return 1;
    }
  }
}

BOOL CALLBACK FindTitled(HWND window, LPARAM data) {
  auto& wanted = *reinterpret_cast<std::pair<const wchar_t*, HWND>*>(data);
  wchar_t title[256] = {};
  GetWindowTextW(window, title, 256);
  if (!IsWindowVisible(window) || std::wcscmp(title, wanted.first) != 0) return TRUE;
  wanted.second = window;
  return FALSE;
}

// Hover notification needs the mouse to move onto the box and then rest; a move that the
// system merged away is made again.
int Hover(POINT at, const wchar_t* text, DWORD ms) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (int nudge = 0;; ++nudge) {
    if (!Send({MouseInput({at.x + nudge % 2, at.y}, 0)})) return 1;
    const ULONGLONG rest = GetTickCount64() + 2000;
    while (GetTickCount64() < rest) {
      std::pair<const wchar_t*, HWND> wanted{text, nullptr};
      EnumWindows(&FindTitled, reinterpret_cast<LPARAM>(&wanted));
      if (wanted.second != nullptr) return 0;
      Sleep(kPollMs);
    }
    if (GetTickCount64() >= end) {
      std::printf("no tip window after %lu ms\n", ms);
      return 1;
    }
  }
}

int Number(const wchar_t* text) { return static_cast<int>(std::wcstol(text, nullptr, 10)); }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  const auto has = [&](int count) { return argc >= 2 + count; };
  if (command == L"host" && has(1)) {
    bool tip = false, row = false;
    for (int i = 3; i < argc; ++i) {
      tip = tip || std::wcscmp(argv[i], L"tip") == 0;
      row = row || std::wcscmp(argv[i], L"row") == 0;
    }
    return Host(argv[2], tip, row);
  }
  if (command == L"away") {
    return Send({MouseInput({GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1}, 0)}) ? 0 : 1;
  }
  if (command == L"click" && has(4)) {
    const Found found = WaitBox(static_cast<DWORD>(Number(argv[5])));
    if (found.box == nullptr) return 1;
    return Click(found, BoxPoint(found.box, Number(argv[2]), Number(argv[3])), std::wcscmp(argv[4], L"left") == 0);
  }
  if (command == L"drag" && has(6)) {
    const Found found = WaitBox(static_cast<DWORD>(Number(argv[7])));
    if (found.box == nullptr) return 1;
    return Drag(found, BoxPoint(found.box, Number(argv[2]), Number(argv[3])),
                BoxPoint(found.box, Number(argv[4]), Number(argv[5])), std::wcscmp(argv[6], L"left") == 0);
  }
  if (command == L"cursor" && has(3)) {
    const Found found = WaitBox(static_cast<DWORD>(Number(argv[4])));
    if (found.box == nullptr) return 1;
    return Send({MouseInput(BoxPoint(found.box, Number(argv[2]), Number(argv[3])), 0)}) ? 0 : 1;
  }
  if (command == L"hover" && has(4)) {
    const Found found = WaitBox(static_cast<DWORD>(Number(argv[5])));
    if (found.box == nullptr) return 1;
    return Hover(BoxPoint(found.box, Number(argv[2]), Number(argv[3])), argv[4],
                 static_cast<DWORD>(Number(argv[5])));
  }
  if (command == L"foreground" && has(1)) {
    const Found found = WaitBox(static_cast<DWORD>(Number(argv[2])));
    if (found.box == nullptr) return 1;
    return Foreground(found, static_cast<DWORD>(Number(argv[2])));
  }
  if (command == L"drop" && has(5)) {
    const Found found = WaitBox(static_cast<DWORD>(Number(argv[5])));
    if (found.box == nullptr) return 1;
    std::vector<std::wstring> paths(argv + 6, argv + argc);
    return Drop(found, {Number(argv[2]), Number(argv[3])}, std::wcscmp(argv[4], L"alt") == 0, paths);
  }
  if (command == L"absent" && has(1)) {
    if (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) return 0;
    std::printf("the file exists\n");
    return 1;
  }
  if (command == L"in-order" && has(2)) return InOrder(argv[2], std::vector<std::wstring>(argv + 3, argv + argc));
  std::printf("usage: host | click | drag | cursor | hover | away | foreground | drop | absent | in-order (see the source)\n");
  return 2;
}
