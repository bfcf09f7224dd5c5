#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "raw/list.h"
#include "win/list_box.h"

namespace {

using WinLayer::WinListBox;
using WinLayer::WinListBoxR;
using WinLayer::WinView;
using WinLayer::WinViewCreate;

struct Line {
  int32_t height = 0;
};
class LineAllocator : public RawLayer::RawListAllocator<Line> {};
using LineList = RawLayer::RawListR<LineAllocator, Line>;

constexpr int kBoxId = 77;

// The owner: writes down each notification of the box with the box's current line.
class Owner : public WinView {
 public:
  std::vector<std::string> heard;
  const WinListBox* box = nullptr;

 protected:
  bool HandleCommand(int id, int code, HWND) override {
    heard.push_back(std::to_string(id) + ":" + std::to_string(code) + "@" +
                    std::to_string(box != nullptr ? box->CurrentIndex() : -2));
    return true;
  }
};

class LineBox : public WinListBoxR<Line> {
 public:
  explicit LineBox(LineList& list) : WinListBoxR(list) {}
  std::vector<int> executed;
  bool offerMenu = true;

  using WinListBox::SetLineHeights;
  void Setup() { SetupItems(); }

 protected:
  void SetupItems() override {
    std::vector<int32_t> heights;
    for (const Line* line : ReloadUnits()) heights.push_back(line->height);
    SetLineHeights(heights);
  }
  void BuildMenu(HMENU menu) override {
    if (!offerMenu) return;
    AppendMenuW(menu, MF_STRING, 11, L"First");
    AppendMenuW(menu, MF_STRING, 12, L"Second");
  }
  void ExecuteMenuCommand(int id) override { executed.push_back(id); }
};

std::string Pattern(const WinListBox& box) {
  std::string text;
  for (bool flag : box.Selection()) text += flag ? 'x' : '.';
  return text;
}

// What the control itself shows: its selected lines and its focus line.
std::string Drawn(HWND window) {
  std::string text;
  const int count = static_cast<int>(SendMessageW(window, LB_GETCOUNT, 0, 0));
  for (int index = 0; index < count; ++index) text += SendMessageW(window, LB_GETSEL, index, 0) > 0 ? 'x' : '.';
  return text + "@" + std::to_string(SendMessageW(window, LB_GETCARETINDEX, 0, 0));
}

class ListBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int32_t height : {16, 5, 16, 16, 16}) lines_.Add().height = height;
    WinViewCreate frame;
    frame.style = WS_POPUP | WS_VISIBLE;
    frame.x = 10;
    frame.y = 10;
    frame.width = 200;
    frame.height = 300;
    ASSERT_TRUE(owner_.Create(frame));
    WinViewCreate create;
    create.systemClass = L"LISTBOX";
    create.style = WS_CHILD | WS_VISIBLE | WinListBox::kStyle;
    create.parent = owner_.Handle();
    create.id = kBoxId;
    create.width = 150;
    create.height = 200;
    ASSERT_TRUE(box_.Create(create));
    box_.Setup();
    owner_.box = &box_;
  }
  // The keyboard state is the thread's: leave no key held for the next case.
  void TearDown() override { Hold({}); }

  POINT Middle(int32_t index) const {
    RECT rect{};
    EXPECT_TRUE(box_.LineRect(index, rect));
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  }
  void Mouse(UINT message, int32_t index, WPARAM keys = 0) {
    const POINT point = Middle(index);
    SendMessageW(box_.Handle(), message, keys, MAKELPARAM(point.x, point.y));
  }
  void Key(WPARAM key) { SendMessageW(box_.Handle(), WM_KEYDOWN, key, 0); }
  // The thread's keyboard state, which the box reads for Ctrl and Shift.
  static void Hold(const std::vector<int>& held) {
    BYTE keys[256] = {};
    for (int key : held) keys[key] = 0x80;
    SetKeyboardState(keys);
  }
  std::string Heard() {
    std::string text;
    for (const std::string& one : owner_.heard) text += (text.empty() ? "" : " ") + one;
    owner_.heard.clear();
    return text;
  }

  LineList lines_;
  Owner owner_;
  LineBox box_{lines_};
};

TEST_F(ListBoxTest, ClicksSelectAsAnExtendedSelectionAndTellTheOwnerOnce) {
  const std::string changed = std::to_string(kBoxId) + ":" + std::to_string(WinLayer::kNotifySelectionChanged);
  struct Step {
    int32_t line;
    WPARAM keys;
    const char* selected;
    int32_t current;
  } const steps[] = {
      {1, 0, ".x...", 1},
      {3, MK_CONTROL, ".x.x.", 3},
      // Shift takes the range from the last line clicked without Shift.
      {0, MK_SHIFT, "xxxx.", 0},
      {4, MK_SHIFT | MK_CONTROL, "xxxxx", 4},
      {2, 0, "..x..", 2},
      {2, MK_CONTROL, ".....", 2},
  };
  for (const Step& step : steps) {
    Mouse(WM_LBUTTONDOWN, step.line, step.keys);
    Mouse(WM_LBUTTONUP, step.line, step.keys);
    EXPECT_EQ(Pattern(box_), step.selected) << step.line;
    EXPECT_EQ(box_.CurrentIndex(), step.current);
    EXPECT_EQ(Drawn(box_.Handle()), std::string(step.selected) + "@" + std::to_string(step.current));
    EXPECT_EQ(Heard(), changed + "@" + std::to_string(step.current));
  }
  // Below the last line there is nothing to click.
  SendMessageW(box_.Handle(), WM_LBUTTONDOWN, 0, MAKELPARAM(20, 190));
  EXPECT_EQ(Heard(), "");
  EXPECT_EQ(box_.CurrentIndex(), 2);
}

