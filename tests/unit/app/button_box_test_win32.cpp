#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/button_box.h"
#include "app/settings.h"
#include "job/profile_model.h"
#include "tests/unit/test_files.h"

namespace AppLayer {
namespace {

namespace fs = std::filesystem;
using JobLayer::JobProfileModel;
using TestFiles::Bytes;
using TestFiles::PathText;

std::string WindowText(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  std::string narrow;
  for (const wchar_t* c = text; *c != 0; ++c) narrow += static_cast<char>(*c);
  return narrow;
}

struct RunRecord {
  int32_t index;
  std::string keyState;
  std::string drop;
  std::string dropList;
  RawRect anchor;
};

// The box with its runs and its menu recorded instead of carried out.
class RecordingBox : public GuiButtonBox {
 public:
  std::vector<RunRecord> runs;
  std::vector<std::wstring> menuItems;
  POINT menuAt{};
  int32_t menuChoice = 0;

 protected:
  void RunButton(int32_t index, const RawString& keyState, const RawRect& anchor) override {
    runs.push_back({index, keyState.ToUtf8(), "", "", anchor});
  }
  void RunDrop(int32_t index, const RawString& drop, const RawString& dropList, const RawRect& anchor) override {
    runs.push_back({index, "Drop", drop.ToUtf8(), dropList.ToUtf8(), anchor});
  }
  int32_t TrackMenu(HMENU menu, POINT screen) override {
    menuItems.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t text[128] = {};
      GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
      menuItems.push_back(text);
    }
    menuAt = screen;
    return menuChoice;
  }
};

// The main window's stand-in: counts the box's relayout commands.
class HostWindow : public WinLayer::WinView {
 public:
  int relayouts = 0;
  int cancels = 0;

 protected:
  bool HandleCommand(int id, int code, HWND) override {
    if (id == kButtonBoxId && code == kCommandButtonsChanged) ++relayouts;
    if (code == WinLayer::kCommandCancel) ++cancels;
    return true;
  }
};

class ButtonBoxWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestFiles::ScratchFolder("button_box_win");
    ResetSettings();
    SetAlt(false);
  }
  void TearDown() override {
    box_.reset();
    host_.Destroy();
    SetAlt(false);
    JobProfileModel::Instance().Clear();
    // The settings are process-wide: the next suite in this process finds the defaults.
    ResetSettings();
  }
  static void ResetSettings() {
    GuiSettings& settings = GuiSettings::Instance();
    settings.horizontal = false;
    settings.viewTip = false;
    settings.buttonAlign = AlignCenter;
  }

  // Loads the profile and shows its buttons in a box at the host's top-left corner.
  void Open(const std::string& profile) {
    path_ = folder_ / "profile.ini";
    std::ofstream(path_, std::ios::binary) << profile;
    JobProfileModel::Instance().Clear();
    ASSERT_TRUE(JobProfileModel::Instance().Load(PathText(path_)));
    WinLayer::WinViewCreate create;
    create.title = L"Button box host";
    create.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    create.x = 100;
    create.y = 100;
    create.width = 400;
    create.height = 500;
    ASSERT_TRUE(host_.Create(create));
    box_ = std::make_unique<RecordingBox>();
    size_ = box_->MeasureLayout();
    ASSERT_TRUE(box_->CreateIn(host_.Handle()));
    SetFocus(box_->Handle());
  }

  // The thread's own key state, which the box reads for Alt with mouse messages.
  static void SetAlt(bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_MENU] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  }

  void Send(UINT message, WPARAM wParam, int x, int y) {
    SendMessageW(box_->Handle(), message, wParam, MAKELPARAM(x, y));
  }
  void Key(WPARAM key, bool alt = false) { SendMessageW(box_->Handle(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, 0); }
  // The centre of a button, in box coordinates.
  POINT Centre(int32_t index) const {
    const RawRect rect = ButtonRect(*JobProfileModel::Instance().buttons.At(index));
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  }
  RawRect ScreenRect(int32_t index) const {
    const RawRect rect = ButtonRect(*JobProfileModel::Instance().buttons.At(index));
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    MapWindowPoints(box_->Handle(), nullptr, corners, 2);
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  }
  std::string Names() const {
    std::string names;
    for (const JobLayer::JobButtonUnit& unit : JobProfileModel::Instance().buttons) {
      if (!names.empty()) names += ' ';
      names += unit.name.ToUtf8();
    }
    return names;
  }

  fs::path folder_;
  fs::path path_;
  HostWindow host_;
  std::unique_ptr<RecordingBox> box_;
  GuiSize size_;
};

