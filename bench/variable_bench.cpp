// Expansion costs:
// - a 1 KB text with 20 references to plain variables, with the log letters empty (no trace
//   records) and with "UCPV" (each resolution composes and queues its four records; the log runs
//   into a sink that keeps nothing, so the disk is not measured);
// - the same with 10,000 user variables defined, whose lookups must cost what they did before;
// - Calc on an expression of 100 operators of every level, directly and through a reference.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "job/calc.h"
#include "job/log.h"
#include "job/variable.h"
#include "raw/system.h"

namespace {

using namespace JobLayer;
using RawLayer::RawString;

// Takes the log's lines and keeps nothing.
class DiscardingSink : public JobLogStorer::Separater {
 public:
  bool Open(const RawString&) override { return true; }
  void Write(const char*, int32_t) override {}
  void Close() override {}
};

void StartDiscardingLog() {
  static DiscardingSink sink;
  static bool started = false;
  if (started) return;
  started = true;
  JobLogServer& log = JobLogServer::Instance();
  log.Storer().SetSeparater(&sink);
  JobLogServer::Options options;
  options.folder = RawLayer::TempFolder();
  options.folder.Append("kestrel_variable_bench");
  options.maxFiles = 2;
  if (!log.Start(options)) std::fprintf(stderr, "the log did not start: records are dropped\n");
}

// About 1 KB: 20 references, each to a variable of its own, between runs of plain text.
RawString TwentyReferences(const char* prefix, int stride) {
  std::string text;
  for (int i = 0; i < 20; ++i) {
    text += "plain words between the references, forty-four: ";
    text += "$(" + std::string(prefix) + std::to_string(i * stride) + ")";
  }
  return RawString::FromUtf8(text);
}

void DefineVariables(const char* prefix, int count) {
  for (int i = 0; i < count; ++i) {
    JobVariableList::Instance().Set(RawString::FromUtf8(prefix + std::to_string(i)),
                                    RawString::FromUtf8("value" + std::to_string(i)));
  }
}

void Expand(benchmark::State& state, const RawString& text, const char* letters) {
  JobLogServer::Instance().SetDetail(RawString::FromUtf8(letters));
  const JobTraceId caller = JobTraceId::Executor();
  for (auto _ : state) {
    JobVariableResult result = ExpandVariables(text, caller);
    if (result.state != VariableSuccess) state.SkipWithError("expansion failed");
    benchmark::DoNotOptimize(result.text.Data());
  }
  state.SetBytesProcessed(state.iterations() * text.Length());
  state.counters["references_per_second"] = benchmark::Counter(20.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Expand20(benchmark::State& state, const char* letters) {
  StartDiscardingLog();
  DefineVariables("few", 20);
  Expand(state, TwentyReferences("few", 1), letters);
}
BENCHMARK_CAPTURE(BM_Expand20, letters_none, "");
BENCHMARK_CAPTURE(BM_Expand20, letters_UCPV, "UCPV");

void BM_Expand20Among10000(benchmark::State& state, const char* letters) {
  StartDiscardingLog();
  DefineVariables("many", 10000);
  Expand(state, TwentyReferences("many", 499), letters);
  state.counters["variables"] = static_cast<double>(JobVariableList::Instance().UnitCount());
}
BENCHMARK_CAPTURE(BM_Expand20Among10000, letters_none, "");
BENCHMARK_CAPTURE(BM_Expand20Among10000, letters_UCPV, "UCPV");

// 100 operators cycling through every level, with brackets every tenth operand.
std::string HundredOperators() {
  const char* operators[] = {"*", "+", "<<", "<", "==", "&", "^", "|", "&&", "||", "-", "/", "%", ">>", ">=", "!="};
  std::string text = "7";
  for (int i = 0; i < 100; ++i) {
    text += operators[i % 16];
    text += i % 10 == 0 ? "(" + std::to_string(i % 7 + 1) + "+1)" : std::to_string(i % 7 + 1);
  }
  return text;
}

void BM_CalcHundredOperators(benchmark::State& state) {
  const RawString expression = RawString::FromUtf8(HundredOperators());
  RawString value;
  for (auto _ : state) {
    if (!EvaluateCalc(expression, value)) state.SkipWithError("calc failed");
    benchmark::DoNotOptimize(value.Data());
  }
}
BENCHMARK(BM_CalcHundredOperators);

void BM_CalcReferenceHundredOperators(benchmark::State& state) {
  JobVariableList::Instance().Set("expression", RawString::FromUtf8(HundredOperators()));
  const RawString text("$(Calc:$(expression))");
  Expand(state, text, "");
}
BENCHMARK(BM_CalcReferenceHundredOperators);

}  // namespace
