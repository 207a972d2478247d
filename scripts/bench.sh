#!/usr/bin/env bash
# Sets up, builds and runs every benchmark in bench/, keeps each raw log in
# build/bench/<date>/ (build/bench/latest is the last run) and prints it, then
# rewrites the table between the performance markers of README.md from the
# logs (scripts/bench_table.py; nothing is written when a benchmark failed or
# its output is not as expected). The benchmarks take about four minutes on
# two cores; run them on an otherwise quiet machine.
#
# Usage: scripts/bench.sh [--quick] [--no-setup | --no-build] [--no-readme]
#   --quick      small inputs, one round: a smoke run; prints the table, leaves README.md alone
#   --no-setup   skip scripts/setup.sh (installing the packages, building everything):
#                configure if needed and build only the benchmarks and the programs they time
#   --no-build   nor that: run the benchmarks as they were last built
#   --no-readme  print the table without writing README.md
# MORVADIN_BUILD_LOCK=FILE: the lock taken while building, and held shared while the
# benchmarks run (default build/.build.lock).
# The drawing benchmarks run on a private Xvfb server (tests/support/with-display.sh;
# MORVADIN_USE_DISPLAY=1 uses the current display and its renderer instead).
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0 setup=1 build=1 readme=1
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    --no-setup) setup=0 ;;
    --no-build) setup=0 build=0 ;;
    --no-readme) readme=0 ;;
    -h|--help) sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$0"; exit 0 ;;
    *) echo "bench.sh: unknown argument '$arg' (see --help)" >&2; exit 2 ;;
  esac
done

lock="${MORVADIN_BUILD_LOCK:-build/.build.lock}"
mkdir -p build "$(dirname "$lock")"

# The benchmarks and the programs they time.
targets=(bench_gcode2x3g gcode2x3g bench_stl_load bench_render bench_startup Morvadin-X
         bench_serial_stream bench_translator bench_print_estimate bench_toolpath bench_edit_step
         bench_model_memory bench_slicer_bridge slicer-bridge)
if ((setup)); then
  # The packages (gpx and admesh among them) come from scripts/packages.txt.
  flock "$lock" scripts/setup.sh release
elif ((build)) && [ ! -f build/release/CMakeCache.txt ]; then
  flock "$lock" cmake --preset release >/dev/null
fi
if ((build)); then
  flock "$lock" cmake --build --preset release --target "${targets[@]}"
fi

# The benchmarks run holding the lock shared: no build relinks a program
# under them (nor takes the processors) while they are timed.
exec 9>>"$lock"
if ! flock -s -n 9; then
  echo "bench.sh: waiting for the build holding $lock to finish"
  flock -s 9
fi

bin=build/release/bin
run_name="$(date -u +%Y%m%d-%H%M%S)$( ((quick)) && echo -quick || true)"
dir="build/bench/$run_name"
mkdir -p "$dir"
ln -sfn "$run_name" build/bench/latest

display=(tests/support/with-display.sh)
{
  "${display[@]}" python3 scripts/bench_table.py machine
  if [ -n "${DISPLAY:-}" ] && [ "${MORVADIN_USE_DISPLAY:-}" = 1 ]; then echo "display=own"; else echo "display=xvfb"; fi
} >"$dir/machine.txt"

failed=()
started=$SECONDS
# run NAME DISPLAY(0|1) [ARGS...]: one benchmark, its output into NAME.log and on the terminal.
run() {
  local name=$1 on_display=$2 status=0 begun=$SECONDS
  shift 2
  local cmd=("$bin/$name" "$@")
  if ((on_display)); then cmd=("${display[@]}" "${cmd[@]}"); fi
  echo "=== $name $* ($dir/$name.log)"
  "${cmd[@]}" 2>&1 | tee "$dir/$name.log" || status=${PIPESTATUS[0]}
  echo "=== $name: exit status $status, $((SECONDS - begun)) s"
  echo
  if ((status != 0)); then failed+=("$name (exit status $status)"); fi
}

if ((quick)); then
  run bench_gcode2x3g 0 --lines 20000 --rounds 1
  run bench_stl_load 0 --triangles 20000 --ascii-triangles 5000 --rounds 1
  run bench_render 1
  run bench_startup 1 1
  run bench_serial_stream 0 1000
  run bench_translator 0 --benchmark_min_time=0.01
  run bench_print_estimate 0 1
  run bench_toolpath 1
  run bench_edit_step 1 1
  run bench_model_memory 1
  run bench_slicer_bridge 0 --rounds 1 --sphere-rounds 1 --lines 1000
else
  run bench_gcode2x3g 0 --rounds 7
  run bench_stl_load 0 --triangles 1000000 --ascii-triangles 300000 --rounds 7
  run bench_render 1
  run bench_startup 1 9
  run bench_serial_stream 0 6000
  run bench_translator 0
  run bench_print_estimate 0 9
  run bench_toolpath 1
  run bench_edit_step 1 9
  run bench_model_memory 1
  run bench_slicer_bridge 0
fi
echo "load_end=$(cut -d' ' -f1-3 /proc/loadavg)" >>"$dir/machine.txt"
echo "bench.sh: the benchmarks took $((SECONDS - started)) s; logs in $dir"

if ((${#failed[@]})); then
  printf 'bench.sh: failed: %s\n' "${failed[@]}" >&2
  echo "bench.sh: README.md left as it was" >&2
  exit 1
fi

table=(table --logs "$dir" --command scripts/bench.sh)
if ((readme && !quick)); then table+=(--readme README.md); fi
python3 scripts/bench_table.py "${table[@]}" | tee "$dir/table.md"
if ((readme && !quick)); then echo "bench.sh: README.md's performance table rewritten"; fi
