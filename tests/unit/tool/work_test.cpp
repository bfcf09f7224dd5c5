#include "tool/work.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "raw/clipboard.h"
#include "tests/unit/test_files.h"
#include "tests/unit/tool/fake_desktop.h"
#include "tool/startup.h"

namespace {

namespace fs = std::filesystem;
using RawLayer::RawString;
using Log = std::vector<std::string>;
using RawLayer::RawRect;
using ToolLayer::ToolShowState;
using ToolTest::FakeDesktop;

class ToolWorkTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_ = ToolTest::TestFolder("tool_work");
    fs::create_directories(folder_ / "temp");
    settings_.dataProfile = TestFiles::PathText(folder_ / "data.ini");
    RawString temp = TestFiles::PathText(folder_ / "temp");
    temp.AppendChar(static_cast<uint32_t>(fs::path::preferred_separator));
    settings_.tempFolder = temp;
    // The frame widening of the tests differs from the defaults, so a mix-up shows.
    settings_.selector.frameWiden = {4, 2, 6, 10};
    ToolLayer::RegisterToolMessages();
    desktop_.Add(1, "Untitled - Notepad", "Notepad", "C:\\windows\\notepad.exe", {100, 100, 500, 400});
    desktop_.Add(2, "Quarterly Report", "MainFrame", "C:\\apps\\sheet.exe", {50, 60, 650, 460});
    desktop_.Add(3, "Report Draft", "MainView", "C:\\apps\\writer.exe", {0, 0, 300, 200});
    desktop_.Add(4, "Monthly Report", "Viewer", "C:\\apps\\viewer.exe", {10, 20, 210, 220});
  }

  // Runs the work for a command line and returns what the desktop was asked to do.
  Log Run(const std::string& arguments) {
    options_ = ToolLayer::ReadToolOptions(RawString::FromUtf8("tessera.exe " + arguments));
    ToolLayer::ToolWork(desktop_, settings_, options_).Run();
    return desktop_.log;
  }

  // The data profile with its line ends read as "\n" (the profile writer ends lines CR LF).
  std::string Data() const {
    std::string text = TestFiles::Bytes(folder_ / "data.ini");
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
    return text;
  }
  void SetData(const std::string& text) const { TestFiles::Put(folder_ / "data.ini", text); }

  fs::path folder_;
  ToolLayer::ToolSettings settings_;
  ToolLayer::ToolOptions options_;
  FakeDesktop desktop_;
};

TEST_F(ToolWorkTest, NothingGivenIsReportedUnlessQuiet) {
  EXPECT_EQ(Run(""), (Log{"warning No window is specified !"}));
  desktop_.log.clear();
  EXPECT_EQ(Run("-z"), Log{});
  desktop_.log.clear();
  EXPECT_EQ(Run("-x 5 -i"), (Log{"warning No window is specified !"}));
}

TEST_F(ToolWorkTest, MatchingTakesTheFirstWindowInZOrder) {
  struct Row {
    const char* arguments;
    const char* expected;
  };
  const Row rows[] = {
      {"-n *Report -x 0 -y 0", "move 2 0 0 600 400"},
      {"-c >Viewer -W 100", "move 4 10 20 310 220"},
      {"-n <*Draft* -c Main*", "move 2 5 60 605 460"},
      // Lists are AND-ed with one another and OR-ed within.
      {"-n *Report -c Viewer", "move 4 5 20 205 220"},
      {"-n Nothing -n \"Report Draft\"", "move 3 5 0 305 200"},
      {"-f *viewer.exe", "move 4 5 20 205 220"},
      {"-f C:\\apps\\* -n \"Monthly*\"", "move 4 5 20 205 220"},
      // A pattern that every window matches takes the topmost one.
      {"-n * -c *", "move 1 5 100 405 400"},
      // Patterns keep case.
      {"-c notepad -n *", "warning No window is found !"},
      {"-n *Report -c Viewer -f *sheet.exe", "warning No window is found !"},
  };
  const std::vector<ToolTest::FakeWindow> windows = desktop_.windows;
  for (const Row& row : rows) {
    desktop_.log.clear();
    desktop_.windows = windows;
    std::string arguments = row.arguments;
    if (arguments.find("-x") == std::string::npos && arguments.find("-W") == std::string::npos) {
      arguments += " -x 5";
    }
    EXPECT_EQ(Run(arguments), Log{row.expected}) << row.arguments;
  }
}

