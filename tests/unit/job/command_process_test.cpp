// Process commands: what reaches the platform, what the script sees afterwards, and the errors.
// Starting real programs is covered per platform (command_process_test_posix.cpp and
// command_process_test_win32.cpp).
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "job/command_process.h"
#include "raw/clipboard.h"
#include "tests/unit/job/command_test_support.h"

namespace JobLayer {
namespace {

using testing_support::Holds;

class ProcessTest : public testing_support::ScriptTest {};

TEST(LeadingNumberTest, ReadsTheLeadingNumberAndWrapsTo32Bits) {
  const struct {
    const char* text;
    int32_t value;
  } rows[] = {
      {"", 0},
      {"abc", 0},
      {"12ms", 12},
      {"-1", -1},
      {"+7", 7},
      {"0x1F", 31},
      {"0x1fz", 31},
      {"0b101", 5},
      {"0b102", 2},
      {"0x", 0},
      {"0xg", 0},
      {"-", 0},
      {" 5", 0},
      {"0X10", 0},
      {"4294967295", -1},
      {"0x80000000", INT32_MIN},
      {"0x7FFFFFFF", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"99999999999999999999999", -159383553},  // wraps, never traps
  };
  for (const auto& row : rows) EXPECT_EQ(LeadingNumber(RawString::FromUtf8(row.text)), row.value) << row.text;
}

struct ErrorRow {
  const char* name;
  const char* script;
  const char* parts[3];  // pieces of the one error shown
};

TEST_F(ProcessTest, MissingOrBrokenParametersFailWithTheirReport) {
  const ErrorRow rows[] = {
      {"shell without command and parameter", "Shell {\nDirectory=.\nWait=WaitForDone\n}\n",
       {"Required parameter is missing !", "[command] Shell", "[parameter] Command"}},
      {"shell with both empty after expansion", "Shell {\nCommand=$(Unset)\nParameter=$(Unset)\n}\n",
       {"[command] Shell", "[parameter] Command", ""}},
      {"open file without parameter", "OpenFile\n",
       {"Required parameter is missing !", "[command] OpenFile", "[parameter] Parameter"}},
      {"open folder without parameter", "OpenFolder {\nParameter=$(Unset)\n}\n",
       {"[command] OpenFolder", "[parameter] Parameter", ""}},
      {"open folder with no existing folder", "OpenFolder {\nParameter=no-such-folder-7f3a/sub\\file.txt\n}\n",
       {"Unexpected parameter !", "[parameter] Parameter", "[value] no-such-folder-7f3a/sub\\file.txt"}},
      {"clipboard without parameter", "ToClipboard\n",
       {"Required parameter is missing !", "[command] ToClipboard", "[parameter] Parameter"}},
      {"clipboard with an empty expansion", "ToClipboard {\nParameter=$(Unset)\n}\n",
       {"Required parameter is empty !", "[command] ToClipboard", "[value] $(Unset)"}},
      {"popup window 0", "PopupWindow {\nParameter=0\n}\n",
       {"Missing target window !", "[command] PopupWindow", "[value] 0"}},
      {"popup window not a number", "PopupWindow {\nParameter=window\n}\n",
       {"Missing target window !", "[parameter] Parameter", "[value] window"}},
      {"popup window without parameter", "PopupWindow\n", {"Missing target window !", "[command] PopupWindow", ""}},
      {"expansion failure", "OpenFile {\nParameter=$(Unclosed\n}\n", {"Unbalanced variable block !", "", ""}},
  };
  for (const ErrorRow& row : rows) {
    SetUp();
    EXPECT_FALSE(Run(std::string(row.script) + testing_support::Note("after"))) << row.name;
    EXPECT_EQ(Value("Trace"), "") << row.name;
    const std::string error = OnlyError();
    for (const char* part : row.parts) EXPECT_TRUE(Holds(error, part)) << row.name << ": " << error;
  }
}

TEST_F(ProcessTest, ShellThatCannotExpandAParameterStartsNothing) {
  // Every parameter is expanded and reported, and a failure in any of them stops the command
  // before the start, which would have set ExitCode.
  for (const char* broken : {"Command", "Verb", "Timeout"}) {
    SetUp();
    Variables().Set("ExitCode", "untouched");
    // The broken one first: the first of two equal names counts.
    std::string script = "Shell {\n" + std::string(broken) + "=$(Unclosed\nCommand=no-such-program-7f3a\nParameter=x\n}\n";
    EXPECT_FALSE(Run(script)) << broken;
    EXPECT_EQ(Value("ExitCode"), "untouched") << broken;
    EXPECT_EQ(screen_.errors.size(), 1u) << broken;
  }
}

TEST_F(ProcessTest, ShellRefusedByThePlatformFailsWithoutAMessage) {
  Variables().Set("ExitCode", "untouched");
  EXPECT_FALSE(Run("Shell {\nCommand=no-such-program-7f3a\nWait=WaitForDone\nTimeout=-1\n}\n" +
                   testing_support::Note("after")));
  EXPECT_EQ(Value("ExitCode"), "0");
  EXPECT_EQ(Value("Trace"), "");
  EXPECT_EQ(OnlyError(), "");

  EXPECT_FALSE(Run("OpenFile {\nParameter=no-such-file-7f3a.txt\n}\n"));
  EXPECT_EQ(OnlyError(), "");
}

TEST_F(ProcessTest, ToClipboardReplacesTheClipboardText) {
  Variables().Set("X", "caf\xC3\xA9 \xE6\x97\xA5");
  ASSERT_TRUE(Run("ToClipboard {\nParameter=copied: $(X)\n}\n"));
  EXPECT_EQ(RawLayer::ClipboardText(100).ToUtf8(), "copied: caf\xC3\xA9 \xE6\x97\xA5");

  // A value that expands to nothing leaves the clipboard as it was.
  EXPECT_FALSE(Run("ToClipboard {\nParameter=$(Unset)\n}\n"));
  EXPECT_EQ(RawLayer::ClipboardText(100).ToUtf8(), "copied: caf\xC3\xA9 \xE6\x97\xA5");
}

}  // namespace
}  // namespace JobLayer
