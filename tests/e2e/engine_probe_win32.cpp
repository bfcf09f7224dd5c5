// The script engine's probe for end-to-end scenarios: shows the engine's information dialog and
// script error reports in a process of its own, so that a scenario can read and dismiss them.
//
//   engine_probe info <title> <text>       the information dialog without an owner; the exit
//                                          code is the button that closed it (1 OK, 2 Cancel)
//   engine_probe info-owned <outfile> <title> <text>
//                                          the dialog over an owner window; while it is open the
//                                          probe writes "centred" or "off-centre" and
//                                          "owner-disabled" or "owner-enabled" to outfile
//   engine_probe report <id> <command> <parameter> <value>
//                                          a script error through the launcher's screen
//   engine_probe report-owned <outfile> <id> <command>
//                                          the same with an owner window as the main window,
//                                          checked as info-owned does
//   engine_probe run <line>...             the lines as a script, run as a left click on a
//                                          button; exit code 0 when the run succeeded, else 1
//   engine_probe keystate <outfile>        a window; the first key other than Shift and Control
//                                          it receives starts a left-click run and writes
//                                          "KeyState=" and the run's KeyState to outfile
// Texts of dialogs and reports take the escapes \n (a CR LF line break) and \uXXXX; the lines of a
// run are taken as they are.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/job_screen.h"
#include "job/error.h"
#include "job/run.h"
#include "job/variable.h"
#include "win/info_dialog.h"

namespace {

using RawLayer::RawString;

constexpr UINT_PTR kCheckTimer = 1;

RawString Text(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
      out += L"\r\n";
      ++i;
    } else if (text[i] == L'\\' && i + 5 < text.size() && text[i + 1] == L'u') {
      out += static_cast<wchar_t>(std::wcstoul(text.substr(i + 2, 4).c_str(), nullptr, 16));
      i += 5;
    } else {
      out += text[i];
    }
  }
  return RawString::FromWide(reinterpret_cast<const char16_t*>(out.data()), static_cast<int32_t>(out.size()));
}

void WriteFileText(const wchar_t* path, const std::string& text) {
  std::ofstream(std::filesystem::path(path), std::ios::binary | std::ios::trunc) << text;
}

// ---- info-owned ----

struct OwnedCheck {
  const wchar_t* outfile = nullptr;
  bool written = false;
};
OwnedCheck g_owned;

struct DialogSearch {
  HWND owner;
  HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wcscmp(name, L"#32770") == 0 && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == search->owner) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindOwnDialog(HWND owner) {
  DialogSearch search{owner, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The owner's timer keeps running inside the dialog's modal loop; it checks the placement once
// the dialog is visible.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kCheckTimer && !g_owned.written) {
    if (HWND dialog = FindOwnDialog(window)) {
      RECT owner{}, box{};
      GetWindowRect(window, &owner);
      GetWindowRect(dialog, &box);
      const long dx = (owner.left + owner.right) - (box.left + box.right);
      const long dy = (owner.top + owner.bottom) - (box.top + box.bottom);
      std::string report = (dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2) ? "centred" : "off-centre";
      report += IsWindowEnabled(window) ? " owner-enabled\n" : " owner-disabled\n";
      WriteFileText(g_owned.outfile, report);
      g_owned.written = true;
      KillTimer(window, kCheckTimer);
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeOwner(const wchar_t* outfile) {
  g_owned.outfile = outfile;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = OwnerProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"KestrelEngineProbeOwner";
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  if (!RegisterClassW(&windowClass)) return nullptr;
  HWND owner = CreateWindowExW(0, windowClass.lpszClassName, L"Probe owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                               120, 700, 500, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (owner != nullptr) SetTimer(owner, kCheckTimer, 20, nullptr);
  return owner;
}

int InfoOwned(const wchar_t* outfile, const wchar_t* title, const wchar_t* text) {
  HWND owner = MakeOwner(outfile);
  if (owner == nullptr) return 10;
  const int pressed = WinLayer::WinInfoDialog(Text(title), Text(text)).Show(owner);
  DestroyWindow(owner);
  return pressed;
}

// ---- script errors and runs through the launcher's screen ----

int ReportOwned(const wchar_t* outfile, const wchar_t* id, const wchar_t* command) {
  HWND owner = MakeOwner(outfile);
  if (owner == nullptr) return 10;
  JobLayer::JobDialogContext::Instance().mainWindow = owner;
  JobLayer::ReportCommandError(Text(id), Text(command), RawString(), RawString());
  JobLayer::JobDialogContext::Instance().mainWindow = nullptr;
  DestroyWindow(owner);
  return 0;
}

int Run(int count, wchar_t** lines) {
  RawLayer::RawRangedTextList body;
  // Each argument is one line, taken as it is: script lines hold paths, which no escape may touch.
  for (int i = 0; i < count; ++i) {
    body.Add(RawString::FromWide(reinterpret_cast<const char16_t*>(lines[i]), static_cast<int32_t>(std::wcslen(lines[i]))),
             i + 1);
  }
  JobLayer::JobRunRequest request;
  if (!request.script.Parse(body)) return 2;
  request.keyState = "LButton";
  request.isolate = true;
  return JobLayer::RunScript(request, "(Button)Probe") ? 0 : 1;
}

const wchar_t* g_keyStateFile = nullptr;

LRESULT CALLBACK KeyStateProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYDOWN && wParam != VK_SHIFT && wParam != VK_CONTROL && wParam != VK_LSHIFT &&
      wParam != VK_RSHIFT && wParam != VK_LCONTROL && wParam != VK_RCONTROL) {
    JobLayer::JobRunRequest request;
    request.keyState = "LButton";
    const bool ok = JobLayer::RunScript(request, "(Button)Probe");
    const RawString state = JobLayer::JobVariableList::Instance().ValueOf("KeyState");
    WriteFileText(g_keyStateFile, "KeyState=" + state.ToUtf8() + (ok ? "\n" : " (failed)\n"));
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int KeyState(const wchar_t* outfile) {
  g_keyStateFile = outfile;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = KeyStateProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"KestrelEngineProbeKeys";
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  if (!RegisterClassW(&windowClass)) return 10;
  HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"Key probe", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                100, 400, 300, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr) return 11;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"info" && argc == 4) return WinLayer::WinInfoDialog(Text(argv[2]), Text(argv[3])).Show(nullptr);
  if (mode == L"info-owned" && argc == 5) return InfoOwned(argv[2], argv[3], argv[4]);
  JobLayer::SetScreen(&AppLayer::GuiJobScreen());
  if (mode == L"report" && argc == 6) {
    JobLayer::ReportCommandError(Text(argv[2]), Text(argv[3]), Text(argv[4]), Text(argv[5]));
    return 0;
  }
  if (mode == L"report-owned" && argc == 5) return ReportOwned(argv[2], argv[3], argv[4]);
  if (mode == L"run" && argc >= 3) return Run(argc - 2, argv + 2);
  if (mode == L"keystate" && argc == 3) return KeyState(argv[2]);
  std::fwprintf(stderr, L"engine_probe: unknown mode or wrong arguments\n");
  return 64;
}
