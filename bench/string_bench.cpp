// Text costs that the rest of the system relies on:
// - copying a string is a reference increment, so a 10-byte and a 10 MB string
//   copy in the same time (the floor is a std::string copy of the same text);
// - building a string one AppendChar at a time is linear: "ns_per_char" stays
//   flat from 1e3 to 1e7 characters (floor: std::string::push_back);
// - Shift_JIS to UTF-8 conversion throughput in bytes per second (floor: memcpy
//   of the same bytes);
// - sorting a string list: random keys, and the sorted and reverse-sorted orders
//   whose first-node pivots make the quicksort quadratic ("ns_per_unit" grows
//   with n there).
// The per-unit counters are inverted rates: Google Benchmark prints them with an
// "s" suffix, but the number is nanoseconds per character or unit.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

#include "raw/string.h"
#include "raw/string_list.h"

namespace {

using namespace RawLayer;

void BM_CopyString(benchmark::State& state) {
  const RawString text = RawString::FromUtf8(std::string(static_cast<size_t>(state.range(0)), 'x'));
  for (auto _ : state) {
    RawString copy = text;
    benchmark::DoNotOptimize(copy);
  }
  state.counters["bytes"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_CopyString)->Arg(10)->Arg(10 << 20);

void BM_CopyStdStringFloor(benchmark::State& state) {
  const std::string text(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) {
    std::string copy = text;
    benchmark::DoNotOptimize(copy);
  }
}
BENCHMARK(BM_CopyStdStringFloor)->Arg(10)->Arg(10 << 20);

void PerChar(benchmark::State& state) {
  state.counters["ns_per_char"] = benchmark::Counter(static_cast<double>(state.range(0)) * 1e-9,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_AppendChar(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    RawString text;
    for (int32_t i = 0; i < n; ++i) text.AppendChar(static_cast<uint32_t>('a' + i % 26));
    benchmark::DoNotOptimize(text.Data());
  }
  PerChar(state);
}
BENCHMARK(BM_AppendChar)->RangeMultiplier(10)->Range(1000, 10000000)->Unit(benchmark::kMicrosecond);

void BM_PushBackFloor(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    std::string text;
    for (int32_t i = 0; i < n; ++i) text.push_back(static_cast<char>('a' + i % 26));
    benchmark::DoNotOptimize(text.data());
  }
  PerChar(state);
}
BENCHMARK(BM_PushBackFloor)->RangeMultiplier(10)->Range(1000, 10000000)->Unit(benchmark::kMicrosecond);

// About 1 MB of Shift_JIS lines: kanji, kana, half-width katakana and ASCII.
std::string ShiftJisText() {
  const std::string line =
      "\x95\x5C\x8E\xA6\x82\xB7\x82\xE9\x83\x74\x83\x40\x83\x43\x83\x8B "  // kanji, kana
      "C:\\Program Files\\tool.exe \xB1\xB2\xB3 title=\x90\xDD\x92\xE8\r\n";
  std::string text;
  while (text.size() < (1u << 20)) text += line;
  return text;
}

void BM_ShiftJisToUtf8(benchmark::State& state) {
  const std::string bytes = ShiftJisText();
  const RawString text = RawString::FromUnits(CodeShiftJis, bytes.data(), static_cast<int32_t>(bytes.size()));
  int32_t outLength = 0;
  for (auto _ : state) {
    RawString utf8 = text.Convert(CodeUtf8);
    outLength = utf8.Length();
    benchmark::DoNotOptimize(utf8.Data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
  state.counters["out_per_in"] = static_cast<double>(outLength) / static_cast<double>(bytes.size());
}
BENCHMARK(BM_ShiftJisToUtf8)->Unit(benchmark::kMillisecond);

void BM_MemcpyFloor(benchmark::State& state) {
  const std::string bytes = ShiftJisText();
  std::string out(bytes.size(), '\0');
  for (auto _ : state) {
    std::memcpy(out.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_MemcpyFloor)->Unit(benchmark::kMillisecond);

enum Order { Random = 0, Sorted = 1, Reversed = 2, Equal = 3 };

void BM_StringListSort(benchmark::State& state) {
  const auto n = static_cast<int>(state.range(0));
  const auto order = static_cast<Order>(state.range(1));
  std::vector<std::string> keys;
  std::mt19937 random(7);
  for (int i = 0; i < n; ++i) keys.push_back("key" + std::to_string(random() % 1000000000u));
  if (order == Sorted) std::sort(keys.begin(), keys.end());
  if (order == Reversed) std::sort(keys.rbegin(), keys.rend());
  if (order == Equal) std::fill(keys.begin(), keys.end(), keys.front());
  for (auto _ : state) {
    state.PauseTiming();
    RawStringList list;
    for (const std::string& key : keys) list.Add(RawString::FromUtf8(key));
    state.ResumeTiming();
    list.Sort(false);
    benchmark::DoNotOptimize(list.First());
  }
  const char* const labels[] = {"random", "sorted", "reversed", "equal"};
  state.SetLabel(labels[order]);
  state.counters["ns_per_unit"] = benchmark::Counter(static_cast<double>(n) * 1e-9,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_StringListSort)
    ->ArgsProduct({{2000, 20000}, {Random, Sorted, Reversed, Equal}})
    ->Unit(benchmark::kMillisecond);

}  // namespace
