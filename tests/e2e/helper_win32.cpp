// A small program for the driver's own end-to-end tests: it does one visible thing and reports
// through its exit code or a file, so each driver step can be checked against a known answer.
//
//   e2e_helper box <base> <ok|okcancel|yesno|yesnocancel> <caption> <text>
//       shows a message box and exits with base + the pressed button's identifier
//   e2e_helper write <path> <text> <code>
//       writes the text (UTF-8) to the file and exits with code, showing no window
//   e2e_helper lines <path> <code> <line>...
//       writes the lines (UTF-8, each ended by a line feed) as they are, without escapes, and
//       exits with code: profiles and scripts that hold paths are written this way, since a
//       path such as Z:\...\nested\... must never meet the "\n" escape
//   e2e_helper storm <path> <count> <ms> <line>...
//       writes the lines count times, one save every ms, each save ending with the comment line
//       "/ save <n>" so that every save differs; exits 0 after the last
//   e2e_helper recreate <path> <line>...
//       deletes the file, waits 100 ms and writes the lines anew, as some editors save; exits 0
//   e2e_helper window <title> <log-path>
//       shows a 400x300 window of class "KestrelE2EProbe" at (100, 100); appends "key <vk>",
//       "char <code>" and "click <x> <y>" (screen coordinates) lines to the log as input
//       arrives; exits 0 when closed
//   e2e_helper dde-server <service> <topic> <log-path>
//       a program already running that takes documents by DDE: registers the service, appends
//       "ready" to the log, then "execute <command>" for every command it is sent; runs until
//       ended
//   e2e_helper stale <title> <log-path>
//       the same window, filled white; 300 ms after it shows, it changes its colour without
//       asking for a repaint and appends "changed" to the log (a window whose picture is stale)
// Texts take the escapes \n and \\.
#include <windows.h>
#include <ddeml.h>

#include <cstdlib>
#include <string>

#include "raw/handle_win32.h"

namespace {

std::wstring Unescape(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && (text[i + 1] == L'n' || text[i + 1] == L'\\')) {
      out += text[++i] == L'n' ? L'\n' : L'\\';
    } else {
      out += text[i];
    }
  }
  return out;
}

bool WriteUtf8(const std::wstring& path, const std::wstring& text, DWORD disposition) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                            nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  if (disposition == OPEN_ALWAYS) SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

int Box(int base, const std::wstring& buttons, const std::wstring& caption,
        const std::wstring& text) {
  UINT type = MB_OK;
  if (buttons == L"okcancel") type = MB_OKCANCEL;
  else if (buttons == L"yesno") type = MB_YESNO;
  else if (buttons == L"yesnocancel") type = MB_YESNOCANCEL;
  return base + MessageBoxW(nullptr, Unescape(text).c_str(), Unescape(caption).c_str(), type);
}

std::wstring g_log_path;
// "stale" mode: the colour the window paints, changed once by a timer without asking for a repaint.
COLORREF g_fill = RGB(255, 255, 255);
bool g_stale = false;

void Log(const std::wstring& line) {
  WriteUtf8(g_log_path, line + L"\n", OPEN_ALWAYS);
}

