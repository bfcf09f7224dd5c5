#include "job/profile_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/icon_cache.h"
#include "job/variable.h"
#include "raw/file.h"
#include "tests/unit/job/fake_screen.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::Bytes;
using TestFiles::PathText;
using TestFiles::Put;

std::string Text(const RawString& text) { return text.ToUtf8(); }

class ProfileModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder per case: CTest runs cases in processes of their own, side by side.
    folder_ = TestFiles::ScratchFolder("profile_model");
    model().Clear();
  }
  void TearDown() override { model().Clear(); }

  static JobProfileModel& model() { return JobProfileModel::Instance(); }

  // Writes the profile and loads it.
  bool Load(const std::string& bytes, const char* name = "profile.ini") {
    path_ = folder_ / name;
    Put(path_, bytes);
    return model().Load(PathText(path_));
  }

  std::vector<std::string> ButtonNames() const {
    std::vector<std::string> names;
    for (const JobButtonUnit& button : model().buttons) names.push_back(Text(button.name));
    return names;
  }
  std::vector<std::string> SelectorNames() const {
    std::vector<std::string> names;
    for (const JobSelectorUnit& selector : model().selectors) names.push_back(Text(selector.name));
    return names;
  }
  std::vector<std::string> ActionNames() const {
    std::vector<std::string> names;
    for (const JobActionUnit& action : model().actions) names.push_back(Text(action.name));
    return names;
  }

  fs::path folder_;
  fs::path path_;
};

TEST_F(ProfileModelTest, SectionKindsAndHeaders) {
  ASSERT_TRUE(Load(
      "stray line before any header\r\n"
      "[Button:]\r\n"
      "  \t[Button:Spaced]  \t\r\n"
      "[Button:Trailing] text\r\n"
      "Shell\r\n"
      "[button:lower]\r\n"
      "[Selector:One]\r\n"
      "[Action:Go]\r\n"
      "[InitializeMore]\r\n"
      "[Other]\r\n"
      "[]\r\n"
      "[Button:-]\r\n"
      "[Button:Same]\r\n"
      "[Button:Same]\r\n"
      "[Selector:-]\r\n"));
  EXPECT_EQ(ButtonNames(), (std::vector<std::string>{"", "Spaced", "-", "Same", "Same"}));
  EXPECT_EQ(SelectorNames(), (std::vector<std::string>{"One", "-"}));
  EXPECT_EQ(ActionNames(), (std::vector<std::string>{"Go", "#Initialize"}));
  EXPECT_EQ(model().buttons.At(2)->flags & JobButtonUnit::kSeparator, JobButtonUnit::kSeparator);
  EXPECT_EQ(model().buttons.At(1)->flags & JobButtonUnit::kSeparator, 0);
  EXPECT_EQ(model().selectors.At(1)->flags & JobSelectorUnit::kSeparator, JobSelectorUnit::kSeparator);
  EXPECT_EQ(model().buttons.At(5), nullptr);
  EXPECT_EQ(model().buttons.At(-1), nullptr);
  ASSERT_NE(model().actions.Find("Go"), nullptr);
  EXPECT_EQ(model().actions.Find("go"), nullptr);
}

TEST_F(ProfileModelTest, ScriptLinesCommentsAndBrackets) {
  ASSERT_TRUE(Load(
      "[Button:A]\r\n"
      "/ a comment before the script\r\n"
      "Shell {\r\n"
      "   / a comment inside a block\r\n"
      "  Command=a/b.exe\r\n"
      "}\r\n"
      "[not a header\r\n"
      "Hidden\r\n"
      "[Button:B]\r\n"
      "Title=x\r\n"));
  EXPECT_EQ(ButtonNames(), (std::vector<std::string>{"A", "B"}));
  const JobButtonUnit& a = *model().buttons.At(0);
  ASSERT_EQ(a.params.Count(), 1);
  const JobParamUnit* shell = a.params.Find("Shell");
  ASSERT_NE(shell, nullptr);
  ASSERT_EQ(shell->Kind(), JobParamUnit::kCommand);
  EXPECT_EQ(Text(static_cast<const JobParamCommand*>(shell)->params.GetValue("Command")), "a/b.exe");
  // The "[" line ended A's section; the lines after it belonged to an ignored block.
  EXPECT_EQ(a.params.Find("Hidden"), nullptr);
}

TEST_F(ProfileModelTest, DefaultUnitsAndUnbalancedSections) {
  testing_support::FakeScreen screen;
  ASSERT_TRUE(Load(
      "[Button:*]\r\n"
      "Title=first\r\n"
      "[Button:*]\r\n"
      "Title=second\r\n"
      "[Selector:*]\r\n"
      "Title=sel\r\n"
      "[Button:Open]\r\n"
      "If {\r\n"
      "  Shell\r\n"
      "[Button:Closed]\r\n"
      "}\r\n"));
  EXPECT_EQ(screen.messages,
            (std::vector<std::string>{"Unbalanced section blocks !\r\n  [value] Section Button:Open\r\n  [line] 8",
                                      "Unbalanced section blocks !\r\n  [value] Section Button:Closed\r\n  [line] 11"}))
      << "each at the line that broke the balance";
  ASSERT_NE(model().buttons.Default(), nullptr);
  EXPECT_EQ(Text(model().buttons.Default()->params.GetValue("Title")), "second");
  ASSERT_NE(model().selectors.Default(), nullptr);
  // An unbalanced section is reported and kept with what was read.
  EXPECT_EQ(ButtonNames(), (std::vector<std::string>{"Open", "Closed"}));
  EXPECT_EQ(model().buttons.At(0)->params.Count(), 0);
}

TEST_F(ProfileModelTest, MissingProfileStillSetsTheSystemVariables) {
  JobVariableList::Instance().Set("ExitCode", "7");
  JobVariableList::Instance().Set("Missing", "gone");
  EXPECT_FALSE(model().Load(PathText(folder_ / "absent.ini")));
  EXPECT_EQ(Text(JobVariableList::Instance().ValueOf("ExitCode")), "0");
  EXPECT_EQ(Text(JobVariableList::Instance().ValueOf("Missing")), "");
}

struct SetupRow {
  const char* body;
  const char* caption;
  const char* tip;
  uint16_t flags;
};

TEST_F(ProfileModelTest, ButtonSetup) {
  const SetupRow rows[] = {
      {"", "N", "N", JobButtonUnit::kShowCaption},
      {"Title=Caption\r\n", "Caption", "Caption", JobButtonUnit::kShowCaption},
      {"IconFile=x.ico\r\n", "N", "N", JobButtonUnit::kHasIcon},
      {"IconFile=x.ico\r\nTitle=T\r\nTipText=Tip\r\n", "T", "Tip",
       JobButtonUnit::kHasIcon | JobButtonUnit::kShowCaption},
      {"Hidden=FALSE\r\n", "N", "N", JobButtonUnit::kShowCaption},
      {"Hidden=false\r\n", "N", "N", JobButtonUnit::kShowCaption},
      {"Hidden=0\r\n", "N", "N", JobButtonUnit::kShowCaption | JobButtonUnit::kHidden},
      {"Hidden=No\r\nDropRun=True\r\n", "N", "N",
       JobButtonUnit::kShowCaption | JobButtonUnit::kHidden | JobButtonUnit::kDropRun},
      {"Hidden=\r\n", "N", "N", JobButtonUnit::kShowCaption},
      {"Title=$(Word)!\r\n", "set!", "set!", JobButtonUnit::kShowCaption},
      // The first unit of a name wins, and a command of that name counts as empty.
      {"Title {\r\n}\r\nTitle=late\r\n", "N", "N", JobButtonUnit::kShowCaption},
  };
  JobVariableList::Instance().Set("Word", "set");
  for (const SetupRow& row : rows) {
    SCOPED_TRACE(row.body);
    model().Clear();
    ASSERT_TRUE(Load(std::string("[Button:N]\r\n") + row.body));
    model().buttons.SetupButtons();
    const JobButtonUnit& button = *model().buttons.At(0);
    EXPECT_EQ(Text(button.caption), row.caption);
    EXPECT_EQ(Text(button.tipText), row.tip);
    EXPECT_EQ(button.flags, row.flags);
    EXPECT_EQ(button.iconEntry >= 0, (row.flags & JobButtonUnit::kHasIcon) != 0);
  }
}

TEST_F(ProfileModelTest, ButtonIconIndexIsDecimal) {
  const std::pair<const char*, int32_t> rows[] = {{"12", 12}, {"-2", -2}, {"0x10", 0}, {"3junk", 0}, {"", 0}};
  for (const auto& [text, index] : rows) {
    SCOPED_TRACE(text);
    model().Clear();
    ASSERT_TRUE(Load(std::string("[Button:N]\r\nIconFile=index-test.ico\r\nIconIndex=") + text + "\r\n"));
    model().buttons.SetupButtons();
    JobIconInfoUnit entry(0, 0, RawString(), 0, 0);
    ASSERT_TRUE(JobIconControl::Instance().EntryAt(model().buttons.At(0)->iconEntry, entry));
    EXPECT_EQ(entry.iconIndex, index);
  }
}

TEST_F(ProfileModelTest, EmptyNamedButtonHasAnEmptyCaption) {
  ASSERT_TRUE(Load("[Button:]\r\nTitle=\r\n[Selector:S]\r\n[Selector:T]\r\nTitle=Shown\r\n"));
  model().buttons.SetupButtons();
  model().selectors.SetupSelectors();
  EXPECT_EQ(Text(model().buttons.At(0)->caption), "");
  EXPECT_EQ(Text(model().selectors.At(0)->caption), "S");
  EXPECT_EQ(Text(model().selectors.At(1)->caption), "Shown");
}

TEST_F(ProfileModelTest, SelectorOrder) {
  const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> rows = {
      {{"b", "A", "ab"}, {"A", "ab", "b"}},
      // Letters fold to upper case, so "_" (after "Z") sorts after every letter.
      {{"Zeta", "alpha", "ALPHA2", "_x", "a"}, {"a", "alpha", "ALPHA2", "Zeta", "_x"}},
  };
  for (const auto& [input, sorted] : rows) {
    model().Clear();
    for (const std::string& name : input) model().selectors.Add().name = RawString::FromUtf8(name);
    model().selectors.Sort(JobSelectorListSort(), false);
    EXPECT_EQ(SelectorNames(), sorted);
    model().selectors.Sort(JobSelectorListSort(), true);
    EXPECT_EQ(SelectorNames(), std::vector<std::string>(sorted.rbegin(), sorted.rend()));
  }
}

TEST_F(ProfileModelTest, CreateFromDrop) {
  ASSERT_TRUE(Load("[Button:A]\r\n[Button:B]\r\n"));
  JobTraceId context{"Test", 0};
  JobButtonUnit& made = model().buttons.CreateFromDrop(1, "C:\\Tools\\edit.exe", context);
  EXPECT_EQ(ButtonNames(), (std::vector<std::string>{"A", "edit.exe", "B"}));
  EXPECT_EQ(Text(made.params.GetValue("IconFile")), "C:\\Tools\\edit.exe");
  const JobParamUnit* shell = made.params.Find("Shell");
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(Text(static_cast<const JobParamCommand*>(shell)->params.GetValue("Command")), "C:\\Tools\\edit.exe");
  EXPECT_EQ(made.flags & JobButtonUnit::kHasIcon, JobButtonUnit::kHasIcon);
  model().buttons.CreateFromDrop(-1, "plain", context);
  model().buttons.CreateFromDrop(99, "a/b/last", context);
  EXPECT_EQ(ButtonNames(), (std::vector<std::string>{"A", "edit.exe", "B", "plain", "last"}));

  JobSelectorUnit& selector = model().selectors.CreateFromDrop(0, "/x/y.txt", context);
  EXPECT_EQ(Text(selector.name), "y.txt");
  const JobParamUnit* define = selector.params.Find("Define");
  ASSERT_NE(define, nullptr);
  EXPECT_EQ(Text(static_cast<const JobParamCommand*>(define)->params.GetValue("Selector")), "/x/y.txt");
}

TEST_F(ProfileModelTest, CreateFromDropUsesTheDefaultUnit) {
  ASSERT_TRUE(Load("[Button:*]\r\nTitle=Open $(APPEND)\r\nShell {\r\nCommand=$(APPEND)\r\n}\r\n"));
  JobButtonUnit& made = model().buttons.CreateFromDrop(0, "d:\\a.txt", JobTraceId{"Test", 0});
  EXPECT_EQ(Text(made.params.GetValue("Title")), "Open d:\\a.txt");
  const JobParamUnit* shell = made.params.Find("Shell");
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(Text(static_cast<const JobParamCommand*>(shell)->params.GetValue("Command")), "d:\\a.txt");
  // The default keeps its own text.
  EXPECT_EQ(Text(model().buttons.Default()->params.GetValue("Title")), "Open $(APPEND)");
  EXPECT_EQ(Text(made.caption), "Open d:\\a.txt");
}

TEST_F(ProfileModelTest, CreateFromDropReplacesEveryAppendMark) {
  ASSERT_TRUE(Load("[Button:*]\r\nTitle=$(APPEND) | $(APPEND)\r\nShell {\r\nCommand=copy \"$(APPEND)\" \"$(APPEND).bak\"\r\n}\r\n"
                   "[Selector:*]\r\nDefine {\r\nSelector=$(APPEND)$(APPEND)\r\n}\r\n"));
  const JobTraceId context{"Test", 0};
  // The dropped text holds the mark itself: what a replacement puts in stays as it is.
  JobButtonUnit& button = model().buttons.CreateFromDrop(0, "x$(APPEND)", context);
  EXPECT_EQ(Text(button.params.GetValue("Title")), "x$(APPEND) | x$(APPEND)");
  const auto* shell = static_cast<const JobParamCommand*>(button.params.Find("Shell"));
  ASSERT_NE(shell, nullptr);
  EXPECT_EQ(Text(shell->params.GetValue("Command")), "copy \"x$(APPEND)\" \"x$(APPEND).bak\"");
  JobSelectorUnit& selector = model().selectors.CreateFromDrop(0, "s", context);
  const auto* define = static_cast<const JobParamCommand*>(selector.params.Find("Define"));
  ASSERT_NE(define, nullptr);
  EXPECT_EQ(Text(define->params.GetValue("Selector")), "ss");
}

TEST_F(ProfileModelTest, SavingButtonsRewritesOnlyTheirSections) {
  ASSERT_TRUE(Load(
      "; head\r\n"
      "[Option]\r\n"
      "Key=1\r\n"
      "[Button:Old1]\r\n"
      "Title=o1\r\n"
      "[Selector:S]\r\n"
      "Shell\r\n"
      "[Button:Old2]\r\n"
      "[Tail]\r\n"
      "x=y\r\n"));
  model().buttons.Clear();
  JobButtonUnit& b = model().buttons.Add();
  b.name = "New";
  b.params.AddText("Title", "n");
  JobParamList block;
  block.AddText("Command", "c.exe");
  b.params.AddCommand("Shell", block);
  ASSERT_TRUE(model().SaveButtons());
  EXPECT_EQ(Bytes(path_),
            "; head\r\n"
            "[Option]\r\n"
            "Key=1\r\n"
            "[Button:New]\r\n"
            "Title=n\r\n"
            "Shell {\r\n"
            "  Command=c.exe\r\n"
            "}\r\n"
            "\r\n"
            "[Selector:S]\r\n"
            "Shell\r\n"
            "[Tail]\r\n"
            "x=y\r\n");
  EXPECT_FALSE(fs::exists(fs::path(path_.string() + ".tmp")));
}

