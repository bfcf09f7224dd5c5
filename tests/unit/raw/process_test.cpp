#include "raw/process.h"

#include <gtest/gtest.h>

#include "raw/path.h"

namespace RawLayer {
namespace {

// This test program's file name, as the process list shows it.
RawString OwnName() {
  RawString path = ModulePath();
  return path.Sub({path.FindLastSeparator() + 1, path.Length()});
}

TEST(ProcessList, SnapshotHoldsThisProgramWithItsPath) {
  RawProcessInfoList list;
  ASSERT_TRUE(list.Refresh());
  ASSERT_GT(list.Count(), 1);
  const RawString own = OwnName();
  const RawString ownPath = ModulePath();
  // Other builds may run a program of the same name: one of them must be this one.
  bool found = false;
  for (const RawProcessInfoUnit& unit : list) {
    EXPECT_FALSE(unit.executableName.IsEmpty()) << unit.processId;
    if (unit.executableName.EqualNoCase(kWhole, own) && ProcessImagePath(unit.processId) == ownPath) found = true;
  }
  EXPECT_TRUE(found) << own.ToUtf8();

  const int32_t count = list.Count();
  ASSERT_TRUE(list.Refresh());
  EXPECT_LT(list.Count(), count * 2) << "a refresh replaces the list";
}

TEST(ProcessList, FindProcessMatchesNamesIgnoringCase) {
  const RawString own = OwnName();
  RawString upper;
  for (char c : own.ToUtf8()) upper.AppendChar(c >= 'a' && c <= 'z' ? c - 32 : c);
  EXPECT_TRUE(FindProcess(upper).EqualNoCase(kWhole, own)) << upper.ToUtf8();
  RawString stem = own.Sub({0, 5});
  stem.Append("*");
  EXPECT_EQ(FindProcess(stem).Sub({0, 5}).ToUtf8(), own.Sub({0, 5}).ToUtf8());
  EXPECT_TRUE(FindProcess("no-such-process-kestrel*").IsEmpty());
  EXPECT_TRUE(ProcessImagePath(0xFFFFFFF0u).IsEmpty()) << "no such process";
}

TEST(ProcessList, FindWindowGivesNothingForPatternsNoWindowMatches) {
  EXPECT_TRUE(FindWindow("NoSuchClassKestrel*", "").IsEmpty());
  EXPECT_TRUE(FindWindow("", "No such title kestrel*").IsEmpty());
}

}  // namespace
}  // namespace RawLayer
