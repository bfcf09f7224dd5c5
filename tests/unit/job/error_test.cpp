#include "job/error.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "job/log.h"
#include "job/screen.h"
#include "raw/locale.h"
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

TEST(JobScriptErrorTest, PairsOnlyForValuesGivenInTheirOrder) {
  const struct {
    const char* what;
    bool variable;
    const char* id;
    const char* a;
    const char* b;
    const char* c;
    const char* message;
  } rows[] = {
      {"all three", false, "RequiredParameterIsEmpty", "For", "Begin", "$(Nothing)",
       "Required parameter is empty !\r\n  [command] For\r\n  [parameter] Begin\r\n  [value] $(Nothing)"},
      {"a missing parameter name", false, "NoSuchCommand", "Shel", "", "",
       "No such command !\r\n  [command] Shel"},
      {"only the value", false, "UserAborted", "", "", "x", "User aborted !\r\n  [value] x"},
      {"nothing", false, "OutOfMenuScope", "", "", "", "Out of menu scope !"},
      {"variable labels", true, "TooFewVariableArguments", "Equal", "", "$(Equal:a)",
       "Too few variable arguments !\r\n  [variable] Equal\r\n  [script] $(Equal:a)"},
      {"an identifier outside the table shows as itself", false, "SomethingElse", "X", "", "",
       "SomethingElse\r\n  [command] X"},
  };
  for (const auto& row : rows) {
    FakeScreen screen;
    if (row.variable) {
      ReportVariableError(RawString::FromUtf8(row.id), RawString::FromUtf8(row.a), RawString::FromUtf8(row.b), RawString::FromUtf8(row.c));
    } else {
      ReportCommandError(RawString::FromUtf8(row.id), RawString::FromUtf8(row.a), RawString::FromUtf8(row.b), RawString::FromUtf8(row.c));
    }
    EXPECT_EQ(screen.messages, std::vector<std::string>{row.message}) << row.what;
  }
}

TEST(JobScriptErrorTest, AtMostTenPairs) {
  JobScriptError error;
  error.id = "UnexpectedParameter";
  for (int i = 0; i < 12; ++i) error.Add("[n]", RawString::FromUtf8(std::to_string(i)));
  error.Add("[empty]", RawString());
  EXPECT_EQ(error.count, JobScriptError::kMaxPairs);
  EXPECT_EQ(error.values[9], RawString("9"));
  std::string expected = "Unexpected parameter !";
  for (int i = 0; i < 10; ++i) expected += "\r\n  [n] " + std::to_string(i);
  EXPECT_EQ(ScriptErrorMessage(error).ToUtf8(), expected);
}

TEST(JobScriptErrorTest, EveryDefaultMessageOfTheTable) {
  const std::pair<const char*, const char*> table[] = {
      {"RequiredParameterIsMissing", "Required parameter is missing !"},
      {"RequiredParameterIsEmpty", "Required parameter is empty !"},
      {"UnexpectedParameter", "Unexpected parameter !"},
      {"UserAborted", "User aborted !"},
      {"NoSuchDefinedAction", "No such defined action !"},
      {"MissingTargetWindow", "Missing target window !"},
      {"OutOfMenuScope", "Out of menu scope !"},
      {"NoSuchCommand", "No such command !"},
      {"UnbalancedSectionBlocks", "Unbalanced section blocks !"},
      {"NoSuchDefinedName", "No such defined name !"},
      {"UnbalancedVariableBlock", "Unbalanced variable block !"},
      {"TooFewVariableArguments", "Too few variable arguments !"},
      {"IncorrectNumberFormat", "Incorrect number format !"},
      {"OutOfRangeNumber", "Number is out of range !"},
      {"TooManyVariableExpansions", "Too many variable expansions !"},
      {"VariableNameIsMissing", "Variable name is missing !"},
      {"InvalidVariableArgument", "Invalid variable argument !"},
  };
  for (const auto& [id, message] : table) {
    JobScriptError error;
    error.id = RawString::FromUtf8(id);
    EXPECT_EQ(ScriptErrorMessage(error).ToUtf8(), message) << id;
  }
}

// A language file replaces the defaults; its escapes are resolved when the message is shown.
TEST(JobScriptErrorTest, ALanguageFileReplacesMessagesWithEscapesResolved) {
  const fs::path dir = TestFiles::ScratchFolder("engine-error");
  const fs::path file = dir / "Language.ini";
  std::ofstream(file, std::ios::binary) << "[Test]\r\n"
                                        << "ToolMessage_RequiredParameterIsMissing=Two\\nWords\r\n"
                                        << "ToolMessage_UserAborted=a\\tb\\sc\\qd\r\n";
  RawLayer::RawLocaleRecordList& table = RawLayer::RawLocaleRecordList::Instance();
  table.ResetForTest();
  table.SetLanguage("Test", PathText(file));
  table.LoadLanguage();

  FakeScreen screen;
  ReportCommandError("RequiredParameterIsMissing", "Action", "Name", "");
  ReportCommandError("UserAborted", "", "", "");
  ReportCommandError("NoSuchCommand", "", "", "");
  EXPECT_EQ(screen.messages, (std::vector<std::string>{"Two\r\nWords\r\n  [command] Action\r\n  [parameter] Name",
                                                       "a\tb cqd", "No such command !"}));
  table.ResetForTest();
}

TEST(JobScriptErrorTest, AReportIsOneErrorRecordInTheLog) {
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) / "engine-log" / "error-record";
  fs::remove_all(dir);
  JobLogOptions options;
  options.folder = PathText(dir);
  JobLogServer& log = JobLogServer::Instance();
  ASSERT_TRUE(log.Start(options));
  const fs::path path = PathOf(log.FilePath());
  {
    FakeScreen screen;
    ReportCommandError("NoSuchCommand", "Shel", "", "");
    ReportVariableError("UnbalancedVariableBlock", "A", "", "$(A");
    JobScriptError none;
    none.id = "UserAborted";
    ReportScriptError(none);
    EXPECT_EQ(screen.messages.size(), 3u);
  }
  log.Stop();
  const std::string bytes = Bytes(path);
  const std::string records = Unstamped(bytes.substr(bytes.find("\r\n\r\n") + 4));
  EXPECT_EQ(records,
            "#Error:NoSuchCommand:<stamp>|$  [command] Shel\r\n"
            "#Error:UnbalancedVariableBlock:<stamp>|$  [variable] A [script] $(A\r\n"
            "#Error:UserAborted:<stamp>|$ \r\n");
}

}  // namespace
}  // namespace JobLayer
