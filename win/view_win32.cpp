#include "win/view.h"

#include <commctrl.h>

#include "raw/window_binding_win32.h"

namespace WinLayer {

namespace {

constexpr wchar_t kViewClass[] = L"KestrelView";
constexpr UINT_PTR kSubclassId = 1;

HINSTANCE g_instance = nullptr;

}  // namespace

bool KeyDownNow(int virtualKey) { return (GetAsyncKeyState(virtualKey) & 0x8000) != 0; }

HINSTANCE WinInstance() {
  if (g_instance == nullptr) g_instance = GetModuleHandleW(nullptr);
  return g_instance;
}

void SetWinInstance(HINSTANCE instance) { g_instance = instance; }

WinView::~WinView() { Destroy(); }

WinView* WinView::FromHandle(HWND window) {
  return RawLayer::BoundObject<WinView>(window);
}

bool WinView::Create(const WinViewCreate& create) {
  if (window_ != nullptr) return false;
  if (create.systemClass == nullptr) {
    static const ATOM atom = [] {
      WNDCLASSEXW windowClass{};
      windowClass.cbSize = sizeof(windowClass);
      windowClass.style = CS_DBLCLKS;
      windowClass.lpfnWndProc = &WinView::ClassProc;
      windowClass.hInstance = WinInstance();
      windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
      windowClass.lpszClassName = kViewClass;
      return RegisterClassExW(&windowClass);
    }();
    if (atom == 0) return false;
    HWND window = CreateWindowExW(create.exStyle, kViewClass, create.title, create.style, create.x, create.y,
                                  create.width, create.height, create.parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(create.id)), WinInstance(), this);
    // WM_NCCREATE bound the window; a failed creation unbinds it again on WM_NCDESTROY.
    return window != nullptr && window_ == window;
  }
  HWND window = CreateWindowExW(create.exStyle, create.systemClass, create.title, create.style, create.x, create.y,
                                create.width, create.height, create.parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(create.id)), WinInstance(), nullptr);
  if (window == nullptr) return false;
  if (!RawLayer::BindWindow(window, this) ||
      !SetWindowSubclass(window, &WinView::SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    RawLayer::UnbindWindow(window);
    DestroyWindow(window);
    return false;
  }
  window_ = window;
  subclassed_ = true;
  // The control's own WM_CREATE has passed; the view still gets its turn.
  OnCreate();
  return true;
}

void WinView::Destroy() {
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT WinView::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (subclassed_) return DefSubclassProc(window_, message, wParam, lParam);
  return DefWindowProcW(window_, message, wParam, lParam);
}

bool WinView::HandleMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }
bool WinView::HandleCommand(int, int, HWND) { return false; }
bool WinView::HandleNotify(int) { return false; }
bool WinView::DrawItem(DRAWITEMSTRUCT&) { return false; }
bool WinView::MeasureItem(MEASUREITEMSTRUCT&) { return false; }
void WinView::OnSized(int, int, int) {}
void WinView::OnShowStateChanged(int, int) {}

LRESULT CALLBACK WinView::ClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WinView* view = FromHandle(window);
  if (view == nullptr && message == WM_NCCREATE) {
    view = static_cast<WinView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (view != nullptr) {
      if (!RawLayer::BindWindow(window, view)) return FALSE;
      view->window_ = window;
    }
  }
  // Messages before WM_NCCREATE (WM_GETMINMAXINFO) belong to no view yet.
  if (view == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  return view->Dispatch(message, wParam, lParam);
}

LRESULT CALLBACK WinView::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
  WinView* view = reinterpret_cast<WinView*>(data);
  if (view == nullptr || view->window_ != window) return DefSubclassProc(window, message, wParam, lParam);
  return view->Dispatch(message, wParam, lParam);
}

LRESULT WinView::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  try {
    bool handled = false;
    for (WinViewHook* hook : hooks_) {
      if (hook->HookMessage(*this, message, wParam, lParam, result)) {
        handled = true;
        break;
      }
    }
    if (!handled) handled = Route(message, wParam, lParam, result);
    if (!handled) result = DefaultProc(message, wParam, lParam);
  } catch (...) {
    // Only the runtime's out-of-memory exception can get here; it must not unwind through the
    // system's code, so the message counts as handled.
    result = 0;
  }
  if (message == WM_NCDESTROY) {
    HWND window = window_;
    RawLayer::UnbindWindow(window);
    if (subclassed_) RemoveWindowSubclass(window, &WinView::SubclassProc, kSubclassId);
    window_ = nullptr;
    subclassed_ = false;
    OnDestroyed();
  }
  return result;
}

