#include "job/command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/log.h"
#include "job/screen.h"
#include "tests/unit/job/fake_screen.h"
#include "tests/unit/job/log_text.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathOf;
using TestFiles::PathText;
using testing_support::Digits;
using testing_support::FakeScreen;
using testing_support::Unstamped;

// "Command#" and its number become "Command#n".
std::string MaskCommandNumbers(const std::string& line) {
  static const std::string word = "Command#";
  std::string out;
  for (size_t i = 0; i < line.size();) {
    if (line.compare(i, word.size(), word) == 0 && Digits(line, i + word.size(), 1)) {
      out += word + "n";
      i += word.size();
      while (Digits(line, i, 1)) ++i;
    } else {
      out += line[i++];
    }
  }
  return out;
}

// The execution log of one test: started with the given detail letters, read back at the end
// with the header dropped, record stamps replaced by <stamp> and command numbers by #n.
class TraceLog {
 public:
  TraceLog(const char* letters, const char* name) : dir_(fs::path(KESTREL_TEST_TMP_DIR) / "engine-log" / name) {
    fs::remove_all(dir_);
    JobLogOptions options;
    options.folder = PathText(dir_);
    started_ = JobLogServer::Instance().Start(options);
    JobLogServer::Instance().SetDetail(RawString::FromUtf8(letters));
  }
  ~TraceLog() {
    JobLogServer::Instance().Stop();
    JobLogServer::Instance().SetDetail("UCPV");
  }
  bool Started() const { return started_; }

  std::vector<std::string> Records(bool maskNumbers = true) {
    const fs::path path = PathOf(JobLogServer::Instance().FilePath());
    JobLogServer::Instance().Stop();
    const std::string bytes = Bytes(path);
    std::vector<std::string> records;
    size_t at = 0;
    for (size_t end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2) {
      const std::string line = bytes.substr(at, end - at);
      if (line.empty() || line.rfind("//", 0) == 0) continue;  // the header
      records.push_back(maskNumbers ? MaskCommandNumbers(Unstamped(line)) : Unstamped(line));
    }
    return records;
  }

 private:
  fs::path dir_;
  bool started_ = false;
};

// A command that notes its word, the caller it was given and its parameters' summary in a
// journal; "Block" runs its block through the registry first.
class JournalCommand : public JobCommandUnitEx {
 public:
  JournalCommand(JobCommandList& list, const char* word, bool result, std::vector<std::string>& journal)
      : JobCommandUnitEx(RawString::FromUtf8(word), list), result_(result), journal_(journal) {}

  bool Execute(const JobParamList& params, const JobTraceId& caller) override {
    RawString summary;
    params.AppendSummary(summary);
    journal_.push_back(name.ToUtf8() + " from " + caller.Text().ToUtf8() + " " + summary.ToUtf8());
    if (name == RawString("Block") && !owner->Execute(params, caller)) return false;
    return result_;
  }

 private:
  bool result_;
  std::vector<std::string>& journal_;
};

class CommandListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.Register(std::make_unique<JournalCommand>(registry_, "Pass", true, journal_));
    registry_.Register(std::make_unique<JournalCommand>(registry_, "Fail", false, journal_));
    registry_.Register(std::make_unique<JournalCommand>(registry_, "Block", true, journal_));
  }

  JobParamList Script(const std::vector<std::string>& texts) {
    RawRangedTextList lines;
    // Numbered from 0 as the line file numbers them: the units' lines count from 1.
    for (const std::string& text : texts) lines.Add(RawString::FromUtf8(text), lines.Count());
    JobParamList list;
    EXPECT_TRUE(list.Parse(lines));
    return list;
  }

  // The callers in the journal with their numbers replaced, so runs compare whole.
  std::vector<std::string> Journal() const {
    std::vector<std::string> out;
    for (const std::string& line : journal_) out.push_back(MaskCommandNumbers(line));
    return out;
  }

  FakeScreen screen_;
  JobCommandList registry_;
  std::vector<std::string> journal_;
};

