// Dialog commands run as scripts against a screen that answers as the case says, and the
// console screen answering on a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "job/command_dialog.h"
#include "job/log.h"
#include "tests/unit/job/command_test_support.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

using testing_support::ParseScript;

std::vector<std::string> Texts(const std::vector<RawString>& texts) {
  std::vector<std::string> out;
  for (const RawString& text : texts) out.push_back(text.ToUtf8());
  return out;
}

// Answers questions and forms from queues, and keeps what it was shown.
class DialogScreen : public testing_support::RecordingScreen {
 public:
  struct Form {
    std::string text;
    std::vector<JobInputField> fields;
  };

  int32_t Ask(const RawString& question, const std::vector<RawString>& captions) override {
    questions.push_back(question.ToUtf8());
    shownCaptions = Texts(captions);
    if (answers.empty()) return kClosed;
    const int32_t answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  bool Input(const RawString& text, const std::vector<JobInputField>& fields, std::vector<RawString>& texts) override {
    forms.push_back(Form{text.ToUtf8(), fields});
    if (entries.empty()) return false;
    texts.clear();
    for (const std::string& entry : entries.front()) texts.push_back(RawString::FromUtf8(entry));
    entries.erase(entries.begin());
    return true;
  }

  std::vector<int32_t> answers;                   // positions pressed, in turn
  std::vector<std::vector<std::string>> entries;  // a finished form's texts, in turn; none: cancel
  std::vector<std::string> questions;
  std::vector<std::string> shownCaptions;
  std::vector<Form> forms;
};

class DialogTest : public testing_support::ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    dialogs_ = DialogScreen();
    SetScreen(&dialogs_);
    // A registry of its own per case, so that remembered hints start empty.
    registry_ = std::make_unique<JobCommandList>();
    registry_->Register<JobCommandDefine>();
    registry_->Register<JobCommandPickup>();
    registry_->Register<JobCommandAskMessage>();
    registry_->Register<JobCommandPutMessage>();
    registry_->Register<JobCommandInputText>();
    for (const char* name : {"Result", "Pickup", "F0", "F1", "F2", "Choices"}) {
      Variables().Set(RawString::FromUtf8(name), "old");
    }
  }

  bool RunDialogs(const std::string& text) { return registry_->Execute(ParseScript(text), JobTraceId::Executor()); }
  std::string Error() {
    EXPECT_LE(dialogs_.errors.size(), 1u);
    return dialogs_.errors.empty() ? std::string() : dialogs_.errors.front();
  }

  DialogScreen dialogs_;
  std::unique_ptr<JobCommandList> registry_;
};

// ---- AskMessage ----

TEST_F(DialogTest, AskMessageSetsResultToThePressedCaptionUnlessItAborts) {
  struct Row {
    const char* name;
    std::string parameters;
    int32_t pressed;
    std::vector<std::string> captions;
    bool ok;
    std::string result;
  } rows[] = {
      {"default buttons", "", 0, {"Yes", "No"}, true, "Yes"},
      {"only commas give the default", "Button=,,,\n", 1, {"Yes", "No"}, true, "No"},
      {"empty captions dropped", "Button=,A,,B,\n", 1, {"A", "B"}, true, "B"},
      {"captions as written", "Button=Go on, Stop\n", 1, {"Go on", " Stop"}, true, " Stop"},
      {"captions from a variable", "Button=$(Choices)\n", 2, {"x", "y", "z"}, true, "z"},
      {"AbortBy pressed", "AbortBy=No\n", 1, {"Yes", "No"}, false, "old"},
      {"AbortBy not pressed", "AbortBy=No\n", 0, {"Yes", "No"}, true, "Yes"},
      {"AbortBy compared with case", "AbortBy=no\n", 1, {"Yes", "No"}, true, "No"},
      {"closed", "", JobScreen::kClosed, {"Yes", "No"}, false, "old"},
      {"answer out of range", "", 5, {"Yes", "No"}, false, "old"},
  };
  for (const Row& row : rows) {
    SetUp();
    Variables().Set("Choices", "x,y,z");
    dialogs_.answers = {row.pressed};
    const bool ok = RunDialogs("AskMessage {\nParameter=Go on?\n" + row.parameters + "}\nDefine {\nAfter=ran\n}\n");
    EXPECT_EQ(ok, row.ok) << row.name;
    EXPECT_EQ(dialogs_.questions, std::vector<std::string>{"Go on?"}) << row.name;
    EXPECT_EQ(dialogs_.shownCaptions, row.captions) << row.name;
    EXPECT_EQ(Value("Result"), row.result) << row.name;
    EXPECT_EQ(Error(), "") << row.name;
  }
}

