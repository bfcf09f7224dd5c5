// Folder and process searches. CountEntries walks a folder of 10,000 entries
// (9,000 files, 1,000 folders) and matches every name; "entries_per_second" is
// the figure. FindProcess walks the process list for a name that no process has,
// so every process is read; "processes_per_second" counts them.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <string>

#include "raw/folder.h"
#include "raw/process.h"
#include "raw/system.h"

namespace {

using namespace RawLayer;
namespace fs = std::filesystem;

constexpr int kFiles = 9000;
constexpr int kFolders = 1000;

// The folder is made once per run and kept for every benchmark of the run.
const fs::path& TenThousandEntries() {
  static const fs::path folder = [] {
    fs::path path = fs::path(TempFolder().ToUtf8()) / ("kestrel-folder-bench-" + std::to_string(::getpid()));
    fs::create_directories(path);
    for (int i = 0; i < kFiles; ++i) {
      std::ofstream(path / ("file" + std::to_string(i) + (i % 3 == 0 ? ".txt" : ".log"))) << i;
    }
    for (int i = 0; i < kFolders; ++i) fs::create_directory(path / ("folder" + std::to_string(i)));
    return path;
  }();
  return folder;
}

struct Cleanup {
  ~Cleanup() {
    std::error_code ignored;
    fs::remove_all(fs::path(TempFolder().ToUtf8()) / ("kestrel-folder-bench-" + std::to_string(::getpid())), ignored);
  }
} cleanup;

void CountPattern(benchmark::State& state, const char* pattern, bool folders, int32_t expected) {
  const RawString path = RawString::FromUtf8((TenThousandEntries() / pattern).string());
  for (auto _ : state) {
    int32_t count = CountEntries(path, folders);
    if (count != expected) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(count);
  }
  state.counters["entries_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * (kFiles + kFolders), benchmark::Counter::kIsRate);
}

void BM_CountEntries_AllFiles(benchmark::State& state) { CountPattern(state, "*", false, kFiles); }
void BM_CountEntries_TextFiles(benchmark::State& state) { CountPattern(state, "*.TXT", false, kFiles / 3); }
void BM_CountEntries_Folders(benchmark::State& state) { CountPattern(state, "folder9*", true, 111); }
BENCHMARK(BM_CountEntries_AllFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountEntries_TextFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountEntries_Folders)->Unit(benchmark::kMillisecond);

void BM_FindProcess_NoMatch(benchmark::State& state) {
  RawProcessInfoList list;
  if (!list.Refresh()) state.SkipWithError("no process list");
  for (auto _ : state) {
    RawString found = FindProcess("no-such-process-*.exe");
    benchmark::DoNotOptimize(found);
  }
  state.counters["processes"] = list.Count();
  state.counters["processes_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * list.Count(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FindProcess_NoMatch)->Unit(benchmark::kMicrosecond);

void BM_ProcessListRefresh(benchmark::State& state) {
  RawProcessInfoList list;
  for (auto _ : state) benchmark::DoNotOptimize(list.Refresh());
  state.counters["processes"] = list.Count();
}
BENCHMARK(BM_ProcessListRefresh)->Unit(benchmark::kMicrosecond);

}  // namespace
