#include "job/profile_check.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/command.h"
#include "job/functions.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::PathText;
using TestFiles::Put;

class ProfileCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestFiles::ScratchFolder("profile_check");
  }

  // Each diagnostic as "LINE error|warning TEXT", in report order.
  std::vector<std::string> Check(const std::string& bytes) {
    const fs::path path = folder_ / "profile.ini";
    Put(path, bytes);
    return CheckPath(path);
  }
  std::vector<std::string> CheckPath(const fs::path& path) {
    JobDiagnostics out;
    JobProfileChecker checker(out);
    checker.CheckLauncherProfile(PathText(path));
    errors_ = out.Errors();
    std::vector<std::string> lines;
    for (const JobDiagnostic& item : out.Sorted()) {
      lines.push_back(std::to_string(item.line) + (item.error ? " error " : " warning ") + item.text.ToUtf8());
    }
    return lines;
  }

  fs::path folder_;
  int32_t errors_ = 0;
};

// One line that must be reported, by its start; `text` is a part of the message.
struct Expected {
  int line;
  const char* kind;
  const char* text;
};

void ExpectReported(const std::vector<std::string>& got, const std::vector<Expected>& expected) {
  ASSERT_EQ(got.size(), expected.size()) << ::testing::PrintToString(got);
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::string head = std::to_string(expected[i].line) + " " + expected[i].kind + " ";
    EXPECT_EQ(got[i].rfind(head, 0), 0u) << got[i] << " should start with " << head;
    EXPECT_NE(got[i].find(expected[i].text), std::string::npos) << got[i] << " should hold " << expected[i].text;
  }
}

struct Case {
  const char* name;
  const char* profile;
  std::vector<Expected> expected;
};

