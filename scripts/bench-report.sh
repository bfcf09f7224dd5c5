#!/usr/bin/env bash
# Builds the benchmarks in a Release tree without sanitizers, runs every bench_* program and
# prints one table: each benchmark's figure beside the floor it is measured against (the plain
# baseline of the same program, named in the comments at the top of bench/*.cpp) and the ratio
# of the two times.
#
#   scripts/bench-report.sh [--build DIR] [--only NAME] [--no-wine] [-- <Google Benchmark options>]
#
#   --build DIR   the tree to build and run in (default build/bench)
#   --only NAME   run only bench_NAME (may be repeated)
#   --no-wine     leave out the timings under Wine
#   options after "--" go to every program, e.g. -- --benchmark_min_time=0.05
#
# Each program's JSON goes to <tree>/bench-results/<program>.json, its console output beside it.
# Under Wine (the i686 tree build/i686-bench, Release; x86_64 where this machine runs no 32-bit code) the launcher's start to first paint with
# 200 buttons is timed beside a bare Win32 window in the same run, and the running launcher's
# private memory is read (bench/wine/).
set -euo pipefail

# The Windows path Wine gives a Unix path (drive Z: is the root).
winepath_of() { printf 'Z:%s' "$(printf '%s' "$1" | sed 's|/|\\|g')"; }

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/bench
only=()
extra=()
wine=1
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --only) only+=("bench_$2"); shift 2 ;;
    --no-wine) wine=0; shift ;;
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
for program in programs:
    path = os.path.join(results, program + ".json")
    with open(path) as f:
        data = json.load(f)
    benches = [b for b in data["benchmarks"] if b.get("run_type", "iteration") == "iteration"]
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
PY

[ "$wine" = 1 ] || exit 0
# Under Wine: the launcher with 200 buttons beside a bare window, started the same number of
# times in one run.
. "$root/scripts/wine-arch.sh"
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
runs=9
"$runner" "$timer" 1 "$wine_build/kestrel.exe" -p "$(winepath_of "$profile_dir/k.ini")" >/dev/null 2>&1 || true
for round in 1 2; do
  "$runner" "$timer" $runs "$wine_build/bench/wine/bench_bare_window.exe" >"$wine_build/bench-results/bare.$round.out" 2>&1
  "$runner" "$timer" $runs "$wine_build/kestrel.exe" -p "$(winepath_of "$profile_dir/k.ini")" \
    >"$wine_build/bench-results/kestrel.$round.out" 2>&1
done
python3 - "$wine_build/bench-results" "$wine_arch" <<'PY'
import re, sys
results = sys.argv[1]
def read(name):
    text = open("%s/%s" % (results, name)).read()
    return float(re.search(r"median-ms ([0-9.]+)", text).group(1)), int(re.search(r"private-kb ([0-9]+)", text).group(1))
print()
print("Under Wine (%s, Release), median of 9 starts per round:" % sys.argv[2])
print("  round  bare window ms  launcher (200 buttons) ms  ratio (goal <= 1.5x)  launcher private memory (goal < 15 MB)")
for round in (1, 2):
    bare, _ = read("bare.%d.out" % round)
    mine, kb = read("kestrel.%d.out" % round)
    print("  %5d  %14.1f  %25.1f  %20s  %.1f MB" % (round, bare, mine, "%.2fx" % (mine / bare), kb / 1024.0))
PY
