#include "win/dialog_parts.h"
#include "win/dpi_win32.h"

#include <algorithm>

namespace WinLayer {

using RawLayer::RawUniqueFont;

namespace {

// The count of controls is the ninth word of the header.
constexpr size_t kCountWord = 4;

}  // namespace

WinDialogTemplate::WinDialogTemplate(DWORD style) {
  Dword(style);
  Dword(0);  // extended style
  Word(0);   // controls, counted as they are added
  EmptyRect();
  Word(0);  // no menu
  Word(0);  // the dialog class
  Word(0);  // the title is set later
}

void WinDialogTemplate::Dword(DWORD value) {
  Word(LOWORD(value));
  Word(HIWORD(value));
}

void WinDialogTemplate::EmptyRect() {
  for (int i = 0; i < 4; ++i) Word(0);
}

void WinDialogTemplate::Add(DWORD style, int id, WORD classAtom, const wchar_t* text) {
  ++words_[kCountWord];
  // Each control starts on a DWORD boundary (the vector's storage itself is aligned).
  if (words_.size() % 2 != 0) Word(0);
  Dword(style);
  Dword(0);  // extended style
  EmptyRect();
  Word(static_cast<WORD>(id));
  Word(0xFFFF);  // a class given by its atom
  Word(classAtom);
  for (; *text != L'\0'; ++text) Word(static_cast<WORD>(*text));
  Word(0);
  Word(0);  // no creation data
}

RawUniqueFont WinCreateMessageFont(int dpi) {
  LOGFONTW font{};
  if (!WinMessageFontForDpi(dpi, font)) return RawUniqueFont();
  return RawUniqueFont(CreateFontIndirectW(&font));
}

HFONT WinFontOrDefault(const RawUniqueFont& font) {
  return font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

RECT WinWorkAreaNear(HWND owner) {
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

namespace {

// What WinPlaceDialog centres a dialog over.
RECT PlaceOver(HWND owner, const RECT& anchor, const RECT& area) {
  RECT over = area;
  if (!IsRectEmpty(&anchor)) {
    over = anchor;
  } else if (owner != nullptr) {
    GetWindowRect(owner, &over);
  }
  return over;
}

}  // namespace

int WinDialogDpi(HWND owner, const RECT& anchor) {
  const RECT over = PlaceOver(owner, anchor, WinWorkAreaNear(owner));
  return WinDpiAt(POINT{over.left + (over.right - over.left) / 2, over.top + (over.bottom - over.top) / 2});
}

void WinPlaceDialog(HWND dialog, HWND owner, const RECT& anchor, int clientWidth, int clientHeight) {
  RECT frame{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE)));
  const LONG width = frame.right - frame.left;
  const LONG height = frame.bottom - frame.top;
  const RECT area = WinWorkAreaNear(owner);
  const RECT over = PlaceOver(owner, anchor, area);
  LONG left = over.left + ((over.right - over.left) - width) / 2;
  LONG top = over.top + ((over.bottom - over.top) - height) / 2;
  left = std::max(std::min(left, area.right - width), area.left);
  top = std::max(std::min(top, area.bottom - height), area.top);
  SetWindowPos(dialog, HWND_TOP, left, top, width, height, SWP_NOACTIVATE);
}

}  // namespace WinLayer