TEST_F(ToolWorkTest, ExecutablePathIsAskedOnlyWhenNeeded) {
  Run("-n *Notepad -x 1");
  EXPECT_EQ(desktop_.fileQueries, 0);
  Run("-c MainView -f *writer.exe -x 1");
  EXPECT_EQ(desktop_.fileQueries, 1);
}

TEST_F(ToolWorkTest, MaximisedWindowIsRestoredBeforeSizing) {
  ToolTest::FakeWindow* window = desktop_.Find(1);
  window->state = ToolShowState::Maximized;
  window->rect = {0, 0, 1280, 1024};
  EXPECT_EQ(Run("-c Notepad -w 800"), (Log{"restore 1", "move 1 100 100 900 400"}));
}

TEST_F(ToolWorkTest, NoGeometryMovesNothing) { EXPECT_EQ(Run("-c Notepad"), Log{}); }

TEST_F(ToolWorkTest, ActionsRunInTheirFixedOrder) {
  desktop_.Find(4)->state = ToolShowState::Minimized;
  EXPECT_EQ(Run("-b -o -T -a -i -t -X 1 -c Viewer"),
            (Log{"restore 4", "move 4 11 20 211 220", "minimize 4", "restore 4", "topmost 4", "not-topmost 4",
                 "topmost 4", "not-topmost 4", "flash 4"}));
}

TEST_F(ToolWorkTest, ToTopRestoresOnlyAMinimisedWindow) {
  desktop_.Find(4)->state = ToolShowState::Minimized;
  EXPECT_EQ(Run("-c Viewer -t"), (Log{"restore 4", "topmost 4", "not-topmost 4"}));
  desktop_.log.clear();
  desktop_.Find(4)->state = ToolShowState::Maximized;
  EXPECT_EQ(Run("-c Viewer -T"), (Log{"topmost 4"}));
}

TEST_F(ToolWorkTest, CloseWinsOverTerminateAndEndsTheActions) {
  EXPECT_EQ(Run("-c Viewer -q -k -b -p"), (Log{"close 4"}));
  desktop_.log.clear();
  EXPECT_EQ(Run("-c Viewer -k -b"), (Log{"terminate 4"}));
}

TEST_F(ToolWorkTest, TerminateOfAProcessThatCannotBeOpenedFails) {
  desktop_.Find(4)->processOpens = false;
  const RawString empty;
  options_ = ToolLayer::ReadToolOptions("t -k");
  EXPECT_FALSE(ToolLayer::ToolWork(desktop_, settings_, options_).ApplyActions(4, options_, empty));
  EXPECT_EQ(desktop_.log, (Log{"terminate 4"}));
}

TEST_F(ToolWorkTest, WindowGoneBeforeTheMoveFailsQuietly) {
  options_ = ToolLayer::ReadToolOptions("t -c Viewer -x 0 -b -g");
  ToolLayer::ToolWork work(desktop_, settings_, options_);
  const ToolLayer::ToolWindow window = work.FindFirstWindow(options_);
  ASSERT_EQ(window, 4u);
  desktop_.Remove(4);
  EXPECT_FALSE(work.ApplyActions(window, options_, RawString()));
  EXPECT_EQ(desktop_.log, (Log{"flash 4"}));
}

TEST_F(ToolWorkTest, CopyRectPutsTheRestoredRectangleOnTheClipboard) {
  ToolTest::FakeWindow* window = desktop_.Find(3);
  window->state = ToolShowState::Maximized;
  window->rect = {-8, -8, 1288, 1032};
  window->restored = {-20, 5, 280, 205};
  EXPECT_EQ(Run("-c MainView -g"), (Log{"restore 3"}));
  EXPECT_EQ(RawLayer::ClipboardText(200).ToUtf8(), "-x #20 -y 5 -w 300 -h 200");
}

