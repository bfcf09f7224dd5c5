#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "raw/path.h"

namespace {

using AppLayer::GuiCommandLine;
using RawLayer::RawParameterList;
using RawLayer::RawParameterUnit;
using RawLayer::RawString;

using Entries = std::vector<std::pair<std::string, std::string>>;

RawString Utf8(const std::string& text) { return RawString::FromUtf8(text); }

Entries EntriesOf(const RawParameterList& options) {
  Entries entries;
  for (const RawParameterUnit& unit : options) entries.emplace_back(unit.key.ToUtf8(), unit.value.ToUtf8());
  return entries;
}

RawParameterList Parse(const std::string& line) {
  RawParameterList options;
  AppLayer::ReadCommandLine(Utf8(line), options);
  return options;
}

struct TokenRow {
  const char* name;
  std::string line;
  Entries expected;
};

class TokeniserTest : public testing::TestWithParam<TokenRow> {};

TEST_P(TokeniserTest, Entries) {
  const TokenRow& row = GetParam();
  EXPECT_EQ(EntriesOf(Parse(row.line)), row.expected) << row.line;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TokeniserTest,
    testing::Values(
        TokenRow{"Empty", "", {}},
        TokenRow{"OnlyBlanks", "   \t ", {}},
        TokenRow{"OnlyProgram", "kestrel.exe", {}},
        TokenRow{"QuotedProgramWithBlanks", "\"C:\\Program Files\\kestrel.exe\" -a Act", {{"a", "Act"}}},
        TokenRow{"QuotesToggleInsideProgram", "C:\\\"Program Files\"\\k.exe -a Act", {{"a", "Act"}}},
        TokenRow{"UnclosedQuoteInProgramSwallowsLine", "\"C:\\k.exe -a Act", {}},
        TokenRow{"BlanksAndTabsBetweenTokens", "  k.exe \t -p \t prof.ini  ", {{"p", "prof.ini"}}},
        TokenRow{"HelpTakesNoValue", "k -h -p x.ini foo", {{"h", ""}, {"p", "x.ini"}, {"NoTag_1", "foo"}}},
        TokenRow{"HelpLeavesNextTokenAnArgument", "k -h foo", {{"h", ""}, {"NoTag_1", "foo"}}},
        TokenRow{"OptionFollowedByOptionHasEmptyValue", "k -p -a Act", {{"p", ""}, {"a", "Act"}}},
        TokenRow{"OptionAtEndHasEmptyValue", "k -a Act -l", {{"a", "Act"}, {"l", ""}}},
        TokenRow{"QuotedValueWithBlanks", "k -a \"My Action\" x", {{"a", "My Action"}, {"NoTag_1", "x"}}},
        TokenRow{"QuotedArgumentWithBlanks", "k \"a b.txt\" c", {{"NoTag_1", "a b.txt"}, {"NoTag_2", "c"}}},
        TokenRow{"EmptyQuotedValue", "k -a \"\" x", {{"a", ""}, {"NoTag_1", "x"}}},
        TokenRow{"QuotedDashIsAValue", "k -a \"-x\"", {{"a", "-x"}}},
        TokenRow{"TextAfterClosingQuoteIsNextToken", "k \"a\"b", {{"NoTag_1", "a"}, {"NoTag_2", "b"}}},
        TokenRow{"UnclosedQuoteRunsToEnd", "k -a \"open value -l x", {{"a", "open value -l x"}}},
        TokenRow{"OptionNamesKeepTheirCase", "k -A x -a y", {{"A", "x"}, {"a", "y"}}},
        TokenRow{"RepeatedOptionGivesTwoEntries", "k -a one -a two", {{"a", "one"}, {"a", "two"}}},
        TokenRow{"LongOptionName", "k -Action x", {{"Action", "x"}}},
        TokenRow{"LoneDashIsAnEmptyName", "k - x", {{"", "x"}}},
        TokenRow{"DropArguments", "k -d Btn f1 \"f 2\" f3",
                 {{"d", "Btn"}, {"NoTag_1", "f1"}, {"NoTag_2", "f 2"}, {"NoTag_3", "f3"}}},
        TokenRow{"NonAsciiText", "k -a \xC3\x84rger \"\xE3\x83\x84 x\"",
                 {{"a", "\xC3\x84rger"}, {"NoTag_1", "\xE3\x83\x84 x"}}}),
    [](const testing::TestParamInfo<TokenRow>& info) { return std::string(info.param.name); });

TEST(TokeniserTest, LookupsAreExactAndFindTheFirstEntry) {
  const RawParameterList options = Parse("k -a one -a two -P prof");
  EXPECT_TRUE(options.Exact());
  ASSERT_NE(options.Find("a"), nullptr);
  EXPECT_EQ(options.Find("a")->value, "one");
  EXPECT_EQ(options.Find("A"), nullptr);
  EXPECT_EQ(options.Find("p"), nullptr);
}

TEST(TokeniserTest, VeryLongCommandLine) {
  // The longest command line Windows hands over is 32767 characters.
  std::string line = "\"C:\\Program Files\\kestrel.exe\"";
  int arguments = 0;
  while (line.size() < 32700) {
    line += " \"C:\\some folder\\file number " + std::to_string(++arguments) + ".txt\"";
  }
  const RawParameterList options = Parse(line);
  ASSERT_EQ(options.Count(), arguments);
  EXPECT_EQ(options.Last()->key.ToUtf8(), "NoTag_" + std::to_string(arguments));
  EXPECT_EQ(options.Last()->value.ToUtf8(), "C:\\some folder\\file number " + std::to_string(arguments) + ".txt");
}

TEST(TokeniserTest, VeryLongSingleValue) {
  const std::string value(100000, 'v');
  const RawParameterList options = Parse("k -a " + value);
  ASSERT_EQ(options.Count(), 1);
  EXPECT_EQ(options.First()->value.Length(), 100000);
}

struct OptionsRow {
  const char* name;
  std::string line;
  std::string runKind;
  std::string runName;
  std::string firstArgument;
  std::vector<std::string> arguments;
  std::string configOption;
  uint32_t restartProcessId;
};

class ReadOptionsTest : public testing::TestWithParam<OptionsRow> {};

TEST_P(ReadOptionsTest, Choice) {
  const OptionsRow& row = GetParam();
  const GuiCommandLine choice = AppLayer::ReadOptions(Parse(row.line));
  EXPECT_EQ(choice.runKind.ToUtf8(), row.runKind);
  EXPECT_EQ(choice.runName.ToUtf8(), row.runName);
  EXPECT_EQ(choice.firstArgument.ToUtf8(), row.firstArgument);
  std::vector<std::string> arguments;
  for (const RawString& argument : choice.arguments) arguments.push_back(argument.ToUtf8());
  EXPECT_EQ(arguments, row.arguments);
  EXPECT_EQ(choice.configOption.ToUtf8(), row.configOption);
  EXPECT_EQ(choice.restartProcessId, row.restartProcessId);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadOptionsTest,
    testing::Values(
        OptionsRow{"Nothing", "k", "", "", "", {}, "", 0},
        OptionsRow{"Action", "k -a Act", "a", "Act", "", {}, "", 0},
        OptionsRow{"LastRunOptionWins", "k -a Act -r Btn -l Left", "l", "Left", "", {}, "", 0},
        OptionsRow{"UpperCaseIsNotARun", "k -A Act -L Btn", "", "", "", {}, "", 0},
        OptionsRow{"RunWithEmptyName", "k -a", "a", "", "", {}, "", 0},
        OptionsRow{"DropCollectsEveryArgument", "k first -d Btn \"f 2\" f3", "d", "Btn", "first",
                   {"first", "f 2", "f3"}, "", 0},
        OptionsRow{"ArgumentsCarriedAsOptionsAfterRestart", "k -NoTag_1 x.ini -NoTag_2 y", "", "", "x.ini",
                   {"x.ini", "y"}, "", 0},
        OptionsRow{"FirstConfigOptionCounts", "k -c a.ini -c b.ini", "", "", "", {}, "a.ini", 0},
        OptionsRow{"RestartId", "k -@ 1234", "", "", "", {}, "", 1234},
        OptionsRow{"RestartIdHex", "k -@ 0x10", "", "", "", {}, "", 16},
        OptionsRow{"RestartIdLargest", "k -@ 4294967295", "", "", "", {}, "", 4294967295u},
        OptionsRow{"RestartIdBeyond32Bits", "k -@ 4294967296", "", "", "", {}, "", 0},
        OptionsRow{"RestartIdThatWouldWrap64Bits", "k -@ 18446744073709551617", "", "", "", {}, "", 0},
        OptionsRow{"RestartIdNegative", "k -@ \"-5\"", "", "", "", {}, "", 0},
        OptionsRow{"RestartIdNotANumber", "k -@ abc", "", "", "", {}, "", 0},
        OptionsRow{"RestartIdMissing", "k -@ -a Act", "a", "Act", "", {}, "", 0}),
    [](const testing::TestParamInfo<OptionsRow>& info) { return std::string(info.param.name); });

struct ConfigRow {
  const char* name;
  std::string line;
  std::string expected;  // "<profile>" for the [Common] choice, "<resolved>" for -c resolved
};

class ChooseConfigFileTest : public testing::TestWithParam<ConfigRow> {};

TEST_P(ChooseConfigFileTest, Choice) {
  const ConfigRow& row = GetParam();
  const RawString fromProfile = "/profiles/startup.ini";
  const RawString folder = "/programs/kestrel";
  const GuiCommandLine choice = AppLayer::ReadOptions(Parse(row.line));
  const RawString chosen = AppLayer::ChooseConfigFile(fromProfile, choice, folder);
  if (row.expected == "<profile>") {
    EXPECT_EQ(chosen, fromProfile) << row.line;
  } else if (row.expected == "<resolved>") {
    EXPECT_EQ(chosen, RawLayer::ResolvePath(choice.configOption, folder)) << row.line;
    EXPECT_TRUE(chosen.StartsWith(folder)) << chosen.ToUtf8();
  } else {
    EXPECT_EQ(chosen.ToUtf8(), row.expected) << row.line;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChooseConfigFileTest,
    testing::Values(ConfigRow{"NoArguments", "k", "<profile>"},
                    ConfigRow{"BareIniUsedUnchanged", "k sub/x.ini", "sub/x.ini"},
                    ConfigRow{"SuffixIsCaseSensitive", "k x.INI", "<profile>"},
                    ConfigRow{"OnlyTheFirstArgumentCounts", "k y.txt x.ini", "<profile>"},
                    ConfigRow{"NotWithAction", "k x.ini -a Act", "<profile>"},
                    ConfigRow{"NotWithLeftClick", "k -l Btn x.ini", "<profile>"},
                    ConfigRow{"NotWithRightClick", "k x.ini -r Btn", "<profile>"},
                    ConfigRow{"NotWithDrop", "k -d Btn x.ini", "<profile>"},
                    ConfigRow{"UpperCaseActionIsNoRun", "k x.ini -A Act", "x.ini"},
                    ConfigRow{"ConfigOptionResolved", "k -c conf.ini", "<resolved>"},
                    ConfigRow{"ConfigOptionBeatsBareIni", "k -c conf.ini x.ini", "<resolved>"},
                    ConfigRow{"EmptyConfigOptionIgnored", "k x.ini -c", "x.ini"}),
    [](const testing::TestParamInfo<ConfigRow>& info) { return std::string(info.param.name); });

TEST(RestartArgumentsTest, ProcessIdFirstThenEveryOptionButTheOldId) {
  const RawParameterList options = Parse("k -@ 77 -p prof.ini -a Act -l x.ini -h y");
  EXPECT_EQ(AppLayer::BuildRestartArguments(options, 4242).ToUtf8(),
            "-@ 4242 -p prof.ini -a Act -l x.ini -h -NoTag_1 y");
}

// A restarted instance must read every value as it was: a profile in a folder with a blank
// stays one path, and a value that began with '-' (given in quotes) stays a value.
TEST(RestartArgumentsTest, ValuesWithBlanksOrALeadingDashAreQuoted) {
  const struct {
    const char* line;
    const char* arguments;
  } rows[] = {
      {"k -p \"C:\\Jo Smith\\kestrel.ini\"", "-@ 5 -p \"C:\\Jo Smith\\kestrel.ini\""},
      {"k -p \"Z:\\new folder\\ñandú\\s.ini\"", "-@ 5 -p \"Z:\\new folder\\ñandú\\s.ini\""},
      {"k -a \"Tab\there\"", "-@ 5 -a \"Tab\there\""},
      {"k -a \"-5\"", "-@ 5 -a \"-5\""},
      {"k \"two words.ini\" plain", "-@ 5 -NoTag_1 \"two words.ini\" -NoTag_2 plain"},
      {"k -a say\"hi", "-@ 5 -a say\"hi"},
  };
  for (const auto& row : rows) {
    const RawParameterList first = Parse(row.line);
    const RawString arguments = AppLayer::BuildRestartArguments(first, 5);
    EXPECT_EQ(arguments.ToUtf8(), row.arguments) << row.line;
    RawString line("k ");
    line.Append(arguments);
    Entries expected = {{"@", "5"}};
    for (const auto& entry : EntriesOf(first)) expected.push_back(entry);
    EXPECT_EQ(EntriesOf(Parse(line.ToUtf8())), expected) << row.line;
  }
}

TEST(RestartArgumentsTest, EmptyOptionList) {
  EXPECT_EQ(AppLayer::BuildRestartArguments(RawParameterList(), 1).ToUtf8(), "-@ 1");
}

TEST(RestartArgumentsTest, RoundTripKeepsEveryEntry) {
  const RawParameterList first = Parse("\"C:\\Program Files\\k.exe\" -p prof.ini -a Act x.ini -r -c \"\" y.txt");
  const RawString arguments = AppLayer::BuildRestartArguments(first, 99);
  RawString line("\"C:\\Program Files\\k.exe\" ");
  line.Append(arguments);
  const RawParameterList second = Parse(line.ToUtf8());

  Entries expected = {{"@", "99"}};
  for (const auto& entry : EntriesOf(first)) expected.push_back(entry);
  EXPECT_EQ(EntriesOf(second), expected);
  EXPECT_EQ(AppLayer::ReadOptions(second).restartProcessId, 99u);
  EXPECT_EQ(AppLayer::ReadOptions(second).firstArgument, "x.ini");
}

TEST(RestartArgumentsTest, ValueWithBlanksComesBackWhole) {
  const RawParameterList first = Parse("k -a \"My Action\" -p prof.ini");
  RawString line("k ");
  line.Append(AppLayer::BuildRestartArguments(first, 5));
  EXPECT_EQ(EntriesOf(Parse(line.ToUtf8())), (Entries{{"@", "5"}, {"a", "My Action"}, {"p", "prof.ini"}}));
}

TEST(RestartArgumentsTest, ASecondRestartDropsTheFirstId) {
  RawString line("k ");
  line.Append(AppLayer::BuildRestartArguments(Parse("k -a Act"), 10));
  RawString again("k ");
  again.Append(AppLayer::BuildRestartArguments(Parse(line.ToUtf8()), 20));
  EXPECT_EQ(again.ToUtf8(), "k -@ 20 -a Act");
}

}  // namespace
