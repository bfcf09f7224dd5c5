#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/selector_box_win32.h"
#include "app/settings.h"
#include "job/variable.h"
#include "tests/unit/test_files.h"

namespace AppLayer {
namespace {

namespace fs = std::filesystem;
using JobLayer::JobProfileModel;
using JobLayer::JobVariableList;

constexpr char kProfile[] =
    "[Common]\r\nProgram=Kestrel\r\n"
    "[Selector:one]\r\nDefine {\r\n  Seen=one $(KeyState)\r\n}\r\n"
    "[Selector:-]\r\n"
    "[Selector:Two]\r\nTitle=Second\r\nDefine {\r\n  Seen=two $(KeyState)\r\n}\r\n"
    "[Button:Go]\r\nTitle=Go\r\n"
    "[Selector:three]\r\nDefine {\r\n  Seen=three $(KeyState)\r\n}\r\n";

// The main window's part: hears the box's commands.
class Owner : public WinLayer::WinView {
 public:
  std::vector<std::string> heard;

 protected:
  bool HandleCommand(int id, int code, HWND control) override {
    heard.push_back(std::to_string(id) + ":" + std::to_string(code) + (control != nullptr ? "+window" : ""));
    return true;
  }
};

class TestSelectorBox : public GuiSelectorBox {
 public:
  using GuiSelectorBox::BuildMenu;
  using GuiSelectorBox::ExecuteMenuCommand;
};

// A drop as the shell hands it over: wide paths and the point in the box's client area.
HDROP MakeDrop(const std::vector<std::wstring>& paths, POINT point) {
  size_t units = 1;
  for (const std::wstring& path : paths) units += path.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = point;
  drop->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES));
  for (const std::wstring& path : paths) {
    out = std::copy(path.begin(), path.end(), out);
    *out++ = L'\0';
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

class SelectorBoxWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path folder = TestFiles::ScratchFolder("selector_box_win");
    path_ = folder / "profile.ini";
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << kProfile;
    model().Clear();
    const std::u8string text = path_.u8string();
    ASSERT_TRUE(model().Load(RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()})));
    JobVariableList::Instance().Set("Seen", "");
    GuiWindowStyle::Instance().selectorSeparator = 9;

    WinLayer::WinViewCreate frame;
    frame.style = WS_POPUP | WS_VISIBLE;
    frame.x = 20;
    frame.y = 20;
    frame.width = 300;
    frame.height = 300;
    ASSERT_TRUE(owner_.Create(frame));
    ASSERT_TRUE(box_.CreateIn(owner_.Handle()));
    const GuiSize size = box_.NeededSize();
    MoveWindow(box_.Handle(), 4, 4, size.width, size.height, FALSE);
  }
  void TearDown() override {
    BYTE keys[256] = {};
    SetKeyboardState(keys);
    box_.Destroy();
    owner_.Destroy();
    model().Clear();
  }

  static JobProfileModel& model() { return JobProfileModel::Instance(); }
  // The runs since the last look: each script sets "Seen", which is emptied after each action.
  std::string Runs() {
    const std::string seen = JobLayer::ExpandVariables("$(Seen)", JobLayer::JobTraceId::User()).text.ToUtf8();
    if (!seen.empty()) runs_ += "|" + seen;
    JobVariableList::Instance().Set("Seen", "");
    return runs_;
  }

  POINT Middle(int32_t index) const {
    RECT rect{};
    EXPECT_TRUE(box_.LineRect(index, rect));
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  }
  void Mouse(UINT message, int32_t index, WPARAM keys = 0) {
    const POINT point = Middle(index);
    SendMessageW(box_.Handle(), message, keys, MAKELPARAM(point.x, point.y));
  }
  void Click(int32_t index, WPARAM keys = 0) {
    Mouse(WM_LBUTTONDOWN, index, keys);
    Mouse(WM_LBUTTONUP, index, keys);
  }
  void Key(WPARAM key, UINT message = WM_KEYDOWN) { SendMessageW(box_.Handle(), message, key, 0); }
  std::string Saved() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  // The selector headers of the saved profile, in file order.
  std::string SavedOrder() const {
    const std::string saved = Saved();
    std::string order;
    for (size_t at = saved.find("[Selector:"); at != std::string::npos; at = saved.find("[Selector:", at + 1)) {
      const size_t end = saved.find(']', at);
      order += (order.empty() ? "" : " ") + saved.substr(at + 10, end - at - 10);
    }
    return order;
  }
  std::string Resized() const { return std::to_string(kSelectorBoxId) + ":" + std::to_string(kCommandSelectorResized); }

  fs::path path_;
  std::string runs_;
  Owner owner_;
  TestSelectorBox box_;
};

