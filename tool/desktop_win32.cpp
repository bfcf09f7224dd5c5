// The Windows desktop: user32 windows, the shell, message boxes and the selection windows.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "raw/handle_win32.h"
#include "raw/process.h"
#include "raw/rect_win32.h"
#include "raw/shell.h"
#include "tool/desktop.h"
#include "tool/options.h"

namespace ToolLayer {

namespace {

constexpr UINT kFlashCount = 5;
constexpr DWORD kFlashIntervalMs = 70;
constexpr DWORD kTerminateWaitMs = 5000;
// How long a window may take to answer before it counts as hung.
constexpr UINT kAnswerMs = 2000;

HWND Handle(ToolWindow window) { return reinterpret_cast<HWND>(window); }

RawString FromWide(const wchar_t* text, int length) {
  if (length <= 0) return RawString();
  return RawString::FromWide(reinterpret_cast<const char16_t*>(text), length).Convert(RawLayer::CodeUtf8);
}

// Showing, moving and z-order changes wait for the window's own thread: a hung program would
// hang Tessera with it, so a window that does not answer is left alone.
bool Answers(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &result) != 0;
}


BOOL CALLBACK CollectVisible(HWND window, LPARAM param) {
  if (IsWindowVisible(window)) reinterpret_cast<std::vector<ToolWindow>*>(param)->push_back(reinterpret_cast<ToolWindow>(window));
  return TRUE;
}

BOOL CALLBACK CollectAll(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<ToolWindow>*>(param)->push_back(reinterpret_cast<ToolWindow>(window));
  return TRUE;
}

class WindowsDesktop : public ToolDesktop {
 public:
  std::vector<ToolWindow> TopLevelWindows(bool hiddenToo) override {
    std::vector<ToolWindow> windows;
    EnumWindows(hiddenToo ? CollectAll : CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
  }

  RawString WindowTitle(ToolWindow window) override {
    // The text the system keeps for the window: no message goes to a program that may hang.
    const int length = GetWindowTextLengthW(Handle(window));
    if (length <= 0) return RawString();
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
    return FromWide(text.data(), GetWindowTextW(Handle(window), text.data(), length + 1));
  }

  RawString WindowClass(ToolWindow window) override {
    wchar_t name[257] = {};
    return FromWide(name, GetClassNameW(Handle(window), name, 257));
  }

  RawString WindowFile(ToolWindow window) override {
    DWORD processId = 0;
    if (GetWindowThreadProcessId(Handle(window), &processId) == 0) return RawString();
    return RawLayer::ProcessImagePath(processId);
  }

  ToolShowState ShowState(ToolWindow window) override {
    if (!IsWindow(Handle(window))) return ToolShowState::Gone;
    if (IsIconic(Handle(window))) return ToolShowState::Minimized;
    if (IsZoomed(Handle(window))) return ToolShowState::Maximized;
    return ToolShowState::Normal;
  }

  bool WindowRect(ToolWindow window, RawRect& rect) override {
    RECT r;
    if (!GetWindowRect(Handle(window), &r)) return false;
    rect = RawLayer::FromSystemRect(r);
    return true;
  }

  bool RestoredRect(ToolWindow window, RawRect& rect) override {
    const ToolShowState state = ShowState(window);
    if (state == ToolShowState::Gone) return false;
    if (state == ToolShowState::Normal) return WindowRect(window, rect);
    // Wine answers the current rectangle for another process's window here; Windows keeps
    // the normal position.
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(Handle(window), &placement)) return false;
    RECT r = placement.rcNormalPosition;
    // The normal position counts from the work area of the window's monitor, unless the
    // window is a tool window; screen coordinates count from the monitor's corner.
    if ((GetWindowLongW(Handle(window), GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
      MONITORINFO monitor = {};
      monitor.cbSize = sizeof monitor;
      if (GetMonitorInfoW(MonitorFromWindow(Handle(window), MONITOR_DEFAULTTONEAREST), &monitor)) {
        OffsetRect(&r, monitor.rcWork.left - monitor.rcMonitor.left, monitor.rcWork.top - monitor.rcMonitor.top);
      }
    }
    rect = RawLayer::FromSystemRect(r);
    return true;
  }

  // ShowWindow answers the earlier visibility, not success: whether the window still
  // exists is what tells.
  bool Minimize(ToolWindow window) override {
    if (!Answers(Handle(window))) return false;
    ShowWindow(Handle(window), SW_MINIMIZE);
    return IsWindow(Handle(window)) != FALSE;
  }

  bool Restore(ToolWindow window) override {
    if (!Answers(Handle(window))) return false;
    ShowWindow(Handle(window), SW_RESTORE);
    return IsWindow(Handle(window)) != FALSE;
  }

  bool Move(ToolWindow window, const RawRect& rect) override {
    const int64_t width = int64_t{rect.right} - rect.left;
    const int64_t height = int64_t{rect.bottom} - rect.top;
    if (!Answers(Handle(window))) return false;
    return MoveWindow(Handle(window), rect.left, rect.top, static_cast<int>(width), static_cast<int>(height), TRUE) !=
           FALSE;
  }

  bool SetTopmost(ToolWindow window, bool topmost) override {
    if (!Answers(Handle(window))) return false;
    return SetWindowPos(Handle(window), topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE) != FALSE;
  }

  bool PostClose(ToolWindow window) override { return PostMessageW(Handle(window), WM_CLOSE, 0, 0) != FALSE; }

  bool TerminateOwner(ToolWindow window) override {
    DWORD processId = 0;
    if (GetWindowThreadProcessId(Handle(window), &processId) == 0) return false;
    RawLayer::RawUniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (!process) return false;
    if (TerminateProcess(process.get(), 0)) WaitForSingleObject(process.get(), kTerminateWaitMs);
    return true;
  }

  bool Flash(ToolWindow window) override {
    FLASHWINFO flash = {};
    flash.cbSize = sizeof flash;
    flash.hwnd = Handle(window);
    // The caption alone: a taskbar button left flashing would ask for attention after the run.
    flash.dwFlags = FLASHW_CAPTION;
    flash.uCount = kFlashCount;
    flash.dwTimeout = kFlashIntervalMs;
    FlashWindowEx(&flash);
    return IsWindow(Handle(window)) != FALSE;
  }

  bool OpenDocument(const RawString& path) override {
    RawLayer::RawShell shell(path);
    return shell.Execute(RawString(), RawString());
  }

  void ShowMessage(const RawString& text, bool warning) override {
    const std::wstring wide = text.ToWideString();
    MessageBoxW(nullptr, wide.c_str(), L"Tessera", MB_OK | MB_SETFOREGROUND | (warning ? MB_ICONWARNING : MB_ICONINFORMATION));
  }

  ToolWindow PickWindow(const GuiSelectorSettings& settings) override {
    GuiWindowHandle window = nullptr;
    if (GuiSelector(settings).SelectWindow(window) != SelectChosen) return 0;
    return reinterpret_cast<ToolWindow>(window);
  }

  bool DrawRect(const GuiSelectorSettings& settings, GuiPoint& start, GuiPoint& end) override {
    return GuiSelector(settings).SelectRect(start, end) == SelectChosen;
  }

  const JobSectionUnit* ChooseSection(const GuiSelectorSettings& settings, const JobSectionList& sections) override {
    std::vector<GuiMenuEntry> entries;
    std::vector<const JobSectionUnit*> units;
    for (const JobSectionUnit& unit : sections) {
      entries.push_back({unit.name, unit.rect});
      units.push_back(&unit);
    }
    int32_t chosen = -1;
    if (GuiSelector(settings).SelectEntry(entries, chosen) != SelectChosen) return nullptr;
    if (chosen < 0 || static_cast<size_t>(chosen) >= units.size()) return nullptr;
    return units[static_cast<size_t>(chosen)];
  }
};

}  // namespace

std::unique_ptr<ToolDesktop> MakeToolDesktop() { return std::make_unique<WindowsDesktop>(); }

}  // namespace ToolLayer
