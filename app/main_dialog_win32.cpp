#include "app/font.h"
#include "app/main_dialog.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "app/script_menu.h"
#include "app/settings.h"
#include "job/screen.h"
#include "job/trace.h"
#include "raw/rect_win32.h"
#include "win/dpi_win32.h"

namespace AppLayer {

namespace {

constexpr UINT kTrayId = 1;



RawRect PrimaryWorkArea() {
  RECT work{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return RawLayer::FromSystemRect(work);
}

}  // namespace

GuiMainDialog::GuiMainDialog(const GuiMainParts& parts, GuiMainActions& actions) : parts_(parts), actions_(actions) {
  SetQuitOnDestroy(true);
  for (WinLayer::WinViewHook* hook : parts_.hooks) AttachHook(hook);
}

GuiMainDialog::~GuiMainDialog() { RemoveTrayIcon(); }

int GuiMainDialog::Run() {
  WinLayer::WinViewCreate create;
  const std::wstring title = parts_.title.ToWideString();
  create.title = title.c_str();
  create.style = WS_POPUP | WS_SYSMENU | WS_CLIPCHILDREN;
  // A tool window has no taskbar button: with the tray icon it would be the second one.
  create.exStyle = GuiSettings::Instance().sysTray ? WS_EX_TOOLWINDOW : 0;
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  return WinDialog::Run(create, SW_SHOW);
}

GuiMainLayoutInput GuiMainDialog::LayoutInput() {
  const GuiWindowStyle& style = GuiWindowStyle::Instance();
  const GuiSettings& settings = GuiSettings::Instance();
  GuiMainLayoutInput input;
  input.frameMargin = style.frameMargin;
  input.captionHeight = style.captionHeight;
  input.horizontal = settings.horizontal;
  input.viewSelector = settings.viewSelector && parts_.selectors != nullptr;
  if (parts_.buttons != nullptr) input.buttons = parts_.buttons->MeasurePane();
  if (input.viewSelector && !input.horizontal) input.selectors = parts_.selectors->MeasurePane();
  return input;
}

void GuiMainDialog::ApplyDpi(int dpi) {
  GuiWindowStyle& style = GuiWindowStyle::Instance();
  style = GuiWindowStyle::Base().ForDpi(dpi, ScreenDpi());
  for (GuiMainPane* pane : {parts_.buttons, parts_.selectors}) {
    if (pane != nullptr && pane->PaneWindow() != nullptr) pane->ApplyStyle();
  }
  actions_.ResizeIcons(style.baseIconSize);
  layout_ = ComputeMainLayout(LayoutInput());
  PlacePanes();
}

void GuiMainDialog::OnCreate() {
  JobLayer::JobDialogContext::Instance().mainWindow = Handle();
  const HINSTANCE instance = WinLayer::WinInstance();
  const int smallSize = GetSystemMetrics(SM_CXSMICON);
  if (HANDLE large = LoadImageW(instance, MAKEINTRESOURCEW(parts_.largeIcon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)) {
    SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(large));
  }
  if (HANDLE small = LoadImageW(instance, MAKEINTRESOURCEW(parts_.smallIcon), IMAGE_ICON, smallSize, smallSize, 0)) {
    SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }

  const GuiSettings& settings = GuiSettings::Instance();
  if (parts_.buttons != nullptr) (void)parts_.buttons->CreatePane(Handle());
  if (parts_.selectors != nullptr && settings.viewSelector && !settings.horizontal) {
    (void)parts_.selectors->CreatePane(Handle());
  }
  // The window opens on a monitor whose DPI may not be the system's.
  if (const int dpi = WinLayer::WinWindowDpi(Handle()); dpi != GuiWindowStyle::Instance().scaledDpi) {
    ApplyDpi(dpi);
  } else {
    layout_ = ComputeMainLayout(LayoutInput());
    PlacePanes();
  }

  // Centred on the primary work area, unless a stored place is there and Shift is not held.
  RawRect rect = CentreOn(PrimaryWorkArea(), layout_.client);
  if ((GetAsyncKeyState(VK_SHIFT) & 0x8000) == 0) {
    GuiStoredRect stored;
    if (ReadStoredWindowRect(GuiWindowStyle::Instance().guiProfile, stored)) rect = PlaceMainWindow(rect, stored);
  }
  SetWindowPos(Handle(), settings.topMost ? HWND_TOPMOST : nullptr, rect.left, rect.top, rect.Width(), rect.Height(),
               SWP_NOACTIVATE | (settings.topMost ? 0 : SWP_NOZORDER));
  if (settings.sysTray && !trayShown_) (void)AddTrayIcon();
}

void GuiMainDialog::PlacePanes() {
  auto place = [](GuiMainPane* pane, const RawRect& rect) {
    if (pane == nullptr || pane->PaneWindow() == nullptr) return;
    MoveWindow(pane->PaneWindow(), rect.left, rect.top, rect.Width(), rect.Height(), FALSE);
  };
  place(parts_.buttons, layout_.buttons);
  if (layout_.showSelectors) place(parts_.selectors, layout_.selectors);
}

void GuiMainDialog::Relayout() {
  if (Handle() == nullptr) return;
  layout_ = ComputeMainLayout(LayoutInput());
  PlacePanes();
  SetWindowPos(Handle(), nullptr, 0, 0, layout_.client.width, layout_.client.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void GuiMainDialog::OnShown() {
  if (parts_.buttons != nullptr && parts_.buttons->PaneWindow() != nullptr) SetFocus(parts_.buttons->PaneWindow());
  actions_.StartIcons(Handle());
}

void GuiMainDialog::OnShowStateChanged(int previous, int) {
  if (previous == WinLayer::kShowNormal) StoreWindowRect();
}

void GuiMainDialog::StoreWindowRect() {
  HWND window = Handle();
  if (window == nullptr) return;
  RECT rect{};
  if (IsIconic(window) || IsZoomed(window)) {
    // Once minimised or maximised the window rectangle is no longer the normal one; the
    // placement keeps it (in work-area coordinates unless this is a tool window).
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement)) return;
    rect = placement.rcNormalPosition;
    if ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
      const RawRect work = PrimaryWorkArea();
      OffsetRect(&rect, work.left, work.top);
    }
  } else if (!GetWindowRect(window, &rect)) {
    return;
  }
  (void)WriteStoredWindowRect(GuiWindowStyle::Instance().guiProfile, RawLayer::FromSystemRect(rect));
}

void GuiMainDialog::OnDestroying() {
  {
    JobLayer::JobTraceScope scope('U', JobLayer::JobTraceId::System(), JobLayer::JobTraceId::Executor(), "Terminate");
    actions_.StopIcons();
    scope.SetResult(true);
  }
  RemoveTrayIcon();
  actions_.StoreIcons(true);
  // Nothing may be posted to the window any more.
  JobLayer::JobDialogContext::Instance().mainWindow = nullptr;
}

void GuiMainDialog::Restart() {
  RemoveTrayIcon();
  {
    JobLayer::JobTraceScope scope('U', JobLayer::JobTraceId::System(), JobLayer::JobTraceId::Executor(), "Terminate");
    actions_.StopIcons();
    scope.SetResult(true);
  }
  OnShowStateChanged(WinLayer::kShowNormal, WinLayer::kShowGone);
  // The new instance ends this one before it reads the profile; this window stays until then.
  actions_.StartInstance(GuiSettings::Instance().BuildRestartArguments(GetCurrentProcessId()));
}

bool GuiMainDialog::AddTrayIcon() {
  if (!trayIcon_) {
    trayIcon_.reset(static_cast<HICON>(
        LoadImageW(WinLayer::WinInstance(), MAKEINTRESOURCEW(parts_.largeIcon), IMAGE_ICON, 32, 32, 0)));
  }
  tray_ = NOTIFYICONDATAW{};
  tray_.cbSize = sizeof(tray_);
  tray_.hWnd = Handle();
  tray_.uID = kTrayId;
  tray_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  tray_.uCallbackMessage = kTrayMessage;
  tray_.hIcon = trayIcon_.get();
  const std::wstring tip = parts_.title.ToWideString();
  const size_t units = std::min<size_t>(tip.size(), 127);
  std::wmemcpy(tray_.szTip, tip.data(), units);
  tray_.szTip[units] = L'\0';
  trayShown_ = Shell_NotifyIconW(NIM_ADD, &tray_) != FALSE;
  return trayShown_;
}

void GuiMainDialog::RemoveTrayIcon() {
  if (!trayShown_) return;
  Shell_NotifyIconW(NIM_DELETE, &tray_);
  trayShown_ = false;
}

void GuiMainDialog::OpenTitleMenuAtCursor() {
  HWND window = Handle();
  SetForegroundWindow(window);
  POINT cursor{};
  GetCursorPos(&cursor);
  HMENU menu = GetSystemMenu(window, FALSE);
  if (menu == nullptr) return;
  const int chosen = static_cast<int>(
      TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window, nullptr));
  // The menu closes properly only when the window gets a message after it.
  PostMessageW(window, WM_NULL, 0, 0);
  if (chosen != 0) PostMessageW(window, WM_SYSCOMMAND, static_cast<WPARAM>(chosen), 0);
}

