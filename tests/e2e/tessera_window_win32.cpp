// A target window for Tessera's end-to-end scenarios: a top-level window of a known class,
// title and rectangle that reports what happens to it.
//
//   tessera_e2e_window <class> <title> <left> <top> <width> <height> <normal|min|max|hung|hidden> <log-path>
//
// "hung" shows the window normally and then stops answering messages for 20 s; "hidden" never
// shows it and writes "hidden" instead of "shown".
//
// Writes "shown" to the log once the window is up, "close" when WM_CLOSE arrives and "ended"
// when its message loop is over; exits with code 7 after a close, so a terminated process
// (exit code 0, no "ended") tells itself apart.
#include <windows.h>

#include <string>

namespace {

constexpr int kClosedExitCode = 7;
constexpr DWORD kHungMs = 20000;
std::wstring g_log_path;

void Log(const char* line) {
  HANDLE file = CreateFileW(g_log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr);
  WriteFile(file, "\n", 1, &written, nullptr);
  CloseHandle(file);
}

LRESULT CALLBACK TargetProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE:
      Log("close");
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(kClosedExitCode);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc != 9) return 99;
  const std::wstring class_name = argv[1];
  const std::wstring title = argv[2];
  const int left = _wtoi(argv[3]);
  const int top = _wtoi(argv[4]);
  const int width = _wtoi(argv[5]);
  const int height = _wtoi(argv[6]);
  const std::wstring state = argv[7];
  g_log_path = argv[8];
  LocalFree(argv);

  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = TargetProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = class_name.c_str();
  if (!RegisterClassW(&window_class)) return 90;
  HWND window = CreateWindowExW(0, class_name.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, left, top, width,
                                height, nullptr, nullptr, instance, nullptr);
  if (!window) return 91;
  if (state == L"hidden") {
    Log("hidden");
  } else {
    ShowWindow(window, state == L"min" ? SW_SHOWMINIMIZED : state == L"max" ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    Log("shown");
  }
  if (state == L"hung") {
    Sleep(kHungMs);
    Log("awake");
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Log("ended");
  return static_cast<int>(message.wParam);
}
