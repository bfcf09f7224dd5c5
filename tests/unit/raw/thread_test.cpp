#include "raw/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>

#include "raw/time_stamp.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;

// A run that blocks until the test lets it go, and records what it saw.
class GateUnit : public RawThreadUnit {
 public:
  ~GateUnit() override { Wait(); }

  void Open() {
    std::lock_guard<std::mutex> lock(lock_);
    open_ = true;
    changed_.notify_all();
  }
  void WaitUntilRunning() {
    std::unique_lock<std::mutex> lock(lock_);
    changed_.wait(lock, [this] { return running_; });
  }

  std::atomic<int> runs{0};
  std::atomic<int> finishes{0};
  std::atomic<int> priorityInRun{0};
  std::atomic<bool> busyInFinish{true};
  std::atomic<bool> finishedInFinish{false};

 protected:
  void Run() override {
    priorityInRun = CurrentThreadPriority();
    std::unique_lock<std::mutex> lock(lock_);
    running_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return open_; });
    ++runs;
  }
  void OnFinish() override {
    busyInFinish = IsBusy();
    finishedInFinish = IsFinished();
    ++finishes;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool running_ = false;
  bool open_ = false;
};

TEST(ThreadUnitTest, SecondStartWhileBusyIsRefused) {
  GateUnit unit;
  ASSERT_TRUE(unit.Start());
  unit.WaitUntilRunning();
  EXPECT_TRUE(unit.IsBusy());
  EXPECT_FALSE(unit.IsFinished());
  EXPECT_FALSE(unit.Start());
  unit.Open();
  unit.Wait();
  EXPECT_EQ(unit.runs, 1);
  EXPECT_EQ(unit.finishes, 1);
  EXPECT_FALSE(unit.IsBusy());
  EXPECT_TRUE(unit.IsFinished());
  // OnFinish runs after Run has returned: no longer busy, already finished.
  EXPECT_FALSE(unit.busyInFinish);
  EXPECT_TRUE(unit.finishedInFinish);
}

TEST(ThreadUnitTest, WaitWithoutStartReturnsAtOnce) {
  GateUnit unit;
  unit.Wait();
  EXPECT_FALSE(unit.IsBusy());
  EXPECT_FALSE(unit.IsFinished());
  EXPECT_EQ(unit.finishes, 0);
}

TEST(ThreadUnitTest, UnitRunsAgainAfterARun) {
  GateUnit unit;
  unit.Open();
  for (int round = 1; round <= 3; ++round) {
    ASSERT_TRUE(unit.Start());
    unit.Wait();
    EXPECT_EQ(unit.runs, round);
    EXPECT_EQ(unit.finishes, round);
  }
}

TEST(ThreadUnitTest, PriorityIsAppliedToTheRun) {
  GateUnit unit;
  unit.Open();
  unit.SetPriority(-1);
  ASSERT_TRUE(unit.Start());
  unit.Wait();
  EXPECT_EQ(unit.priorityInRun, -1);
}

// A unit that starts itself once more from OnFinish: Start is open again there.
class RestartingUnit : public RawThreadUnit {
 public:
  ~RestartingUnit() override { Wait(); }
  std::atomic<int> runs{0};
  std::atomic<bool> restarted{false};

 protected:
  void Run() override { ++runs; }
  void OnFinish() override {
    if (runs == 1) restarted = Start();
  }
};

TEST(ThreadUnitTest, StartFromOnFinishRunsAgainAndWaitCoversBoth) {
  RestartingUnit unit;
  ASSERT_TRUE(unit.Start());
  unit.Wait();
  EXPECT_TRUE(unit.restarted);
  EXPECT_EQ(unit.runs, 2);
}

TEST(TimeStampTest, Texts) {
  const RawTime time{2026, 12, 7, 11, 59, 1, 42};
  EXPECT_EQ(DateText(time).ToUtf8(), "20261207");
  EXPECT_EQ(TimeText(time).ToUtf8(), "115901");
  EXPECT_EQ(StampText(time).ToUtf8(), "20261207_115901_042");
  EXPECT_EQ(StampText(time, '.').ToUtf8(), "20261207.115901.042");
  EXPECT_EQ(StampText(RawTime{999, 1, 2, 3, 4, 5, 6}).ToUtf8(), "09990102_030405_006");
}

