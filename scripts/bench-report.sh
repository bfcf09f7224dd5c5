#!/usr/bin/env bash
# Builds the benchmarks in a Release tree without sanitizers, runs every bench_* program and
# prints one table: each benchmark's figure beside the floor it is measured against (the plain
# baseline of the same program, named in the comments at the top of bench/*.cpp) and the ratio
# of the two times. It ends with the goals table: the figures that have a goal, each as a ratio
# to its floor from the same run, beside the goal. Goals are read by people: a missed goal does
# not fail the script, only a benchmark that fails to run does (a program that fails, or a
# benchmark that stops with an error: named after the tables).
#
#   scripts/bench-report.sh [--build DIR] [--only NAME] [--no-wine] [--wine-arch ARCH]
#                           [-- <Google Benchmark options>]
#
#   --build DIR       the tree to build and run in (default build/bench)
#   --only NAME       run only bench_NAME (may be repeated)
#   --no-wine         leave out the timings under Wine
#   --wine-arch ARCH  time the i686 or the x86_64 programs under Wine (default: i686 where
#                     this machine runs 32-bit code, else x86_64)
#   options after "--" go to every program, e.g. -- --benchmark_min_time=0.05
#
# Each program's JSON goes to <tree>/bench-results/<program>.json, its console output beside it.
# Under Wine (the i686 tree build/i686-bench, Release; x86_64 where this machine runs no 32-bit
# code) the launcher's start to first paint with 200 buttons is timed beside a bare Win32 window
# in the same run (3 rounds of 15 starts each, alternating), and the running launcher's private
# memory is read (bench/wine/).
set -euo pipefail

# The Windows path Wine gives a Unix path (drive Z: is the root).
winepath_of() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
only=()
extra=()
wine=1
arch=
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --only) only+=("bench_$2"); shift 2 ;;
    --no-wine) wine=0; shift ;;
    --wine-arch)
      case $2 in i686 | x86_64) arch=$2 ;; *) echo "bench-report: --wine-arch is i686 or x86_64" >&2; exit 2 ;; esac
      shift 2 ;;
    --) shift; extra=("$@"); break ;;
    *) echo "bench-report: unknown argument $1" >&2; exit 2 ;;
  esac
done

"$root/scripts/setup.sh" >/dev/null
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTREL_SANITIZE=OFF >"$build/configure.log"

