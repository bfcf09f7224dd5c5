#include "job/log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "raw/file.h"
#include "tests/unit/job/log_text.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using RawLayer::RawTime;
using TestFiles::Bytes;
using TestFiles::PathOf;
using TestFiles::PathText;
using TestFiles::Put;
using testing_support::Unstamped;

RawTime FixedTime() { return RawTime{2026, 12, 7, 11, 59, 1, 42}; }

std::string Header() {
  return "// Kestrel Version 1.36.2024.0503\r\n" + LogTimeZoneRecord().ToUtf8() + "\r\n";
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = TestFiles::ScratchFolder("log");
  }
  void TearDown() override {
    storer_.Close();
    RawLayer::RawFileFaults::Reset();
  }

  JobLogOptions Options(int32_t maxFiles = 200) const {
    JobLogOptions options;
    options.folder = PathText(dir_);
    options.maxFiles = maxFiles;
    options.clock = FixedTime;
    return options;
  }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
    return names;
  }

  fs::path dir_;
  JobLogStorer storer_;
};

TEST(LogRecordTest, Layouts) {
  const struct {
    RawString line;
    const char* expected;
  } rows[] = {
      {LogCommentRecord("Kestrel Version 1.36.2024.0503"), "// Kestrel Version 1.36.2024.0503\r\n"},
      {LogCommentRecord(""), "// \r\n"},
      {LogEventRecord("Begin", "Command#3", ""), "#Begin:Command#3:<stamp>\r\n"},
      {LogEventRecord("End", "Executor", ""), "#End:Executor:<stamp>\r\n"},
      {LogEventRecord("Begin", "", ""), "#Begin:<stamp>\r\n"},
      {LogEventRecord("Begin", "", "second"), "#Begin:second:<stamp>\r\n"},
      {LogEventRecord("Error", "NoSuchCommand", "", "$ ", " [command] Shel"),
       "#Error:NoSuchCommand:<stamp>|$  [command] Shel\r\n"},
      {LogEventRecord("Error", "Id", "", "", "ignored without a field"), "#Error:Id:<stamp>\r\n"},
      {LogLinkRecord("Command#3", "Executor", "", "[Shell][Command=a.exe]"),
       "@Command#3>Executor:<stamp>|[Shell][Command=a.exe]\r\n"},
      {LogLinkRecord("Executor", "User", "$ ", "Failed"), "@Executor>User:<stamp>|$ Failed\r\n"},
  };
  for (const auto& row : rows) EXPECT_EQ(Unstamped(row.line), row.expected);
}

TEST(LogRecordTest, HeaderLines) {
  EXPECT_EQ(LogVersionRecord().ToUtf8(), "// Kestrel Version 1.36.2024.0503\r\n");
  const std::string zone = LogTimeZoneRecord().ToUtf8();
  EXPECT_TRUE(std::regex_match(zone, std::regex("// <TimeZone>UTC[+-][0-9]{2}:[0-9]{2}( .*)?\r\n"))) << zone;
  EXPECT_TRUE(std::regex_match(LogRecordStamp().ToUtf8(), std::regex("[0-9]{8}\\.[0-9]{6}\\.[0-9]{3}")));
}

