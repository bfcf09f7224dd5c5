#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <string>

#include "app/font.h"
#include "app/profile_check.h"
#include "app/settings.h"
#include "app/title_menu.h"
#include "app/title_menu_execution.h"
#include "app/window_commands.h"
#include "raw/locale.h"
#include "raw/path.h"
#include "raw/profile.h"
#include "raw/rect_win32.h"
#include "raw/shell.h"
#include "raw/system_library_win32.h"
#include "raw/handle_win32.h"
#include "win/info_dialog.h"

namespace AppLayer {

using RawLayer::RawLocaleRecordList;

namespace {


// A file name shown as a menu caption: "&" stands for itself, not for the underlined key.
std::wstring FileCaption(const RawString& path) {
  const int32_t separator = path.FindLastSeparator();
  const std::wstring name = path.Sub({separator < path.Length() ? separator + 1 : 0, path.Length()}).ToWideString();
  std::wstring caption;
  for (wchar_t c : name) {
    if (c == L'&') caption += L'&';
    caption += c;
  }
  return caption;
}

bool InsertItem(HMENU menu, int position, UINT flags, UINT_PTR id, const std::wstring& caption) {
  return InsertMenuW(menu, static_cast<UINT>(position), MF_BYPOSITION | flags, id, caption.c_str()) != 0;
}



// Hands a document or folder to the shell; it shows nothing when that fails.
void OpenWithShell(const RawString& path) {
  if (path.IsEmpty()) return;
  RawLayer::RawShell shell(path);
  (void)shell.Execute(RawString(), RawString());
}

}  // namespace

GuiTMenuExecution::GuiTMenuExecution(WinLayer::WinView& window)
    : WinTMenuExecution(window), programFolder_(RawLayer::ProgramFolder()) {}

void GuiTMenuExecution::OnMenuCreated(HMENU) {
  // A new window gets its items afresh; the old menu went with the old window.
  built_ = false;
  helpMenu_ = nullptr;
  helpCount_ = 0;
}

void GuiTMenuExecution::BuildMenu(HMENU menu) {
  if (built_) return;
  built_ = true;

  RegisterTitleMenuTexts();
  RawParameterList manual;
  GuiSettings::Instance().configFile.ReadSection("Manual", manual);
  help_ = MakeHelpSet(programFolder_, RawLocaleRecordList::Instance().LanguageName(), manual);

  int position = 0;
  for (const GuiTitleMenuItem& item : kTitleMenuItems) {
    if (item.IsSeparator()) {
      InsertMenuW(menu, static_cast<UINT>(position), MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    } else if (item.id == kTitleViewHelp) {
      InsertHelpItem(menu, position, TitleMenuCaption(item));
    } else {
      InsertItem(menu, position, MF_STRING, static_cast<UINT_PTR>(item.id), TitleMenuCaption(item).ToWideString());
    }
    ++position;
  }
  (void)RawLocaleRecordList::Instance().SaveMissing();
}

void GuiTMenuExecution::InsertHelpItem(HMENU menu, int position, const RawString& caption) {
  const std::wstring text = caption.ToWideString();
  const int32_t count = help_.helpFiles.Count();
  if (count < 2) {
    InsertItem(menu, position, MF_STRING | (count == 0 ? MF_GRAYED : 0), kTitleViewHelp, text);
    return;
  }
  RawLayer::RawUniqueMenu submenu(CreatePopupMenu());
  if (!submenu) return;
  int id = kTitleHelpFirst;
  for (const RawString& file : help_.helpFiles) {
    if (!AppendMenuW(submenu.get(), MF_STRING, static_cast<UINT_PTR>(id), FileCaption(file).c_str())) return;
    ++id;
  }
  if (!InsertItem(menu, position, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(submenu.get()), text)) return;
  // The system menu owns it from now on and destroys it with the window.
  helpMenu_ = submenu.release();
  helpCount_ = count;
}

void GuiTMenuExecution::ExecuteCommand(int command) {
  switch (command) {
    case kTitleReadMe:
      OpenHelp(help_, help_.readMePath);
      return;
    case kTitleViewHelp:
      OpenHelp(help_, help_.helpFiles.IsEmpty() ? RawString() : *help_.helpFiles.First());
      return;
    case kTitleMoveToPrimaryScreen:
      MoveToPrimaryScreen();
      return;
    case kTitleOpenGuiProfile:
      OpenWithShell(GuiWindowStyle::Instance().guiProfile);
      return;
    case kTitleSelectWindowFont:
    case kTitleSelectMenuFont:
    case kTitleSelectTipFont:
      ChooseFontFor(command);
      return;
    case kTitleOpenLogFolder:
      OpenWithShell(GuiSettings::Instance().logFolder);
      return;
    case kTitleCheckProfile:
      CheckProfile();
      return;
    default:
      break;
  }
  if (helpMenu_ == nullptr || command < kTitleHelpFirst || command >= kTitleHelpFirst + helpCount_) return;
  int n = command - kTitleHelpFirst;
  for (const RawString& file : help_.helpFiles) {
    if (n-- == 0) {
      OpenHelp(help_, file);
      return;
    }
  }
}

void GuiTMenuExecution::CheckProfile() {
  GuiStartupFiles files;
  files.configFile = GuiSettings::Instance().configFile.Source();
  files.guiProfile = GuiWindowStyle::Instance().guiProfile;
  const JobLayer::JobDiagnostics report = CheckLauncherFiles(files);
  constexpr int kInformationIcon = 32516;  // the system's information icon
  WinLayer::WinInfoDialog box("Kestrel", report.Report(),
                              report.Errors() == 0 ? kInformationIcon : WinLayer::WinInfoDialog::kWarningIcon);
  box.SetScrolling(true);
  (void)box.Show(View().Handle());
}

void GuiTMenuExecution::MoveToPrimaryScreen() {
  const HWND window = View().Handle();
  RECT work{};
  RECT rect{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0) || !GetWindowRect(window, &rect)) return;
  int32_t left = 0;
  int32_t top = 0;
  CenterOnWorkArea(RawLayer::FromSystemRect(work), RawLayer::FromSystemRect(rect),
                   left, top);
  MoveWindow(window, left, top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void GuiTMenuExecution::ChooseFontFor(int command) {
  GuiWindowStyle& style = GuiWindowStyle::Instance();
  const GuiFontRecord& current = command == kTitleSelectWindowFont ? style.windowFont
                                 : command == kTitleSelectMenuFont ? style.menuFont
                                                                   : style.tipFont;
  const RawString section = command == kTitleSelectWindowFont ? RawString("WindowFont")
                            : command == kTitleSelectMenuFont ? RawString("MenuFont")
                                                              : RawString("TipFont");
  // The dialog works on a copy: it may change the structure even when it is cancelled.
  LOGFONTW font = LogFontOf(current);
  CHOOSEFONTW choose{};
  choose.lStructSize = sizeof(choose);
  choose.hwndOwner = View().Handle();
  choose.lpLogFont = &font;
  choose.Flags = CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_FORCEFONTEXIST | CF_NOVERTFONTS;
  // The font dialog's DLL is loaded the first time it is wanted, not at every start.
  static const auto chooseFont = RawLayer::SystemFunction<decltype(&ChooseFontW)>(L"comdlg32.dll", "ChooseFontW");
  if (chooseFont == nullptr || !chooseFont(&choose)) return;

  RawLayer::RawProfile profile(style.guiProfile);
  // The chooser showed the font at the window's DPI; the profile keeps it at the system's.
  GuiFontRecord chosen = FontRecordOf(font);
  chosen.height = ScalePixelsBetween(chosen.height, style.scaledDpi, ScreenDpi());
  // A font that could not be stored would come back unchanged after the restart.
  if (!profile.WriteSection(section, FontRecordSection(chosen))) return;
  PostMessageW(View().Handle(), WM_COMMAND, MAKEWPARAM(0, kCommandRestart), 0);
}

}  // namespace AppLayer