TEST_F(ToolWorkTest, OpenProfileWithoutWindow) {
  EXPECT_EQ(Run("-p"), (Log{"open " + settings_.dataProfile.ToUtf8()}));
}

TEST_F(ToolWorkTest, PickedWindowTakesTheActions) {
  EXPECT_EQ(Run("-m -x 0 -n NoSuchWindow"), (Log{"pick"}));
  desktop_.log.clear();
  desktop_.picked = 3;
  EXPECT_EQ(Run("-m -y 7"), (Log{"pick", "move 3 0 7 300 207"}));
}

TEST_F(ToolWorkTest, DrawnRectangleMovesWithTheFrameWidening) {
  struct Row {
    bool drawn;
    RawRect drag;
    const char* more;  // options after the drawing
    Log expected;
  };
  const Row rows[] = {
      {true, {200, 300, 600, 500}, "", {"draw", "move 4 196 298 606 510"}},
      // A small drag moves without sizing.
      {true, {200, 300, 210, 310}, "", {"draw", "move 4 196 298 396 498"}},
      // A drag running more than 19 pixels up is ignored; the other actions go on.
      {true, {200, 300, 400, 280}, " -b", {"draw", "flash 4"}},
      // A cancelled drawing skips only the move, and the run goes on with the later actions.
      {false, {}, "", {"draw"}},
      {false, {}, " -b", {"draw", "flash 4"}},
      {false, {}, " -a -T", {"draw", "restore 4", "topmost 4"}},
  };
  for (const Row& row : rows) {
    desktop_.log.clear();
    desktop_.Find(4)->rect = {10, 20, 210, 220};
    desktop_.drawn = row.drawn;
    desktop_.drawStart = {row.drag.left, row.drag.top};
    desktop_.drawEnd = {row.drag.right, row.drag.bottom};
    EXPECT_EQ(Run(std::string("-c Viewer -M -x 1") + row.more), row.expected) << row.drag.right << row.more;
  }
}

TEST_F(ToolWorkTest, WindowListWritesOneLinePerNamedWindow) {
  desktop_.Find(2)->state = ToolShowState::Minimized;
  desktop_.Find(3)->state = ToolShowState::Maximized;
  desktop_.Add(5, "", "NoTitle", "C:\\x.exe", {0, 0, 1, 1});
  desktop_.Add(6, "No file", "Cls", "", {0, 0, 1, 1});
  desktop_.Add(7, "Off screen", "Far", "C:\\far.exe", {-1300, -20, -1000, 80});
  const fs::path list = folder_ / "temp" / "Tessera_WindowList.txt";
  EXPECT_EQ(Run("-l -n *Report -x 0"), (Log{"open " + TestFiles::PathText(list).ToUtf8()}));
  EXPECT_EQ(TestFiles::Bytes(list),
            "\xEF\xBB\xBF"
            "Name=[Untitled - Notepad] Class=[Notepad] File=[C:\\windows\\notepad.exe] "
            "Rectangle=[-x 100 -y 100 -w 400 -h 300]\r\n"
            "Name=[Quarterly Report] Class=[MainFrame] File=[C:\\apps\\sheet.exe] Rectangle=[Iconic]\r\n"
            "Name=[Report Draft] Class=[MainView] File=[C:\\apps\\writer.exe] Rectangle=[Zoomed]\r\n"
            "Name=[Monthly Report] Class=[Viewer] File=[C:\\apps\\viewer.exe] "
            "Rectangle=[-x 10 -y 20 -w 200 -h 200]\r\n"
            "Name=[Off screen] Class=[Far] File=[C:\\far.exe] Rectangle=[-x #1300 -y #20 -w 300 -h 100]\r\n");
}

// A hidden window is left alone by moves, but a restore finds it (and shows it again), and the
// window list names it, so a user can find it and bring it back.
TEST_F(ToolWorkTest, HiddenWindowsAreFoundOnlyToRestoreAndToList) {
  desktop_.Add(8, "Hidden Tool", "Stowed", "C:\\apps\\stowed.exe", {5, 6, 105, 56}).visible = false;
  EXPECT_EQ(Run("-n Hidden* -x 0"), (Log{"warning No window is found !"}));
  desktop_.log.clear();
  EXPECT_EQ(Run("-n Hidden* -a"), (Log{"restore 8"}));
  const fs::path list = folder_ / "temp" / "Tessera_WindowList.txt";
  desktop_.log.clear();
  (void)Run("-l");
  EXPECT_NE(TestFiles::Bytes(list).find("Name=[Hidden Tool] Class=[Stowed] File=[C:\\apps\\stowed.exe] "
                                        "Rectangle=[-x 5 -y 6 -w 100 -h 50]\r\n"),
            std::string::npos);
}

TEST_F(ToolWorkTest, WindowListFileThatCannotBeCreated) {
  RawString missing = TestFiles::PathText(folder_ / "no" / "such" / "folder");
  missing.AppendChar(static_cast<uint32_t>(fs::path::preferred_separator));
  settings_.tempFolder = missing;
  EXPECT_EQ(Run("-l"), (Log{"warning Cannot open temp file !"}));
  desktop_.log.clear();
  EXPECT_EQ(Run("-l -z"), Log{});
}

// ---- Data sections ----

TEST_F(ToolWorkTest, SectionsFailWithTheirOwnMessages) {
  struct Row {
    const char* data;
    const char* arguments;
    const char* expected;
  };
  const Row rows[] = {
      {nullptr, "-e", "warning No window is specified !"},
      {"[Common]\nProgram=Tessera\n", "-e", "warning No window is specified !"},
      {"[Data:Notes]\nClassName=Notepad\n", "-e Other", "warning No data section is matched !"},
      {"[Data:Gone]\nClassName=NoSuchClass\n", "-e", "warning No window is found !"},
      // A section without any pattern finds no window of its own.
      {"[Data:Bare]\nRectSpec=-x 0\n", "-e", "warning No window is found !"},
      // With a given window, a section applies only when the window matches it.
      {"[Data:Notes]\nClassName=Notepad\n", "-e -c Viewer", "warning No window is found !"},
  };
  for (const Row& row : rows) {
    fs::remove(folder_ / "data.ini");
    if (row.data) SetData(row.data);
    desktop_.log.clear();
    EXPECT_EQ(Run(row.arguments), Log{row.expected}) << row.arguments << " with " << (row.data ? row.data : "-");
  }
}

TEST_F(ToolWorkTest, OneApplicableSectionIsAppliedWithItsRectSpec) {
  SetData(
      "[Common]\nProgram=Tessera\n\n"
      "[Data:Notes]\nClassName=Notepad\nRectSpec=-x #8 -y 0 -w 1936 -h 1056\n\n"
      "[Data:Viewer]\nTitleName=\nTitleName=Nothing\nTitleName=Monthly*\nRectSpec=-X 10 -i\n\n"
      "[Data:Empty]\nClassName=Viewer\nRectSpec=\n");
  EXPECT_EQ(Run("-e Notes"), (Log{"move 1 -8 0 1928 1056"}));
  desktop_.log.clear();
  // Repeated title patterns are OR-ed; the section's own actions apply.
  EXPECT_EQ(Run("-e Vie*"), (Log{"move 4 20 20 220 220", "minimize 4"}));
  desktop_.log.clear();
  // Command-line geometry goes first, the section's is added after it.
  EXPECT_EQ(Run("-e notes -W 5 -y 9"), (Log{"move 1 -8 0 1928 1056"}));
  desktop_.log.clear();
  // An empty RectSpec adds nothing; the command line's geometry stays.
  EXPECT_EQ(Run("-e Empty -X #1"), (Log{"restore 4", "move 4 19 20 219 220"}));
}

