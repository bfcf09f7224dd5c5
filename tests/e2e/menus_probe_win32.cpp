// The script menus' probe for end-to-end scenarios: a user at the keyboard of a pop-up menu.
//
//   menus_probe run <outfile> <keys> <line>...
//       runs the lines as a script (a left click on a button at 1000,600-1080,630, away from the
//       middle of the screen where other scenarios' windows open, since the icon is checked on
//       the screen) with the launcher's menu host and icon cache; meanwhile a second thread
//       waits for the menu, writes what it sees to outfile and types the keys. The exit code is
//       0 when the run succeeded, else 1.
//   menus_probe drive <keys> <program> <argument>...
//       starts the program, waits for its menu, types the keys and exits with the program's
//       exit code.
//
// keys: comma-separated steps: down, up, right, left, enter, escape, or a digit N, which waits
// until N menu levels are open. outfile receives, once the first menu is painted:
//   menu <entries>   I item, - separator, M[...] a sub-menu and its entries, e.g. I,-,M[I],I
//   icon drawn       when the first entry's icon shows on the screen (else "icon missing")
// Every wait is bounded (10 s); the probe never sleeps blindly.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/icon_store_win32.h"
#include "app/job_screen.h"
#include "app/script_menu.h"
#include "app/settings.h"
#include "job/command.h"
#include "job/command_menu.h"
#include "job/icon_cache.h"
#include "job/run.h"

namespace {

using RawLayer::RawString;

constexpr int kPollMs = 20;
constexpr int kWaitPolls = 500;

RawString Text(const std::wstring& text) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text.data()), static_cast<int32_t>(text.size()));
}

struct Search {
  DWORD process;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMenuWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t name[16] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == search->process && IsWindowVisible(window) && GetClassNameW(window, name, 16) > 0 &&
      std::wstring(name) == L"#32768") {
    search->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> MenuWindows(DWORD process) {
  Search search{process, {}};
  EnumWindows(&CollectMenuWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool WaitForMenus(DWORD process, size_t count) {
  for (int polls = 0; polls < kWaitPolls; ++polls) {
    if (MenuWindows(process).size() >= count) return true;
    Sleep(kPollMs);
  }
  return false;
}

std::vector<std::string> Split(const std::wstring& keys) {
  std::vector<std::string> steps;
  std::string step;
  for (wchar_t c : keys + L",") {
    if (c == L',') {
      if (!step.empty()) steps.push_back(step);
      step.clear();
    } else {
      step += static_cast<char>(c);
    }
  }
  return steps;
}

// Types the steps into the process's open menu; false when a menu level never came.
bool TypeKeys(DWORD process, const std::vector<std::string>& steps) {
  for (const std::string& step : steps) {
    if (step.size() == 1 && step[0] >= '1' && step[0] <= '9') {
      if (!WaitForMenus(process, static_cast<size_t>(step[0] - '0'))) return false;
      continue;
    }
    WPARAM key = VK_ESCAPE;
    if (step == "down") key = VK_DOWN;
    if (step == "up") key = VK_UP;
    if (step == "right") key = VK_RIGHT;
    if (step == "left") key = VK_LEFT;
    if (step == "enter") key = VK_RETURN;
    const std::vector<HWND> open = MenuWindows(process);
    if (open.empty()) return false;
    PostMessageW(open.front(), WM_KEYDOWN, key, 0);
    PostMessageW(open.front(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000000u));
  }
  return true;
}

std::string Describe(HMENU menu) {
  std::string text;
  const int count = GetMenuItemCount(menu);
  for (int at = 0; at < count; ++at) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(at), TRUE, &info)) return text + "?";
    if (at > 0) text += ",";
    if ((info.fType & MFT_OWNERDRAW) == 0) text += "plain:";
    if (info.fType & MFT_SEPARATOR) {
      text += "-";
    } else if (info.hSubMenu != nullptr) {
      text += "M[" + Describe(info.hSubMenu) + "]";
    } else {
      text += "I";
    }
  }
  return text;
}

