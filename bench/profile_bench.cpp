// Profile reading and rewriting against the file size. Each profile holds N
// sections of five short entries; ReadSection asks for the last one, so every
// run walks the whole file. The floor is a plain read of the same file in
// 64 KiB blocks. "ns_per_byte" is the figure to compare across sizes: reading
// is linear when it stays flat from 1,000 to 100,000 sections.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "raw/file.h"
#include "raw/profile.h"

namespace {

using namespace RawLayer;
namespace fs = std::filesystem;

RawString PathText(const fs::path& path) {
  std::u8string text = path.u8string();
  return RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()});
}

std::string ProfileText(int sections) {
  std::string text = "// generated profile\r\n";
  for (int i = 0; i < sections; ++i) {
    std::string n = std::to_string(i);
    text += "[Section" + n + "]\r\nTitle=Button " + n + "\r\nFile=C:\\Programs\\tool" + n +
            ".exe\r\nIconIndex=0\r\nHotKey=Ctrl+" + n + "\r\n// note\r\nUnused=" + n + "\r\n\r\n";
  }
  return text;
}

// One file per size, written once and removed at exit.
class Profiles {
 public:
  ~Profiles() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  const fs::path& For(int sections) {
    auto found = paths_.find(sections);
    if (found != paths_.end()) return found->second;
    fs::create_directories(folder_);
    fs::path path = folder_ / ("profile" + std::to_string(sections) + ".txt");
    std::ofstream(path, std::ios::binary) << ProfileText(sections);
    return paths_.emplace(sections, path).first->second;
  }

 private:
  fs::path folder_ = fs::temp_directory_path() / "kestrel-profile-bench";
  std::map<int, fs::path> paths_;
};

Profiles g_profiles;

// Seconds per byte inverted from a byte rate, scaled to nanoseconds.
benchmark::Counter NanosecondsPerByte(double bytes) {
  return benchmark::Counter(bytes / 1e9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RawRead(benchmark::State& state) {
  const fs::path& path = g_profiles.For(static_cast<int>(state.range(0)));
  RawString name = PathText(path);
  std::vector<char> block(64 * 1024);
  for (auto _ : state) {
    RawFile file;
    if (!file.OpenRead(name)) state.SkipWithError("open failed");
    int64_t total = 0;
    int32_t got = 0;
    while (file.Read(block.data(), static_cast<int32_t>(block.size()), got) && got > 0) total += got;
    benchmark::DoNotOptimize(total);
  }
  double bytes = static_cast<double>(fs::file_size(path));
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["ns_per_byte"] = NanosecondsPerByte(bytes);
}

void BM_ReadSection(benchmark::State& state) {
  int sections = static_cast<int>(state.range(0));
  const fs::path& path = g_profiles.For(sections);
  RawProfile profile(PathText(path));
  RawString wanted = RawString::FromUtf8("section" + std::to_string(sections - 1));
  RawParameterList list;
  for (auto _ : state) {
    if (!profile.ReadSection(wanted, list) || list.Count() != 5) state.SkipWithError("section not read");
  }
  double bytes = static_cast<double>(fs::file_size(path));
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["ns_per_byte"] = NanosecondsPerByte(bytes);
}

void BM_WriteSection(benchmark::State& state) {
  int sections = static_cast<int>(state.range(0));
  fs::path path = g_profiles.For(sections);
  path.replace_filename("rewrite" + std::to_string(sections) + ".txt");
  fs::copy_file(g_profiles.For(sections), path, fs::copy_options::overwrite_existing);
  RawProfile profile(PathText(path));
  RawString wanted = RawString::FromUtf8("Section" + std::to_string(sections / 2));
  RawParameterList list;
  if (!profile.ReadSection(wanted, list)) state.SkipWithError("section not read");
  int64_t round = 0;
  for (auto _ : state) {
    list.SetInteger("Unused", ++round);
    if (!profile.WriteSection(wanted, list)) state.SkipWithError("rewrite failed");
  }
  double bytes = static_cast<double>(fs::file_size(path));
  state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
  state.counters["ns_per_byte"] = NanosecondsPerByte(bytes);
}

BENCHMARK(BM_RawRead)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSection)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteSection)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
