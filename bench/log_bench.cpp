// The execution log against the plainest way of writing the same bytes: 8 threads queue
// 1,000,000 record lines in total and the log is stopped (every line in the file, flushed to
// the disk); the baseline writes the same lines with one buffered fwrite loop and closes the
// file. Each iteration times both, so the counter "ratio" (log throughput / fwrite throughput)
// compares them under the same load of the machine.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "job/log.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using JobLayer::RawString;

constexpr int kThreads = 8;
constexpr int kLinesPerThread = 125000;

fs::path BenchFolder() {
  const fs::path folder = fs::temp_directory_path() / "kestrel_log_bench";
  fs::create_directories(folder);
  return folder;
}

// Lines shaped like the engine's records, composed beforehand so that only
// queueing and writing are timed.
const std::vector<std::vector<RawString>>& Lines() {
  static const std::vector<std::vector<RawString>> lines = [] {
    std::vector<std::vector<RawString>> all(kThreads);
    for (int t = 0; t < kThreads; ++t) {
      all[t].reserve(kLinesPerThread);
      for (int n = 0; n < kLinesPerThread; ++n) {
        RawString line("@Command#");
        line.AppendInteger(static_cast<int64_t>(t) * kLinesPerThread + n);
        line.Append(">Executor:20261207.115901.042|[Shell][Command=editor.exe]\r\n");
        all[t].push_back(line);
      }
    }
    return all;
  }();
  return lines;
}

int64_t TotalBytes() {
  int64_t bytes = 0;
  for (const auto& lines : Lines()) {
    for (const RawString& line : lines) bytes += line.Length();
  }
  return bytes;
}

double FwriteSeconds(const fs::path& path) {
  const Clock::time_point start = Clock::now();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return 0;
  for (const auto& lines : Lines()) {
    for (const RawString& line : lines) std::fwrite(line.Data(), 1, static_cast<size_t>(line.Length()), file);
  }
  std::fclose(file);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double LogSeconds(const fs::path& folder) {
  JobLayer::JobLogStorer storer;
  JobLayer::JobLogOptions options;
  options.folder = RawString::FromUtf8(folder.string());
  options.maxFiles = 2;
  if (!storer.Open(options)) return 0;
  const Clock::time_point start = Clock::now();
  std::vector<std::thread> producers;
  for (int t = 0; t < kThreads; ++t) {
    producers.emplace_back([&storer, t] {
      for (const RawString& line : Lines()[t]) storer.Queue(line);
    });
  }
  for (std::thread& producer : producers) producer.join();
  storer.Close();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_LogAgainstFwrite(benchmark::State& state) {
  const fs::path folder = BenchFolder();
  const int64_t bytes = TotalBytes();
  double fwriteTotal = 0;
  double logTotal = 0;
  for (auto _ : state) {
    const double fwriteSeconds = FwriteSeconds(folder / "fwrite.bin");
    const double logSeconds = LogSeconds(folder);
    fwriteTotal += fwriteSeconds;
    logTotal += logSeconds;
    state.SetIterationTime(logSeconds);
  }
  state.SetBytesProcessed(bytes * state.iterations());
  state.counters["fwrite_MBps"] = bytes * state.iterations() / fwriteTotal / 1e6;
  state.counters["log_MBps"] = bytes * state.iterations() / logTotal / 1e6;
  state.counters["ratio"] = fwriteTotal / logTotal;
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}
BENCHMARK(BM_LogAgainstFwrite)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
