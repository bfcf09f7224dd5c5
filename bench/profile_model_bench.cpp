// The launcher profile: reading and setting up a profile of N buttons (each with an icon file,
// a title with a reference and a two-command script), N selectors and N/5 actions, for N = 5,000
// and 10,000. The reading must stay linear: the larger profile may take at most 2.2 times as
// long. The floor is a read of the same lines through the line reader alone. The profile checker
// ("kestrel -k") reads and checks the same profile; it should take under twice the time of a load
// (BM_LoadOnly). Its two references per button that the profile never assigns make 20,000
// warnings at 10,000 buttons, so the report is built as well.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "job/profile_check.h"
#include "job/profile_model.h"
#include "job/screen.h"
#include "job/variable.h"
#include "raw/line_file.h"

namespace {

namespace fs = std::filesystem;
using JobLayer::JobProfileModel;
using RawLayer::RawString;

RawString ProfilePath(int count) {
  fs::path path = fs::temp_directory_path() / ("kestrel_profile_bench_" + std::to_string(count) + ".ini");
  if (!fs::exists(path)) {
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < count; ++i) {
      out << "[Button:Button " << i << "]\r\n"
          << "IconFile=C:\\Tools\\tool" << i << ".exe\r\n"
          << "Title=$(Prefix) " << i << "\r\n"
          << "TipText=Starts tool " << i << "\r\n"
          << "Shell {\r\n  Command=C:\\Tools\\tool" << i << ".exe\r\n  Parameter=\"$(File)\"\r\n}\r\n"
          << "If {\r\n  Condition=$(Equal:$(KeyState):RButton)\r\n  OpenFolder {\r\n    Parameter=C:\\Tools\r\n  }\r\n}\r\n"
          << "[Selector:Entry " << i << "]\r\nTitle=Entry " << i << "\r\nOpenFile {\r\n  Parameter=C:\\Docs\\" << i
          << ".txt\r\n}\r\n";
      if (i % 5 == 0) out << "[Action:Act" << i << "]\r\nDefine {\r\n  Value=" << i << "\r\n}\r\n";
    }
  }
  std::u8string text = path.u8string();
  return RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()});
}

class QuietScreen : public JobLayer::JobScreen {
 public:
  void ShowError(const RawString&) override {}
  bool IsKeyDown(int) override { return false; }
};

void BM_ReadLinesFloor(benchmark::State& state) {
  const RawString path = ProfilePath(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    RawLayer::RawLineFile file(path);
    int64_t lines = 0;
    if (file.OpenRead()) {
      while (file.ReadLine()) ++lines;
    }
    benchmark::DoNotOptimize(lines);
  }
}
BENCHMARK(BM_ReadLinesFloor)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LoadAndSetUp(benchmark::State& state) {
  static QuietScreen screen;
  JobLayer::SetScreen(&screen);
  JobLayer::JobVariableList::Instance().Set("Prefix", "Tool");
  const RawString path = ProfilePath(static_cast<int>(state.range(0)));
  JobProfileModel& model = JobProfileModel::Instance();
  for (auto _ : state) {
    model.Clear();
    (void)model.Load(path);
    model.buttons.SetupButtons();
    model.selectors.SetupSelectors();
    benchmark::DoNotOptimize(model.buttons.Count());
  }
  state.counters["buttons"] = static_cast<double>(model.buttons.Count());
  model.Clear();
  JobLayer::SetScreen(nullptr);
}
BENCHMARK(BM_LoadAndSetUp)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

void BM_LoadOnly(benchmark::State& state) {
  static QuietScreen screen;
  JobLayer::SetScreen(&screen);
  const RawString path = ProfilePath(static_cast<int>(state.range(0)));
  JobProfileModel& model = JobProfileModel::Instance();
  for (auto _ : state) {
    model.Clear();
    (void)model.Load(path);
    benchmark::DoNotOptimize(model.buttons.Count());
  }
  model.Clear();
  JobLayer::SetScreen(nullptr);
}
BENCHMARK(BM_LoadOnly)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_Check(benchmark::State& state) {
  const RawString path = ProfilePath(static_cast<int>(state.range(0)));
  int32_t warnings = 0;
  for (auto _ : state) {
    JobLayer::JobDiagnostics out;
    JobLayer::JobProfileChecker checker(out);
    checker.CheckLauncherProfile(path);
    benchmark::DoNotOptimize(out.Report());
    warnings = out.Warnings();
  }
  state.counters["warnings"] = warnings;
}
BENCHMARK(BM_Check)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);