// ---- Required parameters of AskMessage, PutMessage and Pickup ----

TEST_F(DialogTest, RequiredParameterErrorsShowNoDialog) {
  struct Row {
    std::string script;
    std::string error;
  } rows[] = {
      {"AskMessage {\nButton=A,B\n}\n",
       "Required parameter is missing !\r\n  [command] AskMessage\r\n  [parameter] Parameter"},
      {"AskMessage {\nParameter=$(Nothing)\n}\n",
       "Required parameter is empty !\r\n  [command] AskMessage\r\n  [parameter] Parameter\r\n  [value] $(Nothing)"},
      {"PutMessage\n", "Required parameter is missing !\r\n  [command] PutMessage\r\n  [parameter] Parameter"},
      {"PutMessage {\nParameter=$(Nothing)\n}\n",
       "Required parameter is empty !\r\n  [command] PutMessage\r\n  [parameter] Parameter\r\n  [value] $(Nothing)"},
      {"Pickup {\na=1\n}\n", "Required parameter is missing !\r\n  [command] Pickup\r\n  [parameter] Parameter"},
      // A command unit of that name is no value.
      {"Pickup {\nParameter {\n}\n}\n", "Required parameter is missing !\r\n  [command] Pickup\r\n  [parameter] Parameter"},
      {"AskMessage {\nParameter=Q\nButton=$(Open\n}\n", "Unbalanced variable block !"},
  };
  for (const Row& row : rows) {
    SetUp();
    dialogs_.answers = {0};
    EXPECT_FALSE(RunDialogs(row.script + "Define {\nAfter=ran\n}\n")) << row.script;
    EXPECT_EQ(Error().substr(0, row.error.size()), row.error) << row.script;
    EXPECT_TRUE(dialogs_.questions.empty()) << row.script;
    EXPECT_EQ(Value("Result"), "old") << row.script;
    EXPECT_EQ(Value("Pickup"), "old") << row.script;
  }
}

// ---- PutMessage ----

TEST_F(DialogTest, PutMessageShowsTheExpandedTextAndGoesOn) {
  Variables().Set("F0", "disk");
  EXPECT_TRUE(RunDialogs("PutMessage {\nParameter=Copied to $(F0).\n}\nDefine {\nF1=after\n}\n"));
  EXPECT_EQ(dialogs_.errors, std::vector<std::string>{"Copied to disk."});
  EXPECT_EQ(Value("F1"), "after");
}

// ---- Pickup ----

TEST_F(DialogTest, PickupTakesTheValueOfTheNamedParameter) {
  struct Row {
    std::string parameters;
    std::string pickup;
  } rows[] = {
      {"Parameter=b\na=1\nb=2\n", "2"},
      {"Parameter=c\na=1\nb=2\n", ""},
      {"Parameter=$(F0)\na=1\nb=2\n", "1"},     // the key expanded
      {"Parameter=b\nb=<$(F0)>\nb=9\n", "<a>"},  // the first of equal names, expanded
      {"Parameter=b\nb {\n}\n", ""},             // a command unit gives the empty value
  };
  for (const Row& row : rows) {
    SetUp();
    Variables().Set("F0", "a");
    EXPECT_TRUE(RunDialogs("Pickup {\n" + row.parameters + "}\n")) << row.parameters;
    EXPECT_EQ(Value("Pickup"), row.pickup) << row.parameters;
    EXPECT_EQ(Error(), "") << row.parameters;
  }
}

// ---- InputText ----