TEST_F(ProfileCheckTest, ReportsEachFaultAtItsLine) {
  const std::vector<Case> cases = {
      {"a clean profile", "[Button:Edit]\nTitle=Editor\nShell {\n  Command=notepad.exe\n}\n", {}},
      {"a stray close", "[Action:A]\nQuitLauncher\n}\n", {{3, "error", "\"}\" closes no block"}}},
      {"the outermost open block",
       "[Action:A]\nIf {\n  Condition=1\n  Shell {\n    Command=x\n}\n",
       {{2, "error", "never closed"}}},
      {"an unknown command with a hint", "[Action:A]\n\nShel {\n  Command=x\n}\n",
       {{3, "error", "unknown command \"Shel\" (did you mean \"Shell\"?)"}}},
      {"letter case is a hint too", "[Action:A]\nquitlauncher\n",
       {{2, "error", "(did you mean \"QuitLauncher\"?)"}}},
      {"no hint for a word far from all", "[Action:A]\nZzyzx\n", {{2, "error", "unknown command \"Zzyzx\""}}},
      {"required parameters",
       "[Action:A]\nIf {\n  QuitLauncher\n}\nShell {\n  Directory=c\n}\nFor {\n  Begin=1\n}\nInputText {\n"
       "  Parameter=x\n}\nAction\n",
       {{2, "error", "\"If\" needs \"Condition\""},
        {5, "error", "\"Shell\" needs \"Command\" or \"Parameter\""},
        {8, "error", "\"For\" needs \"End\""},
        {8, "error", "\"For\" needs \"Add\""},
        {11, "error", "\"InputText\" needs \"0:Variable\""},
        {14, "error", "\"Action\" needs \"Name\""}}},
      {"a written empty value is missing", "[Action:A]\nPutMessage {\n  Parameter=\n}\n",
       {{2, "error", "needs \"Parameter\""}}},
      {"Shell with Parameter alone is complete", "[Action:A]\nShell {\n  Parameter=https://example.org\n}\n", {}},
      {"an action that does not exist",
       "[Action:A]\nAction {\n  Name=B\n}\nAction {\n  Name=$(Which)\n}\nAction {\n  Name=A\n}\n",
       {{3, "error", "no [Action:B] section"}, {6, "warning", "\"$(Which)\" names no function"}}},
      {"menu scope",
       "[Action:A]\nMenuItem {\n  Title=x\n}\nMenu {\n  If {\n    Condition=1\n    Separator\n  }\n  MenuItem {\n"
       "    Separator\n  }\n}\n",
       {{2, "error", "\"MenuItem\" outside any \"Menu\" block"},
        {11, "error", "\"Separator\" outside any \"Menu\" block"}}},
      {"Else without If", "[Action:A]\nElse {\n  QuitLauncher\n}\nIf {\n  Condition=1\n}\nElse\n",
       {{2, "warning", "\"Else\" with no \"If\""}}},
      {"function arguments",
       "[Action:A]\nDefine {\n  P=C:\\a\\notes.txt\n  B=$(Body:C:\\a\\notes.txt)\n  E=$(Equal:a)\n  F=$(Body:$(P))\n"
       "  G=$(Window::*Mail*)\n  H=$(Clipboard:x)\n}\n",
       {{4, "warning", "\"Body\" takes 1 argument, \"$(Body:C:\\a\\notes.txt)\" gives 2"},
        {5, "error", "\"Equal\" needs 2 arguments, \"$(Equal:a)\" gives 1"},
        {8, "warning", "\"Clipboard\" takes 0 arguments"}}},
      {"an expression that lost its end", "[Action:A]\nDefine {\n  N=1\n  X=$(Calc:($(N) + 1) * 2)\n  Y=$(Calc:$(N) * (2))\n}\n",
       {{4, "warning", "ends at the first \")\""}, {5, "warning", "\"$(Calc:$(N) * (2)\" ends at"}}},
      {"names nobody sets",
       "[Action:A]\nDefine {\n  Known=1\n}\nAction {\n  Name=B\n  Day=Mon\n}\nInputText {\n  0:Variable=Word\n}\n"
       "PutMessage {\n  Parameter=$(Known)$(Day)$(Word)$(Drop)$(ExitCode)$(Nmae)$($(Known))\n}\n[Action:B]\n",
       {{13, "warning", "\"$(Nmae)\" names no function"}}},
      {"an open reference", "[Action:A]\nPutMessage {\n  Parameter=$(Body:$(Drop)\n}\n",
       {{3, "error", "\"$(\" without its \")\" in \"Parameter\""}}},
      {"parameters nobody reads",
       "[Button:B]\nTitel=x\nShell {\n  Comand=x\n  Command=y\n  Dummy\n}\nPickupMenu {\n  A=1\n  Separator\n}\n",
       {{2, "warning", "parameter \"Titel\""},
        {4, "warning", "\"Shell\" reads no parameter \"Comand\""},
        {6, "warning", "\"Dummy\" inside \"Shell\" is no parameter"}}},
      {"a header off by letter case", "[button:B]\nQuitLauncher\n[Action:A]\n[Action:A]\n",
       {{1, "warning", "did you mean [Button:B]"}, {4, "warning", "a second [Action:A]"}}},
      {"input fields after a gap", "[Action:A]\nInputText {\n  0:Variable=A\n  2:Variable=C\n  0:Password=True\n}\n",
       {{2, "warning", "no \"1:Variable\""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectReported(Check(c.profile), c.expected);
  }
}

TEST_F(ProfileCheckTest, LinesCountAsAnEditorShowsThemInEveryCodeAndLineEnd) {
  // Comment and empty lines count; a CR LF, a CR or an LF ends a line; UTF-16 counts the same.
  const std::string lines[] = {"/ comment", "", "[Action:A]", "Shel"};
  for (const char* end : {"\n", "\r\n", "\r"}) {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    EXPECT_EQ(Check(text), std::vector<std::string>{"4 error unknown command \"Shel\" (did you mean \"Shell\"?)"});
  }
  std::string wide = "\xFF\xFE";
  for (const std::string& line : lines) {
    for (char c : line + "\r\n") wide += std::string{c, '\0'};
  }
  EXPECT_EQ(Check(wide).size(), 1u);
  EXPECT_EQ(Check(wide)[0].rfind("4 error", 0), 0u);
}

TEST_F(ProfileCheckTest, BadFilesGiveOneClearErrorAndNoCrash) {
  struct BadFile {
    const char* name;
    std::string bytes;
    const char* text;
  };
  std::string deep = "[Action:A]\n";
  for (int i = 0; i < 100000; ++i) deep += "If {\n";
  std::string binary = "[Action:A]\n";
  for (int i = 0; i < 4096; ++i) binary += static_cast<char>(i * 7 % 256);
  const std::vector<BadFile> files = {
      {"empty", "", "holds no section"},
      {"comments only", "/ nothing\n\n", "holds no section"},
      {"a line longer than the reader's buffer", "[Action:A]\nDefine {\n  X=" + std::string(70000, 'x') + "\n}\n",
       "a line longer than"},
      {"nested far too deep", deep, "nested deeper than 100"},
      {"binary", binary, "not"},
  };
  for (const BadFile& file : files) {
    SCOPED_TRACE(file.name);
    const std::vector<std::string> got = Check(file.bytes);
    EXPECT_GE(errors_, 1);
    bool found = false;
    for (const std::string& line : got) found = found || (line.find(" error ") != std::string::npos && line.find(file.text) != std::string::npos);
    EXPECT_TRUE(found) << ::testing::PrintToString(got);
  }
  const std::vector<std::string> missing = CheckPath(folder_ / "no such.ini");
  EXPECT_EQ(missing, std::vector<std::string>{"1 error the file does not exist"});
}

TEST_F(ProfileCheckTest, TheReportIsSortedByFileAndLineWithASummary) {
  JobDiagnostics out;
  out.Warning("b.ini", 3, "w");
  out.Error("a.ini", 9, "late");
  out.Error("b.ini", 1, "first");
  out.Warning("a.ini", 2, "early");
  EXPECT_EQ(out.Report().ToUtf8(),
            "b.ini(1): error: first\nb.ini(3): warning: w\na.ini(2): warning: early\na.ini(9): error: late\n"
            "2 errors, 2 warnings\n");
  EXPECT_EQ(JobDiagnostics().Report().ToUtf8(), "0 errors, 0 warnings\n");
}

// The checker's tables follow the engine: a command or function added later without a rule would
// be reported as unknown in every profile that uses it.
TEST_F(ProfileCheckTest, EveryCommandAndFunctionOfTheEngineIsKnown) {
  std::string profile = "[Action:A]\nMenu {\n";
  for (const auto& command : JobCommandList::Instance()) {
    if (command->name == RawString("Else") || command->name == RawString("Action")) continue;
    profile += command->name.ToUtf8() + "\n";
  }
  profile += "}\n";
  for (const std::string& line : Check(profile)) {
    EXPECT_EQ(line.find("unknown command"), std::string::npos) << line;
  }
  int32_t count = 0;
  JobVariableUnit** table = VariableFunctionTable(count);
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_NE(FunctionArity(table[i]->Name()), nullptr) << table[i]->Name().ToUtf8();
  }
  EXPECT_EQ(NearestCommandWord("OpenFiel").ToUtf8(), "OpenFile");
  EXPECT_EQ(NearestCommandWord("Ab").ToUtf8(), "");
}

}  // namespace
}  // namespace JobLayer