const char kThreeButtons[] =
    "[Button:Alpha]\r\nTipText=First tip\r\n[Button:Beta]\r\nDropRun=1\r\n[Button:Gamma]\r\n"
    "[Action:Keep]\r\nShell {\r\n  Command=x.exe\r\n}\r\n";

// The screen's pixels of a rectangle in screen coordinates, 0x00RRGGBB row by row from the top.
std::vector<uint32_t> ScreenPixels(const RawRect& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<uint32_t> pixels;
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const uint32_t*>(bits);
    pixels.assign(source, source + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

bool SameRect(const RawRect& a, const RawRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST_F(ButtonBoxWinTest, ReleaseRunsTheButtonUnderTheCursor) {
  Open(kThreeButtons);
  ASSERT_EQ(size_.height, 3 * 24);
  RECT client;
  GetClientRect(box_->Handle(), &client);
  EXPECT_EQ(client.right, size_.width);
  EXPECT_EQ(client.bottom, size_.height);

  // Pressed on the first, moved to the second while held, released there.
  const POINT alpha = Centre(0), beta = Centre(1), gamma = Centre(2);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, alpha.x, alpha.y);
  EXPECT_TRUE(box_->IsPressed());
  EXPECT_EQ(box_->CurrentIndex(), 0);
  Send(WM_MOUSEMOVE, MK_LBUTTON, beta.x, beta.y);
  EXPECT_EQ(box_->CurrentIndex(), 1);
  Send(WM_LBUTTONUP, 0, beta.x, beta.y);
  EXPECT_FALSE(box_->IsPressed());
  // The right button runs with its own label.
  Send(WM_RBUTTONDOWN, MK_RBUTTON, gamma.x, gamma.y);
  Send(WM_RBUTTONUP, 0, gamma.x, gamma.y);
  // The second click of a double click runs again.
  Send(WM_LBUTTONDBLCLK, MK_LBUTTON, gamma.x, gamma.y);
  Send(WM_LBUTTONUP, 0, gamma.x, gamma.y);
  // Released outside every button: the run is asked for no button.
  Send(WM_LBUTTONDOWN, MK_LBUTTON, alpha.x, alpha.y);
  Send(WM_MOUSEMOVE, MK_LBUTTON, alpha.x, size_.height + 40);
  Send(WM_LBUTTONUP, 0, alpha.x, size_.height + 40);

  ASSERT_EQ(box_->runs.size(), 4u);
  EXPECT_EQ(box_->runs[0].index, 1);
  EXPECT_EQ(box_->runs[0].keyState, "LButton");
  EXPECT_TRUE(SameRect(box_->runs[0].anchor, ScreenRect(1)));
  EXPECT_GT(box_->runs[0].anchor.left, 100);  // screen coordinates, not the box's
  EXPECT_EQ(box_->runs[1].index, 2);
  EXPECT_EQ(box_->runs[1].keyState, "RButton");
  EXPECT_EQ(box_->runs[2].index, 2);
  EXPECT_EQ(box_->runs[2].keyState, "LButton");
  EXPECT_EQ(box_->runs[3].index, -1);
}

TEST_F(ButtonBoxWinTest, AltClickSelectsWithoutRunningAndAltRightClickOpensTheMenu) {
  Open(kThreeButtons);
  const POINT beta = Centre(1), gamma = Centre(2);
  SetAlt(true);
  Send(WM_LBUTTONDOWN, MK_LBUTTON, beta.x, beta.y);
  Send(WM_LBUTTONUP, 0, beta.x, beta.y);
  EXPECT_TRUE(box_->runs.empty());
  EXPECT_EQ(box_->CurrentIndex(), 1);
  EXPECT_TRUE(box_->InSelectionMode());
  EXPECT_TRUE(box_->menuItems.empty());

  Send(WM_RBUTTONDOWN, MK_RBUTTON, gamma.x, gamma.y);
  Send(WM_RBUTTONUP, 0, gamma.x, gamma.y);
  EXPECT_TRUE(box_->runs.empty());
  const std::vector<std::wstring> items = {L"Insert separator.", L"Delete selected buttons.", L"",
                                           L"Move up selected buttons.", L"Move down selected buttons."};
  EXPECT_EQ(box_->menuItems, items);
  POINT click = gamma;
  ClientToScreen(box_->Handle(), &click);
  EXPECT_EQ(box_->menuAt.x, click.x);
  EXPECT_EQ(box_->menuAt.y, click.y);
  EXPECT_EQ(Names(), "Alpha Beta Gamma");  // dismissed: nothing changed
}

TEST_F(ButtonBoxWinTest, KeysSelectAlongTheAxisAndRun) {
  Open("[Button:A]\r\n[Button:-]\r\n[Button:H]\r\nHidden=1\r\n[Button:B]\r\n[Button:C]\r\n");
  EXPECT_TRUE(box_->InSelectionMode());  // it has the focus
  const struct {
    WPARAM key;
    int32_t index;
  } steps[] = {{VK_HOME, 0}, {VK_DOWN, 3}, {VK_DOWN, 4}, {VK_DOWN, 4}, {VK_UP, 3},
               {VK_UP, 0},   {VK_END, 4},  {VK_PRIOR, 0}, {VK_NEXT, 4}, {VK_RIGHT, 4}};
  for (const auto& step : steps) {
    Key(step.key);
    EXPECT_EQ(box_->CurrentIndex(), step.index) << "key " << step.key;
  }
  // Across the column the arrow opened the menu below the selected button.
  EXPECT_EQ(box_->menuItems.size(), 5u);
  EXPECT_EQ(box_->menuAt.y, ScreenRect(4).bottom);
  Key(VK_RETURN);
  Key(VK_SPACE);
  ASSERT_EQ(box_->runs.size(), 2u);
  EXPECT_EQ(box_->runs[0].index, 4);
  EXPECT_EQ(box_->runs[0].keyState, "LButton");
  EXPECT_TRUE(SameRect(box_->runs[0].anchor, ScreenRect(4)));
  // Escape is the top-level window's business.
  Key(VK_ESCAPE);
  EXPECT_EQ(host_.cancels, 1);
  // Losing the focus ends selection mode.
  SetFocus(host_.Handle());
  EXPECT_FALSE(box_->InSelectionMode());
}

TEST_F(ButtonBoxWinTest, ARowMovesWithLeftAndRight) {
  GuiSettings::Instance().horizontal = true;
  Open("[Button:A]\r\n[Button:-]\r\n[Button:B]\r\n");
  EXPECT_EQ(size_.height, 24);
  Key(VK_RIGHT);
  EXPECT_EQ(box_->CurrentIndex(), 0);
  Key(VK_RIGHT);
  EXPECT_EQ(box_->CurrentIndex(), 2);
  EXPECT_TRUE(box_->menuItems.empty());
  Key(VK_DOWN);
  EXPECT_EQ(box_->menuItems.size(), 5u);
  Key(VK_LEFT, true);  // Alt+Left moves B before the separator
  EXPECT_EQ(Names(), "A B -");
  EXPECT_EQ(box_->CurrentIndex(), 1);
}

TEST_F(ButtonBoxWinTest, EditsRewriteTheProfile) {
  Open(kThreeButtons);
  Key(VK_HOME);
  Key(VK_DOWN);  // Beta
  Key(VK_DELETE);
  EXPECT_EQ(Names(), "Alpha Gamma");
  EXPECT_EQ(box_->CurrentIndex(), 1);
  EXPECT_EQ(host_.relayouts, 1);
  std::string file = Bytes(path_);
  EXPECT_EQ(file.find("[Button:Beta]"), std::string::npos);
  EXPECT_NE(file.find("[Button:Gamma]"), std::string::npos);
  EXPECT_NE(file.find("[Action:Keep]"), std::string::npos);

  // The menu's insert puts a separator before the selected button.
  box_->menuChoice = MenuInsertSeparator;
  Key(VK_RIGHT);
  EXPECT_EQ(Names(), "Alpha - Gamma");
  EXPECT_EQ(box_->CurrentIndex(), 2);
  EXPECT_EQ(host_.relayouts, 2);
  file = Bytes(path_);
  EXPECT_LT(file.find("[Button:-]"), file.find("[Button:Gamma]"));

  // Alt+Up moves: written back, drawn where it now stands, no relayout.
  Key(VK_UP, true);
  Key(VK_UP, true);
  EXPECT_EQ(Names(), "Gamma Alpha -");
  EXPECT_EQ(box_->CurrentIndex(), 0);
  EXPECT_EQ(host_.relayouts, 2);
  EXPECT_EQ(ButtonRect(*JobProfileModel::Instance().buttons.At(0)).top, 0);
  file = Bytes(path_);
  EXPECT_LT(file.find("[Button:Gamma]"), file.find("[Button:Alpha]"));

  // At the start a further move does nothing and leaves the file alone.
  fs::remove(path_);
  Key(VK_UP, true);
  EXPECT_EQ(Names(), "Gamma Alpha -");
  EXPECT_FALSE(fs::exists(path_));
  // Alt+Delete deletes too.
  Key(VK_DELETE, true);
  EXPECT_EQ(Names(), "Alpha -");
  EXPECT_EQ(host_.relayouts, 3);
}

// A drop block as the shell hands one over: DROPFILES, then the wide paths, each ended by a
// zero, and one more zero.
HGLOBAL DropBlock(const std::vector<std::wstring>& paths, POINT at) {
  size_t units = 1;
  for (const std::wstring& path : paths) units += path.size() + 1;
  HGLOBAL block = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
  auto* files = static_cast<DROPFILES*>(GlobalLock(block));
  files->pFiles = sizeof(DROPFILES);
  files->pt = at;
  files->fWide = TRUE;
  auto* text = reinterpret_cast<wchar_t*>(files + 1);
  for (const std::wstring& path : paths) {
    std::memcpy(text, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    text += path.size() + 1;
  }
  GlobalUnlock(block);
  return block;
}

TEST_F(ButtonBoxWinTest, DropRunsTheButtonUnderThePointWithTheDropList) {
  Open(kThreeButtons);
  const std::vector<std::wstring> paths = {L"C:\\a one.txt", L"C:\\b.txt", L"D:\\c\\d.log"};
  SendMessageW(box_->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropBlock(paths, Centre(1))), 0);
  SendMessageW(box_->Handle(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(DropBlock({L"C:\\x.txt"}, {5, size_.height + 30})), 0);
  ASSERT_EQ(box_->runs.size(), 2u);
  EXPECT_EQ(box_->runs[0].index, 1);
  EXPECT_EQ(box_->runs[0].drop, "C:\\a one.txt");
  EXPECT_EQ(box_->runs[0].dropList, "\"C:\\a one.txt\" \"C:\\b.txt\" \"D:\\c\\d.log\"");
  EXPECT_TRUE(SameRect(box_->runs[0].anchor, ScreenRect(1)));
  EXPECT_EQ(box_->CurrentIndex(), -1);
  EXPECT_EQ(box_->runs[1].index, -1);
  EXPECT_EQ(box_->runs[1].dropList, "\"C:\\x.txt\"");
  EXPECT_EQ(Names(), "Alpha Beta Gamma");
}

TEST_F(ButtonBoxWinTest, TipShowsOnHoverAndGoesWhenTheCursorWanders) {
  GuiSettings::Instance().viewTip = true;
  Open("[Button:Alpha]\r\nTipText=First tip\r\n[Button:-]\r\n[Button:Beta]\r\n");
  const POINT alpha = Centre(0), beta = Centre(2);
  Send(WM_MOUSEHOVER, 0, alpha.x, alpha.y);
  const HWND tip = box_->TipWindow();
  ASSERT_NE(tip, nullptr);
  EXPECT_TRUE(IsWindowVisible(tip));
  EXPECT_EQ(WindowText(tip), "First tip");
  EXPECT_NE(GetWindowThreadProcessId(tip, nullptr), GetCurrentThreadId());

  Send(WM_MOUSEMOVE, 0, alpha.x + 5, alpha.y - 5);
  EXPECT_EQ(box_->TipWindow(), tip);
  // Another hover over a button re-uses the window with the new text (the caption).
  Send(WM_MOUSEHOVER, 0, beta.x, beta.y);
  EXPECT_EQ(box_->TipWindow(), tip);
  EXPECT_EQ(WindowText(tip), "Beta");
  Send(WM_MOUSEMOVE, 0, beta.x, beta.y + 6);
  EXPECT_EQ(box_->TipWindow(), nullptr);
  EXPECT_FALSE(IsWindow(tip));

  // No tip over a separator; leaving the box closes one.
  Send(WM_MOUSEHOVER, 0, Centre(1).x, Centre(1).y);
  EXPECT_EQ(box_->TipWindow(), nullptr);
  Send(WM_MOUSEHOVER, 0, alpha.x, alpha.y);
  ASSERT_NE(box_->TipWindow(), nullptr);
  SendMessageW(box_->Handle(), WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(box_->TipWindow(), nullptr);

  // With tips off, hovering shows none.
  GuiSettings::Instance().viewTip = false;
  Send(WM_MOUSEHOVER, 0, alpha.x, alpha.y);
  EXPECT_EQ(box_->TipWindow(), nullptr);
}

// Only the part of the box that can be seen is drawn; the buttons there must still sit where
// the layout puts them. The box reaches far above its host, by a rise that is no whole number
// of buttons, and a button in view must look as the first one does with the box in place.
TEST_F(ButtonBoxWinTest, ButtonsInViewAreDrawnInPlaceWhenMostOfTheBoxIsOutOfView) {
  std::string profile;
  // Buttons that all look alike: the same caption under names of their own.
  for (int i = 0; i < 80; ++i) profile += "[Button:B" + std::to_string(i) + "]\r\nTitle=Same\r\n";
  Open(profile);
  const RawRect deep = ButtonRect(*JobProfileModel::Instance().buttons.At(40));
  ASSERT_GT(deep.bottom - deep.top, 8);
  const int rise = deep.top + 7;
  SetWindowPos(box_->Handle(), nullptr, 0, -rise, size_.width, size_.height, SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(box_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const std::vector<uint32_t> inView = ScreenPixels(ScreenRect(42));

  SetWindowPos(box_->Handle(), nullptr, 0, 0, size_.width, size_.height, SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(box_->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  const std::vector<uint32_t> first = ScreenPixels(ScreenRect(0));
  ASSERT_FALSE(first.empty());
  // A drawn button is more than its face colour: its caption shows.
  EXPECT_NE(std::count(first.begin(), first.end(), first.front()), static_cast<std::ptrdiff_t>(first.size()));
  EXPECT_EQ(inView, first);
}

}  // namespace
}  // namespace AppLayer
