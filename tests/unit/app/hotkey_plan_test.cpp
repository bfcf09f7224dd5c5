#include "app/hotkey.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "job/profile_model.h"
#include "tests/unit/test_files.h"

namespace AppLayer {
namespace {

namespace fs = std::filesystem;

class HotKeyPlanTest : public ::testing::Test {
 protected:
  GuiHotKeyPlan PlanOf(const std::string& profile, const RawString& launcherKey) {
    const fs::path folder = TestFiles::ScratchFolder("hotkey_plan");
    TestFiles::Put(folder / "profile.ini", profile);
    JobLayer::JobProfileModel& model = JobLayer::JobProfileModel::Instance();
    model.buttons.Clear();
    model.actions.Clear();
    EXPECT_TRUE(model.Load(TestFiles::PathText(folder / "profile.ini")));
    return PlanHotKeys(launcherKey, model.buttons, model.actions);
  }
};

TEST_F(HotKeyPlanTest, TheLauncherThenButtonsThenActionsInProfileOrder) {
  const GuiHotKeyPlan plan = PlanOf(
      "[Action:Later]\nHotKey=Ctrl+Alt+L\n"
      "[Button:Mail]\nHotKey=Ctrl+Alt+M\nShell {\n  Command=mail.exe\n}\n"
      "[Button:NoKey]\nTitle=x\n"
      "[Button:Bad]\nHotKey=Ctrl+Alt+\xC3\x84\n"
      "[Button:Again]\nHotKey=ctrl+alt+m\n"
      "[Initialize]\nHotKey=Ctrl+Alt+I\n"
      "[Button:Command]\nHotKey {\n}\n",
      "Ctrl+Alt+K");
  ASSERT_EQ(plan.bindings.size(), 3u);
  EXPECT_EQ(plan.bindings[0].target, GuiHotKeyTarget::Launcher);
  EXPECT_EQ(plan.bindings[0].where.ToUtf8(), "[Option] HotKey=Ctrl+Alt+K");
  EXPECT_EQ(plan.bindings[1].target, GuiHotKeyTarget::Button);
  EXPECT_EQ(plan.bindings[1].name.ToUtf8(), "Mail");
  EXPECT_EQ(plan.bindings[1].key.virtualKey, static_cast<uint32_t>('M'));
  EXPECT_EQ(plan.bindings[2].target, GuiHotKeyTarget::Action);
  EXPECT_EQ(plan.bindings[2].name.ToUtf8(), "Later");
  ASSERT_EQ(plan.problems.size(), 2u);
  EXPECT_EQ(plan.problems[0].where.ToUtf8(), "[Button:Bad] HotKey=Ctrl+Alt+\xC3\x84");
  EXPECT_EQ(plan.problems[1].where.ToUtf8(), "[Button:Again] HotKey=ctrl+alt+m");
  EXPECT_EQ(plan.problems[1].why.ToUtf8(), "the key is taken already by [Button:Mail] HotKey=Ctrl+Alt+M");
}

TEST_F(HotKeyPlanTest, AThousandSectionsArePlannedAndTheBoxStaysShort) {
  std::string profile;
  // 26 letters x 4 modifier sets x 10 digits would be more than enough; take 1,000 distinct keys
  // and some that repeat.
  const char* modifiers[] = {"Ctrl+", "Alt+", "Ctrl+Alt+", "Ctrl+Shift+", "Alt+Shift+", "Ctrl+Alt+Shift+", "Win+",
                             "Win+Ctrl+", "Win+Alt+", "Win+Shift+"};
  int count = 0;
  for (const char* modifier : modifiers) {
    for (int key = 0; key < 36 && count < 1000; ++key) {
      const char name = key < 26 ? static_cast<char>('A' + key) : static_cast<char>('0' + key - 26);
      profile += "[Button:B" + std::to_string(count) + "]\nHotKey=" + modifier + name + "\n";
      ++count;
    }
  }
  for (int f = 1; count < 1000; ++f, ++count) profile += "[Button:F" + std::to_string(f) + "]\nHotKey=Shift+F" + std::to_string(f % 24 + 1) + "\n";
  profile += "[Button:Twice]\nHotKey=Ctrl+A\n";
  const GuiHotKeyPlan plan = PlanOf(profile, RawString());
  EXPECT_EQ(plan.bindings.size() + plan.problems.size(), 1001u);
  EXPECT_GE(plan.problems.size(), 1u);
  std::vector<GuiHotKeyProblem> many(300, GuiHotKeyProblem{RawString("[Button:X] HotKey=Ctrl+X"), RawString("taken")});
  const std::string text = HotKeyProblemText(many).ToUtf8();
  EXPECT_NE(text.find("... and 280 more (see the log)"), std::string::npos);
  EXPECT_LT(text.size(), 2000u);
}

}  // namespace
}  // namespace AppLayer