// True once the first entry's icon column shows something other than the menu's colours. The
// column is copied from the screen in one go per look; a menu without icons is given up on after
// 100 looks.
bool IconShows(HWND window) {
  const int size = AppLayer::GuiWindowStyle::Instance().menuIconSize;
  // The frame is a few pixels wide; the first entry's icon sits just inside it.
  const int width = size + 3;
  const int height = size + 6;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  HDC copy = CreateCompatibleDC(screen);
  uint32_t* pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(copy, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels), nullptr, 0);
  HGDIOBJ old = SelectObject(copy, bitmap);
  auto value = [](COLORREF color) {
    return (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
           GetBValue(color);
  };
  const uint32_t background = value(GetSysColor(COLOR_MENU));
  const uint32_t highlight = value(GetSysColor(COLOR_HIGHLIGHT));
  bool shows = false;
  for (int looks = 0; looks < 100 && !shows && bitmap != nullptr; ++looks) {
    RECT frame{};
    GetWindowRect(window, &frame);
    BitBlt(copy, 0, 0, width, height, screen, frame.left + 3, frame.top + 3, SRCCOPY);
    GdiFlush();
    int other = 0;
    for (int at = 0; at < width * height; ++at) {
      const uint32_t pixel = pixels[at] & 0xFFFFFFu;
      if (pixel != background && pixel != highlight) ++other;
    }
    shows = other > size * size / 4;
    if (!shows) Sleep(kPollMs);
  }
  SelectObject(copy, old);
  if (bitmap != nullptr) DeleteObject(bitmap);
  DeleteDC(copy);
  ReleaseDC(nullptr, screen);
  return shows;
}

void Observe(const std::wstring& outfile) {
  const DWORD process = GetCurrentProcessId();
  if (!WaitForMenus(process, 1)) return;
  const HWND window = MenuWindows(process).front();
  DWORD_PTR menu = 0;
  SendMessageTimeoutW(window, 0x01E1 /* MN_GETHMENU */, 0, 0, SMTO_BLOCK, 5000, &menu);
  std::ostringstream text;
  text << "menu " << Describe(reinterpret_cast<HMENU>(menu)) << "\n";
  text << (IconShows(window) ? "icon drawn" : "icon missing") << "\n";
  std::ofstream(std::filesystem::path(outfile), std::ios::binary | std::ios::trunc) << text.str();
}

int Run(const std::wstring& outfile, const std::wstring& keys, int count, wchar_t** lines) {
  JobLayer::JobCommandList& commands = JobLayer::JobCommandList::Instance();
  // The registry of a build that does not list the menu commands yet gets them here.
  if (commands.Find("Menu") == nullptr) {
    commands.Register<JobLayer::JobCommandMenu>();
    commands.Register<JobLayer::JobCommandMenuItem>();
    commands.Register<JobLayer::JobCommandSeparator>();
    commands.Register<JobLayer::JobCommandPickupMenu>();
  }
  JobLayer::SetMenuHost(&AppLayer::GuiScriptMenuHost());
  JobLayer::JobIconSettings settings;
  settings.delay = false;
  settings.cache = false;
  if (!JobLayer::JobIconControl::Instance().Open(settings, AppLayer::GuiIconStore::Instance())) return 3;

  RawLayer::RawRangedTextList body;
  for (int i = 0; i < count; ++i) body.Add(Text(lines[i]), i + 1);
  JobLayer::JobRunRequest request;
  if (!request.script.Parse(body)) return 2;
  request.keyState = "LButton";
  request.anchor = RawLayer::RawRect{1000, 600, 1080, 630};
  const std::vector<std::string> steps = Split(keys);
  std::thread user([&] {
    Observe(outfile);
    (void)TypeKeys(GetCurrentProcessId(), steps);
  });
  const bool ok = JobLayer::RunScript(request, "(Button)Probe");
  user.join();
  return ok ? 0 : 1;
}

int Drive(const std::wstring& keys, int count, wchar_t** arguments) {
  std::wstring line;
  for (int i = 0; i < count; ++i) {
    // Only arguments with blanks are quoted: the launcher reads its options as written.
    const std::wstring argument = arguments[i];
    const bool quote = argument.empty() || argument.find(L' ') != std::wstring::npos;
    line += (i > 0 ? L" " : L"") + (quote ? L"\"" + argument + L"\"" : argument);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    std::fwprintf(stderr, L"menus_probe: cannot start %ls\n", arguments[0]);
    return 70;
  }
  CloseHandle(process.hThread);
  if (!WaitForMenus(process.dwProcessId, 1) || !TypeKeys(process.dwProcessId, Split(keys))) {
    std::fwprintf(stderr, L"menus_probe: no menu to type into\n");
    TerminateProcess(process.hProcess, 71);
  }
  DWORD code = 72;
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  JobLayer::SetScreen(&AppLayer::GuiJobScreen());
  if (mode == L"run" && argc >= 5) return Run(argv[2], argv[3], argc - 4, argv + 4);
  if (mode == L"drive" && argc >= 4) return Drive(argv[2], argc - 3, argv + 3);
  std::fwprintf(stderr, L"menus_probe: unknown mode or wrong arguments\n");
  return 64;
}
