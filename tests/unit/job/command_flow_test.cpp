// Control-flow and definition commands, run as scripts parsed from text through the registry.
// Scripts record what they did in the variable "Trace" (see Note).
#include <gtest/gtest.h>

#include <string>

#include "job/command_flow.h"
#include "tests/unit/job/command_test_support.h"

namespace JobLayer {
namespace {

using testing_support::Holds;
using testing_support::Note;
using testing_support::ParseScript;

class FlowTest : public testing_support::ScriptTest {};

// ---- If and Else ----

struct ConditionRow {
  const char* condition;  // as written
  bool blockRuns;
};

TEST_F(FlowTest, IfRunsItsBlockOnlyForTrueConditionsAndElseOtherwise) {
  const ConditionRow rows[] = {
      {"false", false},  {"FaLsE", false}, {"$(Unset)", false}, {"0", true},
      {"True", true},    {"no", true},     {" false", true},    {"$(Y)", false},
  };
  for (const ConditionRow& row : rows) {
    SetUp();
    Variables().Set("Y", "FALSE");
    const std::string script = std::string("If {\nCondition=") + row.condition + "\n" + Note("then") +
                               "}\nElse {\n" + Note("else") + "}\n" + Note(";end");
    EXPECT_TRUE(Run(script)) << row.condition;
    EXPECT_EQ(Value("Trace"), row.blockRuns ? "then;end" : "else;end") << row.condition;
    EXPECT_EQ(OnlyError(), "") << row.condition;
  }
}

TEST_F(FlowTest, ElseFollowsTheLastIfAnywhereAndLeavesTheFlag) {
  struct Row {
    const char* name;
    std::string script;
    std::string trace;
  } rows[] = {
      {"no If before", "Else {\n" + Note("else") + "}\n" + Note("end"), "end"},
      {"two Else after a false If", "If {\nCondition=false\n}\nElse {\n" + Note("1") + "}\nElse {\n" + Note("2") + "}\n",
       "12"},
      {"Else not directly after the If", "If {\nCondition=false\n}\n" + Note("x") + "Else {\n" + Note("e") + "}\n",
       "xe"},
      // The inner If is false, but the outer If clears the flag after its block.
      {"nested false If", "If {\nCondition=1\nIf {\nCondition=false\n}\n}\nElse {\n" + Note("e") + "}\n" + Note("end"),
       "end"},
  };
  for (const Row& row : rows) {
    SetUp();
    EXPECT_TRUE(Run(row.script)) << row.name;
    EXPECT_EQ(Value("Trace"), row.trace) << row.name;
  }
}

TEST_F(FlowTest, IfWithAFailingBlockStopsTheRunAndClearsTheElseFlag) {
  EXPECT_FALSE(Run("If {\nCondition=false\n}\nIf {\nCondition=yes\nAbortExecution\n}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "");
  EXPECT_EQ(testing_support::Commands().flags & 0x0002, 0);
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(FlowTest, IfWithoutConditionOrWithABrokenOneFails) {
  EXPECT_FALSE(Run("If {\n" + Note("then") + "}\n" + Note("after")));
  const std::string missing = OnlyError();
  EXPECT_TRUE(Holds(missing, "[command] If")) << missing;
  EXPECT_TRUE(Holds(missing, "[parameter] Condition")) << missing;
  EXPECT_EQ(Value("Trace"), "");

  // An expansion that fails leaves the flags as they were.
  SetUp();
  testing_support::Commands().flags = 0x0002;
  EXPECT_FALSE(Run("If {\nCondition=$(Unclosed\n}\n"));
  EXPECT_EQ(testing_support::Commands().flags, 0x0002);
  EXPECT_EQ(screen_.errors.size(), 1u);
}

// ---- For ----

struct ForRow {
  const char* name;
  const char* begin;
  const char* end;
  const char* add;
  int escapeFromPoll;  // 0: Escape never held
  bool result;
  const char* trace;
  const char* counter;
  const char* error;  // a part of the one error shown, or "" for none
};

TEST_F(FlowTest, ForCountsFromBeginByAddUntilTheCounterEqualsEnd) {
  const ForRow rows[] = {
      {"begin equals end", "3", "3", "1", 0, true, "", "3", ""},
      {"counting up", "1", "4", "1", 0, true, "1;2;3;", "4", ""},
      {"counting down", "10", "0", "-5", 0, true, "10;5;", "0", ""},
      {"prefixed numbers", "0x10", "0b10010", "+1", 0, true, "16;17;", "18", ""},
      {"past the end, until Escape", "1", "4", "2", 3, false, "1;3;5;", "5", "[command] For"},
      // 32-bit counters wrap from the largest value to the smallest.
      {"wrapping", "2147483646", "-2147483647", "1", 0, true, "2147483646;2147483647;-2147483648;",
       "-2147483647", ""},
      {"begin wider than 32 bits wraps", "4294967297", "3", "1", 0, true, "1;2;", "3", ""},
      {"begin not a number", "abc", "3", "1", 0, false, "", "", "[parameter] Begin"},
      {"end not a number", "1", "x1", "1", 0, false, "", "1", "[value] x1"},
      {"add not a number", "1", "3", "1.5", 0, false, "1;", "1", "[parameter] Add"},
      {"begin empty after expansion", "$(Unset)", "3", "1", 0, false, "", "", "[value] $(Unset)"},
  };
  for (const ForRow& row : rows) {
    SetUp();
    screen_.escapeFromPoll = row.escapeFromPoll;
    const std::string script = std::string("For {\nBegin=") + row.begin + "\nEnd=" + row.end + "\nAdd=" + row.add +
                               "\n" + Note("$(Counter);") + "}\n";
    EXPECT_EQ(Run(script), row.result) << row.name;
    EXPECT_EQ(Value("Trace"), row.trace) << row.name;
    EXPECT_EQ(Value("Counter"), row.counter) << row.name;
    const std::string error = OnlyError();
    if (row.error[0] == '\0') {
      EXPECT_EQ(error, "") << row.name;
    } else {
      EXPECT_TRUE(Holds(error, row.error)) << row.name << ": " << error;
    }
  }
}

TEST_F(FlowTest, ForReadsItsNumbersOnceAtTheStart) {
  Variables().Set("N", "3");
  EXPECT_TRUE(Run("For {\nBegin=0\nEnd=$(N)\nAdd=1\n" + Note("$(Counter)") + "Define {\nN=1\n}\n}\n"));
  EXPECT_EQ(Value("Trace"), "012");
}

// ---- Foreach ----

TEST_F(FlowTest, ForeachSplitsItsListAtCommasAndQuotes) {
  const struct {
    const char* list;
    const char* trace;
  } rows[] = {
      {"a,\"b,c\",d", "[a][b,c][d]"},
      {"\"x\" \"y\"", "[x]"},
      {"a,,b", "[a][][b]"},
      {"a,", "[a]"},
      {",", "[]"},
      {" a , b", "[ a ][ b]"},
      {"\"open,ended", "[open,ended]"},
      {"\"q\"tail,z", "[q][z]"},
      {"one", "[one]"},
  };
  for (const auto& row : rows) {
    SetUp();
    EXPECT_TRUE(Run(std::string("Foreach {\nParameter=") + row.list + "\n" + Note("[$(Each)]") + "}\n")) << row.list;
    EXPECT_EQ(Value("Trace"), row.trace) << row.list;
  }
}

TEST_F(FlowTest, ForeachNeedsAListAndStopsOnEscape) {
  EXPECT_FALSE(Run("Foreach {\n" + Note("x") + "}\n"));
  EXPECT_TRUE(Holds(OnlyError(), "[parameter] Parameter"));

  SetUp();
  screen_.escapeFromPoll = 2;
  EXPECT_FALSE(Run("Foreach {\nParameter=a,b,c,d\n" + Note("$(Each)") + "}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "ab");
  EXPECT_TRUE(Holds(OnlyError(), "[command] Foreach"));
}

// ---- While and Break ----

TEST_F(FlowTest, BreakInsideAnIfEndsTheWhileWithSuccess) {
  EXPECT_TRUE(Run("While {\nCondition=True\n" + Note("pass;") + "If {\nCondition=$(Stop)\nBreak\n}\n" +
                  "Define {\nStop=yes\n}\n}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "pass;pass;after");
  EXPECT_EQ(testing_support::Commands().flags & 0x0001, 0);
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(FlowTest, WhileChecksItsConditionBeforeEachPass) {
  Variables().Set("Stop", "True");
  EXPECT_TRUE(Run("While {\nCondition=$(Stop)\n" + Note("pass") + "Define {\nStop=false\n}\n}\n"));
  EXPECT_EQ(Value("Trace"), "pass");
}

TEST_F(FlowTest, WhileThatNeverEndsStopsOnEscapeOrAnInterrupt) {
  screen_.escapeFromPoll = 4;
  EXPECT_FALSE(Run("While {\nCondition=True\n" + Note("x") + "}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "xxxx");
  const std::string error = OnlyError();
  EXPECT_TRUE(Holds(error, "[command] While")) << error;

  // An interrupt of the console stops it the same way, and is taken by the loop.
  SetUp();
  RequestAbort();
  EXPECT_FALSE(Run("While {\nCondition=True\n" + Note("y") + "}\n"));
  EXPECT_EQ(Value("Trace"), "y");
  EXPECT_TRUE(Holds(OnlyError(), "[command] While"));
  EXPECT_FALSE(IsAbortRequested());
}

TEST_F(FlowTest, WhileConditionThatIsEmptyAtTheStartIsAnError) {
  EXPECT_FALSE(Run("While {\nCondition=$(Unset)\n" + Note("x") + "}\n"));
  EXPECT_TRUE(Holds(OnlyError(), "[value] $(Unset)"));
  EXPECT_EQ(Value("Trace"), "");
}

TEST_F(FlowTest, BreakEndsOnlyTheInnermostLoop) {
  EXPECT_TRUE(Run("For {\nBegin=0\nEnd=2\nAdd=1\nForeach {\nParameter=a,b\n" + Note("$(Counter)$(Each);") +
                  "Break\n}\n}\n"));
  EXPECT_EQ(Value("Trace"), "0a;1a;");
}

TEST_F(FlowTest, BreakOutsideALoopFailsAndTheNextLoopStartsClean) {
  EXPECT_FALSE(Run("Break\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "");
  EXPECT_EQ(testing_support::Commands().flags & 0x0001, 0x0001);
  EXPECT_EQ(OnlyError(), "");
  // The stale flag must not turn a real failure inside the next loop into a break.
  EXPECT_FALSE(Run("Foreach {\nParameter=a\nAbortExecution\n}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "");
}

// ---- Define and Expand ----

TEST_F(FlowTest, DefineStoresValuesAsWritten) {
  Variables().Set("Y", "one");
  EXPECT_TRUE(Run("Define {\nX=$(Y)\nIgnored {\nZ=1\n}\n}\nExpand {\nV=$(X)\nDefine {\nR1=$(V)\n}\n}\n"
                  "Define {\nY=two\n}\nExpand {\nV=$(X)\nDefine {\nR2=$(V)\n}\n}\n"));
  EXPECT_EQ(Value("X"), "$(Y)");
  EXPECT_EQ(Value("R1"), "one");
  EXPECT_EQ(Value("R2"), "two");
  EXPECT_EQ(Variables().Find("Z"), nullptr);
}

TEST_F(FlowTest, ExpandReplacesTheFirstReferenceInEachValue) {
  Variables().Set("Doc", "doc.txt");
  EXPECT_TRUE(Run("Expand {\nF=$(Doc)\nDefine {\nP=\"$(F)\" \"$(F)\"\nA=$(F)\n}\n}\n"));
  EXPECT_EQ(Value("P"), "\"doc.txt\" \"$(F)\"");
  EXPECT_EQ(Value("A"), "doc.txt");
}

TEST_F(FlowTest, ExpandEvaluatesDefinitionsAfreshForEachCommandInOrder) {
  Variables().Set("N", "1");
  EXPECT_TRUE(Run("Expand {\nDefine {\nB=$(V)\n}\nV=$(N)\nDefine {\nA=$(V)\n}\nDefine {\nN=2\n}\n"
                  "Define {\nX=$(V)\n}\n}\n"));
  EXPECT_EQ(Value("B"), "$(V)");  // before the definition
  EXPECT_EQ(Value("A"), "1");
  EXPECT_EQ(Value("X"), "2");
}

TEST_F(FlowTest, ExpandLeavesTheScriptUnchanged) {
  const JobParamList script = ParseScript("Expand {\nV=new\nDefine {\nA=$(V)\n}\n}\n");
  ASSERT_TRUE(testing_support::Commands().Execute(script, JobTraceId::Executor()));
  RawLayer::RawStringList lines;
  script.WriteLines(lines, 0);
  std::string text;
  for (const RawString& line : lines) text += line.ToUtf8() + "\n";
  EXPECT_EQ(text, "Expand {\n  V=new\n  Define {\n    A=$(V)\n  }\n}\n");
}

TEST_F(FlowTest, ExpandStopsAtTheFirstFailure) {
  EXPECT_FALSE(Run("Expand {\nV=$(Broken\nDefine {\nA=$(V)\n}\n}\n" + Note("after")));
  EXPECT_EQ(Value("A"), "");
  EXPECT_EQ(Value("Trace"), "");

  SetUp();
  EXPECT_FALSE(Run("Expand {\n" + Note("1") + "Shel\n" + Note("2") + "}\n"));
  EXPECT_EQ(Value("Trace"), "1");
  EXPECT_TRUE(Holds(OnlyError(), "[command] Shel"));
}

// ---- Action ----

TEST_F(FlowTest, ActionPassesItsParametersAsGlobalVariables) {
  AddAction("Go", "Expand {\nV=$(Mode)\nDefine {\nSeen=$(V)\n}\n}\n");
  EXPECT_TRUE(Run("Action {\nName=Go\nMode=fast\nUnused {\n}\n}\n" + Note("after")));
  EXPECT_EQ(Value("Seen"), "fast");
  EXPECT_EQ(Value("Mode"), "fast");
  EXPECT_EQ(Value("Trace"), "after");
  EXPECT_EQ(Variables().Find("Name"), nullptr);
}

TEST_F(FlowTest, ActionGivesTheResultOfItsScript) {
  AddAction("Fails", "AbortExecution\n");
  AddAction("go", Note("lower"));
  EXPECT_FALSE(Run("Action {\nName=Fails\n}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "");
  EXPECT_EQ(OnlyError(), "");

  // Names compare exactly.
  EXPECT_FALSE(Run("Action {\nName=Go\n}\n"));
  const std::string error = OnlyError();
  EXPECT_TRUE(Holds(error, "[command] Action\r\n  [parameter] Name\r\n  [value] Go")) << error;

  SetUp();
  AddAction("go", Note("lower"));
  EXPECT_FALSE(Run("Action {\nMode=x\n}\n"));
  EXPECT_TRUE(Holds(OnlyError(), "[parameter] Name"));
  EXPECT_EQ(Value("Mode"), "");
}

TEST_F(FlowTest, ActionThatCallsItselfEndsTheRunWithOneError) {
  // Directly: every call notes one level before it calls again.
  AddAction("Self", Note("x") + "Action {\nName=Self\n}\n");
  EXPECT_FALSE(Run("Action {\nName=Self\n}\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), std::string(JobCommandAction::kMaxActionDepth, 'x'));
  const std::string error = OnlyError();
  EXPECT_TRUE(Holds(error, "[command] Action")) << error;
  EXPECT_TRUE(Holds(error, "[value] Self")) << error;

  // Through others, and nested in loops and conditions; the depth is free again afterwards.
  SetUp();
  AddAction("Ping", "If {\nCondition=1\nForeach {\nParameter=a\nAction {\nName=Pong\n}\n}\n}\n");
  AddAction("Pong", "Expand {\nV=x\nAction {\nName=Ping\n}\n}\n");
  EXPECT_FALSE(Run("Action {\nName=Ping\n}\n"));
  EXPECT_EQ(screen_.errors.size(), 1u);
  screen_.errors.clear();
  AddAction("Leaf", Note("leaf"));
  EXPECT_TRUE(Run("Action {\nName=Leaf\n}\n"));
  EXPECT_EQ(Value("Trace"), "leaf");
}

// ---- AbortExecution, QuitLauncher, RebootLauncher ----

TEST_F(FlowTest, AbortEndsTheRunSilently) {
  EXPECT_FALSE(Run(Note("before") + "AbortExecution\n" + Note("after")));
  EXPECT_EQ(Value("Trace"), "before");
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(FlowTest, QuitAndRebootPostToTheMainWindowOnlyWhenItExists) {
  EXPECT_TRUE(Run("QuitLauncher\nRebootLauncher\n" + Note("after")));
  EXPECT_TRUE(screen_.posts.empty());
  EXPECT_EQ(Value("Trace"), "after");

  int window = 0;
  JobDialogContext::Instance().mainWindow = &window;
  EXPECT_TRUE(Run("RebootLauncher\nQuitLauncher\n" + Note("!")));
  ASSERT_EQ(screen_.posts.size(), 2u);
  EXPECT_EQ(screen_.posts[0], JobScreen::MainWindowRequest::Restart);
  EXPECT_EQ(screen_.posts[1], JobScreen::MainWindowRequest::Close);
  EXPECT_EQ(Value("Trace"), "after!");
}

// ---- The launcher's registry ----

TEST(CommandRegistryTest, EveryCommandOfTheFamilyIsRegisteredUnderItsExactWord) {
  for (const char* word : {"Define", "Expand", "Action", "Shell", "OpenFolder", "OpenFile", "If", "Else", "While",
                           "For", "Foreach", "Break", "ToClipboard", "PopupWindow", "QuitLauncher",
                           "AbortExecution", "RebootLauncher"}) {
    const JobCommandUnit* command = JobCommandList::Instance().Find(RawString::FromUtf8(word));
    ASSERT_NE(command, nullptr) << word;
    EXPECT_EQ(command->name, RawString::FromUtf8(word));
  }
  EXPECT_EQ(JobCommandList::Instance().Find("if"), nullptr);
  EXPECT_EQ(JobCommandList::Instance().Find("Abort"), nullptr);
}

}  // namespace
}  // namespace JobLayer
