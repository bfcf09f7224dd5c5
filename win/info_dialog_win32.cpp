#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "win/info_dialog.h"
#include "win/view.h"

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

// A dialog template in memory: the dialog and its icon, text and buttons. Positions are set
// when the dialog opens, once the text and captions have been measured.
class DialogTemplate {
 public:
  explicit DialogTemplate(const std::vector<std::wstring>& captions) {
    Dword(kDialogStyle);
    Dword(0);  // extended style
    Word(static_cast<WORD>(2 + (captions.empty() ? 1 : captions.size())));
    Rect();    // placed later
    Word(0);   // no menu
    Word(0);   // the dialog class
    Word(0);   // the title is set later
    Item(WS_CHILD | WS_VISIBLE | SS_ICON, WinInfoDialog::kIconId, 0x0082, L"");
    Item(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, WinInfoDialog::kTextId, 0x0082, L"");
    if (captions.empty()) {
      Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 0x0080, L"OK");
      return;
    }
    for (size_t i = 0; i < captions.size(); ++i) {
      const DWORD kind = i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      Item(WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, WinInfoDialog::kFirstCaptionId + static_cast<int>(i), 0x0080,
           captions[i].c_str());
    }
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
  RECT anchor;  // empty: the owner's rectangle, else the work area
  std::vector<int> buttons;
  UniqueFont font;
};

// The buttons' widths from their captions, at least kButtonWidth each.
std::vector<int> ButtonWidths(HDC dc, HWND dialog, const std::vector<int>& buttons) {
  std::vector<int> widths;
  for (int id : buttons) {
    wchar_t caption[256] = L"";
    GetDlgItemTextW(dialog, id, caption, 256);
    RECT measured{0, 0, 0, 0};
    DrawTextW(dc, caption, -1, &measured, DT_CALCRECT | DT_SINGLELINE);
    widths.push_back(std::max<int>(kButtonWidth, measured.right - measured.left + 2 * kGap));
  }
  return widths;
}

// Buttons in rows no wider than `limit`, each row centred; the row count.
int PlaceButtons(HWND dialog, const std::vector<int>& buttons, const std::vector<int>& widths, int clientWidth,
                 int top) {
  int rows = 0;
  size_t first = 0;
  while (first < buttons.size()) {
    size_t last = first;
    int rowWidth = widths[first];
    while (last + 1 < buttons.size() && rowWidth + kGap / 2 + widths[last + 1] <= clientWidth - 2 * kMargin) {
      ++last;
      rowWidth += kGap / 2 + widths[last];
    }
    int x = (clientWidth - rowWidth) / 2;
    const int y = top + rows * (kButtonHeight + kGap / 2);
    for (size_t i = first; i <= last; ++i) {
      MoveWindow(GetDlgItem(dialog, buttons[i]), x, y, widths[i], kButtonHeight, FALSE);
      x += widths[i] + kGap / 2;
    }
    ++rows;
    first = last + 1;
  }
  return rows;
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
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (int id : session.buttons) SendMessageW(GetDlgItem(dialog, id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(session.icon))), 0);
  SetWindowTextW(dialog, session.title.c_str());
  SetWindowTextW(text, session.text.c_str());

  const RECT area = WinWorkAreaNear(session.owner);
  const int areaWidth = area.right - area.left;
  const int iconSize = GetSystemMetrics(SM_CXICON);
  RECT measured{0, 0, std::max<LONG>(200, areaWidth / 2), 0};
  HDC dc = GetDC(dialog);
  HGDIOBJ before = SelectObject(dc, font);
  DrawTextW(dc, session.text.c_str(), -1, &measured, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  const std::vector<int> widths = ButtonWidths(dc, dialog, session.buttons);
  SelectObject(dc, before);
  ReleaseDC(dialog, dc);

  int buttonsWidth = -kGap / 2;
  for (int width : widths) buttonsWidth += width + kGap / 2;
  const int textWidth = measured.right - measured.left;
  const int textHeight = measured.bottom - measured.top;
  const int bodyHeight = std::max(iconSize, textHeight);
  // As wide as the text, or as the buttons in one row while that fits the work area.
  const int clientWidth = std::max(kMargin + iconSize + kGap + textWidth + kMargin,
                                   std::min(buttonsWidth + 2 * kMargin, std::max(areaWidth - 2 * kMargin, 0)));
  const int buttonTop = kMargin + bodyHeight + kGap;
  const int rows = PlaceButtons(dialog, session.buttons, widths, clientWidth, buttonTop);
  const int clientHeight = buttonTop + rows * (kButtonHeight + kGap / 2) - kGap / 2 + kMargin;
  MoveWindow(icon, kMargin, kMargin, iconSize, iconSize, FALSE);
  MoveWindow(text, kMargin + iconSize + kGap, kMargin + (bodyHeight - textHeight) / 2, textWidth, textHeight, FALSE);

  WinPlaceDialog(dialog, session.owner, session.anchor, clientWidth, clientHeight);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      Layout(dialog, *reinterpret_cast<Session*>(lParam));
      return TRUE;  // the OK button takes the focus
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL ||
          (LOWORD(wParam) >= WinInfoDialog::kFirstCaptionId &&
           LOWORD(wParam) < WinInfoDialog::kFirstCaptionId + WinInfoDialog::kMaxCaptions)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void WinInfoDialog::SetCaptions(const std::vector<RawString>& captions) {
  captions_.assign(captions.begin(), captions.begin() + std::min<size_t>(captions.size(), kMaxCaptions));
}

void WinInfoDialog::SetAnchor(int left, int top, int right, int bottom) {
  anchor_[0] = left;
  anchor_[1] = top;
  anchor_[2] = right;
  anchor_[3] = bottom;
}

int WinInfoDialog::CaptionIndex(int result) const {
  const int index = result - kFirstCaptionId;
  return index >= 0 && static_cast<size_t>(index) < captions_.size() ? index : -1;
}

int WinInfoDialog::Show(void* owner) {
  Session session{title_.ToWideString(), text_.ToWideString(), icon_, static_cast<HWND>(owner),
                  RECT{anchor_[0], anchor_[1], anchor_[2], anchor_[3]}, {}, nullptr};
  if (session.owner != nullptr && !IsWindow(session.owner)) session.owner = nullptr;
  std::vector<std::wstring> captions;
  // A button would take "&" as the mark of its access key: doubled, it shows as written.
  for (const RawString& caption : captions_) {
    std::wstring shown;
    for (wchar_t c : caption.ToWideString()) shown.append(c == L'&' ? 2 : 1, c);
    captions.push_back(shown);
  }
  if (captions.empty()) session.buttons.push_back(IDOK);
  for (size_t i = 0; i < captions.size(); ++i) session.buttons.push_back(kFirstCaptionId + static_cast<int>(i));
  const DialogTemplate dialog(captions);
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), session.owner, DialogProc,
                                                 reinterpret_cast<LPARAM>(&session));
  return result > 0 ? static_cast<int>(result) : 0;
}

}  // namespace WinLayer
