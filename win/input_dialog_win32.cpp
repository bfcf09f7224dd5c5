#include <windows.h>

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <string>
#include <vector>

#include "win/dialog_parts.h"
#include "win/dpi_win32.h"
#include "raw/handle_win32.h"
#include "raw/rect_win32.h"
#include "raw/window_binding_win32.h"
#include "win/input_dialog.h"

namespace WinLayer {

using RawLayer::RawUniqueFont;

namespace {

// The dialog's sizes, pixels at 96 DPI; a dialog takes them at the DPI of its monitor.
struct Sizes {
  int margin = 12;
  int gap = 8;
  int rowGap = 6;
  int buttonWidth = 88;
  int buttonHeight = 26;
  int minFieldWidth = 260;
};

Sizes SizesAt(int dpi) {
  Sizes sizes;
  for (int* size : {&sizes.margin, &sizes.gap, &sizes.rowGap, &sizes.buttonWidth, &sizes.buttonHeight,
                    &sizes.minFieldWidth}) {
    *size = MulDiv(*size, dpi, kWinBaseDpi);
  }
  return sizes;
}
constexpr int kDropLines = 8;  // rows of a drop-down list before it scrolls
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;

bool OffersHints(const WinInputDialog::Field& field) {
  return !field.readOnly && !field.password && !field.hints.empty();
}

// The text, a label and a box per field, and the two buttons.
WinDialogTemplate MakeForm(const std::vector<WinInputDialog::Field>& fields) {
  WinDialogTemplate form(kDialogStyle);
  form.Add(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, WinInputDialog::kTextId, WinDialogTemplate::kStatic);
  for (size_t i = 0; i < fields.size(); ++i) {
    const int index = static_cast<int>(i);
    form.Add(WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, WinInputDialog::kFirstLabelId + index,
             WinDialogTemplate::kStatic);
    if (OffersHints(fields[i])) {
      form.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL,
               WinInputDialog::kFirstFieldId + index, WinDialogTemplate::kComboBox);
    } else {
      const DWORD readOnly = fields[i].readOnly ? ES_READONLY : 0;
      const DWORD password = fields[i].password ? ES_PASSWORD : 0;
      form.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | readOnly | password,
               WinInputDialog::kFirstFieldId + index, WinDialogTemplate::kEdit);
    }
  }
  form.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, WinDialogTemplate::kButton, L"Finish");
  form.Add(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, WinDialogTemplate::kButton, L"Cancel");
  return form;
}

// The input method's state of one edit box while the form is open.
struct EditState {
  HWND edit = nullptr;
  bool openKnown = false;
  BOOL open = FALSE;
};

struct Session {
  std::wstring text;
  const std::vector<WinInputDialog::Field>* fields;
  HWND owner;
  RECT anchor;
  RawUniqueFont font;
  std::vector<EditState> edits;
  std::vector<std::wstring> results;
};

HFONT SessionFont(const Session& session) { return WinFontOrDefault(session.font); }

// The composition window follows the caret and writes in the box's font, so text being composed
// appears where it will be inserted.
void PlaceComposition(HWND edit, HFONT font) {
  HIMC context = ImmGetContext(edit);
  if (context == nullptr) return;
  COMPOSITIONFORM form{};
  form.dwStyle = CFS_POINT;
  if (GetCaretPos(&form.ptCurrentPos)) ImmSetCompositionWindow(context, &form);
  LOGFONTW face{};
  if (GetObjectW(font, sizeof face, &face) == sizeof face) ImmSetCompositionFontW(context, &face);
  ImmReleaseContext(edit, context);
}

