#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "raw/rect_win32.h"
#include "win/dialog_parts.h"
#include "win/dpi_win32.h"
#include "win/info_dialog.h"

namespace WinLayer {

using RawLayer::RawUniqueFont;

namespace {

// The dialog's sizes, pixels at 96 DPI; a dialog takes them at the DPI of its monitor.
struct Sizes {
  int margin = 14;
  int gap = 12;
  int buttonWidth = 88;
  int buttonHeight = 26;
};

Sizes SizesAt(int dpi) {
  Sizes sizes;
  for (int* size : {&sizes.margin, &sizes.gap, &sizes.buttonWidth, &sizes.buttonHeight}) {
    *size = MulDiv(*size, dpi, kWinBaseDpi);
  }
  return sizes;
}
// A script error may come from a run the user did not start by hand (the command line, a timer
// of another program): the dialog comes to the foreground so that it is seen.
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;

// The dialog and its icon, text and buttons.
WinDialogTemplate MakeTemplate(const std::vector<std::wstring>& captions, bool scrolling) {
  WinDialogTemplate dialog(kDialogStyle);
  dialog.Add(WS_CHILD | WS_VISIBLE | SS_ICON, WinInfoDialog::kIconId, WinDialogTemplate::kStatic);
  if (scrolling) {
    dialog.Add(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                   ES_AUTOVSCROLL | ES_AUTOHSCROLL,
               WinInfoDialog::kTextId, WinDialogTemplate::kEdit);
  } else {
    dialog.Add(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, WinInfoDialog::kTextId, WinDialogTemplate::kStatic);
  }
  if (captions.empty()) {
    dialog.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, WinDialogTemplate::kButton, L"OK");
    return dialog;
  }
  for (size_t i = 0; i < captions.size(); ++i) {
    const DWORD kind = i == 0 ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    dialog.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | kind, WinInfoDialog::kFirstCaptionId + static_cast<int>(i),
               WinDialogTemplate::kButton, captions[i].c_str());
  }
  return dialog;
}

struct Session {
  std::wstring title;
  std::wstring text;
  int icon;
  HWND owner;
  RECT anchor;  // empty: the owner's rectangle, else the work area
  std::vector<int> buttons;
  RawUniqueFont font;
  bool scrolling;
};

// The buttons' widths from their captions, at least the button width each.
std::vector<int> ButtonWidths(HDC dc, HWND dialog, const std::vector<int>& buttons, const Sizes& sizes) {
  std::vector<int> widths;
  for (int id : buttons) {
    wchar_t caption[256] = L"";
    GetDlgItemTextW(dialog, id, caption, 256);
    RECT measured{0, 0, 0, 0};
    DrawTextW(dc, caption, -1, &measured, DT_CALCRECT | DT_SINGLELINE);
    widths.push_back(std::max<int>(sizes.buttonWidth, measured.right - measured.left + 2 * sizes.gap));
  }
  return widths;
}

// Buttons in rows no wider than `limit`, each row centred; the row count.
int PlaceButtons(HWND dialog, const std::vector<int>& buttons, const std::vector<int>& widths, int clientWidth,
                 int top, const Sizes& sizes) {
  int rows = 0;
  size_t first = 0;
  while (first < buttons.size()) {
    size_t last = first;
    int rowWidth = widths[first];
    while (last + 1 < buttons.size() &&
           rowWidth + sizes.gap / 2 + widths[last + 1] <= clientWidth - 2 * sizes.margin) {
      ++last;
      rowWidth += sizes.gap / 2 + widths[last];
    }
    int x = (clientWidth - rowWidth) / 2;
    const int y = top + rows * (sizes.buttonHeight + sizes.gap / 2);
    for (size_t i = first; i <= last; ++i) {
      MoveWindow(GetDlgItem(dialog, buttons[i]), x, y, widths[i], sizes.buttonHeight, FALSE);
      x += widths[i] + sizes.gap / 2;
    }
    ++rows;
    first = last + 1;
  }
  return rows;
}