LRESULT CALLBACK ProbeProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      Log(L"key " + std::to_wstring(wparam));
      break;
    case WM_CHAR:
      Log(L"char " + std::to_wstring(wparam));
      return 0;
    case WM_LBUTTONDOWN: {
      POINT point = {static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      ClientToScreen(window, &point);
      Log(L"click " + std::to_wstring(point.x) + L" " + std::to_wstring(point.y));
      return 0;
    }
    case WM_PAINT: {
      if (!g_stale) break;
      RawLayer::RawPaintDc paint(window);
      RawLayer::RawUniqueBrush brush(CreateSolidBrush(g_fill));
      RECT client;
      GetClientRect(window, &client);
      FillRect(paint.get(), &client, brush.get());
      return 0;
    }
    case WM_TIMER:
      // The fault the driver's up-to-date step must catch: the state behind the picture changes
      // and nothing asks for a repaint.
      KillTimer(window, wparam);
      g_fill = RGB(200, 40, 40);
      Log(L"changed");
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

int Window(HINSTANCE instance, const std::wstring& title, const std::wstring& log_path) {
  g_log_path = log_path;
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = ProbeProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = L"KestrelE2EProbe";
  if (!RegisterClassW(&window_class)) return 90;
  HWND window = CreateWindowExW(0, L"KestrelE2EProbe", title.c_str(), WS_OVERLAPPEDWINDOW, 100,
                                100, 400, 300, nullptr, nullptr, instance, nullptr);
  if (!window) return 91;
  ShowWindow(window, SW_SHOWNORMAL);
  SetForegroundWindow(window);
  if (g_stale) SetTimer(window, 1, 300, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

// ---- dde-server ----

DWORD g_dde = 0;
HSZ g_topic = nullptr;

HDDEDATA CALLBACK DdeCallback(UINT type, UINT, HCONV, HSZ topic, HSZ, HDDEDATA data, ULONG_PTR, ULONG_PTR) {
  switch (type) {
    case XTYP_CONNECT:
      return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DdeCmpStringHandles(topic, g_topic) == 0));
    case XTYP_EXECUTE: {
      const DWORD bytes = DdeGetData(data, nullptr, 0, 0);
      std::wstring command(bytes / sizeof(wchar_t) + 1, L'\0');
      DdeGetData(data, reinterpret_cast<BYTE*>(command.data()), bytes, 0);
      command.resize(wcsnlen(command.c_str(), command.size()));
      Log(L"execute " + command);
      return reinterpret_cast<HDDEDATA>(DDE_FACK);
    }
    default:
      return nullptr;
  }
}

int DdeServer(const std::wstring& service, const std::wstring& topic, const std::wstring& log_path) {
  g_log_path = log_path;
  if (DdeInitializeW(&g_dde, DdeCallback, APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0) !=
      DMLERR_NO_ERROR) {
    return 92;
  }
  HSZ name = DdeCreateStringHandleW(g_dde, service.c_str(), CP_WINUNICODE);
  g_topic = DdeCreateStringHandleW(g_dde, topic.c_str(), CP_WINUNICODE);
  if (!DdeNameService(g_dde, name, nullptr, DNS_REGISTER)) return 93;
  Log(L"ready");
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  DdeUninitialize(g_dde);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return 99;
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  int code = 98;
  if (mode == L"box" && argc == 6) {
    code = Box(_wtoi(argv[2]), argv[3], argv[4], argv[5]);
  } else if (mode == L"write" && argc == 5) {
    code = WriteUtf8(argv[2], Unescape(argv[3]), CREATE_ALWAYS) ? _wtoi(argv[4]) : 97;
  } else if (mode == L"lines" && argc >= 4) {
    std::wstring text;
    for (int i = 4; i < argc; ++i) text += std::wstring(argv[i]) + L"\n";
    code = WriteUtf8(argv[2], text, CREATE_ALWAYS) ? _wtoi(argv[3]) : 97;
  } else if (mode == L"storm" && argc >= 5) {
    std::wstring text;
    for (int i = 5; i < argc; ++i) text += std::wstring(argv[i]) + L"\n";
    const int count = _wtoi(argv[3]);
    code = 0;
    for (int n = 1; n <= count && code == 0; ++n) {
      if (!WriteUtf8(argv[2], text + L"/ save " + std::to_wstring(n) + L"\n", CREATE_ALWAYS)) code = 97;
      if (n < count) Sleep(static_cast<DWORD>(_wtoi(argv[4])));
    }
  } else if (mode == L"recreate" && argc >= 3) {
    std::wstring text;
    for (int i = 3; i < argc; ++i) text += std::wstring(argv[i]) + L"\n";
    DeleteFileW(argv[2]);
    Sleep(100);
    code = WriteUtf8(argv[2], text, CREATE_ALWAYS) ? 0 : 97;
  } else if (mode == L"window" && argc == 4) {
    code = Window(instance, argv[2], argv[3]);
  } else if (mode == L"dde-server" && argc == 5) {
    code = DdeServer(argv[2], argv[3], argv[4]);
  } else if (mode == L"stale" && argc == 4) {
    g_stale = true;
    code = Window(instance, argv[2], argv[3]);
  }
  LocalFree(argv);
  return code;
}