// Each box keeps the open state the user left it in: moving between fields of different
// languages does not make the user switch the input method again.
LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  Session& session = *reinterpret_cast<Session*>(data);
  EditState& state = session.edits[id];
  switch (message) {
    case WM_IME_STARTCOMPOSITION:
      PlaceComposition(edit, SessionFont(session));
      break;
    case WM_SETFOCUS:
      if (state.openKnown) {
        if (HIMC context = ImmGetContext(edit)) {
          ImmSetOpenStatus(context, state.open);
          ImmReleaseContext(edit, context);
        }
      }
      break;
    case WM_KILLFOCUS:
      if (HIMC context = ImmGetContext(edit)) {
        state.open = ImmGetOpenStatus(context);
        state.openKnown = true;
        ImmReleaseContext(edit, context);
      }
      break;
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, EditProc, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

// The edit box inside a field: the box itself, or a drop-down box's edit part.
HWND EditOf(HWND box) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  if (GetComboBoxInfo(box, &info) && info.hwndItem != nullptr) return info.hwndItem;
  return box;
}

SIZE Measure(HDC dc, const std::wstring& text, int limit, UINT flags) {
  RECT measured{0, 0, limit, 0};
  DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &measured, DT_CALCRECT | DT_NOPREFIX | flags);
  return {measured.right - measured.left, measured.bottom - measured.top};
}

void FillFields(HWND dialog, Session& session) {
  const std::vector<WinInputDialog::Field>& fields = *session.fields;
  HFONT font = SessionFont(session);
  for (size_t i = 0; i < fields.size(); ++i) {
    const int index = static_cast<int>(i);
    HWND label = GetDlgItem(dialog, WinInputDialog::kFirstLabelId + index);
    HWND box = GetDlgItem(dialog, WinInputDialog::kFirstFieldId + index);
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SetWindowTextW(label, fields[i].label.ToWideString().c_str());
    for (const RawString& hint : OffersHints(fields[i]) ? fields[i].hints : std::vector<RawString>()) {
      SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(hint.ToWideString().c_str()));
    }
    SetWindowTextW(box, fields[i].initial.ToWideString().c_str());
    HWND edit = EditOf(box);
    session.edits[i].edit = edit;
    // A box that cannot be changed takes no composition, and neither does a password, whose
    // composition window would show it.
    if (fields[i].readOnly || fields[i].password) ImmAssociateContextEx(edit, nullptr, 0);
    SetWindowSubclass(edit, EditProc, i, reinterpret_cast<DWORD_PTR>(&session));
  }
}

