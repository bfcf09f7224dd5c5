#include "app/reload_watch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "raw/profile.h"
#include "tests/unit/test_files.h"

namespace AppLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::PathText;
using TestFiles::Put;

class LiveReloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestFiles::ScratchFolder("live_reload");
    profile_ = folder_ / "launcher.ini";
    gui_ = folder_ / "gui.ini";
    Put(profile_, "[Button:A]\nShell {\n  Command=a.exe\n}\n");
    Put(gui_, "[WindowParameter]\nMargin=4\n");
  }
  void TearDown() override { RawLayer::SetRewriteObserver(nullptr); }

  fs::path folder_;
  fs::path profile_;
  fs::path gui_;
};

TEST_F(LiveReloadTest, StampsTellFilesApart) {
  const GuiFileStamp missing = FileStampOf(PathText(folder_ / "none.ini"));
  EXPECT_FALSE(missing.exists);
  const GuiFileStamp before = FileStampOf(PathText(profile_));
  EXPECT_TRUE(before.exists);
  Put(profile_, "[Button:A]\n");
  EXPECT_FALSE(FileStampOf(PathText(profile_)) == before);
  EXPECT_FALSE(FileStampOf(PathText(folder_)).exists);  // a folder is no watched file
}

TEST_F(LiveReloadTest, PathsCompareAsTheLauncherSpellsThem) {
  EXPECT_TRUE(SameFilePath(RawString("C:\\Kestrel\\K.ini"), RawString("c:/kestrel/k.INI")));
  EXPECT_FALSE(SameFilePath(RawString("C:\\Kestrel\\K.ini"), RawString("C:\\Kestrel\\K.ini.tmp")));
  EXPECT_FALSE(SameFilePath(RawString::FromUtf8("\xC3\x84.ini"), RawString::FromUtf8("\xC3\xA4.ini")));
}

TEST_F(LiveReloadTest, AnOutsideSaveReloads) {
  GuiWatchedFiles files;
  files.Add(PathText(profile_));
  files.Add(PathText(gui_));
  files.Add(RawString());  // no language file
  EXPECT_EQ(files.Paths().size(), 2u);
  GuiReloadJudge judge(files, PathText(profile_));
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Nothing);
  Put(gui_, "[WindowParameter]\nMargin=5\nFrameMargin=3\n");
  EXPECT_EQ(files.Changed().size(), 1u);
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Reload);
  // Taken: the same state reloads no more.
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Nothing);
}

TEST_F(LiveReloadTest, TheLaunchersOwnRewritesDoNotReload) {
  GuiWatchedFiles files;
  files.Add(PathText(profile_));
  files.Add(PathText(gui_));
  RawLayer::SetRewriteObserver(&files);
  GuiReloadJudge judge(files, PathText(profile_));
  // The way the launcher writes the window's place and a chosen font: a rewrite of the profile.
  ASSERT_TRUE(RawLayer::RawProfile(PathText(gui_)).SetValue("MainDialog", "WindowRect_L", "100"));
  ASSERT_TRUE(RawLayer::RawProfile(PathText(profile_)).SetValue("Option", "ViewTip", "True"));
  EXPECT_TRUE(files.Changed().empty());
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Nothing);
  // A file the launcher rewrites that is not watched changes nothing either.
  ASSERT_TRUE(RawLayer::RawProfile(PathText(folder_ / "IconCache.ini")).SetValue("Identify", "Profile", "X"));
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Nothing);
  // Without the observer the same write counts as another program's.
  RawLayer::SetRewriteObserver(nullptr);
  ASSERT_TRUE(RawLayer::RawProfile(PathText(gui_)).SetValue("MainDialog", "WindowRect_T", "200"));
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Reload);
}

TEST_F(LiveReloadTest, ADeletedProfileIsWaitedForAndTakenWhenItComesBack) {
  GuiWatchedFiles files;
  files.Add(PathText(profile_));
  GuiReloadJudge judge(files, PathText(profile_));
  fs::remove(profile_);
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Wait);
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Wait);
  Put(profile_, "[Button:A]\n[Button:B]\n");
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Reload);
}

TEST_F(LiveReloadTest, ABrokenSaveIsRefusedOnceWithItsLineUntilMended) {
  GuiWatchedFiles files;
  files.Add(PathText(profile_));
  GuiReloadJudge judge(files, PathText(profile_));
  Put(profile_, "[Button:A]\nTitle=A\nShell {\n  Command=a.exe\n[Button:B]\n");
  const GuiReloadDecision refused = judge.Judge();
  ASSERT_EQ(refused.verdict, GuiReloadVerdict::Refuse);
  EXPECT_EQ(refused.line, 3);
  EXPECT_NE(refused.message.ToUtf8().find("(3): error: this \"{\" is never closed in [Button:A]"), std::string::npos)
      << refused.message.ToUtf8();
  // Told once: the same broken state asks nothing more.
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Nothing);
  // Broken otherwise: told again.
  Put(profile_, "[Button:A]\n}\n");
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Refuse);
  Put(profile_, "[Button:A]\nShell {\n  Command=a.exe\n}\n[Button:B]\n");
  EXPECT_EQ(judge.Judge().verdict, GuiReloadVerdict::Reload);
}

TEST_F(LiveReloadTest, AStormOfSavesSettlesOnce) {
  GuiSettle settle(kReloadSettleMs);
  EXPECT_EQ(settle.WaitMs(0), -1);
  int answers = 0;
  // 100 saves a second for 10 s, then quiet: one answer, 300 ms after the last save.
  for (int64_t now = 0; now <= 12000; ++now) {
    if (now < 10000 && now % 10 == 0) settle.Note(now);
    if (settle.Due(now)) {
      ++answers;
      EXPECT_EQ(now, 9990 + kReloadSettleMs);
      settle.Clear();
    }
  }
  EXPECT_EQ(answers, 1);
  settle.Note(100);
  EXPECT_EQ(settle.WaitMs(150), kReloadSettleMs - 50);
  EXPECT_EQ(settle.WaitMs(1000), 0);
}

}  // namespace
}  // namespace AppLayer
