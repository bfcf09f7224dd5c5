#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "raw/handle_win32.h"
#include "win/view.h"

namespace {

using WinLayer::WinDialog;
using WinLayer::WinView;
using WinLayer::WinViewCreate;
using WinLayer::WinViewHook;

// A view that writes down what reached it.
class RecordingView : public WinView {
 public:
  std::vector<std::string> events;
  bool takeNotify = true;

 protected:
  bool HandleCommand(int id, int code, HWND) override {
    events.push_back("command " + std::to_string(id) + " " + std::to_string(code));
    return true;
  }
  bool HandleNotify(int code) override {
    events.push_back("notify " + std::to_string(code));
    return takeNotify;
  }
  void OnCreate() override { events.push_back("create"); }
  void OnShowStateChanged(int previous, int next) override {
    events.push_back("state " + std::to_string(previous) + ">" + std::to_string(next));
  }
  void OnDestroying() override { events.push_back("destroying"); }
};

class SwallowHook : public WinViewHook {
 public:
  UINT swallow = 0;
  int seen = 0;
  bool HookMessage(WinView&, UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message != swallow) return false;
    ++seen;
    result = 42;
    return true;
  }
};

WinViewCreate TopLevel() {
  WinViewCreate create;
  create.style = WS_POPUP;
  create.width = 100;
  create.height = 80;
  return create;
}

TEST(ViewTest, BindsItsWindowAndHearsItsLifeInOrder) {
  RecordingView view;
  ASSERT_TRUE(view.Create(TopLevel()));
  HWND window = view.Handle();
  EXPECT_EQ(WinView::FromHandle(window), &view);
  ShowWindow(window, SW_SHOWNORMAL);
  ShowWindow(window, SW_MINIMIZE);
  ShowWindow(window, SW_RESTORE);
  DestroyWindow(window);
  EXPECT_EQ(view.Handle(), nullptr);
  EXPECT_EQ(WinView::FromHandle(window), nullptr);
  const std::vector<std::string> expected = {"create", "state 0>1", "state 1>0", "state 0>7", "destroying"};
  EXPECT_EQ(view.events, expected);
}

TEST(ViewTest, HookSeesMessagesFirstAndMayKeepThem) {
  RecordingView view;
  SwallowHook hook;
  hook.swallow = WM_APP + 3;
  view.AttachHook(&hook);
  ASSERT_TRUE(view.Create(TopLevel()));
  EXPECT_EQ(SendMessageW(view.Handle(), WM_APP + 3, 0, 0), 42);
  EXPECT_EQ(SendMessageW(view.Handle(), WM_APP + 4, 0, 0), 0);
  EXPECT_EQ(hook.seen, 1);
}

TEST(ViewTest, ChildNotificationsGoBackToTheChildFirst) {
  RecordingView parent;
  ASSERT_TRUE(parent.Create(TopLevel()));
  RecordingView button;
  WinViewCreate child;
  child.systemClass = L"BUTTON";
  child.style = WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON;
  child.parent = parent.Handle();
  child.id = 7;
  child.width = 40;
  child.height = 20;
  ASSERT_TRUE(button.Create(child));
  EXPECT_EQ(WinView::FromHandle(button.Handle()), &button);

  SendMessageW(parent.Handle(), WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(button.Handle()));
  button.takeNotify = false;
  SendMessageW(parent.Handle(), WM_COMMAND, MAKEWPARAM(7, BN_CLICKED), reinterpret_cast<LPARAM>(button.Handle()));
  const std::vector<std::string> childSaw = {"create", "notify 0", "notify 0"};
  EXPECT_EQ(button.events, childSaw);
  // The notification the child left goes on to the parent as a command.
  ASSERT_FALSE(parent.events.empty());
  EXPECT_EQ(parent.events.back(), "command 7 0");
}

TEST(ViewTest, EscapeInAChildAsksTheTopLevelWindowToCancel) {
  RecordingView parent;
  ASSERT_TRUE(parent.Create(TopLevel()));
  RecordingView child;
  WinViewCreate create;
  create.parent = parent.Handle();
  create.id = 3;
  create.width = 10;
  create.height = 10;
  ASSERT_TRUE(child.Create(create));
  child.takeNotify = false;
  SendMessageW(child.Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_FALSE(parent.events.empty());
  EXPECT_EQ(parent.events.back(), "command 3 " + std::to_string(WinLayer::kCommandCancel));
}

// Ends itself with a code once its loop runs, and checks that its owner is kept from input.
class EndingDialog : public WinDialog {
 public:
  HWND owner = nullptr;
  bool ownerDisabledWhileOpen = false;

 protected:
  void OnShown() override { PostMessageW(Handle(), WM_APP + 1, 0, 0); }
  bool HandleMessage(UINT message, WPARAM, LPARAM, LRESULT& result) override {
    if (message != WM_APP + 1) return false;
    ownerDisabledWhileOpen = !IsWindowEnabled(owner);
    End(5);
    result = 0;
    return true;
  }
};

TEST(ViewTest, DialogLoopEndsWithTheCodeAndGivesTheOwnerBack) {
  RecordingView owner;
  ASSERT_TRUE(owner.Create(TopLevel()));
  EndingDialog dialog;
  dialog.owner = owner.Handle();
  WinViewCreate create = TopLevel();
  create.parent = owner.Handle();
  EXPECT_EQ(dialog.Run(create, SW_SHOWNA), 5);
  EXPECT_TRUE(dialog.ownerDisabledWhileOpen);
  EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
  EXPECT_EQ(dialog.Handle(), nullptr);
}

TEST(ViewTest, HandleOwnersFreeOnceWhenMoved) {
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  {
    RawLayer::RawUniqueBrush first(CreateSolidBrush(RGB(1, 2, 3)));
    ASSERT_TRUE(first);
    RawLayer::RawUniqueBrush second(std::move(first));
    EXPECT_FALSE(first);
    RawLayer::RawUniqueBrush third;
    third = std::move(second);
    EXPECT_TRUE(third);
    third.reset(CreateSolidBrush(RGB(4, 5, 6)));
  }
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
}

}  // namespace
