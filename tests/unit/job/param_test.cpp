#include "job/param.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "job/screen.h"
#include "job/variable.h"
#include "tests/unit/job/fake_screen.h"

namespace JobLayer {
namespace {

using RawLayer::RawRangedTextUnit;
using testing_support::FakeScreen;

RawRangedTextList Lines(const std::vector<std::string>& texts) {
  RawRangedTextList lines;
  int32_t number = 1;
  for (const std::string& text : texts) lines.Add(RawString::FromUtf8(text), number++);
  return lines;
}

// The tree in a form that compares whole: T(name|value) for text units, C(name){...} for
// command units.
std::string Describe(const JobParamList& list) {
  std::string out;
  for (const JobParamUnit& unit : list) {
    if (unit.Kind() == JobParamUnit::kText) {
      out += "T(" + unit.name.ToUtf8() + "|" + static_cast<const JobParamText&>(unit).value.ToUtf8() + ")";
    } else if (unit.Kind() == JobParamUnit::kCommand) {
      out += "C(" + unit.name.ToUtf8() + "){" + Describe(static_cast<const JobParamCommand&>(unit).params) + "}";
    } else {
      out += "?";
    }
  }
  return out;
}

std::vector<std::string> Written(const JobParamList& list) {
  RawStringList lines;
  list.WriteLines(lines, 0);
  std::vector<std::string> out;
  for (const RawString& line : lines) out.push_back(line.ToUtf8());
  return out;
}

// Reads written lines back as the profile reader hands them over: trimmed at both ends, empty
// lines gone.
RawRangedTextList Reread(const std::vector<std::string>& written) {
  RawRangedTextList lines;
  for (RawRangedTextUnit line : Lines(written)) {
    line.TrimRange(RawLayer::kBlanks);
    if (line.end > line.begin) lines.Add(line);
  }
  return lines;
}

struct ParseRow {
  const char* what;
  std::vector<std::string> lines;
  bool ok;
  std::string tree;
};

TEST(JobParamParse, TextForms) {
  const ParseRow rows[] = {
      {"blanks around the name go, blanks after = stay", {"Name = Value"}, true, "T(Name| Value)"},
      {"the first = splits", {"A=b=c"}, true, "T(A|b=c)"},
      {"an empty name", {"=x"}, true, "T(|x)"},
      {"= before { makes a text unit", {"Condition=$(Equal:a:{)"}, true, "T(Condition|$(Equal:a:{))"},
      {"a block with two units",
       {"Menu {", "Item=1", "Sub", "}"}, true, "C(Menu){T(Item|1)C(Sub){}}"},
      {"text after { and after } is ignored", {"Menu { ignored", "x=1", "} trailing text"}, true,
       "C(Menu){T(x|1)}"},
      {"a command without braces", {"Else"}, true, "C(Else){}"},
      {"nested blocks", {"If {", "Condition=1", "While {", "Break", "}", "}", "Quit"}, true,
       "C(If){T(Condition|1)C(While){C(Break){}}}C(Quit){}"},
      {"a lone } fails", {"}"}, false, ""},
      {"a stray } keeps what came before and reads no further", {"a=1", "}", "b=2"}, false, "T(a|1)"},
      {"an unclosed block is dropped, earlier units stay", {"a=1", "Shell {", "Command=x"}, false, "T(a|1)"},
      {"an inner closed block inside an unclosed one is dropped too",
       {"a=1", "Outer {", "Inner {", "}", "b=2"}, false, "T(a|1)"},
      {"no lines", {}, true, ""},
      {"multi-byte characters stay whole", {"N\xC3\xA4me=\xE6\x97\xA5{", "\xE6\x97\xA5 {", "}"}, true,
       "T(N\xC3\xA4me|\xE6\x97\xA5{)C(\xE6\x97\xA5){}"},
  };
  for (const ParseRow& row : rows) {
    JobParamList list;
    EXPECT_EQ(list.Parse(Lines(row.lines)), row.ok) << row.what;
    EXPECT_EQ(Describe(list), row.tree) << row.what;
  }
}

TEST(JobParamParse, ReadsOnlyTheUsefulRangeOfALine) {
  RawRangedTextList lines = Lines({"   Shell {  ", "\tCommand=editor.exe  "});
  for (RawRangedTextUnit& line : lines) line.TrimRange(RawLayer::kBlanks);
  lines.Add(RawString("xx}yy"), 3).begin = 2;
  JobParamList list;
  EXPECT_TRUE(list.Parse(lines));
  EXPECT_EQ(Describe(list), "C(Shell){T(Command|editor.exe)}");
}

TEST(JobParamParse, ParsingAgainStartsFromAnEmptyList) {
  JobParamList list;
  ASSERT_TRUE(list.Parse(Lines({"a=1"})));
  ASSERT_TRUE(list.Parse(Lines({"b=2"})));
  EXPECT_EQ(Describe(list), "T(b|2)");
}

TEST(JobParamLookup, FirstUnitOfEitherKindCountsAndNamesAreExact) {
  JobParamList list;
  ASSERT_TRUE(list.Parse(Lines({"Command=first", "Command=second", "command=lower", "Block {", "}",
                                "Block=text", "Empty="})));
  EXPECT_EQ(list.GetValue("Command"), RawString("first"));
  EXPECT_EQ(list.GetValue("command"), RawString("lower"));
  EXPECT_EQ(list.GetValue("COMMAND"), RawString());
  EXPECT_EQ(list.GetValue("Comman"), RawString());
  // A command unit of that name hides a later text unit.
  EXPECT_EQ(list.GetValue("Block"), RawString());
  ASSERT_NE(list.Find("Block"), nullptr);
  EXPECT_EQ(list.Find("Block")->Kind(), JobParamUnit::kCommand);
  EXPECT_EQ(list.GetValue("Empty"), RawString());
  EXPECT_EQ(list.Find("Missing"), nullptr);
}

TEST(JobParamWrite, TextFormAndSummary) {
  JobParamList list;
  ASSERT_TRUE(list.Parse(Lines({"Shell {", "Command=editor.exe", "Parameter=$(File)", "Inner {", "x=1", "}",
                                "Empty {", "}", "}", "QuitLauncher"})));
  EXPECT_EQ(Written(list), (std::vector<std::string>{"Shell {", "  Command=editor.exe", "  Parameter=$(File)",
                                                     "  Inner {", "    x=1", "  }", "  Empty", "}",
                                                     "QuitLauncher"}));
  const JobParamCommand& shell = static_cast<const JobParamCommand&>(*list.begin());
  RawString summary("[Shell]");
  shell.params.AppendSummary(summary);
  EXPECT_EQ(summary, RawString("[Shell][Command=editor.exe][Parameter=$(File)][Inner][Empty]"));
}

TEST(JobParamWrite, WrittenLinesReadBackToTheSameTree) {
  const std::vector<std::vector<std::string>> bodies = {
      {"Shell {", "Command=editor.exe", "Parameter= $(File)", "}", "QuitLauncher"},
      {"If {", "Condition=$(Equal:a:{)", "While {", "For {", "Begin=1", "End=4", "}", "}", "}", "Else {",
       "=empty name", "}"},
      {"A=b=c", "Menu {", "MenuItem {", "Caption=x", "Shell {", "Command=1", "}", "}", "Separator", "}"},
      {"a=1", "{", "}", "b=2"},  // a command without name or block
  };
  for (const auto& body : bodies) {
    JobParamList first;
    ASSERT_TRUE(first.Parse(Lines(body)));
    JobParamList second;
    ASSERT_TRUE(second.Parse(Reread(Written(first))));
    EXPECT_EQ(Describe(second), Describe(first));
    EXPECT_EQ(Written(second), Written(first));
  }
}

TEST(JobParamWrite, BlanksAtTheEndOfAValueAreLostOnReading) {
  JobParamList list;
  list.AddText("Key", "value  ");
  JobParamList again;
  ASSERT_TRUE(again.Parse(Reread(Written(list))));
  EXPECT_EQ(Describe(again), "T(Key|value)");
}

TEST(JobParamReplace, FirstOccurrenceInEveryValueNamesUntouched) {
  JobParamList list;
  ASSERT_TRUE(list.Parse(Lines({"$(X)=$(X)+$(X)", "Other=no", "Shell {", "Parameter=\"$(X)\" \"$(X)\"", "Deeper {",
                                "v=$(X)", "}", "}"})));
  list.ReplaceText("$(X)", "1");
  EXPECT_EQ(Describe(list), "T($(X)|1+$(X))T(Other|no)C(Shell){T(Parameter|\"1\" \"$(X)\")C(Deeper){T(v|1)}}");
  list.ReplaceText("", "never");
  EXPECT_EQ(Describe(list), "T($(X)|1+$(X))T(Other|no)C(Shell){T(Parameter|\"1\" \"$(X)\")C(Deeper){T(v|1)}}");
}

TEST(JobParamReplace, EveryOccurrenceSkipsWhatTheReplacementPutIn) {
  JobParamList list;
  ASSERT_TRUE(list.Parse(Lines({"$(X)=$(X)+$(X)$(X)", "Shell {", "p=$(X)x$(X)", "}", "q=$(X"})));
  list.ReplaceText("$(X)", "<$(X)>", JobReplace::Every);
  EXPECT_EQ(Describe(list), "T($(X)|<$(X)>+<$(X)><$(X)>)C(Shell){T(p|<$(X)>x<$(X)>)}T(q|$(X)");
}

TEST(JobParamSharing, CopiesShareUntilOneSideChanges) {
  JobParamList original;
  ASSERT_TRUE(original.Parse(Lines({"a=$(X)", "Shell {", "p=$(X)", "}"})));
  const std::string before = Describe(original);

  JobParamList copy = original;
  EXPECT_TRUE(copy.SharesBodyWith(original));
  copy.ReplaceText("$(X)", "y");
  EXPECT_FALSE(copy.SharesBodyWith(original));
  EXPECT_EQ(Describe(original), before);
  EXPECT_EQ(Describe(copy), "T(a|y)C(Shell){T(p|y)}");

  JobParamList appended = original;
  appended.AddText("b", "2");
  EXPECT_EQ(Describe(original), before);
  EXPECT_EQ(appended.Count(), 3);

  JobParamList cleared = original;
  cleared.Clear();
  EXPECT_TRUE(cleared.IsEmpty());
  EXPECT_EQ(Describe(original), before);
}

TEST(JobParamSharing, ACloneSharesItsBlockUntilChanged) {
  JobParamList block;
  block.AddText("p", "$(X)");
  JobParamList list;
  list.AddCommand("Shell", block);
  const JobParamCommand& added = static_cast<const JobParamCommand&>(*list.begin());
  EXPECT_TRUE(added.params.SharesBodyWith(block));

  std::unique_ptr<JobParamUnit> clone = added.Clone();
  auto& cloned = static_cast<JobParamCommand&>(*clone);
  EXPECT_TRUE(cloned.params.SharesBodyWith(block));
  cloned.ReplaceText("$(X)", "1", JobReplace::First);
  EXPECT_FALSE(cloned.params.SharesBodyWith(block));
  EXPECT_EQ(block.GetValue("p"), RawString("$(X)"));
  EXPECT_EQ(added.params.GetValue("p"), RawString("$(X)"));
  EXPECT_EQ(cloned.params.GetValue("p"), RawString("1"));
}

TEST(JobParamSharing, TwoThreadsChangeTheirCopiesOfOneBody) {
  const int64_t nodes = RawLayer::RawListBody::LiveNodes();
  {
    JobParamList original;
    ASSERT_TRUE(original.Parse(Lines({"a=$(X)", "Shell {", "p=$(X)", "Inner {", "q=$(X)", "}", "}"})));
    const std::string before = Describe(original);
    constexpr int kRounds = 2000;
    std::vector<std::string> results(2);
    auto work = [&](int id) {
      const RawString mark = RawString::FromUtf8(std::to_string(id));
      for (int round = 0; round < kRounds; ++round) {
        JobParamList mine = original;
        JobParamList second = mine;  // a third holder of the same body
        mine.ReplaceText("$(X)", mark);
        mine.AddText("n", mark);
        if (round + 1 == kRounds) results[static_cast<size_t>(id)] = Describe(mine) + "/" + Describe(second);
      }
    };
    std::thread one(work, 0);
    std::thread two(work, 1);
    one.join();
    two.join();
    EXPECT_EQ(Describe(original), before);
    EXPECT_EQ(results[0], "T(a|0)C(Shell){T(p|0)C(Inner){T(q|0)}}T(n|0)/" + before);
    EXPECT_EQ(results[1], "T(a|1)C(Shell){T(p|1)C(Inner){T(q|1)}}T(n|1)/" + before);
  }
  EXPECT_EQ(RawLayer::RawListBody::LiveNodes(), nodes);
}

TEST(JobParamRequired, MissingEmptyAndExpandedValues) {
  JobVariableList::Instance().Set("EngineParamSeven", "7");
  const struct {
    const char* what;
    std::vector<std::string> block;
    const char* result;
    const char* message;
  } rows[] = {
      {"absent", {"Other=1"}, "", "Required parameter is missing !\r\n  [command] For\r\n  [parameter] Begin"},
      {"written empty", {"Begin="}, "", "Required parameter is missing !\r\n  [command] For\r\n  [parameter] Begin"},
      {"a command unit of that name", {"Begin {", "x=1", "}", "Begin=1"}, "",
       "Required parameter is missing !\r\n  [command] For\r\n  [parameter] Begin"},
      {"expands to nothing", {"Begin=$(EngineParamUnknown)"}, "",
       "Required parameter is empty !\r\n  [command] For\r\n  [parameter] Begin\r\n  [value] $(EngineParamUnknown)"},
      {"expanded", {"Begin=$(EngineParamSeven)0", "Begin=2"}, "70", nullptr},
      {"a blank is a value", {"Begin= "}, " ", nullptr},
  };
  for (const auto& row : rows) {
    FakeScreen screen;
    JobParamList block;
    ASSERT_TRUE(block.Parse(Lines(row.block)));
    EXPECT_EQ(GetRequiredParameter(block, "Begin", "For", JobTraceId::Executor()).ToUtf8(), row.result) << row.what;
    const std::vector<std::string> expected =
        row.message != nullptr ? std::vector<std::string>{row.message} : std::vector<std::string>{};
    EXPECT_EQ(screen.messages, expected) << row.what;
  }
}

TEST(JobParamRequired, AFailedExpansionIsReportedOnceByTheExpanderAndRecorded) {
  FakeScreen screen;
  // Each case may run in a process of its own, so it sets what it reads.
  JobVariableList::Instance().Set("EngineParamSeven", "7");
  JobParamList block;
  block.AddText("Begin", "$(Broken");
  EXPECT_EQ(GetRequiredParameter(block, "Begin", "For", JobTraceId::Executor()), RawString());
  ASSERT_EQ(screen.messages.size(), 1u);
  EXPECT_EQ(screen.messages[0].rfind("Unbalanced variable block !", 0), 0u) << screen.messages[0];
  EXPECT_EQ(JobVariableList::Instance().LastState(), VariableInvalid);

  RawString text("left over");
  EXPECT_FALSE(ExpandParameter(block, "Begin", JobTraceId::Executor(), text));
  EXPECT_EQ(text, RawString());
  block.AddText("Other", "$(EngineParamSeven)");
  EXPECT_TRUE(ExpandParameter(block, "Other", JobTraceId::Executor(), text));
  EXPECT_EQ(text, RawString("7"));
  EXPECT_EQ(JobVariableList::Instance().LastState(), VariableSuccess);
  EXPECT_TRUE(ExpandParameter(block, "Absent", JobTraceId::Executor(), text));
  EXPECT_EQ(text, RawString());
}

// Faults that bit us.
TEST(JobParamFaults, DeepNestingIsRefusedWithoutExhaustingTheStack) {
  constexpr int kDepth = 100000;
  std::vector<std::string> body = {"kept=1"};
  for (int i = 0; i < kDepth; ++i) body.push_back("Block {");
  for (int i = 0; i < kDepth; ++i) body.push_back("}");
  JobParamList list;
  EXPECT_FALSE(list.Parse(Lines(body)));
  EXPECT_EQ(Describe(list), "T(kept|1)");

  // The deepest nesting accepted still parses, writes and reads back.
  std::vector<std::string> deepest;
  for (int i = 0; i < JobParamList::kMaxBlockDepth; ++i) deepest.push_back("B {");
  deepest.push_back("x=1");
  for (int i = 0; i < JobParamList::kMaxBlockDepth; ++i) deepest.push_back("}");
  ASSERT_TRUE(list.Parse(Lines(deepest)));
  JobParamList again;
  ASSERT_TRUE(again.Parse(Reread(Written(list))));
  EXPECT_EQ(Describe(again), Describe(list));
}

}  // namespace
}  // namespace JobLayer
