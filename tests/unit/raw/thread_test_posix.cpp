// The crash report on POSIX: a fatal signal writes one text report into the dump folder and
// the process still dies of that signal.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "raw/thread.h"

namespace RawLayer {
namespace {

namespace fs = std::filesystem;

void CrashOnMainThread(const std::string& folder) {
  SetThreadHook(new RawThreadDump(RawString::FromUtf8(folder), "Crash"));
  raise(SIGSEGV);
}

std::vector<fs::path> Reports(const fs::path& folder) {
  std::vector<fs::path> found;
  if (!fs::exists(folder)) return found;
  for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path());
  return found;
}

TEST(ThreadDumpDeathTest, FatalSignalLeavesOneReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct {
    const char* name;
    void (*crash)(const std::string&);
  } rows[] = {{"main", CrashOnMainThread}};
  for (const auto& row : rows) {
    const fs::path folder = fs::path(KESTREL_TEST_TMP_DIR) / "dump" / row.name / "made" / "here";
    fs::remove_all(fs::path(KESTREL_TEST_TMP_DIR) / "dump" / row.name);
    EXPECT_EXIT(row.crash(folder.string()), ::testing::KilledBySignal(SIGSEGV), "") << row.name;
    const std::vector<fs::path> reports = Reports(folder);
    ASSERT_EQ(reports.size(), 1u) << row.name;
    const std::string name = reports[0].filename().string();
    EXPECT_EQ(name.rfind("Crash_Dump_", 0), 0u) << name;
    EXPECT_EQ(name.size(), std::string("Crash_Dump_20261207_115901_042.dmp").size()) << name;
    std::ifstream in(reports[0]);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text.rfind("Signal 11 in thread ", 0), 0u) << text;
    EXPECT_NE(text.find("Backtrace:"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace RawLayer
