#include "app/font.h"
#include "app/script_menu.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "app/icon_store_win32.h"
#include "app/settings.h"
#include "job/icon_cache.h"
#include "job/screen.h"
#include "raw/handle_win32.h"
#include "raw/rect_win32.h"
#include "win/view.h"

namespace AppLayer {

namespace {

using JobLayer::JobHostMenu;
using JobLayer::JobMenuHost;

constexpr int kGap = 6;            // between icon and caption
constexpr int kArrowRoom = 16;     // the system draws a sub-menu's arrow here
constexpr int kSeparatorHeight = 7;

// What one owner-drawn entry shows; the menu hands its address back as the item data.
struct EntryData {
  std::wstring caption;
  int32_t iconEntry = -1;
  bool separator = false;
  bool popup = false;
};

// Every entry of every live script menu: drawing looks an item's data up here before using it,
// so the owner-drawn entries of other menus are never mistaken for ours.
std::mutex g_entriesLock;
std::unordered_set<const EntryData*> g_entries;

const EntryData* FindEntry(ULONG_PTR data) {
  const auto* entry = reinterpret_cast<const EntryData*>(data);
  std::lock_guard<std::mutex> lock(g_entriesLock);
  return g_entries.count(entry) != 0 ? entry : nullptr;
}


class ScriptMenu : public JobHostMenu {
 public:
  explicit ScriptMenu(HMENU menu) : menu_(menu) {}
  ~ScriptMenu() override {
    // Sub-menus have owners of their own: take every entry out so that only this menu is freed.
    for (int at = GetMenuItemCount(menu_.get()) - 1; at >= 0; --at) {
      RemoveMenu(menu_.get(), static_cast<UINT>(at), MF_BYPOSITION);
    }
    std::lock_guard<std::mutex> lock(g_entriesLock);
    for (const std::unique_ptr<EntryData>& entry : entries_) g_entries.erase(entry.get());
  }
  ScriptMenu(const ScriptMenu&) = delete;
  ScriptMenu& operator=(const ScriptMenu&) = delete;

  HMENU Handle() const { return menu_.get(); }

  // Appends an owner-drawn entry; the data is kept only when the menu took the entry.
  bool Append(UINT flags, UINT_PTR id, std::unique_ptr<EntryData> entry) {
    {
      std::lock_guard<std::mutex> lock(g_entriesLock);
      g_entries.insert(entry.get());
    }
    if (!AppendMenuW(menu_.get(), flags | MF_OWNERDRAW, id, reinterpret_cast<LPCWSTR>(entry.get()))) {
      std::lock_guard<std::mutex> lock(g_entriesLock);
      g_entries.erase(entry.get());
      return false;
    }
    entries_.push_back(std::move(entry));
    return true;
  }

 private:
  RawLayer::RawUniqueMenu menu_;
  std::vector<std::unique_ptr<EntryData>> entries_;
};

// A hidden window to own the menus of runs that happen while there is no main window (the
// "#Initialize" action, command-line runs). It stands in for the main window as the icon
// control's owner while its menu is open: the icons still loading are extracted then, the open
// menu is repainted when they are done, and the icon cache is stored.
class MenuOwnerWindow : public WinLayer::WinView {
 public:
  MenuOwnerWindow() = default;
  MenuOwnerWindow(const MenuOwnerWindow&) = delete;
  MenuOwnerWindow& operator=(const MenuOwnerWindow&) = delete;
  ~MenuOwnerWindow() override { StopIcons(); }

  // Becomes the icon control's owner and starts its worker when icons are still loading.
  void StartIcons() {
    JobLayer::JobIconControl& control = JobLayer::JobIconControl::Instance();
    if (!control.WorkPending()) return;
    notice_ = std::make_unique<GuiIconNotice>(Handle(), 0);
    control.SetOwner(notice_.get());
    // Asked again now that the owner is set: the menu's own request may have been reached
    // while nobody was there to be told.
    control.AddNotification(JobLayer::IconNotifyMenu);
    workerStarted_ = control.StartWorker(THREAD_PRIORITY_IDLE);
  }