TEST_F(SelectorBoxWinTest, ClicksAndKeysRunTheCurrentSelector) {
  Click(0);
  EXPECT_EQ(Runs(), "|one LButton");
  Mouse(WM_LBUTTONDBLCLK, 0);
  EXPECT_EQ(Runs(), "|one LButton|one DClick");
  Mouse(WM_LBUTTONUP, 0);
  // Each newly current line runs; the separator's selector has no script.
  Key(VK_DOWN);
  EXPECT_EQ(Runs(), "|one LButton|one DClick");
  Key(VK_DOWN);
  EXPECT_EQ(Runs(), "|one LButton|one DClick|two LButton");
  EXPECT_EQ(box_.CurrentIndex(), 2);
  Key(VK_RETURN);
  EXPECT_EQ(Runs(), "|one LButton|one DClick|two LButton|two DClick");
  Key(VK_LEFT);
  Key(VK_RIGHT, WM_SYSKEYDOWN);
  EXPECT_EQ(Runs(), "|one LButton|one DClick|two LButton|two DClick");
  Key(VK_DOWN);
  EXPECT_EQ(Runs(), "|one LButton|one DClick|two LButton|two DClick|three LButton");
  // At the last line Down makes nothing new current and runs nothing.
  Key(VK_DOWN);
  EXPECT_EQ(Runs(), "|one LButton|one DClick|two LButton|two DClick|three LButton");
  EXPECT_EQ(box_.CurrentIndex(), 3);
  // Nothing was edited: the profile is as written and the main window was not asked to resize.
  EXPECT_EQ(Saved(), kProfile);
  EXPECT_TRUE(owner_.heard.empty());
}

TEST_F(SelectorBoxWinTest, LinesAreMeasuredInTheWindowFontAndTheBoxShowsThemAll) {
  const LONG style = GetWindowLongW(box_.Handle(), GWL_STYLE);
  EXPECT_EQ(style & WS_VSCROLL, 0);
  EXPECT_EQ(style & LBS_EXTENDEDSEL, LBS_EXTENDEDSEL);
  ASSERT_EQ(box_.LineCount(), 4);
  EXPECT_EQ(model().selectors.At(2)->caption.ToUtf8(), "Second");
  std::vector<int32_t> heights;
  int32_t sum = 0;
  for (int32_t index = 0; index < 4; ++index) {
    heights.push_back(static_cast<int32_t>(SendMessageW(box_.Handle(), LB_GETITEMHEIGHT, index, 0)));
    sum += heights.back();
  }
  EXPECT_EQ(heights[1], 9);
  EXPECT_GT(heights[0], 3);
  EXPECT_EQ(heights[0], heights[2]);
  EXPECT_EQ(heights[0], heights[3]);
  // "Second" is the widest caption; the box is its width plus 4, and 1 of margin each side.
  const GuiSize needed = box_.NeededSize();
  EXPECT_EQ(needed.height, sum + 2);
  EXPECT_EQ(needed.width, model().selectors.At(2)->values[0] + 2);
  EXPECT_GT(model().selectors.At(2)->values[0], model().selectors.At(0)->values[0]);
  RECT client{};
  GetClientRect(box_.Handle(), &client);
  EXPECT_EQ(client.right, needed.width - 2);
  EXPECT_EQ(client.bottom, needed.height - 2);
  RECT last{};
  ASSERT_TRUE(box_.LineRect(3, last));
  EXPECT_EQ(last.bottom, client.bottom);
}

