#include "job/trigger.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "job/profile_model.h"
#include "job/variable.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;

// Every trigger's target comes from the profile model, read here from a profile of the test's.
class TriggerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder per case: CTest runs cases in processes of their own, side by side.
    fs::path folder = TestFiles::ScratchFolder("trigger");
    path_ = folder / "profile.ini";
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << R"([Button:Set]
Define {
  Seen=button $(KeyState)
}
[Button:-]
Define {
  Seen=separator
}
[Button:Drop]
DropRun=True
Define {
  Seen=$(Drop)|$(DropList)
}
[Selector:Pick]
Define {
  Seen=selector $(KeyState)
}
[Action:Act]
Define {
  Seen=action
}
)";
    model().Clear();
    std::u8string text = path_.u8string();
    ASSERT_TRUE(model().Load(RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()})));
    model().buttons.SetupButtons();
    variables().Set("Seen", "before");
  }
  void TearDown() override { model().Clear(); }

  static JobProfileModel& model() { return JobProfileModel::Instance(); }
  static JobVariableList& variables() { return JobVariableList::Instance(); }
  static std::string Seen() { return ExpandVariables("$(Seen)", JobTraceId::User()).text.ToUtf8(); }

  fs::path path_;
};

TEST_F(TriggerTest, ButtonRunsAreIsolatedAndSelectorRunsAreNot) {
  // The button's assignment is undone when its run ends.
  EXPECT_TRUE(RunButton(0, "LButton", RawRect{}));
  EXPECT_EQ(Seen(), "before");
  // The selector's stays, and the key state it saw is the caller's.
  EXPECT_TRUE(RunSelector(0, "DClick", RawRect{1, 2, 3, 4}));
  EXPECT_EQ(Seen(), "selector DClick");
  EXPECT_EQ(JobDialogContext::Instance().anchor.right, 3);
}

TEST_F(TriggerTest, TriggersThatDoNotQualifyDoNothing) {
  EXPECT_FALSE(RunButton(1, "LButton", RawRect{}));  // a separator
  EXPECT_FALSE(RunButton(3, "LButton", RawRect{}));  // past the end
  EXPECT_FALSE(RunButton(-1, "LButton", RawRect{}));
  EXPECT_FALSE(RunSelector(1, "LButton", RawRect{}));
  EXPECT_FALSE(RunDrop(0, "a", "\"a\"", RawRect{}));  // no DropRun
  EXPECT_EQ(Seen(), "before");
}

TEST_F(TriggerTest, CommandLineRuns) {
  RawStringList files;
  files.Add("C:\\one two.txt");
  files.Add("D:\\three");
  EXPECT_EQ(DropListText(files).ToUtf8(), "\"C:\\one two.txt\" \"D:\\three\"");
  EXPECT_EQ(DropListText(RawStringList()).ToUtf8(), "");

  // An action run is not isolated.
  EXPECT_TRUE(RunCommandLine("a", "Act", RawStringList()));
  EXPECT_EQ(Seen(), "action");
  EXPECT_TRUE(RunCommandLine("l", "Set", RawStringList()));
  EXPECT_TRUE(RunCommandLine("d", "Drop", files));
  EXPECT_EQ(Seen(), "action");

  // Names and modes compare exactly; nothing runs for them.
  EXPECT_FALSE(RunCommandLine("a", "act", RawStringList()));
  EXPECT_FALSE(RunCommandLine("A", "Act", RawStringList()));
  EXPECT_FALSE(RunCommandLine("x", "Act", RawStringList()));
  EXPECT_FALSE(RunCommandLine("l", "Missing", RawStringList()));
  EXPECT_EQ(Seen(), "action");
}

}  // namespace
}  // namespace JobLayer