void GuiMainDialog::Paint() {
  RawLayer::RawPaintDc paint(Handle());
  HDC dc = paint.get();
  // A thin frame around each pane, and two raised bars in the caption strip as a grip.
  auto frame = [dc](const RawRect& rect) {
    RECT outer{rect.left - 1, rect.top - 1, rect.right + 1, rect.bottom + 1};
    FrameRect(dc, &outer, GetSysColorBrush(COLOR_BTNSHADOW));
  };
  frame(layout_.buttons);
  if (layout_.showSelectors) frame(layout_.selectors);
  const RawRect& strip = layout_.caption;
  if (strip.Width() <= 0 || strip.Height() <= 0) return;
  const bool along = strip.Width() >= strip.Height();
  for (int bar = 0; bar < 2; ++bar) {
    RECT grip = along
                    ? RECT{strip.left, strip.top + strip.Height() / 2 - 3 + bar * 3, strip.right,
                           strip.top + strip.Height() / 2 + bar * 3}
                    : RECT{strip.left + strip.Width() / 2 - 3 + bar * 3, strip.top,
                           strip.left + strip.Width() / 2 + bar * 3, strip.bottom};
    DrawEdge(dc, &grip, BDR_RAISEDINNER, BF_RECT);
  }
}

bool GuiMainDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == taskbarCreated_ && taskbarCreated_ != 0) {
    // The shell restarted and forgot every tray icon: add ours again.
    if (GuiSettings::Instance().sysTray) {
      trayShown_ = false;
      (void)AddTrayIcon();
    }
    result = 0;
    return true;
  }
  switch (message) {
    case kTrayMessage:
      if (LOWORD(lParam) == WM_LBUTTONDOWN || LOWORD(lParam) == WM_RBUTTONDOWN) OpenTitleMenuAtCursor();
      result = 0;
      return true;
    case WM_NCHITTEST: {
      // The caption strip drags the window.
      result = DefaultProc(message, wParam, lParam);
      POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
      ScreenToClient(Handle(), &point);
      const RawRect& strip = layout_.caption;
      if (result == HTCLIENT && point.x >= strip.left && point.x < strip.right && point.y >= strip.top &&
          point.y < strip.bottom) {
        result = HTCAPTION;
      }
      return true;
    }
    case WM_PAINT:
      Paint();
      result = 0;
      return true;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI (or that monitor's scale changed): everything is
      // measured again at the new DPI, and the window takes the rectangle the system suggests,
      // which keeps it where the user dragged it. What is stored stays real pixels.
      if (const int dpi = WinLayer::WinDpiOfMessage(wParam); dpi > 0) ApplyDpi(dpi);
      const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
      if (suggested != nullptr) {
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      }
      RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      result = 0;
      return true;
    }
    case WM_EXITMENULOOP:
      // A title menu opened by keys may have the system draw its menu button on the frame, which
      // this captionless window never shows (measured under Wine: the picture stayed after the
      // menu closed). The whole window is drawn again once the menu is gone.
      RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
      return false;
    case WM_ACTIVATE:
      // The pane that had the keys gets them back when the window is active again.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(Handle(), focus)) lastFocus_ = focus;
      }
      return false;
    case WM_SETFOCUS: {
      HWND pane = lastFocus_ != nullptr && IsChild(Handle(), lastFocus_) ? lastFocus_ : nullptr;
      if (pane == nullptr && parts_.buttons != nullptr) pane = parts_.buttons->PaneWindow();
      if (pane != nullptr) SetFocus(pane);
      result = 0;
      return true;
    }
    default:
      return false;
  }
}

