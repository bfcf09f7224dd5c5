// The Windows menu host: real pop-up menus opened and answered with keys posted to the menu
// window, as a user at the keyboard would, and the owner-drawn entries measured and drawn.
#include "app/script_menu.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/icon_store_win32.h"
#include "app/settings.h"
#include "job/icon_cache.h"
#include "job/screen.h"

namespace AppLayer {
namespace {

using JobLayer::JobHostMenu;
using JobLayer::JobMenuHost;

constexpr char kShell32[] = "C:\\windows\\system32\\shell32.dll";

struct MenuWindows {
  std::vector<HWND> found;
};

BOOL CALLBACK CollectMenuWindow(HWND window, LPARAM data) {
  wchar_t name[16] = {};
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && GetClassNameW(window, name, 16) > 0 &&
      std::wstring(name) == L"#32768") {
    reinterpret_cast<MenuWindows*>(data)->found.push_back(window);
  }
  return TRUE;
}

std::vector<HWND> OpenMenuWindows() {
  MenuWindows windows;
  EnumWindows(&CollectMenuWindow, reinterpret_cast<LPARAM>(&windows));
  return windows.found;
}

// Waits (polling, bounded) until this process shows `count` menu windows.
bool WaitForMenus(size_t count, std::vector<HWND>& windows) {
  for (int polls = 0; polls < 500; ++polls) {
    windows = OpenMenuWindows();
    if (windows.size() >= count) return true;
    Sleep(20);
  }
  return false;
}

// A user at the keyboard, on a thread of its own while the test's thread tracks the menu:
// "2" waits for a second menu level; any other step is a virtual key posted to the menu.
class KeyboardUser {
 public:
  explicit KeyboardUser(std::vector<std::string> steps)
      : thread_([this, steps] { Act(steps); }) {}
  ~KeyboardUser() { thread_.join(); }
  KeyboardUser(const KeyboardUser&) = delete;
  KeyboardUser& operator=(const KeyboardUser&) = delete;

  std::atomic<bool> sawMenu{false};
  RECT firstRect{};

 private:
  void Act(const std::vector<std::string>& steps) {
    std::vector<HWND> windows;
    if (!WaitForMenus(1, windows)) return;
    GetWindowRect(windows.front(), &firstRect);
    sawMenu = true;
    for (const std::string& step : steps) {
      if (step == "2") {
        if (!WaitForMenus(2, windows)) return;
        continue;
      }
      const WPARAM key = step == "down" ? VK_DOWN : step == "right" ? VK_RIGHT : step == "enter" ? VK_RETURN : VK_ESCAPE;
      const std::vector<HWND> open = OpenMenuWindows();
      if (open.empty()) return;
      PostMessageW(open.back(), WM_KEYDOWN, key, 0);
      PostMessageW(open.back(), WM_KEYUP, key, static_cast<LPARAM>(0xC0000000u));
    }
  }

  std::thread thread_;
};

class ScriptMenuWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    JobLayer::JobDialogContext::Instance().mainWindow = nullptr;
    JobLayer::JobDialogContext::Instance().anchor = RawLayer::RawRect{};
    top_ = host_.CreatePopup();
    sub_ = host_.CreatePopup();
    ASSERT_TRUE(top_ && sub_);
    // A(7) | line | Sub > X(9) | C(11)
    ASSERT_TRUE(host_.AppendItem(*sub_, 9, "X", -1));
    ASSERT_TRUE(host_.AppendItem(*top_, 7, "Alpha", -1));
    ASSERT_TRUE(host_.AppendSeparator(*top_));
    ASSERT_TRUE(host_.AppendSubMenu(*top_, *sub_, "Sub", -1));
    ASSERT_TRUE(host_.AppendItem(*top_, 11, "C", -1));
  }
  void TearDown() override { JobLayer::JobDialogContext::Instance().anchor = RawLayer::RawRect{}; }

  JobMenuHost& host_ = GuiScriptMenuHost();
  std::unique_ptr<JobHostMenu> top_;
  std::unique_ptr<JobHostMenu> sub_;
};

TEST_F(ScriptMenuWinTest, TrackGivesTheChosenItemOrNothing) {
  struct Row {
    const char* name;
    std::vector<std::string> steps;
    int32_t chosen;
  } rows[] = {
      {"first item", {"down", "enter"}, 7},
      {"the separator is skipped", {"down", "down", "down", "enter"}, 11},
      {"item of the sub-menu", {"down", "down", "right", "2", "down", "enter"}, 9},
      {"closed", {"escape"}, JobMenuHost::kNoChoice},
  };
  for (const Row& row : rows) {
    int32_t chosen = -1;
    {
      KeyboardUser user(row.steps);
      chosen = host_.Track(*top_);
    }
    EXPECT_EQ(chosen, row.chosen) << row.name;
    EXPECT_TRUE(OpenMenuWindows().empty()) << row.name;
  }
}

TEST_F(ScriptMenuWinTest, AMenuOpensBelowTheRunsAnchor) {
  JobLayer::JobDialogContext::Instance().anchor = RawLayer::RawRect{200, 150, 300, 180};
  KeyboardUser user({"escape"});
  EXPECT_EQ(host_.Track(*top_), JobMenuHost::kNoChoice);
  ASSERT_TRUE(user.sawMenu);
  EXPECT_EQ(user.firstRect.left, 200);
  EXPECT_EQ(user.firstRect.top, 180);
}

TEST_F(ScriptMenuWinTest, EntriesAreOwnerDrawnAndSubMenusOutliveTheirParents) {
  HMENU menu = ScriptMenuHandle(*top_);
  ASSERT_EQ(GetMenuItemCount(menu), 4);
  const UINT types[] = {MFT_OWNERDRAW, MFT_OWNERDRAW | MFT_SEPARATOR, MFT_OWNERDRAW, MFT_OWNERDRAW};
  for (UINT at = 0; at < 4; ++at) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_SUBMENU;
    ASSERT_TRUE(GetMenuItemInfoW(menu, at, TRUE, &info));
    EXPECT_EQ(info.fType & (MFT_OWNERDRAW | MFT_SEPARATOR), types[at]) << at;
    EXPECT_EQ(info.hSubMenu, at == 2 ? ScriptMenuHandle(*sub_) : nullptr) << at;
  }
  // The same sub-menu in a second menu; freeing both parents leaves it whole.
  std::unique_ptr<JobHostMenu> other = host_.CreatePopup();
  ASSERT_TRUE(host_.AppendSubMenu(*other, *sub_, "Again", -1));
  HMENU subMenu = ScriptMenuHandle(*sub_);
  top_.reset();
  other.reset();
  EXPECT_TRUE(IsMenu(subMenu));
  EXPECT_EQ(GetMenuItemCount(subMenu), 1);
  sub_.reset();
  EXPECT_FALSE(IsMenu(subMenu));
}

// A 32-bit picture to draw entries into, filled with one colour.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
    screen_ = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen_);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&pixels_), nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    const uint32_t value = Pixel(fill);
    std::fill(pixels_, pixels_ + width * height, value);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
    ReleaseDC(nullptr, screen_);
  }
  static uint32_t Pixel(COLORREF color) {
    return (static_cast<uint32_t>(GetRValue(color)) << 16) | (static_cast<uint32_t>(GetGValue(color)) << 8) |
           GetBValue(color);
  }
  HDC Dc() const { return dc_; }
  uint32_t At(int x, int y) const {
    GdiFlush();
    return pixels_[y * width_ + x] & 0xFFFFFFu;
  }
  // Pixels of the rectangle that differ from `color`.
  int CountOther(const RECT& area, COLORREF color) const {
    GdiFlush();
    int count = 0;
    for (int y = area.top; y < area.bottom && y < height_; ++y) {
      for (int x = area.left; x < area.right && x < width_; ++x) count += At(x, y) != Pixel(color) ? 1 : 0;
    }
    return count;
  }

 private:
  int width_;
  int height_;
  HDC screen_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
  uint32_t* pixels_ = nullptr;
};

ULONG_PTR ItemData(HMENU menu, UINT at) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_DATA;
  return GetMenuItemInfoW(menu, at, TRUE, &info) ? info.dwItemData : 0;
}

