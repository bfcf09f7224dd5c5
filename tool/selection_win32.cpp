// The selection windows: one translucent cover per monitor for picking a window or drawing a
// rectangle, and the selection menu. Every window runs on a thread of its own with its own
// message loop; the calling thread polls every 100 ms until all of them have ended and then
// reads the result from the selection state.
#include <windows.h>
#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <type_traits>
#include <vector>

#include "raw/handle_win32.h"
#include "raw/rect_win32.h"
#include "raw/thread.h"
#include "raw/window_binding_win32.h"
#include "tool/selection.h"

namespace ToolLayer {

namespace {

constexpr wchar_t kCoverClass[] = L"Tessera_Cover";
constexpr wchar_t kMenuClass[] = L"Tessera_Menu";
// Ends a selection window from another thread (the selection is over elsewhere).
constexpr WPARAM kCloseCommand = 4002;
constexpr DWORD kPollMs = 100;
constexpr BYTE kMenuAlpha = 255;
constexpr DWORD kSelectionStyleEx = WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;

using RawLayer::RawUniqueBrush;

RawUniqueBrush SolidBrush(uint32_t color) { return RawUniqueBrush(CreateSolidBrush(static_cast<COLORREF>(color))); }


RawString ClassOf(HWND window) {
  wchar_t name[256];
  const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return RawString::FromWide(reinterpret_cast<const char16_t*>(name), std::max(length, 0));
}

bool IsOwnSelectionWindow(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return false;
  const RawString name = ClassOf(window);
  return name == "Tessera_Cover" || name == "Tessera_Menu";
}

struct MonitorList {
  std::vector<RawRect> monitors;
  RawRect area;  // every monitor and the point 0,0
};

BOOL CALLBACK CollectMonitor(HMONITOR, HDC, LPRECT rect, LPARAM data) {
  auto* list = reinterpret_cast<MonitorList*>(data);
  list->monitors.push_back(RawLayer::FromSystemRect(*rect));
  AddToScreenArea(list->area, list->monitors.back());
  return TRUE;
}

MonitorList EnumerateMonitors() {
  MonitorList list;
  EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&list));
  return list;
}

// The monitor under a point, or the nearest one when the point lies on none.
RawRect MonitorAt(GuiPoint point) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  HMONITOR monitor = MonitorFromPoint(POINT{point.x, point.y}, MONITOR_DEFAULTTONEAREST);
  if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) {
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return RawLayer::FromSystemRect(info.rcMonitor);
}

}  // namespace

// The selection state shared by the selection windows and the controller: one process-wide
// record, written by the window threads under its lock.
namespace GuiSelectorData {

class Handler {
 public:
  virtual ~Handler() = default;
  // Paints a window's client area; `origin` is the window's screen corner.
  virtual void Paint(HDC dc, const RECT& client, GuiPoint origin) = 0;
};

struct State {
  std::mutex lock;
  Handler* handler = nullptr;
  GuiSelectorMode mode = ModeWindow;
  bool dragging = false;
  bool over = false;  // a window finished the selection; the others close
  int32_t created = 0;
  GuiPoint start;
  GuiPoint end;
  std::vector<HWND> windows;
};

State& Shared() {
  static State state;
  return state;
}

}  // namespace GuiSelectorData

namespace {

using GuiSelectorData::Shared;

// Ends the selection: every other selection window is asked to close.
void FinishSelection(HWND self) {
  std::vector<HWND> others;
  {
    std::lock_guard<std::mutex> hold(Shared().lock);
    Shared().over = true;
    Shared().dragging = false;
    others = Shared().windows;
  }
  for (HWND window : others) {
    if (window != self) PostMessageW(window, WM_COMMAND, kCloseCommand, 0);
  }
}

void RepaintAll() {
  std::vector<HWND> windows;
  {
    std::lock_guard<std::mutex> hold(Shared().lock);
    windows = Shared().windows;
  }
  for (HWND window : windows) InvalidateRect(window, nullptr, FALSE);
}

GuiPoint ScreenPoint(HWND window, LPARAM lParam) {
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ClientToScreen(window, &point);
  return {point.x, point.y};
}

// A cover or the menu: a layered, topmost pop-up whose mouse handling ends the selection.
class GuiSelectionWindow {
 public:
  GuiSelectionWindow(const wchar_t* className, const RawRect& rect, BYTE alpha, bool maximised)
      : className_(className), rect_(rect), alpha_(alpha), maximised_(maximised) {}
  ~GuiSelectionWindow() = default;
  GuiSelectionWindow(const GuiSelectionWindow&) = delete;
  GuiSelectionWindow& operator=(const GuiSelectionWindow&) = delete;

  // Runs on the window's thread: makes the window and pumps its messages until it is destroyed.
  void RunOnThisThread() {
    if (!Create()) return;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = RawLayer::BoundObjectFor<GuiSelectionWindow>(window, message, lParam);
    LRESULT result = 0;
    if (self != nullptr && self->Handle(window, message, wParam, lParam, result)) return result;
    return DefWindowProcW(window, message, wParam, lParam);
  }

  bool Register() const {
    WNDCLASSEXW info{};
    info.cbSize = sizeof(info);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), className_, &info)) return true;
    info.cbSize = sizeof(info);
    info.lpfnWndProc = Procedure;
    info.hInstance = GetModuleHandleW(nullptr);
    // Crosshair over the covers for aiming; the menu's entries are plain buttons.
    info.hCursor = LoadCursorW(nullptr, className_ == kCoverClass ? IDC_CROSS : IDC_ARROW);
    info.lpszClassName = className_;
    // Two threads may register at once: the loser finds the class there.
    return RegisterClassExW(&info) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }

  bool Create() {
    if (!Register()) return false;
    HWND window = CreateWindowExW(kSelectionStyleEx, className_, L"", WS_POPUP, rect_.left, rect_.top,
                                  rect_.Width(), rect_.Height(), nullptr, nullptr, GetModuleHandleW(nullptr),
                                  this);
    if (window == nullptr) return false;
    SetLayeredWindowAttributes(window, 0, alpha_, LWA_ALPHA);
    bool over = false;
    {
      std::lock_guard<std::mutex> hold(Shared().lock);
      Shared().windows.push_back(window);
      ++Shared().created;
      over = Shared().over;
    }
    // The selection ended on another window before this one existed.
    if (over) {
      DestroyWindow(window);
      return true;
    }
    ShowWindow(window, maximised_ ? SW_SHOWMAXIMIZED : SW_SHOW);
    // Maximising a caption-less pop-up may leave out a task bar's strip: keep the whole monitor.
    SetWindowPos(window, HWND_TOPMOST, rect_.left, rect_.top, rect_.Width(), rect_.Height(), SWP_NOACTIVATE);
    SetForegroundWindow(window);
    return true;
  }

  bool Handle(HWND window, UINT message, WPARAM wParam, LPARAM, LRESULT& result);
  bool HandleMouse(HWND window, UINT message, LPARAM lParam);

  const wchar_t* className_;
  RawRect rect_;
  BYTE alpha_;
  bool maximised_;
};

bool GuiSelectionWindow::HandleMouse(HWND window, UINT message, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN: {
      const GuiPoint point = ScreenPoint(window, lParam);
      {
        std::lock_guard<std::mutex> hold(Shared().lock);
        Shared().start = point;
        Shared().dragging = Shared().mode == ModeRect;
      }
      SetCapture(window);
      return true;
    }
    case WM_MOUSEMOVE: {
      bool dragging = false;
      {
        std::lock_guard<std::mutex> hold(Shared().lock);
        dragging = Shared().dragging;
        if (dragging) Shared().end = ScreenPoint(window, lParam);
      }
      if (dragging) RepaintAll();
      return true;
    }
    case WM_LBUTTONUP: {
      ReleaseCapture();
      {
        std::lock_guard<std::mutex> hold(Shared().lock);
        Shared().end = ScreenPoint(window, lParam);
      }
      FinishSelection(window);
      DestroyWindow(window);
      return true;
    }
    case WM_RBUTTONUP:
      // Cancels: whatever a drag stored so far is not an end point.
      {
        std::lock_guard<std::mutex> hold(Shared().lock);
        Shared().end = GuiPoint();
      }
      ReleaseCapture();
      FinishSelection(window);
      DestroyWindow(window);
      return true;
    default:
      return false;
  }
}

bool GuiSelectionWindow::Handle(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_PAINT: {
      RawLayer::RawPaintDc paint(window);
      RECT client;
      GetClientRect(window, &client);
      POINT corner{0, 0};
      ClientToScreen(window, &corner);
      GuiSelectorData::Handler* handler = nullptr;
      {
        std::lock_guard<std::mutex> hold(Shared().lock);
        handler = Shared().handler;
      }
      if (handler != nullptr) handler->Paint(paint.get(), client, {corner.x, corner.y});
      return true;
    }
    case WM_ERASEBKGND:
      result = 1;  // painting covers every pixel
      return true;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      return HandleMouse(window, message, lParam);
    case WM_COMMAND:
      if (LOWORD(wParam) != kCloseCommand) return false;
      DestroyWindow(window);
      return true;
    case WM_ENDSESSION:
      if (wParam) {
        FinishSelection(window);
        DestroyWindow(window);
      }
      return true;
    case WM_CLOSE:
      FinishSelection(window);
      DestroyWindow(window);
      return true;
    case WM_DESTROY: {
      std::lock_guard<std::mutex> hold(Shared().lock);
      auto& windows = Shared().windows;
      windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
      PostQuitMessage(0);
      return true;
    }
    default:
      return false;
  }
}

