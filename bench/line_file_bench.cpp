// Line reading against the raw read of the same file in the same run:
// - a 100 MB UTF-8 file read line by line (default 8 KiB buffer, and 64 KiB)
//   against RawFile::Read in 64 KiB blocks; the ratio of the two throughputs is
//   printed at the end, and the floor it must stay above is 50%;
// - a plain ASCII file of the same size, which never decides its code, so the
//   detection reads it ahead to the end once before the lines are read;
// - a Shift_JIS file read as UTF-8 lines (conversion per chunk), against the bare
//   conversion of the same bytes in memory in one call;
// - writing the same UTF-8 lines with WriteLine against raw 64 KiB writes.
// The files are in page cache after the first pass, so the figures measure the
// reader, not the disk. All timings are wall clock.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "raw/file.h"
#include "raw/line_file.h"
#include "raw/string.h"

namespace {

using namespace RawLayer;
namespace fs = std::filesystem;

constexpr size_t kFileSize = 100u << 20;
constexpr int32_t kBlock = 64 << 10;

fs::path Folder() {
  static const fs::path folder = [] {
    fs::path path = fs::temp_directory_path() / "kestrel-line-file-bench";
    fs::create_directories(path);
    return path;
  }();
  return folder;
}

RawString PathText(const fs::path& path) {
  std::u8string text = path.u8string();
  return RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()});
}

// Lines of a launcher profile, 14 to 60 bytes, built until `size` bytes; the
// non-ASCII text is kana, kanji and half-width katakana, so Shift_JIS holds it.
std::string MakeText(size_t size, bool ascii) {
  const char* samples[] = {
      "Button%d=Editor|C:\\Program Files\\Editor\\editor.exe|-n \"%%1\"",
      "Title%d=\xE3\x82\xAB\xE3\x83\x95\xE3\x82\xA7 \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E menu \xEF\xBD\xB1",
      "; comment line %d",
      "[Section %d]",
      "Folder%d=D:\\work\\projects\\kestrel\\build\\output",
  };
  const char* asciiSamples[] = {
      "Button%d=Editor|C:\\Program Files\\Editor\\editor.exe|-n \"%%1\"",
      "Title%d=cafe menu for the launcher",
      "; comment line %d",
      "[Section %d]",
      "Folder%d=D:\\work\\projects\\kestrel\\build\\output",
  };
  std::string text;
  text.reserve(size + 128);
  char line[160];
  for (int i = 0; text.size() < size; ++i) {
    // The first line is not ASCII, so the code is decided in the first chunk.
    const char* sample = ascii ? asciiSamples[i % 5] : samples[(i + 1) % 5];
    std::snprintf(line, sizeof line, sample, i);
    text += line;
    text += "\r\n";
  }
  return text;
}

const fs::path& Utf8File() {
  static const fs::path path = [] {
    fs::path p = Folder() / "utf8.txt";
    std::ofstream(p, std::ios::binary) << MakeText(kFileSize, false);
    return p;
  }();
  return path;
}

const fs::path& AsciiFile() {
  static const fs::path path = [] {
    fs::path p = Folder() / "ascii.txt";
    std::ofstream(p, std::ios::binary) << MakeText(kFileSize, true);
    return p;
  }();
  return path;
}

const fs::path& ShiftJisFile() {
  static const fs::path path = [] {
    const std::string utf8 = MakeText(kFileSize / 4, false);
    RawString sjis;
    if (!RawString::FromUtf8(utf8).ConvertExact(CodeShiftJis, sjis)) std::abort();
    fs::path p = Folder() / "sjis.txt";
    std::ofstream(p, std::ios::binary) << sjis.View();
    return p;
  }();
  return path;
}

int64_t SizeOf(const fs::path& path) { return static_cast<int64_t>(fs::file_size(path)); }

void BM_RawRead64K(benchmark::State& state) {
  const fs::path& path = Utf8File();
  std::vector<char> block(kBlock);
  for (auto _ : state) {
    RawFile file;
    if (!file.OpenRead(PathText(path))) {
      state.SkipWithError("open failed");
      return;
    }
    int64_t total = 0;
    int32_t got = 0;
    while (file.Read(block.data(), kBlock, got) && got > 0) total += got;
    benchmark::DoNotOptimize(total);
  }
  state.SetBytesProcessed(state.iterations() * SizeOf(path));
}
BENCHMARK(BM_RawRead64K)->Unit(benchmark::kMillisecond)->UseRealTime();

void ReadLines(benchmark::State& state, const fs::path& path, int32_t bufferSize) {
  int64_t lines = 0;
  for (auto _ : state) {
    RawLineFile file(PathText(path), bufferSize);
    if (!file.OpenRead()) {
      state.SkipWithError("open failed");
      return;
    }
    int64_t units = 0;
    lines = 0;
    while (file.ReadLine()) {
      units += file.Line().Length();
      ++lines;
    }
    if (!file.ReachedCleanEnd()) {
      state.SkipWithError("reading stopped early");
      return;
    }
    benchmark::DoNotOptimize(units);
  }
  state.SetBytesProcessed(state.iterations() * SizeOf(path));
  state.counters["lines"] = static_cast<double>(lines);
}

void BM_ReadLinesUtf8(benchmark::State& state) { ReadLines(state, Utf8File(), static_cast<int32_t>(state.range(0))); }
BENCHMARK(BM_ReadLinesUtf8)->Arg(RawLineFileInfo::kDefaultBufferSize)->Arg(64 << 10)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ReadLinesAsciiUndecided(benchmark::State& state) {
  ReadLines(state, AsciiFile(), RawLineFileInfo::kDefaultBufferSize);
}
BENCHMARK(BM_ReadLinesAsciiUndecided)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadLinesShiftJisToUtf8(benchmark::State& state) {
  ReadLines(state, ShiftJisFile(), RawLineFileInfo::kDefaultBufferSize);
}
BENCHMARK(BM_ReadLinesShiftJisToUtf8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ShiftJisConvertFloor(benchmark::State& state) {
  std::ifstream in(ShiftJisFile(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  for (auto _ : state) {
    RawString utf8;
    if (!ConvertUnits(CodeShiftJis, bytes.data(), static_cast<int32_t>(bytes.size()), CodeUtf8, utf8, true)) {
      state.SkipWithError("conversion failed");
      return;
    }
    benchmark::DoNotOptimize(utf8.Data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ShiftJisConvertFloor)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writing: the lines of the UTF-8 text through WriteLine, against 64 KiB raw writes.
const std::vector<RawString>& WriteLinesSource() {
  static const std::vector<RawString> lines = [] {
    std::vector<RawString> result;
    const std::string text = MakeText(kFileSize / 4, false);
    size_t start = 0;
    while (start < text.size()) {
      const size_t end = text.find("\r\n", start);
      result.push_back(RawString::FromUtf8(std::string_view(text).substr(start, end - start)));
      start = end + 2;
    }
    return result;
  }();
  return lines;
}

void BM_WriteLines(benchmark::State& state) {
  const auto& lines = WriteLinesSource();
  const fs::path path = Folder() / "written.txt";
  int64_t bytes = 0;
  for (auto _ : state) {
    RawLineFile file(PathText(path));
    if (!file.OpenWrite()) {
      state.SkipWithError("open failed");
      return;
    }
    for (const RawString& line : lines) {
      if (!file.WriteLine(line)) {
        state.SkipWithError("write failed");
        return;
      }
    }
    bytes = file.BytesWritten();
    if (!file.Close()) state.SkipWithError("close failed");
  }
  state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_WriteLines)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RawWrite64K(benchmark::State& state) {
  const std::string text = MakeText(kFileSize / 4, false);
  const fs::path path = Folder() / "written-raw.txt";
  for (auto _ : state) {
    RawFile file;
    if (!file.OpenWrite(PathText(path))) {
      state.SkipWithError("open failed");
      return;
    }
    for (size_t at = 0; at < text.size(); at += kBlock) {
      const auto size = static_cast<int32_t>(std::min<size_t>(kBlock, text.size() - at));
      if (!file.Write(text.data() + at, size)) {
        state.SkipWithError("write failed");
        return;
      }
    }
    if (!file.Flush()) state.SkipWithError("flush failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RawWrite64K)->Unit(benchmark::kMillisecond)->UseRealTime();

// Remembers each benchmark's throughput so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto found = run.counters.find("bytes_per_second");
      if (found != run.counters.end() && !run.error_occurred) rates_[run.benchmark_name()] = found->second.value;
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatio(const char* what, const std::string& name, const std::string& floor, double minimum) const {
    auto a = rates_.find(name);
    auto b = rates_.find(floor);
    if (a == rates_.end() || b == rates_.end() || b->second <= 0) return;
    const double ratio = a->second / b->second;
    std::printf("%-44s %6.1f%% of %s%s\n", what, 100.0 * ratio, floor.c_str(),
                minimum > 0 ? (ratio >= minimum ? "  (above the 50% floor)" : "  (BELOW the 50% floor)") : "");
  }

 private:
  std::map<std::string, double> rates_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\n");
  reporter.PrintRatio("UTF-8 lines, 8 KiB buffer:", "BM_ReadLinesUtf8/8192/real_time", "BM_RawRead64K/real_time", 0.5);
  reporter.PrintRatio("UTF-8 lines, 64 KiB buffer:", "BM_ReadLinesUtf8/65536/real_time", "BM_RawRead64K/real_time", 0.5);
  reporter.PrintRatio("ASCII lines (code read ahead to the end):", "BM_ReadLinesAsciiUndecided/real_time",
                      "BM_RawRead64K/real_time", 0);
  reporter.PrintRatio("Shift_JIS to UTF-8 lines:", "BM_ReadLinesShiftJisToUtf8/real_time", "BM_RawRead64K/real_time", 0);
  reporter.PrintRatio("Shift_JIS to UTF-8 lines:", "BM_ReadLinesShiftJisToUtf8/real_time",
                      "BM_ShiftJisConvertFloor/real_time", 0);
  reporter.PrintRatio("WriteLine:", "BM_WriteLines/real_time", "BM_RawWrite64K/real_time", 0);
  benchmark::Shutdown();
  std::error_code ignored;
  fs::remove_all(Folder(), ignored);
  return 0;
}
