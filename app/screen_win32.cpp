#include <windows.h>

#include <string>

#include "app/screen.h"
#include "win/info_dialog.h"

namespace AppLayer {

namespace {

// Writes the text to a handle of the program's output: a console takes UTF-16, a file or a pipe
// takes UTF-8. False when the handle takes nothing.
bool WriteTo(HANDLE handle, const RawLayer::RawString& text) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    const std::wstring wide = text.ToWideString();
    DWORD written = 0;
    return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
  }
  const DWORD type = GetFileType(handle);
  if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE && type != FILE_TYPE_CHAR) return false;
  const std::string utf8 = text.ToUtf8();
  DWORD written = 0;
  return WriteFile(handle, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) != 0 &&
         written == utf8.size();
}

// Plain message boxes without an owner: nothing else of the launcher exists yet.
class GuiMessageBoxScreen : public GuiStartupScreen {
 public:
  void ShowWarning(const RawLayer::RawString& text) override { Show(text); }
  void ShowUsage(const RawLayer::RawString& text) override { Show(text); }

  // Kestrel is a windows program: started from a command prompt it has no output of its own
  // unless the prompt redirected one, so it writes to the prompt's console when there is one,
  // and shows a box otherwise (started from the desktop).
  void ShowReport(const RawLayer::RawString& text) override {
    if (WriteTo(GetStdHandle(STD_OUTPUT_HANDLE), text)) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
      HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
      // The prompt has already printed its next prompt line: the report starts on a line of
      // its own.
      const bool written = WriteTo(console, RawLayer::RawString("\r\n")) && WriteTo(console, text);
      if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
      FreeConsole();
      if (written) return;
    }
    constexpr int kInformationIcon = 32516;  // the system's information icon
    WinLayer::WinInfoDialog box("Kestrel", text, kInformationIcon);
    box.SetScrolling(true);
    (void)box.Show(nullptr);
  }

 private:
  static void Show(const RawLayer::RawString& text) {
    const std::u16string wide = text.ToWide();
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), L"Kestrel", MB_ICONWARNING | MB_OK);
  }
};

}  // namespace

std::unique_ptr<GuiStartupScreen> MakeStartupScreen() { return std::make_unique<GuiMessageBoxScreen>(); }

}  // namespace AppLayer