// One selection window's thread: makes the window and runs its message loop until the window
// is destroyed.
class GuiWindowThread : public RawLayer::RawThreadUnit {
 public:
  explicit GuiWindowThread(std::unique_ptr<GuiSelectionWindow> window) : window_(std::move(window)) {}
  ~GuiWindowThread() override { Wait(); }

 protected:
  void Run() override { window_->RunOnThisThread(); }

 private:
  std::unique_ptr<GuiSelectionWindow> window_;
};

// The controller: paints the windows and runs one selection from start to end.
class GuiSelectorControl : public GuiSelectorData::Handler {
 public:
  GuiSelectorControl(const GuiSelectorSettings& settings, GuiSelectorMode mode) : settings_(settings), mode_(mode) {}

  void SetMenu(const std::vector<GuiMenuEntry>* entries, const RawRect& area, const GuiMenuLayout& layout,
               const std::vector<RawRect>& monitors) {
    entries_ = entries;
    area_ = area;
    layout_ = layout;
    monitors_ = monitors;
  }

  // Shows the windows, waits until they have all ended and hands back both points; false when
  // no window could be shown.
  [[nodiscard]] bool Run(std::vector<std::unique_ptr<GuiSelectionWindow>> windows, GuiPoint& start, GuiPoint& end) {
    GuiSelectorData::State& state = Shared();
    {
      std::lock_guard<std::mutex> hold(state.lock);
      state.handler = this;
      state.mode = mode_;
      state.dragging = false;
      state.over = false;
      state.created = 0;
      state.start = GuiPoint();
      state.end = GuiPoint();
      state.windows.clear();
    }
    std::vector<std::unique_ptr<GuiWindowThread>> threads;
    for (auto& window : windows) {
      auto thread = std::make_unique<GuiWindowThread>(std::move(window));
      if (thread->Start()) threads.push_back(std::move(thread));
    }
    // Asked under each thread's lock, so the controller never blocks on a thread that waits
    // for the user.
    for (auto& thread : threads) {
      while (thread->IsBusy()) Sleep(kPollMs);
      thread->Wait();
    }
    threads.clear();
    std::lock_guard<std::mutex> hold(state.lock);
    state.handler = nullptr;
    start = state.start;
    end = state.end;
    return state.created > 0;
  }

  void Paint(HDC dc, const RECT& client, GuiPoint origin) override {
    if (mode_ == ModeMenu) {
      PaintMenu(dc, client);
      return;
    }
    RawUniqueBrush cover = SolidBrush(CoverColor(settings_, mode_));
    FillRect(dc, &client, cover.get());
    GuiPoint start;
    GuiPoint end;
    bool dragging = false;
    {
      std::lock_guard<std::mutex> hold(Shared().lock);
      dragging = Shared().dragging;
      start = Shared().start;
      end = Shared().end;
    }
    if (dragging && start.IsValid() && end.IsValid()) {
      const RECT drawn = RawLayer::ToSystemRect(SpanRect(start, end, origin));
      RawUniqueBrush cropping = SolidBrush(settings_.rectCroppingColor);
      FillRect(dc, &drawn, cropping.get());
    }
  }

