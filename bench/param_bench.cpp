// Script text: reading a body of 10,000 lines (blocks three deep, as profiles nest them) into a
// parameter list, writing it back, and the copy-on-write of a 1,000-unit list: a shared copy,
// and a copy changed (detached: every unit cloned, the blocks shared again). The floor is the
// same lines copied into a string list.
#include <benchmark/benchmark.h>

#include <string>

#include "job/param.h"

namespace {

using JobLayer::JobParamList;
using RawLayer::RawRangedTextList;
using RawLayer::RawString;
using RawLayer::RawStringList;

// Groups of 10 lines: a command with a block holding two parameters and a nested block.
RawRangedTextList Body(int32_t lines) {
  static const char* const kGroup[] = {"Shell {",        "Command=editor.exe",      "Parameter=\"$(File)\" -n",
                                       "If {",           "Condition=$(Equal:a:b)", "AskMessage {",
                                       "Message=Go on ?", "}",                      "}",
                                       "}"};
  RawRangedTextList body;
  for (int32_t i = 0; i < lines; ++i) body.Add(RawString::FromUtf8(kGroup[i % 10]), i + 1);
  return body;
}

void BM_CopyLinesFloor(benchmark::State& state) {
  const RawRangedTextList body = Body(10000);
  for (auto _ : state) {
    RawStringList copy;
    for (const auto& line : body) copy.Add(line.Useful());
    benchmark::DoNotOptimize(copy.Count());
  }
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 10000,
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CopyLinesFloor);

void BM_Parse(benchmark::State& state) {
  const RawRangedTextList body = Body(10000);
  for (auto _ : state) {
    JobParamList list;
    if (!list.Parse(body)) state.SkipWithError("unbalanced");
    benchmark::DoNotOptimize(list.Count());
  }
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 10000,
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Parse);

void BM_WriteLines(benchmark::State& state) {
  JobParamList list;
  if (!list.Parse(Body(10000))) state.SkipWithError("unbalanced");
  for (auto _ : state) {
    RawStringList lines;
    list.WriteLines(lines, 0);
    benchmark::DoNotOptimize(lines.Count());
  }
  state.counters["lines_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 10000,
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WriteLines);

// 1,000 top-level units: 500 text units and 500 commands with blocks.
JobParamList Units() {
  RawRangedTextList body;
  for (int32_t i = 0; i < 500; ++i) {
    body.Add(RawString::FromUtf8("Name" + std::to_string(i) + "=$(X) value"), 0);
    body.Add(RawString("Shell {"), 0);
    body.Add(RawString("Command=$(X)"), 0);
    body.Add(RawString("}"), 0);
  }
  JobParamList list;
  (void)list.Parse(body);
  return list;
}

void BM_SharedCopy(benchmark::State& state) {
  const JobParamList list = Units();
  for (auto _ : state) {
    JobParamList copy = list;
    benchmark::DoNotOptimize(copy.Count());
  }
}
BENCHMARK(BM_SharedCopy);

void BM_CopyAndChange(benchmark::State& state) {
  const JobParamList list = Units();
  for (auto _ : state) {
    JobParamList copy = list;
    copy.AddText("Added", "1");  // detaches: 1,000 units cloned
    benchmark::DoNotOptimize(copy.Count());
  }
  state.counters["units_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 1000,
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CopyAndChange);

// What Expand does per command: a copy of a block and one substitution in every value, which
// detaches the block and each nested block it reaches.
void BM_CopyAndReplace(benchmark::State& state) {
  const JobParamList list = Units();
  for (auto _ : state) {
    JobParamList copy = list;
    copy.ReplaceText("$(X)", "replacement");
    benchmark::DoNotOptimize(copy.Count());
  }
  state.counters["units_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()) * 1500,
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CopyAndReplace);

}  // namespace
