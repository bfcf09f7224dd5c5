#include "app/main_window.h"

#include <windows.h>

#include "app/button_box.h"
#include "app/hotkey_hook.h"
#include "app/icon_store_win32.h"
#include "app/main_dialog.h"
#include "app/reload_hook.h"
#include "app/script_menu.h"
#include "app/selector_box_win32.h"
#include "app/settings.h"
#include "app/title_menu_execution.h"
#include "job/icon_cache.h"
#include "raw/locale.h"
#include "raw/shell.h"

#include <memory>

namespace AppLayer {

namespace {

class ButtonPane : public GuiMainPane {
 public:
  bool CreatePane(HWND parent) override { return box_.CreateIn(parent); }
  GuiSize MeasurePane() override { return box_.MeasureLayout(); }
  HWND PaneWindow() const override { return box_.Handle(); }
  void ApplyStyle() override { box_.ApplyStyle(); }

 private:
  GuiButtonBox box_;
};

class SelectorPane : public GuiMainPane {
 public:
  bool CreatePane(HWND parent) override { return box_.CreateIn(parent); }
  GuiSize MeasurePane() override { return box_.NeededSize(); }
  HWND PaneWindow() const override { return box_.Handle(); }
  void ApplyStyle() override { box_.ApplyStyle(); }

 private:
  GuiSelectorBox box_;
};

class WindowActions : public GuiMainActions {
 public:
  void StartInstance(const RawString& arguments) override {
    RawLayer::RawShell shell(GuiProgramPlace::OfThisProgram().programPath);
    (void)shell.Execute(arguments, RawString::Empty());
  }
  void StartIcons(HWND window) override {
    JobLayer::JobIconControl& control = JobLayer::JobIconControl::Instance();
    notice_ = std::make_unique<GuiIconNotice>(window, 0);
    control.SetOwner(notice_.get());
    if (!GuiSettings::Instance().iconDelay) return;
    control.RequestLoad();
    (void)control.StartWorker(THREAD_PRIORITY_IDLE);
  }
  void StopIcons() override { JobLayer::JobIconControl::Instance().StopWorker(); }
  void ResizeIcons(int32_t size) override {
    JobLayer::JobIconControl& control = JobLayer::JobIconControl::Instance();
    if (!control.ChangeSize(size, size)) return;
    // Without background loading the icons of the new size are extracted now; the worker
    // otherwise does it and tells the window when they are done.
    if (GuiSettings::Instance().iconDelay) return;
    while (control.WorkOnce()) {
    }
  }
  void StoreIcons(bool dropUnused) override {
    if (!GuiSettings::Instance().iconCache) return;
    JobLayer::JobIconControl& control = JobLayer::JobIconControl::Instance();
    if (dropUnused) control.DropUnused();
    (void)control.SaveCache();
  }

 private:
  std::unique_ptr<GuiIconNotice> notice_;
};

}  // namespace

// The icon control with the settings' cache, delay and extensions, and the cache loaded.
void GuiIcons::Prepare() {
  const GuiSettings& settings = GuiSettings::Instance();
  JobLayer::JobIconSettings icons;
  icons.cache = settings.iconCache;
  icons.delay = settings.iconDelay;
  icons.cacheFolder = settings.iconCacheSubfolder;
  icons.unusedCount = settings.iconUnusedCount;
  icons.extensions = settings.iconExtensions;
  icons.iconWidth = icons.iconHeight = GuiWindowStyle::Instance().baseIconSize;
  JobLayer::JobIconControl& control = JobLayer::JobIconControl::Instance();
  if (control.Open(icons, GuiIconStore::Instance()) && icons.cache) (void)control.LoadCache();
}

void GuiMainWindow::Run() {
  ButtonPane buttons;
  SelectorPane selectors;
  WindowActions actions;
  GuiMainParts parts;
  parts.buttons = &buttons;
  parts.selectors = &selectors;
  GuiHotKeys hotKeys;
  const RawString launcherProfile = GuiSettings::Instance().configFile.Source();
  GuiReloadWatch reload({launcherProfile, GuiWindowStyle::Instance().guiProfile,
                         RawLayer::RawLocaleRecordList::Instance().LanguageFile()},
                        launcherProfile);
  parts.hooks = {&hotKeys, &reload};
  {
    GuiMainDialog dialog(parts, actions);
    GuiTMenuExecution titleMenu(dialog);
    dialog.AttachHook(&titleMenu);
    // Owner-drawn entries of the menus that scripts show are drawn by the script menus.
    dialog.AttachHook(&ScriptMenuDrawingHook());
    (void)dialog.Run();
  }
  JobLayer::JobIconControl::Instance().StopWorker();
}

}  // namespace AppLayer
