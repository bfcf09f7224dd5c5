// Name pattern costs:
// - throughput on typical file names, in names per second ("items_per_second"),
//   for the patterns a folder search uses: "*.txt" and "note*.exe" ignoring case,
//   an extended form with classes and repetition, and a negated form, each read
//   once and matched against every name as a search does (RawNamePattern), and
//   read again per name (MatchNamePattern, the "Once" figures); the floor is
//   RawString::EndsWith over the same names (no pattern at all);
// - the hostile cases, "*a*a*a*a*a*a*a*b" and an extended form with many
//   repetitions, against a run of "a" of growing length: "ns_per_char" stays flat
//   when matching is linear in the text (a backtracking matcher would explode).
// The per-char counter is an inverted rate: Google Benchmark prints it with an "s"
// suffix, but the number is nanoseconds per character.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "raw/name_pattern.h"
#include "raw/string.h"

namespace {

using namespace RawLayer;

// A folder's worth of ordinary names: stems, numbers, a few extensions and cases.
std::vector<RawString> TypicalNames() {
  const char* stems[] = {"notes", "Notepad", "report_2024", "IMG_", "setup", "readme", "kestrel", "data-backup"};
  const char* extensions[] = {".txt", ".exe", ".TXT", ".jpg", ".dll", ".ini", ".txt.bak", ""};
  std::vector<RawString> names;
  for (int i = 0; i < 1024; ++i) {
    std::string name = stems[i % 8];
    name += std::to_string(i * 7919 % 1000);
    name += extensions[(i / 8) % 8];
    names.push_back(RawString::FromUtf8(name));
  }
  return names;
}

void MatchNames(benchmark::State& state, const RawString& pattern, bool ignoreCase) {
  const std::vector<RawString> names = TypicalNames();
  const RawNamePattern compiled(pattern, ignoreCase);
  int64_t matched = 0;
  for (auto _ : state) {
    for (const RawString& name : names) matched += compiled.Matches(name) ? 1 : 0;
  }
  benchmark::DoNotOptimize(matched);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}

void MatchNamesOnce(benchmark::State& state, const RawString& pattern, bool ignoreCase) {
  const std::vector<RawString> names = TypicalNames();
  int64_t matched = 0;
  for (auto _ : state) {
    for (const RawString& name : names) matched += MatchNamePattern(pattern, name, ignoreCase) ? 1 : 0;
  }
  benchmark::DoNotOptimize(matched);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}

const char kStarDotTxt[] = "*.txt";
const char kNoteStarExe[] = "note*.exe";
const char kExtended[] = "@[a-z_]+[0-9]*%.[^.]+";
const char kNegated[] = "<*.txt";

void BM_StarDotTxt(benchmark::State& state) { MatchNames(state, kStarDotTxt, true); }
BENCHMARK(BM_StarDotTxt);

void BM_NoteStarExe(benchmark::State& state) { MatchNames(state, kNoteStarExe, true); }
BENCHMARK(BM_NoteStarExe);

void BM_Extended(benchmark::State& state) { MatchNames(state, kExtended, true); }
BENCHMARK(BM_Extended);

void BM_NegatedExact(benchmark::State& state) { MatchNames(state, kNegated, false); }
BENCHMARK(BM_NegatedExact);

void BM_StarDotTxtOnce(benchmark::State& state) { MatchNamesOnce(state, kStarDotTxt, true); }
BENCHMARK(BM_StarDotTxtOnce);

void BM_NoteStarExeOnce(benchmark::State& state) { MatchNamesOnce(state, kNoteStarExe, true); }
BENCHMARK(BM_NoteStarExeOnce);

void BM_ExtendedOnce(benchmark::State& state) { MatchNamesOnce(state, kExtended, true); }
BENCHMARK(BM_ExtendedOnce);

void BM_NegatedExactOnce(benchmark::State& state) { MatchNamesOnce(state, kNegated, false); }
BENCHMARK(BM_NegatedExactOnce);

void BM_EndsWithFloor(benchmark::State& state) {
  const std::vector<RawString> names = TypicalNames();
  const RawString suffix(".txt");
  int64_t matched = 0;
  for (auto _ : state) {
    for (const RawString& name : names) matched += name.EndsWith(suffix) ? 1 : 0;
  }
  benchmark::DoNotOptimize(matched);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(names.size()));
}
BENCHMARK(BM_EndsWithFloor);

void Hostile(benchmark::State& state, const RawString& pattern) {
  const RawString text = RawString::FromUtf8(std::string(static_cast<size_t>(state.range(0)), 'a'));
  bool matched = true;
  for (auto _ : state) matched = MatchNamePattern(pattern, text, false);
  if (matched) state.SkipWithError("the hostile pattern must not match");
  state.counters["ns_per_char"] = benchmark::Counter(static_cast<double>(state.range(0)) * 1e-9,
                                                     benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}

void BM_HostileWildcard(benchmark::State& state) { Hostile(state, "*a*a*a*a*a*a*a*b"); }
BENCHMARK(BM_HostileWildcard)->Arg(1000)->Arg(10000)->Arg(100000);

void BM_HostileExtended(benchmark::State& state) { Hostile(state, "@a*a*a*a*a*a*a*a+a+a+a+a+.*.*b"); }
BENCHMARK(BM_HostileExtended)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace
