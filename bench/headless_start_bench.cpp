// The headless launcher from process start to exit, beside its floor in the same run:
// - "kestrel -p <profile> -a Empty", an action without commands, its log in a folder of the
//   benchmark's own (configured, so pruning has a full folder of old logs to walk);
// - the floor: a program of the same build that reads the same profile and exits
//   (bench/start/start_floor.cpp), started just before the launcher in every iteration.
// Times are wall clock from the start of the process to the end of the wait for it.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The benchmark's folder, removed at exit.
class ScratchFolder {
 public:
  explicit ScratchFolder(fs::path path) : path_(std::move(path)) {}
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

const fs::path& Folder() {
  static const ScratchFolder folder([] {
    fs::path path = fs::temp_directory_path() / "kestrel-headless-start-bench";
    fs::remove_all(path);
    fs::create_directories(path / "log");
    // A log folder of its own, already holding as many old logs as MaxLogFiles keeps.
    std::ofstream(path / "k.ini", std::ios::binary)
        << "[Common]\r\nProgram=Kestrel\r\n[Option]\r\nLogFolder=" << (path / "log").string()
        << "\r\nMaxLogFiles=200\r\n[Action:Empty]\r\n";
    for (int i = 0; i < 199; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "Kestrel_20200101_0000%02d_%03d.log", i / 60, i % 60);
      std::ofstream(path / "log" / name) << "// old\r\n";
    }
    return path;
  }());
  return folder.Path();
}

int Run(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

// Each iteration starts the floor and then the launcher, so that both see the same load of a
// shared machine; the iteration's time is the launcher's. "ratio" is the median launcher start
// over the median floor start.
void BM_HeadlessEmptyAction(benchmark::State& state) {
  const std::string profile = (Folder() / "k.ini").string();
  const std::vector<std::string> launcher = {KESTREL_PROGRAM, "-p", profile, "-a", "Empty"};
  const std::vector<std::string> floor = {START_FLOOR_PROGRAM, profile};
  std::vector<double> launcherTimes;
  std::vector<double> floorTimes;
  for (auto _ : state) {
    const auto begin = std::chrono::steady_clock::now();
    const int floorCode = Run(floor);
    const auto middle = std::chrono::steady_clock::now();
    const int launcherCode = Run(launcher);
    const auto end = std::chrono::steady_clock::now();
    if (floorCode != 0 || launcherCode != 0) {
      state.SkipWithError("a program failed");
      return;
    }
    floorTimes.push_back(std::chrono::duration<double>(middle - begin).count());
    launcherTimes.push_back(std::chrono::duration<double>(end - middle).count());
    state.SetIterationTime(launcherTimes.back());
  }
  state.counters["launcher_median_ms"] = Median(launcherTimes) * 1e3;
  state.counters["floor_median_ms"] = Median(floorTimes) * 1e3;
  state.counters["ratio"] = Median(launcherTimes) / Median(floorTimes);
}
BENCHMARK(BM_HeadlessEmptyAction)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

}  // namespace
