#include "app/main_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/settings.h"
#include "job/screen.h"

namespace {

using AppLayer::GuiMainDialog;
using AppLayer::GuiMainPane;
using AppLayer::GuiMainParts;
using AppLayer::GuiSize;
using RawLayer::RawString;

// A pane that needs a size the test sets.
class FakePane : public GuiMainPane {
 public:
  explicit FakePane(GuiSize need) : need(need) {}
  bool CreatePane(HWND parent) override {
    WinLayer::WinViewCreate create;
    create.parent = parent;
    create.width = 1;
    create.height = 1;
    return view.Create(create);
  }
  GuiSize MeasurePane() override { return need; }
  HWND PaneWindow() const override { return view.Handle(); }
  void ApplyStyle() override { ++restyled; }
  GuiSize need;
  int restyled = 0;
  WinLayer::WinView view;
};

class FakeActions : public AppLayer::GuiMainActions {
 public:
  void StartInstance(const RawString& arguments) override { started.push_back(arguments.ToUtf8()); }
  void StartIcons(HWND window) override {
    events.push_back("start icons");
    if (onShown) onShown(window);
  }
  void StopIcons() override { events.push_back("stop icons"); }
  void StoreIcons(bool dropUnused) override { events.push_back(dropUnused ? "store, drop" : "store"); }
  void ResizeIcons(int32_t size) override { events.push_back("icons " + std::to_string(size)); }
  std::function<void(HWND)> onShown;
  std::vector<std::string> events;
  std::vector<std::string> started;
};

SIZE ClientSize(HWND window) {
  RECT rect{};
  GetClientRect(window, &rect);
  return {rect.right, rect.bottom};
}

RECT ChildRect(HWND parent, HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

class MainDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("kestrel_main_dialog_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    guiProfile_ = (folder_ / "gui.ini").string();
    AppLayer::GuiWindowStyle& style = AppLayer::GuiWindowStyle::Instance();
    style.guiProfile = RawString::FromUtf8(guiProfile_);
    style.frameMargin = 2;
    style.captionHeight = 12;
    AppLayer::GuiSettings& settings = AppLayer::GuiSettings::Instance();
    settings.horizontal = false;
    settings.viewSelector = false;
    settings.topMost = false;
    settings.sysTray = false;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string ReadProfile() const {
    std::ifstream in(guiProfile_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  std::filesystem::path folder_;
  std::string guiProfile_;
};

TEST_F(MainDialogTest, SizesItselfToThePanesAndFollowsTheirChanges) {
  AppLayer::GuiSettings::Instance().viewSelector = true;
  FakePane buttons({40, 60});
  FakePane selectors({80, 100});
  FakeActions actions;
  GuiMainParts parts;
  parts.buttons = &buttons;
  parts.selectors = &selectors;
  GuiMainDialog dialog(parts, actions);
  SIZE first{}, grown{};
  RECT buttonRect{}, selectorRect{};
  actions.onShown = [&](HWND window) {
    first = ClientSize(window);
    buttonRect = ChildRect(window, buttons.PaneWindow());
    selectorRect = ChildRect(window, selectors.PaneWindow());
    buttons.need = {40, 300};
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, AppLayer::kCommandButtonsChanged), 0);
    grown = ClientSize(window);
    // Escape's cancel command never closes the launcher.
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, WinLayer::kCommandCancel), 0);
    EXPECT_TRUE(IsWindow(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
  };
  dialog.Run();
  EXPECT_EQ(first.cx, 128);
  EXPECT_EQ(first.cy, 118);
  EXPECT_EQ(buttonRect.left, 85);
  EXPECT_EQ(buttonRect.top, 15);
  EXPECT_EQ(buttonRect.bottom, 115);
  EXPECT_EQ(selectorRect.left, 3);
  EXPECT_EQ(selectorRect.right, 83);
  EXPECT_EQ(grown.cy, 318);
  const std::vector<std::string> expected = {"start icons", "stop icons", "store, drop"};
  EXPECT_EQ(actions.events, expected);
  EXPECT_EQ(JobLayer::JobDialogContext::Instance().mainWindow, nullptr);
}

TEST_F(MainDialogTest, OpensAtTheStoredPlaceAndStoresItWhenLeavingTheNormalState) {
  std::ofstream(guiProfile_, std::ios::binary)
      << "[MainDialog]\r\nWindowRect_L=100\r\nWindowRect_T=50\r\nWindowRect_R=900\r\nWindowRect_B=900\r\n";
  FakePane buttons({40, 120});
  FakeActions actions;
  GuiMainParts parts;
  parts.buttons = &buttons;
  GuiMainDialog dialog(parts, actions);
  RECT opened{};
  std::string afterMinimise;
  actions.onShown = [&](HWND window) {
    GetWindowRect(window, &opened);
    SetWindowPos(window, nullptr, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(window, SW_MINIMIZE);
    afterMinimise = ReadProfile();
    ShowWindow(window, SW_RESTORE);
    PostMessageW(window, WM_CLOSE, 0, 0);
  };
  dialog.Run();
  // The position is the stored one; the size is the content's (46 x 138).
  EXPECT_EQ(opened.left, 100);
  EXPECT_EQ(opened.top, 50);
  EXPECT_EQ(opened.right, 146);
  EXPECT_EQ(opened.bottom, 188);
  // Minimising stores the normal rectangle, not the minimised one.
  EXPECT_NE(afterMinimise.find("WindowRect_L=300"), std::string::npos) << afterMinimise;
  EXPECT_NE(afterMinimise.find("WindowRect_B=338"), std::string::npos) << afterMinimise;
}

TEST_F(MainDialogTest, RestartStoresThePlaceAndStartsAnInstanceCarryingTheProcessId) {
  AppLayer::GuiSettings::Instance().topMost = true;
  AppLayer::GuiSettings::Instance().sysTray = true;
  FakePane buttons({40, 120});
  FakeActions actions;
  GuiMainParts parts;
  parts.buttons = &buttons;
  GuiMainDialog dialog(parts, actions);
  LONG_PTR exStyle = 0;
  actions.onShown = [&](HWND window) {
    exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowPos(window, nullptr, 20, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(0, AppLayer::kCommandRestart), 0);
    // The window stays until the new instance ends this process.
    EXPECT_TRUE(IsWindow(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
  };
  dialog.Run();
  EXPECT_NE(exStyle & WS_EX_TOPMOST, 0);
  EXPECT_NE(exStyle & WS_EX_TOOLWINDOW, 0);
  ASSERT_EQ(actions.started.size(), 1u);
  EXPECT_EQ(actions.started[0].rfind("-@ " + std::to_string(GetCurrentProcessId()), 0), 0u) << actions.started[0];
  EXPECT_NE(ReadProfile().find("WindowRect_L=20"), std::string::npos);
  const std::vector<std::string> expected = {"start icons", "stop icons", "stop icons", "store, drop"};
  EXPECT_EQ(actions.events, expected);
}

// The window follows its monitor's DPI: on WM_DPICHANGED the style is derived for the new DPI,
// the panes take its fonts, the icons are asked for at the new size, the panes are laid out
// with the new margins, and the window takes the suggested rectangle. Back at 96 all is as it was.
TEST_F(MainDialogTest, FollowsTheDpiOfItsMonitor) {
  AppLayer::GuiWindowStyle& base = AppLayer::GuiWindowStyle::Base();
  base = AppLayer::GuiWindowStyle();
  base.guiProfile = RawString::FromUtf8(guiProfile_);
  const int32_t systemDpi = AppLayer::ScreenDpi();
  AppLayer::GuiWindowStyle::Instance() = base.ForDpi(systemDpi, systemDpi);
  FakePane buttons({40, 120});
  FakeActions actions;
  GuiMainParts parts;
  parts.buttons = &buttons;
  GuiMainDialog dialog(parts, actions);
  struct Row {
    int dpi;
    RECT suggested;
    int32_t captionHeight;
    LONG paneTop;  // below the frame margin and caption strip at that DPI
  };
  const std::vector<Row> rows = {
      {144, {100, 80, 169, 287}, 18, 3 + 18 + 1},
      {192, {90, 70, 182, 346}, 24, 4 + 24 + 1},
      {96, {100, 80, 146, 218}, 12, 2 + 12 + 1},
  };
  std::vector<RECT> windows;
  std::vector<RECT> panes;
  std::vector<int32_t> captions;
  actions.onShown = [&](HWND window) {
    for (const Row& row : rows) {
      RECT suggested = row.suggested;
      SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(row.dpi, row.dpi), reinterpret_cast<LPARAM>(&suggested));
      RECT rect{};
      GetWindowRect(window, &rect);
      windows.push_back(rect);
      panes.push_back(ChildRect(window, buttons.PaneWindow()));
      captions.push_back(AppLayer::GuiWindowStyle::Instance().captionHeight);
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
  };
  dialog.Run();
  ASSERT_EQ(windows.size(), rows.size());
  for (size_t n = 0; n < rows.size(); ++n) {
    SCOPED_TRACE("at " + std::to_string(rows[n].dpi));
    EXPECT_EQ(windows[n].left, rows[n].suggested.left);
    EXPECT_EQ(windows[n].top, rows[n].suggested.top);
    EXPECT_EQ(windows[n].right, rows[n].suggested.right);
    EXPECT_EQ(windows[n].bottom, rows[n].suggested.bottom);
    EXPECT_EQ(captions[n], rows[n].captionHeight);
    EXPECT_EQ(panes[n].top, rows[n].paneTop);
  }
  EXPECT_EQ(buttons.restyled, 3);
  const int32_t icon96 = AppLayer::IconSizeForDpi(AppLayer::SystemIconWidth(), systemDpi, 96);
  const std::vector<std::string> expected = {"start icons",
                                             "icons " + std::to_string(icon96 * 3 / 2),
                                             "icons " + std::to_string(icon96 * 2),
                                             "icons " + std::to_string(icon96),
                                             "stop icons",
                                             "store, drop"};
  EXPECT_EQ(actions.events, expected);
  // The stored place is the real pixels the window had.
  EXPECT_NE(ReadProfile().find("WindowRect_R=146"), std::string::npos) << ReadProfile();
  base = AppLayer::GuiWindowStyle();
}

}  // namespace
