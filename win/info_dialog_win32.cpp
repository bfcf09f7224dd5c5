#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "win/info_dialog.h"

namespace WinLayer {

namespace {

struct FontDeleter {
  void operator()(HFONT font) const { DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

constexpr int kMargin = 14;
constexpr int kGap = 12;
constexpr int kButtonWidth = 88;
constexpr int kButtonHeight = 26;
// A script error may come from a run the user did not start by hand (the command line, a timer
// of another program): the dialog comes to the foreground so that it is seen.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;

// A dialog template in memory: the dialog and its icon, text and OK button. Positions are set
// when the dialog opens, once the text has been measured.
class DialogTemplate {
 public:
  DialogTemplate() {
    Dword(kDialogStyle);
    Dword(0);      // extended style
    Word(3);       // controls
    Rect();        // placed later
    Word(0);       // no menu
    Word(0);       // the dialog class
    Word(0);       // the title is set later
    Item(WS_CHILD | WS_VISIBLE | SS_ICON, WinInfoDialog::kIconId, 0x0082, L"");
    Item(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, WinInfoDialog::kTextId, 0x0082, L"");
    Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 0x0080, L"OK");
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Word(WORD value) { words_.push_back(value); }
  void Dword(DWORD value) {
    Word(LOWORD(value));
    Word(HIWORD(value));
  }
  void Rect() {
    for (int i = 0; i < 4; ++i) Word(0);
  }
  void Text(const wchar_t* text) {
    for (; *text != L'\0'; ++text) Word(static_cast<WORD>(*text));
    Word(0);
  }
  // Each control starts on a DWORD boundary (the vector's storage itself is aligned).
  void Item(DWORD style, int id, WORD atom, const wchar_t* text) {
    if (words_.size() % 2 != 0) Word(0);
    Dword(style);
    Dword(0);
    Rect();
    Word(static_cast<WORD>(id));
    Word(0xFFFF);
    Word(atom);
    Text(text);
    Word(0);  // no creation data
  }
  std::vector<WORD> words_;
};

struct Session {
  std::wstring title;
  std::wstring text;
  int icon;
  HWND owner;
  UniqueFont font;
};

std::wstring Wide(const RawString& text) {
  const std::u16string wide = text.ToWide();
  return std::wstring(wide.begin(), wide.end());
}

RECT WorkAreaNear(HWND owner) {
  RECT area{};
  if (owner != nullptr) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  }
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
    area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return area;
}

// Centred over the anchor, then pushed inside the work area; the left and top edges win when
// the dialog is larger than the area.
POINT PlaceCentred(const RECT& anchor, int width, int height, const RECT& area) {
  LONG left = anchor.left + ((anchor.right - anchor.left) - width) / 2;
  LONG top = anchor.top + ((anchor.bottom - anchor.top) - height) / 2;
  left = std::max(std::min(left, area.right - width), area.left);
  top = std::max(std::min(top, area.bottom - height), area.top);
  return {left, top};
}

void Layout(HWND dialog, Session& session) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    session.font.reset(CreateFontIndirectW(&metrics.lfMessageFont));
  }
  HFONT font = session.font ? session.font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  HWND icon = GetDlgItem(dialog, WinInfoDialog::kIconId);
  HWND text = GetDlgItem(dialog, WinInfoDialog::kTextId);
  HWND button = GetDlgItem(dialog, IDOK);
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(session.icon))), 0);
  SetWindowTextW(dialog, session.title.c_str());
  SetWindowTextW(text, session.text.c_str());

  const RECT area = WorkAreaNear(session.owner);
  const int iconSize = GetSystemMetrics(SM_CXICON);
  RECT measured{0, 0, std::max<LONG>(200, (area.right - area.left) / 2), 0};
  HDC dc = GetDC(dialog);
  HGDIOBJ before = SelectObject(dc, font);
  DrawTextW(dc, session.text.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, before);
  ReleaseDC(dialog, dc);

  const int textWidth = measured.right - measured.left;
  const int textHeight = measured.bottom - measured.top;
  const int bodyHeight = std::max(iconSize, textHeight);
  const int clientWidth = std::max(kMargin + iconSize + kGap + textWidth + kMargin, kButtonWidth + 2 * kMargin);
  const int clientHeight = kMargin + bodyHeight + kGap + kButtonHeight + kMargin;
  MoveWindow(icon, kMargin, kMargin, iconSize, iconSize, FALSE);
  MoveWindow(text, kMargin + iconSize + kGap, kMargin + (bodyHeight - textHeight) / 2, textWidth, textHeight, FALSE);
  MoveWindow(button, (clientWidth - kButtonWidth) / 2, kMargin + bodyHeight + kGap, kButtonWidth, kButtonHeight, FALSE);

  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT anchor = area;
  if (session.owner != nullptr) GetWindowRect(session.owner, &anchor);
  const POINT at = PlaceCentred(anchor, width, height, area);
  SetWindowPos(dialog, HWND_TOP, at.x, at.y, width, height, SWP_NOACTIVATE);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Layout(dialog, *reinterpret_cast<Session*>(lParam));
      return TRUE;  // the OK button takes the focus
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int WinInfoDialog::Show(void* owner) {
  Session session{Wide(title_), Wide(text_), icon_, static_cast<HWND>(owner), nullptr};
  if (session.owner != nullptr && !IsWindow(session.owner)) session.owner = nullptr;
  const DialogTemplate dialog;
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), session.owner, DialogProc,
                                                 reinterpret_cast<LPARAM>(&session));
  return result > 0 ? static_cast<int>(result) : 0;
}

}  // namespace WinLayer