programs=()
for source in "$root"/bench/*.cpp; do
  name=$(basename "$source" .cpp)
  programs+=("bench_${name%_bench}")
done
if [ ${#only[@]} -gt 0 ]; then programs=("${only[@]}"); fi

echo "bench-report: building ${programs[*]} in $build" >&2
cmake --build "$build" -j2 --target "${programs[@]}" >"$build/bench-build.log" ||
  { tail -n 40 "$build/bench-build.log"; exit 1; }

results=$build/bench-results
mkdir -p "$results"
for program in "${programs[@]}"; do
  echo "bench-report: running $program" >&2
  # The JSON goes to a file of its own: a program may print its own summary on the console.
  (cd "$results" && "$build/bench/$program" --benchmark_format=json \
    --benchmark_out="$results/$program.json" --benchmark_out_format=json "${extra[@]}" \
    >"$results/$program.out" 2>"$results/$program.err") ||
    { echo "bench-report: $program failed, see $results/$program.err" >&2; exit 1; }
done

python3 - "$results" "${programs[@]}" <<'PY'
import json, os, re, sys

results, programs = sys.argv[1], sys.argv[2:]

# For each program: (benchmark name pattern, floor name). The floor is chosen by the first
# pattern that matches; "{arg}" is replaced by the benchmark's first argument ("/10" etc.).
FLOORS = {
    "bench_bitmap_pool": [(r"BM_Pool(Save|Load)", "BM_RawRead")],
    "bench_icon_cache": [(r"BM_(Load|Save)Cache", "BM_RawReadDataFile")],
    "bench_line_file": [(r"BM_ReadLinesShiftJis", "BM_ShiftJisConvertFloor"), (r"BM_ReadLines", "BM_RawRead64K"),
                        (r"BM_WriteLines", "BM_RawWrite64K")],
    "bench_name_pattern": [(r"BM_(StarDotTxt|NoteStarExe|Extended|NegatedExact)(Once)?$", "BM_EndsWithFloor")],
    "bench_param": [(r"BM_(Parse|WriteLines)$", "BM_CopyLinesFloor")],
    "bench_profile": [(r"BM_(Read|Write)Section", "BM_RawRead{arg}")],
    "bench_string": [(r"BM_CopyString", "BM_CopyStdStringFloor{arg}"),
                     (r"BM_AppendChar", "BM_PushBackFloor{arg}"),
                     (r"BM_ShiftJisToUtf8", "BM_MemcpyFloor")],
}
TO_NS = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
COUNTERS = ("ratio", "ns_per_char", "ns_per_byte", "ns_per_unit", "items_per_second",
            "bytes_per_second", "entries_per_second", "processes_per_second")

def figure(b):
    return "%.4g %s" % (b["real_time"], b.get("time_unit", "ns"))

def counters(b):
    out = []
    for key in COUNTERS:
        if key in b:
            value = b[key]
            out.append("%s=%s" % (key, ("%.4g" % value) if isinstance(value, float) else value))
    return " ".join(out)

rows = [("program", "benchmark", "figure", "floor", "floor figure", "ratio", "counters")]
failed = []
for program in programs:
    path = os.path.join(results, program + ".json")
    with open(path) as f:
        data = json.load(f)
    # A benchmark that stopped with an error has no figure to compare: it is named at the end.
    failed += ["%s %s: %s" % (program, b["name"], b.get("error_message", "error"))
               for b in data["benchmarks"] if b.get("error_occurred")]
    benches = [b for b in data["benchmarks"]
               if b.get("run_type", "iteration") == "iteration" and not b.get("error_occurred")]
    by_name = {b["name"]: b for b in benches}
    for b in benches:
        name = b["name"]
        base = name.split("/")[0]
        arg = name[len(base):].split("/real_time")[0].split("/manual_time")[0]
        arg = "/" + arg.split("/")[1] if arg.count("/") >= 1 else ""
        floor_name, floor = ("(a floor)" if re.search(r"Floor|^BM_Raw", base) else "-"), None
        for pattern, template in FLOORS.get(program, []):
            if re.match(pattern, base):
                wanted = template.replace("{arg}", arg)
                floor = next((c for n, c in by_name.items() if n == wanted or n.startswith(wanted + "/")), None)
                floor_name = wanted if floor else wanted + " (not run)"
                break
        ratio = "-"
        if floor is not None:
            mine = b["real_time"] * TO_NS[b.get("time_unit", "ns")]
            theirs = floor["real_time"] * TO_NS[floor.get("time_unit", "ns")]
            ratio = "%.3gx" % (mine / theirs) if theirs > 0 else "-"
        rows.append((program, name, figure(b), floor_name, figure(floor) if floor else "-", ratio, counters(b)))

widths = [max(len(r[i]) for r in rows) for i in range(len(rows[0]) - 1)]
for r in rows:
    print("  ".join(r[i].ljust(widths[i]) for i in range(len(widths))) + "  " + r[-1])
print()
print("ratio: the benchmark's time per iteration over its floor's (1.00x = as fast as the floor).")

# The figures with a goal, for the goals table at the end; only programs of this run count.
def load(program):
    path = os.path.join(results, program + ".json")
    if program not in programs or not os.path.exists(path):
        return {}
    with open(path) as f:
        return {b["name"]: b for b in json.load(f)["benchmarks"] if b.get("run_type", "iteration") == "iteration"}

def ns(b):
    return b["real_time"] * TO_NS[b.get("time_unit", "ns")]

goals = []
lines, patterns = load("bench_line_file"), load("bench_name_pattern")
raw, utf8 = lines.get("BM_RawRead64K/real_time"), lines.get("BM_ReadLinesUtf8/8192/real_time")
if raw and utf8:
    goals.append(("line reading, 100 MB UTF-8, 8 KiB buffer", "%.0f%% of a raw read" % (100 * ns(raw) / ns(utf8)),
                  "raw read, 64 KiB blocks", ">= 50%"))
sjis, convert = lines.get("BM_ReadLinesShiftJisToUtf8/real_time"), lines.get("BM_ShiftJisConvertFloor/real_time")
if sjis and convert:
    goals.append(("Shift_JIS -> UTF-8 line reading",
                  "%.0f%% of bare conversion (%.0f MB/s)" % (100 * ns(convert) / ns(sjis), sjis["bytes_per_second"] / 1e6),
                  "bare conversion (%.0f MB/s)" % (convert["bytes_per_second"] / 1e6), ">= 70%"))
floor = patterns.get("BM_EndsWithFloor")
for name, label in (("BM_StarDotTxt", '"*.txt"'), ("BM_NoteStarExe", '"note*.exe"')):
    b = patterns.get(name)
    if b and floor:
        goals.append(("name pattern " + label + ", read once",
                      "%.1fM names/s, %.0f%% of the floor" % (b["items_per_second"] / 1e6, 100 * ns(floor) / ns(b)),
                      "EndsWith (%.0fM/s)" % (floor["items_per_second"] / 1e6), ">= 30%"))
for name, label in (("BM_Extended", "read once"), ("BM_ExtendedOnce", "read per name")):
    b = patterns.get(name)
    if b:
        goals.append(('"@" pattern, ' + label, "%.1fM names/s" % (b["items_per_second"] / 1e6), "-",
                      ">= 2x the 2.3M/s before"))
start = load("bench_headless_start").get("BM_HeadlessEmptyAction/min_time:2.000/manual_time")
if start:
    goals.append(("headless kestrel -a of an empty action",
                  "%.2fx (median %.1f ms)" % (start["ratio"], start["launcher_median_ms"]),
                  "same-build program reading one file (%.1f ms)" % start["floor_median_ms"], "<= 1.5x"))
cache = load("bench_icon_cache")
loaded, data = cache.get("BM_LoadCacheFull"), cache.get("BM_RawReadDataFile")
if loaded and data:
    goals.append(("LoadCache of a full pool (998 icons)", "%.2f ms, %.1fx" % (ns(loaded) / 1e6, ns(loaded) / ns(data)),
                  "raw read of the data file (%.2f ms)" % (ns(data) / 1e6), "<= 3x"))
with open(os.path.join(results, "goals.json"), "w") as f:
    json.dump(goals, f)
with open(os.path.join(results, "failed.json"), "w") as f:
    json.dump(failed, f)
PY

# The goals table: the rows of the files named (the native ones first).
print_goals() {
  python3 - "$@" <<'PY'
import json, sys
goals = []
for path in sys.argv[1:]:
    goals += [tuple(g) for g in json.load(open(path))]
rows = [("what", "now (this run)", "floor (same run)", "goal")] + goals
widths = [max(len(r[i]) for r in rows) for i in range(4)]
print()
print("Goals (read by people; a missed goal fails nothing):")
for r in rows:
    print("  " + "  ".join(r[i].ljust(widths[i]) for i in range(4)))
PY
}

# Benchmarks that stopped with an error fail the report, after the tables.
report_failures() {
  python3 - "$results/failed.json" <<'PY'
import json, sys
failed = json.load(open(sys.argv[1]))
for line in failed:
    print("bench-report: failed to run: " + line, file=sys.stderr)
sys.exit(1 if failed else 0)
PY
}

if [ "$wine" != 1 ]; then
  print_goals "$results/goals.json"
  report_failures
  exit 0
fi
# Under Wine: the launcher with 200 buttons beside a bare window, started alternately the same
# number of times in each round.
. "$root/scripts/wine-arch.sh"
if [ "$arch" = x86_64 ]; then
  wine_arch=x86_64
  wine_loader=/usr/lib/wine/wine64
elif [ "$arch" = i686 ]; then
  wine_arch=i686
  wine_loader=wine
fi
wine_build=$root/build/$wine_arch-bench
echo "bench-report: building the Wine timings in $wine_build" >&2
cmake -S "$root" -B "$wine_build" -G Ninja --toolchain "$root/cmake/mingw-$wine_arch.cmake" \
  -DCMAKE_BUILD_TYPE=Release >"$wine_build.configure.log" 2>&1 ||
  { tail -n 40 "$wine_build.configure.log"; exit 1; }
cmake --build "$wine_build" -j2 --target kestrel bench_start_paint bench_bare_window \
  >"$wine_build/bench-build.log" 2>&1 || { tail -n 40 "$wine_build/bench-build.log"; exit 1; }
profile_dir=$wine_build/bench-results/profile
rm -rf "$profile_dir" && mkdir -p "$profile_dir"
{
  printf '[Common]\r\nProgram=Kestrel\r\n[Option]\r\nIconCacheFolder=.\\cache\r\n'
  for i in $(seq 1 200); do
    printf '[Button:B%d]\r\nIconFile=shell32.dll\r\nIconIndex=%d\r\nShell {\r\n  Command=cmd.exe\r\n}\r\n' "$i" $((i % 150))
  done
} >"$profile_dir/k.ini"
"$root/scripts/wine-harness.sh" start "$wine_build" "$wine_loader" >/dev/null
trap '"$root/scripts/wine-harness.sh" stop "$wine_build" >/dev/null 2>&1 || true' EXIT
runner=$wine_build/wine-run
timer=$wine_build/bench/wine/bench_start_paint.exe
runs=15
rounds=3
"$runner" "$timer" 1 "$wine_build/kestrel.exe" -p "$(winepath_of "$profile_dir/k.ini")" >/dev/null 2>&1 || true
for round in $(seq 1 $rounds); do
  echo "bench-report: Wine round $round of $rounds" >&2
  "$runner" "$timer" $runs "$wine_build/bench/wine/bench_bare_window.exe" >"$wine_build/bench-results/bare.$round.out" 2>&1 ||
    { echo "bench-report: the bare window failed, see $wine_build/bench-results/bare.$round.out" >&2; exit 1; }
  "$runner" "$timer" $runs "$wine_build/kestrel.exe" -p "$(winepath_of "$profile_dir/k.ini")" \
    >"$wine_build/bench-results/kestrel.$round.out" 2>&1 ||
    { echo "bench-report: the launcher failed, see $wine_build/bench-results/kestrel.$round.out" >&2; exit 1; }
done
python3 - "$wine_build/bench-results" "$wine_arch" "$rounds" "$runs" <<'PY'
import json, re, sys
results, arch, rounds, runs = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
def read(name):
    text = open("%s/%s" % (results, name)).read()
    return float(re.search(r"median-ms ([0-9.]+)", text).group(1)), int(re.search(r"private-kb ([0-9]+)", text).group(1))
print()
print("Under Wine (%s, Release), median of %d starts per round:" % (arch, runs))
print("  round  bare window ms  launcher (200 buttons) ms  ratio (goal <= 1.3x)  launcher private memory (goal < 15 MB)")
ratios = []
for round in range(1, rounds + 1):
    bare, _ = read("bare.%d.out" % round)
    mine, kb = read("kestrel.%d.out" % round)
    ratios.append(mine / bare)
    print("  %5d  %14.1f  %25.1f  %20s  %.1f MB" % (round, bare, mine, "%.2fx" % (mine / bare), kb / 1024.0))
json.dump([("start to first paint, 200 buttons, Wine %s" % arch, " / ".join("%.2fx" % r for r in ratios),
            "bare window program, same round", "<= 1.3x (median of %d starts, %d rounds)" % (runs, rounds))],
          open("%s/goals-wine.json" % results, "w"))
PY
print_goals "$results/goals.json" "$wine_build/bench-results/goals-wine.json"
report_failures