void Layout(HWND dialog, Session& session) {
  // Laid out for the monitor it is placed on, where it stays at that size.
  const int dpi = WinDialogDpi(session.owner, session.anchor);
  WinKeepDialogLayout(dialog);
  const Sizes sizes = SizesAt(dpi);
  session.font = WinCreateMessageFont(dpi);
  HFONT font = WinFontOrDefault(session.font);
  HWND icon = GetDlgItem(dialog, WinInfoDialog::kIconId);
  HWND text = GetDlgItem(dialog, WinInfoDialog::kTextId);
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  for (int id : session.buttons) SendMessageW(GetDlgItem(dialog, id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, MAKEINTRESOURCEW(session.icon))), 0);
  SetWindowTextW(dialog, session.title.c_str());
  SetWindowTextW(text, session.text.c_str());

  const RECT area = WinWorkAreaNear(session.owner);
  const int areaWidth = area.right - area.left;
  const int iconSize = MulDiv(GetSystemMetrics(SM_CXICON), dpi, WinSystemDpi());
  RECT measured{0, 0, std::max<LONG>(200, areaWidth / 2), 0};
  HDC dc = GetDC(dialog);
  HGDIOBJ before = SelectObject(dc, font);
  DrawTextW(dc, session.text.c_str(), -1, &measured,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (session.scrolling ? 0 : DT_WORDBREAK));
  const std::vector<int> widths = ButtonWidths(dc, dialog, session.buttons, sizes);
  SelectObject(dc, before);
  ReleaseDC(dialog, dc);
  if (session.scrolling) {
    // Room for the frame and both scroll bars; beyond a part of the work area the box scrolls.
    const int areaHeight = area.bottom - area.top;
    const int frame = 2 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL) + 8;
    measured.right = measured.left + std::clamp<LONG>(measured.right - measured.left + frame, 200,
                                                      std::max(200, areaWidth * 2 / 3));
    measured.bottom = measured.top + std::clamp<LONG>(measured.bottom - measured.top + frame, 60,
                                                      std::max(60, areaHeight / 2));
  }

  int buttonsWidth = -sizes.gap / 2;
  for (int width : widths) buttonsWidth += width + sizes.gap / 2;
  const int textWidth = measured.right - measured.left;
  const int textHeight = measured.bottom - measured.top;
  const int bodyHeight = std::max(iconSize, textHeight);
  // As wide as the text, or as the buttons in one row while that fits the work area.
  const int clientWidth =
      std::max(sizes.margin + iconSize + sizes.gap + textWidth + sizes.margin,
               std::min(buttonsWidth + 2 * sizes.margin, std::max(areaWidth - 2 * sizes.margin, 0)));
  const int buttonTop = sizes.margin + bodyHeight + sizes.gap;
  const int rows = PlaceButtons(dialog, session.buttons, widths, clientWidth, buttonTop, sizes);
  const int clientHeight = buttonTop + rows * (sizes.buttonHeight + sizes.gap / 2) - sizes.gap / 2 + sizes.margin;
  MoveWindow(icon, sizes.margin, sizes.margin, iconSize, iconSize, FALSE);
  MoveWindow(text, sizes.margin + iconSize + sizes.gap, sizes.margin + (bodyHeight - textHeight) / 2, textWidth,
             textHeight, FALSE);

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

int WinInfoDialog::CaptionIndex(int result) const {
  const int index = result - kFirstCaptionId;
  return index >= 0 && static_cast<size_t>(index) < captions_.size() ? index : -1;
}

int WinInfoDialog::Show(void* owner) {
  std::wstring text = text_.ToWideString();
  if (scrolling_) {
    // An edit box breaks lines only at "\r\n".
    std::wstring lines;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) lines += L'\r';
      lines += text[i];
    }
    text.swap(lines);
  }
  Session session{title_.ToWideString(), text, icon_, static_cast<HWND>(owner),
                  RawLayer::ToSystemRect(anchor_), {}, RawUniqueFont(), scrolling_};
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
  const WinDialogTemplate dialog = MakeTemplate(captions, scrolling_);
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), dialog.Get(), session.owner, DialogProc,
                                                 reinterpret_cast<LPARAM>(&session));
  return result > 0 ? static_cast<int>(result) : 0;
}

}  // namespace WinLayer
