#include "win/list_box.h"

#include <windowsx.h>

#include <algorithm>

#include "raw/handle_win32.h"

namespace WinLayer {

using RawLayer::RawUniqueMenu;

namespace {

// The system control keeps line heights in a byte and refuses a line of no height.
constexpr int32_t kMinLineHeight = 1;
constexpr int32_t kMaxLineHeight = 255;

bool KeyDown(int key) { return GetKeyState(key) < 0; }

}  // namespace

bool WinListBox::IsSelected(int32_t index) const {
  return index >= 0 && index < LineCount() && selected_[static_cast<size_t>(index)];
}

void WinListBox::SetSelection(const std::vector<bool>& selected, int32_t current) {
  const size_t count = selected_.size();
  selected_ = selected;
  selected_.resize(count, false);
  current_ = current >= 0 && current < LineCount() ? current : -1;
  anchor_ = current_;
  SyncControl();
}

int32_t WinListBox::LineAt(POINT client) const {
  HWND window = Handle();
  if (window == nullptr) return -1;
  RECT area;
  GetClientRect(window, &area);
  const int32_t top = static_cast<int32_t>(SendMessageW(window, LB_GETTOPINDEX, 0, 0));
  for (int32_t index = std::max(top, 0); index < LineCount(); ++index) {
    RECT rect;
    if (!LineRect(index, rect) || rect.top >= area.bottom) break;
    if (PtInRect(&rect, client)) return index;
  }
  return -1;
}

bool WinListBox::LineRect(int32_t index, RECT& rect) const {
  if (Handle() == nullptr || index < 0 || index >= LineCount()) return false;
  return SendMessageW(Handle(), LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect)) != LB_ERR;
}

void WinListBox::SetLineHeights(const std::vector<int32_t>& heights) {
  const int32_t count = static_cast<int32_t>(heights.size());
  selected_.resize(heights.size(), false);
  if (current_ >= count) current_ = -1;
  if (anchor_ >= count) anchor_ = current_;
  HWND window = Handle();
  if (window == nullptr) return;
  SendMessageW(window, WM_SETREDRAW, FALSE, 0);
  SendMessageW(window, LB_RESETCONTENT, 0, 0);
  SendMessageW(window, LB_INITSTORAGE, static_cast<WPARAM>(count), 0);
  for (int32_t index = 0; index < count; ++index) {
    // Without strings the control keeps the value as the line's item data: its index.
    SendMessageW(window, LB_ADDSTRING, 0, static_cast<LPARAM>(index));
    const int32_t height = std::clamp(heights[static_cast<size_t>(index)], kMinLineHeight, kMaxLineHeight);
    SendMessageW(window, LB_SETITEMHEIGHT, static_cast<WPARAM>(index), MAKELPARAM(height, 0));
  }
  SendMessageW(window, WM_SETREDRAW, TRUE, 0);
  SyncControl();
  InvalidateRect(window, nullptr, TRUE);
}

bool WinListBox::HandleNotify(int code) {
  switch (code) {
    case LBN_SELCHANGE:
    case LBN_DBLCLK:
    case LBN_SELCANCEL:
    case LBN_SETFOCUS:
    case LBN_KILLFOCUS:
      return true;
    default:
      return false;
  }
}

void WinListBox::Notify(int code) {
  HWND window = Handle();
  if (window == nullptr) return;
  SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), code),
               reinterpret_cast<LPARAM>(window));
}

void WinListBox::ShowMenu(POINT screen) {
  RawUniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  BuildMenu(menu.get());
  if (GetMenuItemCount(menu.get()) <= 0) return;
  const int id = static_cast<int>(TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x,
                                                 screen.y, 0, Handle(), nullptr));
  if (id != 0) ExecuteMenuCommand(id);
}

void WinListBox::OnSized(int, int, int) {
  // Lines are drawn to the width of the control: a new width repaints them all.
  if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, TRUE);
}

void WinListBox::Click(int32_t index, bool control, bool shift) {
  if (shift) {
    if (anchor_ < 0) anchor_ = index;
    SelectRange(anchor_, index, control);
  } else if (control) {
    selected_[static_cast<size_t>(index)] = !selected_[static_cast<size_t>(index)];
    anchor_ = index;
  } else {
    std::fill(selected_.begin(), selected_.end(), false);
    selected_[static_cast<size_t>(index)] = true;
    anchor_ = index;
  }
  current_ = index;
  SyncControl();
}

bool WinListBox::MoveCurrent(int32_t index, bool control, bool shift) {
  if (LineCount() == 0) return false;
  index = std::clamp(index, 0, LineCount() - 1);
  const bool moved = index != current_;
  current_ = index;
  if (shift) {
    if (anchor_ < 0) anchor_ = index;
    SelectRange(anchor_, index, control);
  } else if (!control) {
    // Ctrl moves the current line alone and leaves the selection as it is.
    std::fill(selected_.begin(), selected_.end(), false);
    selected_[static_cast<size_t>(index)] = true;
    anchor_ = index;
  }
  SyncControl();
  return moved;
}

void WinListBox::SelectRange(int32_t from, int32_t to, bool keepOthers) {
  if (!keepOthers) std::fill(selected_.begin(), selected_.end(), false);
  const int32_t first = std::clamp(std::min(from, to), 0, LineCount() - 1);
  const int32_t last = std::clamp(std::max(from, to), 0, LineCount() - 1);
  for (int32_t index = first; index <= last; ++index) selected_[static_cast<size_t>(index)] = true;
}