 protected:
  bool HandleCommand(int id, int code, HWND control) override {
    (void)id;
    (void)control;
    if (code != static_cast<int>(JobLayer::kIconNotifyButtonsCode) &&
        code != static_cast<int>(JobLayer::kIconNotifyMenuCode)) {
      return false;
    }
    RepaintOpenScriptMenu();
    // Kept for the next start, as the main window keeps them.
    if (GuiSettings::Instance().iconCache) (void)JobLayer::JobIconControl::Instance().SaveCache();
    return true;
  }

 private:
  void StopIcons() {
    if (!notice_) return;
    JobLayer::JobIconControl& control = JobLayer::JobIconControl::Instance();
    if (workerStarted_) control.StopWorker();
    control.SetOwner(nullptr);
    notice_.reset();
  }

  std::unique_ptr<GuiIconNotice> notice_;
  bool workerStarted_ = false;
};

class DrawingHook : public WinLayer::WinViewHook {
 public:
  bool HookMessage(WinLayer::WinView& view, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    (void)view;
    (void)wParam;
    if (message == WM_MEASUREITEM) {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item.CtlType == ODT_MENU && MeasureScriptMenuItem(item)) {
        result = TRUE;
        return true;
      }
    } else if (message == WM_DRAWITEM) {
      auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (item.CtlType == ODT_MENU && DrawScriptMenuItem(item)) {
        result = TRUE;
        return true;
      }
    }
    return false;
  }
};

class WindowsMenuHost : public JobMenuHost {
 public:
  std::unique_ptr<JobHostMenu> CreatePopup() override {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return nullptr;
    return std::make_unique<ScriptMenu>(menu);
  }

  bool AppendItem(JobHostMenu& menu, int32_t id, const RawString& caption, int32_t iconEntry) override {
    // A menu's identifiers travel in 16 bits of a command; the run's counter never gets there in
    // practice, and an entry that could not be told apart is refused rather than misrouted.
    if (id <= 0 || id > 0xFFFF) return false;
    auto entry = std::make_unique<EntryData>();
    entry->caption = caption.ToWideString();
    entry->iconEntry = iconEntry;
    return static_cast<ScriptMenu&>(menu).Append(MF_STRING, static_cast<UINT_PTR>(id), std::move(entry));
  }

  bool AppendSubMenu(JobHostMenu& menu, JobHostMenu& sub, const RawString& caption, int32_t iconEntry) override {
    auto entry = std::make_unique<EntryData>();
    entry->caption = caption.ToWideString();
    entry->iconEntry = iconEntry;
    entry->popup = true;
    return static_cast<ScriptMenu&>(menu).Append(
        MF_POPUP, reinterpret_cast<UINT_PTR>(static_cast<ScriptMenu&>(sub).Handle()), std::move(entry));
  }

  bool AppendSeparator(JobHostMenu& menu) override {
    auto entry = std::make_unique<EntryData>();
    entry->separator = true;
    return static_cast<ScriptMenu&>(menu).Append(MF_SEPARATOR, 0, std::move(entry));
  }