// The view's life: creation, size and show state, the end of the session and destruction, told
// to the view before its own handler sees the message.
void WinView::TrackLife(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      break;
    case WM_SIZE: {
      const int sizeType = static_cast<int>(wParam);
      if (sizeType <= kShowMaximized && sizeType != showState_) {
        const int previous = showState_;
        showState_ = sizeType;
        OnShowStateChanged(previous, sizeType);
      }
      OnSized(sizeType, LOWORD(lParam), HIWORD(lParam));
      break;
    }
    case WM_ENDSESSION:
      if (wParam != 0) OnShowStateChanged(showState_, kShowGone);
      break;
    case WM_DESTROY:
      if (showState_ != kShowGone) {
        const int previous = showState_;
        showState_ = kShowGone;
        OnShowStateChanged(previous, kShowGone);
      }
      OnDestroying();
      break;
    default:
      break;
  }
}

// What a parent hands on to its children or turns into a command when its own handler left the
// message: notifications and owner drawing go to the child view, Escape asks the top-level window
// to cancel.
bool WinView::HandOn(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_COMMAND: {
      const HWND control = reinterpret_cast<HWND>(lParam);
      const int code = HIWORD(wParam);
      WinView* child = control != window_ ? FromHandle(control) : nullptr;
      if (child != nullptr && child->HandleNotify(code)) {
        result = 0;
        return true;
      }
      if (HandleCommand(LOWORD(wParam), code, control)) {
        result = 0;
        return true;
      }
      return false;
    }
    case WM_DRAWITEM: {
      auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      WinView* child = item.CtlType != ODT_MENU ? FromHandle(item.hwndItem) : nullptr;
      if (child != nullptr && child->DrawItem(item)) {
        result = TRUE;
        return true;
      }
      return false;
    }
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      WinView* child = item.CtlType != ODT_MENU ? FromHandle(GetDlgItem(window_, static_cast<int>(item.CtlID))) : nullptr;
      if (child != nullptr && child->MeasureItem(item)) {
        result = TRUE;
        return true;
      }
      return false;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        // Escape asks the top-level window to cancel; what that means is the window's business.
        const HWND root = GetAncestor(window_, GA_ROOT);
        SendMessageW(root, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window_), kCommandCancel),
                     root != window_ ? reinterpret_cast<LPARAM>(window_) : 0);
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool WinView::Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  TrackLife(message, wParam, lParam);
  if (HandleMessage(message, wParam, lParam, result)) return true;
  return HandOn(message, wParam, lParam, result);
}

int WinDialog::Run(const WinViewCreate& create, int showCommand) {
  if (!Create(create)) return -1;
  endCode_ = 0;
  // A dialog over another window keeps that window from input until it ends.
  owner_ = (create.style & WS_CHILD) == 0 ? create.parent : nullptr;
  ownerWasEnabled_ = owner_ != nullptr && IsWindowEnabled(owner_);
  if (ownerWasEnabled_) EnableWindow(owner_, FALSE);
  ShowWindow(Handle(), showCommand);
  UpdateWindow(Handle());
  OnShown();
  running_ = true;
  MSG message;
  while (Handle() != nullptr) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      // WM_QUIT ends every loop: put it back for the loop outside this one.
      PostQuitMessage(static_cast<int>(message.wParam));
      break;
    }
    if (got == -1) break;
    if (PreTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  running_ = false;
  ReleaseOwner();
  if (quitOnDestroy_) {
    // The quit posted when the window went was for nested loops; none is left to read it.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }
  Destroy();
  return endCode_;
}

void WinDialog::End(int code) {
  endCode_ = code;
  HWND window = Handle();
  if (window == nullptr) return;
  // The owner is enabled before this window goes, so that activation returns to it.
  ReleaseOwner();
  DestroyWindow(window);
}

void WinDialog::ReleaseOwner() {
  if (ownerWasEnabled_) EnableWindow(owner_, TRUE);
  ownerWasEnabled_ = false;
}

bool WinDialog::PreTranslate(MSG&) { return false; }

void WinDialog::OnDestroyed() {
  if (quitOnDestroy_) PostQuitMessage(0);
}

}  // namespace WinLayer