TEST(LogRecordTest, LogFileNames) {
  const struct {
    const char* name;
    bool isLog;
  } rows[] = {
      {"Kestrel_20261207_115901_042.log", true},
      {"kestrel_20261207_115901_042.LOG", true},
      {"Kestrel_20261207_115901_042.log.bak", false},
      {"Kestrel_20261207_115901_42.log", false},
      {"Kestrel_2026120a_115901_042.log", false},
      {"Kestrel_20261207-115901-042.log", false},
      {"Kestrel_notes_for_me_please.log", false},
      {"Other_20261207_115901_042.log", false},
      {"Kestrel_20261207_115901_042.txt", false},
      {"notes.txt", false},
      {"", false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsLogFileName(RawString::FromUtf8(row.name)), row.isLog) << row.name;
}

TEST_F(LogTest, FileHasHeaderThenLinesInOrder) {
  ASSERT_TRUE(storer_.Open(Options()));
  EXPECT_TRUE(storer_.IsAccepting());
  const fs::path path = PathOf(storer_.FilePath());
  EXPECT_EQ(path.filename().string(), "Kestrel_20261207_115901_042.log");
  storer_.Queue("first\r\n");
  storer_.Queue("second\r\n");
  storer_.Close();
  EXPECT_FALSE(storer_.IsAccepting());
  EXPECT_TRUE(storer_.FilePath().IsEmpty());
  EXPECT_EQ(Bytes(path), Header() + "first\r\nsecond\r\n");
  EXPECT_EQ(storer_.LinesWritten(), 2u);
  EXPECT_EQ(storer_.BytesWritten(), 15u);
}

TEST_F(LogTest, FolderWithAndWithoutSeparatorGiveTheSamePath) {
  JobLogOptions options = Options();
  ASSERT_TRUE(storer_.Open(options));
  const RawString plain = storer_.FilePath();
  storer_.Close();
  options.folder.Append("\\");
  ASSERT_TRUE(storer_.Open(options));
  EXPECT_EQ(storer_.FilePath(), plain);
}

TEST_F(LogTest, LinesOutsideAnOpenLogAreDropped) {
  storer_.Queue("before\r\n");
  ASSERT_TRUE(storer_.Open(Options()));
  const fs::path path = PathOf(storer_.FilePath());
  storer_.Queue("during\r\n");
  storer_.Close();
  storer_.Queue("after\r\n");
  storer_.Close();  // a second stop changes nothing
  EXPECT_EQ(Bytes(path), Header() + "during\r\n");
}

TEST_F(LogTest, TwoStartsInOneMillisecondReplaceTheFirstFile) {
  ASSERT_TRUE(storer_.Open(Options()));
  storer_.Queue("from the first\r\n");
  storer_.Close();
  ASSERT_TRUE(storer_.Open(Options()));
  storer_.Queue("from the second\r\n");
  const fs::path path = PathOf(storer_.FilePath());
  storer_.Close();
  EXPECT_EQ(Names(), std::set<std::string>{"Kestrel_20261207_115901_042.log"});
  EXPECT_EQ(Bytes(path), Header() + "from the second\r\n");
}

TEST_F(LogTest, PruningCountsAndDeletesOnlyLogFiles) {
  const std::vector<std::string> logs = {"Kestrel_20250101_000000_000.log", "kestrel_20250102_000000_000.log",
                                         "Kestrel_20250103_000000_000.log", "KESTREL_20250104_000000_000.LOG",
                                         "Kestrel_20250105_000000_000.log"};
  const std::vector<std::string> others = {"notes.txt", "Kestrel_notes.log", "Kestrel_20250101_000000_000.log.bak",
                                           "aaa.log"};
  const struct {
    int32_t maxFiles;
    size_t logsLeft;  // the last ones by name, ignoring case
  } rows[] = {{3, 2}, {1, 0}, {5, 4}, {6, 5}, {200, 5}, {0, 5}, {-4, 5}};
  for (const auto& row : rows) {
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "Kestrel_20240101_000000_000.log");  // a folder of that name stays
    for (const std::string& name : logs) Put(dir_ / name, "old\r\n");
    for (const std::string& name : others) Put(dir_ / name, "mine\r\n");
    ASSERT_TRUE(storer_.Open(Options(row.maxFiles))) << row.maxFiles;
    storer_.Close();
    std::set<std::string> expected(others.begin(), others.end());
    expected.insert(logs.end() - static_cast<std::ptrdiff_t>(row.logsLeft), logs.end());
    expected.insert("Kestrel_20240101_000000_000.log");
    expected.insert("Kestrel_20261207_115901_042.log");
    EXPECT_EQ(Names(), expected) << "MaxLogFiles " << row.maxFiles;
  }
}