TEST_F(SelectorBoxWinTest, MenuGreysMoveDownAndSortingByTheSelection) {
  struct Row {
    std::vector<std::pair<int32_t, WPARAM>> clicks;
    bool moveDown;
    bool sort;
  } const rows[] = {
      {{{0, 0}}, true, false},
      {{{3, 0}}, false, false},
      {{{0, 0}, {2, MK_CONTROL}}, true, true},
      {{{0, 0}, {3, MK_SHIFT}}, false, true},
  };
  for (const Row& row : rows) {
    for (const auto& [line, keys] : row.clicks) Click(line, keys);
    RawLayer::RawUniqueMenu menu(CreatePopupMenu());
    box_.BuildMenu(menu.get());
    ASSERT_EQ(GetMenuItemCount(menu.get()), 8);
    auto greyed = [&](int id) { return (GetMenuState(menu.get(), id, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    EXPECT_FALSE(greyed(kSelectorInsertSeparator));
    EXPECT_FALSE(greyed(kSelectorDeleteItems));
    EXPECT_FALSE(greyed(kSelectorMoveUpItems));
    EXPECT_EQ(greyed(kSelectorMoveDownItems), !row.moveDown);
    EXPECT_EQ(greyed(kSelectorSortItems), !row.sort);
    EXPECT_EQ(greyed(kSelectorReverseSortItems), !row.sort);
    wchar_t caption[64] = {};
    GetMenuStringW(menu.get(), kSelectorDeleteItems, caption, 64, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(caption), L"Delete selected items.");
  }
}

TEST_F(SelectorBoxWinTest, EditsRewriteTheSelectorSectionsAndAskForANewSize) {
  // Delete: the selected lines go.
  Click(0);
  Click(3, MK_CONTROL);
  Key(VK_DELETE);
  EXPECT_EQ(SavedOrder(), "- Two");
  EXPECT_EQ(box_.LineCount(), 2);
  EXPECT_NE(Saved().find("[Button:Go]\r\nTitle=Go\r\n"), std::string::npos);

  // Alt+Up moves the selected line; the current line goes with it.
  Click(1);
  Key(VK_UP, WM_SYSKEYDOWN);
  EXPECT_EQ(SavedOrder(), "Two -");
  EXPECT_EQ(box_.CurrentIndex(), 0);
  EXPECT_TRUE(box_.IsSelected(0));

  // A separator before the current line.
  box_.ExecuteMenuCommand(kSelectorInsertSeparator);
  EXPECT_EQ(SavedOrder(), "- Two -");
  EXPECT_EQ(box_.CurrentIndex(), 1);

  // Reverse order of all lines, then ascending order; the scripts go with their sections.
  Click(0);
  Click(2, MK_SHIFT);
  box_.ExecuteMenuCommand(kSelectorReverseSortItems);
  EXPECT_EQ(SavedOrder(), "Two - -");
  EXPECT_NE(Saved().find("[Selector:Two]\r\nTitle=Second\r\nDefine {\r\n  Seen=two $(KeyState)\r\n}"),
            std::string::npos);
  box_.ExecuteMenuCommand(kSelectorSortItems);
  EXPECT_EQ(SavedOrder(), "- - Two");
  // The main window heard every edit as its own command (no control window attached).
  EXPECT_EQ(owner_.heard, std::vector<std::string>(5, Resized()));
}

TEST_F(SelectorBoxWinTest, DroppedFilesBecomeSelectorsBeforeTheLineOrAtTheEnd) {
  // Below the last line: appended.
  const POINT below{5, box_.NeededSize().height + 40};
  SendMessageW(box_.Handle(), WM_DROPFILES,
               reinterpret_cast<WPARAM>(MakeDrop({L"C:\\tools\\new.exe", L"C:\\docs\\note.txt"}, below)), 0);
  EXPECT_EQ(SavedOrder(), "one - Two three new.exe note.txt");
  EXPECT_NE(Saved().find("[Selector:new.exe]\r\nDefine {\r\n  Selector=C:\\tools\\new.exe\r\n}"), std::string::npos)
      << Saved();
  EXPECT_EQ(box_.LineCount(), 6);

  SendMessageW(box_.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({L"D:\\first.bat"}, Middle(0))), 0);
  EXPECT_EQ(SavedOrder(), "first.bat one - Two three new.exe note.txt");
  EXPECT_EQ(owner_.heard, std::vector<std::string>(2, Resized()));
  // The new line is measured like the others and the box grew by it.
  EXPECT_EQ(box_.LineCount(), 7);
  EXPECT_EQ(SendMessageW(box_.Handle(), LB_GETITEMHEIGHT, 0, 0), SendMessageW(box_.Handle(), LB_GETITEMHEIGHT, 1, 0));
}

}  // namespace
}  // namespace AppLayer