bool GuiMainDialog::HandleCommand(int id, int code, HWND control) {
  switch (code) {
    case kCommandRestart:
      Restart();
      return true;
    case kCommandSelectorResized:
    case kCommandButtonsChanged:
      Relayout();
      return true;
    case kCommandIconsLoaded:
      if (parts_.buttons != nullptr && parts_.buttons->PaneWindow() != nullptr) {
        InvalidateRect(parts_.buttons->PaneWindow(), nullptr, FALSE);
      }
      actions_.StoreIcons(false);
      return true;
    case kCommandIconReady:
      RepaintOpenScriptMenu();
      actions_.StoreIcons(false);
      return true;
    case WinLayer::kCommandCancel:
      // Escape never closes the launcher.
      return true;
    default:
      break;
  }
  // Anything else is the focused pane's.
  HWND focus = GetFocus();
  if (focus == nullptr || !IsChild(Handle(), focus) || focus == control) return false;
  SendMessageW(focus, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
  return true;
}

bool GuiMainDialog::PreTranslate(MSG& message) {
  // Tab moves the focus between the two panes.
  if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || !layout_.showSelectors) return false;
  if (message.hwnd != Handle() && !IsChild(Handle(), message.hwnd)) return false;
  HWND buttons = parts_.buttons != nullptr ? parts_.buttons->PaneWindow() : nullptr;
  HWND selectors = parts_.selectors != nullptr ? parts_.selectors->PaneWindow() : nullptr;
  if (buttons == nullptr || selectors == nullptr) return false;
  SetFocus(GetFocus() == buttons ? selectors : buttons);
  return true;
}

}  // namespace AppLayer
