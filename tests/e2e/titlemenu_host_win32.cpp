// A window with the launcher's title-menu hook and nothing else, for scenarios that drive the
// title menu from outside without the rest of the launcher:
//   e2e_titlemenu_host <start-up profile>
// reads [Common] of the start-up profile as the launcher does (GuiProfile, ConfigFile,
// LanguageFile, Language; by default the start-up profile itself), shows a pop-up window
// "TitleMenuHost" with a system menu, and ends when it is closed. The restart command of a chosen
// font ends it with exit code 3 after making the file "<start-up profile>.restart", so that a
// scenario sees that the restart was asked for.
#include <windows.h>

#include "app/settings.h"
#include "app/title_menu_execution.h"
#include "app/window_commands.h"
#include "raw/locale.h"
#include "raw/path.h"
#include "raw/profile.h"
#include "win/view.h"

namespace {

using RawLayer::RawString;

class HostWindow : public WinLayer::WinDialog {
 public:
  explicit HostWindow(const RawString& marker) : marker_(marker) {}

 protected:
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override {
    if (message == WM_COMMAND && HIWORD(wParam) == AppLayer::kCommandRestart) {
      const std::u16string path = marker_.ToWide();
      HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      End(3);
      result = 0;
      return true;
    }
    return false;
  }

 private:
  RawString marker_;
};

RawString CommonPath(RawLayer::RawProfile& profile, const char* key, const RawString& fallback) {
  const RawString value = profile.GetValue("Common", RawString::FromUtf8(key), fallback);
  return RawLayer::ResolvePath(value, RawLayer::ProgramFolder());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const std::u16string argument(reinterpret_cast<const char16_t*>(argv[1]));
  const RawString startup = RawLayer::ResolvePath(
      RawString::FromWide(argument.data(), static_cast<int32_t>(argument.size())).Convert(RawLayer::CodeUtf8),
      RawLayer::ProgramFolder());
  RawLayer::RawProfile profile(startup);
  const RawString language = profile.GetValue("Common", "Language", "Default");
  const RawString languageFile = CommonPath(profile, "LanguageFile", RawString());
  RawLayer::RawLocaleRecordList::Instance().SetLanguage(language, languageFile);
  if (!languageFile.IsEmpty()) RawLayer::RawLocaleRecordList::Instance().LoadLanguage();
  AppLayer::GuiWindowStyle::Instance().Load(CommonPath(profile, "GuiProfile", startup));
  AppLayer::GuiSettings::Instance().configFile.SetPath(CommonPath(profile, "ConfigFile", startup));

  RawString marker = startup;
  marker.Append(".restart");
  HostWindow window(marker);
  AppLayer::GuiTMenuExecution titleMenu(window);
  window.AttachHook(&titleMenu);
  WinLayer::WinViewCreate create;
  create.title = L"TitleMenuHost";
  create.style = WS_POPUP | WS_SYSMENU | WS_BORDER;
  create.x = 200;
  create.y = 150;
  create.width = 240;
  create.height = 160;
  return window.Run(create);
}