int32_t WinListBox::PageTarget(bool down) const {
  RECT area{};
  GetClientRect(Handle(), &area);
  const int32_t step = down ? 1 : -1;
  const int32_t start = std::max(current_, 0);
  int32_t index = start;
  int32_t used = 0;
  // As many lines as fill the window, at least one.
  for (int32_t next = start + step; next >= 0 && next < LineCount(); next += step) {
    used += static_cast<int32_t>(SendMessageW(Handle(), LB_GETITEMHEIGHT, static_cast<WPARAM>(next), 0));
    if (used > area.bottom && next != start + step) break;
    index = next;
  }
  return index;
}

bool WinListBox::HandleKey(WPARAM key) {
  const bool control = KeyDown(VK_CONTROL);
  const bool shift = KeyDown(VK_SHIFT);
  const int32_t last = LineCount() - 1;
  int32_t target = -1;
  switch (key) {
    case VK_UP:
      target = current_ < 0 ? 0 : current_ - 1;
      break;
    case VK_DOWN:
      target = current_ < 0 ? 0 : current_ + 1;
      break;
    case VK_HOME:
      target = 0;
      break;
    case VK_END:
      target = last;
      break;
    case VK_PRIOR:
      target = PageTarget(false);
      break;
    case VK_NEXT:
      target = PageTarget(true);
      break;
    case 'A':
      if (!control) return false;
      if (last < 0) return true;
      std::fill(selected_.begin(), selected_.end(), true);
      if (current_ < 0) current_ = 0;
      SyncControl();
      Notify(kNotifySelectionChanged);
      return true;
    case VK_RETURN:
      if (current_ >= 0 && current_ <= last) Notify(kNotifyActivated);
      return true;
    case VK_SPACE:
      if (current_ < 0 || current_ > last) return true;
      if (control) {
        selected_[static_cast<size_t>(current_)] = !selected_[static_cast<size_t>(current_)];
      } else {
        std::fill(selected_.begin(), selected_.end(), false);
        selected_[static_cast<size_t>(current_)] = true;
      }
      anchor_ = current_;
      SyncControl();
      return true;
    default:
      return false;
  }
  if (MoveCurrent(target, control, shift)) Notify(kNotifySelectionChanged);
  return true;
}

void WinListBox::SyncControl() {
  HWND window = Handle();
  if (window == nullptr) return;
  for (int32_t index = 0; index < LineCount(); ++index) {
    const bool drawn = SendMessageW(window, LB_GETSEL, static_cast<WPARAM>(index), 0) > 0;
    if (drawn != selected_[static_cast<size_t>(index)]) {
      SendMessageW(window, LB_SETSEL, selected_[static_cast<size_t>(index)] ? TRUE : FALSE, index);
    }
  }
  if (current_ >= 0) SendMessageW(window, LB_SETCARETINDEX, static_cast<WPARAM>(current_), FALSE);
}

bool WinListBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      SetFocus(Handle());
      const int32_t index = LineAt(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      result = 0;
      if (index < 0) return true;
      if (message == WM_LBUTTONDBLCLK && index == current_) {
        // The second click of a double click: a plain one leaves the line chosen alone, as its
        // first click did, even when the keyboard changed the selection in between.
        if ((wParam & (MK_CONTROL | MK_SHIFT)) == 0) {
          std::fill(selected_.begin(), selected_.end(), false);
          selected_[static_cast<size_t>(index)] = true;
          anchor_ = index;
          SyncControl();
        }
        Notify(kNotifyActivated);
      } else {
        Click(index, (wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0);
        Notify(kNotifySelectionChanged);
      }
      return true;
    }
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
      // The control never captures the mouse, so it has no drag of its own to follow.
      result = 0;
      return true;
    case WM_RBUTTONDOWN:
      SetFocus(Handle());
      result = 0;
      return true;
    case WM_RBUTTONUP: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ClientToScreen(Handle(), &point);
      result = 0;
      ShowMenu(point);
      return true;
    }
    case WM_CONTEXTMENU: {
      POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (lParam == -1) {
        // From the keyboard: below the current line, or at the box's corner.
        RECT rect{};
        if (!LineRect(current_, rect)) rect = RECT{};
        point = POINT{rect.left, rect.bottom};
        ClientToScreen(Handle(), &point);
      }
      result = 0;
      ShowMenu(point);
      return true;
    }
    case WM_KEYDOWN:
      if (!HandleKey(wParam)) return false;
      result = 0;
      return true;
    case WM_CHAR:
      // No type-ahead: lines have no strings, and Space and Enter were taken as keys.
      result = 0;
      return true;
    case WM_GETDLGCODE: {
      result = DefaultProc(message, wParam, lParam) | DLGC_WANTARROWS | DLGC_WANTCHARS;
      const MSG* asked = reinterpret_cast<const MSG*>(lParam);
      if (asked != nullptr && asked->message == WM_KEYDOWN && asked->wParam == VK_RETURN) result |= DLGC_WANTMESSAGE;
      return true;
    }
    default:
      return false;
  }
}

}  // namespace WinLayer