TEST_F(DialogTest, InputTextShowsItsFieldsAndAssignsTheTextsWhenFinished) {
  Variables().Set("F0", "before");
  dialogs_.entries = {{"typed", "kept", "x"}};
  EXPECT_TRUE(RunDialogs(
      "InputText {\nParameter=Name the copy\n"
      "0:Variable=F0\n0:Label=Name\n0:Initial=$(F0)\n0:Hints=one,,two\n"
      "1:Variable=F1\n1:ReadOnly=True\n1:Initial=fixed\n"
      "2:Variable=F2\n2:Hints=a,b\n2:NoHint=yes\n}\n"));
  ASSERT_EQ(dialogs_.forms.size(), 1u);
  const DialogScreen::Form& form = dialogs_.forms[0];
  EXPECT_EQ(form.text, "Name the copy");
  ASSERT_EQ(form.fields.size(), 3u);
  EXPECT_EQ(form.fields[0].label.ToUtf8(), "Name");
  EXPECT_EQ(form.fields[0].initial.ToUtf8(), "before");
  EXPECT_EQ(Texts(form.fields[0].hints), (std::vector<std::string>{"one", "two"}));
  EXPECT_FALSE(form.fields[0].readOnly);
  EXPECT_TRUE(form.fields[1].readOnly);
  EXPECT_EQ(form.fields[1].initial.ToUtf8(), "fixed");
  EXPECT_TRUE(form.fields[2].hints.empty());  // NoHint wins over Hints
  EXPECT_EQ(Value("Result"), "True");
  EXPECT_EQ(Value("F0"), "typed");
  EXPECT_EQ(Value("F1"), "kept");
  EXPECT_EQ(Value("F2"), "x");
}

TEST_F(DialogTest, InputTextFieldsEndAtTheFirstNumberWithoutAVariable) {
  struct Row {
    const char* name;
    std::string fields;
    size_t shown;
  } rows[] = {
      {"none", "", 0},
      {"numbers skip", "0:Variable=F0\n2:Variable=F2\n", 1},
      {"empty variable ends", "0:Variable=F0\n1:Variable=$(Nothing)\n2:Variable=F2\n", 1},
      {"labels without a variable", "0:Label=L\n1:Variable=F1\n", 0},
      {"written out of order", "1:Variable=F1\n0:Variable=F0\n", 2},
  };
  for (const Row& row : rows) {
    SetUp();
    dialogs_.entries = {std::vector<std::string>(row.shown, "new")};
    EXPECT_TRUE(RunDialogs("InputText {\nParameter=P\n" + row.fields + "}\n")) << row.name;
    ASSERT_EQ(dialogs_.forms.size(), 1u) << row.name;
    EXPECT_EQ(dialogs_.forms[0].fields.size(), row.shown) << row.name;
    EXPECT_EQ(Value("Result"), "True") << row.name;
    EXPECT_EQ(Value("F2"), "old") << row.name;
  }
}

TEST_F(DialogTest, InputTextCancelledStopsTheRunUnlessNotAbort) {
  struct Row {
    const char* notAbort;
    bool ok;
  } rows[] = {{"", false}, {"False", false}, {"$(Nothing)", false}, {"True", true}, {"1", true}};
  for (const Row& row : rows) {
    SetUp();
    const bool ok = RunDialogs(std::string("InputText {\nParameter=P\nNotAbort=") + row.notAbort +
                               "\n0:Variable=F0\n0:Initial=init\n}\nDefine {\nF1=after\n}\n");
    EXPECT_EQ(ok, row.ok) << row.notAbort;
    EXPECT_EQ(Value("Result"), "False") << row.notAbort;
    EXPECT_EQ(Value("F0"), "old") << row.notAbort;
    EXPECT_EQ(Value("F1"), row.ok ? "after" : "old") << row.notAbort;
  }
}

TEST_F(DialogTest, InputTextWithABrokenParameterFailsBeforeShowing) {
  for (const char* line : {"Parameter=$(Open", "0:Label=$(Open", "1:Variable=$(Open", "NotAbort=$(Open"}) {
    SetUp();
    EXPECT_FALSE(RunDialogs(std::string("InputText {\n0:Variable=F0\n") + line + "\n}\n")) << line;
    EXPECT_TRUE(dialogs_.forms.empty()) << line;
    EXPECT_EQ(Error().substr(0, 27), "Unbalanced variable block !") << line;
    EXPECT_EQ(Value("Result"), "old") << line;
  }
}