TEST_F(CommandListTest, RunsCommandUnitsInOrderSkippingTextAndStopsAtTheFirstFailure) {
  const struct {
    const char* what;
    std::vector<std::string> script;
    bool ok;
    std::vector<std::string> journal;
  } rows[] = {
      {"no units", {}, true, {}},
      {"text units only", {"A=1", "B=2"}, true, {}},
      {"every command runs", {"Pass", "x=1", "Pass {", "p=1", "}"}, true,
       {"Pass from Command#n ", "Pass from Command#n [p=1]"}},
      {"a failure stops the list", {"Pass", "Fail {", "q=2", "}", "Pass"}, false,
       {"Pass from Command#n ", "Fail from Command#n [q=2]"}},
      {"a failure inside a block stops every list around it", {"Block {", "Fail", "Pass", "}", "Pass"}, false,
       {"Block from Command#n [Fail][Pass]", "Fail from Command#n "}},
  };
  for (const auto& row : rows) {
    journal_.clear();
    EXPECT_EQ(registry_.Execute(Script(row.script), JobTraceId::Executor()), row.ok) << row.what;
    EXPECT_EQ(Journal(), row.journal) << row.what;
  }
  EXPECT_TRUE(screen_.messages.empty());
}

TEST_F(CommandListTest, AnUnknownWordIsReportedAndEndsTheList) {
  EXPECT_FALSE(registry_.Execute(Script({"Pass", "Shel {", "Command=editor.exe", "}", "Pass"}), JobTraceId::Executor()));
  EXPECT_EQ(Journal(), std::vector<std::string>{"Pass from Command#n "});
  EXPECT_EQ(screen_.messages, std::vector<std::string>{"No such command !\r\n  [command] Shel\r\n  [line] 2"});
}

TEST_F(CommandListTest, FindTakesTheFirstExactWord) {
  registry_.Register(std::make_unique<JournalCommand>(registry_, "Pass", false, journal_));
  JobCommandUnit* pass = registry_.Find("Pass");
  ASSERT_NE(pass, nullptr);
  EXPECT_TRUE(pass->Execute(JobParamList(), JobTraceId::Executor()));
  EXPECT_EQ(registry_.Find("pass"), nullptr);
  EXPECT_EQ(registry_.Find("Pas"), nullptr);
  EXPECT_EQ(registry_.Find(""), nullptr);
}

// Lookup takes the first match, so the order of the process-wide registry is part of its
// behaviour. (Test commands of other suites, named "EngineTest...", may follow.)
TEST(CommandRegistryTest, TheProcessWideRegistryHoldsTheCommandsInLookupOrder) {
  std::vector<std::string> words;
  for (const std::unique_ptr<JobCommandUnit>& command : JobCommandList::Instance()) {
    const std::string word = command->name.ToUtf8();
    if (word.rfind("EngineTest", 0) != 0) words.push_back(word);
  }
  EXPECT_EQ(words, (std::vector<std::string>{"Define",   "Expand",     "Action",      "Menu",         "MenuItem",
                                             "Separator", "PickupMenu", "Shell",       "OpenFolder",   "OpenFile",
                                             "Pickup",    "AskMessage", "PutMessage",  "InputText",    "If",
                                             "Else",      "While",      "For",         "Foreach",      "Break",
                                             "ToClipboard", "PopupWindow", "QuitLauncher", "AbortExecution",
                                             "RebootLauncher"}));
  for (const std::unique_ptr<JobCommandUnit>& command : JobCommandList::Instance()) {
    auto* withOwner = dynamic_cast<JobCommandUnitEx*>(command.get());
    ASSERT_NE(withOwner, nullptr) << command->name.ToUtf8();
    EXPECT_EQ(withOwner->owner, &JobCommandList::Instance());
  }
}

