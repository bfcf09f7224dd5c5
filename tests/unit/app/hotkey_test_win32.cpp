#include "app/hotkey_hook.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

using AppLayer::GuiHotKeyBinding;
using AppLayer::GuiHotKeyPlan;
using AppLayer::GuiHotKeys;
using AppLayer::GuiHotKeyTarget;
using RawLayer::RawString;

// A message-only window of the system's static class: RegisterHotKey needs a window of this thread.
struct TestWindow {
  TestWindow() : handle(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
  ~TestWindow() { DestroyWindow(handle); }
  HWND handle;
};

GuiHotKeyBinding Binding(const char* where, uint32_t modifiers, uint32_t virtualKey) {
  GuiHotKeyBinding binding;
  binding.target = GuiHotKeyTarget::Button;
  binding.key = {modifiers, virtualKey};
  binding.where = RawString::FromUtf8(where);
  return binding;
}

// Keys unlikely to be held by anything else on a test machine.
constexpr uint32_t kMods = MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_WIN;

TEST(HotKeyRegistrationTest, AKeyHeldElsewhereIsReportedAndTheOthersWork) {
  TestWindow first;
  TestWindow second;
  ASSERT_NE(first.handle, nullptr);
  GuiHotKeys holder;
  GuiHotKeyPlan held;
  held.bindings = {Binding("[Button:A] HotKey=x", kMods, VK_F21)};
  EXPECT_TRUE(holder.Register(first.handle, held).empty());
  EXPECT_EQ(holder.RegisteredCount(), 1u);

  GuiHotKeys keys;
  GuiHotKeyPlan plan;
  plan.bindings = {Binding("[Button:B] HotKey=x", kMods, VK_F21), Binding("[Button:C] HotKey=y", kMods, VK_F22)};
  plan.problems.push_back({RawString("[Button:D] HotKey=?"), RawString("no key")});
  const auto problems = keys.Register(second.handle, plan);
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].where.ToUtf8(), "[Button:D] HotKey=?");
  EXPECT_EQ(problems[1].where.ToUtf8(), "[Button:B] HotKey=x");
  EXPECT_EQ(problems[1].why.ToUtf8(), "another program holds this key already");
  EXPECT_EQ(keys.RegisteredCount(), 1u);

  // Unregistered keys are free again: the holder gives its key up and the other takes it.
  holder.UnregisterAll();
  EXPECT_EQ(holder.RegisteredCount(), 0u);
  EXPECT_TRUE(keys.Register(second.handle, plan).size() == 1u);
  EXPECT_EQ(keys.RegisteredCount(), 2u);
}

TEST(HotKeyRegistrationTest, AThousandKeysRegisterWhatTheSystemAllowsAndReportTheRest) {
  TestWindow window;
  GuiHotKeyPlan plan;
  const uint32_t modifierSets[] = {kMods, MOD_CONTROL | MOD_ALT | MOD_WIN, MOD_CONTROL | MOD_SHIFT | MOD_WIN,
                                   MOD_ALT | MOD_SHIFT | MOD_WIN};
  for (uint32_t modifiers : modifierSets) {
    for (uint32_t vk = VK_F13; vk <= VK_F24 && plan.bindings.size() < 1000; ++vk) {
      plan.bindings.push_back(Binding("[Button:K] HotKey=k", modifiers, vk));
    }
  }
  while (plan.bindings.size() < 1000) plan.bindings.push_back(Binding("[Button:Same] HotKey=s", kMods, VK_F13));
  GuiHotKeys keys;
  const auto problems = keys.Register(window.handle, plan);
  EXPECT_EQ(keys.RegisteredCount() + problems.size(), 1000u);
  EXPECT_GE(problems.size(), 1000u - 48u);
  keys.UnregisterAll();
}

}  // namespace
