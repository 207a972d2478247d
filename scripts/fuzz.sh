#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer, build/fuzz) and runs each for SECONDS on a copy
# of its seed corpus; any crash, leak, sanitizer report or failed check fails
# the run. Prints every target's execution count.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]   (default: 10 s, every target)
#   MORVADIN_FUZZ_BUILD=dir builds elsewhere; extra libFuzzer flags go in
#   MORVADIN_FUZZ_FLAGS (for example "-max_len=65536").
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-10}"
shift || true
build="${MORVADIN_FUZZ_BUILD:-build/fuzz}"
all=(fuzz_gcode_line fuzz_gcode_flavors fuzz_gcode_file fuzz_scan_numbers fuzz_s3g_frames fuzz_stl fuzz_language_xml fuzz_ini)
targets=("$@")
if ((${#targets[@]} == 0)); then targets=("${all[@]}"); fi

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link $sanitize" \
  -DCMAKE_EXE_LINKER_FLAGS="$sanitize" \
  -DCMAKE_SHARED_LINKER_FLAGS="$sanitize" \
  -DMORVADIN_BUILD_GUI=OFF -DMORVADIN_BUILD_TESTS=OFF -DMORVADIN_BUILD_BENCH=OFF \
  -DMORVADIN_BUILD_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# A failing input is kept here for the developer to replay.
artifacts="$(cd "$build" && pwd)/artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"

status=0
passed=0
failed=0
summary=()
for t in "${targets[@]}"; do
  # The committed seeds stay as they are: libFuzzer grows a copy.
  mkdir -p "$work/$t"
  cp -r "fuzz/corpus/$t/." "$work/$t/"
  log="$work/$t.log"
  echo "== $t (${seconds} s)"
  # shellcheck disable=SC2086
  if "$build/bin/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
       -artifact_prefix="$artifacts/$t-" ${MORVADIN_FUZZ_FLAGS:-} "$work/$t" >"$log" 2>&1; then
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
    summary+=("$t: ${runs:-?} executions in ${seconds} s")
    passed=$((passed + 1))
  else
    status=1
    tail -n 60 "$log"
    summary+=("$t: FAILED (input kept in $artifacts)")
    failed=$((failed + 1))
  fi
done
printf '%s\n' "${summary[@]}"
echo "fuzz: $passed passed, $failed failed"
exit "$status"
