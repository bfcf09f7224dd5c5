#include "raw/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "raw/path.h"

namespace RawLayer {
namespace {

// This test program's file name, as the process list shows it.
RawString OwnName() {
  RawString path = ModulePath();
  return path.Sub({path.FindLastSeparator() + 1, path.Length()});
}

// Whether the process with this id has a name in a new snapshot, or is gone.
bool NamedOrGone(uint32_t id) {
  bool settled = true;
  (void)WalkProcesses([&](const RawString& name, uint32_t each, uint32_t) {
    if (each != id) return true;
    settled = !name.IsEmpty();
    return false;
  });
  return settled;
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
    // Other tests start programs alongside; one caught while it starts may not have
    // its name yet. It must get one (or end) soon after.
    if (unit.executableName.IsEmpty()) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!NamedOrGone(unit.processId) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      EXPECT_TRUE(NamedOrGone(unit.processId)) << unit.processId << " stays without a name";
    }
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
  EXPECT_TRUE(FindTopWindow("NoSuchClassKestrel*", "").IsEmpty());
  EXPECT_TRUE(FindTopWindow("", "No such title kestrel*").IsEmpty());
}

}  // namespace
}  // namespace RawLayer
