#include "app/font.h"
#include "app/button_box.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/icon_store_win32.h"
#include "app/settings.h"
#include "job/trace.h"
#include "job/trigger.h"
#include "raw/rect_win32.h"
#include "raw/string_list.h"
#include "win/style.h"

namespace AppLayer {

namespace {

using WinLayer::WinButtonState;
using RawLayer::RawSelection;
using WinLayer::WinViewStyle;

constexpr DWORD kHoverMs = 500;
constexpr int kTipSlack = 5;  // pixels the cursor may wander before the tip goes
constexpr UINT kCaptionFormat = DT_NOPREFIX | DT_SINGLELINE | DT_LEFT | DT_TOP;




bool IsEmpty(const RawRect& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

// Captions measured as they are drawn: one line, no prefix processing, in the box's font.
class DcMeasure : public GuiTextMeasure {
 public:
  explicit DcMeasure(HFONT font) : screen_(nullptr), select_(screen_.get(), font) {}
  GuiSize Measure(const RawString& text) const override {
    const std::wstring wide = text.ToWideString();
    RECT rect{0, 0, 0, 0};
    DrawTextW(screen_.get(), wide.c_str(), static_cast<int>(wide.size()), &rect, kCaptionFormat | DT_CALCRECT);
    return {rect.right - rect.left, rect.bottom - rect.top};
  }

 private:
  RawLayer::RawWindowDc screen_;
  RawSelection select_;
};

GuiButtonKey KeyOf(WPARAM key) {
  switch (key) {
    case VK_RETURN:
      return GuiButtonKey::Enter;
    case VK_SPACE:
      return GuiButtonKey::Space;
    case VK_PRIOR:
      return GuiButtonKey::PageUp;
    case VK_HOME:
      return GuiButtonKey::Home;
    case VK_NEXT:
      return GuiButtonKey::PageDown;
    case VK_END:
      return GuiButtonKey::End;
    case VK_LEFT:
      return GuiButtonKey::Left;
    case VK_UP:
      return GuiButtonKey::Up;
    case VK_RIGHT:
      return GuiButtonKey::Right;
    case VK_DOWN:
      return GuiButtonKey::Down;
    case VK_DELETE:
      return GuiButtonKey::Delete;
    default:
      return GuiButtonKey::Other;
  }
}

bool AltHeld() { return GetKeyState(VK_MENU) < 0; }

}  // namespace

GuiButtonBox::GuiButtonBox() : buttons_(JobLayer::JobProfileModel::Instance().buttons) {
  RegisterButtonMenuTexts();
  font_ = CreateFontOf(GuiWindowStyle::Instance().windowFont);
  buttons_.SetupButtons();
}

GuiButtonBox::~GuiButtonBox() {
  // The window goes while this object can still answer its last messages.
  Destroy();
}

bool GuiButtonBox::CreateIn(HWND parent) {
  WinLayer::WinViewCreate create;
  create.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS;
  create.exStyle = WS_EX_ACCEPTFILES;
  create.width = size_.width;
  create.height = size_.height;
  create.parent = parent;
  create.id = kButtonBoxId;
  return Create(create);
}

void GuiButtonBox::ApplyStyle() {
  font_ = CreateFontOf(GuiWindowStyle::Instance().windowFont);
  if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
}

GuiSize GuiButtonBox::MeasureLayout() {
  const GuiWindowStyle& style = GuiWindowStyle::Instance();
  const GuiButtonMetrics metrics{style.buttonIconSize, style.buttonSeparator, GuiSettings::Instance().horizontal,
                                 style.margin};
  const DcMeasure measure(font_ ? font_.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
  size_ = MeasureButtons(buttons_, metrics, measure);
  if (Handle() != nullptr) InvalidateRect(Handle(), nullptr, FALSE);
  return size_;
}

void GuiButtonBox::RunButton(int32_t index, const RawString& keyState, const RawRect& anchor) {
  (void)JobLayer::RunButton(index, keyState, anchor);
}

void GuiButtonBox::RunDrop(int32_t index, const RawString& drop, const RawString& dropList, const RawRect& anchor) {
  (void)JobLayer::RunDrop(index, drop, dropList, anchor);
}

int32_t GuiButtonBox::TrackMenu(HMENU menu, POINT screen) {
  return TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, screen.x, screen.y, 0, Handle(),
                        nullptr);
}

void GuiButtonBox::ShowMenu(POINT screen) {
  RawLayer::RawUniqueMenu menu(CreatePopupMenu());
  if (!menu) return;
  const int32_t items[] = {MenuInsertSeparator, MenuDeleteItems, 0, MenuMoveUpItems, MenuMoveDownItems};
  for (int32_t id : items) {
    if (id == 0) {
      AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu.get(), MF_STRING, static_cast<UINT_PTR>(id), ButtonMenuText(id).ToWideString().c_str());
    }
  }
  const int32_t chosen = TrackMenu(menu.get(), screen);
  if (chosen != 0) (void)Edit(chosen);
}

bool GuiButtonBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (message) {
    case WM_PAINT:
      Paint();
      break;
    case WM_ERASEBKGND:
      // The whole client area is painted from a buffer.
      result = 1;
      return true;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    // The toolkit's class asks for double clicks; here the second click of one is a click too.
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
      OnButtonDown(point, message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK);
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      OnButtonUp(message == WM_RBUTTONUP);
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(point);
      break;
    case WM_MOUSEHOVER:
      OnHover(point);
      break;
    case WM_MOUSELEAVE:
      tracking_ = false;
      tip_.Close();
      break;
    case WM_CAPTURECHANGED:
      // Another window took the mouse (a menu, a dialog): the press is over without a run.
      if (pressed_ && reinterpret_cast<HWND>(lParam) != Handle()) {
        pressed_ = false;
        InvalidateRect(Handle(), nullptr, FALSE);
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      if (!OnKey(wParam, message == WM_SYSKEYDOWN)) return false;
      break;
    case WM_GETDLGCODE:
      result = DLGC_WANTARROWS | DLGC_WANTCHARS;
      return true;
    case WM_SETFOCUS:
      selectionMode_ = true;
      InvalidateRect(Handle(), nullptr, FALSE);
      break;
    case WM_KILLFOCUS:
      selectionMode_ = false;
      pressed_ = false;
      // A press that loses the focus (a dialog came up) never runs, so the mouse goes too.
      if (GetCapture() == Handle()) ReleaseCapture();
      InvalidateRect(Handle(), nullptr, FALSE);
      break;
    case WM_DROPFILES:
      OnDrop(reinterpret_cast<HDROP>(wParam));
      break;
    default:
      return false;
  }
  result = 0;
  return true;
}

void GuiButtonBox::OnDestroying() { tip_.Close(); }

void GuiButtonBox::OnButtonDown(POINT point, bool right) {
  if (GetFocus() != Handle()) SetFocus(Handle());
  current_ = HitTestButtons(buttons_, point.x, point.y);
  if (AltHeld()) {
    selectionMode_ = true;
    InvalidateRect(Handle(), nullptr, FALSE);
    UpdateWindow(Handle());
    if (right && current_ >= 0) {
      POINT screen = point;
      ClientToScreen(Handle(), &screen);
      ShowMenu(screen);
    }
    return;
  }
  pressed_ = true;
  SetCapture(Handle());
  InvalidateRect(Handle(), nullptr, FALSE);
}

void GuiButtonBox::OnButtonUp(bool right) {
  const bool wasPressed = pressed_;
  pressed_ = false;
  if (GetCapture() == Handle()) ReleaseCapture();
  InvalidateRect(Handle(), nullptr, FALSE);
  UpdateWindow(Handle());
  if (wasPressed) RunButton(current_, right ? RawString("RButton") : RawString("LButton"), ScreenRect(current_));
}

void GuiButtonBox::OnMouseMove(POINT point) {
  if (pressed_) {
    const int32_t under = HitTestButtons(buttons_, point.x, point.y);
    if (under != current_) {
      current_ = under;
      InvalidateRect(Handle(), nullptr, FALSE);
    }
  }
  if (!GuiSettings::Instance().viewTip) return;
  if (tip_.IsOpen() && (std::abs(point.x - tipAt_.x) > kTipSlack || std::abs(point.y - tipAt_.y) > kTipSlack)) {
    tip_.Close();
    tracking_ = false;
  }
  if (!tracking_) ArmTracking();
}

void GuiButtonBox::ArmTracking() {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_HOVER | TME_LEAVE;
  track.hwndTrack = Handle();
  track.dwHoverTime = kHoverMs;
  tracking_ = TrackMouseEvent(&track) != FALSE;
}

void GuiButtonBox::OnHover(POINT point) {
  const int32_t index = HitTestButtons(buttons_, point.x, point.y);
  const JobButtonUnit* button = buttons_.At(index);
  if (GuiSettings::Instance().viewTip && button != nullptr && IsNormalButton(*button)) {
    POINT screen = point;
    ClientToScreen(Handle(), &screen);
    tipAt_ = point;
    (void)tip_.Show(button->tipText.ToWideString(), screen, LogFontOf(GuiWindowStyle::Instance().tipFont));
  }
  // Hover notification ends with each hover; the next one needs it armed again.
  ArmTracking();
}

bool GuiButtonBox::OnKey(WPARAM key, bool alt) {
  switch (ButtonKeyAction(KeyOf(key), alt, GuiSettings::Instance().horizontal)) {
    case GuiButtonAction::None:
      return false;
    case GuiButtonAction::Run:
      if (buttons_.At(current_) != nullptr) RunButton(current_, "LButton", ScreenRect(current_));
      return true;
    case GuiButtonAction::First:
      Select(FirstNormalButton(buttons_));
      return true;
    case GuiButtonAction::Last:
      Select(LastNormalButton(buttons_));
      return true;
    case GuiButtonAction::Previous:
      Select(StepNormalButton(buttons_, current_, -1));
      return true;
    case GuiButtonAction::Next:
      Select(StepNormalButton(buttons_, current_, 1));
      return true;
    case GuiButtonAction::Menu: {
      // Below the selected button's left edge, or at the box's corner when none is selected.
      const RawRect rect = ScreenRect(current_);
      POINT screen{rect.left, rect.bottom};
      if (buttons_.At(current_) == nullptr) {
        screen = {0, 0};
        ClientToScreen(Handle(), &screen);
      }
      ShowMenu(screen);
      return true;
    }
    case GuiButtonAction::Delete:
      (void)Edit(MenuDeleteItems);
      return true;
    case GuiButtonAction::MoveUp:
      (void)Edit(MenuMoveUpItems);
      return true;
    case GuiButtonAction::MoveDown:
      (void)Edit(MenuMoveDownItems);
      return true;
  }
  return false;
}

void GuiButtonBox::Select(int32_t index) {
  selectionMode_ = true;
  if (index == current_) return;
  current_ = index;
  InvalidateRect(Handle(), nullptr, FALSE);
}

void GuiButtonBox::OnDrop(HDROP drop) {
  POINT point{};
  DragQueryPoint(drop, &point);
  RawLayer::RawStringList paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(static_cast<size_t>(length) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
    paths.Add(RawString::FromWide(reinterpret_cast<const char16_t*>(path.data()), static_cast<int32_t>(path.size())));
  }
  DragFinish(drop);
  if (paths.IsEmpty()) return;
  const int32_t target = HitTestButtons(buttons_, point.x, point.y);
  if (WinLayer::KeyDownNow(VK_MENU)) {
    {
      JobLayer::JobTraceScope scope('U', JobLayer::JobTraceId::User(), JobLayer::JobTraceId::Executor(),
                                    "(Drop-Insert)");
      int32_t index = target;
      for (const RawString& path : paths) {
        (void)buttons_.CreateFromDrop(index, path, scope.Self());
        // Later paths follow the earlier ones, all before the target.
        if (index >= 0) ++index;
      }
    }
    Changed(true);
    return;
  }
  current_ = target;
  selectionMode_ = true;
  InvalidateRect(Handle(), nullptr, FALSE);
  UpdateWindow(Handle());
  RunDrop(target, *paths.First(), JobLayer::DropListText(paths), ScreenRect(target));
}

bool GuiButtonBox::Edit(int32_t id) {
  int32_t selection = current_;
  bool done = false;
  switch (id) {
    case MenuInsertSeparator:
      done = InsertSeparatorBefore(buttons_, current_, selection);
      break;
    case MenuDeleteItems:
      done = DeleteButtonAt(buttons_, current_, selection);
      break;
    case MenuMoveUpItems:
      done = MoveButton(buttons_, current_, -1, selection);
      break;
    case MenuMoveDownItems:
      done = MoveButton(buttons_, current_, 1, selection);
      break;
    default:
      break;
  }
  if (!done) return false;
  current_ = selection;
  Changed(id == MenuInsertSeparator || id == MenuDeleteItems);
  return true;
}

void GuiButtonBox::Changed(bool relayout) {
  (void)JobLayer::JobProfileModel::Instance().SaveButtons();
  // The rectangles belong to the buttons, so a moved button takes its old place's rectangle
  // only once measured again; the box's size changes only by inserts and deletes.
  MeasureLayout();
  if (relayout && Handle() != nullptr) {
    SendMessageW(GetParent(Handle()), WM_COMMAND, MAKEWPARAM(kButtonBoxId, kCommandButtonsChanged), 0);
  }
}

RawRect GuiButtonBox::ScreenRect(int32_t index) const {
  const JobButtonUnit* button = buttons_.At(index);
  if (button == nullptr) return {};
  RECT rect = RawLayer::ToSystemRect(ButtonRect(*button));
  MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return RawLayer::FromSystemRect(rect);
}

void GuiButtonBox::Paint() {
  RawLayer::RawPaintDc paint(Handle());
  RECT client;
  GetClientRect(Handle(), &client);
  // Only the part that can be seen is drawn: a long column of buttons reaches far beyond the
  // screen, and drawing and copying all of it made the first paint wait for pixels nobody sees.
  RECT shown;
  if (GetClipBox(paint.get(), &shown) == NULLREGION || !IntersectRect(&shown, &shown, &client)) return;
  const int width = shown.right - shown.left;
  const int height = shown.bottom - shown.top;
  // Drawn off screen and copied at once, so buttons never flicker through their face colour.
  RawLayer::RawUniqueMemoryDc buffer(CreateCompatibleDC(paint.get()));
  RawLayer::RawUniqueBitmap bitmap(CreateCompatibleBitmap(paint.get(), width, height));
  if (!buffer || !bitmap) {
    DrawButtons(paint.get(), shown);
    return;
  }
  {
    RawSelection selectBitmap(buffer.get(), bitmap.get());
    // The buffer's first pixel is the shown part's corner; the buttons keep their client places.
    SetViewportOrgEx(buffer.get(), -shown.left, -shown.top, nullptr);
    DrawButtons(buffer.get(), shown);
    BitBlt(paint.get(), shown.left, shown.top, width, height, buffer.get(), shown.left, shown.top, SRCCOPY);
  }
}

void GuiButtonBox::DrawButtons(HDC dc, const RECT& shown) {
  FillRect(dc, &shown, GetSysColorBrush(COLOR_BTNFACE));
  RawSelection selectFont(dc, font_.get());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  const GuiSettings& settings = GuiSettings::Instance();
  const GuiWindowStyle& style = GuiWindowStyle::Instance();
  const int32_t iconSize = style.buttonIconSize;
  int32_t index = 0;
  for (const JobButtonUnit& button : buttons_) {
    const RECT rect = RawLayer::ToSystemRect(ButtonRect(button));
    const int32_t at = index++;
    RECT part;
    if ((button.flags & JobButtonUnit::kHidden) != 0 || !IntersectRect(&part, &rect, &shown)) continue;
    if ((button.flags & JobButtonUnit::kSeparator) != 0) {
      WinViewStyle::DrawSeparator(dc, rect, settings.horizontal);
      continue;
    }
    WinButtonState state = WinButtonState::Normal;
    if (at == current_ && pressed_) {
      state = WinButtonState::Pressed;
    } else if (at == current_ && selectionMode_) {
      state = WinButtonState::Selected;
    }
    WinViewStyle::DrawButton(dc, rect, state);
    GuiButtonContent content = PlaceButtonContent(button, iconSize, settings.buttonAlign, style.margin);
    // A pressed button's content sinks by a pixel with its frame.
    const int32_t shift = state == WinButtonState::Pressed ? 1 : 0;
    if (!IsEmpty(content.icon)) {
      RECT icon = RawLayer::ToSystemRect(content.icon);
      OffsetRect(&icon, shift, shift);
      DrawIconEntry(button.iconEntry, dc, icon);
    }
    if (!IsEmpty(content.caption)) {
      RECT caption = RawLayer::ToSystemRect(content.caption);
      OffsetRect(&caption, shift, shift);
      const std::wstring text = button.caption.ToWideString();
      DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &caption, kCaptionFormat);
    }
  }
}

}  // namespace AppLayer
