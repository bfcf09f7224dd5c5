#!/usr/bin/env bash
# Builds the fuzz tree (build/fuzz, clang) and runs every fuzz target for a while:
#   scripts/fuzz.sh [seconds-per-target] [target...]
# Default 600 seconds (the long run); CI passes a short time such as 15. FUZZ_JOBS=n runs n
# targets at once. Each target starts from the seeds of fuzz/corpus/<target> and grows its own
# corpus in build/fuzz/corpus/<target>; an input that crashed, leaked, timed out or made a
# sanitizer report is kept in build/fuzz/artifacts/<target>/ and fails the run. One line per
# target: runs, coverage and result. FUZZ_SEED and FUZZ_RUNS fix the random seed and the number
# of inputs per target (the time stays a cap), so that a short run gives the same inputs each
# time; CI uses them.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-600}
shift $(( $# > 0 ? 1 : 0 ))
jobs=${FUZZ_JOBS:-1}
dir=$root/build/fuzz

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed" >&2
  exit 1
fi
mkdir -p "$dir"
if ! CC=clang CXX=clang++ cmake -S "$root" -B "$dir" -G Ninja -DKESTREL_FUZZ=ON >"$dir/configure.log" 2>&1; then
  tail -n 30 "$dir/configure.log"
  exit 1
fi
if ! cmake --build "$dir" -j2 --target fuzz_targets >"$dir/build.log" 2>&1; then
  grep -E -A5 'error|FAILED' "$dir/build.log" | head -n 60
  exit 1
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$root"/fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name%_fuzz}")
  done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

# run_target <name>: writes the target's log and its summary line in build/fuzz/logs.
run_target() {
  local name=$1 program=$dir/fuzz/$1_fuzz
  local corpus=$dir/corpus/$name artifacts=$dir/artifacts/$name log=$dir/logs/$name.log
  mkdir -p "$corpus" "$artifacts" "$dir/logs"
  local seeds=()
  if [ -d "$root/fuzz/corpus/$name" ]; then seeds=("$root/fuzz/corpus/$name"); fi
  local status=0 began=$SECONDS fixed=()
  if [ -n "${FUZZ_SEED:-}" ]; then fixed+=(-seed="$FUZZ_SEED"); fi
  if [ -n "${FUZZ_RUNS:-}" ]; then fixed+=(-runs="$FUZZ_RUNS"); fi
  "$program" "$corpus" "${seeds[@]}" "${fixed[@]}" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1 || status=$?
  local runs cov ft result
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
  ft=$(grep -oE 'ft: [0-9]+' "$log" | tail -n 1 | cut -d' ' -f2)
  if [ $status -eq 0 ]; then
    result=ok
  else
    result="FAILED (exit $status; build/fuzz/logs/$name.log, build/fuzz/artifacts/$name/)"
  fi
  printf '%-14s %5s s  runs %-10s cov %-6s ft %-6s %s\n' "$name" "$((SECONDS - began))" "${runs:-?}" "${cov:-?}" \
    "${ft:-?}" "$result" >"$dir/logs/$name.summary"
  return $status
}

failed=0
pids=()
names=()
for name in "${targets[@]}"; do
  if [ ! -x "$dir/fuzz/${name}_fuzz" ]; then
    echo "$name: no such fuzz target" >&2
    failed=1
    continue
  fi
  run_target "$name" &
  pids+=($!)
  names+=("$name")
  if [ ${#pids[@]} -ge "$jobs" ]; then
    wait "${pids[0]}" || failed=1
    cat "$dir/logs/${names[0]}.summary"
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || failed=1
  cat "$dir/logs/${names[$i]}.summary"
done
if [ $failed -ne 0 ]; then
  echo "fuzz: FAILED"
  for name in "${targets[@]}"; do
    if [ -f "$dir/logs/$name.summary" ] && ! grep -q ' ok$' "$dir/logs/$name.summary"; then
      grep -m1 -E 'ERROR: |runtime error|deadly signal|Timeout' "$dir/logs/$name.log" | sed "s/^/  $name: /"
    fi
  done
  exit 1
fi
echo "fuzz: all targets ok"
