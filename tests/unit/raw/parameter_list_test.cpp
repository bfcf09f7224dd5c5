#include "raw/parameter_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace RawLayer {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries EntriesOf(const RawParameterList& list) {
  Entries entries;
  for (const RawParameterUnit& unit : list) entries.emplace_back(unit.key.ToUtf8(), unit.value.ToUtf8());
  return entries;
}

RawParameterList ListOf(const Entries& entries) {
  RawParameterList list;
  for (const auto& [key, value] : entries) list.AddEntry(RawString::FromUtf8(key), RawString::FromUtf8(value));
  return list;
}

struct FindRow {
  const char* key;
  bool exact;
  const char* found;  // the value of the unit found, or nullptr
};

TEST(ParameterList, FindFoldsOnlyAsciiCaseUnlessExact) {
  const FindRow rows[] = {
      {"Title", false, "first"},  {"TITLE", false, "first"}, {"title", true, "lower"},
      {"TITLE", true, nullptr},   {"Ärger", false, "umlaut"}, {"äRGER", false, nullptr},
      {"Titl", false, nullptr},   {"Title ", false, nullptr}, {"", false, "empty"},
  };
  for (const FindRow& row : rows) {
    SCOPED_TRACE(row.key);
    RawParameterList list = ListOf({{"Title", "first"}, {"title", "lower"}, {"Ärger", "umlaut"}, {"", "empty"}});
    list.SetExact(row.exact);
    RawParameterUnit* unit = list.Find(RawString::FromUtf8(row.key));
    if (row.found == nullptr) {
      EXPECT_EQ(unit, nullptr);
      EXPECT_FALSE(list.Has(RawString::FromUtf8(row.key)));
    } else {
      ASSERT_NE(unit, nullptr);
      EXPECT_EQ(unit->value.ToUtf8(), row.found);
    }
  }
}

TEST(ParameterList, SetValueKeepsFirstPositionAndKey) {
  RawParameterList list;
  list.SetValue("B", "1");
  list.SetValue("A", "2");
  list.SetValue("b", "3");
  EXPECT_EQ(EntriesOf(list), (Entries{{"B", "3"}, {"A", "2"}}));
  RawParameterUnit& added = list.FindOrAdd("C");
  EXPECT_TRUE(added.value.IsEmpty());
  EXPECT_EQ(&list.FindOrAdd("c"), &added);
  EXPECT_EQ(list.Last(), &added);
  EXPECT_EQ(list.Count(), 3);
}

TEST(ParameterList, NumbersAreDecimalWithoutPrefix) {
  const std::pair<uint32_t, const char*> numbers[] = {{0, "0"}, {255, "255"}, {4294967295u, "4294967295"}};
  for (const auto& [value, text] : numbers) {
    RawParameterList list;
    list.SetNumber("N", value);
    EXPECT_EQ(list.GetValue("N", "").ToUtf8(), text);
  }
  const std::pair<int64_t, const char*> integers[] = {
      {0, "0"}, {-1, "-1"}, {INT64_MAX, "9223372036854775807"}, {INT64_MIN, "-9223372036854775808"}};
  for (const auto& [value, text] : integers) {
    RawParameterList list;
    list.SetInteger("I", value);
    EXPECT_EQ(list.GetValue("I", "").ToUtf8(), text);
  }
}

TEST(ParameterList, GetValueFallsBackOnlyWhenAbsent) {
  RawParameterList list = ListOf({{"Empty", ""}});
  EXPECT_EQ(list.GetValue("empty", "fallback"), RawString());
  EXPECT_EQ(list.GetValue("Other", "fallback"), RawString("fallback"));
}

TEST(ParameterList, CopySetsByKey) {
  RawParameterList list = ListOf({{"A", "1"}, {"B", "2"}});
  list.Copy(ListOf({{"b", "20"}, {"C", "30"}, {"C", "31"}}));
  EXPECT_EQ(EntriesOf(list), (Entries{{"A", "1"}, {"B", "20"}, {"C", "31"}}));
  RawParameterList same = list;
  list.Copy(same);
  EXPECT_EQ(list.Count(), 3);
}

TEST(ParameterList, SortComparesUnitsWithoutFolding) {
  RawParameterList list = ListOf({{"b", "1"}, {"B", "2"}, {"a", "3"}, {"Ab", "4"}, {"A", "5"}});
  list.Sort(false);
  EXPECT_EQ(EntriesOf(list), (Entries{{"A", "5"}, {"Ab", "4"}, {"B", "2"}, {"a", "3"}, {"b", "1"}}));
  list.Sort(true);
  EXPECT_EQ(EntriesOf(list), (Entries{{"b", "1"}, {"a", "3"}, {"B", "2"}, {"Ab", "4"}, {"A", "5"}}));
}

TEST(ParameterList, AddEntryKeepsRepeatedKeys) {
  RawParameterList list;
  list.AddEntry("-a", "1");
  list.AddEntry("-A", "2");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.GetValue("-a", ""), RawString("1"));
}

}  // namespace
}  // namespace RawLayer