  int32_t Track(JobHostMenu& menu) override {
    JobLayer::JobDialogContext& context = JobLayer::JobDialogContext::Instance();
    HWND owner = static_cast<HWND>(context.mainWindow);
    MenuOwnerWindow ownWindow;
    if (owner == nullptr) {
      WinLayer::WinViewCreate create;
      create.style = WS_POPUP;
      create.title = L"Kestrel";
      if (!ownWindow.Create(create)) return kNoChoice;
      ownWindow.AttachHook(&ScriptMenuDrawingHook());
      owner = ownWindow.Handle();
      ownWindow.StartIcons();
    }
    const RawLayer::RawRect& anchor = context.anchor;
    const bool anchored = anchor.right > anchor.left && anchor.bottom > anchor.top;
    POINT at{};
    TPMPARAMS exclude{};
    exclude.cbSize = sizeof(exclude);
    if (anchored) {
      // Below the button, or above it when the screen ends there; never over it.
      at = POINT{anchor.left, anchor.bottom};
      exclude.rcExclude = RawLayer::ToSystemRect(anchor);
    } else {
      GetCursorPos(&at);
    }
    // The menu closes when the user clicks elsewhere only if its owner is in the foreground.
    SetForegroundWindow(owner);
    const BOOL chosen =
        TrackPopupMenuEx(static_cast<ScriptMenu&>(menu).Handle(),
                         TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_VERTICAL, at.x, at.y,
                         owner, anchored ? &exclude : nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
    return chosen > 0 ? static_cast<int32_t>(chosen) : kNoChoice;
  }
};

// The menu font of the window style, made once and again whenever the style's record changes.
HFONT MenuFont() {
  static GuiFontRecord made;
  static RawLayer::RawUniqueFont font;
  const GuiFontRecord& record = GuiWindowStyle::Instance().menuFont;
  if (font && record == made) return font.get();
  font = CreateFontOf(record);
  made = record;
  return font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

BOOL CALLBACK InvalidateOwnMenuWindow(HWND window, LPARAM) {
  wchar_t name[16] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameW(window, name, 16) > 0 &&
      std::wcscmp(name, L"#32768") == 0) {
    InvalidateRect(window, nullptr, TRUE);
  }
  return TRUE;
}

int MenuIconSize() { return std::clamp(GuiWindowStyle::Instance().menuIconSize, 0, 256); }

// The item margin around the icon and after the caption: the window style's frame margin.
int MenuPad() { return std::clamp(GuiWindowStyle::Instance().frameMargin, 0, 64); }

}  // namespace

JobLayer::JobMenuHost& GuiScriptMenuHost() {
  static WindowsMenuHost host;
  return host;
}

HMENU ScriptMenuHandle(JobLayer::JobHostMenu& menu) { return static_cast<ScriptMenu&>(menu).Handle(); }

WinLayer::WinViewHook& ScriptMenuDrawingHook() {
  static DrawingHook hook;
  return hook;
}

bool MeasureScriptMenuItem(MEASUREITEMSTRUCT& item) {
  if (item.CtlType != ODT_MENU) return false;
  const EntryData* entry = FindEntry(item.itemData);
  if (entry == nullptr) return false;
  if (entry->separator) {
    item.itemWidth = 1;
    item.itemHeight = kSeparatorHeight;
    return true;
  }
  SIZE text{};
  {
    RawLayer::RawWindowDc screen(nullptr);
    RawLayer::RawSelection font(screen.get(), MenuFont());
    // An empty caption still takes a line's height.
    const std::wstring& caption = entry->caption.empty() ? std::wstring(L" ") : entry->caption;
    GetTextExtentPoint32W(screen.get(), caption.c_str(), static_cast<int>(caption.size()), &text);
  }
  const int icon = MenuIconSize();
  const int pad = MenuPad();
  item.itemWidth = static_cast<UINT>(pad + icon + kGap + text.cx + pad + (entry->popup ? kArrowRoom : 0));
  item.itemHeight = static_cast<UINT>(std::max<int>(icon, text.cy) + 2 * pad);
  return true;
}

bool DrawScriptMenuItem(DRAWITEMSTRUCT& item) {
  if (item.CtlType != ODT_MENU) return false;
  const EntryData* entry = FindEntry(item.itemData);
  if (entry == nullptr) return false;
  HDC dc = item.hDC;
  const RECT area = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0 && !entry->separator;
  const int pad = MenuPad();
  FillRect(dc, &area, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
  if (entry->separator) {
    const int middle = (area.top + area.bottom) / 2;
    RECT shadow{area.left + pad, middle - 1, area.right - pad, middle};
    RECT light{area.left + pad, middle, area.right - pad, middle + 1};
    FillRect(dc, &shadow, GetSysColorBrush(COLOR_3DSHADOW));
    FillRect(dc, &light, GetSysColorBrush(COLOR_3DHILIGHT));
    return true;
  }
  const int icon = MenuIconSize();
  if (entry->iconEntry >= 0 && icon > 0) {
    const int top = area.top + (area.bottom - area.top - icon) / 2;
    const RECT target{area.left + pad, top, area.left + pad + icon, top + icon};
    DrawIconEntry(entry->iconEntry, dc, target);
  }
  RECT text{area.left + pad + icon + kGap, area.top, area.right - pad, area.bottom};
  const bool disabled = (item.itemState & (ODS_DISABLED | ODS_GRAYED)) != 0;
  RawLayer::RawSelection font(dc, MenuFont());
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColor =
      SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT));
  DrawTextW(dc, entry->caption.c_str(), static_cast<int>(entry->caption.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX | DT_END_ELLIPSIS);
  SetTextColor(dc, oldColor);
  SetBkMode(dc, oldMode);
  return true;
}

void RepaintOpenScriptMenu() { EnumWindows(&InvalidateOwnMenuWindow, 0); }

}  // namespace AppLayer
