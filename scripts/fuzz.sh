#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang-14 (AddressSanitizer and
# coverage) in build-fuzz/ and runs each in turn for SECONDS seconds.
#   scripts/fuzz.sh [SECONDS] [TARGET ...]     (default 60 seconds, every target)
# Each target's corpus grows in build-fuzz/corpus/<target>/, seeded with the
# kept inputs of tests/fuzz/regressions/<target>/. An input that breaks a
# target lands in build-fuzz/crashes/<target>/: once the fault is fixed, copy
# it into tests/fuzz/regressions/<target>/, where fuzz_regression_tests runs it.
# FUZZ_BUILD_ONLY=1 stops after building; FUZZ_BUILD_JOBS sets the compile
# jobs (default: every processor).
# Needs the Debian packages clang-14 and libclang-rt-14-dev.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
if ! command -v clang++-14 > /dev/null; then
  echo "scripts/fuzz.sh needs clang-14 and libclang-rt-14-dev: apt-get install clang-14 libclang-rt-14-dev" >&2
  exit 2
fi

targets=("$@")
if ((${#targets[@]} == 0)); then
  for source in fuzz/fuzz_*.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name#fuzz_}")
  done
fi

# Line tables are all the crash reports need and compile much faster than
# full debug information; ccache, when present, keeps rebuilds short.
launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -gline-tables-only -DNDEBUG" -DVARNEX_FUZZ=ON "${launcher[@]}" \
  -DVARNEX_BUILD_TESTS=OFF -DVARNEX_BUILD_BENCH=OFF -DVARNEX_BUILD_TOOLS=OFF > /dev/null
cmake --build build-fuzz -j "${FUZZ_BUILD_JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}"
if [ "${FUZZ_BUILD_ONLY:-0}" = 1 ]; then exit 0; fi

# RDKit is not instrumented: its containers trip ASan's container-overflow check.
export ASAN_OPTIONS="detect_container_overflow=0:${ASAN_OPTIONS:-}"
# Its parsers leak on malformed input (fuzz/lsan.supp).
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
failed=0
printf '%-22s %14s %8s %8s\n' target execs coverage crashes
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  crashes=build-fuzz/crashes/$target
  log=build-fuzz/fuzz_$target.log
  mkdir -p "$corpus" "$crashes"
  seeds=()
  if [ -d "tests/fuzz/regressions/$target" ]; then seeds=("tests/fuzz/regressions/$target"); fi
  status=0
  "build-fuzz/fuzz/fuzz_$target" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$crashes/" -print_final_stats=1 -close_fd_mask=1 > "$log" 2>&1 || status=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  found=$(find "$crashes" -type f | wc -l)
  printf '%-22s %14s %8s %8s\n' "$target" "${execs:-?}" "${coverage:-?}" "$found"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    failed=1
    echo "  see $log and $crashes/" >&2
  fi
done
exit "$failed"