TEST_F(ListBoxTest, DoubleClickOnTheCurrentLineActivatesIt) {
  const std::string id = std::to_string(kBoxId) + ":";
  Mouse(WM_LBUTTONDOWN, 3);
  Mouse(WM_LBUTTONUP, 3);
  Mouse(WM_LBUTTONDBLCLK, 3);
  Mouse(WM_LBUTTONUP, 3);
  EXPECT_EQ(Heard(), id + "4104@3 " + id + "4098@3");
  EXPECT_EQ(Pattern(box_), "...x.");
  // A double click that lands on another line chooses that line.
  Mouse(WM_LBUTTONDBLCLK, 0);
  EXPECT_EQ(Heard(), id + "4104@0");
  // The second click comes after the keyboard chose more lines: the line clicked is chosen
  // alone again, and only the activation is told.
  box_.SetSelection({true, true, true, false, false}, 0);
  Mouse(WM_LBUTTONDBLCLK, 0);
  EXPECT_EQ(Heard(), id + "4098@0");
  EXPECT_EQ(Pattern(box_), "x....");
  EXPECT_EQ(Drawn(box_.Handle()), "x....@0");
  // With Ctrl the selection stays as it is.
  box_.SetSelection({true, true, false, false, false}, 0);
  Mouse(WM_LBUTTONDBLCLK, 0, MK_CONTROL);
  EXPECT_EQ(Heard(), id + "4098@0");
  EXPECT_EQ(Pattern(box_), "xx...");
}

TEST_F(ListBoxTest, KeysMoveTheCurrentLineAndEnterActivatesIt) {
  const std::string id = std::to_string(kBoxId) + ":";
  struct Step {
    WPARAM key;
    std::vector<int> held;
    const char* heard;  // the notifications, as code@current
    const char* selected;
  } const steps[] = {
      {VK_DOWN, {}, "4104@0", "x...."},
      {VK_DOWN, {}, "4104@1", ".x..."},
      {VK_END, {}, "4104@4", "....x"},
      // Already there: nothing new is current, no one is told.
      {VK_DOWN, {}, "", "....x"},
      {VK_HOME, {}, "4104@0", "x...."},
      {VK_UP, {}, "", "x...."},
      {VK_RETURN, {}, "4098@0", "x...."},
      {VK_DOWN, {VK_SHIFT}, "4104@1", "xx..."},
      {VK_DOWN, {VK_SHIFT}, "4104@2", "xxx.."},
      // Ctrl moves the current line alone; Space then picks it.
      {VK_DOWN, {VK_CONTROL}, "4104@3", "xxx.."},
      {VK_SPACE, {VK_CONTROL}, "", "xxxx."},
      {VK_SPACE, {}, "", "...x."},
      {'A', {VK_CONTROL}, "4104@3", "xxxxx"},
      {'A', {}, "", "xxxxx"},
      {VK_NEXT, {}, "4104@4", "....x"},
      {VK_PRIOR, {}, "4104@0", "x...."},
  };
  for (const Step& step : steps) {
    Hold(step.held);
    Key(step.key);
    std::string expected;
    if (step.heard[0] != '\0') expected = id + step.heard;
    EXPECT_EQ(Heard(), expected) << "key " << step.key;
    EXPECT_EQ(Pattern(box_), step.selected) << "key " << step.key;
  }
}

TEST_F(ListBoxTest, NewLinesKeepTheSelectionOfLinesThatStayAndHeightsWithinTheControlsRange) {
  Mouse(WM_LBUTTONDOWN, 1);
  Mouse(WM_LBUTTONDOWN, 4, MK_CONTROL);
  Heard();
  box_.SetLineHeights({0, 300, 20});
  EXPECT_EQ(Pattern(box_), ".x.");
  EXPECT_EQ(box_.CurrentIndex(), -1);
  EXPECT_EQ(Drawn(box_.Handle()).substr(0, 3), ".x.");
  const int expected[] = {1, 255, 20};
  for (int index = 0; index < 3; ++index) {
    EXPECT_EQ(SendMessageW(box_.Handle(), LB_GETITEMHEIGHT, index, 0), expected[index]);
  }
  // With no current line, the first key down makes the first line current.
  Key(VK_DOWN);
  EXPECT_EQ(box_.CurrentIndex(), 0);
  box_.SetSelection({true, true, true, true}, 5);
  EXPECT_EQ(Pattern(box_), "xxx");
  EXPECT_EQ(box_.CurrentIndex(), -1);
}

void CALLBACK ChooseSecondEntry(HWND, UINT, UINT_PTR, DWORD) {
  HWND menu = FindWindowW(L"#32768", nullptr);
  if (menu == nullptr || !IsWindowVisible(menu)) return;
  for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(menu, WM_KEYDOWN, key, 0);
}

TEST_F(ListBoxTest, RightClickOpensTheOwnersMenuAndCarriesOutTheChoice) {
  // The menu runs a loop of its own; a timer of the thread fires inside it and chooses the
  // second entry with the keys, as a user would.
  const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ChooseSecondEntry);
  Mouse(WM_RBUTTONDOWN, 2);
  Mouse(WM_RBUTTONUP, 2);
  KillTimer(nullptr, timer);
  EXPECT_EQ(box_.executed, std::vector<int>{12});
  // A right click neither selects nor tells the owner.
  EXPECT_EQ(Heard(), "");
  EXPECT_EQ(Pattern(box_), ".....");
  // Nothing offered: no menu opens, so the call returns at once.
  box_.offerMenu = false;
  Mouse(WM_RBUTTONUP, 2);
  EXPECT_EQ(box_.executed, std::vector<int>{12});
  MSG waiting;
  while (PeekMessageW(&waiting, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace
