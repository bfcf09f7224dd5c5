#include "job/run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "job/command.h"
#include "job/log.h"
#include "job/variable.h"
#include "tests/unit/job/fake_screen.h"
#include "tests/unit/job/log_text.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathOf;
using TestFiles::PathText;
using testing_support::FakeScreen;
using testing_support::Unstamped;

// Commands of these tests, registered once in the process-wide registry under words no script
// uses: "EngineTestSet" assigns its parameters as written, "EngineTestNote" notes the values of
// the variables its parameters name, "EngineTestFail" fails.
std::vector<std::string>& Notes() {
  static std::vector<std::string> notes;
  return notes;
}

class TestCommand : public JobCommandUnitEx {
 public:
  TestCommand(JobCommandList& list, const char* word) : JobCommandUnitEx(RawString::FromUtf8(word), list) {}
  bool Execute(const JobParamList& params, const JobTraceId&) override {
    if (name == RawString("EngineTestFail")) return false;
    for (const JobParamUnit& unit : params) {
      if (unit.Kind() != JobParamUnit::kText) continue;
      if (name == RawString("EngineTestSet")) {
        JobVariableList::Instance().Set(unit.name, static_cast<const JobParamText&>(unit).value);
      } else {
        Notes().push_back(unit.name.ToUtf8() + "=" + JobVariableList::Instance().ValueOf(unit.name).ToUtf8());
      }
    }
    return true;
  }
};

void RegisterTestCommands() {
  static const bool registered = [] {
    JobCommandList& registry = JobCommandList::Instance();
    for (const char* word : {"EngineTestSet", "EngineTestNote", "EngineTestFail"}) {
      registry.Register(std::make_unique<TestCommand>(registry, word));
    }
    return true;
  }();
  (void)registered;
}

JobParamList Script(const std::vector<std::string>& texts) {
  RawRangedTextList lines;
  // Numbered from 0 as the line file numbers them: the units' lines count from 1.
  for (const std::string& text : texts) lines.Add(RawString::FromUtf8(text), lines.Count());
  JobParamList list;
  EXPECT_TRUE(list.Parse(lines));
  return list;
}

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterTestCommands();
    Notes().clear();
  }
  FakeScreen screen_;
};

TEST_F(RunTest, KeyStateNamesTheModifiersHeldInTheirOrder) {
  const struct {
    const char* base;
    std::set<int> down;
    const char* state;
  } rows[] = {
      {"LButton", {}, "LButton"},
      {"LButton", {0xA1}, "LButton,RShift"},
      {"Drop", {0xA2, 0xA3}, "Drop,LControl,RControl"},
      {"RButton", {0xA3, 0xA2, 0xA1, 0xA0}, "RButton,LShift,RShift,LControl,RControl"},
      {"DClick", {0x10, 0x11, 0x1B}, "DClick"},  // the undivided Shift and Control keys do not count
  };
  for (const auto& row : rows) {
    screen_.down = row.down;
    JobRunRequest request;
    request.keyState = RawString::FromUtf8(row.base);
    request.script = Script({"EngineTestNote {", "KeyState=", "}"});
    EXPECT_TRUE(RunScript(request, "(Button)Test"));
    EXPECT_EQ(RunKeyState(RawString::FromUtf8(row.base)).ToUtf8(), row.state);
    EXPECT_EQ(JobVariableList::Instance().ValueOf("KeyState").ToUtf8(), row.state);
  }
}

TEST_F(RunTest, AHotKeysRunLeavesItsOwnModifiersOutOfTheKeyState) {
  // Ctrl and Alt of Ctrl+Alt+M are still down when the key runs its button.
  screen_.down = {0xA2, 0xA3, 0xA0};
  JobRunRequest request;
  request.keyState = "LButton";
  request.heldKeys = false;
  request.script = Script({"EngineTestNote {", "KeyState=", "}"});
  EXPECT_TRUE(RunScript(request, "(HotKey-Button)Test"));
  EXPECT_EQ(JobVariableList::Instance().ValueOf("KeyState").ToUtf8(), "LButton");
}

TEST_F(RunTest, AnIsolatedRunUndoesItsVariableChangesAndSetsTheDropTexts) {
  JobVariableList& variables = JobVariableList::Instance();
  variables.Set("EngineTestKept", "before");
  variables.Set("Drop", "old drop");
  JobRunRequest request;
  request.keyState = "Drop";
  request.drop = "C:\\a.txt";
  request.dropList = "\"C:\\a.txt\" \"C:\\b c.txt\"";
  request.isolate = true;
  request.script = Script({"EngineTestSet {", "EngineTestKept=changed", "EngineTestNew=made", "}", "EngineTestNote {",
                           "EngineTestKept=", "Drop=", "DropList=", "}"});
  EXPECT_TRUE(RunScript(request, "(Drop)Test"));
  EXPECT_EQ(Notes(), (std::vector<std::string>{"EngineTestKept=changed", "Drop=C:\\a.txt",
                                                "DropList=\"C:\\a.txt\" \"C:\\b c.txt\""}));
  EXPECT_EQ(variables.ValueOf("EngineTestKept"), RawString("before"));
  EXPECT_EQ(variables.ValueOf("Drop"), RawString("old drop"));
  EXPECT_EQ(variables.ValueOf("EngineTestNew"), RawString());
  EXPECT_EQ(variables.ValueOf("KeyState"), RawString("Drop"));
}

TEST_F(RunTest, ARunWithoutIsolationKeepsItsChangesAndLeavesTheDropTexts) {
  JobVariableList& variables = JobVariableList::Instance();
  variables.Set("EngineTestKept", "before");
  variables.Set("Drop", "old drop");
  JobRunRequest request;
  request.keyState = "LButton";
  request.drop = "ignored";
  request.script = Script({"EngineTestSet {", "EngineTestKept=changed", "}"});
  EXPECT_TRUE(RunScript(request, "(Selector)Test"));
  EXPECT_EQ(variables.ValueOf("EngineTestKept"), RawString("changed"));
  EXPECT_EQ(variables.ValueOf("Drop"), RawString("old drop"));
}

TEST_F(RunTest, TheAnchorGoesToTheDialogContext) {
  JobRunRequest request;
  request.anchor = {10, 20, 110, 44};
  EXPECT_TRUE(RunScript(request, "(Button)Test"));
  const RawRect& anchor = JobDialogContext::Instance().anchor;
  EXPECT_EQ((std::vector<int32_t>{anchor.left, anchor.top, anchor.right, anchor.bottom}),
            (std::vector<int32_t>{10, 20, 110, 44}));
}

TEST_F(RunTest, AFailingCommandEndsTheRunAsFailedAndIsolationStillUndoes) {
  JobVariableList::Instance().Set("EngineTestKept", "before");
  JobRunRequest request;
  request.isolate = true;
  request.script = Script({"EngineTestSet {", "EngineTestKept=changed", "}", "Shel", "EngineTestNote {",
                           "EngineTestKept=", "}"});
  EXPECT_FALSE(RunScript(request, "(Button)Test"));
  EXPECT_TRUE(Notes().empty());
  EXPECT_EQ(screen_.messages, std::vector<std::string>{"No such command !\r\n  [command] Shel\r\n  [line] 4"});
  EXPECT_EQ(JobVariableList::Instance().ValueOf("EngineTestKept"), RawString("before"));
}

// The run scope and the command-line action run, as the log shows them.
TEST_F(RunTest, RunScopesInTheLog) {
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) / "engine-log" / "run-scopes";
  fs::remove_all(dir);
  JobLogOptions options;
  options.folder = PathText(dir);
  JobLogServer& log = JobLogServer::Instance();
  ASSERT_TRUE(log.Start(options));
  log.SetDetail("U");
  const fs::path path = PathOf(log.FilePath());

  JobRunRequest request;
  request.keyState = "LButton";
  request.script = Script({"Shel"});
  EXPECT_FALSE(RunScript(request, "(Button)Editor"));
  // The action run leaves the anchor and "KeyState" as they were.
  JobVariableList::Instance().Set("KeyState", "unchanged");
  JobDialogContext::Instance().anchor = {1, 2, 3, 4};
  EXPECT_TRUE(RunCommandLineAction(Script({"EngineTestNote {", "KeyState=", "}"}), "Start"));
  EXPECT_EQ(JobDialogContext::Instance().anchor.right, 3);
  EXPECT_EQ(Notes(), std::vector<std::string>{"KeyState=unchanged"});
  log.Stop();
  log.SetDetail("UCPV");

  const std::string bytes = Bytes(path);
  const std::string records = Unstamped(bytes.substr(bytes.find("\r\n\r\n") + 4));
  EXPECT_EQ(records,
            "#Begin:Executor:<stamp>\r\n"
            "@Executor>User:<stamp>|(Button)Editor\r\n"
            "#Error:NoSuchCommand:<stamp>|$  [command] Shel [line] 1\r\n"
            "@Executor>User:<stamp>|$ Failed\r\n"
            "#End:Executor:<stamp>\r\n"
            "#Begin:Executor:<stamp>\r\n"
            "@Executor>User:<stamp>|(Comline-Action)Start\r\n"
            "@Executor>User:<stamp>|$ Success\r\n"
            "#End:Executor:<stamp>\r\n");
}

}  // namespace
}  // namespace JobLayer
