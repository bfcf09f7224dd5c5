#include "win/style.h"

namespace WinLayer {

void WinViewStyle::DrawButton(HDC dc, const RECT& rect, WinButtonState state) {
  FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
  RECT frame = rect;
  switch (state) {
    case WinButtonState::Normal:
      break;
    case WinButtonState::Selected:
      DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
      break;
    case WinButtonState::Pressed:
      DrawEdge(dc, &frame, EDGE_SUNKEN, BF_RECT);
      break;
  }
}

void WinViewStyle::DrawSeparator(HDC dc, const RECT& rect, bool inRow) {
  FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
  RECT line = rect;
  if (inRow) {
    // Buttons in a row: a vertical line at the middle, kept off the ends.
    line.left = (rect.left + rect.right) / 2 - 1;
    line.right = line.left + 2;
    InflateRect(&line, 0, -2);
    DrawEdge(dc, &line, EDGE_ETCHED, BF_LEFT);
  } else {
    line.top = (rect.top + rect.bottom) / 2 - 1;
    line.bottom = line.top + 2;
    InflateRect(&line, -2, 0);
    DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
  }
}

}  // namespace WinLayer
