#include <windows.h>

#include <string>

#include "app/screen.h"

namespace AppLayer {

namespace {

// Plain message boxes without an owner: nothing else of the launcher exists yet.
class GuiMessageBoxScreen : public GuiStartupScreen {
 public:
  void ShowWarning(const RawLayer::RawString& text) override { Show(text); }
  void ShowUsage(const RawLayer::RawString& text) override { Show(text); }

 private:
  static void Show(const RawLayer::RawString& text) {
    const std::u16string wide = text.ToWide();
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(wide.c_str()), L"Kestrel", MB_ICONWARNING | MB_OK);
  }
};

}  // namespace

std::unique_ptr<GuiStartupScreen> MakeStartupScreen() { return std::make_unique<GuiMessageBoxScreen>(); }

}  // namespace AppLayer