TEST_F(LogTest, FolderThatCannotBeMadeMeansNoLog) {
  Put(dir_ / "file", "in the way");
  JobLogOptions options = Options();
  options.folder = PathText(dir_ / "file" / "Log");
  EXPECT_FALSE(storer_.Open(options));
  EXPECT_FALSE(storer_.IsAccepting());
  EXPECT_TRUE(storer_.FilePath().IsEmpty());
  storer_.Queue("dropped\r\n");
  storer_.Close();
  EXPECT_EQ(Bytes(dir_ / "file"), "in the way");
}

TEST_F(LogTest, FailedWriteLosesItsLinesOnlyAndCountersAdvance) {
  ASSERT_TRUE(storer_.Open(Options()));
  const fs::path path = PathOf(storer_.FilePath());
  RawLayer::RawFileFaults::FailOperation(1);
  storer_.Queue("lost on a full disk\r\n");
  // The worker takes the line on its own; wait (bounded) until it has.
  for (int i = 0; i < 1000 && storer_.LinesWritten() < 1; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(storer_.LinesWritten(), 1u);
  storer_.Queue("kept\r\n");
  storer_.Close();
  EXPECT_EQ(storer_.LinesWritten(), 2u);
  EXPECT_EQ(storer_.BytesWritten(), 27u);
  EXPECT_EQ(Bytes(path), Header() + "kept\r\n");
}

TEST_F(LogTest, LineLimitStartsNewFilesWithHeaders) {
  JobLogOptions options = Options();
  options.lineLimit = 2;
  ASSERT_TRUE(storer_.Open(options));
  for (const char* line : {"1\r\n", "2\r\n", "3\r\n", "4\r\n", "5\r\n"}) storer_.Queue(RawString::FromUtf8(line));
  storer_.Close();
  // The clock stands still; each new file takes the next millisecond rather than replace the last.
  EXPECT_EQ(Names(), (std::set<std::string>{"Kestrel_20261207_115901_042.log", "Kestrel_20261207_115901_043.log",
                                            "Kestrel_20261207_115901_044.log"}));
  EXPECT_EQ(Bytes(dir_ / "Kestrel_20261207_115901_042.log"), Header() + "1\r\n2\r\n");
  EXPECT_EQ(Bytes(dir_ / "Kestrel_20261207_115901_043.log"), Header() + "3\r\n4\r\n");
  EXPECT_EQ(Bytes(dir_ / "Kestrel_20261207_115901_044.log"), Header() + "5\r\n");
}

TEST_F(LogTest, ByteLimitIsCheckedBeforeEachLine) {
  JobLogOptions options = Options();
  options.byteLimit = 10;
  ASSERT_TRUE(storer_.Open(options));
  for (const char* line : {"abcd\r\n", "efgh\r\n", "ij\r\n"}) storer_.Queue(RawString::FromUtf8(line));
  storer_.Close();
  EXPECT_EQ(Bytes(dir_ / "Kestrel_20261207_115901_042.log"), Header() + "abcd\r\nefgh\r\n");
  EXPECT_EQ(Bytes(dir_ / "Kestrel_20261207_115901_043.log"), Header() + "ij\r\n");
}

TEST_F(LogTest, ConcurrentProducersKeepEachOnesOrder) {
  ASSERT_TRUE(storer_.Open(Options()));
  const fs::path path = PathOf(storer_.FilePath());
  constexpr int kThreads = 8;
  constexpr int kLines = 5000;
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([this, t] {
      for (int n = 0; n < kLines; ++n) {
        RawString line("T");
        line.AppendInteger(t);
        line.Append(" ");
        line.AppendInteger(n);
        line.Append("\r\n");
        storer_.Queue(line);
      }
    });
  }
  for (std::thread& producer : producers) producer.join();
  storer_.Close();
  const std::string bytes = Bytes(path);
  ASSERT_EQ(bytes.compare(0, Header().size(), Header()), 0);
  std::istringstream in(bytes.substr(Header().size()));
  std::vector<int> next(kThreads, 0);
  std::string line;
  int count = 0;
  while (std::getline(in, line)) {
    int t = -1;
    int n = -1;
    ASSERT_EQ(std::sscanf(line.c_str(), "T%d %d\r", &t, &n), 2) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    ASSERT_EQ(n, next[t]) << "thread " << t;
    ++next[t];
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

class CapturingSink : public JobLogStorer::Separater {
 public:
  explicit CapturingSink(bool accept) : accept_(accept) {}
  bool Open(const RawString& path) override {
    opened.push_back(path.ToUtf8());
    return accept_;
  }
  void Write(const char* data, int32_t size) override { text.append(data, static_cast<size_t>(size)); }
  void Close() override { ++closes; }

  std::vector<std::string> opened;
  std::string text;
  int closes = 0;

 private:
  bool accept_;
};

TEST_F(LogTest, AcceptingSeparaterTakesTheLines) {
  CapturingSink sink(true);
  storer_.SetSeparater(&sink);
  ASSERT_TRUE(storer_.Open(Options()));
  const RawString path = storer_.FilePath();
  storer_.Queue("to the sink\r\n");
  storer_.Close();
  ASSERT_EQ(sink.opened.size(), 1u);
  EXPECT_EQ(sink.opened[0], path.ToUtf8());
  EXPECT_EQ(sink.text, Header() + "to the sink\r\n");
  EXPECT_EQ(sink.closes, 1);
  EXPECT_EQ(Bytes(PathOf(path)), "");
}

TEST_F(LogTest, DecliningSeparaterLeavesTheFile) {
  CapturingSink sink(false);
  storer_.SetSeparater(&sink);
  ASSERT_TRUE(storer_.Open(Options()));
  const fs::path path = PathOf(storer_.FilePath());
  storer_.Queue("to the file\r\n");
  storer_.Close();
  EXPECT_EQ(sink.opened.size(), 1u);
  EXPECT_EQ(sink.text, "");
  EXPECT_EQ(sink.closes, 0);
  EXPECT_EQ(Bytes(path), Header() + "to the file\r\n");
}

TEST(LogServerTest, DetailLetters) {
  JobLogServer& server = JobLogServer::Instance();
  const struct {
    const char* letters;
    const char* wanted;
    const char* unwanted;
  } rows[] = {
      {"UCPV", "UCPV", "AEZ"},
      {"UC", "UC", "PV"},
      {"", "", "UCPV"},
      {"ucV", "V", "UC"},  // letters are upper case only
  };
  for (const auto& row : rows) {
    server.SetDetail(RawString::FromUtf8(row.letters));
    for (const char* c = row.wanted; *c != '\0'; ++c) EXPECT_TRUE(server.Wants(*c)) << row.letters << " " << *c;
    for (const char* c = row.unwanted; *c != '\0'; ++c) EXPECT_FALSE(server.Wants(*c)) << row.letters << " " << *c;
  }
  EXPECT_FALSE(server.Wants('1'));
  server.SetDetail("UCPV");
}

TEST(LogServerTest, ServerQueuesThroughItsStorer) {
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) / "log" / "server";
  fs::remove_all(dir);
  JobLogServer& server = JobLogServer::Instance();
  JobLogOptions options;
  options.folder = PathText(dir / "made" / "on" / "start");
  ASSERT_TRUE(server.Start(options));
  EXPECT_TRUE(server.IsAccepting());
  const fs::path path = PathOf(server.FilePath());
  EXPECT_TRUE(IsLogFileName(PathText(path.filename())));
  server.Queue(LogEventRecord("Begin", "Executor", ""));
  server.Stop();
  server.Stop();
  EXPECT_FALSE(server.IsAccepting());
  const std::string bytes = Bytes(path);
  EXPECT_EQ(bytes.substr(0, Header().size()), Header());
  EXPECT_EQ(Unstamped(RawString::FromUtf8(bytes.substr(Header().size()))), "#Begin:Executor:<stamp>\r\n");
}

}  // namespace
}  // namespace JobLayer