void Layout(HWND dialog, Session& session) {
  const std::vector<WinInputDialog::Field>& fields = *session.fields;
  // Laid out for the monitor it is placed on, where it stays at that size.
  const int dpi = WinDialogDpi(session.owner, session.anchor);
  WinKeepDialogLayout(dialog);
  const Sizes sizes = SizesAt(dpi);
  session.font = WinCreateMessageFont(dpi);
  HFONT font = SessionFont(session);
  HWND text = GetDlgItem(dialog, WinInputDialog::kTextId);
  SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetWindowTextW(text, session.text.c_str());
  for (int id : {IDOK, IDCANCEL}) SendMessageW(GetDlgItem(dialog, id), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetWindowTextW(dialog, L"Input text ?");
  FillFields(dialog, session);

  const RECT area = WinWorkAreaNear(session.owner);
  const int areaWidth = area.right - area.left;
  HDC dc = GetDC(dialog);
  HGDIOBJ before = SelectObject(dc, font);
  const SIZE textSize = session.text.empty() ? SIZE{0, 0}
                                             : Measure(dc, session.text, std::max(360, areaWidth / 2),
                                                       DT_WORDBREAK | DT_EXPANDTABS);
  int labelWidth = 0;
  int lineHeight = Measure(dc, L"Ag", 0, DT_SINGLELINE).cy;
  for (const WinInputDialog::Field& field : fields) {
    if (!field.label.IsEmpty()) labelWidth = std::max<int>(labelWidth, Measure(dc, field.label.ToWideString(), 0, DT_SINGLELINE).cx);
  }
  SelectObject(dc, before);
  ReleaseDC(dialog, dc);

  const int fieldHeight = lineHeight + 10;
  const int fieldLeft = sizes.margin + (labelWidth > 0 ? labelWidth + sizes.gap : 0);
  const int clientWidth =
      std::max({static_cast<int>(textSize.cx) + 2 * sizes.margin, fieldLeft + sizes.minFieldWidth + sizes.margin,
                2 * sizes.buttonWidth + sizes.gap + 2 * sizes.margin});
  int y = sizes.margin;
  if (textSize.cy > 0) {
    MoveWindow(text, sizes.margin, y, textSize.cx, textSize.cy, FALSE);
    y += textSize.cy + sizes.gap;
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    const int index = static_cast<int>(i);
    MoveWindow(GetDlgItem(dialog, WinInputDialog::kFirstLabelId + index), sizes.margin,
               y + (fieldHeight - lineHeight) / 2, labelWidth, lineHeight, FALSE);
    HWND box = GetDlgItem(dialog, WinInputDialog::kFirstFieldId + index);
    // A drop-down box's height includes its open list.
    const int height = OffersHints(fields[i]) ? fieldHeight + kDropLines * lineHeight : fieldHeight;
    MoveWindow(box, fieldLeft, y, clientWidth - fieldLeft - sizes.margin, height, FALSE);
    y += fieldHeight + sizes.rowGap;
  }
  y += sizes.gap - sizes.rowGap;
  MoveWindow(GetDlgItem(dialog, IDOK), clientWidth - sizes.margin - 2 * sizes.buttonWidth - sizes.gap, y,
             sizes.buttonWidth, sizes.buttonHeight, FALSE);
  MoveWindow(GetDlgItem(dialog, IDCANCEL), clientWidth - sizes.margin - sizes.buttonWidth, y, sizes.buttonWidth,
             sizes.buttonHeight, FALSE);
  const int clientHeight = y + sizes.buttonHeight + sizes.margin;

  WinPlaceDialog(dialog, session.owner, session.anchor, clientWidth, clientHeight);
}

// The first field that can be changed takes the focus with its text selected; else Finish.
void FocusFirstField(HWND dialog, const Session& session) {
  for (size_t i = 0; i < session.fields->size(); ++i) {
    if ((*session.fields)[i].readOnly) continue;
    HWND box = GetDlgItem(dialog, WinInputDialog::kFirstFieldId + static_cast<int>(i));
    SetFocus(box);
    SendMessageW(session.edits[i].edit, EM_SETSEL, 0, -1);
    return;
  }
  SetFocus(GetDlgItem(dialog, IDOK));
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  Session* bound = RawLayer::BoundObjectFor<Session>(dialog, message, lParam);
  if (bound == nullptr) return FALSE;
  Session& session = *bound;
  switch (message) {
    case WM_INITDIALOG:
      Layout(dialog, session);
      FocusFirstField(dialog, session);
      return FALSE;  // the focus is set
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL) return FALSE;
      if (id == IDOK) {
        session.results.clear();
        for (size_t i = 0; i < session.fields->size(); ++i) {
          session.results.push_back(WindowText(GetDlgItem(dialog, WinInputDialog::kFirstFieldId + static_cast<int>(i))));
        }
      }
      EndDialog(dialog, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

bool WinInputDialog::Show(void* owner, std::vector<RawString>& texts) {
  const std::vector<Field> shown(fields_.begin(),
                                 fields_.begin() + std::min<size_t>(fields_.size(), static_cast<size_t>(kMaxFields)));
  Session session{text_.ToWideString(), &shown, static_cast<HWND>(owner), RawLayer::ToSystemRect(anchor_),
                  RawUniqueFont(), std::vector<EditState>(shown.size()), {}};
  if (session.owner != nullptr && !IsWindow(session.owner)) session.owner = nullptr;
  const WinDialogTemplate form = MakeForm(shown);
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), form.Get(), session.owner, DialogProc,
                                                 reinterpret_cast<LPARAM>(&session));
  if (result != IDOK || session.results.size() != shown.size()) return false;
  texts.clear();
  for (const std::wstring& text : session.results) {
    texts.push_back(RawString::FromWide(reinterpret_cast<const char16_t*>(text.data()), static_cast<int32_t>(text.size())));
  }
  for (size_t i = shown.size(); i < fields_.size(); ++i) texts.push_back(fields_[i].initial);
  return true;
}

}  // namespace WinLayer