TEST_F(ScriptMenuWinTest, OwnEntriesAreMeasuredAndDrawnOthersAreLeftAlone) {
  // An icon from the cache, extracted at once.
  JobLayer::JobIconSettings settings;
  settings.delay = false;
  settings.cache = false;
  settings.iconWidth = settings.iconHeight = 32;
  ASSERT_TRUE(JobLayer::JobIconControl::Instance().Open(settings, GuiIconStore::Instance()));
  const int32_t icon = JobLayer::JobIconControl::Instance().GetEntry(kShell32, 3);
  std::unique_ptr<JobHostMenu> menu = host_.CreatePopup();
  ASSERT_TRUE(host_.AppendItem(*menu, 1, "With icon", icon));
  ASSERT_TRUE(host_.AppendSeparator(*menu));
  ASSERT_TRUE(host_.AppendSubMenu(*menu, *sub_, "Sub", -1));
  HMENU handle = ScriptMenuHandle(*menu);
  const int iconSize = GuiWindowStyle::Instance().menuIconSize;

  MEASUREITEMSTRUCT measure{};
  measure.CtlType = ODT_MENU;
  measure.itemData = ItemData(handle, 0);
  ASSERT_TRUE(MeasureScriptMenuItem(measure));
  EXPECT_GE(static_cast<int>(measure.itemHeight), iconSize);
  EXPECT_GT(static_cast<int>(measure.itemWidth), iconSize + 20);
  const UINT itemWidth = measure.itemWidth;
  {
    // The item margin is the window style's frame margin, on every side.
    GuiWindowStyle& style = GuiWindowStyle::Instance();
    const int32_t frameMargin = style.frameMargin;
    MEASUREITEMSTRUCT wider = measure;
    style.frameMargin = frameMargin + 5;
    ASSERT_TRUE(MeasureScriptMenuItem(wider));
    style.frameMargin = frameMargin;
    EXPECT_EQ(wider.itemHeight, measure.itemHeight + 10);
    EXPECT_EQ(wider.itemWidth, measure.itemWidth + 10);
  }
  measure.itemData = ItemData(handle, 2);
  ASSERT_TRUE(MeasureScriptMenuItem(measure));
  EXPECT_GT(measure.itemWidth, 0u);
  measure.itemData = ItemData(handle, 1);
  ASSERT_TRUE(MeasureScriptMenuItem(measure));
  EXPECT_LT(measure.itemHeight, static_cast<UINT>(iconSize));
  // Item data that is not a script menu's entry, or not a menu at all.
  int foreign = 0;
  measure.itemData = reinterpret_cast<ULONG_PTR>(&foreign);
  EXPECT_FALSE(MeasureScriptMenuItem(measure));
  measure.CtlType = ODT_BUTTON;
  measure.itemData = ItemData(handle, 0);
  EXPECT_FALSE(MeasureScriptMenuItem(measure));

  const int width = static_cast<int>(itemWidth) + 10;
  const int height = iconSize + 10;
  const COLORREF menuColor = GetSysColor(COLOR_MENU);
  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_MENU;
  draw.rcItem = RECT{0, 0, width, height};
  {
    // The icon on the left, the caption after it.
    Canvas canvas(width, height, RGB(1, 2, 3));
    draw.hDC = canvas.Dc();
    draw.itemData = ItemData(handle, 0);
    ASSERT_TRUE(DrawScriptMenuItem(draw));
    EXPECT_GT(canvas.CountOther(RECT{0, 0, iconSize + 6, height}, menuColor), iconSize * iconSize / 4);
    EXPECT_GT(canvas.CountOther(RECT{iconSize + 8, 0, width, height}, menuColor), 10);
    EXPECT_EQ(canvas.CountOther(RECT{0, 0, width, height}, RGB(1, 2, 3)), width * height);
  }
  {
    Canvas canvas(width, height, RGB(1, 2, 3));
    draw.hDC = canvas.Dc();
    draw.itemState = ODS_SELECTED;
    ASSERT_TRUE(DrawScriptMenuItem(draw));
    EXPECT_EQ(canvas.At(width - 1, 0), Canvas::Pixel(GetSysColor(COLOR_HIGHLIGHT)));
    draw.itemState = 0;
  }
  {
    // A separator is a line across the middle.
    Canvas canvas(width, 7, RGB(1, 2, 3));
    draw.hDC = canvas.Dc();
    draw.rcItem = RECT{0, 0, width, 7};
    draw.itemData = ItemData(handle, 1);
    ASSERT_TRUE(DrawScriptMenuItem(draw));
    EXPECT_EQ(canvas.At(width / 2, 2), Canvas::Pixel(GetSysColor(COLOR_3DSHADOW)));
    EXPECT_EQ(canvas.At(width / 2, 0), Canvas::Pixel(menuColor));
  }
  {
    Canvas canvas(width, height, RGB(1, 2, 3));
    draw.hDC = canvas.Dc();
    draw.itemData = reinterpret_cast<ULONG_PTR>(&foreign);
    EXPECT_FALSE(DrawScriptMenuItem(draw));
    EXPECT_EQ(canvas.CountOther(RECT{0, 0, width, height}, RGB(1, 2, 3)), 0);
  }
  const ULONG_PTR freed = ItemData(handle, 0);
  menu.reset();
  // The entries of a freed menu are no longer taken for ours.
  measure.CtlType = ODT_MENU;
  measure.itemData = freed;
  EXPECT_FALSE(MeasureScriptMenuItem(measure));
}

}  // namespace
}  // namespace AppLayer