TEST_F(ToolWorkTest, SeveralSectionsAreOfferedInTheMenu) {
  SetData(
      "[Data:Left]\nClassName=Viewer\nRectSpec=-x 0 -y 0\n"
      "[Data:Right]\nClassName=Viewer\nRectSpec=-x 640 -y 0 -w 640\n"
      "[Data:Elsewhere]\nClassName=NoSuchClass\n");
  EXPECT_EQ(Run("-e"), (Log{"menu"}));
  EXPECT_EQ(desktop_.offered, (std::vector<std::string>{"Data:Left 4 0 0 200 200", "Data:Right 4 640 0 1280 200"}));
  desktop_.log.clear();
  desktop_.chooseIndex = 1;
  EXPECT_EQ(Run("-e"), (Log{"menu", "move 4 640 0 1280 200"}));
}

TEST_F(ToolWorkTest, SectionsApplyToAPickedWindow) {
  SetData("[Data:Notes]\nClassName=Notepad\nRectSpec=-x 1\n[Data:Any]\nRectSpec=-y 2\n");
  desktop_.picked = 4;
  EXPECT_EQ(Run("-m -e"), (Log{"pick", "move 4 10 2 210 202"}));
}

TEST_F(ToolWorkTest, StoreWritesTheWindowAsADataSection) {
  SetData("[Common]\nProgram=Tessera\n\n[Data:Monthly Report]\nClassName=Old\n\n[Data:Viewer]\nX=1\n\n");
  Run("-c Viewer -s");
  Run("-c Viewer -S-");
  Run("-c Viewer -S+");
  Run("-c Viewer -S+");
  Run("-c Viewer -s-+");  // no such option: nothing stored
  Run("-c Viewer -s+");
  EXPECT_EQ(Data(),
            "[Common]\nProgram=Tessera\n\n"
            "[Data:Monthly Report]\nClassName=Viewer\nRectSpec=-x 10 -y 20 -w 200 -h 200\n\n"
            "[Data:Viewer]\nTitleName=Monthly Report\nClassName=Viewer\nFileName=C:\\apps\\viewer.exe\n"
            "RectSpec=-x 10 -y 20 -w 200 -h 200\n\n"
            "[Data:Monthly Report-1]\nTitleName=Monthly Report\nClassName=Viewer\nFileName=C:\\apps\\viewer.exe\n"
            "RectSpec=-x 10 -y 20 -w 200 -h 200\n\n"
            "[Data:Monthly Report-2]\nTitleName=Monthly Report\nClassName=Viewer\nFileName=C:\\apps\\viewer.exe\n"
            "RectSpec=-x 10 -y 20 -w 200 -h 200\n\n"
            "[Data:Monthly Report-3]\nClassName=Viewer\nRectSpec=-x 10 -y 20 -w 200 -h 200\n\n");
}

TEST_F(ToolWorkTest, StoredMinimisedWindowKeepsItsRestoredRectangle) {
  ToolTest::FakeWindow* window = desktop_.Find(4);
  window->state = ToolShowState::Minimized;
  window->rect = {-32000, -32000, -31840, -31973};
  window->restored = {-8, 0, 632, 480};
  Run("-c Viewer -s");
  EXPECT_EQ(Data(), "[Data:Monthly Report]\nClassName=Viewer\nRectSpec=-x #8 -y 0 -w 640 -h 480\n\n");
}

TEST_F(ToolWorkTest, StoredSectionAppliesAgainAndDeleteRemovesIt) {
  Run("-c Viewer -s");
  desktop_.Find(4)->rect = {500, 500, 600, 600};
  EXPECT_EQ(Run("-e \"Monthly Report\""), (Log{"move 4 10 20 210 220"}));
  desktop_.log.clear();
  EXPECT_EQ(Run("-d \"Monthly Report\" -x 0"), Log{});
  EXPECT_EQ(Data(), "");
  EXPECT_EQ(Run("-d \"Monthly Report\""), (Log{"warning No window is specified !"}));
}

}  // namespace