// A command runs as its own scope's identity, and what it runs gets that identity as caller.
TEST_F(CommandListTest, EachCommandIsTheCallerOfWhatItRunsAndNumbersCountUp) {
  TraceLog log("UC", "command-numbers");
  ASSERT_TRUE(log.Started());
  journal_.clear();
  const uint32_t before = JobTraceId::NextCommand().number;
  ASSERT_TRUE(registry_.Execute(Script({"Block {", "Pass", "}", "Pass"}), JobTraceId::Executor()));
  auto id = [&](uint32_t offset) { return "Command#" + std::to_string(before + offset); };
  EXPECT_EQ(journal_, (std::vector<std::string>{"Block from " + id(1) + " [Pass]", "Pass from " + id(2) + " ",
                                                "Pass from " + id(3) + " "}));
  EXPECT_EQ(JobTraceId::NextCommand().number, before + 4);
  std::vector<std::string> links;
  for (const std::string& record : log.Records(false)) {
    if (record[0] == '@' && record.find("$ ") == std::string::npos) links.push_back(record);
  }
  EXPECT_EQ(links, (std::vector<std::string>{"@" + id(1) + ">Executor:<stamp>|Block",
                                             "@" + id(2) + ">" + id(1) + ":<stamp>|Pass",
                                             "@" + id(3) + ">Executor:<stamp>|Pass"}));
}

TEST_F(CommandListTest, TheLogLettersDecideWhatACommandTraces) {
  const struct {
    const char* letters;
    std::vector<std::string> records;
  } rows[] = {
      {"UC",
       {"#Begin:Command#n:<stamp>", "@Command#n>Executor:<stamp>|Pass", "@Command#n>Executor:<stamp>|$ Success",
        "#End:Command#n:<stamp>"}},
      {"UCP",
       {"#Begin:Command#n:<stamp>", "@Command#n>Executor:<stamp>|[Pass][Command=editor.exe][Sub]",
        "@Command#n>Executor:<stamp>|$ Success", "#End:Command#n:<stamp>"}},
      {"CP",
       {"#Begin:Command#n:<stamp>", "@Command#n>Executor:<stamp>|[Pass][Command=editor.exe][Sub]",
        "@Command#n>Executor:<stamp>|$ Success", "#End:Command#n:<stamp>"}},
      {"UPV", {}},
      {"", {}},
  };
  for (const auto& row : rows) {
    TraceLog log(row.letters, "command-letters");
    ASSERT_TRUE(log.Started());
    EXPECT_TRUE(registry_.ExecuteCommand("Pass", Script({"Command=editor.exe", "Sub {", "x=1", "}"}),
                                         JobTraceId::Executor()));
    EXPECT_EQ(log.Records(), row.records) << row.letters;
  }
}

TEST_F(CommandListTest, AFailedOrUnknownCommandClosesItsScopeAsFailedAfterTheError) {
  TraceLog log("UCP", "command-failed");
  ASSERT_TRUE(log.Started());
  EXPECT_FALSE(registry_.ExecuteCommand("Shel", JobParamList(), JobTraceId::Executor()));
  EXPECT_FALSE(registry_.ExecuteCommand("Fail", JobParamList(), JobTraceId::Executor()));
  EXPECT_EQ(log.Records(), (std::vector<std::string>{
                               "#Begin:Command#n:<stamp>",
                               "@Command#n>Executor:<stamp>|[Shel]",
                               "#Error:NoSuchCommand:<stamp>|$  [command] Shel",
                               "@Command#n>Executor:<stamp>|$ Failed",
                               "#End:Command#n:<stamp>",
                               "#Begin:Command#n:<stamp>",
                               "@Command#n>Executor:<stamp>|[Fail]",
                               "@Command#n>Executor:<stamp>|$ Failed",
                               "#End:Command#n:<stamp>",
                           }));
}

}  // namespace
}  // namespace JobLayer
