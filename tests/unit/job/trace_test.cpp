#include "job/trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "job/log.h"
#include "tests/unit/job/log_text.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathOf;
using TestFiles::PathText;
using testing_support::Unstamped;

// Runs `body` with the process-wide log open in a folder of its own and the given
// detail letters, and returns what it wrote after the header, stamps replaced.
template <class Body>
std::string Traced(const char* letters, Body body) {
  // A folder per case: CTest runs the cases of this suite side by side.
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) /
                       (std::string("trace_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir);
  JobLogServer& log = JobLogServer::Instance();
  JobLogOptions options;
  options.folder = PathText(dir);
  EXPECT_TRUE(log.Start(options));
  const fs::path path = PathOf(log.FilePath());
  log.SetDetail(RawString::FromUtf8(letters));
  body();
  log.Stop();
  log.SetDetail("UCPV");
  const std::string bytes = Bytes(path);
  const std::string header = LogVersionRecord().ToUtf8() + LogTimeZoneRecord().ToUtf8() + "\r\n";
  EXPECT_EQ(bytes.compare(0, header.size(), header), 0);
  return Unstamped(bytes.substr(header.size()));
}

TEST(TraceIdTest, Texts) {
  EXPECT_EQ(JobTraceId::User().Text(), RawString("User"));
  EXPECT_EQ(JobTraceId::Executor().Text(), RawString("Executor"));
  EXPECT_EQ(JobTraceId::System().Text(), RawString("System"));
  EXPECT_EQ((JobTraceId{"Command", 17}).Text(), RawString("Command#17"));
  EXPECT_EQ((JobTraceId{"Variable", 0}).Text(), RawString("Variable"));
}

TEST(TraceIdTest, CommandsAndVariablesCountSeparatelyFromOne) {
  const JobTraceId command = JobTraceId::NextCommand();
  const JobTraceId variable = JobTraceId::NextVariable();
  EXPECT_EQ(command.name, RawString("Command"));
  EXPECT_EQ(variable.name, RawString("Variable"));
  EXPECT_GE(command.number, 1u);
  EXPECT_GE(variable.number, 1u);
  EXPECT_EQ(JobTraceId::NextCommand().number, command.number + 1);
  EXPECT_EQ(JobTraceId::NextVariable().number, variable.number + 1);
}

void RunWithCommand() {
  JobTraceScope run('U', JobTraceId::User(), JobTraceId::Executor(), "(Button)Editor");
  {
    JobTraceScope command('C', run.Self(), JobTraceId{"Command", 5}, "Shell", "[Shell][Command=a.exe]");
    command.SetResult(false);
  }
  run.SetResult(false);
}

TEST(TraceScopeTest, RecordsFollowTheDetailLetters) {
  const std::string runBegin = "#Begin:Executor:<stamp>\r\n@Executor>User:<stamp>|(Button)Editor\r\n";
  const std::string runEnd = "@Executor>User:<stamp>|$ Failed\r\n#End:Executor:<stamp>\r\n";
  const std::string commandEnd = "@Command#5>Executor:<stamp>|$ Failed\r\n#End:Command#5:<stamp>\r\n";
  const struct {
    const char* letters;
    std::string expected;
  } rows[] = {
      {"UCPV", runBegin + "#Begin:Command#5:<stamp>\r\n@Command#5>Executor:<stamp>|[Shell][Command=a.exe]\r\n" +
                   commandEnd + runEnd},
      {"UC", runBegin + "#Begin:Command#5:<stamp>\r\n@Command#5>Executor:<stamp>|Shell\r\n" + commandEnd + runEnd},
      {"U", runBegin + runEnd},
      {"CP", "#Begin:Command#5:<stamp>\r\n@Command#5>Executor:<stamp>|[Shell][Command=a.exe]\r\n" + commandEnd},
      {"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(Traced(row.letters, RunWithCommand), row.expected) << row.letters;
}

TEST(TraceScopeTest, VariableScopeCarriesItsResultText) {
  const std::string text = Traced("UCPV", [] {
    JobTraceScope variable('V', JobTraceId{"Command", 2}, JobTraceId{"Variable", 9}, "$(File)");
    EXPECT_TRUE(variable.IsActive());
    variable.SetResultText("Defined (a.txt)");
  });
  EXPECT_EQ(text,
            "#Begin:Variable#9:<stamp>\r\n@Variable#9>Command#2:<stamp>|$(File)\r\n"
            "@Variable#9>Command#2:<stamp>|$ Defined (a.txt)\r\n#End:Variable#9:<stamp>\r\n");
}

TEST(TraceScopeTest, ScopeSucceedsUnlessTold) {
  const std::string text = Traced("U", [] {
    JobTraceScope run('U', JobTraceId::System(), JobTraceId::Executor(), "Initialize");
  });
  EXPECT_EQ(text,
            "#Begin:Executor:<stamp>\r\n@Executor>System:<stamp>|Initialize\r\n"
            "@Executor>System:<stamp>|$ Success\r\n#End:Executor:<stamp>\r\n");
}

TEST(TraceScopeTest, InactiveScopeWritesNothing) {
  const std::string text = Traced("C", [] {
    JobTraceScope variable('V', JobTraceId::Executor(), JobTraceId{"Variable", 1}, "$(X)");
    EXPECT_FALSE(variable.IsActive());
  });
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace JobLayer