TEST(TimeStampTest, UtcOffsetTexts) {
  const struct {
    int32_t minutes;
    const char* text;
  } rows[] = {
      {540, "UTC+09:00"}, {-330, "UTC-05:30"}, {0, "UTC+00:00"},  {345, "UTC+05:45"},
      {-720, "UTC-12:00"}, {-30, "UTC-00:30"}, {840, "UTC+14:00"},
  };
  for (const auto& row : rows) EXPECT_EQ(UtcOffsetText(row.minutes).ToUtf8(), row.text) << row.minutes;
}

TEST(TimeStampTest, UnixMillisecondsRoundTrip) {
  const struct {
    RawTime time;
    int64_t milliseconds;
  } rows[] = {
      {{1970, 1, 1, 0, 0, 0, 0}, 0},
      {{1969, 12, 31, 23, 59, 59, 999}, -1},
      {{2000, 2, 29, 12, 0, 0, 5}, 951825600005},
      {{2026, 12, 7, 11, 59, 1, 42}, 1796644741042},
      {{2100, 3, 1, 0, 0, 0, 0}, 4107542400000},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(UnixMilliseconds(row.time), row.milliseconds) << row.milliseconds;
    EXPECT_EQ(TimeOfUnixMilliseconds(row.milliseconds), row.time) << row.milliseconds;
  }
  // A millisecond past the end of a year carries into the next one.
  EXPECT_EQ(TimeOfUnixMilliseconds(UnixMilliseconds({2026, 12, 31, 23, 59, 59, 999}) + 1),
            (RawTime{2027, 1, 1, 0, 0, 0, 0}));
}

TEST(TimeStampTest, CurrentTimeIsNormalised) {
  const RawTime now = CurrentTime();
  EXPECT_GE(now.year, 2020);
  EXPECT_EQ(TimeOfUnixMilliseconds(UnixMilliseconds(now)), now);
  EXPECT_EQ(StampText(now).Length(), 19);
}

TEST(TimeStampTest, TimeZoneOffsetIsWithinADay) {
  const RawTimeZone& zone = TimeZone();
  EXPECT_GT(zone.offsetMinutes, -24 * 60);
  EXPECT_LT(zone.offsetMinutes, 24 * 60);
  EXPECT_EQ(&zone, &TimeZone());
}

TEST(ThreadDumpTest, DumpPathJoinsFolderNameAndStamp) {
  for (const char* folder : {"C:\\Temp\\Dump", "C:\\Temp\\Dump\\", "C:/Temp/Dump/"}) {
    RawThreadDump dump(RawString::FromUtf8(folder), "Kestrel");
    const std::string path = dump.DumpPath().ToUtf8();
    const std::string head = std::string(folder).back() == 'p' ? std::string(folder) + "\\" : folder;
    ASSERT_EQ(path.size(), head.size() + std::string("Kestrel_Dump_20261207_115901_042.dmp").size()) << path;
    EXPECT_EQ(path.substr(0, head.size() + 13), head + "Kestrel_Dump_") << path;
    EXPECT_EQ(path.substr(path.size() - 4), ".dmp");
  }
}

class CountingHandler : public RawThreadHook::Handler {
 public:
  void OnException(void* pointers) override {
    ++calls;
    last = pointers;
  }
  int calls = 0;
  void* last = nullptr;
};

TEST(ThreadHookTest, DispatchReachesTheHandler) {
  // Nothing is set yet in this program, so the dispatch does nothing.
  DispatchException(nullptr);
  static CountingHandler handler;
  SetThreadHook(&handler);
  int token = 0;
  DispatchException(&token);
  EXPECT_EQ(handler.calls, 1);
  EXPECT_EQ(handler.last, &token);
}

TEST(AbortCheckerTest, DummyNeverAborts) {
  RawDummyAbortChecker checker;
  RawAbortChecker& probe = checker;
  EXPECT_FALSE(probe.IsAborted());
}

}  // namespace
}  // namespace RawLayer