 private:
  // Each entry: the screen area, each monitor framed, the section's target and its name.
  void PaintMenu(HDC dc, const RECT& client) {
    RawUniqueBrush frame = SolidBrush(settings_.menuScreenFrameColor);
    RawUniqueBrush area = SolidBrush(settings_.menuScreenAreaColor);
    RawUniqueBrush target = SolidBrush(settings_.menuTargetColor);
    FillRect(dc, &client, frame.get());  // the spacers between entries
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, static_cast<COLORREF>(settings_.menuScreenFrameColor));
    HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    const int32_t rows = std::max(settings_.menuRows, 1);
    for (int32_t i = 0; i < layout_.count && entries_ != nullptr && i < static_cast<int32_t>(entries_->size()); ++i) {
      const RawRect entry = layout_.Entry(i);
      const RECT entryRect = RawLayer::ToSystemRect(entry);
      FillRect(dc, &entryRect, area.get());
      for (const RawRect& monitor : monitors_) {
        const RECT shown = RawLayer::ToSystemRect(MiniatureRect(area_, rows, monitor, entry, 0));
        FrameRect(dc, &shown, frame.get());
      }
      const RECT shown = RawLayer::ToSystemRect(MiniatureRect(area_, rows, (*entries_)[static_cast<size_t>(i)].target, entry,
                                              settings_.menuBorder));
      FillRect(dc, &shown, target.get());
      RECT text = entryRect;
      InflateRect(&text, -2, -2);
      const std::u16string name = (*entries_)[static_cast<size_t>(i)].name.ToWide();
      DrawTextW(dc, reinterpret_cast<const wchar_t*>(name.c_str()), static_cast<int>(name.size()), &text,
                DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    SelectObject(dc, font);
  }

  GuiSelectorSettings settings_;
  GuiSelectorMode mode_;
  const std::vector<GuiMenuEntry>* entries_ = nullptr;
  RawRect area_;
  GuiMenuLayout layout_;
  std::vector<RawRect> monitors_;
};

// One selection at a time per process: the state is process-wide.
std::mutex& SelectionGate() {
  static std::mutex gate;
  return gate;
}

GuiSelectResult RunCovers(const GuiSelectorSettings& settings, GuiSelectorMode mode, GuiPoint& start, GuiPoint& end) {
  std::lock_guard<std::mutex> gate(SelectionGate());
  const MonitorList monitors = EnumerateMonitors();
  std::vector<std::unique_ptr<GuiSelectionWindow>> covers;
  for (const RawRect& monitor : monitors.monitors) {
    covers.push_back(std::make_unique<GuiSelectionWindow>(kCoverClass, monitor, CoverAlpha(settings, mode), true));
  }
  if (covers.empty()) return SelectFailed;
  GuiSelectorControl control(settings, mode);
  if (!control.Run(std::move(covers), start, end)) return SelectFailed;
  return end.IsValid() ? SelectChosen : SelectCancelled;
}

struct WindowSearch {
  POINT at;
  HWND found;
};

// The first visible window at the point in z-order that is none of ours.
BOOL CALLBACK FindWindowBelow(HWND candidate, LPARAM data) {
  auto* search = reinterpret_cast<WindowSearch*>(data);
  RECT rect;
  if (!IsWindowVisible(candidate) || IsIconic(candidate) || IsOwnSelectionWindow(candidate) ||
      !GetWindowRect(candidate, &rect) || !PtInRect(&rect, search->at)) {
    return TRUE;
  }
  search->found = candidate;
  return FALSE;
}

}  // namespace

GuiWindowHandle PickWindowAt(GuiPoint point) {
  const POINT at{point.x, point.y};
  HWND window = WindowFromPoint(at);
  if (window != nullptr) window = GetAncestor(window, GA_ROOT);
  if (window != nullptr && IsOwnSelectionWindow(window)) {
    // A cover not yet gone from the screen: look through it.
    WindowSearch search{at, nullptr};
    EnumWindows(FindWindowBelow, reinterpret_cast<LPARAM>(&search));
    window = search.found;
  }
  if (window == nullptr || window == GetDesktopWindow() || IsDesktopClass(ClassOf(window))) return nullptr;
  return window;
}

GuiSelectResult GuiSelector::SelectWindow(GuiWindowHandle& window) {
  window = nullptr;
  GuiPoint start;
  GuiPoint end;
  const GuiSelectResult result = RunCovers(settings_, ModeWindow, start, end);
  if (result != SelectChosen) return result;
  window = PickWindowAt(end);
  return window != nullptr ? SelectChosen : SelectNothing;
}

GuiSelectResult GuiSelector::SelectRect(GuiPoint& start, GuiPoint& end) {
  return RunCovers(settings_, ModeRect, start, end);
}

GuiSelectResult GuiSelector::SelectEntry(const std::vector<GuiMenuEntry>& entries, int32_t& chosen) {
  chosen = -1;
  if (entries.empty()) return SelectCancelled;
  std::lock_guard<std::mutex> gate(SelectionGate());
  const MonitorList monitors = EnumerateMonitors();
  const GuiMenuLayout layout = LayoutMenu(monitors.area, settings_, static_cast<int32_t>(entries.size()));
  POINT cursor{0, 0};
  GetCursorPos(&cursor);
  const GuiPoint at{cursor.x, cursor.y};
  const RawRect placed = PlaceMenu(layout.Width(), layout.Height(), at, MonitorAt(at));

  GuiSelectorControl control(settings_, ModeMenu);
  control.SetMenu(&entries, monitors.area, layout, monitors.monitors);
  std::vector<std::unique_ptr<GuiSelectionWindow>> menu;
  menu.push_back(std::make_unique<GuiSelectionWindow>(kMenuClass, placed, kMenuAlpha, false));
  GuiPoint start;
  GuiPoint end;
  if (!control.Run(std::move(menu), start, end)) return SelectFailed;
  if (!end.IsValid()) return SelectCancelled;
  chosen = layout.EntryAt({end.x - placed.left, end.y - placed.top});
  return chosen >= 0 ? SelectChosen : SelectCancelled;
}

}  // namespace ToolLayer