TEST_F(ProfileModelTest, CommandsWithoutNameOrBlockSurviveASaveAndLoad) {
  ASSERT_TRUE(Load("[Option]\r\n"));
  JobButtonUnit& button = model().buttons.Add();
  button.name = "B";
  JobParamList inner;
  inner.AddCommand("", JobParamList());
  button.params.AddText("a", "1");
  button.params.AddCommand("", JobParamList());
  button.params.AddCommand("", inner);
  button.params.AddCommand("Shell", JobParamList());
  button.params.AddText("b", "2");
  auto lines = [](const JobParamList& params) {
    RawLayer::RawStringList written;
    params.WriteLines(written, 0);
    std::vector<std::string> out;
    for (const RawString& line : written) out.push_back(Text(line));
    return out;
  };
  const std::vector<std::string> before = lines(button.params);
  ASSERT_TRUE(model().SaveButtons());
  model().Clear();
  ASSERT_TRUE(model().Load(PathText(path_)));
  ASSERT_EQ(ButtonNames(), std::vector<std::string>{"B"});
  const JobParamList& read = model().buttons.At(0)->params;
  EXPECT_EQ(read.Count(), 5);
  EXPECT_EQ(lines(read), before);
}

TEST_F(ProfileModelTest, SavingAppendsOrCreates) {
  ASSERT_TRUE(Load("[Option]\r\nKey=1\r\n"));
  model().selectors.Add().name = "S";
  ASSERT_TRUE(model().SaveSelectors());
  EXPECT_EQ(Bytes(path_), "[Option]\r\nKey=1\r\n[Selector:S]\r\n\r\n");

  fs::remove(path_);
  ASSERT_TRUE(model().SaveSelectors());
  EXPECT_EQ(Bytes(path_), "[Selector:S]\r\n\r\n");
}

TEST_F(ProfileModelTest, SavingKeepsTheEncodingAndMark) {
  // UTF-16 little-endian with a mark: "[Button:A]" CR LF "; é" CR LF.
  auto wide = [](const std::u16string& text) {
    std::string bytes("\xFF\xFE", 2);
    for (char16_t c : text) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
  };
  ASSERT_TRUE(Load(wide(u"[Button:A]\r\n[Keep]\r\n; \u00e9\r\n")));
  model().buttons.At(0)->name = "\xE6\x97\xA5";  // 日
  ASSERT_TRUE(model().SaveButtons());
  EXPECT_EQ(Bytes(path_), wide(u"[Button:\u65e5]\r\n\r\n[Keep]\r\n; \u00e9\r\n"));
}

TEST_F(ProfileModelTest, SavingRefusesWhatWouldLoseText) {
  // A binary file is not a profile to rewrite.
  std::string binary("[Button:A]\r\n\0\0\0\x01\x02", 17);
  ASSERT_TRUE(Load(binary));
  EXPECT_FALSE(model().SaveButtons());
  EXPECT_EQ(Bytes(path_), binary);

  // A Shift_JIS file cannot hold a character outside its page: the old file stays.
  std::string sjis = "[Button:\x93\xfa\x96\x7b]\r\n[Keep]\r\n";  // 日本
  model().Clear();
  ASSERT_TRUE(Load(sjis, "sjis.ini"));
  model().buttons.Add().name = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // é€😀
  EXPECT_FALSE(model().SaveButtons());
  EXPECT_EQ(Bytes(path_), sjis);
  EXPECT_FALSE(fs::exists(fs::path(path_.string() + ".tmp")));
}

TEST_F(ProfileModelTest, SavingFailsCleanlyOnEveryFileFault) {
  const std::string original = "[Button:A]\r\nTitle=a\r\n[Keep]\r\nk=v\r\n";
  ASSERT_TRUE(Load(original));
  model().buttons.At(0)->params.AddText("TipText", "t");
  const std::string saved = "[Button:A]\r\nTitle=a\r\nTipText=t\r\n\r\n[Keep]\r\nk=v\r\n";
  RawLayer::RawFileFaults::StartCounting();
  ASSERT_TRUE(model().SaveButtons());
  int64_t operations = RawLayer::RawFileFaults::OperationCount();
  RawLayer::RawFileFaults::Reset();
  ASSERT_GT(operations, 0);
  for (int64_t n = 1; n <= operations; ++n) {
    SCOPED_TRACE(n);
    Put(path_, original);
    RawLayer::RawFileFaults::FailOperation(n);
    bool ok = model().SaveButtons();
    RawLayer::RawFileFaults::Reset();
    std::string now = Bytes(path_);
    EXPECT_TRUE(ok ? now == saved : now == original) << now;
  }
}

}  // namespace
}  // namespace JobLayer
