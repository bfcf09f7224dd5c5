// The DPI of windows and monitors (Windows only). A per-monitor aware program draws every
// window at its monitor's DPI; the calls that tell it are looked up when first needed, since
// systems before Windows 10 (8.1 for monitors) lack them, and there every window has the
// system's DPI.
#pragma once

#include <windows.h>

namespace WinLayer {

inline constexpr int kWinBaseDpi = 96;

// The DPI the whole session was started with (the primary monitor's), 96 when unknown.
int WinSystemDpi();
// The DPI of the monitor the window is on, as the system sees it; the system DPI without
// the call or for a window the call does not know.
int WinWindowDpi(HWND window);
// The DPI of the monitor nearest to a screen point.
int WinDpiAt(POINT point);
// The DPI a WM_DPICHANGED message carries (its first parameter: the same DPI twice).
inline int WinDpiOfMessage(WPARAM wParam) { return LOWORD(wParam); }

// The dialog keeps the sizes and fonts it was laid out with when it is moved to a monitor of
// another DPI: the system would otherwise scale them from the DPI the dialog was made at.
void WinKeepDialogLayout(HWND dialog);

// The message font of dialogs at `dpi` (the system's message font scaled from the
// system DPI when the system cannot give it at that DPI).
bool WinMessageFontForDpi(int dpi, LOGFONTW& font);

}  // namespace WinLayer