TEST_F(DialogTest, InputTextOffersTextsOfEarlierFormsPerFieldPosition) {
  const std::string form = "InputText {\n0:Variable=F0\n1:Variable=F1\n}\n";
  dialogs_.entries = {{"first", "one"}, {"second", "one"}, {"first", ""}, {"x", "y"}};
  EXPECT_TRUE(RunDialogs(form));
  EXPECT_TRUE(RunDialogs(form));
  EXPECT_TRUE(RunDialogs(form));
  // Newest first, no repeats, no empty texts; a position's texts stay with it.
  EXPECT_TRUE(RunDialogs("InputText {\n0:Variable=F0\n1:Variable=F1\n1:NoHint=True\n}\n"));
  ASSERT_EQ(dialogs_.forms.size(), 4u);
  EXPECT_TRUE(dialogs_.forms[0].fields[0].hints.empty());
  EXPECT_EQ(Texts(dialogs_.forms[1].fields[0].hints), (std::vector<std::string>{"first"}));
  EXPECT_EQ(Texts(dialogs_.forms[2].fields[0].hints), (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(Texts(dialogs_.forms[2].fields[1].hints), (std::vector<std::string>{"one"}));
  EXPECT_EQ(Texts(dialogs_.forms[3].fields[0].hints), (std::vector<std::string>{"first", "second"}));
  EXPECT_TRUE(dialogs_.forms[3].fields[1].hints.empty());
  // A field with NoHint is not remembered either; its own Hints replace the memory.
  dialogs_.entries = {{"z", "w"}};
  EXPECT_TRUE(RunDialogs("InputText {\n0:Variable=F0\n0:Hints=h\n1:Variable=F1\n}\n"));
  EXPECT_EQ(Texts(dialogs_.forms[4].fields[0].hints), (std::vector<std::string>{"h"}));
  EXPECT_EQ(Texts(dialogs_.forms[4].fields[1].hints), (std::vector<std::string>{"one"}));
}

TEST_F(DialogTest, HintMemoryKeepsTheFirstTwentyPositionsAndANewestFirstList) {
  JobInputHintMemory memory;
  for (int32_t i = 0; i < 40; ++i) memory.Remember(3, RawString::FromUtf8(std::to_string(i)));
  const std::vector<std::string> kept = Texts(memory.Recall(3));
  ASSERT_EQ(kept.size(), JobInputHintMemory::kTextsPerPosition);
  EXPECT_EQ(kept.front(), "39");
  EXPECT_EQ(kept.back(), "24");
  memory.Remember(JobInputHintMemory::kPositions - 1, "last");
  memory.Remember(JobInputHintMemory::kPositions, "beyond");
  memory.Remember(-1, "before");
  EXPECT_EQ(Texts(memory.Recall(JobInputHintMemory::kPositions - 1)), std::vector<std::string>{"last"});
  EXPECT_TRUE(memory.Recall(JobInputHintMemory::kPositions).empty());
  EXPECT_TRUE(memory.Recall(-1).empty());
}

TEST_F(DialogTest, DialogCommandsAreRegisteredAfterOpenFileInTheLaunchersOrder) {
  const JobCommandList& registry = JobCommandList::Instance();
  std::vector<std::string> words;
  for (const std::unique_ptr<JobCommandUnit>& command : registry) words.push_back(command->name.ToUtf8());
  const auto at = std::find(words.begin(), words.end(), "OpenFile");
  ASSERT_NE(at, words.end());
  ASSERT_GE(words.end() - at, 5);
  EXPECT_EQ(std::vector<std::string>(at + 1, at + 5),
            (std::vector<std::string>{"Pickup", "AskMessage", "PutMessage", "InputText"}));
  EXPECT_EQ(registry.Find("askmessage"), nullptr);
}

// The question and the form each hold a "User" record open while they are shown, inside the
// command's own record, closed with the answer's outcome.
TEST_F(DialogTest, QuestionsAndFormsAreRecordedWhileTheyAreShown) {
  const std::filesystem::path folder = std::filesystem::path(KESTREL_TEST_TMP_DIR) / "dialogs-log";
  std::filesystem::remove_all(folder);
  JobLogOptions options;
  // The folder as the program's text: a narrow path would go through the system's code page, which
  // cannot hold every letter of a folder the project may be cloned into.
  options.folder = TestFiles::PathText(folder);
  ASSERT_TRUE(JobLogServer::Instance().Start(options));
  JobLogServer::Instance().SetDetail("UC");
  dialogs_.answers = {0};
  const bool ok = RunDialogs("AskMessage {\nParameter=Go on?\n}\nInputText {\nParameter=Form\nNotAbort=1\n}\n");
  // The log joins folder and name with a backslash on every platform.
  const std::filesystem::path path = TestFiles::PathOf(JobLogServer::Instance().FilePath());
  JobLogServer::Instance().Stop();
  JobLogServer::Instance().SetDetail("UCPV");
  EXPECT_TRUE(ok);
  const std::string log = TestFiles::Bytes(path);
  // Each part in this order: the record's opening, its text, its result, its end.
  size_t at = 0;
  for (const char* part : {">Executor:", "|AskMessage\r\n", "#Begin:User:", "|(Ask)Go on?\r\n", "|$ Success\r\n",
                           "#End:User:", "|InputText\r\n", "#Begin:User:", "|(Input)Form\r\n", "|$ Failed\r\n",
                           "#End:User:"}) {
    const size_t found = log.find(part, at);
    ASSERT_NE(found, std::string::npos) << part << "\n" << log;
    at = found + 1;
  }
}

// ---- The console screen ----

// Input typed ahead into a temporary file, and output kept in another.
class Typed {
 public:
  explicit Typed(const std::string& input) : in_(std::tmpfile()), out_(std::tmpfile()) {
    std::fputs(input.c_str(), in_);
    std::rewind(in_);
  }
  ~Typed() {
    std::fclose(in_);
    std::fclose(out_);
  }
  Typed(const Typed&) = delete;
  Typed& operator=(const Typed&) = delete;
  std::FILE* In() const { return in_; }
  std::FILE* Out() const { return out_; }
  std::string Output() const {
    std::rewind(out_);
    std::string text;
    for (int c = std::fgetc(out_); c != EOF; c = std::fgetc(out_)) text.push_back(static_cast<char>(c));
    return text;
  }
  long Consumed() const { return std::ftell(in_); }

 private:
  std::FILE* in_;
  std::FILE* out_;
};

TEST(ConsoleScreenTest, QuestionsAreAnsweredByNumberOrCaption) {
  const std::vector<RawString> captions = {"Yes", "No", "Later"};
  struct Row {
    const char* typed;
    int32_t answer;
  } rows[] = {
      {"2\n", 1},           {"Later\r\n", 2},       {" 1 \n", 0},          {"0\n4\nmaybe\n3\n", 2},
      {"\n", JobScreen::kClosed}, {"", JobScreen::kClosed}, {"9\n", JobScreen::kClosed},
  };
  for (const Row& row : rows) {
    Typed typed(row.typed);
    JobStreamTerminal terminal(typed.In(), typed.Out(), JobStreamTerminal::Attach::Assume);
    JobConsoleScreen screen(terminal);
    EXPECT_EQ(screen.Ask("Proceed?", captions), row.answer) << row.typed;
    const std::string shown = typed.Output();
    EXPECT_NE(shown.find("Proceed?\n  1) Yes\n  2) No\n  3) Later\n"), std::string::npos) << shown;
  }
}

TEST(ConsoleScreenTest, FormsKeepInitialTextsAndCancelAtTheEndOfInput) {
  std::vector<JobInputField> fields(3);
  fields[0].label = "Name";
  fields[0].initial = "draft";
  fields[0].hints = {"alpha", "beta"};
  fields[1].initial = "fixed";
  fields[1].readOnly = true;
  struct Row {
    const char* typed;
    bool finished;
    std::vector<std::string> texts;
  } rows[] = {
      {"final\nthird\n\n", true, {"final", "fixed", "third"}},
      {"\n\nf\n", true, {"draft", "fixed", ""}},
      {"a\nb\nx\nc\n", false, {}},  // asked again until "c"
      {"a\n", false, {}},           // the input ends within the form
  };
  for (const Row& row : rows) {
    Typed typed(row.typed);
    JobStreamTerminal terminal(typed.In(), typed.Out(), JobStreamTerminal::Attach::Assume);
    JobConsoleScreen screen(terminal);
    std::vector<RawString> texts = {"untouched"};
    EXPECT_EQ(screen.Input("Copy where?", fields, texts), row.finished) << row.typed;
    EXPECT_EQ(Texts(texts), row.finished ? row.texts : std::vector<std::string>{"untouched"}) << row.typed;
    const std::string shown = typed.Output();
    EXPECT_NE(shown.find("Input text ?\nCopy where?\n  hints: alpha; beta\nName [draft]: "), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("fixed (read only)\nField 3: "), std::string::npos) << shown;
  }
}

TEST(ConsoleScreenTest, WithoutATerminalEveryDialogCountsAsClosed) {
  Typed typed("1\nf\n");
  JobStreamTerminal terminal(typed.In(), typed.Out());  // a file is no terminal
  JobConsoleScreen screen(terminal);
  EXPECT_FALSE(terminal.IsAttached());
  EXPECT_EQ(screen.Ask("Q", {"Yes"}), JobScreen::kClosed);
  std::vector<RawString> texts;
  EXPECT_FALSE(screen.Input("T", {}, texts));
  EXPECT_EQ(typed.Consumed(), 0);
  EXPECT_EQ(typed.Output(), "");
}

}  // namespace
}  // namespace JobLayer
