#include "win/dpi_win32.h"

#include "raw/handle_win32.h"
#include "raw/system_library_win32.h"

namespace WinLayer {

namespace {

using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using SystemParametersForDpiFunction = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using SetDialogDpiChangeBehaviorFunction = BOOL(WINAPI*)(HWND, int, int);

constexpr int kMonitorEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI
constexpr int kDialogDpiChangeDisableAll = 1;  // DDC_DISABLE_ALL

using RawLayer::SystemFunction;

GetDpiForWindowFunction DpiForWindow() {
  static const GetDpiForWindowFunction function =
      SystemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
  return function;
}

GetDpiForMonitorFunction DpiForMonitor() {
  static const GetDpiForMonitorFunction function =
      SystemFunction<GetDpiForMonitorFunction>(L"shcore.dll", "GetDpiForMonitor");
  return function;
}

SystemParametersForDpiFunction SystemParametersForDpi() {
  static const SystemParametersForDpiFunction function =
      SystemFunction<SystemParametersForDpiFunction>(L"user32.dll", "SystemParametersInfoForDpi");
  return function;
}

}  // namespace

int WinSystemDpi() {
  const RawLayer::RawWindowDc screen(nullptr);
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : kWinBaseDpi;
}

void WinKeepDialogLayout(HWND dialog) {
  // Windows 10 1703 and later; before, the system scaled no dialog again.
  static const SetDialogDpiChangeBehaviorFunction function =
      SystemFunction<SetDialogDpiChangeBehaviorFunction>(L"user32.dll", "SetDialogDpiChangeBehavior");
  if (function != nullptr) function(dialog, kDialogDpiChangeDisableAll, kDialogDpiChangeDisableAll);
}

int WinWindowDpi(HWND window) {
  if (GetDpiForWindowFunction function = DpiForWindow(); function != nullptr && window != nullptr) {
    const UINT dpi = function(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return WinSystemDpi();
}

int WinDpiAt(POINT point) {
  if (GetDpiForMonitorFunction function = DpiForMonitor()) {
    UINT x = 0;
    UINT y = 0;
    if (SUCCEEDED(function(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), kMonitorEffectiveDpi, &x, &y)) && y > 0) {
      return static_cast<int>(y);
    }
  }
  return WinSystemDpi();
}

bool WinMessageFontForDpi(int dpi, LOGFONTW& font) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  const int system = WinSystemDpi();
  SystemParametersForDpiFunction function = dpi > 0 && dpi != system ? SystemParametersForDpi() : nullptr;
  if (function != nullptr) {
    if (function(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
      font = metrics.lfMessageFont;
      return true;
    }
  }
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) return false;
  font = metrics.lfMessageFont;
  if (dpi > 0 && dpi != system) font.lfHeight = MulDiv(font.lfHeight, dpi, system);
  return true;
}

}  // namespace WinLayer
