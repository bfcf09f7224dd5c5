#include "tool/options.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tool/startup.h"

namespace {

using RawLayer::RawParameterList;
using RawLayer::RawParameterUnit;
using RawLayer::RawString;
using RawLayer::RawStringList;
using ToolLayer::ToolOptions;

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const RawParameterList& list) {
  Entries entries;
  for (const RawParameterUnit& unit : list) entries.emplace_back(unit.key.ToUtf8(), unit.value.ToUtf8());
  return entries;
}

std::vector<std::string> Texts(const RawStringList& list) {
  std::vector<std::string> texts;
  for (const RawString& text : list) texts.push_back(text.ToUtf8());
  return texts;
}

ToolOptions Options(const std::string& line) { return ToolLayer::ReadToolOptions(RawString::FromUtf8(line)); }

struct TokenRow {
  const char* name;
  std::string line;
  Entries expected;
};

class ToolTokenTest : public testing::TestWithParam<TokenRow> {};

TEST_P(ToolTokenTest, Entries) {
  RawParameterList list;
  ToolLayer::ReadToolCommandLine(RawString::FromUtf8(GetParam().line), list);
  EXPECT_TRUE(list.Exact());
  EXPECT_EQ(EntriesOf(list), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ToolTokenTest,
    testing::Values(
        TokenRow{"OnlyProgram", "\"C:\\Program Files\\tessera.exe\"", {}},
        TokenRow{"PatternsTakeValues", "t -n *Report -c >Viewer -f x.exe",
                 {{"n", "*Report"}, {"c", ">Viewer"}, {"f", "x.exe"}}},
        TokenRow{"QuotedValueWithBlanks", "t -n \"My Window\" -x 5", {{"n", "My Window"}, {"x", "5"}}},
        // A flag option never takes the next token: it stays an argument.
        TokenRow{"FlagsTakeNoValue", "t -l extra -k", {{"l", ""}, {"NoTag_1", "extra"}, {"k", ""}}},
        TokenRow{"ValueBeginningWithDashIsNoValue", "t -x -10", {{"x", ""}, {"10", ""}}},
        TokenRow{"HashWritesNegatives", "t -x #10 -X +5", {{"x", "#10"}, {"X", "+5"}}},
        TokenRow{"OptionAtEndHasNoValue", "t -e", {{"e", ""}}},
        TokenRow{"StoreVariantsAreNames", "t -s- -S+ -s+ -S-", {{"s-", ""}, {"S+", ""}, {"s+", ""}, {"S-", ""}}},
        TokenRow{"CaseMatters", "t -h 5 -H 6", {{"h", "5"}, {"H", "6"}}},
        TokenRow{"UsageAndQuiet", "t -? -z", {{"?", ""}, {"z", ""}}}),
    [](const testing::TestParamInfo<TokenRow>& info) { return std::string(info.param.name); });

struct NumberRow {
  const char* text;
  bool ok;
  int32_t value;
};

class ToolNumberTest : public testing::TestWithParam<NumberRow> {};

TEST_P(ToolNumberTest, Value) {
  int32_t value = 12345;
  const bool ok = ToolLayer::ParseToolNumber(RawString::FromUtf8(GetParam().text), value);
  EXPECT_EQ(ok, GetParam().ok) << GetParam().text;
  EXPECT_EQ(value, GetParam().ok ? GetParam().value : 12345) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ToolNumberTest,
    testing::Values(NumberRow{"10", true, 10}, NumberRow{"+10", true, 10}, NumberRow{"#10", true, -10},
                    NumberRow{"#-10", true, 10}, NumberRow{"-7", true, -7}, NumberRow{"+#20", true, -20},
                    NumberRow{"12px", true, 12}, NumberRow{"007", true, 7}, NumberRow{"#0", true, 0},
                    NumberRow{"99999999999999999999", true, INT32_MAX},
                    NumberRow{"#99999999999999999999", true, INT32_MIN}, NumberRow{"", false, 0},
                    NumberRow{"#", false, 0}, NumberRow{"+", false, 0}, NumberRow{"px12", false, 0},
                    NumberRow{"##10", false, 0}, NumberRow{"0x10", true, 0}));

TEST(ToolOptionsTest, FlagsOfEveryOption) {
  struct Row {
    const char* line;
    uint32_t flags;
  };
  const Row rows[] = {
      {"t -m", 0x0004},     {"t -M", 0x0008},     {"t -l", 0x0002},     {"t -k", 0x0010},
      {"t -q", 0x0020},     {"t -i", 0x0040},     {"t -a", 0x0080},     {"t -t", 0x0100},
      {"t -T", 0x0200},     {"t -o", 0x0400},     {"t -z", 0x0800},     {"t -b", 0x1000},
      {"t -g", 0x2000},     {"t -n x", 0x4000},   {"t -c x", 0x4000},   {"t -f x", 0x4000},
      {"t -p", 0x8000},     {"t -e s", 0x10000},  {"t -d s", 0x30000},  {"t -s", 0x100000},
      {"t -S", 0x300000},   {"t -s-", 0x500000},  {"t -S-", 0x700000},  {"t -s+", 0x900000},
      {"t -S+", 0xB00000},  {"t -x 1", 0x0001},   {"t -H 1", 0x0001},   {"t -unknown -Q", 0},
      {"t -n", 0},          {"t -x", 0},          {"t -x px", 0},       {"t stray words", 0},
  };
  for (const Row& row : rows) EXPECT_EQ(Options(row.line).flags, row.flags) << row.line;
}

TEST(ToolOptionsTest, LaterGeometryOfAnAxisWins) {
  struct Row {
    const char* line;
    uint16_t flags;
    int32_t x;
  };
  const Row rows[] = {
      {"t -x 10 -X 5", 0x0010, 5},
      {"t -X 5 -x 10", 0x0001, 10},
      {"t -x 10 -x #3", 0x0001, -3},
      // A value that is no number leaves the earlier one in force.
      {"t -x 10 -X +", 0x0001, 10},
  };
  for (const Row& row : rows) {
    const ToolOptions options = Options(row.line);
    EXPECT_EQ(options.geometry.flags, row.flags) << row.line;
    EXPECT_EQ(options.geometry.x, row.x) << row.line;
  }
}

TEST(ToolOptionsTest, EachAxisKeepsItsOwnValue) {
  const ToolOptions options = Options("t -x #8 -Y 4 -w 800 -H #20");
  EXPECT_EQ(options.geometry.flags, 0x0001 | 0x0020 | 0x0004 | 0x0080);
  EXPECT_EQ(options.geometry.x, -8);
  EXPECT_EQ(options.geometry.y, 4);
  EXPECT_EQ(options.geometry.w, 800);
  EXPECT_EQ(options.geometry.h, -20);
}

TEST(ToolOptionsTest, PatternsAccumulateInOrderAndEmptyOnesAreDropped) {
  const ToolOptions options = Options("t -n <*Draft* -c Main* -n \"\" -n *Report -f *x.exe");
  EXPECT_EQ(Texts(options.names), (std::vector<std::string>{"<*Draft*", "*Report"}));
  EXPECT_EQ(Texts(options.classes), (std::vector<std::string>{"Main*"}));
  EXPECT_EQ(Texts(options.files), (std::vector<std::string>{"*x.exe"}));
}

TEST(ToolOptionsTest, SectionPatternDefaultsToEverySection) {
  EXPECT_EQ(Options("t -e").section, "*");
  EXPECT_EQ(Options("t -d -z").section, "*");
  EXPECT_EQ(Options("t -e Notes").section, "Notes");
  EXPECT_EQ(Options("t -e A -d B").section, "B");
  EXPECT_TRUE(Options("t -?").usage);
}

TEST(ToolOptionsTest, CloneHasListsOfItsOwn) {
  const ToolOptions options = Options("t -n a");
  ToolOptions copy = options.Clone();
  copy.names.Add("b");
  copy.classes.Add("c");
  EXPECT_EQ(Texts(options.names), (std::vector<std::string>{"a"}));
  EXPECT_TRUE(options.classes.IsEmpty());
  EXPECT_EQ(Texts(copy.names), (std::vector<std::string>{"a", "b"}));
}

TEST(ToolOptionsTest, OptionTextReadsWithoutProgramName) {
  RawParameterList list;
  ToolLayer::ReadOptionText("-x #8 -y 0 -w 1936 -h 1056", list);
  EXPECT_EQ(EntriesOf(list), (Entries{{"x", "#8"}, {"y", "0"}, {"w", "1936"}, {"h", "1056"}}));
}

}  // namespace