namespace JobLayer {
namespace {

TEST_F(ProfileCheckTest, HotKeysOfButtonsAndActionsAreChecked) {
  const auto got = Check(
      "[Button:A]\n"
      "HotKey=Ctrl+Alt+A\n"
      "[Button:B]\n"
      "HotKey=Ctrl+Alt+Nothing\n"
      "[Action:C]\n"
      "HotKey=ctrl+alt+a\n"
      "[Action:D]\n"
      "HotKey=Q\n"
      "[Selector:E]\n"
      "HotKey=Ctrl+E\n");
  ExpectReported(got, {{4, "error", "[Button:B] HotKey=Ctrl+Alt+Nothing: \"nothing\" is neither"},
                       {6, "error", "[Action:C] HotKey=ctrl+alt+a: [Button:A] has taken this key already"},
                       {8, "error", "[Action:D] HotKey=Q: a key without Ctrl"},
                       {10, "warning", "parameter \"HotKey\" is not one this section reads"}});
}

TEST_F(ProfileCheckTest, OnlyFaultsOfReadingBreakTheReading) {
  JobDiagnostics out;
  out.Error("a.ini", 3, RawString("an unknown command"));
  EXPECT_EQ(out.FirstReadError(), nullptr);
  const fs::path path = folder_ / "profile.ini";
  Put(path, "[Button:A]\nShell {\n  Command=x\n[Button:B]\nIf {\n}\n}\n");
  JobProfileChecker(out).CheckLauncherProfile(PathText(path));
  const JobDiagnostic* first = out.FirstReadError();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->line, 2);
  EXPECT_TRUE(first->breaksReading);
}

}  // namespace
}  // namespace JobLayer
